#include <gtest/gtest.h>

#include <functional>
#include <iterator>
#include <random>

#include "support/DecodedSite.h"

namespace {

// Channels of the site's plans and their texts: A to D on table 1, T on the TDMA table.
constexpr int A = 0x1064; // "1-0100(852.25000)"
constexpr int B = 0x1065; // "1-0101(852.26250)"
constexpr int C = 0x1066; // "1-0102(852.27500)"
constexpr int D = 0x1067; // "1-0103(852.28750)"; its uplink form shows the same
constexpr int T = 0x2065; // "2-0101(769.31250 Slot 1)"

TsbkBlock GroupGrant(int opcode, int options, int channel, int talkgroup, int radio)
{
    return MakeMessage(opcode, {{2, 1, uint32_t(options)}, {3, 2, uint32_t(channel)}, {5, 2, uint32_t(talkgroup)},
                                {7, 3, uint32_t(radio)}});
}

TsbkBlock Pairs(int opcode, int channelA, int groupA, int channelB, int groupB)
{
    return MakeMessage(opcode, {{2, 2, uint32_t(channelA)}, {4, 2, uint32_t(groupA)}, {6, 2, uint32_t(channelB)},
                                {8, 2, uint32_t(groupB)}});
}

TsbkBlock ExplicitChannels(int opcode, int options, int rx, int tx, int group)
{
    return MakeMessage(
        opcode, {{2, 1, uint32_t(options)}, {4, 2, uint32_t(rx)}, {6, 2, uint32_t(tx)}, {8, 2, uint32_t(group)}});
}

TsbkBlock UnitToUnit(int opcode, int channel, int target, int source)
{
    return MakeMessage(opcode, {{2, 2, uint32_t(channel)}, {4, 3, uint32_t(target)}, {7, 3, uint32_t(source)}});
}

TsbkBlock Phone(int opcode, int channel, int radio)
{
    return MakeMessage(opcode, {{3, 2, uint32_t(channel)}, {7, 3, uint32_t(radio)}});
}

TsbkBlock DataChannelUpdate(int status, int rx, int tx, int group)
{
    return MakeMessage(0x16,
                       {{3, 1, uint32_t(status)}, {4, 2, uint32_t(rx)}, {6, 2, uint32_t(tx)}, {8, 2, uint32_t(group)}});
}

void ExpectRow(DecodedSite& site, int channel, const std::string& usage, int talkgroup, int radio,
               const std::string& options = "")
{
    const FreqInfo row = site.Row(channel);
    ASSERT_EQ(row.Channel, channel);
    EXPECT_EQ(row.Usage, usage);
    EXPECT_EQ(row.Talkgroup, talkgroup);
    EXPECT_EQ(row.Radio, radio);
    EXPECT_EQ(row.Options, options);
}

void ExpectGrant(DecodedSite& site, const std::string& kind, int channel, int talkgroup, int radio,
                 const std::string& text = "")
{
    const auto grants = site.Grants();
    ASSERT_EQ(grants.size(), 1u);
    EXPECT_EQ(grants[0].Kind, kind);
    EXPECT_EQ(grants[0].Channel, channel);
    EXPECT_EQ(grants[0].Talkgroup, talkgroup);
    EXPECT_EQ(grants[0].Radio, radio);
    EXPECT_EQ(grants[0].Text, text);
}

bool Known(DecodedSite& site, int talkgroup)
{
    TGTAG record;
    return site.model.GetTalkgroup(talkgroup, record);
}

struct GrantCase
{
    const char* Name;
    TsbkBlock Block;
    std::string Text; // the dump line, "" for none
    bool Event;       // the same line goes to the other-events log
    std::function<void(DecodedSite&)> Effect;
};

const std::vector<GrantCase>& GrantCases()
{
    static const std::vector<GrantCase> cases = {
        {"group voice grant, options without notes", GroupGrant(0x00, 0x04, A, 300, 123456),
         "Group Voice Grant - Group: 300 Channel: 1-0100(852.25000) Radio ID: 123456", false,
         [](DecodedSite& s) {
             ExpectRow(s, A, "Group", 300, 123456);
             ExpectGrant(s, "Group", A, 300, 123456);
             EXPECT_TRUE(Known(s, 300));
         }},
        {"group voice grant, emergency wins over encryption in the notes", GroupGrant(0x00, 0xC0, T, 301, 7),
         "Group Voice Grant - Group: 301 Channel: 2-0101(769.31250 Slot 1) Radio ID: 7 Notes: Emrg", false,
         [](DecodedSite& s) {
             ExpectRow(s, T, "Group", 301, 7, "Emrg");
             ExpectGrant(s, "Group", T, 301, 7, "Emrg");
             TGTAG record;
             s.model.GetTalkgroup(301, record);
             EXPECT_EQ(record.EncSeen, 1);
         }},
        {"group voice grant, emergency alone", GroupGrant(0x00, 0x80, A, 303, 9),
         "Group Voice Grant - Group: 303 Channel: 1-0100(852.25000) Radio ID: 9 Notes: Emrg", false,
         [](DecodedSite& s) {
             TGTAG record;
             s.model.GetTalkgroup(303, record);
             EXPECT_EQ(record.EncSeen, 0);
         }},
        {"group voice grant, encrypted", GroupGrant(0x00, 0x40, A, 302, 8),
         "Group Voice Grant - Group: 302 Channel: 1-0100(852.25000) Radio ID: 8 Notes: Enc", false,
         [](DecodedSite& s) {
             ExpectRow(s, A, "Group", 302, 8, "Enc");
             ExpectGrant(s, "Group", A, 302, 8, "Enc");
             TGTAG record;
             s.model.GetTalkgroup(302, record);
             EXPECT_EQ(record.EncSeen, 1);
         }},
        {"group voice grant for talkgroup 0", GroupGrant(0x00, 0x80, A, 0, 8), "", false,
         [](DecodedSite& s) {
             EXPECT_EQ(s.ChannelCount(), 0);
             EXPECT_TRUE(s.Grants().empty());
         }},
        {"group voice grant update, two pairs", Pairs(0x02, A, 300, B, 301),
         "Group Voice Grant Update - Group: 300 Channel: 1-0100(852.25000) Group: 301 Channel: 1-0101(852.26250)",
         false,
         [](DecodedSite& s) {
             ExpectRow(s, A, "Group", 300, 0);
             ExpectRow(s, B, "Group", 301, 0);
             EXPECT_TRUE(s.Grants().empty());
             EXPECT_TRUE(Known(s, 300) && Known(s, 301));
         }},
        {"group voice grant update, one channel twice", Pairs(0x02, A, 300, A, 301),
         "Group Voice Grant Update - Group: 300 Channel: 1-0100(852.25000) Group: 301 Channel: 1-0100(852.25000)",
         false,
         [](DecodedSite& s) {
             EXPECT_EQ(s.ChannelCount(), 1);
             ExpectRow(s, A, "Group", 300, 0);
             EXPECT_TRUE(Known(s, 301));
         }},
        {"group voice grant update, second group 0", Pairs(0x02, A, 300, B, 0),
         "Group Voice Grant Update - Group: 300 Channel: 1-0100(852.25000) Group: 0 Channel: 1-0101(852.26250)",
         false,
         [](DecodedSite& s) {
             EXPECT_EQ(s.ChannelCount(), 1);
             ExpectRow(s, A, "Group", 300, 0);
         }},
        {"explicit group voice grant update", ExplicitChannels(0x03, 0x80, C, D, 302),
         "Explicit Group Voice Grant Update - Group: 302 RX Channel: 1-0102(852.27500) TX Channel: "
         "1-0103(852.28750) Notes: Emrg",
         false,
         [](DecodedSite& s) {
             ExpectRow(s, C, "Group", 302, 0, "Emrg");
             EXPECT_EQ(s.Row(C).InputChannel, D);
             EXPECT_EQ(s.Row(C).InputExplicit, 1);
             EXPECT_TRUE(s.Grants().empty());
             EXPECT_TRUE(Known(s, 302));
         }},
        {"unit-to-unit voice grant", UnitToUnit(0x04, A, 2000, 1000),
         "Unit-Unit Voice Grant - Channel: 1-0100(852.25000) From : 1000 To: 2000", false,
         [](DecodedSite& s) {
             ExpectRow(s, A, "Private", 1000, 2000);
             ExpectGrant(s, "Private", A, 1000, 2000);
         }},
        {"unit-to-unit voice grant update", UnitToUnit(0x06, A, 2000, 1000),
         "Unit-Unit Voice Grant Update - Channel: 1-0100(852.25000) From : 1000 To: 2000", false,
         [](DecodedSite& s) {
             ExpectRow(s, A, "Private", 1000, 2000);
             EXPECT_TRUE(s.Grants().empty());
         }},
        {"unit-to-unit explicit voice grant", ExplicitChannels(0x07, 0x00, C, D, 55),
         "Unit-Unit Explicit Voice Grant - Group: 55 RX Channel: 1-0102(852.27500) TX Channel: 1-0103(852.28750)",
         false,
         [](DecodedSite& s) {
             EXPECT_EQ(s.Row(C).Usage, "Private");
             EXPECT_EQ(s.Row(C).Talkgroup, 0);
             EXPECT_EQ(s.ChannelCount(), 1);
             EXPECT_TRUE(s.Grants().empty());
         }},
        {"telephone voice grant", Phone(0x08, B, 4444),
         "Telephone Voice Grant - Channel: 1-0101(852.26250) Radio ID : 4444", false,
         [](DecodedSite& s) {
             ExpectRow(s, B, "Phone", 0, 4444);
             ExpectGrant(s, "Phone", B, -1, 4444);
         }},
        {"telephone voice grant update", Phone(0x09, B, 4444),
         "Telephone Voice Grant Update- Channel: 1-0101(852.26250) Radio ID : 4444", false,
         [](DecodedSite& s) {
             ExpectRow(s, B, "Phone", 0, 0);
             EXPECT_TRUE(s.Grants().empty());
         }},
        {"private data grant", UnitToUnit(0x10, T, 2000, 1000),
         "Private Data Grant - Channel: 2-0101(769.31250 Slot 1) From : 1000 To: 2000", false,
         [](DecodedSite& s) {
             ExpectRow(s, T, "Data", 1000, 2000);
             ExpectGrant(s, "Data", T, 1000, 2000);
         }},
        {"group data channel grant", GroupGrant(0x11, 0x40, D, 303, 5555),
         "Group Data Channel Grant - Group : 303 Channel: 1-0103(852.28750) RadioID : 5555", false,
         [](DecodedSite& s) {
             ExpectRow(s, D, "Data", 303, 5555, "Enc");
             ExpectGrant(s, "Data", D, 303, 5555, "Enc");
             EXPECT_TRUE(Known(s, 303));
         }},
        {"group data channel grant for talkgroup 0", GroupGrant(0x11, 0x00, D, 0, 5555), "", false,
         [](DecodedSite& s) {
             EXPECT_EQ(s.ChannelCount(), 0);
             EXPECT_TRUE(s.Grants().empty());
         }},
        {"group data channel announcement", Pairs(0x12, A, 300, B, 301),
         "Group Data Grant Update - Group: 300 Channel: 1-0100(852.25000) Group: 301 Channel: 1-0101(852.26250)",
         false,
         [](DecodedSite& s) {
             ExpectRow(s, A, "Data", 300, 0);
             ExpectRow(s, B, "Data", 301, 0);
             EXPECT_TRUE(s.Grants().empty());
             EXPECT_TRUE(Known(s, 300) && Known(s, 301));
         }},
        {"data channel grant, explicit", MakeMessage(0x14, {{3, 2, C}, {5, 2, D}, {7, 3, 6666}}),
         "Data Channel Grant Explicit - Radio ID: 6666 RX Channel: 1-0102(852.27500) TX Channel: 1-0103(852.28750)",
         false,
         [](DecodedSite& s) {
             ExpectRow(s, C, "Data", 0, 6666);
             ExpectGrant(s, "Data", C, -1, 6666);
         }},
        {"data page request", MakeMessage(0x15, {{7, 3, 7777}}), "SN-DATA_PAGE_REQ - Radio ID: 7777", true,
         [](DecodedSite& s) {
             ExpectGrant(s, "Queued", -1, -1, 7777, "Data Grant");
             EXPECT_EQ(s.ChannelCount(), 0);
         }},
        {"data channel update, AA and available", DataChannelUpdate(0xC0, A, B, 42),
         "Data Channel Update - Status: AA, Available - Channels: RX: 1-0100(852.25000) TX: 1-0101(852.26250)  - "
         "DAC Group: 42",
         false,
         [](DecodedSite& s) {
             ExpectRow(s, A, "Data", 0, 0);
             EXPECT_EQ(s.ChannelCount(), 1);
         }},
        {"data channel update, available alone", DataChannelUpdate(0x40, A, B, 42),
         "Data Channel Update - Status: Available - Channels: RX: 1-0100(852.25000) TX: 1-0101(852.26250)  - "
         "DAC Group: 42",
         false, [](DecodedSite& s) { EXPECT_EQ(s.ChannelCount(), 0); }},
        {"data channel update, no channels", DataChannelUpdate(0x00, NoChannel, NoChannel, 0),
         "Data Channel Update - Status: Busy - Channels: None - DAC Group: 0", false,
         [](DecodedSite& s) { EXPECT_EQ(s.ChannelCount(), 0); }},
        {"data channel update, transmit channel only", DataChannelUpdate(0x00, NoChannel, B, 65535),
         "Data Channel Update - Status: Busy - Channels: TX: 1-0101(852.26250)  - DAC Group: 65535", false,
         [](DecodedSite& s) { EXPECT_EQ(s.ChannelCount(), 0); }},
        {"data channel update, busy", DataChannelUpdate(0x00, C, NoChannel, 7),
         "Data Channel Update - Status: Busy - Channels: RX: 1-0102(852.27500)  - DAC Group: 7", false,
         [](DecodedSite& s) { ExpectRow(s, C, "Data", 0, 0); }},
    };
    return cases;
}

std::vector<std::string> Lines(const std::string& text)
{
    return text.empty() ? std::vector<std::string>{} : std::vector<std::string>{text};
}

}

