#include "history/HistoryWriter.h"

#include <algorithm>
#include <cstdio>
#include <string_view>
#include <utility>

#include "events/EventJson.h"
#include "model/P25Class.h"
#include "persistence/SystemFiles.h"
#include "platform/Files.h"

namespace {

// The grant log's word for a grant's usage.
std::string GrantKind(std::string_view usage)
{
    static constexpr std::pair<std::string_view, const char*> words[] = {
        {"group", "Group"}, {"private", "Private"}, {"phone", "Phone"}, {"data", "Data"}, {"station id", "Station ID"},
    };
    for (const auto& [tap, word] : words)
        if (usage == tap)
            return word;
    return std::string(usage);
}

std::string Formatted(const char* format, auto... values)
{
    char text[160];
    std::snprintf(text, sizeof text, format, values...);
    return text;
}

std::string SystemText(const TAPEVENT& e)
{
    const SYSINFO& s = e.System;
    const std::string site = Formatted("Site %d-%d", s.RfssId, s.SiteId);
    switch (e.Code) {
    case TAPEVENT::NewSystem:
        return Formatted("System %03X WACN %05X, site %d-%d", static_cast<unsigned>(s.SysId),
                         static_cast<unsigned>(s.Wacn), s.RfssId, s.SiteId);
    case TAPEVENT::NewSite: return s.SiteDescription.empty() ? site : site + " (" + s.SiteDescription + ")";
    case TAPEVENT::NewServices: return site + " services: " + P25Class::ServiceClassText(s.ServiceClass);
    case TAPEVENT::NewWacn: return Formatted("WACN %05X", static_cast<unsigned>(s.Wacn));
    case TAPEVENT::NewStatus: return site + " status " + std::to_string(s.SiteStatus);
    default: return site + " " + P25Class::FlavorText(s.Flavor);
    }
}

std::string TableText(int identifier, const IDENTABLE& t)
{
    return Formatted("Identifier table %d: base %.5f spacing %.5f offset %.5f bandwidth %.5f slots %d", identifier,
                     t.Base, t.Spacing, t.TxOffset, t.Bandwidth, std::max<int>(t.Slots, 1));
}

std::string NeighborText(const NEIGHBORREC& n)
{
    std::string text = Formatted("Neighbor %03X %d-%d", static_cast<unsigned>(n.SysId), n.RfssId, n.SiteId);
    if (n.Channel != NoChannel)
        text += " channel " + ChannelName(n.Channel);
    if (n.Frequency > 0.0)
        text += Formatted(" %.5f", n.Frequency);
    if (!n.Description.empty())
        text += " (" + n.Description + ")";
    return text;
}

// As the other-events log's "Packet Data".
std::string PacketText(const TsbkBlock& block)
{
    std::string text;
    for (const uint8_t byte : block)
        text += Formatted("%02X ", byte);
    return text;
}

}

std::optional<HistoryRow> MakeHistoryRow(const TAPEVENT& e, const EventNames& names)
{
    using Kind = TAPEVENT::Kind;
    HistoryRow row;
    row.Time = e.Time;
    row.Rfss = e.Site.RfssId;
    row.Site = e.Site.SiteId;
    switch (e.What) {
    case Kind::Grant:
    case Kind::Queued:
    case Kind::CallAlert:
        row.Kind = HistoryKind::Grant;
        row.Type = e.What == Kind::Queued ? "Queued" : e.What == Kind::CallAlert ? "Alert" : GrantKind(e.Usage);
        row.Channel = e.Channel;
        row.Frequency = e.Channel >= 0 ? e.Frequency : 0.0;
        row.Talkgroup = e.Talkgroup;
        row.TalkgroupName = e.Talkgroup > 0 ? names.Talkgroup : "";
        row.Radio = e.Radio;
        row.RadioName = e.Radio > 0 ? names.Radio : "";
        row.Target = e.Target;
        row.TargetName = e.Target > 0 ? names.Target : "";
        row.Encrypted = e.ServiceOptions & 0x40;
        row.Emergency = e.ServiceOptions & 0x80;
        row.Text = e.Text;
        return row;
    case Kind::Affiliation:
        row.Kind = HistoryKind::Affiliation;
        row.Type = e.Usage;
        row.Talkgroup = e.Talkgroup > 0 ? e.Talkgroup : -1;
        row.TalkgroupName = e.Talkgroup > 0 ? names.Talkgroup : "";
        row.Radio = e.Radio;
        row.RadioName = names.Radio;
        row.Text = e.Text;
        row.Accepted = e.Code != 'D';
        return row;
    case Kind::Patch:
        row.Kind = HistoryKind::Patch;
        row.Type = e.Code == 'A' ? "added" : "removed";
        row.Talkgroup = e.Talkgroup;
        row.TalkgroupName = names.Talkgroup;
        row.Target = e.Target;
        row.TargetName = names.Target;
        return row;
    case Kind::Event:
        row.Kind = HistoryKind::Event;
        row.Type = "event";
        row.Text = e.Text;
        row.Packet = PacketText(e.Block);
        return row;
    case Kind::System:
        row.Kind = HistoryKind::Event;
        row.Type = "system";
        row.Text = SystemText(e);
        return row;
    case Kind::IdentifierTable:
        if (e.Identifier < 0)
            return std::nullopt;
        row.Kind = HistoryKind::Event;
        row.Type = "identifier_table";
        row.Text = TableText(e.Identifier, e.Table);
        return row;
    case Kind::Neighbor:
        if (e.Neighbor.SysId == 0)
            return std::nullopt;
        row.Kind = HistoryKind::Event;
        row.Type = "neighbor";
        row.Text = NeighborText(e.Neighbor);
        return row;
    }
    return std::nullopt;
}

