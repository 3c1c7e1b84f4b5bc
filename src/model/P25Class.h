#pragma once
#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "decoder/Tsbk.h"
#include "decoder/BlockDecoder.h"
#include "model/EventTap.h"
#include "model/RadioTable.h"
#include "model/Records.h"
#include "platform/Clock.h"

// Fixed capacities; every list is allocated once, at construction.
constexpr int MaxIdentifierTables = 16;
constexpr int MaxChannels = 50;
constexpr int MaxNeighbors = 40;
constexpr int MaxTowers = 500;
constexpr int TalkgroupSlots = 65536;
constexpr int MaxRadios = 200000;
constexpr int MaxPatches = 25;
constexpr int MaxAffiliations = 2000;
constexpr int MaxFilterRanges = 40;
constexpr int AffiliationLogCapacity = 50;
constexpr int GrantLogCapacity = 50;
constexpr int EventLogCapacity = 100;
constexpr int PatchLogCapacity = 50;
constexpr int PacketDumpCapacity = 100;
constexpr int UnknownPacketCapacity = 20;

constexpr int NoChannel = 0xFFFF;
constexpr int DefaultTGTimeOut = 17;
constexpr int MinimumTGTimeOut = 5;

// A pending log queue. Count is read without the queue's lock to refuse a full queue
// early; everything else is touched under the lock.
template <typename Record, int Capacity>
struct PendingQueue
{
    std::array<Record, Capacity> Items{};
    std::atomic<int> Count{0};
    bool Changed = false;
    // Records refused because the queue was full.
    std::atomic<uint64_t> Dropped{0};
};

// The decoded system: the decoders (run by ProcThread only) and the model they write.
// Every model operation takes its named lock (model/Locks.h) for its whole body, so the
// screen and user-interface threads may read and edit concurrently.
class P25Class : public BlockDecoder
{
public:
    explicit P25Class(Clock& clock = Clock::System());
    ~P25Class();
    P25Class(const P25Class&) = delete;
    P25Class& operator=(const P25Class&) = delete;

    // The clock that stamps records and channel activity; replay swaps in its own.
    void SetClock(Clock& clock) { m_clock = &clock; }
    Clock& GetClock() const { return *m_clock; }
    int64_t Now() const { return m_clock->Now(); }
    uint32_t ActivityTicks() const { return m_clock->ActivityTicks(); }

    // Decoders.
    bool DecodeTsbk(const uint8_t* block) override;
    bool DecodeMultiBlock(const PacketRecord& packet) override;

    // Whole model.
    void ResetModel();
    void ResetSiteLists();
    void SetDataFolder(const std::string& path);
    std::string GetDataFolder() const;
    void SetDefaultColors(uint32_t text, uint32_t background);
    uint32_t DefaultTextColor() const { return m_defaultTextColor; }
    uint32_t DefaultBackgroundColor() const { return m_defaultBackgroundColor; }

    // View switches, copied from the configuration by the user-interface thread.
    void SetUnknownsVisible(bool on) { m_unknownsVisible = on; }
    void SetGrantsVisible(bool on) { m_grantsVisible = on; }
    void SetOtherInfoVisible(bool on) { m_otherInfoVisible = on; }
    void SetPktDumpVisible(bool on) { m_pktDumpVisible = on; }
    void SetLogProtectionData(bool on) { m_logProtectionData = on; }
    void SetSaveHitCounts(bool on) { m_saveHitCounts = on; }
    bool IsUnknownsVisible() const { return m_unknownsVisible.load(std::memory_order_relaxed); }
    bool IsGrantsVisible() const { return m_grantsVisible.load(std::memory_order_relaxed); }
    bool IsOtherInfoVisible() const { return m_otherInfoVisible.load(std::memory_order_relaxed); }
    bool IsPktDumpVisible() const { return m_pktDumpVisible.load(std::memory_order_relaxed); }
    bool IsLogProtectionData() const { return m_logProtectionData.load(std::memory_order_relaxed); }
    bool IsSaveHitCounts() const { return m_saveHitCounts.load(std::memory_order_relaxed); }

