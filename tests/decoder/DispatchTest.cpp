#include <gtest/gtest.h>

#include "model/P25Class.h"
#include "support/Blocks.h"

namespace {

class DispatchTest : public ::testing::Test
{
protected:
    ManualClock clock{1700000000};
    P25Class model{clock};
    UNKTSBK unknown[UnknownPacketCapacity];
    ALLPKT dump[PacketDumpCapacity];

    void SetUp() override
    {
        model.SetUnknownsVisible(true);
        model.SetPktDumpVisible(true);
        model.TakeUnknownPackets(unknown, UnknownPacketCapacity);
        model.TakePacketDump(dump, PacketDumpCapacity);
    }

    void Identify(int sysId = 0x123, int rfss = 1, int site = 2)
    {
        model.SetSystemAndSite(sysId, rfss, 0x70, site);
        model.TakeUnknownPackets(unknown, UnknownPacketCapacity);
        model.TakePacketDump(dump, PacketDumpCapacity);
    }

    int TakeUnknowns() { return model.TakeUnknownPackets(unknown, UnknownPacketCapacity); }
    int TakeDump() { return model.TakePacketDump(dump, PacketDumpCapacity); }
};

}

TEST_F(DispatchTest, GateHoldsBackEverythingButIdentifyingMessages)
{
    EXPECT_FALSE(model.DecodeTsbk(MakeTsbk(0x35, 0x00).data()));
    EXPECT_FALSE(model.DecodeTsbk(MakeTsbk(0x00, 0x00, {0, 0x10, 0x01, 0x04, 0xD2}).data()));
    TsbkBlock header = MakeTsbk(0x37, 0x00, {0, 0, 0, 0, 2, 0x00});
    EXPECT_FALSE(model.DecodeTsbk(header.data()));
    EXPECT_EQ(TakeUnknowns(), 0);
    EXPECT_EQ(TakeDump(), 0);

    // A header of a status broadcast type passes the gate and reaches the dispatch.
    header = MakeTsbk(0x37, 0x00, {0, 0, 0, 0, 2, 0x3B});
    model.DecodeTsbk(header.data());
    EXPECT_EQ(TakeDump(), 1);
}

TEST_F(DispatchTest, UnrecognisedBlockLeavesUnknownEntryAndDumpLine)
{
    Identify();
    const TsbkBlock block = MakeTsbk(0x35, 0x00, {1, 2, 3});
    EXPECT_FALSE(model.DecodeTsbk(block.data()));
    ASSERT_EQ(TakeUnknowns(), 1);
    EXPECT_EQ(unknown[0].Block, block);
    EXPECT_EQ(unknown[0].Text, "");
    EXPECT_EQ(unknown[0].Time, 1700000000);
    ASSERT_EQ(TakeDump(), 1);
    EXPECT_EQ(dump[0].Text, "Unknown Op=35 Mfg 00(Standard)");
}

TEST_F(DispatchTest, UnlistedMfidIsUnrecognisedWithItsMakerName)
{
    Identify();
    model.DecodeTsbk(MakeTsbk(0x00, 0x01).data());
    model.DecodeTsbk(MakeTsbk(0x00, 0x42).data());
    model.DecodeTsbk(MakeTsbk(0x31, 0xA4).data());
    ASSERT_EQ(TakeDump(), 3);
    EXPECT_EQ(dump[0].Text, "Unknown Op=00 Mfg 01(Standard)");
    EXPECT_EQ(dump[1].Text, "Unknown Op=00 Mfg 42(Unknown)");
    EXPECT_EQ(dump[2].Text, "Unknown Op=31 Mfg A4(Harris)");
}

TEST_F(DispatchTest, ProtectedOrDamagedBlocksLeaveNoTrace)
{
    Identify();
    TsbkBlock protectedBlock = MakeTsbk(0x40 | 0x35, 0x00);
    EXPECT_FALSE(model.DecodeTsbk(protectedBlock.data()));
    TsbkBlock damaged = MakeTsbk(0x35, 0x00);
    damaged[4] ^= 1;
    EXPECT_FALSE(model.DecodeTsbk(damaged.data()));
    EXPECT_EQ(TakeUnknowns(), 0);
    EXPECT_EQ(TakeDump(), 0);

    // The last-block bit is not examined.
    model.DecodeTsbk(MakeTsbk(0x80 | 0x35, 0x00).data());
    EXPECT_EQ(TakeDump(), 1);
}

TEST_F(DispatchTest, NoUnknownEntryUntilSiteIsKnown)
{
    Identify(0x123, 1, 0);
    model.DecodeTsbk(MakeTsbk(0x35, 0x00).data());
    EXPECT_EQ(TakeUnknowns(), 0);
    EXPECT_EQ(TakeDump(), 1);
}

TEST_F(DispatchTest, SwitchesOffMeanNoLogs)
{
    Identify();
    model.SetUnknownsVisible(false);
    model.SetPktDumpVisible(false);
    model.DecodeTsbk(MakeTsbk(0x35, 0x00).data());
    EXPECT_EQ(TakeUnknowns(), 0);
    EXPECT_EQ(TakeDump(), 0);
}

TEST_F(DispatchTest, UnknownQueueKeepsItsFirstTwentyEntries)
{
    Identify();
    model.SetPktDumpVisible(false);
    for (int i = 0; i < UnknownPacketCapacity + 5; ++i)
        model.DecodeTsbk(MakeTsbk(0x35, 0x00, {i}).data());
    ASSERT_EQ(TakeUnknowns(), UnknownPacketCapacity);
    EXPECT_EQ(unknown[0].Block[2], 0);
    EXPECT_EQ(unknown[UnknownPacketCapacity - 1].Block[2], UnknownPacketCapacity - 1);
}
