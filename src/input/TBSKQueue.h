#pragma once
#include <atomic>
#include <cstdint>
#include <memory>

// The ring of 12-byte blocks between one producer (TKavri or capture replay) and
// ProcThread. Push and Pop hold "TSBKQUEUE"; HasRoom, HasData and FreePercent read the
// count without it, because a stale answer only costs one polling interval.
class TBSKQueue
{
public:
    static constexpr int Slots = 5000;

    TBSKQueue();

    bool Push(const uint8_t* block);
    bool Pop(uint8_t* out);
    bool HasData() const { return m_count.load(std::memory_order_acquire) >= 1; }
    bool HasRoom() const { return m_count.load(std::memory_order_acquire) < Slots; }
    int Count() const { return m_count.load(std::memory_order_acquire); }
    int FreePercent() const;

private:
    std::unique_ptr<uint8_t[]> m_ring;
    int m_readIndex = 0;
    int m_writeIndex = 0;
    std::atomic<int> m_count{0};
};
