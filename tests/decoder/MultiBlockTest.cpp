#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "input/ProcThread.h"
#include "input/TBSKQueue.h"
#include "model/P25Class.h"
#include "support/Packets.h"

namespace {

// The WACN 0xBEE00 and system 0x123 in both layouts: the word in block 1 bytes 0-3, or
// split over header bytes 8-9 and block 1 bytes 0-1.
constexpr uint32_t WacnWord = 0xBEE00123;
constexpr uint32_t SplitHeaderWacn = 0xEE00;
constexpr uint32_t SplitBlockWacnSys = 0xB123;

struct DumpLine
{
    int Block; // index of the packet block the text is logged with
    std::string Text;
};

struct MessageCase
{
    const char* Name;
    PacketBuilder Packet;
    std::vector<DumpLine> Dump;
};

std::vector<MessageCase> MessageCases()
{
    return {
        {"group voice grant",
         PacketBuilder(0x00, 0x00, 1).Header(3, 3, 1234).Header(8, 1, 0x40).Block(1, 2, 2, 0x1001)
             .Block(1, 4, 2, 0x1002).Block(1, 6, 2, 0x0123),
         {{0, "Multi-Block Group Voice Grant 1 - Radio ID: 1234 Notes: Enc Follow: 1"},
          {1, "Multi-Block Group Voice Grant 2 - Channel: 1-0001(762.01250) Input Channel: 1-0002(762.01875) Group: 291"}}},
        {"patched group voice grant",
         PacketBuilder(0x02, 0x90, 1).Header(3, 3, 77).Header(8, 1, 0xC0).Block(1, 0, 2, 0x0010)
             .Block(1, 2, 2, 0x0011).Block(1, 4, 2, 8000),
         {{0, "Patched Multi-Block Group Voice Grant 1 - Radio ID: 77 Notes: Emrg Follow: 1"},
          {1, "Patched Multi-Block Group Voice Grant 2 - Channel: 0-0016(851.10625) Input Channel: 0-0017(851.11250) Group: 8000"}}},
        {"unit-to-unit voice grant",
         PacketBuilder(0x04, 0x00, 2).Header(3, 3, 9).Block(1, 0, 4, WacnWord).Block(1, 4, 3, 100001)
             .Block(1, 7, 3, 200002).Block(1, 10, 2, 0x1005).Block(2, 0, 2, 0x1006),
         {{0, "Multi-Block Unit-Unit Voice Grant 1 - Radio ID: 100001 Follow: 2"},
          {0, "Multi-Block Unit-Unit Voice Grant 2 - WACN: BEE00 SysID: 123 Source ID: 100001 Target ID: 200002 Channel: 1-0005(762.03750)"},
          {1, "Multi-Block Unit-Unit Voice Grant 3 - Input Channel: 1-0006(762.04375)"}}},
        {"unit-to-unit voice grant update",
         PacketBuilder(0x06, 0x00, 2).Block(1, 0, 4, WacnWord).Block(1, 4, 3, 100001).Block(1, 7, 3, 200002)
             .Block(1, 10, 2, 0x1005).Block(2, 0, 2, 0x1006),
         {{0, "Multi-Block Unit-Unit Voice Grant Update 1 - Radio ID: 100001 Follow: 2"},
          {0, "Multi-Block Unit-Unit Voice Grant Update 2 - WACN: BEE00 SysID: 123 Source ID: 100001 Target ID: 200002 Channel: 1-0005(762.03750)"},
          {1, "Multi-Block Unit-Unit Voice Grant Update 3 - Input Channel: 1-0006(762.04375)"}}},
        {"unit-to-unit voice grant, first radio in the header",
         PacketBuilder(0x07, 0x00, 2).Header(3, 3, 300003).Block(1, 0, 4, WacnWord).Block(1, 4, 3, 100001)
             .Block(1, 7, 3, 200002).Block(1, 10, 2, 0x1005).Block(2, 0, 2, 0x1006),
         {{0, "Multi-Block Unit-Unit Voice Grant 1 - Radio ID: 300003 Follow: 2"},
          {0, "Multi-Block Unit-Unit Voice Grant 2 - WACN: BEE00 SysID: 123 Source ID: 100001 Target ID: 200002 Channel: 1-0005(762.03750)"},
          {1, "Multi-Block Unit-Unit Voice Grant 3 - Input Channel: 1-0006(762.04375)"}}},
        {"telephone voice grant",
         PacketBuilder(0x08, 0x00, 1).Header(3, 3, 5555).Block(1, 0, 2, 0x1003).Block(1, 2, 2, 0x1004)
             .Block(1, 4, 2, 60),
         {{0, "Multi-Block Telephone Voice Grant 1 - Radio ID: 5555 Follow: 1"},
          {0, "Multi-Block Telephone Voice Grant 2 - Channel: 1-0003(762.02500) Input Channel: 1-0004(762.03125) Timer: 60"}}},
        {"individual data grant",
         PacketBuilder(0x10, 0x00, 2).Header(3, 3, 42).Header(8, 1, 0x15).Block(1, 0, 4, WacnWord)
             .Block(1, 7, 3, 4242).Block(1, 10, 2, 0x0002).Block(2, 0, 2, 0x0003),
         {{0, "Multi-Block Individual Data Grant 1 - Source ID: 42 Service Options: 15 Follow: 2"},
          {1, "Multi-Block Individual Data Grant 2 - WACN: BEE00 SysID: 123 Source Address: 42 Target Address: 4242 TX Channel: 0-0002(851.01875)"},
          {2, "Multi-Block Individual Data Grant 3 - RX Channel: 0-0003(851.02500)"}}},
        {"status update",
         PacketBuilder(0x18, 0x00, 1).Header(3, 3, 1001).Header(8, 2, SplitHeaderWacn)
             .Block(1, 0, 2, SplitBlockWacnSys).Block(1, 2, 3, 2002).Block(1, 5, 2, 0x00A5),
         {{0, "Multi-Block Status Update 1 - TargetID: 1001 WACN: BEE00 Follow: 1"},
          {1, "Multi-Block Status Update 2 - SourceID: 2002 SysID: 123 Status: 00A5"}}},
        {"status query",
         PacketBuilder(0x1A, 0x00, 1).Header(3, 3, 1001).Header(8, 2, SplitHeaderWacn)
             .Block(1, 0, 2, SplitBlockWacnSys).Block(1, 2, 3, 2002).Block(1, 5, 2, 0x00A5),
         {{0, "Multi-Block Status Query 1 - TargetID: 1001 WACN: BEE00 Follow: 1"},
          {1, "Multi-Block Status Query 2 - SourceID: 2002 SysID: 123"}}},
        {"message update",
         PacketBuilder(0x1C, 0x00, 1).Header(3, 3, 1001).Header(8, 2, SplitHeaderWacn)
             .Block(1, 0, 2, SplitBlockWacnSys).Block(1, 2, 3, 2002).Block(1, 5, 2, 0xF1A5),
         {{0, "Multi-Block Message Update 1 - TargetID: 1001 WACN: BEE00 Follow: 1"},
          {1, "Multi-Block Message Update 2 - SourceID: 2002 SysID: 123 Value: 01A5"}}},
        {"group affiliation response",
         PacketBuilder(0x28, 0x00, 2).Header(3, 3, 1001).Header(8, 2, SplitHeaderWacn)
             .Block(1, 0, 2, SplitBlockWacnSys).Block(1, 2, 3, 2002).Block(1, 5, 3, 0xABCDE4).Block(1, 8, 1, 0x56)
             .Block(1, 9, 2, 0x0123).Block(1, 11, 1, 0x01).Block(2, 0, 2, 0x0206),
         {{0, "Multi-Block Group Affiliation Response 1 - SysID: 123 Target Address: 1001 WACN: BEE00 Follow: 2"},
          {1, "Multi-Block Group Affiliation Response  2 - Source ID: 2002 Group WACN: ABCDE Group SID: 1110 Group ID: 123"},
          {2, "Multi-Block Group Affiliation Response  3 - Announce Group ID: 258 Status: Deny"}}},
        {"unit registration response, 2 blocks",
         PacketBuilder(0x2C, 0x00, 1).Header(3, 3, 1001).Header(8, 2, SplitHeaderWacn)
             .Block(1, 0, 2, SplitBlockWacnSys).Block(1, 2, 3, 3003).Block(1, 5, 1, 0x01),
         {{0, "Multi-Block Unit Registration 1 - SysID: 123 Target Address: 1001 WACN: BEE00 Follow: 1"},
          {1, "Multi-Block Unit Registration  2 - WorkingID: 3003 Status: Fail"}}},
        {"unit registration response, 3 blocks",
         PacketBuilder(0x2C, 0x00, 2).Header(3, 3, 1001).Header(8, 2, SplitHeaderWacn)
             .Block(1, 0, 2, SplitBlockWacnSys).Block(1, 2, 3, 2002).Block(1, 5, 3, 3003).Block(1, 8, 1, 0x07),
         {{0, "Multi-Block Unit Registration 1 - SysID: 123 Target Address: 1001 WACN: BEE00 Follow: 2"},
          {1, "Multi-Block Unit Registration  2 - SourceID: 2002 WorkingID: 3003 Status: Refused"},
          {1, "Multi-Block Unit Registration  3 - (No Usable Data)"}}},
        {"authentication demand",
         PacketBuilder(0x31, 0x00, 2).Header(3, 3, 1001).Header(8, 2, SplitHeaderWacn)
             .Block(1, 0, 2, SplitBlockWacnSys).Block(1, 2, 3, 1001),
         {{0, "Multi-Block AUTH_DMD 1 - SysID: 123 Target Address: 1001 WACN: BEE00 Follow: 2"},
          {1, "Multi-Block AUTH_DMD  2 - TargetID: 1001 (Random Data)"},
          {1, "Multi-Block AUTH_DMD  3 - (Random Data)"}}},
        {"RFSS status broadcast",
         PacketBuilder(0x3A, 0x00, 1).Header(4, 2, 0x1123).Block(1, 0, 1, 1).Block(1, 1, 1, 2).Block(1, 2, 2, 0x0001)
             .Block(1, 4, 2, 0x0002).Block(1, 6, 1, 0x70),
         {{0, "Multi-Block RFSS Status Broadcast 1 - SysID: 123 Status: Connected Follow: 1"},
          {1, "Multi-Block RFSS Status Broadcast 2 - RFSS: 1 Site: 2 Control tx: 0-0001(851.01250) Control rx: 0-0002(851.01875) Cap: Data,Voice,Registration"}}},
        {"network status broadcast",
         PacketBuilder(0x3B, 0x00, 1).Header(4, 2, 0x0123).Block(1, 0, 4, 0xBEE00110).Block(1, 4, 1, 0x01)
             .Block(1, 5, 2, 0x1001).Block(1, 7, 1, 0x70),
         {{0, "Multi-Block Network Status Broadcast 1 - SysID: 123 Follow: 1"},
          {1, "Multi-Block Network Status Broadcast 2 - WACN: BEE00 Control tx: 1-0001(762.01250) Control rx: 1-0001(762.01250) Cap: Data,Voice,Registration"}}},
        {"neighbour status broadcast",
         PacketBuilder(0x3C, 0x00, 1).Header(4, 2, 0x01AB).Header(8, 1, 3).Header(9, 1, 4).Block(1, 0, 2, 0x1002)
             .Block(1, 2, 2, 0x1003).Block(1, 5, 1, 0x01),
         {{0, "Multi-Block Neighbor Status Broadcast 1 - SysID: 1ab RFSS: 3 SiteID: 4 Status: Failed Follow: 1"},
          {1, "Multi-Block Neighbor Status Broadcast 2 - Control tx: 1-0002(762.01875) Control rx: 1-0003(762.02500) Cap: Composite control channel"}}},
    };
}

class MultiBlockTest : public ::testing::Test
{
protected:
    ManualClock clock{1700000000};
    P25Class model{clock};
    ALLPKT dump[PacketDumpCapacity];
    UNKTSBK unknown[UnknownPacketCapacity];

