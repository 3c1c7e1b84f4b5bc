#include "view/RefreshCycle.h"

#include <bit>
#include <utility>

#include "platform/TextFormat.h"
#include "view/ListSorting.h"

RefreshCycle::RefreshCycle(P25Class& model)
    : m_model(model),
      m_affiliationCopy(AffiliationLogCapacity),
      m_grantCopy(GrantLogCapacity),
      m_eventCopy(EventLogCapacity),
      m_patchLogCopy(PatchLogCapacity),
      m_packetCopy(PacketDumpCapacity),
      m_unknownCopy(UnknownPacketCapacity),
      m_channelCopy(MaxChannels),
      m_neighborCopy(MaxNeighbors),
      m_patchCopy(MaxPatches),
      m_filterCopy(MaxFilterRanges)
{
}

void RefreshCycle::SetLogSettings(const LogSettings& settings, int privatePriority)
{
    std::lock_guard guard(m_mutex);
    m_settings = settings;
    m_privatePriority = privatePriority;
}

void RefreshCycle::RunCycle(const Inputs& inputs)
{
    std::lock_guard guard(m_mutex);
    const int64_t ticks = m_model.ActivityTicks();
    if (ticks != m_lastTicks) {
        m_model.ExpireChannelActivity();
        m_model.ExpirePatches();
        m_lastTicks = ticks;
    }
    const bool full = RequestFullRedraw.exchange(false);
    if (full)
        RebuildAffiliationList();
    for (uint32_t pending = std::exchange(m_pendingSections, 0); pending != 0; pending &= pending - 1)
        Drawn(static_cast<Section>(std::countr_zero(pending)));

    if (m_model.AreIdentifierTablesChanged() || full)
        DrawIdentifierTables();
    // A system folder load holds SYSINFOLOCK for long: the section waits for a later cycle
    // rather than the window for the lock.
    bool systemChanged = false;
    m_systemInfoDue = m_systemInfoDue || full || (m_model.TryIsSystemInfoChanged(systemChanged) && systemChanged);
    if (m_systemInfoDue) {
        SYSINFO info;
        if (m_model.TryGetSystemInfo(info, m_towers)) {
            m_systemInfoDue = false;
            DrawSystemInformation(info);
        }
    }
    if (m_model.AreChannelsChanged() || full)
        DrawActivity(inputs);
    if (m_model.AreNeighborsChanged() || full)
        DrawAdjacentSites();
    // Taken whenever records wait: records that leave the list unchanged (denials) would
    // otherwise fill the queue and block every later affiliation event.
    DrawAffiliations();
    if (m_model.ArePatchesChanged() || m_model.IsPatchLogChanged() || full)
        DrawPatches(m_model.ArePatchesChanged() || full, m_model.IsPatchLogChanged() || full);
    if (m_model.IsUnknownPacketsChanged())
        DrawUnknownPackets();
    if (m_model.IsGrantLogChanged() || full)
        DrawGrants();
    if (m_model.IsEventLogChanged() || full)
        DrawOtherEvents();
    if (m_model.IsPacketDumpChanged() || full)
        DrawPacketDump();
    if (m_model.AreFiltersChanged() || full)
        DrawFilterRanges();
    if (inputs.HeldTalkgroup != m_lastHeld) {
        m_lastHeld = inputs.HeldTalkgroup;
        DrawActivity(inputs);
    }
    if (inputs.DecodeActive && inputs.RawDumpOn && popRawLine)
        DrawRawDump();
    DrawCounts();
    // A fast live feed fills a list between two auto-saves.
    SaveFillingLists();
}

// The counts move with every grant and affiliation, whichever section saw them.
void RefreshCycle::DrawCounts()
{
    const int talkgroups = m_model.TalkgroupCount();
    const int radios = m_model.RadioCount();
    if (talkgroups == m_shownTalkgroups && radios == m_shownRadios)
        return;
    m_shownTalkgroups = talkgroups;
    m_shownRadios = radios;
    Labels.TalkgroupCount = std::to_string(talkgroups);
    Labels.RadioCount = std::to_string(radios);
    Drawn(Section::Counts);
}

void RefreshCycle::DrainLogs()
{
    std::lock_guard guard(m_mutex);
    DrawAffiliations();
    DrawPatches(false, true);
    DrawUnknownPackets();
    DrawGrants();
    DrawOtherEvents();
    DrawPacketDump();
}

void RefreshCycle::TakeLogsBetweenBlocks()
{
    const unsigned waiting = m_model.WaitingLogQueues();
    if (waiting == 0)
        return;
    std::lock_guard guard(m_mutex);
    m_betweenBlocks = true;
    if (waiting & P25Class::AffiliationQueue)
        DrawAffiliations();
    if (waiting & P25Class::PatchQueue)
        DrawPatches(false, true);
    if (waiting & P25Class::UnknownQueue)
        DrawUnknownPackets();
    if (waiting & P25Class::GrantQueue)
        DrawGrants();
    if (waiting & P25Class::EventQueue)
        DrawOtherEvents();
    if (waiting & P25Class::PacketQueue)
        DrawPacketDump();
    m_betweenBlocks = false;
    m_identityChecked = false;
    SaveFillingLists();
}

