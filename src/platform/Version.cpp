#include "platform/Version.h"

// Only this file sees the build number, so a new build recompiles nothing else.
#ifndef ZEMBRANT_VERSION_BUILD
#define ZEMBRANT_VERSION_BUILD 0
#endif

VersionInfo ProgramVersion()
{
    return {ZEMBRANT_VERSION_MAJOR, ZEMBRANT_VERSION_MINOR, ZEMBRANT_VERSION_PATCH, ZEMBRANT_VERSION_BUILD};
}

std::string AboutVersionText(const VersionInfo& version)
{
    return "Version: " + std::to_string(version.Major) + "." + std::to_string(version.Minor) + "." +
           std::to_string(version.Release) + " Build " + std::to_string(version.Build);
}

std::string UserAgent(std::string_view baseName, const VersionInfo& version)
{
    return std::string(baseName) + "/" + std::to_string(version.Major) + "." + std::to_string(version.Minor) + "." +
           std::to_string(version.Release) + "B" + std::to_string(version.Build);
}