    void SetUp() override
    {
        model.SetPktDumpVisible(true);
        model.SetUnknownsVisible(true);
        model.SetSystemAndSite(0x123, 1, 0x70, 2);
        TakeDump();
        TakeUnknowns();
    }

    int TakeDump() { return model.TakePacketDump(dump, PacketDumpCapacity); }
    int TakeUnknowns() { return model.TakeUnknownPackets(unknown, UnknownPacketCapacity); }

    // The channel table row of a channel, or a row with Channel 0 when there is none.
    FreqInfo ChannelRow(int channel)
    {
        FreqInfo rows[MaxChannels];
        const int n = model.GetChannels(rows, MaxChannels);
        for (int i = 0; i < n; ++i)
            if (rows[i].Channel == channel)
                return rows[i];
        return {};
    }

    SYSINFO SystemInfo()
    {
        SYSINFO info;
        model.GetSystemInfo(info);
        return info;
    }
};

}

TEST_F(MultiBlockTest, EveryMessageWritesItsTextsWithTheirBlocks)
{
    for (const MessageCase& message : MessageCases()) {
        SCOPED_TRACE(message.Name);
        const std::vector<TsbkBlock> blocks = message.Packet.Blocks();
        EXPECT_TRUE(model.DecodeMultiBlock(ToRecord(blocks)));
        const int n = TakeDump();
        ASSERT_EQ(n, static_cast<int>(message.Dump.size()));
        for (int i = 0; i < n; ++i) {
            EXPECT_EQ(dump[i].Text, message.Dump[i].Text);
            EXPECT_EQ(dump[i].Block, blocks[message.Dump[i].Block]) << "line " << i;
            EXPECT_EQ(dump[i].Time, 1700000000);
        }
        EXPECT_EQ(TakeUnknowns(), 0);
    }
}

