#include "events/EventFeed.h"

#include <algorithm>
#include <cstdio>

#include "events/EventJson.h"

namespace {

// A hexadecimal identity as the window shows it, or null while it is not known.
void Hex(JsonObject& object, const char* key, int32_t value, int width)
{
    if (value == 0) {
        object.Null(key);
        return;
    }
    char text[16];
    std::snprintf(text, sizeof text, "%0*X", width, static_cast<unsigned>(value));
    object.Text(key, text);
}

// The frequency in hertz, or null without an identifier table for it.
void Frequency(JsonObject& object, const char* key, double megahertz)
{
    if (megahertz == 0.0)
        object.Null(key);
    else
        object.Int(key, Hertz(megahertz));
}

const char* SourceName(uint8_t source)
{
    switch (source) {
    case SourceManual: return "manual";
    case SourceConfirmed: return "confirmed";
    default: return "assumed";
    }
}

const char* SystemChangeName(char change)
{
    switch (change) {
    case TAPEVENT::NewSystem: return "system";
    case TAPEVENT::NewSite: return "site";
    case TAPEVENT::NewServices: return "services";
    case TAPEVENT::NewWacn: return "wacn";
    case TAPEVENT::NewStatus: return "status";
    default: return "flavor";
    }
}

void TableFields(JsonObject& object, int identifier, const IDENTABLE& table)
{
    object.Int("identifier", identifier)
        .Int("base", Hertz(table.Base))
        .Int("spacing", Hertz(table.Spacing))
        .Int("tx_offset", Hertz(table.TxOffset))
        .Int("bandwidth", Hertz(table.Bandwidth))
        .Int("slots", std::max<int>(table.Slots, 1))
        .Text("source", SourceName(table.Source));
}

void NeighborFields(JsonObject& object, const NEIGHBORREC& n)
{
    Hex(object, "neighbor_sysid", n.SysId, 3);
    object.Int("neighbor_rfss", n.RfssId).Int("neighbor_site", n.SiteId);
    if (n.Channel == NoChannel)
        object.Null("channel");
    else
        object.Text("channel", ChannelName(n.Channel));
    Frequency(object, "frequency", n.Frequency);
    object.Text("description", n.Description);
}

template <typename Item, typename Fields>
void AppendObject(std::string& list, const Item& item, Fields fields)
{
    if (list.size() > 1)
        list += ',';
    JsonObject object(list);
    fields(object, item);
    object.End();
}

}

EventFeed::EventFeed(P25Class& model) : m_model(model) {}

EventFeed::~EventFeed()
{
    RemoveOutputs();
}

void EventFeed::AddOutput(std::shared_ptr<EventOutput> output)
{
    if (!output)
        return;
    std::lock_guard guard(m_drainMutex);
    m_takesLines = m_takesLines || output->TakesLines();
    m_takesRecords = m_takesRecords || output->TakesRecords();
    m_outputs.push_back(std::move(output));
    m_on = true;
    m_model.SetEventTap(this, m_takesRecords);
}

void EventFeed::RemoveOutputs()
{
    m_model.SetEventTap(nullptr);
    std::lock_guard guard(m_drainMutex);
    m_on = false;
    for (const auto& output : m_outputs)
        output->Flush();
    m_outputs.clear();
    m_takesLines = m_takesRecords = false;
    std::lock_guard waiting(m_waitingMutex);
    m_waiting.clear();
    m_waitingCount = 0;
}

void EventFeed::Take(TAPEVENT&& event)
{
    std::lock_guard guard(m_waitingMutex);
    if (m_waiting.size() >= MaxWaiting) {
        ++m_overflow;
        return;
    }
    m_waiting.push_back(std::move(event));
    m_waitingCount.store(m_waiting.size(), std::memory_order_release);
}

void EventFeed::Drain()
{
    if (m_waitingCount.load(std::memory_order_acquire) == 0)
        return;
    std::lock_guard guard(m_drainMutex);
    {
        std::lock_guard waiting(m_waitingMutex);
        m_batch.swap(m_waiting);
        m_waitingCount = 0;
    }
    for (const TAPEVENT& event : m_batch) {
        if (m_takesRecords)
            Record(event);
        if (m_takesLines)
            Build(event);
    }
    m_batch.clear();
    for (const auto& output : m_outputs) {
        output->Flush();
        if (m_paced)
            output->WaitForRoom();
    }
}