void RefreshCycle::SaveFillingLists()
{
    if (!onListFilling)
        return;
    for (int k = 0; k < LogKindCount; ++k) {
        LogList& list = Logs.List(static_cast<LogKind>(k));
        // Checked after every block and cycle, so a list can fill nearly to its cap before
        // any unsaved row is at risk.
        if (list.UnsavedCount() * 10 < list.Cap() * 9)
            continue;
        // A replay appends often: each append skips the wait for the disk, which the run's
        // last save (or the next auto-save) makes for all of them.
        list.SetSyncOnSave(false);
        onListFilling(list.Kind());
        list.SetSyncOnSave(true);
    }
}

void RefreshCycle::Drawn(Section section)
{
    if (m_betweenBlocks)
        m_pendingSections |= 1u << static_cast<int>(section);
    else if (onSection)
        onSection(section);
}

void RefreshCycle::CheckIdentity()
{
    // Between blocks, once is enough.
    if (m_identityChecked)
        return;
    m_identityChecked = m_betweenBlocks;
    bool changed = false;
    if (!m_model.TryIsSystemInfoChanged(changed))
        return;
    const LOGSITE site = m_model.LogSite();
    if (!changed && m_shownWacnKnown && site.RfssId == m_shownRfss && site.SiteId == m_shownSite)
        return;
    SYSINFO info;
    if (!m_model.TryGetSystemInfo(info, m_towers))
        return;
    const bool stale = (info.Wacn != 0 && !m_shownWacnKnown) || info.RfssId != m_shownRfss || info.SiteId != m_shownSite;
    if (changed || stale)
        DrawSystemInformation(info);
}

void RefreshCycle::DrawSystemInformation(const SYSINFO& info)
{
    m_shownRfss = info.RfssId;
    m_shownSite = info.SiteId;
    m_shownWacnKnown = info.SysId != 0 && info.Wacn != 0;
    const std::string tower = TowerDescriptionOf(m_towers, info.RfssId, info.SiteId);
    Labels = BuildSystemLabels(info, tower);
    SiteInformation = SiteInformationRows(info, tower);
    m_shownTalkgroups = m_model.TalkgroupCount();
    m_shownRadios = m_model.RadioCount();
    Labels.TalkgroupCount = std::to_string(m_shownTalkgroups);
    Labels.RadioCount = std::to_string(m_shownRadios);
    Drawn(Section::SystemInformation);
}

void RefreshCycle::DrawIdentifierTables()
{
    if (m_model.LogSite().SysId == 0)
        return;
    CheckIdentity();
    m_model.GetIdentifierTables(m_tableCopy.data(), MaxIdentifierTables);
    IdentifierTables = IdentifierRows(m_tableCopy.data());
    Drawn(Section::IdentifierTables);
}

void RefreshCycle::DrawActivity(const Inputs& inputs)
{
    // Before a system is known the channels are not shown; only a new hold label is told.
    if (m_model.LogSite().SysId == 0) {
        std::string hold = HoldLabel(inputs.HeldTalkgroup);
        if (hold != Hold) {
            Hold = std::move(hold);
            Drawn(Section::Activity);
        }
        return;
    }
    Hold = HoldLabel(inputs.HeldTalkgroup);
    CheckIdentity();
    const int count = m_model.GetChannels(m_channelCopy.data(), MaxChannels);
    const std::span<const FreqInfo> channels(m_channelCopy.data(), count);
    FollowedRow = follow ? follow(channels, std::span<const PATCHREC>(m_patchCopy.data(), m_patchCount), inputs) : -1;
    Activity = ActivityRows(m_model, m_channelCopy.data(), count, FollowedRow, m_privatePriority);
    Drawn(Section::Activity);
}

void RefreshCycle::DrawAdjacentSites()
{
    if (m_model.LogSite().SysId == 0)
        return;
    CheckIdentity();
    const int count = m_model.GetNeighbors(m_neighborCopy.data(), MaxNeighbors);
    m_model.TryGetTowers(m_towers);
    AdjacentSites = AdjacentRows(m_neighborCopy.data(), count, m_towers);
    Drawn(Section::AdjacentSites);
}

void RefreshCycle::RebuildAffiliationList()
{
    std::lock_guard guard(m_mutex);
    std::vector<AFFREC> list(MaxAffiliations);
    list.resize(m_model.GetAffiliations(list.data(), MaxAffiliations));
    Affiliations.Clear();
    for (const AFFREC& entry : list)
        Affiliations.Apply(m_model, AFFLOG{.Function = 'A', .Radio = entry.Radio, .Talkgroup = entry.Talkgroup,
                                           .Text = {}, .Time = entry.Time, .Site = {}});
    AffiliationCaption = "Affiliation List (" + std::to_string(Affiliations.Size()) + ")";
    Drawn(Section::Affiliations);
}

void RefreshCycle::RefreshLogDescriptions()
{
    std::lock_guard guard(m_mutex);
    Logs.RefreshDescriptions(m_model);
    Drawn(Section::Affiliations);
    Drawn(Section::Grants);
}

