#include "input/TBSKQueue.h"

#include <cstring>

#include "decoder/Tsbk.h"
#include "model/Locks.h"

TBSKQueue::TBSKQueue()
{
    NamedLockGuard guard(Locks::TSBKQUEUE);
    m_ring = std::make_unique<uint8_t[]>(Slots * TsbkSize);
}

bool TBSKQueue::Push(const uint8_t* block)
{
    NamedLockGuard guard(Locks::TSBKQUEUE);
    if (m_count.load(std::memory_order_relaxed) >= Slots)
        return false;
    std::memcpy(&m_ring[m_writeIndex * TsbkSize], block, TsbkSize);
    m_writeIndex = (m_writeIndex + 1) % Slots;
    m_count.fetch_add(1, std::memory_order_release);
    return true;
}

// Only one thread pops, so the count may be tested before the lock is taken.
bool TBSKQueue::Pop(uint8_t* out)
{
    if (m_count.load(std::memory_order_acquire) < 1)
        return false;
    NamedLockGuard guard(Locks::TSBKQUEUE);
    std::memcpy(out, &m_ring[m_readIndex * TsbkSize], TsbkSize);
    m_readIndex = (m_readIndex + 1) % Slots;
    m_count.fetch_sub(1, std::memory_order_release);
    return true;
}

int TBSKQueue::FreePercent() const
{
    const int count = m_count.load(std::memory_order_acquire);
    if (count <= 0)
        return 100;
    return static_cast<int>((Slots - count) * 0.0002 * 100 + 0.5);
}
