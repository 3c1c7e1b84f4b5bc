#include "scanner/ScannerProfile.h"

#include <algorithm>
#include <cctype>

#include "platform/Files.h"
#include "platform/IniFile.h"

namespace {

constexpr int MinimumDataBits = 5;
constexpr int MaximumDataBits = 8;

std::string UpperCase(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

bool IsPlainFile(const std::string& path)
{
    return FileExists(path) && !IsDirectory(path);
}

}

bool IsProfileYes(std::string_view text)
{
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower == "yes" || lower == "y";
}

SCANPROFILE ReadScannerProfile(const std::string& path)
{
    SCANPROFILE profile;
    const IniFile ini(path);
    profile.Description = ini.ReadString("Scanner", "Description", "");
    const int32_t bits = ini.ReadInteger("Scanner", "PortBits", profile.PortBits);
    if (bits >= MinimumDataBits && bits <= MaximumDataBits)
        profile.PortBits = bits;
    profile.PortParity = UpperCase(ini.ReadString("Scanner", "PortParity", profile.PortParity));
    profile.PortStop = ini.ReadInteger("Scanner", "PortStop", profile.PortStop);
    if (ini.ValueExists("Scanner", "ForceSpeed")) {
        const int32_t speed = ini.ReadInteger("Scanner", "ForceSpeed", 0);
        profile.HasForceSpeed = speed > 0;
        profile.ForceSpeed = profile.HasForceSpeed ? speed : 0;
    }

    if (ini.ValueExists("Commands", "GRECommands")) {
        profile.BinaryMode = IsProfileYes(ini.ReadString("Commands", "GRECommands", ""));
        profile.ByteSwap = IsProfileYes(ini.ReadString("Commands", "ByteSwap", "No"));
    }
    if (profile.BinaryMode)
        return profile;

    const std::string active = ini.ReadString("Commands", "Active", "");
    for (int i = 0; i < ScannerCommandCount; ++i)
        profile.Commands[i] = ini.ReadString("Commands", ScannerCommandKeys[i], i >= CommandActive5 ? active : "");
    return profile;
}

std::vector<std::string> ScannerProfileFolders(const std::string& dataFolder)
{
    std::vector<std::string> folders;
    if (!dataFolder.empty())
        folders.push_back(WithTrailingSlash(dataFolder));
    folders.push_back(ExecutableFolder());
    return folders;
}

std::string FindScannerProfile(const std::string& name, const std::string& dataFolder)
{
    if (name.empty())
        return {};
    for (const std::string& folder : ScannerProfileFolders(dataFolder)) {
        const std::string path = folder + name;
        if (IsPlainFile(path))
            return path;
    }
    return {};
}

std::vector<std::string> ListScannerProfiles(const std::string& dataFolder)
{
    std::vector<std::string> names;
    for (const std::string& folder : ScannerProfileFolders(dataFolder))
        for (const FolderEntry& entry : ListFolder(folder, ScannerProfilePattern))
            if (entry.IsRegularFile && entry.Name.front() != '.')
                names.push_back(entry.Name);
    std::sort(names.begin(), names.end());
    names.erase(std::unique(names.begin(), names.end()), names.end());
    return names;
}
