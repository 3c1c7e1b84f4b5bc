#include "model/P25Class.h"

#include <algorithm>
#include <cstdio>
#include <optional>

#include "platform/TextFormat.h"
#include "model/Locks.h"

namespace {

constexpr int ChannelNumberMask = 0xFFF;

const std::string ControlUsage = "Control";
const std::string StationIdUsage = "Station ID";

int IdentifierOf(int channel)
{
    return channel >> 12 & 0xF;
}

IDENTABLE AssumedTable(double base, double txOffset)
{
    constexpr double step = 0.00625;
    return {base, txOffset, step, step, SourceAssumed, 1};
}

// Ends the current use of a row; the control channel keeps its use.
void Idle(FreqInfo& row)
{
    row.Talkgroup = 0;
    row.TalkgroupDescription.clear();
    row.Radio = 0;
    row.LastActivity = 0;
    if (row.Usage != ControlUsage) {
        row.Usage.clear();
        row.Options.clear();
    }
}

}

// How one member of the grant family writes its row; see ApplyGrant.
struct P25Class::GrantChange
{
    const char* Usage;
    uint32_t Letters;
    bool SingleAttempt = false;
    bool SetsValue = true;     // false: the talkgroup field keeps its value (telephone)
    bool ValueIsRadio = false; // private and individual data calls carry the first radio ID
    int Value = 0;             // talkgroup or first radio; -1 means none
    bool NoneIsChange = false;
    bool CountsHits = true;
    bool Frees = true;
    bool SetsRadio = false;
    bool TouchesRadio = false;
    int Radio = 0;
    bool RadioChangeCountsHit = false;
    const std::string* Options = nullptr; // nullptr: the options keep their value
};

void P25Class::SetFrequencyRules()
{
    for (int i = 0; i < MaxIdentifierTables; ++i) {
        const IDENTABLE& table = m_idenTables[i];
        FrequencyRule& rule = m_frequencyRules[i];
        rule.Base.store(table.Base, std::memory_order_relaxed);
        rule.TxOffset.store(table.TxOffset, std::memory_order_relaxed);
        rule.Spacing.store(table.Spacing, std::memory_order_relaxed);
        rule.Slots.store(table.Slots, std::memory_order_relaxed);
    }
}

void P25Class::ResetIdentifierTables()
{
    NamedLockGuard guard(Locks::BSOLOCK);
    m_idenTables.fill(IDENTABLE{});
    m_idenTables[0] = AssumedTable(851.00625, -45.0);
    m_idenTables[1] = AssumedTable(762.00625, 30.0);
    m_idenTablesChanged = 1;
    SetFrequencyRules();
}

bool P25Class::SetIdentifierTable(int identifier, const IDENTABLE& entry)
{
    if (identifier < 0 || identifier >= MaxIdentifierTables)
        return false;
    NamedLockGuard guard(Locks::BSOLOCK);
    // Assumed tables only stand in until the site sends a table of its own (or the user
    // enters one); an assumed table read back from a file replaces none of them.
    const IDENTABLE cleared{0.0, 0.0, 0.0, 0.0, SourceAssumed, 1};
    for (auto& table : m_idenTables) {
        if (entry.Source != SourceAssumed && table.Source == SourceAssumed && table != cleared) {
            table = cleared;
            m_idenTablesChanged = 1;
        }
    }
    bool stored = false;
    if (m_idenTables[identifier] != entry) {
        m_idenTables[identifier] = entry;
        m_idenTablesChanged = 1;
        stored = true;
        if (EventTap* tap = Tap()) {
            TAPEVENT event = TAPEVENT::Of(TAPEVENT::Kind::IdentifierTable);
            event.Identifier = identifier;
            event.Table = entry;
            TapRecord(*tap, std::move(event));
        }
    }
    SetFrequencyRules();
    if (m_idenTablesChanged) {
        NamedLockGuard channels(Locks::FREQUENCY);
        for (int i = 0; i < m_channelCount; ++i) {
            FreqInfo& row = m_channels[i];
            row.Frequency = ChannelFrequency(row.Channel);
            row.InputFrequency = row.InputExplicit ? ChannelFrequencyEx(row.InputChannel, true)
                                                   : ChannelFrequencyEx(row.Channel, false);
        }
        m_channelsChanged = 1;
    }
    return stored;
}

