#pragma once
#include <cstdint>
#include <string>
#include <string_view>

// The program's four-part version, set by the build (project version and build number).
// The update check compares it as two 32-bit parts that keep only the low 8 bits of minor
// and build, so the build keeps both below 256.
struct VersionInfo
{
    int Major = 0;
    int Minor = 0;
    int Release = 0;
    int Build = 0;

    uint32_t MostSignificant() const { return static_cast<uint32_t>(Major) << 16 | (Minor & 0xFF); }
    uint32_t LeastSignificant() const { return static_cast<uint32_t>(Release) << 16 | (Build & 0xFF); }

    friend bool operator==(const VersionInfo&, const VersionInfo&) = default;
};

VersionInfo ProgramVersion();

// The about box's label: "Version: 1.2.3 Build 4".
std::string AboutVersionText(const VersionInfo& version);
// An HTTP user agent: "Zembrant/1.2.3B4".
std::string UserAgent(std::string_view baseName, const VersionInfo& version);
