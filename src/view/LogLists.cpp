#include "view/LogLists.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <map>

#include "platform/TextFormat.h"
#include "model/P25Class.h"
#include "persistence/Config.h"
#include "platform/Clock.h"
#include "platform/Files.h"

namespace {

constexpr size_t LongLogCap = 5000;
constexpr size_t DumpLogCap = 10000;
constexpr int UnknownPriority = 50;

const char* BaseName(LogKind kind)
{
    switch (kind) {
    case LogKind::Affiliations: return "Affiliations";
    case LogKind::GrantTrace: return "GrantLog";
    case LogKind::OtherEvents: return "EventLog";
    case LogKind::PatchLog: return "PatchLog";
    case LogKind::UnknownPackets: return "UnknownPackets";
    case LogKind::PacketDump: return "Dump";
    case LogKind::RawDump: return "PSRDump";
    case LogKind::RecentGrants: break;
    }
    return nullptr;
}

bool IsCsv(LogKind kind)
{
    return kind == LogKind::Affiliations || kind == LogKind::GrantTrace || kind == LogKind::OtherEvents ||
           kind == LogKind::PatchLog;
}

// "%ld" of the cell's leading number, 0 when it has none.
long LeadingNumber(const std::string& cell)
{
    return std::strtol(cell.c_str(), nullptr, 10);
}

std::string ChannelCell(int channel)
{
    return Format("%02d-%04d", channel >> 12 & 0xF, channel & 0xFFF);
}

std::string FrequencyCell(const P25Class& model, int channel, double frequency)
{
    const int slot = model.ChannelSlot(channel);
    return slot < 0 ? FrequencyText(frequency) : FrequencyText(frequency) + "/" + std::to_string(slot);
}

}

bool ClearAsksFirst(LogKind kind, bool confirmations)
{
    return confirmations && kind != LogKind::RawDump;
}

LogSettings LogSettings::From(const CONFIG& config, bool filterRegistrations)
{
    LogSettings s;
    s.LogDenied = config.LogDenied;
    s.GrantsUseFilter = config.GrantsUseFilter;
    s.GrantsFilterOther = config.GrantsFilterOther;
    s.GrantsFilterLevel = config.GrantsFilterLevel;
    s.PrivatePriority = config.PrivatePriority;
    s.GrantLogMax = config.GrantLogMax;
    s.FilterRegistrations = filterRegistrations;
    s.IncludeDate = config.IncludeDate;
    return s;
}

void LogList::SetCap(size_t cap)
{
    m_cap = cap;
    while (m_rows.size() > m_cap)
        DropOldest();
}

LogRow& LogList::NewRow(const LOGSITE& site, bool saved)
{
    // At the cap the oldest row is reused, strings and all: a long replay then builds its
    // rows without allocating.
    if (m_rows.size() >= m_cap && !m_rows.empty()) {
        LogRow recycled = std::move(m_rows.front());
        DropOldest();
        m_rows.push_back(std::move(recycled));
    } else {
        m_rows.emplace_back();
    }
    while (m_rows.size() > m_cap)
        DropOldest();
    ++m_appended;
    LogRow& row = m_rows.back();
    row.Site = site;
    row.Saved = saved;
    if (!saved)
        ++m_unsaved;
    return row;
}

void LogList::SetCells(LogRow& row, std::initializer_list<std::string_view> cells)
{
    row.Cells.resize(cells.size());
    size_t i = 0;
    for (std::string_view cell : cells)
        row.Cells[i++].assign(cell);
}

void LogList::DropOldest()
{
    if (!m_rows.front().Saved) {
        --m_unsaved;
        ++m_unsavedDropped;
    }
    m_rows.pop_front();
    ++m_dropped;
    if (m_firstUnsaved > 0)
        --m_firstUnsaved;
}

std::string LogList::FileName(LogKind kind, const LOGSITE& site, bool includeDate, int64_t now)
{
    std::string name = Format("System%03X/", site.SysId);
    if (includeDate)
        name += LocalDateStamp(now) + "-";
    name += Format("%s-%d%02d.%s", BaseName(kind), site.RfssId, site.SiteId, IsCsv(kind) ? "csv" : "txt");
    return name;
}

