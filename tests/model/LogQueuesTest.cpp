#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "support/Blocks.h"
#include "model/Locks.h"
#include "model/P25Class.h"

namespace {

constexpr int64_t Start = 1700000000;

// The last event block is remembered process-wide, so each test sends blocks of its own.
TsbkBlock Block(int test, int n)
{
    return MakeTsbk(0x2C, 0x00, {test, n >> 8, n & 0xFF});
}

class LogQueuesTest : public ::testing::Test
{
protected:
    ManualClock clock{Start};
    P25Class model{clock};

    void SetUp() override
    {
        model.SetOtherInfoVisible(true);
        TakeEvents();
        TakePackets();
        TakeUnknowns();
        std::vector<PATCHLOG> patchLog(PatchLogCapacity);
        model.TakePatchLog(patchLog.data(), PatchLogCapacity);
    }

    std::vector<EVENTLOG> TakeEvents(int max = EventLogCapacity)
    {
        std::vector<EVENTLOG> list(EventLogCapacity);
        list.resize(model.TakeEventLog(list.data(), max));
        return list;
    }

    std::vector<ALLPKT> TakePackets(int max = PacketDumpCapacity)
    {
        std::vector<ALLPKT> list(PacketDumpCapacity);
        list.resize(model.TakePacketDump(list.data(), max));
        return list;
    }

    std::vector<UNKTSBK> TakeUnknowns()
    {
        std::vector<UNKTSBK> list(UnknownPacketCapacity);
        list.resize(model.TakeUnknownPackets(list.data(), UnknownPacketCapacity));
        return list;
    }

    // Runs take while another thread holds lock, as the decoder would in the middle of an add.
    template <typename Take>
    int TakeWhileHeld(NamedLock& lock, Take take)
    {
        int taken = -1;
        NamedLockGuard guard(lock);
        std::thread([&] { taken = take(); }).join();
        return taken;
    }
};

}

TEST_F(LogQueuesTest, EventLogDropsImmediateRepeatsAndObeysItsSwitch)
{
    const TsbkBlock first = Block(1, 1);
    const TsbkBlock second = Block(1, 2);
    EXPECT_TRUE(model.LogEvent(first.data(), "Unit Registration"));
    EXPECT_FALSE(model.LogEvent(first.data(), "Unit Registration"));
    clock.Advance(1);
    EXPECT_TRUE(model.LogEvent(second.data(), "Other"));
    EXPECT_TRUE(model.LogEvent(first.data(), "Unit Registration"));
    EXPECT_TRUE(model.IsEventLogChanged());

    model.SetOtherInfoVisible(false);
    EXPECT_FALSE(model.IsEventLogChanged());
    EXPECT_FALSE(model.LogEvent(second.data(), "Other"));
    EXPECT_TRUE(TakeEvents().empty());

    model.SetOtherInfoVisible(true);
    auto events = TakeEvents();
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[0].Time, Start);
    EXPECT_EQ(events[0].Block, first);
    EXPECT_EQ(events[0].Text, "Unit Registration");
    EXPECT_EQ(events[1].Time, Start + 1);
    EXPECT_EQ(events[1].Block, second);
    EXPECT_FALSE(model.IsEventLogChanged());
}

TEST_F(LogQueuesTest, FirstEventIsNeverTakenForARepeat)
{
    const TsbkBlock zero{};
    EXPECT_TRUE(model.LogEvent(zero.data(), "Zero"));
    const TsbkBlock other = Block(2, 1);
    EXPECT_TRUE(model.LogEvent(other.data(), "Other"));
}

TEST_F(LogQueuesTest, EveryQueueRefusesBeyondItsCapacityAndReopensAfterTaking)
{
    for (int i = 0; i < EventLogCapacity; ++i)
        ASSERT_TRUE(model.LogEvent(Block(3, i).data(), "Event"));
    EXPECT_FALSE(model.LogEvent(Block(3, 999).data(), "Event"));
    for (int i = 0; i < PacketDumpCapacity; ++i)
        ASSERT_TRUE(model.LogPacket(Block(3, i).data(), "Packet"));
    EXPECT_FALSE(model.LogPacket(Block(3, 999).data(), "Packet"));
    for (int i = 0; i < UnknownPacketCapacity; ++i)
        ASSERT_TRUE(model.LogUnknownPacket(Block(3, i).data(), "Unknown"));
    EXPECT_FALSE(model.LogUnknownPacket(Block(3, 999).data(), "Unknown"));
    for (int i = 0; i < PatchLogCapacity; ++i)
        ASSERT_TRUE(model.LogPatch('A', i, 900));
    EXPECT_FALSE(model.LogPatch('A', 999, 900));

    auto events = TakeEvents();
    ASSERT_EQ(events.size(), static_cast<size_t>(EventLogCapacity));
    EXPECT_EQ(events.back().Block, Block(3, EventLogCapacity - 1));
    EXPECT_EQ(TakePackets().size(), static_cast<size_t>(PacketDumpCapacity));
    EXPECT_EQ(TakeUnknowns().size(), static_cast<size_t>(UnknownPacketCapacity));
    std::vector<PATCHLOG> patchLog(PatchLogCapacity);
    EXPECT_EQ(model.TakePatchLog(patchLog.data(), PatchLogCapacity), PatchLogCapacity);
    EXPECT_EQ(patchLog.back().Talkgroup, PatchLogCapacity - 1);

    EXPECT_TRUE(model.LogEvent(Block(3, 999).data(), "Event"));
    EXPECT_TRUE(model.LogPacket(Block(3, 999).data(), "Packet"));
    EXPECT_TRUE(model.LogUnknownPacket(Block(3, 999).data(), "Unknown"));
    EXPECT_TRUE(model.LogPatch('A', 999, 900));
}