void RefreshCycle::DrawAffiliations()
{
    const int count = m_model.TakeAffiliationLog(m_affiliationCopy.data(), AffiliationLogCapacity);
    // The rows come from the records; the model's list only says that something changed.
    if (!m_model.TakeAffiliationsChanged() && count == 0)
        return;
    for (int i = 0; i < count; ++i) {
        const AFFLOG& record = m_affiliationCopy[i];
        Affiliations.Apply(m_model, record);
        Logs.AddAffiliation(m_model, m_settings, record);
    }
    AffiliationCaption = "Affiliation List (" + std::to_string(Affiliations.Size()) + ")";
    Drawn(Section::Affiliations);
}

void RefreshCycle::DrawPatches(bool patchesChanged, bool patchLogChanged)
{
    if (m_model.LogSite().SysId == 0)
        return;
    CheckIdentity();
    if (patchesChanged) {
        m_patchCount = m_model.GetPatches(m_patchCopy.data(), MaxPatches);
        PatchList = PatchRows(m_model, m_patchCopy.data(), m_patchCount);
        CurrentPatches.clear();
        for (int i = 0; i < m_patchCount; ++i)
            CurrentPatches.push_back(
                {Format("%05d", m_patchCopy[i].Talkgroup), {Format("%05d", m_patchCopy[i].Supergroup)}});
        PatchesCaption = Format("Patches (%d)", m_patchCount);
    }
    if (patchLogChanged) {
        const int count = m_model.TakePatchLog(m_patchLogCopy.data(), PatchLogCapacity);
        for (int i = 0; i < count; ++i)
            Logs.AddPatch(m_model, m_patchLogCopy[i]);
    }
    Drawn(Section::Patches);
}

void RefreshCycle::DrawUnknownPackets()
{
    if (m_model.LogSite().SysId == 0)
        return;
    CheckIdentity();
    const int count = m_model.TakeUnknownPackets(m_unknownCopy.data(), UnknownPacketCapacity);
    for (int i = 0; i < count; ++i)
        Logs.AddUnknown(m_unknownCopy[i]);
    Drawn(Section::UnknownPackets);
}

void RefreshCycle::DrawGrants()
{
    if (m_model.LogSite().SysId == 0)
        return;
    CheckIdentity();
    const int count = m_model.TakeGrantLog(m_grantCopy.data(), GrantLogCapacity);
    for (int i = 0; i < count; ++i)
        Logs.AddGrant(m_model, m_settings, m_grantCopy[i]);
    Drawn(Section::Grants);
}

void RefreshCycle::DrawOtherEvents()
{
    if (m_model.LogSite().SysId == 0)
        return;
    CheckIdentity();
    const int count = m_model.TakeEventLog(m_eventCopy.data(), EventLogCapacity);
    for (int i = 0; i < count; ++i)
        Logs.AddEvent(m_settings, m_eventCopy[i]);
    Drawn(Section::OtherEvents);
}

void RefreshCycle::DrawPacketDump()
{
    if (m_model.LogSite().SysId == 0)
        return;
    CheckIdentity();
    const int count = m_model.TakePacketDump(m_packetCopy.data(), PacketDumpCapacity);
    for (int i = 0; i < count; ++i)
        Logs.AddPacket(m_packetCopy[i]);
    Drawn(Section::PacketDump);
}

void RefreshCycle::DrawFilterRanges()
{
    FilteringEnabled = m_model.IsFilteringEnabled();
    const int count = m_model.GetFilterRanges(m_filterCopy.data(), MaxFilterRanges);
    FilterRanges = FilterRows(m_filterCopy.data(), count);
    SortFilterRows(FilterRanges);
    Drawn(Section::FilterRanges);
}

void RefreshCycle::DrawRawDump()
{
    std::string line;
    int moved = 0;
    while (moved < RawLinesPerCycle && popRawLine(line)) {
        Logs.AddRawLine(line);
        ++moved;
    }
    if (moved)
        Drawn(Section::RawDump);
}

void RefreshCycle::ResetShownLists()
{
    std::lock_guard guard(m_mutex);
    for (int k = 0; k < LogKindCount; ++k)
        Logs.List(static_cast<LogKind>(k)).Clear();
    Labels = SystemLabels{};
    SiteInformation.clear();
    IdentifierTables.clear();
    Activity.clear();
    AdjacentSites.clear();
    Affiliations.Clear();
    PatchList.clear();
    CurrentPatches.clear();
    PatchesCaption = "Patches (0)";
    AffiliationCaption = "Affiliation List (0)";
    FollowedRow = -1;
    m_patchCount = 0;
    m_pendingSections = 0;
    m_identityChecked = false;
    m_shownRfss = -1;
    m_shownSite = -1;
    m_shownWacnKnown = false;
    m_shownTalkgroups = -1;
    m_shownRadios = -1;
    for (int section = 0; section <= static_cast<int>(Section::Counts); ++section)
        if (static_cast<Section>(section) != Section::FilterRanges)
            Drawn(static_cast<Section>(section));
}