bool P25Class::SetManualIdentifierTable(int identifier, const IDENTABLE& entry)
{
    if (identifier < 0 || identifier >= MaxIdentifierTables)
        return false;
    NamedLockGuard guard(Locks::BSOLOCK);
    if (m_idenTables[identifier].Source == SourceConfirmed)
        return false;
    // An emptied table is no table of the user's: it leaves the assumed ones standing.
    if (entry.Base == 0.0)
        return SetIdentifierTable(identifier, IDENTABLE{});
    IDENTABLE manual = entry;
    manual.Source = SourceManual;
    return SetIdentifierTable(identifier, manual);
}

bool P25Class::GetIdentifierTables(IDENTABLE* destination, int max)
{
    NamedLockGuard guard(Locks::BSOLOCK);
    if (!CopyIdentifierTables(destination, max))
        return false;
    m_idenTablesChanged = 0;
    return true;
}

bool P25Class::CopyIdentifierTables(IDENTABLE* destination, int max) const
{
    if (max < 1)
        return false;
    NamedLockGuard guard(Locks::BSOLOCK);
    const int n = std::min(MaxIdentifierTables, max);
    std::copy(m_idenTables.begin(), m_idenTables.begin() + n, destination);
    return true;
}

uint8_t P25Class::AreIdentifierTablesChanged() const
{
    NamedLockGuard guard(Locks::BSOLOCK);
    return m_idenTablesChanged;
}

double P25Class::ChannelFrequency(int channel) const
{
    const FrequencyRule& rule = m_frequencyRules[IdentifierOf(channel)];
    const double base = rule.Base.load(std::memory_order_relaxed);
    if (base == 0.0)
        return 0.0;
    int n = channel & ChannelNumberMask;
    const int slots = rule.Slots.load(std::memory_order_relaxed);
    if (slots > 1)
        n /= slots;
    return n * rule.Spacing.load(std::memory_order_relaxed) + base;
}

double P25Class::ChannelFrequencyEx(int channel, bool noOffset) const
{
    const double frequency = ChannelFrequency(channel);
    if (frequency == 0.0 || noOffset)
        return frequency;
    return frequency + m_frequencyRules[IdentifierOf(channel)].TxOffset.load(std::memory_order_relaxed);
}

int P25Class::ChannelSlot(int channel) const
{
    const int slots = m_frequencyRules[IdentifierOf(channel)].Slots.load(std::memory_order_relaxed);
    return slots > 1 ? (channel & ChannelNumberMask) % slots : -1;
}

std::string P25Class::ChannelText(int channel, bool withFrequency, bool uplink) const
{
    // "%d-%04d", then "(%3.05f)" or "(%3.05f Slot %d)"; built by hand, as every grant text
    // of a replay passes here.
    const int number = channel & ChannelNumberMask;
    std::string text = std::to_string(IdentifierOf(channel));
    text += '-';
    for (int unit = 1000; unit > 0; unit /= 10)
        text += static_cast<char>('0' + number / unit % 10);
    if (!withFrequency)
        return text;
    const double frequency = uplink ? ChannelFrequencyEx(channel, channel != NoChannel) : ChannelFrequency(channel);
    const int slot = ChannelSlot(channel);
    text += '(';
    text += FrequencyText(frequency);
    if (slot >= 0)
        text.append(" Slot ").append(std::to_string(slot));
    text += ')';
    return text;
}

