#include "model/P25Class.h"

#include <algorithm>
#include <optional>

#include "model/Locks.h"

namespace {

// Process-wide: the block of the last queued other event, shared by all model objects.
// Empty until an event is queued, so that the first event is never taken for a repeat.
std::optional<TsbkBlock> lastEventBlock;

template <typename Queue, typename Fill>
bool Enqueue(Queue& queue, NamedLock& lock, const LOGSITE& site, Fill fill)
{
    if (queue.Count.load() >= static_cast<int>(queue.Items.size())) {
        ++queue.Dropped;
        return false;
    }
    NamedLockGuard guard(lock);
    const int at = queue.Count.load();
    if (at >= static_cast<int>(queue.Items.size())) {
        ++queue.Dropped;
        return false;
    }
    fill(queue.Items[at]);
    queue.Items[at].Site = site;
    queue.Count.store(at + 1);
    queue.Changed = true;
    return true;
}

bool IsClearMarker(const AFFLOG& record)
{
    return record.Function == 'C';
}

template <typename Record>
bool IsClearMarker(const Record& record)
{
    return record.Time == 0;
}

// Records already queued under an identified system stay ahead of the marker, so they
// still become rows of their own site before the list is emptied; records queued before
// any system was known are dropped with the list they would have joined.
template <typename Queue>
void ClearWithMarker(Queue& queue, NamedLock& lock)
{
    NamedLockGuard guard(lock);
    const int count = queue.Count.load();
    int kept = 0;
    const auto afterMarker = [&] { return kept > 0 && IsClearMarker(queue.Items[kept - 1]); };
    for (int i = 0; i < count; ++i) {
        const bool marker = IsClearMarker(queue.Items[i]);
        if ((queue.Items[i].Site.SysId == 0 && !marker) || (marker && afterMarker()))
            continue;
        if (kept != i)
            queue.Items[kept] = std::move(queue.Items[i]);
        ++kept;
    }
    if (afterMarker()) {
        queue.Count.store(kept);
        queue.Changed = true;
        return;
    }
    if (kept == static_cast<int>(queue.Items.size())) {
        --kept;
        ++queue.Dropped;
    }
    queue.Items[kept] = {};
    queue.Count.store(kept + 1);
    queue.Changed = true;
}

template <typename Queue, typename Record>
int Take(Queue& queue, NamedLock& lock, Record* destination, int max)
{
    NamedLockGuard guard(lock);
    const int n = std::clamp(max, 0, queue.Count.load());
    std::copy(queue.Items.begin(), queue.Items.begin() + n, destination);
    queue.Count.store(0);
    queue.Changed = false;
    return n;
}

// The single-attempt form: 0 when another thread holds the lock; the records wait.
template <typename Queue, typename Record>
int TryTake(Queue& queue, NamedLock& lock, Record* destination, int max)
{
    TryNamedLockGuard guard(lock, TryNamedLockGuard::Mode::SingleAttempt);
    if (!guard.Held())
        return 0;
    return Take(queue, lock, destination, max);
}

template <typename Queue>
bool IsChanged(const Queue& queue, NamedLock& lock)
{
    NamedLockGuard guard(lock);
    return queue.Changed;
}

void FillBlockLog(BLOCKLOG& record, int64_t now, const uint8_t* block, const std::string& text)
{
    record.Time = now;
    std::copy(block, block + TsbkSize, record.Block.begin());
    record.Text = text;
}

}

bool P25Class::LogEvent(const uint8_t* block, const std::string& text)
{
    // The history keeps the other events whether the list shows them or not, with the
    // log's rule for a repeated block.
    if (EventTap* tap = Tap(); tap && !std::equal(block, block + TsbkSize, m_tapEventBlock.begin())) {
        std::copy(block, block + TsbkSize, m_tapEventBlock.begin());
        TAPEVENT event = TAPEVENT::Of(TAPEVENT::Kind::Event);
        event.Block = m_tapEventBlock;
        event.Text = text;
        TapRecord(*tap, std::move(event));
    }
    if (!IsOtherInfoVisible())
        return false;
    if (m_eventLog->Count.load() >= EventLogCapacity) {
        ++m_eventLog->Dropped;
        return false;
    }
    NamedLockGuard guard(Locks::EVENTLOCK);
    if (lastEventBlock && std::equal(block, block + TsbkSize, lastEventBlock->begin()))
        return false;
    const bool queued =
        Enqueue(*m_eventLog, Locks::EVENTLOCK, LogSite(), [&](EVENTLOG& r) { FillBlockLog(r, Now(), block, text); });
    if (queued) {
        lastEventBlock.emplace();
        std::copy(block, block + TsbkSize, lastEventBlock->begin());
    }
    return queued;
}