TEST(Grants, EachMessageGivesItsTextAndModelEffect)
{
    for (const auto& c : GrantCases()) {
        SCOPED_TRACE(c.Name);
        DecodedSite site;
        EXPECT_TRUE(site.Decode(c.Block));
        EXPECT_EQ(site.Dump(), Lines(c.Text));
        EXPECT_EQ(site.Events(), c.Event ? Lines(c.Text) : std::vector<std::string>{});
        EXPECT_TRUE(site.Unknowns().empty());
        c.Effect(site);
    }
}

TEST(Grants, TextLogsSwitchedOffLeaveTheModelEffectsAlone)
{
    for (const auto& c : GrantCases()) {
        SCOPED_TRACE(c.Name);
        DecodedSite site;
        site.model.SetPktDumpVisible(false);
        site.model.SetOtherInfoVisible(false);
        EXPECT_TRUE(site.Decode(c.Block));
        EXPECT_TRUE(site.Dump().empty());
        EXPECT_TRUE(site.Events().empty());
        c.Effect(site);
    }
}

TEST(Grants, RepeatedGrantIsDumpedTwiceButLoggedOnce)
{
    DecodedSite site;
    const TsbkBlock grant = GroupGrant(0x00, 0x00, A, 300, 123456);
    site.Decode(grant);
    EXPECT_EQ(site.Grants().size(), 1u);
    EXPECT_EQ(site.model.AreChannelsChanged(), 1);
    FreqInfo rows[MaxChannels];
    site.model.GetChannels(rows, MaxChannels);

    site.Decode(grant);
    EXPECT_TRUE(site.Grants().empty());
    EXPECT_EQ(site.model.AreChannelsChanged(), 0);
    EXPECT_EQ(site.Dump().size(), 2u);
    EXPECT_EQ(site.Row(A).Hits, 1);
}