// No row ever holds 0xFFFF ("no channel"), and an input of 0xFFFF is no explicit input.
int P25Class::FindOrAddChannel(int channel, int inputChannel)
{
    if (channel == NoChannel)
        return -1;
    if (inputChannel == NoChannel)
        inputChannel = 0;
    const auto end = m_channels.begin() + m_channelCount;
    const auto at = std::lower_bound(m_channels.begin(), end, channel,
                                     [](const FreqInfo& row, int value) { return row.Channel < value; });
    const bool found = at != end && at->Channel == channel;
    if (!found && m_channelCount >= MaxChannels)
        return -1;
    const int index = static_cast<int>(at - m_channels.begin());
    if (!found) {
        std::move_backward(at, end, end + 1);
        *at = FreqInfo{};
        at->Channel = channel;
        ++m_channelCount;
        m_channelsChanged = 1;
    }

    FreqInfo& row = *at;
    row.Frequency = ChannelFrequency(channel);
    if (inputChannel != 0) {
        row.InputChannel = inputChannel;
        row.InputFrequency = ChannelFrequencyEx(inputChannel, true);
        row.InputExplicit = row.InputFrequency != 0.0;
        if (!row.InputExplicit)
            row.InputFrequency = ChannelFrequencyEx(channel, false);
    } else if (!row.InputExplicit) {
        row.InputChannel = channel;
        row.InputFrequency = ChannelFrequencyEx(channel, false);
    }
    return index;
}

void P25Class::ClearChannels()
{
    NamedLockGuard guard(Locks::FREQUENCY);
    m_channelCount = 0;
    m_channelsChanged = 1;
}

int P25Class::GetChannels(FreqInfo* destination, int max)
{
    NamedLockGuard guard(Locks::FREQUENCY);
    const int n = std::clamp(max, 0, m_channelCount);
    std::copy(m_channels.begin(), m_channels.begin() + n, destination);
    m_channelsChanged = 0;
    return n;
}

std::vector<FreqInfo> P25Class::CopyChannels() const
{
    NamedLockGuard guard(Locks::FREQUENCY);
    return {m_channels.begin(), m_channels.begin() + m_channelCount};
}

uint8_t P25Class::AreChannelsChanged() const
{
    NamedLockGuard guard(Locks::FREQUENCY);
    return m_channelsChanged;
}

void P25Class::SetChannelsChanged()
{
    NamedLockGuard guard(Locks::FREQUENCY);
    m_channelsChanged = 1;
}

void P25Class::SetTGTimeOut(int ticks)
{
    m_tgTimeOut.store(std::max(ticks, MinimumTGTimeOut), std::memory_order_relaxed);
}

// 0 and -1 stand for "no talkgroup" and are never freed: freeing them would idle every
// other channel that shows none, the control channel's activity included.
bool P25Class::FreeValue(int row, int value)
{
    if (value <= 0)
        return false;
    bool freed = false;
    for (int i = 0; i < m_channelCount; ++i) {
        if (i != row && m_channels[i].Talkgroup == value) {
            Idle(m_channels[i]);
            freed = true;
        }
    }
    return freed;
}

bool P25Class::ApplyGrant(int channel, int inputChannel, const GrantChange& change)
{
    std::optional<NamedLockGuard> waited;
    std::optional<TryNamedLockGuard> attempted;
    if (change.SingleAttempt) {
        attempted.emplace(Locks::FREQUENCY, TryNamedLockGuard::Mode::SingleAttempt);
        if (!attempted->Held())
            return false;
    } else {
        waited.emplace(Locks::FREQUENCY);
    }

    const int k = FindOrAddChannel(channel, inputChannel);
    if (k < 0)
        return false;
    FreqInfo& row = m_channels[k];
    const int value = std::max(change.Value, 0);
    if (change.SetsValue && value != 0) {
        if (change.ValueIsRadio)
            TouchRadio(value);
        else
            TouchTalkgroup(value);
    }
    if (change.SetsRadio || change.TouchesRadio)
        TouchRadio(change.Radio);
    row.LastActivity = static_cast<int32_t>(ActivityTicks());
    row.Usage = change.Usage;

    bool changed = false;
    if (change.SetsValue && (row.Talkgroup != value || (change.Value < 0 && change.NoneIsChange))) {
        if (!change.ValueIsRadio && value != 0 && change.CountsHits) {
            CountTalkgroupHit(value);
            if (change.Options && *change.Options == "Enc")
                MarkTalkgroupEncrypted(value);
        }
        row.Talkgroup = value;
        if (value == 0)
            row.TalkgroupDescription.clear();
        else
            row.TalkgroupDescription = change.ValueIsRadio ? GetRadioDescription(value) : GetTalkgroupDescription(value);
        if (change.CountsHits)
            ++row.Hits;
        changed = true;
    }
    if (change.SetsRadio && row.Radio != change.Radio) {
        row.Radio = change.Radio;
        if (change.RadioChangeCountsHit)
            ++row.Hits;
        changed = true;
    }
    if ((row.UsageFlags & change.Letters) != change.Letters) {
        row.UsageFlags |= change.Letters;
        changed = true;
    }
    if (change.Options && row.Options != *change.Options) {
        row.Options = *change.Options;
        changed = true;
    }
    const bool freed = change.Frees && change.SetsValue && FreeValue(k, value);
    if (changed || freed)
        m_channelsChanged = 1;
    return changed;
}