const char* LogList::HeaderLine(LogKind kind)
{
    switch (kind) {
    case LogKind::Affiliations:
        return "\"Timestamp\",\"Function\",\"TG ID\",\"TG Description\",\"RadioID\",\"Radio Description\"";
    case LogKind::GrantTrace:
        return "\"Timestamp\",\"Type\",\"Channel\",\"Frequency\",\"TG ID\",\"TalkGroup Description\",\"Radio "
               "ID\",\"Radio Description\"";
    case LogKind::OtherEvents: return "\"Timestamp\",\"Packet Data\",\"Event Description\"";
    case LogKind::PatchLog: return "\"Timestamp\",\"Description\"";
    case LogKind::UnknownPackets: return "\"Timestamp\",\"OP Code\",\"Packet Data\",\"Notes\"";
    default: return nullptr;
    }
}

void LogList::AppendFileLine(std::string& out, LogKind kind, const LogRow& row)
{
    const auto& c = row.Cells;
    switch (kind) {
    case LogKind::Affiliations:
        out += Format("\"%s\",\"%s\",%ld,\"%s\",%ld,\"%s\"", c[0].c_str(), c[1].c_str(), LeadingNumber(c[2]),
                      c[3].c_str(), LeadingNumber(c[4]), c[5].c_str());
        break;
    case LogKind::PacketDump:
        out.append("  ").append(c[1]).append(" ").append(c[0]).append(" ").append(c[2]);
        break;
    case LogKind::RawDump:
        out += c[0];
        break;
    default:
        for (size_t i = 0; i < c.size(); ++i)
            out.append(i ? ",\"" : "\"").append(c[i]).append("\"");
        break;
    }
}

bool LogList::Save(const std::string& dataFolder, const LOGSITE& current, bool includeDate, int64_t now,
                   std::string& error)
{
    if (!BaseName(m_kind))
        return true;
    // Rows of one site go to one file, in list order.
    std::map<std::string, std::vector<LogRow*>> files;
    std::vector<LogRow*>* rowsOfSite = nullptr;
    LOGSITE lastSite;
    for (size_t i = m_firstUnsaved; i < m_rows.size(); ++i) {
        LogRow& row = m_rows[i];
        if (row.Saved)
            continue;
        const LOGSITE site = row.Site.SysId != 0 ? row.Site : current;
        if (site.SysId == 0)
            continue;
        if (!rowsOfSite || site != lastSite) {
            rowsOfSite = &files[FileName(m_kind, site, includeDate, now)];
            lastSite = site;
        }
        rowsOfSite->push_back(&row);
    }
    bool ok = true;
    for (auto& [name, rows] : files) {
        const std::string path = WithTrailingSlash(dataFolder) + name;
        const std::string folder = path.substr(0, path.rfind('/'));
        std::string reason;
        if (!IsDirectory(folder) && !CreateDirectories(folder)) {
            error = "Cannot create folder \"" + folder + "\"";
            ok = false;
            continue;
        }
        // Kept from save to save: a fresh buffer of this size is fresh pages to fault in.
        std::string& text = m_fileText;
        text.clear();
        text.reserve(rows.size() * 96);
        for (const LogRow* row : rows) {
            AppendFileLine(text, m_kind, *row);
            text += "\r\n";
        }
        const char* header = HeaderLine(m_kind);
        if (!AppendToFile(path, header ? std::string(header) + "\r\n" : std::string(), text, error, m_syncOnSave)) {
            ok = false;
            continue;
        }
        for (LogRow* row : rows)
            row->Saved = true;
        m_unsaved -= rows.size();
    }
    while (m_firstUnsaved < m_rows.size() && m_rows[m_firstUnsaved].Saved)
        ++m_firstUnsaved;
    return ok;
}