TEST(Grants, GrantMovesItsTalkgroupOffTheChannelItHadBefore)
{
    DecodedSite site;
    site.Decode(GroupGrant(0x00, 0x00, A, 300, 1));
    site.Decode(GroupGrant(0x00, 0x00, B, 300, 1));
    EXPECT_EQ(site.Row(A).Talkgroup, 0);
    EXPECT_EQ(site.Row(B).Talkgroup, 300);

    // A private call takes the row of the first radio the same way.
    site.Decode(UnitToUnit(0x04, C, 2000, 1000));
    site.Decode(UnitToUnit(0x06, D, 2000, 1000));
    EXPECT_EQ(site.Row(C).Talkgroup, 0);
    EXPECT_EQ(site.Row(D).Talkgroup, 1000);
}

// 0xFFFF is no channel even once table 15 exists: it is never entered nor taken for an
// uplink, whichever grant carries it.
TEST(Grants, NoChannelIsNeverEntered)
{
    DecodedSite site;
    site.model.SetIdentifierTable(15, {450.0, 5.0, 0.0125, 0.0125, 2, 1});
    site.Decode(Pairs(0x02, A, 300, NoChannel, 301));
    site.Decode(ExplicitChannels(0x03, 0x00, B, NoChannel, 302));
    site.Decode(ExplicitChannels(0x03, 0x00, NoChannel, C, 303));
    site.Decode(GroupGrant(0x00, 0x00, NoChannel, 304, 1));
    site.Decode(GroupGrant(0x11, 0x00, NoChannel, 305, 1));
    site.Decode(UnitToUnit(0x04, NoChannel, 2000, 1000));
    site.Decode(Phone(0x08, NoChannel, 1000));
    site.Decode(Pairs(0x12, NoChannel, 306, D, 307));
    FreqInfo rows[MaxChannels];
    const int count = site.model.GetChannels(rows, MaxChannels);
    ASSERT_EQ(count, 3);
    EXPECT_EQ(rows[0].Channel, A);
    EXPECT_EQ(rows[1].Channel, B);
    EXPECT_EQ(rows[1].InputChannel, B);
    EXPECT_EQ(rows[1].InputExplicit, 0);
    EXPECT_DOUBLE_EQ(rows[1].InputFrequency, 852.2625 - 45.0);
    EXPECT_EQ(rows[2].Channel, D);
}