bool P25Class::GroupVoiceGrant(int channel, int inputChannel, const std::string& options, int radio, int talkgroup,
                               uint8_t serviceOptions)
{
    const bool changed = ApplyGrant(channel, inputChannel,
                                    {.Usage = "Group", .Letters = UsageVoice, .Value = talkgroup, .SetsRadio = true,
                                     .Radio = radio, .Options = &options});
    if (changed)
        LogGrant("Group", channel, options, radio, talkgroup);
    if (changed)
        TapGrant("group", channel, inputChannel, serviceOptions, talkgroup, radio, 0);
    return changed;
}

bool P25Class::GroupVoiceGrantUpdate(int channel, int inputChannel, int talkgroup)
{
    return ApplyGrant(channel, inputChannel,
                      {.Usage = "Group", .Letters = UsageVoice, .SingleAttempt = true, .Value = talkgroup});
}

bool P25Class::GroupVoiceGrantExplicit(int channel, int inputChannel, const std::string& options, int talkgroup)
{
    return ApplyGrant(channel, inputChannel,
                      {.Usage = "Group", .Letters = UsageVoice, .Value = talkgroup, .Options = &options});
}

bool P25Class::PrivateVoiceGrant(int channel, int firstRadio, const std::string& options, int secondRadio,
                                 uint8_t serviceOptions)
{
    const bool changed =
        ApplyGrant(channel, 0,
                   {.Usage = "Private", .Letters = UsageVoice | UsagePrivate, .ValueIsRadio = true,
                    .Value = firstRadio, .SetsRadio = true, .Radio = secondRadio, .Options = &options});
    if (changed)
        LogGrant("Private", channel, options, secondRadio, firstRadio);
    if (changed)
        TapGrant("private", channel, 0, serviceOptions, -1, firstRadio, secondRadio);
    return changed;
}

bool P25Class::PrivateVoiceGrantUpdate(int channel, int firstRadio, int secondRadio)
{
    return ApplyGrant(channel, 0,
                      {.Usage = "Private", .Letters = UsageVoice | UsagePrivate, .ValueIsRadio = true,
                       .Value = firstRadio, .CountsHits = false, .SetsRadio = true, .Radio = secondRadio});
}

bool P25Class::PhoneGrant(int channel, int radio, const std::string& options, uint8_t serviceOptions)
{
    const bool changed = ApplyGrant(channel, 0,
                                    {.Usage = "Phone", .Letters = UsagePhone, .SetsValue = false, .Frees = false,
                                     .SetsRadio = true, .Radio = radio, .RadioChangeCountsHit = true,
                                     .Options = &options});
    if (changed)
        LogGrant("Phone", channel, options, radio, -1);
    if (changed)
        TapGrant("phone", channel, 0, serviceOptions, -1, radio, 0);
    return changed;
}

bool P25Class::PhoneGrantUpdate(int channel, int radio)
{
    return ApplyGrant(channel, 0,
                      {.Usage = "Phone", .Letters = UsagePhone, .SingleAttempt = true, .SetsValue = false,
                       .Frees = false, .TouchesRadio = true, .Radio = radio});
}

