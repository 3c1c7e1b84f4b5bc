#include "scanner/FollowLog.h"

int FollowLog::Record(std::span<const FollowDecision> decisions, int64_t time)
{
    for (auto& [channel, last] : m_last)
        last.Seen = false;
    int kept = 0;
    for (const FollowDecision& decision : decisions) {
        const auto [it, added] = m_last.try_emplace(decision.Channel, Last{decision.Talkgroup, decision.Reason, true});
        Last& last = it->second;
        last.Seen = true;
        if (!added && last.Talkgroup == decision.Talkgroup && last.Reason == decision.Reason)
            continue;
        last.Talkgroup = decision.Talkgroup;
        last.Reason = decision.Reason;
        ++m_counts[static_cast<size_t>(decision.Reason)];
        ++kept;
        if (m_ring.size() < Capacity)
            m_ring.push_back({time, decision});
        else
            m_ring[m_next] = {time, decision};
        m_next = (m_next + 1) % Capacity;
    }
    std::erase_if(m_last, [](const auto& item) { return !item.second.Seen; });
    return kept;
}

std::vector<FollowLog::Entry> FollowLog::Entries() const
{
    if (m_ring.size() < Capacity)
        return m_ring;
    std::vector<Entry> entries(m_ring.begin() + static_cast<std::ptrdiff_t>(m_next), m_ring.end());
    entries.insert(entries.end(), m_ring.begin(), m_ring.begin() + static_cast<std::ptrdiff_t>(m_next));
    return entries;
}

void FollowLog::Clear()
{
    m_ring.clear();
    m_next = 0;
    m_counts.fill(0);
    m_last.clear();
}
