#include <gtest/gtest.h>

#include <vector>

#include "scanner/FollowLog.h"

namespace {

FollowDecision Decision(int channel, int talkgroup, FollowReason reason)
{
    FollowDecision decision;
    decision.Channel = channel;
    decision.Talkgroup = talkgroup;
    decision.Reason = reason;
    return decision;
}

}

TEST(FollowLog, KeepsACallOnceUntilItChanges)
{
    using R = FollowReason;
    FollowLog log;
    const struct
    {
        const char* Name;
        std::vector<FollowDecision> Step;
        int Kept;
    } steps[] = {
        {"two new calls", {Decision(1, 100, R::Followed), Decision(2, 200, R::LostToHigher)}, 2},
        {"the same again", {Decision(1, 100, R::Followed), Decision(2, 200, R::LostToHigher)}, 0},
        {"a new reason", {Decision(1, 100, R::Followed), Decision(2, 200, R::Held)}, 1},
        {"a new talkgroup", {Decision(1, 300, R::Followed), Decision(2, 200, R::Held)}, 1},
        {"channel 2 ends", {Decision(1, 300, R::Followed)}, 0},
        {"its next call is new", {Decision(1, 300, R::Followed), Decision(2, 200, R::Held)}, 1},
    };
    int64_t time = 1700000000;
    for (const auto& step : steps)
        EXPECT_EQ(log.Record(step.Step, time++), step.Kept) << step.Name;

    const std::vector<FollowLog::Entry> entries = log.Entries();
    ASSERT_EQ(entries.size(), 5u);
    EXPECT_EQ(entries[3].Time, 1700000003);
    EXPECT_EQ(entries[3].Decision.Talkgroup, 300);
    EXPECT_EQ(log.Count(R::Followed), 2);
    EXPECT_EQ(log.Count(R::Held), 2);
    EXPECT_EQ(log.Count(R::LostToHigher), 1);
}

TEST(FollowLog, KeepsTheLast200AndCountsTheWholeSession)
{
    FollowLog log;
    for (int i = 0; i < 250; ++i) {
        const FollowDecision step[] = {Decision(1, i, FollowReason::PriorityZero)};
        log.Record(step, i);
    }
    std::vector<FollowLog::Entry> entries = log.Entries();
    ASSERT_EQ(entries.size(), FollowLog::Capacity);
    EXPECT_EQ(entries.front().Time, 50);
    EXPECT_EQ(entries.back().Time, 249);
    EXPECT_EQ(log.Count(FollowReason::PriorityZero), 250);

    log.Clear();
    EXPECT_TRUE(log.Entries().empty());
    EXPECT_EQ(log.Count(FollowReason::PriorityZero), 0);
    const FollowDecision last[] = {Decision(1, 249, FollowReason::PriorityZero)};
    EXPECT_EQ(log.Record(last, 300), 1);
}