bool P25Class::GroupDataGrant(int channel, int talkgroup, const std::string& options, int radio,
                              uint8_t serviceOptions)
{
    const bool changed = ApplyGrant(channel, 0,
                                    {.Usage = "Data", .Letters = UsageData, .Value = talkgroup, .SetsRadio = true,
                                     .Radio = radio, .Options = &options});
    if (changed)
        LogGrant("Data", channel, options, radio, talkgroup);
    if (changed)
        TapGrant("data", channel, 0, serviceOptions, talkgroup, radio, 0);
    return changed;
}

bool P25Class::DataChannelAnnouncement(int channel, int talkgroup)
{
    return ApplyGrant(channel, 0,
                      {.Usage = "Data", .Letters = UsageData, .SingleAttempt = true, .Value = talkgroup,
                       .CountsHits = false});
}

bool P25Class::IndividualDataGrant(int channel, int firstRadio, const std::string& options, int secondRadio,
                                   uint8_t serviceOptions)
{
    const bool changed =
        ApplyGrant(channel, 0,
                   {.Usage = "Data", .Letters = UsageData, .ValueIsRadio = true, .Value = firstRadio,
                    .NoneIsChange = true, .Frees = false, .SetsRadio = true, .Radio = secondRadio, .Options = &options});
    if (changed)
        LogGrant("Data", channel, options, secondRadio, firstRadio);
    // The explicit form names only the radio.
    if (changed)
        TapGrant("data", channel, 0, serviceOptions, -1, firstRadio > 0 ? firstRadio : secondRadio,
                 firstRadio > 0 ? secondRadio : 0);
    return changed;
}

bool P25Class::SetChannelTalkgroup(int channel, int talkgroup)
{
    NamedLockGuard guard(Locks::FREQUENCY);
    const int k = FindOrAddChannel(channel, 0);
    if (k < 0)
        return false;
    FreqInfo& row = m_channels[k];
    row.LastActivity = static_cast<int32_t>(ActivityTicks());
    bool changed = false;
    if (row.Talkgroup != talkgroup) {
        row.Talkgroup = talkgroup;
        row.TalkgroupDescription = GetTalkgroupDescription(talkgroup);
        changed = true;
    }
    return FreeValue(k, talkgroup) || changed;
}

bool P25Class::SetControlChannel(int channel, int inputChannel)
{
    TryNamedLockGuard guard(Locks::FREQUENCY, TryNamedLockGuard::Mode::SingleAttempt);
    if (!guard.Held())
        return false;
    const int k = FindOrAddChannel(channel, inputChannel);
    if (k < 0)
        return false;
    const int32_t now = static_cast<int32_t>(ActivityTicks());
    bool changed = false;
    for (int i = 0; i < m_channelCount; ++i) {
        FreqInfo& row = m_channels[i];
        if (i == k || row.Usage != ControlUsage)
            continue;
        row.Usage.clear();
        row.Talkgroup = 0;
        row.TalkgroupDescription.clear();
        row.Options.clear();
        row.Radio = 0;
        row.LastActivity = now;
        changed = true;
    }
    FreqInfo& row = m_channels[k];
    changed = changed || row.Usage != ControlUsage || !(row.UsageFlags & UsageControl) || row.Talkgroup != 0 ||
              row.Radio != 0 || !row.Options.empty();
    row.Usage = ControlUsage;
    row.UsageFlags |= UsageControl;
    row.Talkgroup = 0;
    row.TalkgroupDescription.clear();
    row.Options.clear();
    row.Radio = 0;
    row.LastActivity = now;
    if (changed)
        m_channelsChanged = 1;
    return changed;
}

bool P25Class::IsControlChannel(int channel)
{
    TryNamedLockGuard guard(Locks::FREQUENCY, TryNamedLockGuard::Mode::SingleAttempt);
    if (!guard.Held())
        return false;
    for (int i = 0; i < m_channelCount; ++i)
        if (m_channels[i].Usage == ControlUsage)
            return m_channels[i].Channel == channel;
    return false;
}