    // The live event feed; null (the default) costs one load per grant, affiliation,
    // patch and state change, and nothing per block.
    // otherEvents: the tap keeps the other-events log too (the history), so its texts are
    // built while the list is hidden.
    void SetEventTap(EventTap* tap, bool otherEvents = false)
    {
        m_tapOtherEvents.store(tap && otherEvents, std::memory_order_relaxed);
        m_eventTap.store(tap, std::memory_order_release);
    }
    // The other events are wanted: shown, or kept by the history.
    bool WantsOtherEvents() const
    {
        return IsOtherInfoVisible() || m_tapOtherEvents.load(std::memory_order_relaxed);
    }

    // Called on the decoding thread right after a new System ID had its folder loaded (or
    // found none), inside SYSINFOLOCK; set before decoding starts. The report layer keeps
    // what the folder held from here.
    void SetOnFolderLoaded(std::function<void()> hook) { m_onFolderLoaded = std::move(hook); }

    bool IsMultiBlockSeen() const { return m_multiBlockSeen.load(std::memory_order_relaxed); }
    void SetMultiBlockSeen(bool seen) { m_multiBlockSeen = seen; }

    // System information and towers (SYSINFOLOCK).
    bool SetSystemAndSite(int sysId, int rfssId, uint8_t serviceClass, int siteId);
    bool SetWacn(int wacn);
    bool SetSiteStatus(int bits);
    void SetFlavor(int value);
    bool AddCallSign(const std::string& text);
    bool SetSystemDescription(const std::string& text);
    bool SetSiteDescription(const std::string& text);
    bool SetTowerDescription(int rfss, int site, const std::string& text);
    std::string GetTowerDescription(int rfss, int site) const;
    void ClearTowers();
    int GetTowers(std::vector<TOWERS>& destination) const;
    int GetSystemId() const;
    int GetRfssId() const;
    int GetSiteId() const;
    uint8_t IsSystemInfoChanged() const;
    bool GetSystemInfo(SYSINFO& destination);
    // The same copy without clearing the changed flag (for the editors).
    SYSINFO CopySystemInfo() const;
    // The refresh's forms: a single attempt at SYSINFOLOCK, which a system folder load holds
    // for a long time. False while another thread holds it; nothing is cleared then.
    bool TryIsSystemInfoChanged(bool& changed) const;
    bool TryGetSystemInfo(SYSINFO& destination, std::vector<TOWERS>& towers);
    bool TryGetTowers(std::vector<TOWERS>& destination) const;
    static std::string ServiceClassText(uint8_t bits);
    // SysId, RfssId and SiteId as they stand, read without a lock (log records are stamped
    // with it and the decoder's gate reads it).
    LOGSITE LogSite() const;
    // The WACN beside it, read the same way.
    int32_t LogWacn() const { return m_logWacn.load(std::memory_order_relaxed); }
    static std::string FlavorText(int flavor);

    // Neighbour sites (NEIGHBOR).
    void ClearNeighbors();
    int FindNeighbor(int sysId, int rfssId, int siteId) const;
    bool UpdateNeighbor(const NEIGHBORREC& record);
    int GetNeighbors(NEIGHBORREC* destination, int max);
    // The same copy without clearing the changed flag (for the event feed).
    std::vector<NEIGHBORREC> CopyNeighbors() const;
    bool AreNeighborsChanged() const;

