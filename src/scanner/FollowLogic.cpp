#include "scanner/FollowLogic.h"

#include "model/P25Class.h"
#include "persistence/Config.h"
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

int FindEmergency(std::span<const FreqInfo> channels, const FollowContext& context)
{
    for (const FreqInfo& row : channels)
        if (IsEligible(row, context.Config) && row.Options == "Emrg" && row.Talkgroup != NoTalkgroup &&
            !context.Model.GetTalkgroupEmrgIgnore(row.Talkgroup))
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
