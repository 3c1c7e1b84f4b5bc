#pragma once
#include <span>

#include "model/Records.h"

class P25Class;
class ScannerControl;
struct CONFIG;

// The decision which voice channel the second scanner follows, and the follow step the
// front ends run on the user-interface thread each time they rebuild the activity list.
// Both work on snapshots the caller took under the model's locks; talkgroup priorities and
// emergency-ignore marks are read from the model as they are needed.

// The "Active" cell of the followed row.
inline constexpr char FollowMark[] = "<-----";
// HeldTalkgroup and LastFollowedTalkgroup when unset.
inline constexpr int NoTalkgroup = -1;

struct FollowContext
{
    const P25Class& Model;
    // ScanControl settings: TuneData, PrivatePriority, MonitorThresholdHigh and Low, Enabled.
    const CONFIG& Config;
    // The patch snapshot.
    std::span<const PATCHREC> Patches;
    int HeldTalkgroup = NoTalkgroup;
    int LastFollowedTalkgroup = NoTalkgroup;
};

// The Channel of the channel to follow, or -1.
int SelectFollowChannel(std::span<const FreqInfo> channels, const FollowContext& context);

// One follow step: picks the channel, and for its row sets LastFollowedTalkgroup and,
// when scanner control is enabled and decodeActive, tunes the scanner with the spacing of
// the channel's identifier table (from tables); with nothing to follow it parks the
// scanner instead. scanner may be null. Returns the followed row's index in channels (the
// row that gets FollowMark), or -1.
int RunFollowStep(std::span<const FreqInfo> channels, std::span<const IDENTABLE> tables,
                  const FollowContext& context, ScannerControl* scanner, bool decodeActive,
                  int& lastFollowedTalkgroup);
