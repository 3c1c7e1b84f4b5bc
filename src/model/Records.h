#pragma once
#include <cstdint>
#include <string>

#include "decoder/Tsbk.h"

// The model's plain records. Fixed text fields keep at most MaxTextLength characters.
constexpr int MaxTextLength = 199;

// System identity and current site; guarded by SYSINFOLOCK.
struct SYSINFO
{
    int32_t SysId = 0;
    int32_t Wacn = 0;
    int32_t RfssId = 0;
    int32_t SiteId = 0;
    int32_t SiteStatus = 1;
    int32_t Flavor = 0;
    uint8_t ServiceClass = 0;
    std::string SystemDescription;
    std::string SiteDescription;
    std::string CallSigns;
    uint8_t SystemInfoChanged = 1;
};

// A known site of this system; guarded by SYSINFOLOCK.
struct TOWERS
{
    int32_t Rfss = 0;
    int32_t Site = 0;
    std::string Description;
};

// An adjacent site announced by the control channel; guarded by NEIGHBOR.
struct NEIGHBORREC
{
    int32_t SysId = 0;
    int32_t RfssId = 0;
    int32_t SiteId = 0;
    int32_t Channel = 0xFFFF;
    int32_t Status = 0;
    double Frequency = 0.0;
    std::string Description;

    bool operator==(const NEIGHBORREC&) const = default;
};

// The system and site a log record was queued under, so that its row is saved into that
// site's file even after the decoder has moved on.
struct LOGSITE
{
    int32_t SysId = 0;
    int32_t RfssId = 0;
    int32_t SiteId = 0;

    bool operator==(const LOGSITE&) const = default;
};

// Pending log records that carry a block: other events, packet dump, unknown packets.
// A Time of 0 is the clear marker.
struct BLOCKLOG
{
    int64_t Time = 0;
    TsbkBlock Block{};
    std::string Text;
    LOGSITE Site;
};
using EVENTLOG = BLOCKLOG;
using ALLPKT = BLOCKLOG;
using UNKTSBK = BLOCKLOG;

// A talkgroup joined into a supergroup; Time is the last announcement. Guarded by PATCHLOCK.
struct PATCHREC
{
    int32_t Talkgroup = 0;
    int32_t Supergroup = 0;
    int64_t Time = 0;
};

// The talkgroup a radio last affiliated to on this site. Guarded by AFFILIATE.
struct AFFREC
{
    int32_t Talkgroup = 0;
    int32_t Radio = 0;
    int64_t Time = 0;
};

// Radio IDs the affiliation log screen shows, bounds included. Guarded by AFILTER.
struct FILTERRANGE
{
    uint8_t Active = 0;
    int32_t Low = 0;
    int32_t High = 0;
};

// A pending affiliation-log record. Function is 'A' accepted, 'U' deregistration,
// 'D' failed, denied or refused, 'C' the clear marker (a default record); Talkgroup 0 means none.
struct AFFLOG
{
    char Function = 'C';
    int32_t Radio = 0;
    int32_t Talkgroup = 0;
    std::string Text;
    int64_t Time = 0;
    LOGSITE Site;
};

// A pending patch-log record: Kind 'A' added, 'R' removed. A Time of 0 is the clear marker.
struct PATCHLOG
{
    int64_t Time = 0;
    char Kind = 0;
    int32_t Talkgroup = 0;
    int32_t Supergroup = 0;
    LOGSITE Site;
};

// A talkgroup; guarded by TGLOCK. Equal colours mean "use the default colours".
struct TGTAG
{
    int32_t Id = 0;
    std::string Description;
    int64_t LastSeen = 0;
    uint8_t Priority = 50;
    int64_t FirstSeen = 0;
    uint8_t EncSeen = 0;
    uint8_t EmrgIgnore = 0;
    int32_t Hits = 0;
    uint32_t TextColor = 0;
    uint32_t BackColor = 0;
};

// A radio (subscriber unit); guarded by RADIDLOCK.
struct RADTAG
{
    int32_t Id = 0;
    std::string Description;
    int64_t LastSeen = 0;
    uint32_t TextColor = 0;
    uint32_t BackColor = 0;
};

// One identifier table (channel plan); guarded by BSOLOCK. Base 0.0 is an empty table.
// Source: 0 assumed, 1 manual, 2 confirmed. Slots 0 or 1: no TDMA slot division.
struct IDENTABLE
{
    double Base = 0.0;
    double TxOffset = 0.0;
    double Spacing = 0.0;
    double Bandwidth = 0.0;
    uint8_t Source = 0;
    uint8_t Slots = 0;

    bool operator==(const IDENTABLE&) const = default;
};

constexpr uint8_t SourceAssumed = 0;
constexpr uint8_t SourceManual = 1;
constexpr uint8_t SourceConfirmed = 2;

// Usage letters of a channel: everything ever seen on it while this site was monitored.
enum ChannelUsageFlag : uint32_t {
    UsageControl = 0x01,   // c
    UsageAlternate = 0x02, // a
    UsageVoice = 0x04,     // v
    UsageData = 0x08,      // d
    UsageSystemId = 0x10,  // i
    UsagePrivate = 0x20,   // p
    UsagePhone = 0x40,     // t
};

// A channel seen on this site; guarded by FREQUENCY. LastActivity is in ActivityTicks, 0 idle.
struct FreqInfo
{
    int32_t Channel = 0;
    double Frequency = 0.0;
    int32_t InputChannel = 0;
    double InputFrequency = 0.0;
    uint8_t InputExplicit = 0;
    std::string Usage;
    int32_t Talkgroup = 0;
    std::string TalkgroupDescription;
    int32_t Radio = 0;
    uint32_t UsageFlags = 0;
    std::string Options;
    int32_t Hits = 0;
    int32_t LastActivity = 0;
};

// A pending grant-log record; guarded by GLLOCK. Channel and Talkgroup -1 mean none; a
// Time of 0 is the clear marker.
struct GRANTLOG
{
    int64_t Time = 0;
    std::string Kind;
    int32_t Channel = -1;
    double Frequency = 0.0;
    int32_t Talkgroup = -1;
    int32_t Radio = 0;
    std::string Text;
    LOGSITE Site;
};