bool P25Class::LogPacket(const uint8_t* block, const std::string& text)
{
    return Enqueue(*m_packetDump, Locks::ALLPKTLOCK, LogSite(), [&](ALLPKT& r) { FillBlockLog(r, Now(), block, text); });
}

bool P25Class::LogUnknownPacket(const uint8_t* block, const std::string& text)
{
    return Enqueue(*m_unknownPackets, Locks::UNKNOWNLOCK, LogSite(),
                   [&](UNKTSBK& r) { FillBlockLog(r, Now(), block, text); });
}

void P25Class::ClearEventLog()
{
    ClearWithMarker(*m_eventLog, Locks::EVENTLOCK);
}

void P25Class::ClearPacketDump()
{
    ClearWithMarker(*m_packetDump, Locks::ALLPKTLOCK);
}

void P25Class::ClearUnknownPackets()
{
    ClearWithMarker(*m_unknownPackets, Locks::UNKNOWNLOCK);
}

int P25Class::TakeEventLog(EVENTLOG* destination, int max)
{
    if (!IsOtherInfoVisible())
        return 0;
    return TryTake(*m_eventLog, Locks::EVENTLOCK, destination, max);
}

int P25Class::TakePacketDump(ALLPKT* destination, int max)
{
    return Take(*m_packetDump, Locks::ALLPKTLOCK, destination, max);
}

int P25Class::TakeUnknownPackets(UNKTSBK* destination, int max)
{
    return Take(*m_unknownPackets, Locks::UNKNOWNLOCK, destination, max);
}

bool P25Class::IsEventLogChanged() const
{
    return IsOtherInfoVisible() && IsChanged(*m_eventLog, Locks::EVENTLOCK);
}

bool P25Class::IsPacketDumpChanged() const
{
    return IsChanged(*m_packetDump, Locks::ALLPKTLOCK);
}

bool P25Class::IsUnknownPacketsChanged() const
{
    return IsChanged(*m_unknownPackets, Locks::UNKNOWNLOCK);
}

bool P25Class::LogAffiliation(char kind, int radio, const std::string& text, int talkgroup)
{
    return Enqueue(*m_affiliationLog, Locks::AFFLOG, LogSite(), [&](AFFLOG& r) {
        r.Function = kind;
        r.Radio = radio;
        r.Talkgroup = talkgroup;
        r.Text = text;
        r.Time = Now();
    });
}

bool P25Class::LogPatch(char kind, int talkgroup, int supergroup)
{
    if (EventTap* tap = Tap()) {
        TAPEVENT event = TAPEVENT::Of(TAPEVENT::Kind::Patch, kind);
        event.Talkgroup = talkgroup;
        event.Target = supergroup;
        TapRecord(*tap, std::move(event));
    }
    return Enqueue(*m_patchLog, Locks::PATCHLOGLOCK, LogSite(), [&](PATCHLOG& r) {
        r.Time = Now();
        r.Kind = kind;
        r.Talkgroup = talkgroup;
        r.Supergroup = supergroup;
    });
}

void P25Class::ClearAffiliationLog()
{
    ClearWithMarker(*m_affiliationLog, Locks::AFFLOG);
}

void P25Class::ClearPatchLog()
{
    ClearWithMarker(*m_patchLog, Locks::PATCHLOGLOCK);
}

int P25Class::TakeAffiliationLog(AFFLOG* destination, int max)
{
    return Take(*m_affiliationLog, Locks::AFFLOG, destination, max);
}

int P25Class::TakePatchLog(PATCHLOG* destination, int max)
{
    return TryTake(*m_patchLog, Locks::PATCHLOGLOCK, destination, max);
}

bool P25Class::IsPatchLogChanged() const
{
    return IsChanged(*m_patchLog, Locks::PATCHLOGLOCK);
}

namespace {

// Process-wide: the last queued "Queued" grant, so that a repeat within its second is dropped.
struct QueuedGrant
{
    int64_t Time = -1;
    int Talkgroup = 0;
    int Radio = 0;
};
QueuedGrant lastQueuedGrant;

}

bool P25Class::LogGrant(const std::string& kind, int channel, const std::string& text, int radio, int talkgroup)
{
    if (!IsGrantsVisible())
        return false;
    return Enqueue(*m_grantLog, Locks::GLLOCK, LogSite(), [&](GRANTLOG& r) {
        r.Time = Now();
        r.Kind = kind;
        r.Channel = channel;
        r.Frequency = channel < 0 ? 0.0 : ChannelFrequency(channel);
        r.Talkgroup = talkgroup;
        r.Radio = radio;
        r.Text = text;
    });
}

