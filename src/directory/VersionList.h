#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/Version.h"

// The executable's name without its directory, as the version list names it.
std::string ProgramFileName(std::string_view executablePath);
// The user agent of the update check: the file name without a trailing ".exe", "/", then
// major.minor.release "B" build.
std::string UpdateUserAgent(std::string_view fileName, const VersionInfo& version);

// Whether the version list (the text of "CurrentVersions.txt") offers fileName in a version
// newer than version.
bool IsNewerVersionListed(std::string_view list, std::string_view fileName, const VersionInfo& version);