    // Talkgroup and radio tables. IDs 0 are never stored; a full table refuses new IDs
    // quietly. The look-ups marked bounded give their stated answer when TGLOCK stays busy.
    // AddTalkgroup reads the site under SYSINFOLOCK before it takes TGLOCK, so its caller
    // may hold SYSINFOLOCK but none of the locks that come after it.
    void ClearTalkgroups();
    int TalkgroupCount() const { return m_talkgroupCount.load(std::memory_order_relaxed); }
    bool TalkgroupExists(int id) const; // bounded; true when busy
    bool AddTalkgroup(int id);
    bool SetTalkgroup(int id, const std::string& description, int64_t lastSeen, uint8_t priority,
                      uint8_t emrgIgnore);
    std::string GetTalkgroupDescription(int id) const; // bounded; "" when busy
    uint8_t GetTalkgroupPriority(int id) const;         // bounded; 3 when busy
    bool TouchTalkgroup(int id);                        // bounded
    void CountTalkgroupHit(int id);
    void MarkTalkgroupEncrypted(int id);
    void SetTalkgroupHits(int id, int hits);
    bool SetTalkgroupFirstSeen(int id, int64_t time); // bounded
    void SetTalkgroupEmrgIgnore(int id, uint8_t value);
    uint8_t GetTalkgroupEmrgIgnore(int id) const;
    bool GetTalkgroupColors(int id, uint32_t& text, uint32_t& back) const; // bounded
    bool SetTalkgroupColors(int id, uint32_t text, uint32_t back);         // bounded
    bool GetTalkgroup(int id, TGTAG& destination) const;
    // Copies every talkgroup in ascending order of Id; returns the number copied.
    int GetTalkgroups(std::vector<TGTAG>& destination) const;

    void ClearRadios();
    int RadioCount() const { return m_radios.Count(); }
    bool AddRadio(int id, int talkgroup);
    bool SetRadio(int id, const std::string& description, int64_t lastSeen);
    std::string GetRadioDescription(int id);
    // The same without touching LastSeen: the lists and logs read it, so that what a
    // replay saves does not depend on when its rows were built.
    std::string FindRadioDescription(int id) const;
    bool TouchRadio(int id);
    bool GetRadioColors(int id, uint32_t& text, uint32_t& back) const;
    bool SetRadioColors(int id, uint32_t text, uint32_t back);
    bool GetRadio(int id, RADTAG& destination) const;
    // Copies every radio in ascending order of Id; returns the number copied.
    int GetRadios(std::vector<RADTAG>& destination);

    // Identifier tables and channels. Channel operations take FREQUENCY (waiting unless
    // marked single attempt, which returns false when the lock is busy) and touch the
    // talkgroup and radio tables inside it; they write the grant log after releasing it.
    // A 51st channel is refused: the operation then changes nothing and returns false.
    void ResetIdentifierTables();
    // True only when this call stored a different entry.
    bool SetIdentifierTable(int identifier, const IDENTABLE& entry);
    // The user's table, stored with Source manual; Base 0.0 empties the entry. A table
    // received on the control channel always wins: a confirmed entry refuses (false).
    bool SetManualIdentifierTable(int identifier, const IDENTABLE& entry);
    bool GetIdentifierTables(IDENTABLE* destination, int max);
    // The same copy without clearing the changed flag (for the follow step).
    bool CopyIdentifierTables(IDENTABLE* destination, int max) const;
    uint8_t AreIdentifierTablesChanged() const;

    // Frequencies in MHz, 0.0 for an empty table; no lock, a racing read is accepted.
    double ChannelFrequency(int channel) const;
    double ChannelFrequencyEx(int channel, bool noOffset) const;
    // The TDMA slot of the channel, or -1 when its table has no slot division.
    int ChannelSlot(int channel) const;
    std::string ChannelText(int channel, bool withFrequency = true, bool uplink = false) const;

