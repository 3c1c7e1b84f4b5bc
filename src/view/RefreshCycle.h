#pragma once
#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "view/LogLists.h"
#include "model/P25Class.h"
#include "view/ScreenLists.h"

// One refresh of the window's lists from the model: the time-outs on the activity clock,
// then each section whose changed flag is set (or all on a full redraw), in the window's
// order. The GUI's ScreenThread runs a cycle every 10 ms and draws the sections a cycle
// reports; zembrant-cli runs it on its own and writes the logs. RunCycle holds a mutex, so a
// replay may also drain the model's queues from the processing thread between blocks.
class RefreshCycle
{
public:
    enum class Section
    {
        IdentifierTables,
        SystemInformation,
        Activity,
        AdjacentSites,
        Affiliations,
        Patches,
        UnknownPackets,
        Grants,
        OtherEvents,
        PacketDump,
        FilterRanges,
        RawDump,
        // The talkgroup and radio counts of the system information alone.
        Counts,
    };

    struct Inputs
    {
        bool DecodeActive = false;
        int HeldTalkgroup = -1;
        bool RawDumpOn = false;
    };

    explicit RefreshCycle(P25Class& model);

    void SetLogSettings(const LogSettings& settings, int privatePriority);
    void RunCycle(const Inputs& inputs);
    // Takes every pending log record now.
    void DrainLogs();
    // The two "Refresh" commands: the affiliation list rebuilt from the model's list (a full
    // redraw does it too), and the descriptions of the affiliation log, the grant trace and
    // the recent grants read again from the model.
    void RebuildAffiliationList();
    void RefreshLogDescriptions();
    // A replay's processing thread, before each block is decoded: whatever the blocks
    // before it logged becomes rows now, reading the model of this moment, as a live
    // refresh that keeps up with 40 blocks a second builds them. The sections this
    // rebuilds are told to onSection by the next cycle, on the cycle's thread.
    void TakeLogsBetweenBlocks();
    // Told, between blocks and after each cycle, when a list's unsaved rows reach nine
    // tenths of its cap, for the front end to append them before the cap could drop any.
    std::function<void(LogKind)> onListFilling;
    // Held by every cycle and drain; a front end that reads or saves Logs from another
    // thread holds it too.
    std::recursive_mutex& Mutex() { return m_mutex; }

    // Set from any thread: the next cycle redraws every section that honours it.
    std::atomic<bool> RequestFullRedraw{false};

    // The followed row of the channel snapshot, or -1 (the follow step of scanner control).
    std::function<int(std::span<const FreqInfo> channels, std::span<const PATCHREC> patches, const Inputs&)> follow;
    // Pops one raw line of the reader; false when none waits.
    std::function<bool(std::string& line)> popRawLine;
    // Told after each section was rebuilt, for a window to draw it.
    std::function<void(Section)> onSection;

    // What the sections show. Read them from the thread that runs the cycles.
    LogLists Logs;
    SystemLabels Labels;
    std::vector<TextRow> SiteInformation;
    std::vector<TextRow> IdentifierTables;
    std::vector<TextRow> Activity;
    std::string Hold = "No Hold";
    std::vector<TextRow> AdjacentSites;
    AffiliationList Affiliations;
    std::vector<TextRow> PatchList;
    // The current patch list: caption the talkgroup, sub-item the supergroup.
    std::vector<TextRow> CurrentPatches;
    std::string PatchesCaption = "Patches (0)";
    std::string AffiliationCaption = "Affiliation List (0)";
    std::vector<TextRow> FilterRanges;
    bool FilteringEnabled = false;
    int FollowedRow = -1;

    static constexpr int RawLinesPerCycle = 5;

    // A new session or replay: empties every shown list but the filter ranges, forgets the
    // shown identity, and tells onSection of each emptied section.
    void ResetShownLists();

private:
    // Redraws the system information when the identity moved under the shown one.
    void CheckIdentity();
    void DrawSystemInformation(const SYSINFO& info);
    void DrawIdentifierTables();
    void DrawActivity(const Inputs& inputs);
    void DrawAdjacentSites();
    void DrawAffiliations();
    void DrawPatches(bool patchesChanged, bool patchLogChanged);
    void DrawUnknownPackets();
    void DrawGrants();
    void DrawOtherEvents();
    void DrawPacketDump();
    void DrawFilterRanges();
    void DrawRawDump();
    void DrawCounts();
    void SaveFillingLists();
    void Drawn(Section section);

    P25Class& m_model;
    std::recursive_mutex m_mutex;
    // Between blocks, sections rebuilt are kept here for the next cycle to tell.
    bool m_betweenBlocks = false;
    bool m_identityChecked = false;
    bool m_systemInfoDue = false;
    // The towers as last read; kept when SYSINFOLOCK was busy.
    std::vector<TOWERS> m_towers;
    uint32_t m_pendingSections = 0;
    LogSettings m_settings;
    int m_privatePriority = 0;
    int64_t m_lastTicks = -1;
    int m_lastHeld = -1;
    int m_shownRfss = -1;
    int m_shownSite = -1;
    bool m_shownWacnKnown = false;
    int m_shownTalkgroups = -1;
    int m_shownRadios = -1;

    std::vector<AFFLOG> m_affiliationCopy;
    std::vector<GRANTLOG> m_grantCopy;
    std::vector<EVENTLOG> m_eventCopy;
    std::vector<PATCHLOG> m_patchLogCopy;
    std::vector<ALLPKT> m_packetCopy;
    std::vector<UNKTSBK> m_unknownCopy;
    std::vector<FreqInfo> m_channelCopy;
    std::vector<NEIGHBORREC> m_neighborCopy;
    std::vector<PATCHREC> m_patchCopy;
    int m_patchCount = 0;
    std::vector<FILTERRANGE> m_filterCopy;
    std::array<IDENTABLE, MaxIdentifierTables> m_tableCopy{};
};
