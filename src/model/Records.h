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

// Pending log records that carry a block: other events, packet dump, unknown packets.
// A Time of 0 is the clear marker.
struct BLOCKLOG
{
    int64_t Time = 0;
    TsbkBlock Block{};
    std::string Text;
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
};

// A pending patch-log record: Kind 'A' added, 'R' removed. A Time of 0 is the clear marker.
struct PATCHLOG
{
    int64_t Time = 0;
    char Kind = 0;
    int32_t Talkgroup = 0;
    int32_t Supergroup = 0;
};
