#include "scanner/FollowLogic.h"

#include <cctype>

#include "model/P25Class.h"
#include "persistence/Config.h"
#include "platform/TextFormat.h"
#include "scanner/ScannerControl.h"

namespace {

constexpr int NoChannelChosen = -1;
// Above every priority: nothing chosen yet.
constexpr int NoPriority = 100;
// Data channels rank after every voice call.
constexpr int DataPriority = 99;

bool IsIdle(const FreqInfo& row)
{
    return row.Usage.empty() || row.Usage == "Control";
}

bool IsPrivate(const FreqInfo& row)
{
    return row.Usage == "Private" || row.Usage == "Phone";
}

bool IsEncrypted(const FreqInfo& row)
{
    return row.Options == "Enc";
}

bool IsEligible(const FreqInfo& row, const CONFIG& config)
{
    if (IsIdle(row))
        return false;
    if (!config.TuneData && (row.Usage == "Station ID" || row.Usage == "Data"))
        return false;
    return config.PrivatePriority != 0 || !IsPrivate(row);
}

bool IsHeld(const FreqInfo& row, const FollowContext& context)
{
    if (row.Talkgroup == NoTalkgroup)
        return false;
    if (row.Talkgroup == context.HeldTalkgroup)
        return true;
    for (const PATCHREC& patch : context.Patches)
        if (patch.Talkgroup == context.HeldTalkgroup && patch.Supergroup == row.Talkgroup)
            return true;
    return false;
}

bool IsEmergency(const FreqInfo& row, const FollowContext& context, bool ignored)
{
    return IsEligible(row, context.Config) && row.Options == "Emrg" && row.Talkgroup != NoTalkgroup &&
           (context.Model.GetTalkgroupEmrgIgnore(row.Talkgroup) != 0) == ignored;
}

int FindEmergency(std::span<const FreqInfo> channels, const FollowContext& context)
{
    for (const FreqInfo& row : channels)
        if (IsEmergency(row, context, false))
            return row.Channel;
    return NoChannelChosen;
}

int FindHeld(std::span<const FreqInfo> channels, const FollowContext& context)
{
    for (const FreqInfo& row : channels)
        if (IsEligible(row, context.Config) && !IsEncrypted(row) && IsHeld(row, context))
            return row.Channel;
    return NoChannelChosen;
}

}

int SelectFollowChannel(std::span<const FreqInfo> channels, const FollowContext& context)
{
    if (channels.empty())
        return NoChannelChosen;
    const CONFIG& config = context.Config;

    if (const int emergency = FindEmergency(channels, context); emergency != NoChannelChosen)
        return emergency;
    if (context.HeldTalkgroup != NoTalkgroup)
        return FindHeld(channels, context);

    int best = NoPriority;
    int result = NoChannelChosen;
    int dataChannel = NoChannelChosen;
    for (const FreqInfo& row : channels) {
        if (!IsEligible(row, config) || IsEncrypted(row))
            continue;
        int priority;
        if (row.Usage == "Data") {
            if (config.TuneData && dataChannel == NoChannelChosen)
                dataChannel = row.Channel;
            continue;
        } else if (IsPrivate(row)) {
            priority = config.PrivatePriority;
        } else if (row.Usage == "Group" && row.Talkgroup != NoTalkgroup) {
            priority = context.Model.GetTalkgroupPriority(row.Talkgroup);
        } else {
            continue;
        }
        if (priority != 0 && priority >= config.MonitorThresholdLow && priority <= config.MonitorThresholdHigh &&
            priority < best) {
            best = priority;
            result = row.Channel;
        }
    }
    // Taken only when no voice call passed, even one of priority 99 later in the table.
    if (result == NoChannelChosen && dataChannel != NoChannelChosen) {
        best = DataPriority;
        result = dataChannel;
    }
    if (best == NoPriority)
        return NoChannelChosen;

    // A call still running on the followed talkgroup keeps the scanner against calls of
    // equal or lower importance. Talkgroup 0 is no talkgroup (an idle row, a phone call).
    const int followed = context.LastFollowedTalkgroup;
    if (followed != NoTalkgroup && followed != 0) {
        for (const FreqInfo& row : channels)
            if (!IsIdle(row) && row.Usage != "Data" && !IsEncrypted(row) && row.Talkgroup == followed &&
                best >= context.Model.GetTalkgroupPriority(followed))
                result = row.Channel;
    }
    return result;
}