TEST_F(MultiBlockTest, TextOnlyMessagesWriteNothingWithTheDumpOff)
{
    model.SetPktDumpVisible(false);
    for (const MessageCase& message : MessageCases()) {
        SCOPED_TRACE(message.Name);
        EXPECT_TRUE(model.DecodeMultiBlock(message.Packet.Record()));
    }
    EXPECT_EQ(TakeDump(), 0);
    EXPECT_EQ(TakeUnknowns(), 0);
}

TEST_F(MultiBlockTest, GroupGrantsAddTheTalkgroupAndTakeTheChannel)
{
    model.DecodeMultiBlock(PacketBuilder(0x00, 0x00, 1).Header(3, 3, 1234).Header(8, 1, 0x40).Block(1, 2, 2, 0x1001)
        .Block(1, 4, 2, 0x1002).Block(1, 6, 2, 0x0123).Record());
    model.DecodeMultiBlock(PacketBuilder(0x02, 0x90, 1).Header(3, 3, 77).Block(1, 0, 2, 0x0010).Block(1, 4, 2, 8000)
        .Record());

    EXPECT_TRUE(model.AreChannelsChanged());
    EXPECT_TRUE(model.TalkgroupExists(291));
    EXPECT_TRUE(model.TalkgroupExists(8000));
    const FreqInfo group = ChannelRow(0x1001);
    EXPECT_EQ(group.Usage, "Group");
    EXPECT_EQ(group.Talkgroup, 291);
    EXPECT_EQ(group.Radio, 1234);
    EXPECT_EQ(group.Options, "Enc");
    EXPECT_EQ(group.InputChannel, 0x1002);
    const FreqInfo patched = ChannelRow(0x0010);
    EXPECT_EQ(patched.Talkgroup, 8000);
    EXPECT_EQ(patched.Radio, 77);
}