    // The caller holds FREQUENCY. Returns the row of the channel, or -1 when the table is full
    // or the channel is NoChannel.
    int FindOrAddChannel(int channel, int inputChannel);
    void ClearChannels();
    int GetChannels(FreqInfo* destination, int max);
    // The same copy without clearing the changed flag (for the reports).
    std::vector<FreqInfo> CopyChannels() const;
    uint8_t AreChannelsChanged() const;
    void SetChannelsChanged();
    bool ExpireChannelActivity();                                            // single attempt
    bool IsControlChannel(int channel);                                      // single attempt
    bool SetControlChannel(int channel, int inputChannel);                   // single attempt
    bool MarkAlternateControlChannels(int ch1, int ch2);                     // single attempt
    bool MarkAlternateControlChannelExplicit(int channel, int inputChannel); // single attempt
    bool SetChannelStationId(int channel, const std::string& callSign);
    bool SetChannelTalkgroup(int channel, int talkgroup);

    // serviceOptions: the grant's service options byte, for the event feed.
    bool GroupVoiceGrant(int channel, int inputChannel, const std::string& options, int radio, int talkgroup,
                         uint8_t serviceOptions = 0);
    bool GroupVoiceGrantUpdate(int channel, int inputChannel, int talkgroup); // single attempt
    bool GroupVoiceGrantExplicit(int channel, int inputChannel, const std::string& options, int talkgroup);
    bool PrivateVoiceGrant(int channel, int firstRadio, const std::string& options, int secondRadio,
                           uint8_t serviceOptions = 0);
    bool PrivateVoiceGrantUpdate(int channel, int firstRadio, int secondRadio);
    bool PhoneGrant(int channel, int radio, const std::string& options, uint8_t serviceOptions = 0);
    bool PhoneGrantUpdate(int channel, int radio); // single attempt
    bool GroupDataGrant(int channel, int talkgroup, const std::string& options, int radio,
                        uint8_t serviceOptions = 0);
    bool DataChannelAnnouncement(int channel, int talkgroup); // single attempt
    bool IndividualDataGrant(int channel, int firstRadio, const std::string& options, int secondRadio,
                             uint8_t serviceOptions = 0);

    // Tower file: the reader sets the changed flag once it is done.
    bool AddChannelUsageFlags(int channel, uint32_t bits);
    bool MergeChannelHits(int channel, int hits);

    // Activity time-out in ActivityTicks; values below the minimum are raised to it.
    void SetTGTimeOut(int ticks);
    int TGTimeOut() const { return m_tgTimeOut.load(std::memory_order_relaxed); }

    // Grant log queue (GLLOCK), written by the channel grants.
    bool LogGrant(const std::string& kind, int channel, const std::string& text, int radio, int talkgroup);
    // group: talkgroup is a talkgroup (else the radio that asked), for the event feed.
    bool LogQueued(int talkgroup, int radio, bool group = true);
    void ClearGrantLog();
    int TakeGrantLog(GRANTLOG* destination, int max); // single attempt
    bool IsGrantLogChanged() const;

    // Patches, affiliations and affiliation filters.
    // Full lists refuse new entries: a 26th patch pair, a 2,001st radio, a 41st range.
    void ClearPatches();
    bool AddPatch(int talkgroup, int supergroup);
    bool RemovePatch(int supergroup);
    bool ExpirePatches();
    int GetPatches(PATCHREC* destination, int max);
    // The same copy without expiring or clearing the changed flag (for the reports).
    std::vector<PATCHREC> CopyPatches() const;
    bool ArePatchesChanged() const;
    void ClearAffiliations();
    bool Affiliate(int talkgroup, int radio);
    bool Unaffiliate(int radio);
    int GetAffiliations(AFFREC* destination, int max);
    bool AreAffiliationsChanged() const;
    // Reads and clears the changed flag without copying the list.
    bool TakeAffiliationsChanged();
    // registration: a location registration's result, told apart by the event feed.
    bool RecordAffiliation(char kind, int radio, const std::string& text, int talkgroup, bool registration = false);
    uint8_t SetFilteringEnabled(uint8_t enabled);
    uint8_t IsFilteringEnabled() const;
    bool SetFilterRange(uint8_t active, int low, int high);
    bool DeleteFilterRange(int low, int high);
    bool ClearFilterRanges();
    int GetFilterRanges(FILTERRANGE* destination, int max);
    bool AreFiltersChanged() const;
    // Whether the affiliation log screen shows this radio under the filter ranges.
    bool PassesAffiliationFilter(int radio) const;

