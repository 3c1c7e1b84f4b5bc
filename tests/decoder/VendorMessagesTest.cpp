#include "decoder/MessageTest.h"

namespace {

constexpr int Motorola = 0x90;
constexpr int Harris = 0xA4;

// 1-0010 is 851.125 MHz and 1-0011 851.1375 MHz in the fixture's table 1.
constexpr uint32_t ChannelA = 0x100A;
constexpr uint32_t ChannelB = 0x100B;

// Packs up to eight 6-bit values into bytes 2-4 and 5-7.
TsbkBlock CallSignMessage(int opcode, int mfid, std::initializer_list<int> values, uint32_t channel)
{
    uint64_t bits = 0;
    int shift = 42;
    for (int value : values) {
        bits |= static_cast<uint64_t>(value) << shift;
        shift -= 6;
    }
    return Message(opcode, mfid,
                   {{2, 3, static_cast<uint32_t>(bits >> 24)}, {5, 3, static_cast<uint32_t>(bits & 0xFFFFFF)},
                    {8, 2, channel}});
}

// X2 identifier update: identifier, signed TX offset field, spacing byte, base in 5 Hz units.
TsbkBlock X2Update(int identifier, uint32_t offsetField, int spacing, uint32_t base)
{
    return Message(0x0D, Motorola, {{2, 1, static_cast<uint32_t>(identifier << 4)}, {3, 2, offsetField},
                                    {5, 1, static_cast<uint32_t>(spacing)}, {6, 4, base}});
}

class VendorMessages : public MessageTest
{
protected:
    void SetUp() override
    {
        MessageTest::SetUp();
        PatchLog();
    }

    std::vector<PATCHREC> Patches()
    {
        std::vector<PATCHREC> records(MaxPatches);
        records.resize(model.GetPatches(records.data(), MaxPatches));
        return records;
    }

    std::vector<PATCHLOG> PatchLog()
    {
        std::vector<PATCHLOG> records(PatchLogCapacity);
        records.resize(model.TakePatchLog(records.data(), PatchLogCapacity));
        return records;
    }

    std::string CallSigns()
    {
        SYSINFO info;
        model.GetSystemInfo(info);
        return info.CallSigns;
    }

    const FreqInfo* Row(const std::vector<FreqInfo>& rows, int channel)
    {
        for (const FreqInfo& row : rows)
            if (row.Channel == channel)
                return &row;
        return nullptr;
    }
};

}

