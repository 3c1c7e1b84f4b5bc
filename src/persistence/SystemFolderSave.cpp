#include "model/P25Class.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <system_error>
#include <tuple>
#include <utility>

#include "model/Locks.h"
#include "persistence/Config.h"
#include "persistence/SystemFiles.h"
#include "platform/DataFolderLock.h"
#include "platform/Files.h"
#include "platform/IniFile.h"

namespace {

constexpr int ChannelNumberMask = 0xFFF;

// Everything one save writes, copied out of the model so that the files are written
// without holding the model's locks.
struct FolderSnapshot
{
    SYSINFO Info;
    std::vector<TOWERS> Towers;
    std::array<IDENTABLE, MaxIdentifierTables> Tables{};
    std::vector<FreqInfo> Channels;
    std::vector<NEIGHBORREC> Neighbors;
    std::vector<FILTERRANGE> Filters;
    uint8_t FilteringEnabled = 0;
    std::vector<TGTAG> Talkgroups;
    std::vector<RADTAG> Radios;
    int64_t Now = 0;
};

template <typename... Values>
void AppendFormat(std::string& out, const char* format, Values... values)
{
    char text[256];
    const int n = std::snprintf(text, sizeof text, format, values...);
    if (n < static_cast<int>(sizeof text)) {
        out.append(text, static_cast<size_t>(std::max(n, 0)));
        return;
    }
    // A number of 300 digits from a damaged file is written whole, so that it reads back.
    const size_t at = out.size();
    out.resize(at + static_cast<size_t>(n) + 1);
    std::snprintf(out.data() + at, static_cast<size_t>(n) + 1, format, values...);
    out.resize(at + static_cast<size_t>(n));
}

std::string Formatted(const char* format, auto... values)
{
    std::string text;
    AppendFormat(text, format, values...);
    return text;
}

// Line ends in a text would start a line of their own.
std::string OneLine(std::string text)
{
    std::replace(text.begin(), text.end(), '\r', ' ');
    std::replace(text.begin(), text.end(), '\n', ' ');
    return text;
}

void UpdateSystemIni(IniFile& ini, const FolderSnapshot& s)
{
    ini.WriteInteger("System", "SystemID", s.Info.SysId);
    ini.WriteString("System", "SystemIDHEX", Formatted("%03X", s.Info.SysId));
    ini.WriteString("System", "WACN", Formatted("%05X", s.Info.Wacn));
    ini.WriteString("System", "Description", IniText(s.Info.SystemDescription));
    ini.WriteString("System", "Flavor", P25Class::FlavorText(s.Info.Flavor));

    for (int i = 0; i < MaxIdentifierTables; ++i) {
        const IDENTABLE& t = s.Tables[i];
        ini.WriteString("Tables", "Table" + std::to_string(i),
                        Formatted("\"%3.6f\",\"%3.6f\",\"%3.6f\",\"%3.6f\",\"%d\",\"%d\"", t.Base, t.Spacing,
                                  t.Bandwidth, t.TxOffset, t.Slots, t.Source));
    }

    ini.EraseSection("Towers");
    std::vector<TOWERS> towers = s.Towers;
    std::sort(towers.begin(), towers.end(),
              [](const TOWERS& a, const TOWERS& b) { return std::tie(a.Rfss, a.Site) < std::tie(b.Rfss, b.Site); });
    for (const TOWERS& tower : towers)
        ini.WriteString("Towers", Formatted("%03d%03d", tower.Rfss, tower.Site), IniText(tower.Description));

    ini.EraseSection("AffiliationFilters");
    if (!s.Filters.empty()) {
        ini.WriteInteger("AffiliationFilters", "Count", static_cast<int64_t>(s.Filters.size()));
        ini.WriteString("AffiliationFilters", "Enabled", s.FilteringEnabled ? "1" : "0");
        for (size_t i = 0; i < s.Filters.size(); ++i) {
            const FILTERRANGE& range = s.Filters[i];
            ini.WriteString("AffiliationFilters", Formatted("Filter%02d", static_cast<int>(i)),
                            Formatted("%d,%d,%d", range.Active ? 1 : 0, range.Low, range.High));
        }
    }
    ini.EraseSection("Talkgroups");
    ini.EraseSection("Radios");
}

void AppendColors(std::string& out, uint32_t text, uint32_t back)
{
    out += ",\"";
    out += FormatColor(text);
    out += "\",\"";
    out += FormatColor(back);
    out += '"';
}

std::string TalkgroupFileText(const std::vector<TGTAG>& talkgroups)
{
    std::string out = "FileVersion:7\r\n"
                      "# Talkgroup List for this system\r\n"
                      "# Format:  Talkgroup,Priority,Description,Lastseen(Unix),LastSeen(Human m/dd/yyyy),"
                      "FirstSeen(Unix),FirstSeen(Human),FG Color,BG Color,EncSeen,Hits,EmrgIgnore\r\n"
                      "# Priority Values:  0=Ignore, 1=Highest priority, 99= Lowest Priority\r\n";
    out.reserve(out.size() + talkgroups.size() * 128);
    HumanTime human;
    for (const TGTAG& t : talkgroups) {
        AppendNumber(out, t.Id);
        out += ',';
        AppendNumber(out, t.Priority);
        out += ',';
        AppendQuoted(out, t.Description);
        out += ',';
        AppendNumber(out, t.LastSeen);
        out += ",\"";
        human.Append(out, t.LastSeen);
        if (t.FirstSeen != 0) {
            out += "\",";
            AppendNumber(out, t.FirstSeen);
            out += ",\"";
            human.Append(out, t.FirstSeen);
            out += '"';
        } else {
            out += "\",0,\"Unknown\"";
        }
        AppendColors(out, t.TextColor, t.BackColor);
        out += t.EncSeen ? ",\"Y\"" : ",\"N\"";
        out += ',';
        AppendNumber(out, t.Hits);
        out += t.EmrgIgnore ? ",1\r\n" : ",0\r\n";
    }
    return out;
}

std::string RadioFileText(const std::vector<RADTAG>& radios)
{
    std::string out = "FileVersion:4\r\n"
                      "# Radio List for this system\r\n"
                      "# Format:  RadioID(Decimal),Description,Lastseen(Unix),LastSeen(Human m/dd/yyyy),"
                      "Text Color,BG Color\r\n";
    out.reserve(out.size() + radios.size() * 96);
    HumanTime human;
    for (const RADTAG& r : radios) {
        AppendNumber(out, r.Id);
        out += ',';
        AppendQuoted(out, r.Description);
        out += ',';
        AppendNumber(out, r.LastSeen);
        out += ",\"";
        human.Append(out, r.LastSeen);
        out += '"';
        AppendColors(out, r.TextColor, r.BackColor);
        out += "\r\n";
    }
    return out;
}

const char* SourceText(uint8_t source)
{
    return source == 2 ? "Confirmed" : source == 1 ? "Manual" : "Assumed";
}

std::string UsageLetters(uint32_t flags)
{
    static const std::pair<uint32_t, char> letters[] = {{UsageControl, 'c'},  {UsageAlternate, 'a'},
                                                        {UsageVoice, 'v'},    {UsageData, 'd'},
                                                        {UsageSystemId, 'i'}, {UsagePrivate, 'p'},
                                                        {UsagePhone, 't'}};
    std::string text;
    for (const auto& [flag, letter] : letters)
        if (flags & flag)
            text += letter;
    return text;
}

void AppendChannel(std::string& out, const FreqInfo& row, const FolderSnapshot& s)
{
    const int channel = row.Channel;
    const int slot = (channel & ChannelNumberMask) % 2;
    AppendFormat(out, "\"%02d-%04d\",\"%s\",", channel >> 12 & 0xF, channel & ChannelNumberMask,
                 UsageLetters(row.UsageFlags).c_str());
    const bool slotted = s.Tables[channel >> 12 & 0xF].Slots >= 2;
    if (slotted)
        AppendFormat(out, "%3.5f/%d,", row.Frequency, slot);
    else
        AppendFormat(out, "%3.5f,", row.Frequency);
    AppendFormat(out, "\"%02d-%04d\",", row.InputChannel >> 12 & 0xF, row.InputChannel & ChannelNumberMask);
    if (slotted)
        AppendFormat(out, "%3.5f/%d,", row.InputFrequency, slot);
    else
        AppendFormat(out, "%3.5f,", row.InputFrequency);
    AppendFormat(out, "%s%d\r\n", row.InputExplicit ? "1," : "0,", row.Hits);
}

std::string TowerFileText(const FolderSnapshot& s)
{
    const SYSINFO& info = s.Info;
    std::string description;
    for (const TOWERS& tower : s.Towers)
        if (tower.Rfss == info.RfssId && tower.Site == info.SiteId)
            description = tower.Description;

    std::string out = "FileVersion:8\r\n"
                      "-TowerInfo\r\n"
                      "#This section is here for information only.  With the exception\r\n"
                      "#of the Call Sign(s), This data is not Read back into the program at all.\r\n";
    AppendFormat(out, "System ID             : %03X\r\n", info.SysId);
    out += "System Name           : " + OneLine(info.SystemDescription) + "\r\n";
    AppendFormat(out, "WACN                  : %05X\r\n", info.Wacn);
    AppendFormat(out, "Tower Number (Decimal): %d-%d\r\n", info.RfssId, info.SiteId);
    AppendFormat(out, "Tower Number (Hex)    : T%02X%02X\r\n", info.RfssId, info.SiteId);
    out += "Tower Description     : " + OneLine(description) + "\r\n";
    out += "Control Capabilities  : " + P25Class::ServiceClassText(info.ServiceClass) + "\r\n";
    out += "Flavor                : " + P25Class::FlavorText(info.Flavor) + "\r\n";
    out += "Call Sign(s)          : " + (info.CallSigns.empty() ? std::string("Unknown") : OneLine(info.CallSigns))
        + "\r\n";
    out += "Timestamp             : " + CalendarText(s.Now) + "\r\n\r\n";

    out += "-Tables\r\n"
           "#Format: Table ID,Base Freq,Spacing,Input Offset,Assumed/Confirmed,BandWidth,Slots\r\n";
    for (int i = 0; i < MaxIdentifierTables; ++i) {
        const IDENTABLE& t = s.Tables[i];
        if (t.Base != 0.0)
            AppendFormat(out, "%02d,%3.5f,%3.5f,%3.5f,\"%s\",%3.5f,%d\r\n", i, t.Base, t.Spacing, t.TxOffset,
                         SourceText(t.Source), t.Bandwidth, t.Slots);
    }
    out += "\r\n";

    if (!s.Channels.empty()) {
        out += "-Frequencies\r\n"
               "#Format: Channel,Usage,Frequency(/Slot),Input Channel,Input Frequency(/Slot),"
               "Input Explicit(1/0),Hit Count\r\n";
        for (const FreqInfo& row : s.Channels)
            AppendChannel(out, row, s);
        out += "\r\n";
    }

    if (!s.Neighbors.empty()) {
        out += "-Neighbors\r\n"
               "#Format: TowerID,TowerIDHex,System ID,Channel,Frequency,Tower Name\r\n";
        for (const NEIGHBORREC& n : s.Neighbors) {
            AppendFormat(out, "%d%02d,\"T%02X%02X\",%03x,\"%02d-%04d\",%3.5f,", n.RfssId, n.SiteId, n.RfssId,
                         n.SiteId, n.SysId, n.Channel >> 12 & 0xF, n.Channel & ChannelNumberMask, n.Frequency);
            AppendQuoted(out, n.Description);
            out += "\r\n";
        }
        out += "\r\n";
    }
    return out;
}

}