void EventFeed::Record(const TAPEVENT& event)
{
    m_names.Talkgroup.clear();
    m_names.Radio.clear();
    m_names.Target.clear();
    const bool patch = event.What == TAPEVENT::Kind::Patch;
    if (event.Talkgroup > 0)
        m_names.Talkgroup = m_model.GetTalkgroupDescription(event.Talkgroup);
    if (event.Radio > 0)
        m_names.Radio = m_model.FindRadioDescription(event.Radio);
    if (event.Target > 0)
        m_names.Target =
            patch ? m_model.GetTalkgroupDescription(event.Target) : m_model.FindRadioDescription(event.Target);
    for (const auto& output : m_outputs)
        if (output->TakesRecords())
            output->Record(event, m_names);
}

void EventFeed::Publish(const EventLine& line)
{
    for (const auto& output : m_outputs)
        output->Publish(line);
    if (!line.StateOnly)
        m_published.fetch_add(1, std::memory_order_relaxed);
}

JsonObject EventFeed::Begin(const char* type, int64_t time, const LOGSITE& site, int32_t wacn)
{
    m_json.clear();
    JsonObject object(m_json);
    object.Int("v", SchemaVersion).Text("type", type).Text("time", IsoTime(time)).Int("epoch", time);
    Hex(object, "wacn", wacn, 5);
    Hex(object, "sysid", site.SysId, 3);
    object.Int("rfss", site.RfssId).Int("site", site.SiteId);
    return object;
}

void EventFeed::Finish(JsonObject& object, const char* type, const LOGSITE& site, bool retained, bool stateOnly)
{
    object.End();
    m_line.Type = type;
    m_line.Json.swap(m_json);
    m_line.Source.clear();
    if (site.SysId != 0) {
        char source[32];
        std::snprintf(source, sizeof source, "%03X/%d-%d", static_cast<unsigned>(site.SysId), site.RfssId,
                      site.SiteId);
        m_line.Source = source;
    }
    m_line.Retained = retained;
    m_line.StateOnly = stateOnly;
    Publish(m_line);
    m_json.swap(m_line.Json);
}

void EventFeed::Build(const TAPEVENT& event)
{
    switch (event.What) {
    case TAPEVENT::Kind::Grant: BuildGrant(event); break;
    case TAPEVENT::Kind::Queued: BuildRequest(event, "queued"); break;
    case TAPEVENT::Kind::CallAlert: BuildRequest(event, "call_alert"); break;
    case TAPEVENT::Kind::Affiliation: BuildAffiliation(event); break;
    case TAPEVENT::Kind::Patch: BuildPatch(event); break;
    case TAPEVENT::Kind::System: BuildSystem(event); break;
    case TAPEVENT::Kind::IdentifierTable: BuildIdentifierTable(event); break;
    case TAPEVENT::Kind::Neighbor: BuildNeighbor(event); break;
    case TAPEVENT::Kind::Event: break;
    }
}

void EventFeed::BuildGrant(const TAPEVENT& e)
{
    JsonObject object = Begin("grant", e.Time, e.Site, e.Wacn);
    const bool stationId = std::string_view(e.Usage) == "station id";
    object.Text("kind", e.Usage).Text("channel", ChannelName(e.Channel));
    Frequency(object, "frequency", e.Frequency);
    Frequency(object, "input_frequency", e.InputFrequency);
    if (e.Slot >= 0)
        object.Int("slot", e.Slot);
    if (e.Talkgroup >= 0)
        object.Int("talkgroup", e.Talkgroup).Text("talkgroup_name", m_model.GetTalkgroupDescription(e.Talkgroup));
    if (!stationId)
        object.Int("radio", e.Radio).Text("radio_name", m_model.FindRadioDescription(e.Radio));
    if (e.Target > 0)
        object.Int("target", e.Target).Text("target_name", m_model.FindRadioDescription(e.Target));
    if (stationId)
        object.Text("call_sign", e.Text);
    object.Bool("encrypted", e.ServiceOptions & 0x40).Bool("emergency", e.ServiceOptions & 0x80);
    Finish(object, "grant", e.Site);
}

// A queued call and a call alert: who asked, and the talkgroup or radio asked for.
void EventFeed::BuildRequest(const TAPEVENT& e, const char* type)
{
    JsonObject object = Begin(type, e.Time, e.Site, e.Wacn);
    if (e.Talkgroup >= 0)
        object.Int("talkgroup", e.Talkgroup).Text("talkgroup_name", m_model.GetTalkgroupDescription(e.Talkgroup));
    object.Int("radio", e.Radio).Text("radio_name", m_model.FindRadioDescription(e.Radio));
    if (e.Target > 0)
        object.Int("target", e.Target).Text("target_name", m_model.FindRadioDescription(e.Target));
    Finish(object, type, e.Site);
}

