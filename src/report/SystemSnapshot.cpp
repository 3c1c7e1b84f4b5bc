#include "report/SystemSnapshot.h"

#include <fstream>
#include <iterator>

#include "persistence/SystemFiles.h"
#include "platform/Files.h"

namespace {

// "01-0123": identifier and number.
int ChannelOf(const std::string& text)
{
    if (text.size() < 7 || text[2] != '-')
        return NoChannel;
    return static_cast<int>(LeadingInteger(text.substr(0, 2)) * 4096 + LeadingInteger(text.substr(3)));
}

std::string InfoValue(std::string_view line, std::string_view label)
{
    if (!line.starts_with(label))
        return {};
    line.remove_prefix(label.size());
    while (!line.empty() && (line.front() == ' ' || line.front() == ':'))
        line.remove_prefix(1);
    return std::string(line);
}

// The tower file's information lines and its neighbour lines
// ("%d%02d","T%02X%02X",%03x,"%02d-%04d",%3.5f,"%s").
void ReadSavedSite(const std::string& text, SystemSnapshot& snapshot)
{
    std::string section;
    std::vector<std::string> fields;
    ForEachLine(text, LineLimit, [&](std::string_view line) {
        if (line.starts_with("-")) {
            section = line.substr(1);
            return;
        }
        if (section == "TowerInfo") {
            if (line.starts_with("Control Capabilities"))
                snapshot.Services = InfoValue(line, "Control Capabilities");
            else if (line.starts_with("Flavor"))
                snapshot.Flavor = InfoValue(line, "Flavor");
            return;
        }
        if (section != "Neighbors" || SplitCsvLine(line, fields) < 6 || fields[1].size() != 5)
            return;
        NEIGHBORREC n;
        n.RfssId = static_cast<int32_t>(LeadingHex(fields[1].substr(1, 2)));
        n.SiteId = static_cast<int32_t>(LeadingHex(fields[1].substr(3, 2)));
        n.SysId = static_cast<int32_t>(LeadingHex(fields[2]));
        n.Channel = ChannelOf(fields[3]);
        n.Frequency = LeadingDouble(fields[4]);
        n.Description = fields[5];
        snapshot.Neighbors.push_back(n);
    });
}

bool ReadWhole(const std::string& path, std::string& text)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    text.assign(std::istreambuf_iterator<char>(in), {});
    return true;
}

}

SystemSnapshot TakeSnapshot(P25Class& model)
{
    SystemSnapshot s;
    s.Time = model.Now();
    const SYSINFO info = model.CopySystemInfo();
    s.SysId = info.SysId;
    s.RfssId = info.RfssId;
    s.SiteId = info.SiteId;
    s.Services = P25Class::ServiceClassText(info.ServiceClass);
    s.Flavor = P25Class::FlavorText(info.Flavor);
    model.GetTalkgroups(s.Talkgroups);
    model.GetRadios(s.Radios);
    model.GetTowers(s.Towers);
    s.Neighbors = model.CopyNeighbors();
    model.CopyIdentifierTables(s.IdentifierTables.data(), MaxIdentifierTables);
    s.Channels = model.CopyChannels();
    s.Patches = model.CopyPatches();
    return s;
}

SystemSnapshot TakeLoadedSnapshot(P25Class& model)
{
    const SYSINFO info = model.CopySystemInfo();
    const std::string folder = SystemFolderPath(model.GetDataFolder(), info.SysId);
    if (!IsDirectory(folder)) {
        SystemSnapshot empty;
        empty.Time = model.Now();
        empty.SysId = info.SysId;
        return empty;
    }
    SystemSnapshot s = TakeSnapshot(model);
    // The decoder's current values are not what the folder held.
    s.Neighbors.clear();
    s.Services.clear();
    s.Flavor.clear();
    std::string text;
    if (ReadWhole(folder + TowerFileName(info.RfssId, info.SiteId), text) ||
        ReadWhole(folder + OldTowerFileName(info.RfssId, info.SiteId), text))
        ReadSavedSite(text, s);
    else
        s.RfssId = s.SiteId = 0;
    return s;
}