TEST_F(LogQueuesTest, TakeCopiesTheOldestAndEmptiesTheQueue)
{
    for (int i = 0; i < 5; ++i)
        model.LogPacket(Block(4, i).data(), "Packet " + std::to_string(i));
    auto packets = TakePackets(2);
    ASSERT_EQ(packets.size(), 2u);
    EXPECT_EQ(packets[0].Text, "Packet 0");
    EXPECT_EQ(packets[1].Text, "Packet 1");
    EXPECT_FALSE(model.IsPacketDumpChanged());
    EXPECT_TRUE(TakePackets().empty());

    model.LogPacket(Block(4, 9).data(), "Packet 9");
    EXPECT_TRUE(TakePackets(-1).empty());
    EXPECT_TRUE(TakePackets().empty());
}

TEST_F(LogQueuesTest, ClearLeavesExactlyOneMarker)
{
    model.LogEvent(Block(5, 1).data(), "Event");
    model.LogPacket(Block(5, 1).data(), "Packet");
    model.LogUnknownPacket(Block(5, 1).data(), "Unknown");
    model.LogPatch('A', 100, 500);
    model.ClearEventLog();
    model.ClearPacketDump();
    model.ClearUnknownPackets();
    model.ClearPatchLog();
    EXPECT_TRUE(model.IsEventLogChanged());
    EXPECT_TRUE(model.IsPacketDumpChanged());
    EXPECT_TRUE(model.IsUnknownPacketsChanged());
    EXPECT_TRUE(model.IsPatchLogChanged());

    auto events = TakeEvents();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].Time, 0);
    auto packets = TakePackets();
    ASSERT_EQ(packets.size(), 1u);
    EXPECT_EQ(packets[0].Time, 0);
    auto unknowns = TakeUnknowns();
    ASSERT_EQ(unknowns.size(), 1u);
    EXPECT_EQ(unknowns[0].Time, 0);
    std::vector<PATCHLOG> patchLog(PatchLogCapacity);
    ASSERT_EQ(model.TakePatchLog(patchLog.data(), PatchLogCapacity), 1);
    EXPECT_EQ(patchLog[0].Time, 0);
}

TEST_F(LogQueuesTest, ResetPrimesSiteLogsAndKeepsUnknownPackets)
{
    model.LogUnknownPacket(Block(6, 1).data(), "Unknown");
    model.LogPacket(Block(6, 1).data(), "Packet");
    model.ResetModel();
    auto unknowns = TakeUnknowns();
    ASSERT_EQ(unknowns.size(), 1u);
    EXPECT_EQ(unknowns[0].Text, "Unknown");
    auto packets = TakePackets();
    ASSERT_EQ(packets.size(), 1u);
    EXPECT_EQ(packets[0].Time, 0);
    EXPECT_EQ(TakeEvents().size(), 1u);
    std::vector<PATCHLOG> patchLog(PatchLogCapacity);
    ASSERT_EQ(model.TakePatchLog(patchLog.data(), PatchLogCapacity), 1);
    EXPECT_EQ(patchLog[0].Time, 0);
}

TEST_F(LogQueuesTest, EventAndPatchLogsAreTakenOnlyWhenTheirLockIsFree)
{
    model.LogEvent(Block(7, 1).data(), "Event");
    model.LogPatch('R', 100, 500);
    std::vector<EVENTLOG> events(EventLogCapacity);
    std::vector<PATCHLOG> patchLog(PatchLogCapacity);
    EXPECT_EQ(TakeWhileHeld(Locks::EVENTLOCK, [&] { return model.TakeEventLog(events.data(), EventLogCapacity); }),
              0);
    EXPECT_EQ(
        TakeWhileHeld(Locks::PATCHLOGLOCK, [&] { return model.TakePatchLog(patchLog.data(), PatchLogCapacity); }),
        0);
    EXPECT_EQ(TakeEvents().size(), 1u);
    ASSERT_EQ(model.TakePatchLog(patchLog.data(), PatchLogCapacity), 1);
    EXPECT_EQ(patchLog[0].Kind, 'R');
}