TEST_F(MultiBlockTest, GroupGrantOnTalkgroupZeroIsHandledButChangesNothing)
{
    EXPECT_TRUE(model.DecodeMultiBlock(PacketBuilder(0x00, 0x00, 1).Header(3, 3, 1234).Block(1, 2, 2, 0x1001)
        .Record()));
    EXPECT_EQ(ChannelRow(0x1001).Channel, 0);
    EXPECT_EQ(model.TalkgroupCount(), 0);
    EXPECT_EQ(TakeDump(), 0);
    EXPECT_EQ(TakeUnknowns(), 0);
}

TEST_F(MultiBlockTest, UnitToUnitGrantTakesTheWacnOnlyWithTheDumpOn)
{
    const PacketBuilder grant =
        PacketBuilder(0x04, 0x00, 2).Block(1, 0, 4, WacnWord).Block(1, 4, 3, 100001).Block(1, 7, 3, 200002)
            .Block(1, 10, 2, 0x1005);
    model.SetPktDumpVisible(false);
    EXPECT_TRUE(model.DecodeMultiBlock(grant.Record()));
    const FreqInfo row = ChannelRow(0x1005);
    EXPECT_EQ(row.Usage, "Private");
    EXPECT_EQ(row.Talkgroup, 100001);
    EXPECT_EQ(row.Radio, 200002);
    EXPECT_EQ(SystemInfo().Wacn, 0);

    model.SetPktDumpVisible(true);
    model.DecodeMultiBlock(grant.Record());
    EXPECT_EQ(SystemInfo().Wacn, 0xBEE00);
}