    // Log queues.
    bool LogEvent(const uint8_t* block, const std::string& text);
    bool LogPacket(const uint8_t* block, const std::string& text);
    bool LogUnknownPacket(const uint8_t* block, const std::string& text);
    void ClearEventLog();
    void ClearPacketDump();
    void ClearUnknownPackets();
    int TakeEventLog(EVENTLOG* destination, int max);
    int TakePacketDump(ALLPKT* destination, int max);
    int TakeUnknownPackets(UNKTSBK* destination, int max);
    bool IsEventLogChanged() const;
    bool IsPacketDumpChanged() const;
    bool IsUnknownPacketsChanged() const;
    bool LogPatch(char kind, int talkgroup, int supergroup);
    void ClearAffiliationLog();
    void ClearPatchLog();
    int TakeAffiliationLog(AFFLOG* destination, int max);
    int TakePatchLog(PATCHLOG* destination, int max);
    bool IsPatchLogChanged() const;
    // Which log queues hold records, read without their locks (a bit per LogQueue).
    enum LogQueue : unsigned {
        AffiliationQueue = 1,
        GrantQueue = 2,
        EventQueue = 4,
        PatchQueue = 8,
        PacketQueue = 16,
        UnknownQueue = 32,
    };
    unsigned WaitingLogQueues() const;
    // Log records refused by full queues since construction.
    uint64_t DroppedLogRecords() const;

    // System folder files. Each takes SYSINFOLOCK, then FILELOCK for its file work. The
    // save returns false with an empty error when there is no system to save, and with
    // one line per file it could not write (that file keeps its old contents).
    bool SaveSystemFolder(std::string& error);
    bool LoadSystemFolder();
    bool LoadTowerFile();
    // What the loads and saves have to tell since the last call, one line each: a file
    // that could not be read, and where such a file was kept when a save took its place.
    std::vector<std::string> TakeFileWarnings();

    // Manufacturer names of the vendor table.
    static const char* ManufacturerName(int mfid);
    // The code tables of the responses: service types, deny reasons, queue reasons.
    static std::string OpcodeName(int code);
    static const char* DenyReasonText(int code);
    static const char* QueueReasonText(int code);

private:
    // True when some log will take the text of a decoded message.
    bool WantsText() const { return IsPktDumpVisible(); }
    void LogUnrecognised(const uint8_t* block);

    // Grants.
    bool DecodeGroupVoiceGrant(const uint8_t* block);
    bool DecodeGroupVoiceGrantUpdate(const uint8_t* block);
    bool DecodeExplicitGroupVoiceGrantUpdate(const uint8_t* block);
    bool DecodeUnitToUnitVoiceGrant(const uint8_t* block);
    bool DecodeUnitToUnitVoiceGrantUpdate(const uint8_t* block);
    bool DecodeUnitToUnitExplicitVoiceGrant(const uint8_t* block);
    bool DecodeTelephoneVoiceGrant(const uint8_t* block);
    bool DecodeTelephoneVoiceGrantUpdate(const uint8_t* block);
    bool DecodePrivateDataGrant(const uint8_t* block);
    bool DecodeGroupDataChannelGrant(const uint8_t* block);
    bool DecodeGroupDataGrantUpdate(const uint8_t* block);
    bool DecodeDataChannelGrantExplicit(const uint8_t* block);
    bool DecodeSnDataPageRequest(const uint8_t* block);
    bool DecodeDataChannelUpdate(const uint8_t* block);

