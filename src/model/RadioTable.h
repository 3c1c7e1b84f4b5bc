#pragma once
#include <atomic>
#include <cstdint>
#include <vector>

#include "model/Records.h"

// The radio records of one system, found by Id through an open-addressing hash, so that
// adding and looking up stay constant-time at 200,000 radios. Records keep their place
// of arrival; the ascending order of Id is produced when the table is copied out. All
// storage is reserved by the constructor. Callers hold RADIDLOCK; Count may be read
// without it.
class RadioTable
{
public:
    explicit RadioTable(int capacity);

    int Count() const { return m_count.load(std::memory_order_relaxed); }
    RADTAG* Find(int32_t id);
    const RADTAG* Find(int32_t id) const;
    // A fresh record with this Id and every other field cleared; nullptr for Id 0, an Id
    // already present, or a full table.
    RADTAG* Insert(int32_t id);
    void Clear();
    void CopySorted(std::vector<RADTAG>& destination);

private:
    struct Slot
    {
        int32_t Id;
        int32_t Record; // -1: empty
    };
    size_t Home(int32_t id) const;

    int m_capacity;
    std::vector<RADTAG> m_records;
    std::vector<Slot> m_slots;
    size_t m_mask;
    // Record numbers; the first m_sortedCount are in ascending order of Id.
    std::vector<int32_t> m_order;
    int m_sortedCount = 0;
    std::atomic<int> m_count{0};
};