TEST_F(MultiBlockTest, HeaderFormOfUnitToUnitGrantTakesTheFirstRadioFromTheHeader)
{
    model.DecodeMultiBlock(PacketBuilder(0x07, 0x00, 2).Header(3, 3, 300003).Block(1, 4, 3, 100001)
        .Block(1, 7, 3, 200002).Block(1, 10, 2, 0x1005).Record());
    const FreqInfo row = ChannelRow(0x1005);
    EXPECT_EQ(row.Talkgroup, 300003);
    EXPECT_EQ(row.Radio, 200002);
}

TEST_F(MultiBlockTest, TelephoneGrantTakesTheChannel)
{
    model.DecodeMultiBlock(PacketBuilder(0x08, 0x00, 1).Header(3, 3, 5555).Header(8, 1, 0x80).Block(1, 0, 2, 0x1003)
        .Record());
    const FreqInfo row = ChannelRow(0x1003);
    EXPECT_EQ(row.Usage, "Phone");
    EXPECT_EQ(row.Radio, 5555);
    EXPECT_EQ(row.Options, "Emrg");
}

// The input channel and the receive channel lie in block 2; a packet without one reads
// them as no channel, never as what an earlier packet left in the record.
TEST_F(MultiBlockTest, FieldsOfAMissingBlockTwoReadAsNoChannel)
{
    PacketRecord record = PacketBuilder(0x04, 0x00, 1).Block(1, 4, 3, 100001).Record();
    std::memset(record.Blocks[2], 0x11, TsbkSize);
    EXPECT_TRUE(model.DecodeMultiBlock(record));
    ASSERT_EQ(TakeDump(), 3);
    EXPECT_EQ(dump[2].Text, "Multi-Block Unit-Unit Voice Grant 3 - Input Channel: 15-4095(0.00000)");

    record = PacketBuilder(0x10, 0x00, 1).Header(3, 3, 42).Record();
    std::memset(record.Blocks[2], 0x11, TsbkSize);
    EXPECT_TRUE(model.DecodeMultiBlock(record));
    ASSERT_EQ(TakeDump(), 3);
    EXPECT_EQ(dump[2].Text, "Multi-Block Individual Data Grant 3 - RX Channel: 15-4095(0.00000)");
    EXPECT_EQ(0, std::memcmp(dump[2].Block.data(), record.Blocks[1], TsbkSize)); // logged with the last block
}

