#pragma once
#include <string>
#include <vector>

// zembrant-cli changes: what a capture would change in a system folder, told without
// touching it. args: what follows the word "changes". The exit status: 0 done, 1 a
// failure, 2 wrong arguments.
int RunChangesCommand(const std::vector<std::string>& args);

extern const char* const ChangesUsage;