bool P25Class::LogQueued(int talkgroup, int radio, bool group)
{
    {
        NamedLockGuard guard(Locks::GLLOCK);
        const QueuedGrant grant{Now(), talkgroup, radio};
        if (grant.Time == lastQueuedGrant.Time && grant.Talkgroup == lastQueuedGrant.Talkgroup &&
            grant.Radio == lastQueuedGrant.Radio)
            return false;
        lastQueuedGrant = grant;
    }
    if (EventTap* tap = Tap()) {
        TAPEVENT event = TAPEVENT::Of(TAPEVENT::Kind::Queued);
        event.Talkgroup = group ? talkgroup : -1;
        event.Radio = group ? radio : talkgroup;
        event.Target = group ? 0 : radio;
        TapRecord(*tap, std::move(event));
    }
    // GLLOCK and FREQUENCY are never nested.
    SetChannelsChanged();
    LogGrant("Queued", -1, "", radio, talkgroup);
    return true;
}

void P25Class::ClearGrantLog()
{
    ClearWithMarker(*m_grantLog, Locks::GLLOCK);
}

int P25Class::TakeGrantLog(GRANTLOG* destination, int max)
{
    if (!IsGrantsVisible())
        return 0;
    return TryTake(*m_grantLog, Locks::GLLOCK, destination, max);
}

bool P25Class::IsGrantLogChanged() const
{
    return IsGrantsVisible() && IsChanged(*m_grantLog, Locks::GLLOCK);
}

unsigned P25Class::WaitingLogQueues() const
{
    const auto bit = [](const auto& queue, unsigned value) { return queue.Count.load() > 0 ? value : 0u; };
    // A hidden list's queue keeps its clear marker and is never taken.
    return bit(*m_affiliationLog, AffiliationQueue) | (IsGrantsVisible() ? bit(*m_grantLog, GrantQueue) : 0u) |
           (IsOtherInfoVisible() ? bit(*m_eventLog, EventQueue) : 0u) | bit(*m_patchLog, PatchQueue) |
           bit(*m_packetDump, PacketQueue) | bit(*m_unknownPackets, UnknownQueue);
}

uint64_t P25Class::DroppedLogRecords() const
{
    return m_affiliationLog->Dropped + m_grantLog->Dropped + m_eventLog->Dropped + m_patchLog->Dropped +
           m_packetDump->Dropped + m_unknownPackets->Dropped;
}

void P25Class::TapRecord(EventTap& tap, TAPEVENT&& event) const
{
    event.Time = Now();
    event.Site = LogSite();
    event.Wacn = m_logWacn.load(std::memory_order_relaxed);
    tap.Take(std::move(event));
}

void P25Class::TapGrant(const char* usage, int channel, int inputChannel, uint8_t serviceOptions, int talkgroup,
                        int radio, int target, const std::string& text)
{
    EventTap* tap = Tap();
    if (!tap)
        return;
    TAPEVENT event = TAPEVENT::Of(TAPEVENT::Kind::Grant);
    event.Usage = usage;
    event.ServiceOptions = serviceOptions;
    event.Channel = channel;
    event.Frequency = ChannelFrequency(channel);
    // As the channel row takes it: an explicit input channel with a table of its own, else
    // the channel's own transmit offset.
    const bool explicitInput = inputChannel != 0 && inputChannel != NoChannel;
    event.InputFrequency = explicitInput ? ChannelFrequencyEx(inputChannel, true) : 0.0;
    if (event.InputFrequency == 0.0)
        event.InputFrequency = ChannelFrequencyEx(channel, false);
    event.Slot = ChannelSlot(channel);
    event.Talkgroup = talkgroup;
    event.Radio = radio;
    event.Target = target;
    event.Text = text;
    TapRecord(*tap, std::move(event));
}

void P25Class::TapSystem(char change)
{
    EventTap* tap = Tap();
    if (!tap)
        return;
    TAPEVENT event = TAPEVENT::Of(TAPEVENT::Kind::System, change);
    event.System = m_sysInfo;
    TapRecord(*tap, std::move(event));
}

void P25Class::TapCallAlert(int source, int target)
{
    if (EventTap* tap = Tap()) {
        TAPEVENT event = TAPEVENT::Of(TAPEVENT::Kind::CallAlert);
        event.Radio = source;
        event.Target = target;
        TapRecord(*tap, std::move(event));
    }
}
