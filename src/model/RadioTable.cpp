#include "model/RadioTable.h"

#include <algorithm>
#include <bit>

namespace {

// Hash slots per record, at least: keeps probe runs short when the table is full.
constexpr size_t SlotsPerRecord = 2;

}

RadioTable::RadioTable(int capacity)
    : m_capacity(capacity),
      m_records(static_cast<size_t>(capacity)),
      m_slots(std::bit_ceil(static_cast<size_t>(capacity) * SlotsPerRecord), Slot{0, -1}),
      m_mask(m_slots.size() - 1)
{
    m_order.reserve(static_cast<size_t>(capacity));
}

size_t RadioTable::Home(int32_t id) const
{
    // Fibonacci hashing spreads consecutive radio IDs over the whole table.
    const uint64_t h = static_cast<uint64_t>(static_cast<uint32_t>(id)) * 0x9E3779B97F4A7C15ull;
    return static_cast<size_t>(h >> 32) & m_mask;
}

RADTAG* RadioTable::Find(int32_t id)
{
    return const_cast<RADTAG*>(static_cast<const RadioTable*>(this)->Find(id));
}

const RADTAG* RadioTable::Find(int32_t id) const
{
    if (id == 0)
        return nullptr;
    for (size_t at = Home(id);; at = (at + 1) & m_mask) {
        const Slot& slot = m_slots[at];
        if (slot.Record < 0)
            return nullptr;
        if (slot.Id == id)
            return &m_records[static_cast<size_t>(slot.Record)];
    }
}

RADTAG* RadioTable::Insert(int32_t id)
{
    const int count = Count();
    if (id == 0 || count >= m_capacity)
        return nullptr;
    size_t at = Home(id);
    for (; m_slots[at].Record >= 0; at = (at + 1) & m_mask)
        if (m_slots[at].Id == id)
            return nullptr;
    m_slots[at] = {id, count};
    m_order.push_back(count);
    RADTAG& record = m_records[static_cast<size_t>(count)];
    record.Id = id;
    record.Description.clear();
    record.LastSeen = 0;
    record.TextColor = 0;
    record.BackColor = 0;
    m_count.store(count + 1, std::memory_order_relaxed);
    return &record;
}

void RadioTable::Clear()
{
    std::fill(m_slots.begin(), m_slots.end(), Slot{0, -1});
    m_order.clear();
    m_sortedCount = 0;
    m_count.store(0, std::memory_order_relaxed);
}

void RadioTable::CopySorted(std::vector<RADTAG>& destination)
{
    // Only the records added since the last copy need sorting; they are then merged in.
    const auto byId = [this](int32_t a, int32_t b) {
        return m_records[static_cast<size_t>(a)].Id < m_records[static_cast<size_t>(b)].Id;
    };
    const auto sortedEnd = m_order.begin() + m_sortedCount;
    std::sort(sortedEnd, m_order.end(), byId);
    std::inplace_merge(m_order.begin(), sortedEnd, m_order.end(), byId);
    m_sortedCount = static_cast<int>(m_order.size());

    destination.clear();
    destination.reserve(m_order.size());
    for (int32_t record : m_order)
        destination.push_back(m_records[static_cast<size_t>(record)]);
}