TEST_F(VendorMessages, EveryMessageWritesItsText)
{
    ExpectTexts({
        {Message(0x00, Motorola, {{2, 2, 500}, {4, 2, 100}, {6, 2, 200}, {8, 2, 300}}),
         "Patch Information - Mfg 90(Motorola) SuperGroup: 500 Member Groups: 300,100,200", false},
        {Message(0x01, Motorola, {{2, 2, 500}, {4, 2, 100}, {6, 2, 600}, {8, 2, 500}}),
         "Patch Release - Mfg 90(Motorola) Groups: 500,100,600,500", false},
        {Message(0x02, Motorola, {{2, 1, 0xC0}, {3, 2, ChannelA}, {5, 2, 500}, {7, 3, 1000}}),
         "Patched Group Voice Grant - Mfg 90(Motorola) Group: 500 Channel: 1-0010(851.12500) Radio ID: 1000 Notes: "
         "Emrg",
         false},
        {Message(0x02, Motorola, {{2, 1, 0x04}, {3, 2, ChannelB}, {5, 2, 600}, {7, 3, 1001}}),
         "Patched Group Voice Grant - Mfg 90(Motorola) Group: 600 Channel: 1-0011(851.13750) Radio ID: 1001", false},
        {Message(0x03, Motorola, {{2, 2, ChannelA}, {4, 2, 500}, {6, 2, ChannelB}, {8, 2, 600}}),
         "Patched Group Voice Grant Update - Mfg 90(Motorola) Group: 500 Channel: 1-0010(851.12500) Group: 600 "
         "Channel: 1-0011(851.13750)",
         false},
        {Message(0x04, Motorola, {{2, 1, 0x02}, {3, 1, 0x00}, {4, 2, 500}, {7, 3, 1000}}),
         "Regroup - Mfg 90(Motorola) RadioID: 1000 Group: 500", true},
        {Message(0x04, Motorola, {{2, 1, 0x02}, {3, 1, 0x81}, {4, 2, 500}, {7, 3, 1000}}),
         "Cancel Regroup - Mfg 90(Motorola) RadioID: 1000", true},
        {Message(0x04, Motorola, {{2, 1, 0x02}, {3, 1, 0x02}, {4, 2, 500}, {7, 3, 1000}}),
         "Lock Regroup - Mfg 90(Motorola) RadioID: 1000", true},
        {Message(0x04, Motorola, {{2, 1, 0x02}, {3, 1, 0x03}, {4, 2, 500}, {7, 3, 1000}}),
         "Unlock Regroup - Mfg 90(Motorola) RadioID: 1000", true},
        {Message(0x04, Motorola, {{2, 1, 0x02}, {3, 1, 0x04}, {4, 2, 500}, {7, 3, 1000}}),
         "Regroup ChangeMe - Mfg 90(Motorola) RadioID: 1000", true},
        {Message(0x05, Motorola, {{2, 4, 0x12345678}}), "Unknown Op=05 Mfg 90(Motorola)", false},
        {Message(0x06, Motorola, {{3, 1, 0x30}, {4, 3, 100}, {7, 3, 200}}),
         "Queued Response (Patched): 200 -> 100: the target group is currently active Mfg 90(Motorola)", true},
        {Message(0x07, Motorola, {{2, 1, 0x80}, {3, 1, 0x24}, {5, 2, 500}, {7, 3, 1000}}),
         "Patched Deny Response: 1000 -> 00500 (Group Voice Grant): SU Could not be authenticated at this time", true},
        // No subscriber-only form in the patched response.
        {Message(0x07, Motorola, {{2, 1, 0x84}, {3, 1, 0x10}, {4, 3, 100}, {7, 3, 1000}}),
         "Patched Deny Response: 100 -> 1000 (Unit to Unit Voice Grant): the requesting unit is not valid", true},
        {Message(0x08, Motorola, {{2, 1, 0x1A}, {4, 3, 100}, {7, 3, 200}}),
         "RCM Ack Op=08 Mfg 90(Motorola) Radio ID1 : 200 Radio ID2 : 100Function: 1A", true},
        {Message(0x09, Motorola, {{2, 1, 0xA5}, {3, 1, 0x01}}), "Scan Marker -  Binary Value: 10100101 00000001",
         false},
        {Message(0x0A, Motorola, {{5, 2, 500}, {7, 3, 1000}}),
         "Unknown Motorola 0x0A (Emergency Activation?) - Group: 500 Radio ID: 1000", false},
        {CallSignMessage(0x0B, Motorola, {22, 23, 5}, ChannelA),
         "MOT_BSI_GRANT (CWID) - Channel: 1-0010(851.12500) Call Sign: AB0", false},
        {CallSignMessage(0x0B, Motorola, {0, 23, 5}, ChannelB),
         "MOT_BSI_GRANT (CWID) - Channel: 1-0011(851.13750) Call Sign: N/A", false},
        {Message(0x1E, 0xAD, {{2, 2, 0xFFFF}}), "Unknown Op=1e Mfg AD(Unknown)", false},
        {Message(0x22, Harris, {{5, 2, 500}, {7, 3, 1000}}), "Harris Emergency Alert: Talkgroup: 500 -> 1000", true},
        {Message(0x30, Harris, {{3, 2, 500}, {8, 2, 100}}),
         "Patch Information - Mfg A4(Harris) SuperGroup: 500 Member Group: 100", false},
        {Message(0x30, Harris, {{3, 2, 500}}), "Delete Patch - Mfg A4(Harris) SuperGroup: 500", false},
        {CallSignMessage(0x33, Harris, {19, 20, 2}, ChannelB),
         "ID Grant Update (Harris) - Channel: 1-0011(851.13750) Call Sign: AB0", false},
    });
}

TEST_F(VendorMessages, MotorolaPatchAddTakesTheLastMemberFirst)
{
    model.DecodeTsbk(Message(0x00, Motorola, {{2, 2, 500}, {4, 2, 100}, {6, 2, 200}, {8, 2, 300}}).data());
    const auto log = PatchLog();
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[0].Talkgroup, 300);
    EXPECT_EQ(log[1].Talkgroup, 100);
    EXPECT_EQ(log[2].Talkgroup, 200);
    EXPECT_EQ(log[0].Supergroup, 500);
    EXPECT_EQ(Patches().size(), 3u);

    // Unused member slots carry the supergroup or 0; neither becomes a pair.
    model.DecodeTsbk(Message(0x00, Motorola, {{2, 2, 600}, {4, 2, 600}, {6, 2, 0}, {8, 2, 400}}).data());
    const auto more = PatchLog();
    ASSERT_EQ(more.size(), 1u);
    EXPECT_EQ(more[0].Talkgroup, 400);
    EXPECT_EQ(Patches().size(), 4u);
}

