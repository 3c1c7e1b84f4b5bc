#include <gtest/gtest.h>

#include "LockHolder.h"
#include "model/Locks.h"
#include "model/P25Class.h"

namespace {

class GrantLogTest : public ::testing::Test
{
protected:
    ManualClock clock{1710000000};
    P25Class model{clock};
    GRANTLOG taken[GrantLogCapacity];

    void SetUp() override
    {
        model.SetGrantsVisible(true);
        model.TakeGrantLog(taken, GrantLogCapacity);
    }
};

}

TEST_F(GrantLogTest, SwitchOffQueuesNothingAndHidesTheQueue)
{
    model.SetGrantsVisible(false);
    EXPECT_FALSE(model.LogGrant("Group", 0x1001, "", 1, 2));
    model.SetGrantsVisible(true);
    EXPECT_TRUE(model.LogGrant("Group", 0x1001, "Enc", 1, 2));
    model.SetGrantsVisible(false);
    EXPECT_FALSE(model.IsGrantLogChanged());
    EXPECT_EQ(model.TakeGrantLog(taken, GrantLogCapacity), 0);
    model.SetGrantsVisible(true);
    EXPECT_TRUE(model.IsGrantLogChanged());
    ASSERT_EQ(model.TakeGrantLog(taken, GrantLogCapacity), 1);
    EXPECT_EQ(taken[0].Text, "Enc");
    EXPECT_DOUBLE_EQ(taken[0].Frequency, 762.0125);
    EXPECT_FALSE(model.IsGrantLogChanged());
}

TEST_F(GrantLogTest, FullQueueDropsUntilTaken)
{
    for (int i = 0; i < GrantLogCapacity; ++i)
        ASSERT_TRUE(model.LogGrant("Group", 0x1001, "", i, 100));
    EXPECT_FALSE(model.LogGrant("Group", 0x1001, "", 999, 100));
    ASSERT_EQ(model.TakeGrantLog(taken, GrantLogCapacity), GrantLogCapacity);
    EXPECT_EQ(taken[0].Radio, 0);
    EXPECT_EQ(taken[GrantLogCapacity - 1].Radio, GrantLogCapacity - 1);
    EXPECT_TRUE(model.LogGrant("Group", 0x1001, "", 999, 100));
}

TEST_F(GrantLogTest, QueuedGrantIsDroppedOnlyWithinItsSecond)
{
    EXPECT_TRUE(model.LogQueued(4321, 765432));
    EXPECT_FALSE(model.LogQueued(4321, 765432));
    EXPECT_TRUE(model.LogQueued(4321, 765433));
    clock.Advance(1);
    EXPECT_TRUE(model.LogQueued(4321, 765433));
    ASSERT_EQ(model.TakeGrantLog(taken, GrantLogCapacity), 3);
    EXPECT_EQ(taken[0].Kind, "Queued");
    EXPECT_EQ(taken[0].Channel, -1);
    EXPECT_DOUBLE_EQ(taken[0].Frequency, 0.0);
    EXPECT_EQ(taken[0].Talkgroup, 4321);
    EXPECT_EQ(taken[0].Radio, 765432);
    EXPECT_EQ(model.AreChannelsChanged(), 1);
}

TEST_F(GrantLogTest, ClearAndResetLeaveOnlyTheMarker)
{
    model.LogGrant("Group", 0x1001, "", 1, 2);
    model.ClearGrantLog();
    ASSERT_EQ(model.TakeGrantLog(taken, GrantLogCapacity), 1);
    EXPECT_EQ(taken[0].Time, 0);
    model.LogGrant("Group", 0x1001, "", 1, 2);
    model.ResetSiteLists();
    ASSERT_EQ(model.TakeGrantLog(taken, GrantLogCapacity), 1);
    EXPECT_EQ(taken[0].Time, 0);
    model.ResetModel();
    EXPECT_EQ(model.TakeGrantLog(taken, GrantLogCapacity), 1);
}

TEST_F(GrantLogTest, TakeGivesWayWhileTheQueueIsBusy)
{
    model.LogGrant("Group", 0x1001, "", 1, 2);
    {
        LockHolder busy(Locks::GLLOCK);
        EXPECT_EQ(model.TakeGrantLog(taken, GrantLogCapacity), 0);
    }
    EXPECT_EQ(model.TakeGrantLog(taken, GrantLogCapacity), 1);
}