LogLists::LogLists()
{
    m_lists.reserve(LogKindCount);
    m_lists.emplace_back(LogKind::Affiliations, LongLogCap);
    m_lists.emplace_back(LogKind::GrantTrace, LongLogCap);
    m_lists.emplace_back(LogKind::RecentGrants, 20);
    m_lists.emplace_back(LogKind::OtherEvents, LongLogCap);
    m_lists.emplace_back(LogKind::PatchLog, LongLogCap);
    m_lists.emplace_back(LogKind::UnknownPackets, LongLogCap);
    m_lists.emplace_back(LogKind::PacketDump, DumpLogCap);
    m_lists.emplace_back(LogKind::RawDump, DumpLogCap);
}

std::string LogLists::PacketDataText(const TsbkBlock& block)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string text(TsbkSize * 3, ' ');
    for (int i = 0; i < TsbkSize; ++i) {
        text[i * 3] = digits[block[i] >> 4];
        text[i * 3 + 1] = digits[block[i] & 0xF];
    }
    return text;
}

void LogLists::ClearBeforeMarker(LogKind kind)
{
    if (onClear && List(kind).HasUnsaved())
        onClear(kind);
    List(kind).Clear();
}

void LogLists::AddAffiliation(P25Class& model, const LogSettings& settings, const AFFLOG& record)
{
    if (record.Function == 'C') {
        ClearBeforeMarker(LogKind::Affiliations);
        return;
    }
    if (record.Function == 'D' && !settings.LogDenied)
        return;
    if (!model.PassesAffiliationFilter(record.Radio))
        return;
    const bool withTalkgroup = record.Talkgroup != 0;
    LogList::SetCells(List(LogKind::Affiliations).NewRow(record.Site),
                      {m_times.Text(record.Time), record.Text, withTalkgroup ? NumberText(record.Talkgroup, 5) : "",
                       withTalkgroup ? model.GetTalkgroupDescription(record.Talkgroup) : "",
                       NumberText(record.Radio), model.FindRadioDescription(record.Radio)});
}

void LogLists::AddGrant(P25Class& model, const LogSettings& settings, const GRANTLOG& record)
{
    if (record.Time == 0) {
        ClearBeforeMarker(LogKind::GrantTrace);
        List(LogKind::RecentGrants).Clear();
        return;
    }
    const std::string& kind = record.Kind;
    if (settings.GrantsUseFilter) {
        if (settings.GrantsFilterOther && kind != "Group" && kind != "Private" && kind != "Station ID")
            return;
        const int priority = kind == "Private" ? settings.PrivatePriority
                             : record.Talkgroup > 0 && model.TalkgroupExists(record.Talkgroup)
                                 ? model.GetTalkgroupPriority(record.Talkgroup)
                                 : UnknownPriority;
        if (priority < 1 || priority > settings.GrantsFilterLevel)
            return;
    }

    std::string channel, frequency;
    if (record.Channel != -1) {
        channel = ChannelCell(record.Channel);
        frequency = FrequencyCell(model, record.Channel, record.Frequency);
    }
    std::string tg, tgDescription, radio, radioDescription;
    const bool tgPresent = record.Talkgroup != -1;
    const auto radioCells = [&] {
        radio = NumberText(record.Radio);
        radioDescription = model.FindRadioDescription(record.Radio);
    };
    if (kind == "Station ID") {
        tgDescription = record.Text;
    }
    if (kind == "Group" || kind == "Data" || kind == "Queued") {
        tg = tgPresent ? NumberText(record.Talkgroup, 5) : "";
        tgDescription = tgPresent ? model.GetTalkgroupDescription(record.Talkgroup) : "";
        radioCells();
    }
    if (kind == "Private" || kind == "Data") {
        tg = tgPresent ? NumberText(record.Talkgroup) : "";
        tgDescription = tgPresent ? model.FindRadioDescription(record.Talkgroup) : "";
        radioCells();
    }
    if (kind == "Phone") {
        tg.clear();
        tgDescription.clear();
        radioCells();
    }
    if (kind == "Alert") {
        tg = NumberText(record.Talkgroup);
        tgDescription = model.FindRadioDescription(record.Talkgroup);
        radioCells();
    }

    const std::string type =
        kind != "Station ID" && !record.Text.empty() ? kind + " (" + record.Text + ")" : kind;
    LogList::SetCells(List(LogKind::GrantTrace).NewRow(record.Site),
                      {m_times.Text(record.Time), type, channel, frequency, tg, tgDescription, radio, radioDescription});

    LogList& recentList = List(LogKind::RecentGrants);
    recentList.SetCap(static_cast<size_t>(std::max(settings.GrantLogMax, 1)));
    LogList::SetCells(recentList.NewRow(record.Site, true), {LocalClockText(record.Time), kind, channel, frequency,
                                                             tg, tgDescription, radio, radioDescription});
}

