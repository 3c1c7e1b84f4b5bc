#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <unordered_map>
#include <vector>

#include "scanner/FollowLogic.h"

// The recent follow decisions and the session's count of each reason. A call's decision
// is kept once, and again only when its talkgroup or reason changes, so the refresh rate
// does not flood it. No lock: the caller owns the threading.
class FollowLog
{
public:
    static constexpr size_t Capacity = 200;

    FollowLog() { m_ring.reserve(Capacity); }

    struct Entry
    {
        // Seconds since 1970.
        int64_t Time = 0;
        FollowDecision Decision;
    };

    // One follow step's decisions. A channel missing from them has ended its call, so
    // its next call is new even with the same talkgroup and reason. Returns how many
    // were kept.
    int Record(std::span<const FollowDecision> decisions, int64_t time);
    // Oldest first, at most Capacity.
    std::vector<Entry> Entries() const;
    // Over the whole session, not only the entries still kept.
    int64_t Count(FollowReason reason) const { return m_counts[static_cast<size_t>(reason)]; }
    void Clear();

private:
    struct Last
    {
        int Talkgroup;
        FollowReason Reason;
        bool Seen;
    };

    std::vector<Entry> m_ring;
    size_t m_next = 0;
    std::array<int64_t, FollowReasonCount> m_counts{};
    std::unordered_map<int, Last> m_last;
};