TEST_F(MultiBlockTest, RfssStatusIdentifiesTheSiteAndTakesTheControlChannel)
{
    model.ResetModel();
    TakeDump();
    EXPECT_TRUE(model.DecodeMultiBlock(PacketBuilder(0x3A, 0x00, 1).Header(4, 2, 0x0456).Header(7, 1, 0xC0 | 0x3A)
        .Block(1, 0, 1, 3).Block(1, 1, 1, 4).Block(1, 2, 2, 0x0001).Block(1, 4, 2, 0x0002).Block(1, 6, 1, 0x50)
        .Record()));
    const SYSINFO info = SystemInfo();
    EXPECT_EQ(info.SysId, 0x456);
    EXPECT_EQ(info.RfssId, 3);
    EXPECT_EQ(info.SiteId, 4);
    EXPECT_EQ(info.ServiceClass, 0x50);
    EXPECT_EQ(info.SiteStatus, 0);
    EXPECT_EQ(ChannelRow(0x0001).Usage, "Control");
    // The new system cleared the lists, but the packet that named it still counts as seen.
    EXPECT_TRUE(model.IsMultiBlockSeen());
    // The new system's reset leads the dump with its clear marker.
    ASSERT_EQ(TakeDump(), 3);
    EXPECT_EQ(dump[1].Text, "Multi-Block RFSS Status Broadcast 1 - SysID: 456 Status: Site Trunked Follow: 1");
}

TEST_F(MultiBlockTest, NetworkStatusSetsTheWacnWithTheDumpOff)
{
    model.SetPktDumpVisible(false);
    model.DecodeMultiBlock(PacketBuilder(0x3B, 0x00, 1).Header(4, 2, 0x0123).Block(1, 0, 4, 0xBEE00110)
        .Block(1, 4, 1, 0x01).Block(1, 5, 2, 0x1001).Record());
    EXPECT_EQ(SystemInfo().Wacn, 0xBEE00);
    EXPECT_EQ(ChannelRow(0x1001).Usage, "Control");
}

TEST_F(MultiBlockTest, NeighbourStatusUpdatesTheNeighbourList)
{
    model.DecodeMultiBlock(PacketBuilder(0x3C, 0x00, 1).Header(4, 2, 0x1123).Header(8, 1, 3).Header(9, 1, 4)
        .Block(1, 0, 2, 0x1002).Record());
    NEIGHBORREC neighbors[MaxNeighbors];
    ASSERT_EQ(model.GetNeighbors(neighbors, MaxNeighbors), 1);
    EXPECT_EQ(neighbors[0].SysId, 0x123);
    EXPECT_EQ(neighbors[0].RfssId, 3);
    EXPECT_EQ(neighbors[0].SiteId, 4);
    EXPECT_EQ(neighbors[0].Channel, 0x1002);
    EXPECT_EQ(neighbors[0].Status, 1);
    EXPECT_DOUBLE_EQ(neighbors[0].Frequency, 762.01875);
}

TEST_F(MultiBlockTest, OpcodeMfidAndBlockCountMustMatch)
{
    struct Unhandled
    {
        const char* Name;
        PacketBuilder Packet;
    };
    const Unhandled cases[] = {
        {"group grant from Motorola", PacketBuilder(0x00, 0x90, 1).Block(1, 6, 2, 0x0123)},
        {"standard patched grant", PacketBuilder(0x02, 0x00, 1).Block(1, 4, 2, 0x0123)},
        {"group affiliation response in 2 blocks", PacketBuilder(0x28, 0x00, 1)},
        {"group affiliation response in 4 blocks", PacketBuilder(0x28, 0x00, 3)},
        {"unit registration response in 4 blocks", PacketBuilder(0x2C, 0x00, 3)},
        {"RFSS status from another maker", PacketBuilder(0x3A, 0xA4, 1)},
    };
    for (const Unhandled& packet : cases) {
        SCOPED_TRACE(packet.Name);
        const std::vector<TsbkBlock> blocks = packet.Packet.Blocks();
        EXPECT_FALSE(model.DecodeMultiBlock(ToRecord(blocks)));
        EXPECT_EQ(TakeUnknowns(), static_cast<int>(blocks.size()));
        EXPECT_EQ(TakeDump(), 0);
    }
    EXPECT_EQ(model.TalkgroupCount(), 0);
    EXPECT_EQ(SystemInfo().SysId, 0x123);
}