TEST_F(VendorMessages, MotorolaPatchReleaseAlsoReleasesMembersThatHeadPatches)
{
    model.DecodeTsbk(Message(0x00, Motorola, {{2, 2, 500}, {4, 2, 100}, {6, 2, 200}, {8, 2, 500}}).data());
    model.DecodeTsbk(Message(0x00, Motorola, {{2, 2, 600}, {4, 2, 300}, {6, 2, 600}, {8, 2, 600}}).data());
    model.DecodeTsbk(Message(0x00, Motorola, {{2, 2, 700}, {4, 2, 400}, {6, 2, 700}, {8, 2, 700}}).data());
    ASSERT_EQ(Patches().size(), 4u);

    model.DecodeTsbk(Message(0x01, Motorola, {{2, 2, 500}, {4, 2, 600}, {6, 2, 0}, {8, 2, 500}}).data());
    const auto left = Patches();
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(left[0].Supergroup, 700);
}

TEST_F(VendorMessages, PatchedGrantsEnterTheChannels)
{
    model.DecodeTsbk(Message(0x02, Motorola, {{2, 1, 0x40}, {3, 2, ChannelA}, {5, 2, 500}, {7, 3, 1000}}).data());
    EXPECT_TRUE(model.TalkgroupExists(500));
    auto rows = Channels();
    ASSERT_NE(Row(rows, ChannelA), nullptr);
    EXPECT_EQ(Row(rows, ChannelA)->Talkgroup, 500);
    EXPECT_EQ(Row(rows, ChannelA)->Radio, 1000);
    EXPECT_EQ(Row(rows, ChannelA)->Options, "Enc");
    const auto grants = Grants();
    ASSERT_EQ(grants.size(), 1u);
    EXPECT_EQ(grants[0].Kind, "Group");

    // An update on one channel enters only its first pair.
    model.DecodeTsbk(Message(0x03, Motorola, {{2, 2, ChannelB}, {4, 2, 600}, {6, 2, ChannelB}, {8, 2, 700}}).data());
    rows = Channels();
    ASSERT_NE(Row(rows, ChannelB), nullptr);
    EXPECT_EQ(Row(rows, ChannelB)->Talkgroup, 600);
    EXPECT_TRUE(model.TalkgroupExists(700));

    model.DecodeTsbk(Message(0x03, Motorola, {{2, 2, ChannelA}, {4, 2, 800}, {6, 2, ChannelB}, {8, 2, 900}}).data());
    rows = Channels();
    EXPECT_EQ(Row(rows, ChannelA)->Talkgroup, 800);
    EXPECT_EQ(Row(rows, ChannelB)->Talkgroup, 900);
}

TEST_F(VendorMessages, RegroupOfAnotherClassOrUnknownCommandIsUnrecognised)
{
    EXPECT_FALSE(model.DecodeTsbk(Message(0x04, Motorola, {{2, 1, 0x01}, {4, 2, 500}, {7, 3, 1000}}).data()));
    EXPECT_EQ(Unknowns(), 1);
    EXPECT_EQ(Dump(), std::vector<std::string>{"Unknown Op=04 Mfg 90(Motorola)"});
    EXPECT_FALSE(model.TalkgroupExists(500));

    // Command 7 is shown, and then handled as an unknown block.
    EXPECT_FALSE(
        model.DecodeTsbk(Message(0x04, Motorola, {{2, 1, 0x02}, {3, 1, 0x07}, {4, 2, 500}, {7, 3, 1000}}).data()));
    EXPECT_EQ(Dump(), (std::vector<std::string>{"Unknown Regroup Command - Mfg 90(Motorola) RadioID: 1000",
                                                "Unknown Op=04 Mfg 90(Motorola)"}));
    EXPECT_EQ(Events(), std::vector<std::string>{"Unknown Regroup Command - Mfg 90(Motorola) RadioID: 1000"});
    EXPECT_EQ(Unknowns(), 1);
    EXPECT_TRUE(model.TalkgroupExists(500));
}