void LogLists::AddEvent(const LogSettings& settings, const EVENTLOG& record)
{
    if (record.Time == 0) {
        ClearBeforeMarker(LogKind::OtherEvents);
        return;
    }
    if (settings.FilterRegistrations && (record.Block[0] & 0x3F) == 0x2C)
        return;
    LogList::SetCells(List(LogKind::OtherEvents).NewRow(record.Site),
                      {m_times.Text(record.Time), PacketDataText(record.Block), record.Text});
}

void LogLists::AddPatch(P25Class& model, const PATCHLOG& record)
{
    if (record.Time == 0) {
        ClearBeforeMarker(LogKind::PatchLog);
        return;
    }
    const char* what = record.Kind == 'A' ? "Added Patch:   " : record.Kind == 'R' ? "Removed Patch: " : "Unknown Function:";
    LogList::SetCells(List(LogKind::PatchLog).NewRow(record.Site),
                      {m_times.Text(record.Time),
                       Format("%s%d (%s) --> %d (%s)", what, record.Talkgroup,
                              model.GetTalkgroupDescription(record.Talkgroup).c_str(), record.Supergroup,
                              model.GetTalkgroupDescription(record.Supergroup).c_str())});
}

void LogLists::AddUnknown(const UNKTSBK& record)
{
    if (record.Time == 0) {
        ClearBeforeMarker(LogKind::UnknownPackets);
        return;
    }
    LogList::SetCells(List(LogKind::UnknownPackets).NewRow(record.Site),
                      {m_times.Text(record.Time), Format("%02X", record.Block[0] & 0x3F), PacketDataText(record.Block),
                       record.Text});
}

void LogLists::AddPacket(const ALLPKT& record)
{
    if (record.Time == 0) {
        ClearBeforeMarker(LogKind::PacketDump);
        return;
    }
    LogList::SetCells(List(LogKind::PacketDump).NewRow(record.Site),
                      {m_times.Text(record.Time), PacketDataText(record.Block), record.Text});
}

void LogLists::RefreshDescriptions(P25Class& model)
{
    const auto radio = [&](const std::string& cell) { return model.FindRadioDescription(LeadingNumber(cell)); };
    const auto talkgroup = [&](const std::string& cell) {
        return model.GetTalkgroupDescription(static_cast<int>(LeadingNumber(cell)));
    };
    for (LogRow& row : List(LogKind::Affiliations).m_rows) {
        if (!row.Cells[2].empty())
            row.Cells[3] = talkgroup(row.Cells[2]);
        row.Cells[5] = radio(row.Cells[4]);
    }
    // The type cell starts with the kind; the talkgroup cell holds a radio for the kinds
    // between two radios.
    for (LogKind kind : {LogKind::GrantTrace, LogKind::RecentGrants}) {
        for (LogRow& row : List(kind).m_rows) {
            const std::string& type = row.Cells[1];
            const bool group = type.starts_with("Group") || type.starts_with("Queued");
            const bool radios = type.starts_with("Private") || type.starts_with("Data") || type.starts_with("Alert");
            if (!row.Cells[4].empty() && (group || radios))
                row.Cells[5] = group ? talkgroup(row.Cells[4]) : radio(row.Cells[4]);
            if (!row.Cells[6].empty())
                row.Cells[7] = radio(row.Cells[6]);
        }
    }
}

void LogLists::AddRawLine(const std::string& line)
{
    LogList::SetCells(List(LogKind::RawDump).NewRow(LOGSITE{}), {line});
}
