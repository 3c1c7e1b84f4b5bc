#pragma once
#include <span>
#include <string>
#include <vector>

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

// Why each call of a follow step was or was not followed, for the window and the CLI.
enum class FollowReason
{
    Followed,
    ScannerOff,
    FrequencyUnknown,
    OutOfRange,
    Held,
    PriorityZero,
    OutsideThresholds,
    LostToHigher,
    Encrypted,
    EmergencyIgnored,
    PrivateOff,
    DataOff,
    // A station ID, or a group call without a talkgroup: no pass ever takes it.
    Unfollowable,
};
inline constexpr int FollowReasonCount = static_cast<int>(FollowReason::Unfollowable) + 1;

// The stable lower-case name for counters and JSON: "followed", "held" ...
const char* FollowReasonKey(FollowReason reason);

struct FollowDecision
{
    int Channel = 0;
    int Talkgroup = 0;
    double Frequency = 0.0;
    std::string Usage;
    // What the ranking used: the talkgroup's, PrivatePriority, 99 for data, 0 otherwise.
    int Priority = 0;
    FollowReason Reason = FollowReason::Followed;
    std::string Text;
};

// One decision for each row that carries a call, in table order. chosenChannel is
// SelectFollowChannel's result for the same snapshot and context; its row is Followed
// only when scannerControlOn (what RunFollowStep's steering needs) and its frequency is
// one ScannerControl sends; otherwise it still gets the mark, with the reason it was not
// tuned.
std::vector<FollowDecision> ExplainFollow(std::span<const FreqInfo> channels, const FollowContext& context,
                                          int chosenChannel, bool scannerControlOn);