// A file the load could not read is renamed aside, not overwritten; false when it stays.
bool P25Class::KeepUnreadableAside(const std::string& path, std::vector<std::string>& failures)
{
    const auto found = std::find(m_unreadableFiles.begin(), m_unreadableFiles.end(), path);
    if (found == m_unreadableFiles.end())
        return true;
    std::string keptAs;
    std::string reason;
    if (!KeepAside(path, keptAs, reason)) {
        failures.push_back(reason);
        return false;
    }
    if (!keptAs.empty())
        m_fileWarnings.push_back(KeptAsideText(path, keptAs));
    m_unreadableFiles.erase(found);
    return true;
}

bool P25Class::SaveSystemFolder(std::string& error)
{
    error.clear();
    FolderSnapshot s;
    // SYSINFOLOCK keeps a change of system or site (and the load that comes with it) out
    // while the lists are copied, so that they all belong to one system and site; it is
    // let go before the files are written, FILELOCK is not.
    std::optional<NamedLockGuard> system(std::in_place, Locks::SYSINFOLOCK);
    if (!IsSiteIdentified(m_sysInfo))
        return false;
    NamedLockGuard files(Locks::FILELOCK);
    s.Info = m_sysInfo;
    s.Towers = m_towers;
    const std::string folder = SystemFolderPath(m_dataFolder, m_sysInfo.SysId);
    {
        NamedLockGuard tables(Locks::BSOLOCK);
        s.Tables = m_idenTables;
    }
    {
        NamedLockGuard channels(Locks::FREQUENCY);
        s.Channels.assign(m_channels.begin(), m_channels.begin() + m_channelCount);
    }
    {
        NamedLockGuard neighbors(Locks::NEIGHBOR);
        s.Neighbors.assign(m_neighbors.begin(), m_neighbors.begin() + m_neighborCount);
    }
    {
        NamedLockGuard filters(Locks::AFILTER);
        s.Filters.assign(m_filterRanges.begin(), m_filterRanges.begin() + m_filterRangeCount);
        s.FilteringEnabled = m_filteringEnabled;
    }
    GetTalkgroups(s.Talkgroups);
    GetRadios(s.Radios);
    s.Now = Now();
    system.reset();

    std::error_code code;
    std::filesystem::create_directories(folder, code);
    if (!IsDirectory(folder)) {
        error = "Cannot create \"" + folder + "\": " + (code ? code.message() : "not a folder");
        return false;
    }
    // What a save killed halfway left behind; without the folder's lock such a file may be
    // another process's save in progress.
    if (DataFolderLock::IsHeldFor(m_dataFolder))
        RemoveTemporaryFiles(folder);
    std::vector<std::string> failures;
    const auto write = [this, &failures](const std::string& path, const std::string& text) {
        std::string reason;
        if (!KeepUnreadableAside(path, failures))
            return false;
        if (WriteFileAtomically(path, text, reason))
            return true;
        failures.push_back(reason);
        return false;
    };

    IniFile ini(folder + SystemIniName);
    std::erase(m_unreadableFiles, ini.FileName());
    UpdateSystemIni(ini, s);
    if (std::string reason; !ini.UpdateFile(reason, &m_fileWarnings))
        failures.push_back(reason);
    write(folder + TalkgroupFileName, TalkgroupFileText(s.Talkgroups));
    write(folder + RadioFileName, RadioFileText(s.Radios));
    // The older name goes only once the new file is in place, and never when both names
    // are the same file (RFSS and site both above 99).
    const std::string tower = TowerFileName(s.Info.RfssId, s.Info.SiteId);
    const std::string oldTower = OldTowerFileName(s.Info.RfssId, s.Info.SiteId);
    if (write(folder + tower, TowerFileText(s)) && oldTower != tower
        && KeepUnreadableAside(folder + oldTower, failures))
        DeleteFile(folder + oldTower);

    for (const std::string& failure : failures)
        error += (error.empty() ? "" : "\n") + failure;
    return failures.empty();
}