TEST_F(VendorMessages, PatchedQueuedAndDenyResponses)
{
    model.DecodeTsbk(Message(0x06, Motorola, {{3, 1, 0x30}, {4, 3, 100}, {7, 3, 200}}).data());
    const auto grants = Grants();
    ASSERT_EQ(grants.size(), 1u);
    EXPECT_EQ(grants[0].Kind, "Queued");
    EXPECT_EQ(grants[0].Talkgroup, 100);
    EXPECT_EQ(grants[0].Radio, 200);

    // Only a group service with bit 2 of the reason set affiliates the source.
    model.DecodeTsbk(Message(0x07, Motorola, {{2, 1, 0x81}, {3, 1, 0x24}, {5, 2, 500}, {7, 3, 1000}}).data());
    model.DecodeTsbk(Message(0x07, Motorola, {{2, 1, 0x80}, {3, 1, 0x20}, {5, 2, 500}, {7, 3, 1000}}).data());
    EXPECT_TRUE(Affiliations().empty());
    model.DecodeTsbk(Message(0x07, Motorola, {{2, 1, 0x80}, {3, 1, 0x24}, {5, 2, 500}, {7, 3, 1000}}).data());
    const auto log = Affiliations();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].Function, 'A');
    EXPECT_EQ(log[0].Text, "Affiliate");
    EXPECT_EQ(log[0].Talkgroup, 500);
    EXPECT_EQ(log[0].Radio, 1000);
}

TEST_F(VendorMessages, EmergencyActivationWithoutGroupIsSilent)
{
    EXPECT_TRUE(model.DecodeTsbk(Message(0x0A, Motorola, {{7, 3, 1000}}).data()));
    EXPECT_TRUE(Dump().empty());
    EXPECT_EQ(Unknowns(), 0);
    model.DecodeTsbk(Message(0x0A, Motorola, {{5, 2, 500}, {7, 3, 1000}}).data());
    EXPECT_TRUE(model.TalkgroupExists(500));
}

TEST_F(VendorMessages, StationIdentificationMarksChannelsButNotTheControlChannel)
{
    model.SetControlChannel(ChannelA, 0);
    Channels();
    model.DecodeTsbk(CallSignMessage(0x0B, Motorola, {22, 23, 5}, ChannelA).data());
    EXPECT_EQ(Dump(), std::vector<std::string>{"MOT_BSI_GRANT (CC) - Call Sign: AB0"});
    EXPECT_EQ(CallSigns(), "AB0");
    auto rows = Channels();
    EXPECT_EQ(Row(rows, ChannelA)->Usage, "Control");
    EXPECT_TRUE(Grants().empty());

    // Eight characters fill both fields.
    model.DecodeTsbk(CallSignMessage(0x0B, Motorola, {22, 23, 24, 25, 26, 27, 28, 29}, ChannelB).data());
    EXPECT_EQ(CallSigns(), "AB0 ABCDEFGH");
    rows = Channels();
    ASSERT_NE(Row(rows, ChannelB), nullptr);
    EXPECT_EQ(Row(rows, ChannelB)->Usage, "Station ID");
    EXPECT_EQ(Row(rows, ChannelB)->Options, "ABCDEFGH");
    EXPECT_TRUE(Row(rows, ChannelB)->UsageFlags & UsageSystemId);
    const auto grants = Grants();
    ASSERT_EQ(grants.size(), 1u);
    EXPECT_EQ(grants[0].Kind, "Station ID");

    // An empty sign stores nothing.
    model.DecodeTsbk(CallSignMessage(0x0B, Motorola, {0, 22}, 0x100C).data());
    EXPECT_EQ(Row(Channels(), 0x100C), nullptr);
    EXPECT_EQ(CallSigns(), "AB0 ABCDEFGH");

    // The Harris form decodes the same sign with its own offset.
    model.DecodeTsbk(CallSignMessage(0x33, Harris, {19, 20, 2, 10}, 0x100D).data());
    EXPECT_EQ(CallSigns(), "AB0 ABCDEFGH AB08");
    EXPECT_EQ(Row(Channels(), 0x100D)->Options, "AB08");
}