void EventFeed::BuildAffiliation(const TAPEVENT& e)
{
    JsonObject object = Begin(e.Usage, e.Time, e.Site, e.Wacn);
    object.Int("radio", e.Radio).Text("radio_name", m_model.FindRadioDescription(e.Radio));
    if (e.Talkgroup > 0)
        object.Int("talkgroup", e.Talkgroup).Text("talkgroup_name", m_model.GetTalkgroupDescription(e.Talkgroup));
    else
        object.Null("talkgroup").Null("talkgroup_name");
    object.Bool("accepted", e.Code != 'D').Text("result", e.Text);
    Finish(object, e.Usage, e.Site);
}

void EventFeed::BuildPatch(const TAPEVENT& e)
{
    std::set<int>& members = m_patchMembers[e.Target];
    if (e.Code == 'A')
        members.insert(e.Talkgroup);
    else
        members.erase(e.Talkgroup);
    std::string list = "[";
    for (const int member : members) {
        if (list.size() > 1)
            list += ',';
        list += std::to_string(member);
    }
    list += ']';
    if (members.empty())
        m_patchMembers.erase(e.Target);

    JsonObject object = Begin("patch", e.Time, e.Site, e.Wacn);
    object.Text("action", e.Code == 'A' ? "added" : "removed")
        .Int("supergroup", e.Target)
        .Text("supergroup_name", m_model.GetTalkgroupDescription(e.Target))
        .Int("talkgroup", e.Talkgroup)
        .Text("talkgroup_name", m_model.GetTalkgroupDescription(e.Talkgroup))
        .Raw("members", list);
    Finish(object, "patch", e.Site);
}

void EventFeed::BuildSystem(const TAPEVENT& e)
{
    const SYSINFO& info = e.System;
    JsonObject object = Begin("system", e.Time, e.Site, info.Wacn);
    object.Text("change", SystemChangeName(e.Code))
        .Text("system_description", info.SystemDescription)
        .Text("site_description", info.SiteDescription)
        .Int("service_class", info.ServiceClass)
        .Text("services", P25Class::ServiceClassText(info.ServiceClass))
        .Int("status", info.SiteStatus)
        .Text("flavor", P25Class::FlavorText(info.Flavor))
        .Text("call_signs", info.CallSigns);
    Finish(object, "system", e.Site, true);
    if (e.Code != TAPEVENT::NewSystem && e.Code != TAPEVENT::NewSite)
        return;
    // A new site starts its lists afresh: newcomers must not keep the old site's state.
    m_patchMembers.clear();
    TAPEVENT state = TAPEVENT::Of(TAPEVENT::Kind::IdentifierTable);
    state.Time = e.Time;
    state.Site = e.Site;
    state.Wacn = info.Wacn;
    BuildIdentifierTable(state);
    state.What = TAPEVENT::Kind::Neighbor;
    BuildNeighbor(state);
}

// With Identifier -1 only the retained state of all tables.
void EventFeed::BuildIdentifierTable(const TAPEVENT& e)
{
    if (e.Identifier >= 0) {
        JsonObject object = Begin("identifier_table", e.Time, e.Site, e.Wacn);
        TableFields(object, e.Identifier, e.Table);
        Finish(object, "identifier_table", e.Site);
    }
    IDENTABLE tables[MaxIdentifierTables];
    m_model.CopyIdentifierTables(tables, MaxIdentifierTables);
    std::string list = "[";
    for (int i = 0; i < MaxIdentifierTables; ++i) {
        if (tables[i].Base != 0.0)
            AppendObject(list, tables[i], [i](JsonObject& object, const IDENTABLE& t) { TableFields(object, i, t); });
    }
    list += ']';
    JsonObject state = Begin("identifier_tables", e.Time, e.Site, e.Wacn);
    state.Raw("tables", list);
    Finish(state, "identifier_tables", e.Site, true, true);
}

// With the default (empty) Neighbor only the retained state of the list.
void EventFeed::BuildNeighbor(const TAPEVENT& e)
{
    if (e.Neighbor.SysId != 0) {
        JsonObject object = Begin("neighbor", e.Time, e.Site, e.Wacn);
        NeighborFields(object, e.Neighbor);
        Finish(object, "neighbor", e.Site);
    }
    std::string list = "[";
    for (const NEIGHBORREC& n : m_model.CopyNeighbors())
        AppendObject(list, n, NeighborFields);
    list += ']';
    JsonObject state = Begin("neighbors", e.Time, e.Site, e.Wacn);
    state.Raw("neighbors", list);
    Finish(state, "neighbors", e.Site, true, true);
}

