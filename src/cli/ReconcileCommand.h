#pragma once
#include <string>
#include <vector>

// zembrant-cli reconcile: where a system folder and the directory's answers kept at its last
// import disagree. args: what follows the word "reconcile". The exit status: 0 done, 1 a
// failure (no import yet among them), 2 wrong arguments.
int RunReconcileCommand(const std::vector<std::string>& args);