TEST_F(VendorMessages, X2IdentifierUpdateStoresATwoSlotTable)
{
    model.DecodeTsbk(X2Update(2, 0x0010, 100, 170200000).data());
    IDENTABLE tables[MaxIdentifierTables];
    model.GetIdentifierTables(tables, MaxIdentifierTables);
    EXPECT_DOUBLE_EQ(tables[2].Base, 851.0);
    EXPECT_DOUBLE_EQ(tables[2].TxOffset, -0.05);
    EXPECT_DOUBLE_EQ(tables[2].Spacing, 0.0125);
    EXPECT_DOUBLE_EQ(tables[2].Bandwidth, 0.0125);
    EXPECT_EQ(tables[2].Slots, 2);
    EXPECT_EQ(tables[2].Source, 2);
    SYSINFO info;
    model.GetSystemInfo(info);
    EXPECT_EQ(info.Flavor, 1);
    EXPECT_EQ(Events(), std::vector<std::string>{"Updated Identifier Table 02... Base: 851.00000 Spacing: 0.01250 "
                                                 "Bandwidth: 0.01250 TX Offset: -0.05000 Slots: 2"});
    EXPECT_EQ(Dump(), std::vector<std::string>{"Motorola X2 TDMA Identifier Update - ID: 02  Base: 851.00000  Spacing: "
                                               "0.01250  Bandwidth: 0.01250  TX Offset: -0.05000  Slots: 2"});

    // The same table again changes nothing, so no event line; the dump line stays.
    model.DecodeTsbk(Message(0x22, Harris, {{5, 2, 1}, {7, 3, 1}}).data());
    Events();
    model.DecodeTsbk(X2Update(2, 0x0010, 100, 170200000).data());
    EXPECT_TRUE(Events().empty());
    EXPECT_EQ(Dump().size(), 2u);

    // The sign bit set gives a positive offset, zero included.
    model.DecodeTsbk(X2Update(3, 0x8000, 100, 170200000).data());
    EXPECT_EQ(Dump(), std::vector<std::string>{"Motorola X2 TDMA Identifier Update - ID: 03  Base: 851.00000  Spacing: "
                                               "0.01250  Bandwidth: 0.01250  TX Offset: 0.00000  Slots: 2"});
}

TEST_F(VendorMessages, HarrisPatchAddsAndDeletes)
{
    model.DecodeTsbk(Message(0x30, Harris, {{3, 2, 500}, {8, 2, 100}}).data());
    model.DecodeTsbk(Message(0x30, Harris, {{3, 2, 500}, {8, 2, 500}}).data());
    auto patches = Patches();
    ASSERT_EQ(patches.size(), 1u);
    EXPECT_EQ(patches[0].Talkgroup, 100);
    model.DecodeTsbk(Message(0x30, Harris, {{3, 2, 500}}).data());
    EXPECT_TRUE(Patches().empty());
}

TEST_F(VendorMessages, RandomArgumentsStayInsideTheTables)
{
    // Every opcode and maker handled here, standard unit messages included.
    const std::pair<int, int> messages[] = {
        {0x05, 0}, {0x0A, 0}, {0x18, 0}, {0x1A, 0}, {0x1C, 0}, {0x1D, 0}, {0x1E, 0}, {0x1F, 0}, {0x20, 0},
        {0x21, 0}, {0x24, 0}, {0x27, 0}, {0x28, 0}, {0x2A, 0}, {0x2B, 0}, {0x2C, 0}, {0x2D, 0}, {0x2E, 0},
        {0x2F, 0}, {0x36, 0}, {0x00, Motorola}, {0x01, Motorola}, {0x02, Motorola}, {0x03, Motorola},
        {0x04, Motorola}, {0x05, Motorola}, {0x06, Motorola}, {0x07, Motorola}, {0x08, Motorola},
        {0x09, Motorola}, {0x0A, Motorola}, {0x0B, Motorola}, {0x0D, Motorola}, {0x1E, 0xAD}, {0x22, Harris},
        {0x30, Harris}, {0x33, Harris}};
    uint32_t seed = 12345;
    const auto next = [&seed] {
        seed = seed * 1103515245 + 12345;
        return seed >> 16;
    };
    for (int i = 0; i < 20000; ++i) {
        const auto [opcode, mfid] = messages[next() % std::size(messages)];
        TsbkBlock block = MakeTsbk(opcode, mfid);
        for (int at = 2; at < 10; ++at)
            block[at] = static_cast<uint8_t>(next());
        // Keep the regroup class often enough to reach its command table.
        if (opcode == 0x04 && i % 2 == 0)
            block[2] = 0x02;
        PutField(block, 2, 1, block[2]);
        model.DecodeTsbk(block.data());
        if (i % 40 == 0)
            Drain();
    }
    Drain();
    EXPECT_LE(Patches().size(), static_cast<size_t>(MaxPatches));
}