bool P25Class::MarkAlternateControlChannels(int ch1, int ch2)
{
    TryNamedLockGuard guard(Locks::FREQUENCY, TryNamedLockGuard::Mode::SingleAttempt);
    if (!guard.Held())
        return false;
    const auto mark = [this](int channel) {
        const int k = FindOrAddChannel(channel, 0);
        if (k < 0 || (m_channels[k].UsageFlags & UsageAlternate))
            return false;
        m_channels[k].UsageFlags |= UsageAlternate;
        return true;
    };
    bool changed = mark(ch1);
    if (ch2 != ch1)
        changed = mark(ch2) || changed;
    if (changed)
        m_channelsChanged = 1;
    return changed;
}

bool P25Class::MarkAlternateControlChannelExplicit(int channel, int inputChannel)
{
    TryNamedLockGuard guard(Locks::FREQUENCY, TryNamedLockGuard::Mode::SingleAttempt);
    if (!guard.Held())
        return false;
    const int k = FindOrAddChannel(channel, inputChannel);
    if (k < 0 || (m_channels[k].UsageFlags & UsageAlternate))
        return false;
    m_channels[k].UsageFlags |= UsageAlternate;
    m_channelsChanged = 1;
    return true;
}

bool P25Class::SetChannelStationId(int channel, const std::string& callSign)
{
    bool changed = false;
    {
        NamedLockGuard guard(Locks::FREQUENCY);
        const int k = FindOrAddChannel(channel, 0);
        if (k < 0 || m_channels[k].Usage == ControlUsage)
            return false;
        FreqInfo& row = m_channels[k];
        row.LastActivity = static_cast<int32_t>(ActivityTicks());
        if (row.Usage != StationIdUsage) {
            row.Usage = StationIdUsage;
            row.Options = callSign;
            ++row.Hits;
            changed = true;
        }
        if (!(row.UsageFlags & UsageSystemId)) {
            row.UsageFlags |= UsageSystemId;
            changed = true;
        }
        if (changed)
            m_channelsChanged = 1;
    }
    if (changed) {
        LogGrant(StationIdUsage, channel, callSign, 0, -1);
        TapGrant("station id", channel, 0, 0, -1, 0, 0, callSign);
    }
    return changed;
}

bool P25Class::ExpireChannelActivity()
{
    TryNamedLockGuard guard(Locks::FREQUENCY, TryNamedLockGuard::Mode::SingleAttempt);
    if (!guard.Held())
        return false;
    const int64_t now = ActivityTicks();
    const int64_t timeOut = TGTimeOut();
    bool expired = false;
    for (int i = 0; i < m_channelCount; ++i) {
        FreqInfo& row = m_channels[i];
        if (row.Usage.empty() || row.LastActivity + timeOut >= now)
            continue;
        row.Talkgroup = 0;
        row.TalkgroupDescription.clear();
        row.Radio = 0;
        row.LastActivity = 0;
        row.Usage.clear();
        row.Options.clear();
        expired = true;
    }
    if (expired)
        m_channelsChanged = 1;
    return expired;
}

template <typename Field>
bool P25Class::OrIntoLoadedChannel(int channel, Field FreqInfo::*field, Field bits)
{
    NamedLockGuard guard(Locks::FREQUENCY);
    const int k = FindOrAddChannel(channel, 0);
    if (k < 0)
        return false;
    FreqInfo& row = m_channels[k];
    row.LastActivity = static_cast<int32_t>(ActivityTicks());
    if ((row.*field | bits) == row.*field)
        return false;
    row.*field |= bits;
    return true;
}

bool P25Class::AddChannelUsageFlags(int channel, uint32_t bits)
{
    return OrIntoLoadedChannel(channel, &FreqInfo::UsageFlags, bits);
}

// The tower file is read into an empty channel table, so the OR sets the count.
bool P25Class::MergeChannelHits(int channel, int hits)
{
    return OrIntoLoadedChannel(channel, &FreqInfo::Hits, static_cast<int32_t>(hits));
}
