#pragma once
#include <atomic>
#include <cstdint>

#include "platform/Clock.h"

// The model's one clock for the program's whole run. It reads the live clock, or during a
// replay the replay's own clock, and keeps ActivityTicks continuous across each switch:
// channel activity stamped on one clock then expires by the ticks of the next, instead of
// comparing two clocks' counts (a replay runs its ticks far ahead of the live ones, which
// would keep its last channels active for hours). Seconds are always the source's own.
class SessionClock : public Clock
{
public:
    explicit SessionClock(Clock& live) : m_source(&live) {}

    int64_t Now() const override { return m_source.load(std::memory_order_acquire)->Now(); }
    uint32_t ActivityTicks() const override
    {
        const Clock* source = m_source.load(std::memory_order_acquire);
        return static_cast<uint32_t>(m_tickOffset.load(std::memory_order_acquire) + source->ActivityTicks());
    }

    // Switch only while no other thread decodes: a reader between the two stores could
    // see the new source with the old offset.
    void Use(Clock& source)
    {
        const int64_t ticks = ActivityTicks();
        m_tickOffset.store(ticks - static_cast<int64_t>(source.ActivityTicks()), std::memory_order_release);
        m_source.store(&source, std::memory_order_release);
    }
    const Clock& Source() const { return *m_source.load(std::memory_order_acquire); }

private:
    std::atomic<Clock*> m_source;
    std::atomic<int64_t> m_tickOffset{0};
};
