#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#include "input/ProcThread.h"
#include "input/TBSKQueue.h"
#include "support/Blocks.h"

namespace {

// Records what the processing thread hands on, in order.
class RecordingDecoder : public BlockDecoder
{
public:
    struct Call
    {
        bool packet;
        int blockCount;
        TsbkBlock first;
    };

    bool DecodeTsbk(const uint8_t* block) override
    {
        std::lock_guard guard(m_mutex);
        TsbkBlock copy;
        std::copy(block, block + TsbkSize, copy.begin());
        m_calls.push_back({false, 1, copy});
        return true;
    }

    bool DecodeMultiBlock(const PacketRecord& packet) override
    {
        std::lock_guard guard(m_mutex);
        TsbkBlock copy;
        std::copy(packet.Blocks[0], packet.Blocks[0] + TsbkSize, copy.begin());
        m_calls.push_back({true, packet.BlockCount, copy});
        return true;
    }

    std::vector<Call> Calls()
    {
        std::lock_guard guard(m_mutex);
        return m_calls;
    }

private:
    std::mutex m_mutex;
    std::vector<Call> m_calls;
};

class ProcThreadTest : public ::testing::Test
{
protected:
    TBSKQueue queue;
    RecordingDecoder decoder;

    void PushAll(const std::vector<TsbkBlock>& blocks)
    {
        for (const auto& b : blocks)
            ASSERT_TRUE(queue.Push(b.data()));
    }

    // Runs the thread until the queue is drained, then stops it the way a session ends.
    std::vector<RecordingDecoder::Call> Run()
    {
        ProcThread thread(queue, decoder);
        thread.Start(true);
        while (queue.HasData())
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        thread.Stop();
        return decoder.Calls();
    }
};

TsbkBlock Data(int n)
{
    return MakeTsbk(0x00, 0x00, {n, n, n, n, n, n, n, n});
}

}

TEST_F(ProcThreadTest, DamagedBlockNeverReachesTheDecoder)
{
    TsbkBlock bad = MakeTsbk(0x3A, 0x00, {1});
    bad[3] ^= 0x10;
    PushAll({bad, MakeTsbk(0x3B, 0x00)});
    const auto calls = Run();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_FALSE(calls[0].packet);
    EXPECT_EQ(calls[0].first[0], 0x3B);
}

TEST_F(ProcThreadTest, PacketWithGoodCrc32GoesWholeToTheMultiBlockDecoder)
{
    PushAll(MakePacket({Data(1), Data(2)}));
    const auto calls = Run();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_TRUE(calls[0].packet);
    EXPECT_EQ(calls[0].blockCount, 3);
    EXPECT_EQ(calls[0].first[0], 0x37);
}

TEST_F(ProcThreadTest, PacketWithBadCrc32IsDecodedBlockByBlock)
{
    auto packet = MakePacket({Data(1), Data(2), Data(3)});
    packet[2][5] ^= 0x01;
    PushAll(packet);
    const auto calls = Run();
    // The header and the first data block pass their own CRC-16; the damaged block and
    // the last one (whose CRC-16 place holds the packet CRC) do not.
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].first, packet[0]);
    EXPECT_EQ(calls[1].first, packet[1]);
    EXPECT_FALSE(calls[0].packet || calls[1].packet);
}

TEST_F(ProcThreadTest, HeaderArrivingInsideAPacketIsTakenAsData)
{
    const auto first = MakePacket({Data(1), Data(2)});
    const auto second = MakePacket({Data(3)});
    // The first packet loses its last block: the second header takes its place.
    PushAll({first[0], first[1], second[0], second[1], MakeTsbk(0x3B, 0x00)});
    const auto calls = Run();
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_EQ(calls[0].first, first[0]);
    EXPECT_EQ(calls[1].first, first[1]);
    EXPECT_EQ(calls[2].first, second[0]);
    EXPECT_FALSE(calls[2].packet);
    // The block after the lost packet is decoded on its own; the second packet is not gathered.
    EXPECT_EQ(calls[3].first[0], 0x3B);
}

TEST_F(ProcThreadTest, HeaderOutsideThePacketAreaIsDecodedAlone)
{
    const TsbkBlock none = MakeTsbk(0x37, 0x00, {0, 0, 0, 0, 0, 0x3A});
    const TsbkBlock five = MakeTsbk(0x37, 0x00, {0, 0, 0, 0, 5, 0x3A});
    PushAll({none, five, MakeTsbk(0x3B, 0x00)});
    const auto calls = Run();
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0].first, none);
    EXPECT_EQ(calls[1].first, five);
    EXPECT_EQ(calls[2].first[0], 0x3B);
}

TEST_F(ProcThreadTest, StopWhileGatheringDecodesWhatArrived)
{
    const auto packet = MakePacket({Data(1), Data(2)});
    PushAll({packet[0], packet[1]});
    const auto calls = Run();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].first, packet[0]);
    EXPECT_EQ(calls[1].first, packet[1]);
}

TEST_F(ProcThreadTest, EveryQueuedBlockIsDecodedBeforeTheSessionEnds)
{
    constexpr int total = 4000;
    for (int i = 0; i < total; ++i)
        ASSERT_TRUE(queue.Push(MakeTsbk(0x3B, 0x00, {i >> 8, i & 0xFF}).data()));
    const auto calls = Run();
    ASSERT_EQ(calls.size(), static_cast<size_t>(total));
    for (int i = 0; i < total; ++i)
        ASSERT_EQ(static_cast<int>(Get16(calls[i].first.data(), 2)), i);
}