int RunFollowStep(std::span<const FreqInfo> channels, std::span<const IDENTABLE> tables,
                  const FollowContext& context, ScannerControl* scanner, bool decodeActive,
                  int& lastFollowedTalkgroup)
{
    const int chosen = SelectFollowChannel(channels, context);
    const bool steering = scanner && context.Config.ScanControlEnabled && decodeActive;
    int followedRow = -1;
    if (chosen != NoChannelChosen) {
        for (size_t i = 0; i < channels.size(); ++i) {
            const FreqInfo& row = channels[i];
            if (row.Channel != chosen)
                continue;
            followedRow = static_cast<int>(i);
            lastFollowedTalkgroup = row.Talkgroup;
            const size_t table = static_cast<size_t>(row.Channel >> 12) & 0xF;
            if (steering && table < tables.size())
                scanner->TuneTo(tables[table].Spacing, row.Frequency);
            break;
        }
    }
    if (steering && chosen == NoChannelChosen)
        scanner->GoQuiet();
    return followedRow;
}

namespace {

bool IsGroupCall(const FreqInfo& row)
{
    return row.Usage == "Group" && row.Talkgroup != NoTalkgroup;
}

bool IsData(const FreqInfo& row)
{
    return row.Usage == "Data" || row.Usage == "Station ID";
}

int RankPriority(const FreqInfo& row, const FollowContext& context)
{
    if (IsPrivate(row))
        return context.Config.PrivatePriority;
    if (IsGroupCall(row))
        return context.Model.GetTalkgroupPriority(row.Talkgroup);
    return row.Usage == "Data" ? DataPriority : 0;
}

FollowDecision MakeDecision(const FreqInfo& row, const FollowContext& context, FollowReason reason,
                            std::string text)
{
    return {row.Channel, row.Talkgroup, row.Frequency, row.Usage, RankPriority(row, context), reason,
            std::move(text)};
}

// What the losers were told: "Talkgroup 200 (priority 3) followed".
std::string WinnerText(const FreqInfo* winner, const FollowContext& context, bool emergency)
{
    if (!winner)
        return "Not chosen";
    if (winner->Usage == "Data")
        return "Data channel followed";
    const int priority = RankPriority(*winner, context);
    if (IsPrivate(*winner))
        return Format("%s call (priority %d) followed", winner->Usage.c_str(), priority);
    if (emergency)
        return Format("Talkgroup %d (emergency) followed", winner->Talkgroup);
    return Format("Talkgroup %d (priority %d) followed", winner->Talkgroup, priority);
}

FollowDecision ExplainChosen(const FreqInfo& row, const FollowContext& context, bool scannerControlOn)
{
    if (!scannerControlOn)
        return MakeDecision(row, context, FollowReason::ScannerOff, "Followed (scanner control off)");
    // RunFollowStep still marks such a row; only the tuning is lost.
    if (row.Frequency == 0.0)
        return MakeDecision(row, context, FollowReason::FrequencyUnknown, "Frequency unknown (no identifier table)");
    if (row.Frequency < ScannerControl::LowestFrequency || row.Frequency > ScannerControl::HighestFrequency)
        return MakeDecision(row, context, FollowReason::OutOfRange, "Frequency outside the scanner's range");
    return MakeDecision(row, context, FollowReason::Followed, "Tuned to " + FrequencyText(row.Frequency) + " MHz");
}

// Mirrors SelectFollowChannel's passes: the first rule that shut the row out is its reason.
FollowDecision ExplainPassedOver(const FreqInfo& row, const FollowContext& context, const std::string& winnerText)
{
    const CONFIG& config = context.Config;
    if (IsEncrypted(row))
        return MakeDecision(row, context, FollowReason::Encrypted, "Encrypted");
    if (IsData(row) && !config.TuneData)
        return MakeDecision(row, context, FollowReason::DataOff, "Data calls off");
    if (IsPrivate(row) && config.PrivatePriority == 0)
        return MakeDecision(row, context, FollowReason::PrivateOff, "Private calls off (priority 0)");
    if (IsEmergency(row, context, false))
        return MakeDecision(row, context, FollowReason::LostToHigher, winnerText);

    FollowDecision decision;
    const int priority = RankPriority(row, context);
    if (context.HeldTalkgroup != NoTalkgroup && !IsHeld(row, context))
        decision = MakeDecision(row, context, FollowReason::Held, Format("Held talkgroup %d", context.HeldTalkgroup));
    else if (context.HeldTalkgroup != NoTalkgroup || row.Usage == "Data")
        decision = MakeDecision(row, context, FollowReason::LostToHigher, winnerText);
    else if (!IsGroupCall(row) && !IsPrivate(row))
        decision = MakeDecision(row, context, FollowReason::Unfollowable,
                                row.Usage == "Group" ? "No talkgroup" : row.Usage + " never followed");
    else if (priority == 0)
        decision = MakeDecision(row, context, FollowReason::PriorityZero, "Priority 0 (ignored)");
    else if (priority < config.MonitorThresholdLow || priority > config.MonitorThresholdHigh)
        decision = MakeDecision(row, context, FollowReason::OutsideThresholds,
                                Format("Priority %d outside %d-%d", priority, config.MonitorThresholdLow,
                                       config.MonitorThresholdHigh));
    else
        decision = MakeDecision(row, context, FollowReason::LostToHigher, winnerText);

    // The mark is why this emergency did not go first; the rule above is why it then lost.
    if (IsEmergency(row, context, true)) {
        decision.Text[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(decision.Text[0])));
        decision.Text = "Emergency ignored, " + decision.Text;
        decision.Reason = FollowReason::EmergencyIgnored;
    }
    return decision;
}

}