TEST(Grants, OtherMakersOpcodesAreNotGrants)
{
    DecodedSite site;
    for (int opcode : {0x10, 0x11, 0x12, 0x14, 0x15, 0x16})
        EXPECT_FALSE(site.Decode(MakeMessage(opcode, {{3, 2, A}, {5, 2, 300}, {7, 3, 1}}, 0x90)));
    EXPECT_EQ(site.ChannelCount(), 0);
    EXPECT_EQ(site.Unknowns().size(), 6u);
}

TEST(GrantsAndBroadcasts, RandomFieldsAreDecodedWithoutFault)
{
    const int opcodes[] = {0x00, 0x02, 0x03, 0x04, 0x06, 0x07, 0x08, 0x09, 0x10, 0x11, 0x12, 0x14, 0x15,
                           0x16, 0x29, 0x30, 0x33, 0x34, 0x37, 0x38, 0x39, 0x3A, 0x3B, 0x3C, 0x3D, 0x3E, 0x3F};
    std::mt19937 random(20240301);
    DecodedSite site;
    for (int i = 0; i < 100000; ++i) {
        const int opcode = opcodes[random() % std::size(opcodes)];
        TsbkBlock block = MakeTsbk(opcode, 0x00);
        for (int n = 2; n < 10; ++n)
            block[n] = static_cast<uint8_t>(random());
        if (opcode == 0x3A) {
            // Another system would reset the model each time; the status bits stay random.
            block[3] = static_cast<uint8_t>((block[3] & 0xF0) | DecodedSite::SysId >> 8);
            block[4] = DecodedSite::SysId & 0xFF;
            block[5] = DecodedSite::Rfss;
            block[6] = DecodedSite::Site;
            block[9] = 0x70;
        }
        PutField(block, 2, 1, block[2]);
        ASSERT_TRUE(site.Decode(block)) << opcode;
        if (i % 40 == 0) {
            site.Dump();
            site.Events();
            site.Grants();
        }
    }
    EXPECT_LE(site.ChannelCount(), MaxChannels);
    EXPECT_LE(static_cast<int>(site.Neighbors().size()), MaxNeighbors);
    EXPECT_EQ(site.model.GetSystemId(), DecodedSite::SysId);
    EXPECT_TRUE(site.Unknowns().empty());
}