    // Unit responses, registrations and requests.
    // The texts of the messages that also go to the other-events log.
    bool WantsEventText() const { return IsPktDumpVisible() || WantsOtherEvents(); }
    void LogEventText(const uint8_t* block, const std::string& text);
    static std::string DenyResponseText(const uint8_t* block, bool patched);
    void RecordAffiliationResult(int result, int radio, int talkgroup, bool registration = false);
    bool DecodeUnitToUnitAnswer(const uint8_t* block);
    bool DecodeTelephoneIncomingRequest(const uint8_t* block);
    bool DecodeUnitStatusUpdate(const uint8_t* block);
    bool DecodeStatusQuery(const uint8_t* block);
    bool DecodeMessageUpdate(const uint8_t* block);
    bool DecodeRemoteRadioMonitor(const uint8_t* block);
    bool DecodeRadioMonitor(const uint8_t* block);
    bool DecodeCallAlert(const uint8_t* block);
    bool DecodeAcknowledgeResponse(const uint8_t* block);
    bool DecodeQueuedResponse(const uint8_t* block);
    bool DecodeRadioCheck(const uint8_t* block);
    bool DecodeDenyResponse(const uint8_t* block);
    bool DecodeGroupAffiliationResponse(const uint8_t* block);
    bool DecodeGroupAffiliationQuery(const uint8_t* block);
    bool DecodeLocationRegistrationResponse(const uint8_t* block);
    bool DecodeUnitRegistrationResponse(const uint8_t* block);
    bool DecodeUnitRegistrationCommand(const uint8_t* block);
    bool DecodeAuthenticate(const uint8_t* block);
    bool DecodeDeregistrationResponse(const uint8_t* block);
    bool DecodeRoamingAddressCommand(const uint8_t* block);

    // Control channel broadcasts.
    bool DecodeExplicitAlternateControl(const uint8_t* block);
    bool DecodeTdmaSyncBroadcast(const uint8_t* block);
    bool DecodeTdmaIdentifierUpdate(const uint8_t* block);
    bool DecodeVhfUhfIdentifierUpdate(const uint8_t* block);
    bool DecodeMultiPacketHeader(const uint8_t* block);
    bool DecodeSystemServiceBroadcast(const uint8_t* block);
    bool DecodeAlternateControlBroadcast(const uint8_t* block);
    bool DecodeRfssStatusBroadcast(const uint8_t* block);
    bool DecodeNetworkStatusBroadcast(const uint8_t* block);
    bool DecodeNeighborStatusBroadcast(const uint8_t* block);
    bool DecodeIdentifierUpdate(const uint8_t* block);
    bool DecodeProtectionParameterBroadcast(const uint8_t* block);
    bool DecodeProtectionParameterUpdate(const uint8_t* block);

    // Manufacturer-specific messages.
    bool DecodeMotPatchInformation(const uint8_t* block);
    bool DecodeMotPatchRelease(const uint8_t* block);
    bool DecodeMotPatchedGroupVoiceGrant(const uint8_t* block);
    bool DecodeMotPatchedGroupVoiceGrantUpdate(const uint8_t* block);
    bool DecodeMotRegroup(const uint8_t* block);
    bool DecodeMotTextOnly05(const uint8_t* block);
    bool DecodeMotQueuedResponse(const uint8_t* block);
    bool DecodeMotDenyResponse(const uint8_t* block);
    bool DecodeMotRcmAck(const uint8_t* block);
    bool DecodeMotScanMarker(const uint8_t* block);
    bool DecodeMotEmergencyActivation(const uint8_t* block);
    bool DecodeMotBsiGrant(const uint8_t* block);
    bool DecodeMotX2IdentifierUpdate(const uint8_t* block);
    bool DecodeVendorAdTextOnly1E(const uint8_t* block);
    bool DecodeHarrisEmergencyAlert(const uint8_t* block);
    bool DecodeHarrisPatch(const uint8_t* block);
    bool DecodeHarrisIdGrantUpdate(const uint8_t* block);

