#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// A second scanner's profile: port settings and one command template per command,
// read from a "*.scanner" INI file. Shipped profiles live beside the executable; the
// user's own live in the data folder and win over a shipped one of the same name.

inline constexpr char DefaultScannerProfile[] = "BC250D.Scanner";
inline constexpr char ScannerProfilePattern[] = "*.scanner";

// The twelve templates in their stored order.
enum ScannerCommand { CommandInit, CommandScan, CommandManual, CommandQuiet, CommandActive5, CommandActive6_25,
                      CommandActive7_5, CommandActive10, CommandActive12_5, CommandActive25, CommandActive50,
                      CommandActive100, ScannerCommandCount };

// The key of each template in the "Commands" section, in ScannerCommand order.
inline constexpr std::array<const char*, ScannerCommandCount> ScannerCommandKeys = {
    "Init", "Scan", "Manual", "Quiet", "Active5", "Active6.25", "Active7.5", "Active10",
    "Active12.5", "Active25", "Active50", "Active100"};

struct SCANPROFILE
{
    std::string Description;
    int32_t PortBits = 8;
    std::string PortParity = "N";
    int32_t PortStop = 1;
    // Replaces the configured port speed when the key is present with a usable value.
    bool HasForceSpeed = false;
    int32_t ForceSpeed = 0;
    bool BinaryMode = false;
    bool ByteSwap = false;
    // Empty in binary mode, whose frames are built in.
    std::array<std::string, ScannerCommandCount> Commands;
};

// "yes" or "y" in any letter case; everything else is no.
bool IsProfileYes(std::string_view text);

// Reads path; a missing section or key, or a value that cannot be used (data bits
// outside 5..8, a non-positive speed), leaves the default in place.
SCANPROFILE ReadScannerProfile(const std::string& path);

// The folders searched for a profile, in order: the user's data folder (when given),
// then the executable's folder. Each ends in "/".
std::vector<std::string> ScannerProfileFolders(const std::string& dataFolder);
// The full path of the first regular file called name in those folders; "" when none.
std::string FindScannerProfile(const std::string& name, const std::string& dataFolder);
// The names of the plain "*.scanner" files in those folders, each name once, sorted.
std::vector<std::string> ListScannerProfiles(const std::string& dataFolder);
