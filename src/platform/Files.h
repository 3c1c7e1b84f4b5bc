#pragma once
#include <string>

// The folder that holds the running executable, ending in "/".
std::string ExecutableFolder();

// path with a trailing "/" (a trailing "\" becomes "/"); an empty path stays empty.
std::string WithTrailingSlash(std::string path);