    // Multi-block packets: each message handler reads a packet of 2 to 5 blocks.
    bool DecodeMultiBlockMessage(const PacketRecord& packet, int opcode, int mfid);
    bool DecodeMultiBlockGroupVoiceGrant(const PacketRecord& packet, bool patched);
    bool DecodeMultiBlockUnitToUnitVoiceGrant(const PacketRecord& packet, int opcode);
    bool DecodeMultiBlockTelephoneVoiceGrant(const PacketRecord& packet);
    bool DecodeMultiBlockIndividualDataGrant(const PacketRecord& packet);
    bool DecodeMultiBlockStatusMessage(const PacketRecord& packet, int opcode);
    bool DecodeMultiBlockGroupAffiliationResponse(const PacketRecord& packet);
    bool DecodeMultiBlockUnitRegistrationResponse(const PacketRecord& packet);
    bool DecodeMultiBlockAuthenticationDemand(const PacketRecord& packet);
    bool DecodeMultiBlockRfssStatus(const PacketRecord& packet);
    bool DecodeMultiBlockNetworkStatus(const PacketRecord& packet);
    bool DecodeMultiBlockNeighborStatus(const PacketRecord& packet);
    void LogUnknownMultiBlock(const PacketRecord& packet, int opcode, int mfid);

    // The event feed's tap. TapRecord stamps the time and the source.
    EventTap* Tap() const { return m_eventTap.load(std::memory_order_acquire); }
    void TapRecord(EventTap& tap, TAPEVENT&& event) const;
    void TapGrant(const char* usage, int channel, int inputChannel, uint8_t serviceOptions, int talkgroup, int radio,
                  int target, const std::string& text = {});
    void TapCallAlert(int source, int target);
    // The caller holds SYSINFOLOCK.
    void TapSystem(char change);
    std::atomic<EventTap*> m_eventTap{nullptr};
    std::atomic<bool> m_tapOtherEvents{false};
    // The last other-event block told to the tap (the log's rule for repeats).
    std::array<uint8_t, TsbkSize> m_tapEventBlock{};
    // The last affiliation told to the tap, so that exact repeats are told once as in the log.
    char m_tapAffiliationKind = 0;
    int m_tapAffiliationTalkgroup = 0;
    int m_tapAffiliationRadio = 0;

    Clock* m_clock;
    std::function<void()> m_onFolderLoaded;
    std::atomic<bool> m_unknownsVisible{false};
    std::atomic<bool> m_grantsVisible{false};
    std::atomic<bool> m_otherInfoVisible{false};
    std::atomic<bool> m_pktDumpVisible{false};
    std::atomic<bool> m_logProtectionData{false};
    std::atomic<bool> m_saveHitCounts{false};
    std::atomic<bool> m_multiBlockSeen{false};
    std::atomic<uint32_t> m_defaultTextColor{0};
    std::atomic<uint32_t> m_defaultBackgroundColor{0xFFFFFF};
    std::string m_dataFolder;

    // System information and towers.
    SYSINFO m_sysInfo;
    // SysId, RfssId and SiteId of m_sysInfo packed, 21 bits each, for LogSite.
    std::atomic<uint64_t> m_logSite{0};
    std::atomic<int32_t> m_logWacn{0};
    void PublishLogSite();
    std::vector<TOWERS> m_towers;

    // Neighbour sites.
    std::array<NEIGHBORREC, MaxNeighbors> m_neighbors;
    int m_neighborCount = 0;
    bool m_neighborsChanged = false;

    // Talkgroup and radio tables.
    TGTAG* FindTalkgroup(int id);
    const TGTAG* FindTalkgroup(int id) const;
    std::string TalkgroupDefaultDescription() const;
    std::string RadioDefaultDescription(int talkgroup) const;

    // Indexed by Id, so the order of Id is the order of the slots; Id 0 marks a free slot.
    std::vector<TGTAG> m_talkgroups = std::vector<TGTAG>(TalkgroupSlots);
    std::atomic<int> m_talkgroupCount{0};
    RadioTable m_radios{MaxRadios};

