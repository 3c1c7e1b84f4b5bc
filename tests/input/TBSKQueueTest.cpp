#include <gtest/gtest.h>

#include <thread>

#include "input/TBSKQueue.h"
#include "support/Blocks.h"

namespace {

TsbkBlock Numbered(int n)
{
    TsbkBlock block{};
    block[0] = static_cast<uint8_t>(n >> 24);
    block[1] = static_cast<uint8_t>(n >> 16);
    block[2] = static_cast<uint8_t>(n >> 8);
    block[3] = static_cast<uint8_t>(n);
    return block;
}

int NumberOf(const uint8_t* block)
{
    return static_cast<int>(Get32(block, 0));
}

}

TEST(TBSKQueue, PushRefusesWhenFullAndReusesTheFreedSlot)
{
    TBSKQueue queue;
    for (int i = 0; i < TBSKQueue::Slots; ++i)
        ASSERT_TRUE(queue.Push(Numbered(i).data()));
    EXPECT_FALSE(queue.HasRoom());
    EXPECT_FALSE(queue.Push(Numbered(-1).data()));

    uint8_t out[TsbkSize];
    ASSERT_TRUE(queue.Pop(out));
    EXPECT_EQ(NumberOf(out), 0);
    EXPECT_TRUE(queue.Push(Numbered(TBSKQueue::Slots).data()));
    for (int i = 1; i <= TBSKQueue::Slots; ++i) {
        ASSERT_TRUE(queue.Pop(out));
        EXPECT_EQ(NumberOf(out), i);
    }
    EXPECT_FALSE(queue.Pop(out));
    EXPECT_FALSE(queue.HasData());
}

TEST(TBSKQueue, OrderHoldsAcrossTheWrap)
{
    TBSKQueue queue;
    uint8_t out[TsbkSize];
    int next = 0;
    for (int round = 0; round < 3; ++round) {
        for (int i = 0; i < 3000; ++i)
            ASSERT_TRUE(queue.Push(Numbered(round * 3000 + i).data()));
        for (int i = 0; i < 3000; ++i) {
            ASSERT_TRUE(queue.Pop(out));
            ASSERT_EQ(NumberOf(out), next++);
        }
    }
}

TEST(TBSKQueue, FreePercent)
{
    TBSKQueue queue;
    EXPECT_EQ(queue.FreePercent(), 100);
    const TsbkBlock block{};
    queue.Push(block.data());
    EXPECT_EQ(queue.FreePercent(), 100);
    for (int i = 1; i < 2500; ++i)
        queue.Push(block.data());
    EXPECT_EQ(queue.FreePercent(), 50);
    while (queue.HasRoom())
        queue.Push(block.data());
    EXPECT_EQ(queue.FreePercent(), 0);
}

TEST(TBSKQueue, ProducerAndConsumerThreadsLoseNothing)
{
    TBSKQueue queue;
    constexpr int total = 200000;
    std::thread producer([&] {
        for (int i = 0; i < total;) {
            if (queue.HasRoom() && queue.Push(Numbered(i).data()))
                ++i;
            else
                std::this_thread::yield();
        }
    });
    uint8_t out[TsbkSize];
    int expected = 0;
    while (expected < total) {
        if (queue.Pop(out))
            ASSERT_EQ(NumberOf(out), expected++);
        else
            std::this_thread::yield();
    }
    producer.join();
    EXPECT_FALSE(queue.HasData());
}
