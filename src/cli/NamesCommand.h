#pragma once
#include <string>
#include <vector>

// zembrant-cli names export|import: a system folder's talkgroup or radio names to or from a
// CSV file. args: what follows the word "names". The exit status: 0 done, 1 a failure, 2
// wrong arguments.
int RunNamesCommand(const std::vector<std::string>& args);
