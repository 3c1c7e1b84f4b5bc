#include "model/P25Class.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <utility>

#include "model/Locks.h"
#include "persistence/Config.h"
#include "persistence/SystemFiles.h"
#include "platform/Files.h"
#include "platform/IniFile.h"
#include "platform/Text.h"

// The loads read what the save wrote and what earlier versions wrote. Each line stands on
// its own: a line that cannot be read is skipped and the next one is read.

namespace {

constexpr int HighestTalkgroup = 65535;
constexpr int LowestPriority = 99;
constexpr uint8_t FirstVersionPriority = 50;
constexpr int HighestIdentifier = 15;
constexpr int HighestChannelNumber = 0xFFF;
// Tower keys of this length are "%03d%03d"; longer digit strings are not keys at all.
constexpr size_t TowerKeyLength = 6;
constexpr size_t LongestTowerKey = 9;
constexpr int HighestTowerNumber = 999;
// Warnings wait for a front end to take them; one that never does keeps only the first.
constexpr size_t MostFileWarnings = 100;

std::string VersionWarning(const std::string& path)
{
    return "Cannot read \"" + path + "\": its \"FileVersion:\" line cannot be read";
}

// Files up to version 4 ran priorities from 1 (lowest) to 6 (highest).
int ConvertedPriority(int priority)
{
    switch (priority) {
    case 1: return 99;
    case 2: return 75;
    case 3: return 50;
    case 4: return 25;
    case 5: return 10;
    case 6: return 1;
    default: return priority;
    }
}

std::string WithoutTrailingBlanks(std::string text)
{
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.pop_back();
    return text;
}

uint8_t ByteValue(std::string_view text)
{
    return static_cast<uint8_t>(std::clamp<int64_t>(LeadingInteger(text), 0, 255));
}

// Calls take(version, fields, count) for each line of a talkgroup or radio file that has
// at least four fields; a file without a "FileVersion:" line is version 1. False when a
// version line cannot be read: nothing after it is in a known layout, so it is not read.
template <typename Take>
bool ForEachRecord(std::string_view text, Take&& take)
{
    int version = 1;
    std::vector<std::string> fields;
    ForEachLine(text, LineLimit, [&](std::string_view line) {
        if (version == UnreadableVersion)
            return;
        if (const int v = FileVersionOf(line); v != -1)
            version = v;
        else if (const int n = SplitCsvLine(line, fields); n >= 4)
            take(version, fields, n);
    });
    return version != UnreadableVersion;
}

bool ReadTalkgroups(P25Class& model, std::string_view text)
{
    return ForEachRecord(text, [&model](int version, const std::vector<std::string>& f, int n) {
        const int id = LeadingInt32(f[0], -1);
        if (id < 1 || id > HighestTalkgroup)
            return;
        const bool first = version <= 1;
        int priority = first ? FirstVersionPriority : LeadingInt32(f[1], FirstVersionPriority);
        if (version <= 4)
            priority = ConvertedPriority(priority);
        const std::string description = WithoutTrailingBlanks(PrintableText(first ? f[1] : f[2]));
        const int64_t lastSeen = FileTime(first ? f[2] : f[3]);
        const bool hasColors = version >= 4 && n > 8;
        model.SetTalkgroup(id, description, lastSeen, static_cast<uint8_t>(std::clamp(priority, 0, LowestPriority)), 0);
        model.SetTalkgroupFirstSeen(id, hasColors ? FileTime(f[5]) : 0);
        model.SetTalkgroupColors(id, hasColors ? ParseColor(f[7]) : 0, hasColors ? ParseColor(f[8]) : 0);
        if (version >= 6) {
            if (n > 9 && f[9] == "Y")
                model.MarkTalkgroupEncrypted(id);
            model.SetTalkgroupHits(id, n > 10 ? std::max(LeadingInt32(f[10]), 0) : 0);
        }
        model.SetTalkgroupEmrgIgnore(id, version >= 7 && n > 11 && LeadingInteger(f[11]) != 0 ? 1 : 0);
    });
}

bool ReadRadios(P25Class& model, std::string_view text)
{
    return ForEachRecord(text, [&model](int version, const std::vector<std::string>& f, int n) {
        const int64_t id = version <= 1 ? LeadingHex(f[0]) : LeadingInteger(f[0]);
        if (id < 1 || id > INT32_MAX)
            return;
        const int radio = static_cast<int>(id);
        if (!model.SetRadio(radio, PrintableText(f[1]), FileTime(f[2])))
            return;
        const bool hasColors = version >= 4 && n > 5;
        model.SetRadioColors(radio, hasColors ? ParseColor(f[4]) : 0, hasColors ? ParseColor(f[5]) : 0);
    });
}

// A tower-file channel: "%x-%03x" before version 3, "%02d-%04d" from version 3; -1 when
// the field is in neither form or names no channel.
int ParseChannel(std::string_view field, int version)
{
    if (field.size() <= 4)
        return -1;
    int64_t identifier = -1;
    int64_t number = -1;
    if (version < 3) {
        if (field[1] != '-' || !std::isxdigit(static_cast<unsigned char>(field[0])))
            return -1;
        identifier = LeadingHex(field.substr(0, 1), -1);
        number = LeadingHex(field.substr(2), -1);
    } else {
        if (field[2] != '-')
            return -1;
        identifier = LeadingInteger(field.substr(0, 2), -1);
        number = LeadingInteger(field.substr(3), -1);
    }
    if (identifier < 0 || identifier > HighestIdentifier || number < 0 || number > HighestChannelNumber)
        return -1;
    const int channel = static_cast<int>(identifier << 12 | number);
    return channel == NoChannel ? -1 : channel;
}

uint32_t UsageBits(std::string_view letters)
{
    uint32_t bits = 0;
    for (const char c : letters) {
        switch (c) {
        case 'c': bits |= UsageControl; break;
        case 'a': bits |= UsageAlternate; break;
        case 'v': bits |= UsageVoice; break;
        case 'd': bits |= UsageData; break;
        case 'i': bits |= UsageSystemId; break;
        case 'p': bits |= UsagePrivate; break;
        case 't': bits |= UsagePhone; break;
        default: break;
        }
    }
    return bits;
}

// The tower key "%03d%03d", or the older RFSS x 100 + site; false for anything else.
bool ParseTowerKey(std::string_view key, int& rfss, int& site)
{
    if (key.empty() || key.size() > LongestTowerKey
        || !std::all_of(key.begin(), key.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return false;
    if (key.size() == TowerKeyLength) {
        rfss = static_cast<int>(LeadingInteger(key.substr(0, 3)));
        site = static_cast<int>(LeadingInteger(key.substr(3)));
    } else {
        const int64_t value = LeadingInteger(key);
        rfss = static_cast<int>(value / 100);
        site = static_cast<int>(value % 100);
    }
    // A larger RFSS could not be written back in the six-digit form.
    return rfss <= HighestTowerNumber;
}

// "Call Sign(s)          : KA1234 WB5678"; the other lines of the part are for people.
void ReadCallSignLine(P25Class& model, std::string_view line)
{
    const size_t colon = line.find(':');
    if (!StartsWithIgnoringCase(line, "Call Sign(s)") || colon == std::string_view::npos)
        return;
    std::string list = WithoutTrailingBlanks(PrintableText(line.substr(colon + 1)));
    list.erase(0, std::min(list.find_first_not_of(" \t"), list.size()));
    if (list == "Unknown")
        return;
    size_t at = 0;
    while (at < list.size()) {
        const size_t start = list.find_first_not_of(" \t", at);
        if (start == std::string::npos)
            break;
        const size_t end = std::min(list.find_first_of(" \t", start), list.size());
        model.AddCallSign(list.substr(start, end - start));
        at = end;
    }
}

// A table value in MHz; one beyond any radio band is a damaged field and reads as 0, so
// that what is written back stays a short number.
double TableNumber(std::string_view text)
{
    constexpr double Largest = 1e9;
    const double value = LeadingDouble(text);
    return std::abs(value) < Largest ? value : 0.0;
}

// 0 assumed, 1 manual, 2 confirmed; the tower file writes any other as assumed.
uint8_t SourceValue(std::string_view text)
{
    const uint8_t source = ByteValue(text);
    return source <= 2 ? source : 0;
}

std::string FiveDecimals(double value)
{
    char text[400];
    std::snprintf(text, sizeof text, "%3.5f", value);
    return text;
}

// "%02d,%3.5f,%3.5f,%3.5f,\"%s\",%3.5f,%d": index (hexadecimal before version 3), base,
// spacing, TX offset, source, bandwidth and, from version 6, slots.
void ReadTableLine(P25Class& model, std::string_view line, int version, std::vector<std::string>& f)
{
    const int n = SplitCsvLine(line, f);
    if (n <= 5)
        return;
    const int64_t index = version < 3 ? LeadingHex(f[0], -1) : LeadingInteger(f[0], -1);
    if (index < 0 || index >= MaxIdentifierTables)
        return;
    IDENTABLE entry;
    entry.Base = TableNumber(f[1]);
    entry.Spacing = TableNumber(f[2]);
    entry.TxOffset = TableNumber(f[3]);
    entry.Source = f[4] == "Confirmed" ? 2 : f[4] == "Manual" ? 1 : 0;
    entry.Bandwidth = TableNumber(f[5]);
    entry.Slots = version >= 6 && n > 6 ? ByteValue(f[6]) : 1;
    // The tower file keeps five decimals, System.ini six: a value that System.ini gave and
    // that reads the same with five stays as System.ini had it.
    std::array<IDENTABLE, MaxIdentifierTables> tables{};
    model.CopyIdentifierTables(tables.data(), MaxIdentifierTables);
    const IDENTABLE& known = tables[static_cast<size_t>(index)];
    for (auto field : {&IDENTABLE::Base, &IDENTABLE::Spacing, &IDENTABLE::TxOffset, &IDENTABLE::Bandwidth})
        if (FiveDecimals(known.*field) == FiveDecimals(entry.*field))
            entry.*field = known.*field;
    // The same table again is no news from the site: it replaces no assumed table.
    if (entry != known)
        model.SetIdentifierTable(static_cast<int>(index), entry);
}

// Channel, usage letters, frequency, input channel, then by version: hits (5 and 6), or
// input frequency, explicit input and hits (from 7).
void ReadChannelLine(P25Class& model, std::string_view line, int version, std::vector<std::string>& f)
{
    const int n = SplitCsvLine(line, f);
    if (n < 3)
        return;
    const int channel = ParseChannel(f[0], version);
    if (channel < 0)
        return;
    if (version >= 7 && n > 5 && LeadingInteger(f[5]) == 1) {
        const int input = ParseChannel(f[3], 3);
        if (input >= 0) {
            NamedLockGuard guard(Locks::FREQUENCY);
            model.FindOrAddChannel(channel, input);
        }
    }
    model.AddChannelUsageFlags(channel, UsageBits(f[1]));
    const int hitsField = version >= 7 ? 6 : 4;
    if (version >= 5 && model.IsSaveHitCounts() && n > hitsField)
        model.MergeChannelHits(channel, std::max(LeadingInt32(f[hitsField]), 0));
}

// The tower file of the current site: the three-digit name, else the older two-digit one.
std::string TowerFilePath(const std::string& folder, const SYSINFO& info)
{
    const std::string current = folder + TowerFileName(info.RfssId, info.SiteId);
    const std::string old = folder + OldTowerFileName(info.RfssId, info.SiteId);
    return !FileExists(current) && FileExists(old) ? old : current;
}

}

bool P25Class::LoadSystemFolder()
{
    NamedLockGuard system(Locks::SYSINFOLOCK);
    if (!IsSiteIdentified(m_sysInfo))
        return false;
    NamedLockGuard files(Locks::FILELOCK);
    const std::string folder = SystemFolderPath(m_dataFolder, m_sysInfo.SysId);
    if (!IsDirectory(folder))
        return false;
    std::erase_if(m_unreadableFiles, [&folder](const std::string& path) { return path.starts_with(folder); });
    ReadSystemIni(folder + SystemIniName);
    {
        NamedLockGuard filters(Locks::AFILTER);
        m_filtersChanged = true;
    }
    std::string text;
    if (ReadSystemFile(folder + TalkgroupFileName, text) && !ReadTalkgroups(*this, text))
        NoteUnreadable(folder + TalkgroupFileName, VersionWarning(folder + TalkgroupFileName));
    if (ReadSystemFile(folder + RadioFileName, text) && !ReadRadios(*this, text))
        NoteUnreadable(folder + RadioFileName, VersionWarning(folder + RadioFileName));
    // The table holds what it can; the rest would be gone at the next save without a word.
    if (RadioCount() >= MaxRadios && m_fileWarnings.size() < MostFileWarnings)
        m_fileWarnings.push_back(folder + RadioFileName + ": the radio table is full (" +
                                 std::to_string(MaxRadios) +
                                 " radios); the radios beyond it are not kept and the next save leaves them out");
    ReadTowerFile(TowerFilePath(folder, m_sysInfo), LineLimit);
    return true;
}

// The call signs belong to the site, so they go even when this system has no folder.
bool P25Class::LoadTowerFile()
{
    NamedLockGuard system(Locks::SYSINFOLOCK);
    if (!IsSiteIdentified(m_sysInfo))
        return false;
    NamedLockGuard files(Locks::FILELOCK);
    const std::string folder = SystemFolderPath(m_dataFolder, m_sysInfo.SysId);
    if (!IsDirectory(folder)) {
        AddCallSign("CLEAR");
        return false;
    }
    ClearChannels();
    ReadTowerFile(TowerFilePath(folder, m_sysInfo), TowerLineLimit);
    return true;
}

void P25Class::NoteUnreadable(const std::string& path, const std::string& warning)
{
    if (std::find(m_unreadableFiles.begin(), m_unreadableFiles.end(), path) == m_unreadableFiles.end())
        m_unreadableFiles.push_back(path);
    if (m_fileWarnings.size() < MostFileWarnings)
        m_fileWarnings.push_back(warning);
}

bool P25Class::ReadSystemFile(const std::string& path, std::string& text)
{
    std::string error;
    const ReadOutcome outcome = ReadRegularFile(path, text, error);
    if (outcome == ReadOutcome::Refused)
        NoteUnreadable(path, error);
    return outcome == ReadOutcome::Read;
}

std::vector<std::string> P25Class::TakeFileWarnings()
{
    NamedLockGuard files(Locks::FILELOCK);
    return std::exchange(m_fileWarnings, {});
}

void P25Class::ReadSystemIni(const std::string& path)
{
    const IniFile ini(path);
    if (!ini.ReadError().empty()) {
        NoteUnreadable(path, ini.ReadError());
        return;
    }
    if (!FileExists(path))
        return;
    SetSystemDescription(PrintableText(FromIniText(ini.ReadString("System", "Description", ""))));

    ClearTowers();
    std::vector<std::string> keys = ini.ReadSection("Towers");
    std::sort(keys.begin(), keys.end());
    for (const std::string& key : keys) {
        int rfss = 0;
        int site = 0;
        if (!ParseTowerKey(key, rfss, site))
            continue;
        const std::string description = PrintableText(FromIniText(ini.ReadString("Towers", key, "")));
        if (rfss == m_sysInfo.RfssId && site == m_sysInfo.SiteId)
            SetSiteDescription(description);
        else
            SetTowerDescription(rfss, site, description);
    }

    std::vector<std::string> f;
    if (ini.SectionExists("AffiliationFilters")) {
        // A hand-edited Count may be anything; no more ranges can be read than there are keys.
        const int64_t count = std::min<int64_t>(ini.ReadInteger("AffiliationFilters", "Count", 0),
                                                static_cast<int64_t>(ini.ReadSection("AffiliationFilters").size()));
        ClearFilterRanges();
        int ranges = 0;
        for (int64_t i = 0; i < count; ++i) {
            char key[32];
            std::snprintf(key, sizeof key, "Filter%02lld", static_cast<long long>(i));
            if (SplitCsvLine(ini.ReadString("AffiliationFilters", key, ""), f) >= 3
                && SetFilterRange(LeadingInteger(f[0]) != 0 ? 1 : 0, LeadingInt32(f[1], -1), LeadingInt32(f[2], -1)))
                ++ranges;
        }
        SetFilteringEnabled(ranges > 0 && ini.ReadInteger("AffiliationFilters", "Enabled", 0) != 0 ? 1 : 0);
    }

    if (ini.SectionExists("Tables")) {
        // Stored as they are: a table of the tower file read next replaces its entry.
        NamedLockGuard tables(Locks::BSOLOCK);
        for (int i = 0; i < MaxIdentifierTables; ++i) {
            const std::string value = ini.ReadString("Tables", "Table" + std::to_string(i), "");
            const int n = value.empty() ? 0 : SplitCsvLine(value, f);
            if (n < 3)
                continue;
            f.resize(6);
            m_idenTables[i] = IDENTABLE{.Base = TableNumber(f[0]),
                                        .TxOffset = TableNumber(f[3]),
                                        .Spacing = TableNumber(f[1]),
                                        .Bandwidth = TableNumber(f[2]),
                                        .Source = SourceValue(f[5]),
                                        .Slots = ByteValue(f[4])};
            m_idenTablesChanged = 1;
        }
        SetFrequencyRules();
    }
}

void P25Class::ReadTowerFile(const std::string& path, size_t lineLimit)
{
    AddCallSign("CLEAR");
    std::erase(m_unreadableFiles, path);
    std::string text;
    if (ReadSystemFile(path, text)) {
        enum class Part { None, TowerInfo, Tables, Frequencies };
        Part part = Part::None;
        int version = 0;
        std::vector<std::string> f;
        ForEachLine(text, lineLimit, [&](std::string_view line) {
            if (version == UnreadableVersion)
                return;
            if (const int v = FileVersionOf(line); v != -1) {
                version = v;
                return;
            }
            if (!line.empty() && line.front() == '-') {
                std::string name(WithoutTrailingBlanks(std::string(line.substr(1))));
                std::transform(name.begin(), name.end(), name.begin(),
                               [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
                part = name == "towerinfo" ? Part::TowerInfo
                    : name == "tables"     ? Part::Tables
                    : name == "frequencies" ? Part::Frequencies
                                            : Part::None;
                return;
            }
            switch (part) {
            case Part::TowerInfo: ReadCallSignLine(*this, line); break;
            case Part::Tables: ReadTableLine(*this, line, version, f); break;
            case Part::Frequencies: ReadChannelLine(*this, line, version, f); break;
            case Part::None: break;
            }
        });
        if (version == UnreadableVersion)
            NoteUnreadable(path, VersionWarning(path));
    }
    SetChannelsChanged();
}