void EventFeed::FlushOutputs()
{
    if (!IsOn())
        return;
    std::lock_guard guard(m_drainMutex);
    for (const auto& output : m_outputs)
        output->Flush();
}

void EventFeed::PublishRate(const RateFigures& figures)
{
    if (!IsOn())
        return;
    std::lock_guard guard(m_drainMutex);
    PublishRateAt(m_model.Now(), figures);
}

void EventFeed::PublishRateAt(int64_t time, const RateFigures& figures)
{
    const LOGSITE site = m_model.LogSite();
    JsonObject object = Begin("rate", time, site, m_model.LogWacn());
    object.Int("received", figures.Received).Int("expected", figures.Expected).Int("crc_failures", figures.CrcFailures);
    if (figures.QueueFree >= 0)
        object.Int("queue_free", figures.QueueFree);
    Finish(object, "rate", site, true);
    for (const auto& output : m_outputs)
        output->Flush();
}

void EventFeed::PublishFollow(const FollowFigures& figures)
{
    if (!IsOn())
        return;
    std::lock_guard guard(m_drainMutex);
    const LOGSITE site = m_model.LogSite();
    JsonObject object = Begin("follow", m_model.Now(), site, m_model.LogWacn());
    if (figures.Channel < 0) {
        object.Bool("quiet", true);
    } else {
        object.Bool("quiet", false).Text("channel", ChannelName(figures.Channel));
        Frequency(object, "frequency", figures.Frequency);
        object.Int("talkgroup", figures.Talkgroup)
            .Text("talkgroup_name", m_model.GetTalkgroupDescription(figures.Talkgroup));
        if (figures.Reason) {
            const std::string_view reason = figures.Reason;
            object.Bool("followed", reason == "followed").Text("reason", figures.Reason).Text("reason_text",
                                                                                                figures.ReasonText);
        }
    }
    Finish(object, "follow", site);
}

void EventFeed::ReplayBlock(uint64_t blocksTaken, uint64_t crcFailures)
{
    // The block being handed over is not decoded yet: it belongs to the next count.
    const uint64_t done = blocksTaken > 0 ? blocksTaken - 1 : 0;
    const int64_t now = m_model.Now();
    if (m_rateSecond < 0) {
        m_rateSecond = now;
        m_rateBlocks = done;
        m_rateCrc = crcFailures;
        return;
    }
    if (now == m_rateSecond)
        return;
    {
        std::lock_guard guard(m_drainMutex);
        const auto expected = static_cast<int64_t>(done - m_rateBlocks);
        const auto failed = static_cast<int64_t>(crcFailures - m_rateCrc);
        PublishRateAt(m_rateSecond, {expected - failed, expected, failed, -1});
    }
    m_rateSecond = now;
    m_rateBlocks = done;
    m_rateCrc = crcFailures;
}

void EventFeed::EndReplay(uint64_t blocksTaken, uint64_t crcFailures)
{
    Drain();
    if (IsOn() && m_rateSecond >= 0 && blocksTaken > m_rateBlocks) {
        std::lock_guard guard(m_drainMutex);
        const auto expected = static_cast<int64_t>(blocksTaken - m_rateBlocks);
        const auto failed = static_cast<int64_t>(crcFailures - m_rateCrc);
        PublishRateAt(m_rateSecond, {expected - failed, expected, failed, -1});
    }
    m_rateSecond = -1;
}

void EventFeed::Restart()
{
    std::lock_guard guard(m_drainMutex);
    m_patchMembers.clear();
    m_rateSecond = -1;
    m_rateBlocks = 0;
    m_rateCrc = 0;
}

uint64_t EventFeed::Dropped() const
{
    uint64_t dropped = m_overflow.load();
    std::lock_guard guard(m_drainMutex);
    for (const auto& output : m_outputs)
        dropped += output->Dropped();
    return dropped;
}

std::vector<std::string> EventFeed::TakeNotices()
{
    std::vector<std::string> notices;
    std::lock_guard guard(m_drainMutex);
    for (const auto& output : m_outputs)
        for (std::string& notice : output->TakeNotices())
            notices.push_back(std::move(notice));
    return notices;
}