TEST_F(MultiBlockTest, UnknownPacketLogsEveryBlockNumbered)
{
    const std::vector<TsbkBlock> blocks = PacketBuilder(0x01, 0x90, 2).Header(3, 3, 7).Blocks();
    EXPECT_FALSE(model.DecodeMultiBlock(ToRecord(blocks)));
    ASSERT_EQ(TakeUnknowns(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(unknown[i].Block, blocks[i]);
        EXPECT_EQ(unknown[i].Text, "Multi-Block Unknown " + std::to_string(i) +
                                       " - OpCode: 01 (Unknown Code 0x01) Mfg: 90 (Motorola)");
    }
    EXPECT_TRUE(model.IsMultiBlockSeen());
}

TEST_F(MultiBlockTest, UnknownPacketNeedsTheSwitchAndAnIdentifiedSite)
{
    const PacketRecord record = PacketBuilder(0x3F, 0x00, 1).Record();
    model.SetUnknownsVisible(false);
    model.DecodeMultiBlock(record);
    EXPECT_EQ(TakeUnknowns(), 0);

    model.SetUnknownsVisible(true);
    model.SetSystemAndSite(0x123, 1, 0x70, 0);
    model.DecodeMultiBlock(record);
    EXPECT_EQ(TakeUnknowns(), 0);

    model.SetSystemAndSite(0x123, 1, 0x70, 2);
    model.DecodeMultiBlock(record);
    ASSERT_EQ(TakeUnknowns(), 2);
    EXPECT_EQ(unknown[1].Text, "Multi-Block Unknown 1 - OpCode: 3F (Unknown Code 0x3f) Mfg: 00 (Standard)");
}

// The record comes from the processing thread, but a count it could not produce must not
// read outside the record: without a data block nothing is handled, and at most the five
// stored blocks are logged.
TEST_F(MultiBlockTest, RecordWithAnImpossibleBlockCountIsLeftUnhandled)
{
    PacketRecord record = PacketBuilder(0x3A, 0x00, 1).Header(4, 2, 0x0456).Block(1, 0, 2, 0x0304).Record();
    for (int count : {-7, 0, 1, 6, 1000}) {
        SCOPED_TRACE(count);
        record.BlockCount = count;
        EXPECT_FALSE(model.DecodeMultiBlock(record));
        EXPECT_EQ(TakeUnknowns(), std::clamp(count, 0, 5));
    }
    EXPECT_EQ(SystemInfo().SysId, 0x123);
}

// Through the queue and the processing thread, which reuses one record for every packet:
// a short packet after a long one must not read the long one's block 2.
TEST_F(MultiBlockTest, PacketsFromTheProcessingThreadAreDecodedWhole)
{
    TBSKQueue queue;
    const auto push = [&queue](const std::vector<TsbkBlock>& blocks) {
        for (const TsbkBlock& block : blocks)
            ASSERT_TRUE(queue.Push(block.data()));
    };
    push(PacketBuilder(0x04, 0x00, 2)
             .Block(1, 4, 3, 100001).Block(1, 7, 3, 200002).Block(1, 10, 2, 0x1005).Block(2, 0, 2, 0x1006)
             .Blocks());
    push(PacketBuilder(0x04, 0x00, 1).Block(1, 4, 3, 100003).Blocks());
    {
        ProcThread thread(queue, model);
        thread.Start(false);
        for (int wait = 0; wait < 500 && thread.PacketsDecoded() < 2; ++wait)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        thread.Stop();
        ASSERT_EQ(thread.PacketsDecoded(), 2u);
    }
    ASSERT_EQ(TakeDump(), 6);
    EXPECT_EQ(dump[2].Text, "Multi-Block Unit-Unit Voice Grant 3 - Input Channel: 1-0006(762.04375)");
    EXPECT_EQ(dump[3].Text, "Multi-Block Unit-Unit Voice Grant 1 - Radio ID: 100003 Follow: 1");
    EXPECT_EQ(dump[5].Text, "Multi-Block Unit-Unit Voice Grant 3 - Input Channel: 15-4095(0.00000)");
}