    // Identifier tables and channels.
    struct GrantChange;
    bool ApplyGrant(int channel, int inputChannel, const GrantChange& change);
    bool FreeValue(int row, int value);
    template <typename Field>
    bool OrIntoLoadedChannel(int channel, Field FreqInfo::*field, Field bits);
    void SetFrequencyRules();

    // The parts of each table the frequency rule reads, readable without BSOLOCK because
    // channel operations may not take it inside FREQUENCY.
    struct FrequencyRule
    {
        std::atomic<double> Base{0.0};
        std::atomic<double> TxOffset{0.0};
        std::atomic<double> Spacing{0.0};
        std::atomic<int> Slots{0};
    };
    std::array<IDENTABLE, MaxIdentifierTables> m_idenTables{};
    uint8_t m_idenTablesChanged = 1;
    std::array<FrequencyRule, MaxIdentifierTables> m_frequencyRules{};
    std::array<FreqInfo, MaxChannels> m_channels{};
    int m_channelCount = 0;
    uint8_t m_channelsChanged = 1;
    std::atomic<int> m_tgTimeOut{DefaultTGTimeOut};
    std::unique_ptr<PendingQueue<GRANTLOG, GrantLogCapacity>> m_grantLog =
        std::make_unique<PendingQueue<GRANTLOG, GrantLogCapacity>>();

    // Patches, affiliations and affiliation filters.
    void ClearSiteActivity();
    int FindAffiliation(int radio) const;
    std::array<PATCHREC, MaxPatches> m_patches{};
    int m_patchCount = 0;
    bool m_patchesChanged = false;
    std::unique_ptr<std::array<AFFREC, MaxAffiliations>> m_affiliations =
        std::make_unique<std::array<AFFREC, MaxAffiliations>>();
    int m_affiliationCount = 0;
    bool m_affiliationsChanged = false;
    // The last event RecordAffiliation applied (kind 0: none), so that exact repeats are dropped.
    char m_lastAffiliationKind = 0;
    int m_lastAffiliationTalkgroup = 0;
    int m_lastAffiliationRadio = 0;
    std::array<FILTERRANGE, MaxFilterRanges> m_filterRanges{};
    int m_filterRangeCount = 0;
    bool m_filtersChanged = false;
    uint8_t m_filteringEnabled = 0;

    // System folder files.
    void ReadSystemIni(const std::string& path);
    void ReadTowerFile(const std::string& path, size_t lineLimit);
    bool ReadSystemFile(const std::string& path, std::string& text);
    void NoteUnreadable(const std::string& path, const std::string& warning);
    bool KeepUnreadableAside(const std::string& path, std::vector<std::string>& failures);
    // Under FILELOCK: files of the loaded folder that could not be read (kept aside
    // before a save replaces them) and the warnings not yet taken.
    std::vector<std::string> m_unreadableFiles;
    std::vector<std::string> m_fileWarnings;

    // Log queues.
    bool LogAffiliation(char kind, int radio, const std::string& text, int talkgroup);
    std::unique_ptr<PendingQueue<EVENTLOG, EventLogCapacity>> m_eventLog;
    std::unique_ptr<PendingQueue<ALLPKT, PacketDumpCapacity>> m_packetDump;
    std::unique_ptr<PendingQueue<UNKTSBK, UnknownPacketCapacity>> m_unknownPackets;
    std::unique_ptr<PendingQueue<AFFLOG, AffiliationLogCapacity>> m_affiliationLog =
        std::make_unique<PendingQueue<AFFLOG, AffiliationLogCapacity>>();
    std::unique_ptr<PendingQueue<PATCHLOG, PatchLogCapacity>> m_patchLog =
        std::make_unique<PendingQueue<PATCHLOG, PatchLogCapacity>>();
};