const char* FollowReasonKey(FollowReason reason)
{
    switch (reason) {
    case FollowReason::Followed: return "followed";
    case FollowReason::ScannerOff: return "scanner_off";
    case FollowReason::FrequencyUnknown: return "frequency_unknown";
    case FollowReason::OutOfRange: return "out_of_range";
    case FollowReason::Held: return "held";
    case FollowReason::PriorityZero: return "priority_zero";
    case FollowReason::OutsideThresholds: return "outside_thresholds";
    case FollowReason::LostToHigher: return "lost_to_higher";
    case FollowReason::Encrypted: return "encrypted";
    case FollowReason::EmergencyIgnored: return "emergency_ignored";
    case FollowReason::PrivateOff: return "private_off";
    case FollowReason::DataOff: return "data_off";
    case FollowReason::Unfollowable: return "unfollowable";
    }
    return "unknown";
}

std::vector<FollowDecision> ExplainFollow(std::span<const FreqInfo> channels, const FollowContext& context,
                                          int chosenChannel, bool scannerControlOn)
{
    // The first row of the channel, as RunFollowStep marks it.
    const FreqInfo* winner = nullptr;
    for (const FreqInfo& row : channels)
        if (row.Channel == chosenChannel) {
            winner = &row;
            break;
        }
    const bool emergency = winner && chosenChannel == FindEmergency(channels, context);
    const std::string winnerText = WinnerText(winner, context, emergency);

    std::vector<FollowDecision> decisions;
    decisions.reserve(channels.size());
    for (const FreqInfo& row : channels) {
        if (IsIdle(row))
            continue;
        decisions.push_back(&row == winner ? ExplainChosen(row, context, scannerControlOn)
                                           : ExplainPassedOver(row, context, winnerText));
    }
    return decisions;
}