HistoryWriter::HistoryWriter(std::string dataFolder, int days)
    : m_dataFolder(WithTrailingSlash(std::move(dataFolder))),
      m_days(days),
      m_thread([this](std::stop_token stop) { Execute(stop); })
{
}

HistoryWriter::~HistoryWriter()
{
    m_thread.request_stop();
    m_thread.join();
}

void HistoryWriter::Record(const TAPEVENT& event, const EventNames& names)
{
    std::optional<HistoryRow> row = MakeHistoryRow(event, names);
    if (!row)
        return;
    std::lock_guard guard(m_mutex);
    if (event.Site.SysId == 0) {
        if (m_held.size() < HeldWithoutSystem)
            m_held.push_back(std::move(*row));
        else
            ++m_dropped;
        return;
    }
    if (m_pending.size() >= MaxWaiting) {
        ++m_dropped;
        return;
    }
    for (HistoryRow& held : m_held)
        m_pending.push_back({event.Site.SysId, std::move(held)});
    m_accepted += m_held.size() + 1;
    m_held.clear();
    m_pending.push_back({event.Site.SysId, std::move(*row)});
}

void HistoryWriter::Flush()
{
    std::lock_guard guard(m_mutex);
    if (m_pending.size() >= FlushRows) {
        m_wakeNow = true;
        m_wake.notify_all();
    }
}

void HistoryWriter::WaitForRoom()
{
    std::unique_lock lock(m_mutex);
    if (m_pending.size() <= RoomRows)
        return;
    m_wakeNow = true;
    m_wake.notify_all();
    m_progress.wait(lock, [this] { return m_pending.size() <= RoomRows; });
}

uint64_t HistoryWriter::Dropped() const
{
    std::lock_guard guard(m_mutex);
    return m_dropped;
}

std::vector<std::string> HistoryWriter::TakeNotices()
{
    std::lock_guard guard(m_mutex);
    return std::exchange(m_notices, {});
}

uint64_t HistoryWriter::Written() const
{
    std::lock_guard guard(m_mutex);
    return m_written;
}

bool HistoryWriter::Sync(std::chrono::milliseconds timeout)
{
    std::unique_lock lock(m_mutex);
    const uint64_t target = m_accepted;
    const uint64_t failed = m_failed;
    m_wakeNow = true;
    m_wake.notify_all();
    const bool settled = m_progress.wait_for(lock, timeout, [&] { return m_settled >= target; });
    return settled && m_failed == failed;
}

void HistoryWriter::Execute(std::stop_token stop)
{
    std::vector<Pending> batch;
    for (;;) {
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait_for(lock, stop, WriteInterval, [this] { return m_wakeNow; });
            m_wakeNow = false;
            batch.swap(m_pending);
            m_progress.notify_all();
            // What was recorded before the stop is written before the thread ends.
            if (batch.empty() && stop.stop_requested())
                return;
        }
        if (!batch.empty())
            WriteOut(batch);
        batch.clear();
    }
}

void HistoryWriter::WriteOut(std::vector<Pending>& batch)
{
    std::map<int, std::vector<HistoryRow>> systems;
    for (Pending& pending : batch)
        systems[pending.SysId].push_back(std::move(pending.Row));
    uint64_t written = 0;
    uint64_t failed = 0;
    for (auto& [sysId, rows] : systems) {
        int64_t newest = 0;
        for (const HistoryRow& row : rows)
            newest = std::max(newest, row.Time);
        std::unique_ptr<Database>& database = m_databases[sysId];
        if (!database)
            database = std::make_unique<Database>();
        std::string error;
        if (!Ready(sysId, *database, newest)) {
            failed += rows.size();
            continue;
        }
        if (!database->Store.Insert(rows, error)) {
            Tell(*database, error);
            database->Store.Close();
            database->NextTry = std::chrono::steady_clock::now() + RetryInterval;
            failed += rows.size();
            continue;
        }
        written += rows.size();
        if (m_days > 0 && newest >= database->PrunedAt + PruneEvery) {
            if (!database->Store.Prune(m_days, error))
                Tell(*database, error);
            database->PrunedAt = newest;
        }
    }
    std::lock_guard guard(m_mutex);
    m_written += written;
    m_failed += failed;
    m_dropped += failed;
    m_settled += batch.size();
    m_progress.notify_all();
}

bool HistoryWriter::Ready(int sysId, Database& database, int64_t newestRow)
{
    if (database.Store.IsOpen())
        return true;
    const auto now = std::chrono::steady_clock::now();
    if (now < database.NextTry)
        return false;
    database.NextTry = now + RetryInterval;
    const std::string folder = SystemFolderPath(m_dataFolder, sysId);
    if (!CreateDirectories(folder)) {
        Tell(database, "cannot make the folder " + folder);
        return false;
    }
    std::string error;
    if (!database.Store.Open(HistoryStore::PathFor(m_dataFolder, sysId), error)) {
        Tell(database, error);
        return false;
    }
    int64_t newest = 0;
    if (m_days > 0 && !database.Store.Prune(m_days, error))
        Tell(database, error);
    else if (database.Store.NewestTime(newest, error))
        database.PrunedAt = std::max(newest, newestRow);
    return true;
}

void HistoryWriter::Tell(Database& database, const std::string& error)
{
    if (!database.Told.insert(error).second)
        return;
    std::lock_guard guard(m_mutex);
    m_notices.push_back(HistoryNoticePrefix + error);
}
