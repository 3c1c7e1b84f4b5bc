#include <gtest/gtest.h>

#include <functional>

#include "platform/TextFormat.h"
#include "support/DecodedSite.h"

namespace {

using Texts = std::vector<std::string>;

// Channels of the site's plan (table 1): A "1-0100(852.25000)" to D "1-0103(852.28750)".
constexpr int A = 0x1064;
constexpr int B = 0x1065;
constexpr int C = 0x1066;
constexpr int D = 0x1067;

// RFSS and adjacent status: status and system 3-4, RFSS 5, site 6, channel 7-8, class 9.
TsbkBlock StatusBroadcast(int opcode, int status, int sysId, int rfss, int site, int channel, int serviceClass)
{
    return MakeMessage(opcode, {{3, 2, uint32_t(status << 12 | sysId)},
                                {5, 1, uint32_t(rfss)},
                                {6, 1, uint32_t(site)},
                                {7, 2, uint32_t(channel)},
                                {9, 1, uint32_t(serviceClass)}});
}

TsbkBlock NetworkStatus(int wacn, int sysId, int channel, int serviceClass, int mfid = 0x00)
{
    return MakeMessage(0x3B,
                       {{3, 4, uint32_t(wacn) << 12 | uint32_t(sysId)},
                        {7, 2, uint32_t(channel)},
                        {9, 1, uint32_t(serviceClass)}},
                       mfid);
}

TsbkBlock AlternateControl(int rfss, int site, int channel1, int class1, int channel2, int class2)
{
    return MakeMessage(0x39, {{2, 1, uint32_t(rfss)},
                              {3, 1, uint32_t(site)},
                              {4, 2, uint32_t(channel1)},
                              {6, 1, uint32_t(class1)},
                              {7, 2, uint32_t(channel2)},
                              {9, 1, uint32_t(class2)}});
}

// IDEN_UP: identifier 4 bits, bandwidth 9, offset sign 1 and 8, spacing 10, then the base
// in 5 Hz steps.
TsbkBlock IdentifierUpdate(int iden, int bandwidth, bool up, int offset, int spacing, uint32_t base)
{
    const uint32_t word = uint32_t(iden) << 28 | uint32_t(bandwidth) << 19 | uint32_t(up) << 18 |
                          uint32_t(offset) << 10 | uint32_t(spacing);
    return MakeMessage(0x3D, {{2, 4, word}, {6, 4, base}});
}

// IDEN_UP_VU and IDEN_UP_TDMA: identifier 4 bits, bandwidth or channel type 4, offset
// sign 1 and 13, spacing 10, then the base in 5 Hz steps.
TsbkBlock IdentifierUpdate13(int opcode, int iden, int kind, bool up, int offset, int spacing, uint32_t base)
{
    const uint32_t word = uint32_t(iden) << 28 | uint32_t(kind) << 24 | uint32_t(up) << 23 | uint32_t(offset) << 10 |
                          uint32_t(spacing);
    return MakeMessage(opcode, {{2, 4, word}, {6, 4, base}});
}

TsbkBlock SyncBroadcast(int flags, int localOffset, int year, int month, int day, int hour, int minute, int slots)
{
    return MakeMessage(0x30, {{3, 1, uint32_t(flags)},
                              {4, 1, uint32_t(localOffset)},
                              {5, 2, uint32_t((year - 2000) << 9 | month << 5 | day)},
                              {7, 3, uint32_t(hour << 19 | minute << 13 | slots)}});
}

TsbkBlock MultiHeader(int status, int sysId, int follow, int type, int rfss, int site)
{
    return MakeMessage(0x37, {{4, 2, uint32_t(status << 12 | sysId)},
                              {6, 1, uint32_t(follow)},
                              {7, 1, uint32_t(type)},
                              {8, 1, uint32_t(rfss)},
                              {9, 1, uint32_t(site)}});
}

void ExpectTable(DecodedSite& site, int iden, double base, double txOffset, double spacing, double bandwidth,
                 int slots)
{
    const IDENTABLE table = site.Table(iden);
    EXPECT_DOUBLE_EQ(table.Base, base);
    EXPECT_DOUBLE_EQ(table.TxOffset, txOffset);
    EXPECT_DOUBLE_EQ(table.Spacing, spacing);
    EXPECT_DOUBLE_EQ(table.Bandwidth, bandwidth);
    EXPECT_EQ(table.Source, 2);
    EXPECT_EQ(table.Slots, slots);
}

void ExpectNeighbor(DecodedSite& site, int sysId, int rfss, int siteId, int channel, int status)
{
    const auto neighbors = site.Neighbors();
    ASSERT_EQ(neighbors.size(), 1u);
    EXPECT_EQ(neighbors[0].SysId, sysId);
    EXPECT_EQ(neighbors[0].RfssId, rfss);
    EXPECT_EQ(neighbors[0].SiteId, siteId);
    EXPECT_EQ(neighbors[0].Channel, channel);
    EXPECT_EQ(neighbors[0].Status, status);
}

void ExpectAlternate(DecodedSite& site, int channel)
{
    EXPECT_TRUE(site.Row(channel).UsageFlags & UsageAlternate) << channel;
}

void NoChange(DecodedSite& site)
{
    EXPECT_EQ(site.ChannelCount(), 0);
    EXPECT_TRUE(site.Neighbors().empty());
    EXPECT_EQ(site.SystemInfo().SiteStatus, 0);
}

struct BroadcastCase
{
    const char* Name;
    TsbkBlock Block;
    Texts Dump;
    Texts Events;
    std::function<void(DecodedSite&)> Effect;
    bool EffectNeedsDump = false; // the model change happens only while the dump is on
};

const std::vector<BroadcastCase>& BroadcastCases()
{
    static const std::vector<BroadcastCase> cases = {
        {"RFSS status, connected", StatusBroadcast(0x3A, 1, 0x123, 1, 2, A, 0x70),
         {"RFSS Status Broadcast - SysID: 123 Status: Connected Zone: 1 Site: 2 Control: 1-0100(852.25000) Cap: "
          "Data,Voice,Registration"},
         {},
         [](DecodedSite& s) {
             EXPECT_EQ(s.Row(A).Usage, "Control");
             EXPECT_TRUE(s.Row(A).UsageFlags & UsageControl);
             const SYSINFO info = s.SystemInfo();
             EXPECT_EQ(info.SiteStatus, 1);
             EXPECT_EQ(info.SysId, 0x123);
             EXPECT_EQ(info.ServiceClass, 0x70);
         }},
        {"RFSS status, site trunked", StatusBroadcast(0x3A, 2, 0x123, 1, 2, B, 0x70),
         {"RFSS Status Broadcast - SysID: 123 Status: Site Trunked Zone: 1 Site: 2 Control: 1-0101(852.26250) Cap: "
          "Data,Voice,Registration"},
         {},
         [](DecodedSite& s) {
             EXPECT_EQ(s.Row(B).Usage, "Control");
             EXPECT_EQ(s.SystemInfo().SiteStatus, 2);
         }},
        {"network status", NetworkStatus(0xBEE00, 0x456, B, 0x00),
         {"Network Status Broadcast - WACN: BEE00 Control: 1-0101(852.26250) Cap: None Advertised"},
         {},
         [](DecodedSite& s) {
             const SYSINFO info = s.SystemInfo();
             EXPECT_EQ(info.Wacn, 0xBEE00);
             EXPECT_EQ(info.SysId, DecodedSite::SysId);
             EXPECT_EQ(s.Row(B).Usage, "Control");
         }},
        {"network status from MFID 0x30", NetworkStatus(0x00001, 0x123, A, 0x01, 0x30),
         {"Network Status Broadcast - WACN: 00001 Control: 1-0100(852.25000) Cap: Composite control channel"},
         {},
         [](DecodedSite& s) { EXPECT_EQ(s.SystemInfo().Wacn, 1); }},
        {"neighbor status, other system", StatusBroadcast(0x3C, 1, 0xABC, 7, 9, B, 0x10),
         {"Neighbor Status Broadcast - SysID: abc Zone: 7 Site: 9 Control: 1-0101(852.26250) Status: Connected Cap: "
          "Data"},
         {},
         [](DecodedSite& s) {
             ExpectNeighbor(s, 0xABC, 7, 9, B, 1);
             EXPECT_DOUBLE_EQ(s.Neighbors()[0].Frequency, 852.2625);
         }},
        {"neighbor status, failed", StatusBroadcast(0x3C, 2, 0x123, 1, 3, C, 0x00),
         {"Neighbor Status Broadcast - SysID: 123 Zone: 1 Site: 3 Control: 1-0102(852.27500) Status: Failed Cap: "
          "None Advertised"},
         {},
         [](DecodedSite& s) { ExpectNeighbor(s, 0x123, 1, 3, C, 2); }},
        {"secondary control channels of this site", AlternateControl(1, 2, C, 0x01, D, 0x00),
         {"Alternate Control Broadcast - Channel 1: 1-0102(852.27500) Cap: Composite control channel Channel 2: "
          "1-0103(852.28750) Cap: None Advertised"},
         {},
         [](DecodedSite& s) {
             ExpectAlternate(s, C);
             ExpectAlternate(s, D);
         }},
        {"secondary control channels of another site", AlternateControl(1, 3, C, 0x01, D, 0x00),
         {"Alternate Control Broadcast - Channel 1: 1-0102(852.27500) Cap: Composite control channel Channel 2: "
          "1-0103(852.28750) Cap: None Advertised"},
         {},
         NoChange},
        {"explicit secondary control channel", MakeMessage(0x29, {{2, 2, 0x0102}, {4, 2, C}, {7, 2, D}, {9, 1, 0x70}}),
         {"Explicit Alternate Control - RX Channel: 1-0102(852.27500) TX Channel: 1-0103(852.28750) Cap: "
          "Data,Voice,Registration"},
         {},
         [](DecodedSite& s) {
             ExpectAlternate(s, C);
             EXPECT_EQ(s.Row(C).InputChannel, D);
             EXPECT_EQ(s.ChannelCount(), 1);
         }},
        {"system service broadcast", MakeMessage(0x38, {{2, 4, 0xFFFFFFFF}, {6, 4, 0xFFFFFFFF}}),
         {"System Service Broadcast"},
         {},
         NoChange},
        // The 10-bit spacing field holds 0x164, of which only byte 5 (100) counts.
        {"identifier update", IdentifierUpdate(3, 100, false, 180, 0x164, 170202500),
         {"Identifier Update - ID: 03  Base: 851.01250  Spacing: 0.01250  Bandwidth: 0.01250  TX Offset: -45.00000"},
         {},
         [](DecodedSite& s) { ExpectTable(s, 3, 851.0125, -45.0, 0.0125, 0.0125, 1); }},
        {"identifier update, upward offset", IdentifierUpdate(15, 50, true, 120, 50, 152000000),
         {"Identifier Update - ID: 15  Base: 760.00000  Spacing: 0.00625  Bandwidth: 0.00625  TX Offset: 30.00000"},
         {},
         [](DecodedSite& s) { ExpectTable(s, 15, 760.0, 30.0, 0.00625, 0.00625, 1); }},
        {"VHF/UHF identifier update", IdentifierUpdate13(0x34, 5, 5, true, 400, 100, 29600000),
         {"Identifier Update - ID: 05  Base: 148.00000  Spacing: 0.01250  Bandwidth: 0.01250  TX Offset: 5.00000"},
         {"Updated Identifier Table 05... Base: 148.00000 Spacing: 0.01250 Bandwidth: 0.01250 TX Offset: 5.00000 "},
         [](DecodedSite& s) { ExpectTable(s, 5, 148.0, 5.0, 0.0125, 0.0125, 1); }},
        // Bandwidth code 4 is 6.25 kHz, not four steps of 2.5 kHz.
        {"VHF/UHF identifier update, 6.25 kHz", IdentifierUpdate13(0x34, 5, 4, true, 400, 100, 29600000),
         {"Identifier Update - ID: 05  Base: 148.00000  Spacing: 0.01250  Bandwidth: 0.00625  TX Offset: 5.00000"},
         {"Updated Identifier Table 05... Base: 148.00000 Spacing: 0.01250 Bandwidth: 0.00625 TX Offset: 5.00000 "},
         [](DecodedSite& s) { ExpectTable(s, 5, 148.0, 5.0, 0.0125, 0.00625, 1); }},
        {"TDMA identifier update, two slots", IdentifierUpdate13(0x33, 6, 3, true, 2400, 100, 153801250),
         {"Phase 2 TDMA Identifier Update - ID: 06  Base: 769.00625  Spacing: 0.01250  Bandwidth: 0.01250  TX Offset: "
          "30.00000  Slots: 2 Mode: TDMA Half Rate (12.5)"},
         {"Updated Identifier Table 06... Base: 769.00625 Spacing: 0.01250 Bandwidth: 0.01250 TX Offset: 30.00000 "
          "Slots: 2"},
         [](DecodedSite& s) {
             ExpectTable(s, 6, 769.00625, 30.0, 0.0125, 0.0125, 2);
             EXPECT_EQ(s.SystemInfo().Flavor, 2);
         }},
        {"TDMA identifier update, undefined channel type", IdentifierUpdate13(0x33, 7, 9, false, 100, 50, 170201250),
         {"Phase 2 TDMA Identifier Update - ID: 07  Base: 851.00625  Spacing: 0.00625  Bandwidth: 0.00000  TX Offset: "
          "-0.62500  Slots: 1"},
         {"Updated Identifier Table 07... Base: 851.00625 Spacing: 0.00625 Bandwidth: 0.00000 TX Offset: -0.62500 "
          "Slots: 1"},
         [](DecodedSite& s) { ExpectTable(s, 7, 851.00625, -0.625, 0.00625, 0.0, 1); }},
        {"TDMA sync, local offset west", SyncBroadcast(0x00, 0x65, 2024, 3, 9, 14, 5, 1234),
         {"TDMA Sync Broadcast - 2024/03/09 14:05 (1234) -5"},
         {},
         NoChange},
        {"TDMA sync, local offset east", SyncBroadcast(0x00, 0x47, 2000, 1, 1, 0, 0, 0),
         {"TDMA Sync Broadcast - 2000/01/01 00:00 (0) 7"},
         {},
         NoChange},
        {"TDMA sync, invalid, offset not valid", SyncBroadcast(0x04, 0x25, 2127, 12, 31, 23, 59, 8191),
         {"TDMA Sync Broadcast - *Invalid* 2127/12/31 23:59 (8191)"},
         {},
         NoChange},
        {"protection parameter broadcast", MakeMessage(0x3E, {{2, 4, 0x12345678}}),
         {"Protection Parameter Broadcast - Current Format unknown"},
         {},
         NoChange},
        {"protection parameter update", MakeMessage(0x3F, {{4, 1, 0x84}, {5, 2, 0x00AB}, {7, 3, 1234567}}),
         {"Protection Parameter Update - AlgID: 84  KeyID: 00AB  Radio ID: 1234567"},
         {},
         NoChange},
        {"multi-block header, neighbor status", MultiHeader(1, 0xABC, 0x83, 0x3C, 5, 6),
         {"MultiPacket - SysID: ABC Type: 3C(Neighbor Status Broadcast) Zone: 5 Site: 6 Status: Connected - Follow "
          "Count: 3"},
         {},
         [](DecodedSite& s) { ExpectNeighbor(s, 0xABC, 5, 6, NoChannel, 1); },
         true},
        {"multi-block header, RFSS status", MultiHeader(2, 0x123, 2, 0x3A, 0, 0),
         {"MultiPacket - SysID: 123 Type: 3A(RFSS Status Broadcast) - Follow Count: 2"},
         {},
         [](DecodedSite& s) { EXPECT_EQ(s.SystemInfo().SiteStatus, 2); },
         true},
        {"multi-block header, network status", MultiHeader(1, 0x456, 0, 0x3B, 0, 0),
         {"MultiPacket - SysID: 456 Type: 3B(Network Status Broadcast) - Follow Count: 0"},
         {},
         NoChange},
        {"multi-block header, type under the two top bits", MultiHeader(1, 0x456, 0x7F, 0xCA, 0, 0),
         {"MultiPacket - Type: 0A(Telephone Incomming Request) - Follow Count: 127"},
         {},
         NoChange},
        {"multi-block header, unnamed type", MultiHeader(0, 0, 0, 0x15, 0, 0),
         {"MultiPacket - Type: 15(Unknown) - Follow Count: 0"},
         {},
         NoChange},
    };
    return cases;
}

}

TEST(Broadcasts, EachMessageGivesItsTextAndModelEffect)
{
    for (const auto& c : BroadcastCases()) {
        SCOPED_TRACE(c.Name);
        DecodedSite site;
        EXPECT_TRUE(site.Decode(c.Block));
        EXPECT_EQ(site.Dump(), c.Dump);
        EXPECT_EQ(site.Events(), c.Events);
        EXPECT_TRUE(site.Unknowns().empty());
        c.Effect(site);
    }
}

TEST(Broadcasts, TextLogsSwitchedOffLeaveTheModelEffectsAlone)
{
    for (const auto& c : BroadcastCases()) {
        SCOPED_TRACE(c.Name);
        DecodedSite site;
        site.SetLogs(false);
        EXPECT_TRUE(site.Decode(c.Block));
        EXPECT_TRUE(site.Dump().empty());
        EXPECT_TRUE(site.Events().empty());
        if (c.EffectNeedsDump)
            NoChange(site);
        else
            c.Effect(site);
    }
}

TEST(Broadcasts, RfssStatusIdentifiesTheSystemAndOpensTheGate)
{
    ManualClock clock{1700000000};
    P25Class model{clock};
    model.SetPktDumpVisible(true);
    model.SetUnknownsVisible(true);
    ALLPKT dump[PacketDumpCapacity];
    UNKTSBK unknown[UnknownPacketCapacity];
    model.TakePacketDump(dump, PacketDumpCapacity); // the marker of the reset at construction
    const TsbkBlock grant = MakeMessage(0x00, {{3, 2, 0x0010}, {5, 2, 300}, {7, 3, 1}});
    EXPECT_FALSE(model.DecodeTsbk(grant.data()));
    EXPECT_EQ(model.TakePacketDump(dump, PacketDumpCapacity), 0);
    EXPECT_EQ(model.TakeUnknownPackets(unknown, UnknownPacketCapacity), 0);

    EXPECT_TRUE(model.DecodeTsbk(StatusBroadcast(0x3A, 1, 0xABC, 3, 4, 0x0001, 0x30).data()));
    SYSINFO info;
    model.GetSystemInfo(info);
    EXPECT_EQ(info.SysId, 0xABC);
    EXPECT_EQ(info.RfssId, 3);
    EXPECT_EQ(info.SiteId, 4);
    EXPECT_EQ(info.ServiceClass, 0x30);
    EXPECT_EQ(info.SiteStatus, 1);
    const int n = model.TakePacketDump(dump, PacketDumpCapacity);
    ASSERT_GE(n, 1);
    // The assumed plan of table 0 stands until the site sends its own.
    EXPECT_EQ(dump[n - 1].Text, "RFSS Status Broadcast - SysID: ABC Status: Connected Zone: 3 Site: 4 Control: "
                                "0-0001(851.01250) Cap: Data,Voice");
    FreqInfo rows[MaxChannels];
    ASSERT_EQ(model.GetChannels(rows, MaxChannels), 1);
    EXPECT_EQ(rows[0].Usage, "Control");

    EXPECT_TRUE(model.DecodeTsbk(grant.data()));
}

TEST(Broadcasts, IdentifierUpdateTellsOtherEventsOnlyOfAChangedTable)
{
    DecodedSite site;
    TsbkBlock vhf = IdentifierUpdate13(0x34, 5, 5, true, 400, 100, 29600000);
    TsbkBlock tdma = IdentifierUpdate13(0x33, 6, 3, true, 2400, 100, 153801250);
    site.Decode(vhf);
    site.Decode(tdma);
    EXPECT_EQ(site.Events().size(), 2u);
    // The same table again, from a block that differs in bits the decoder does not read.
    PutField(vhf, 4, 1, vhf[4] | 0x03);
    site.Decode(vhf);
    EXPECT_TRUE(site.Events().empty());
    // A repeated block is dropped by the other-events log itself, so another event comes first.
    site.Decode(IdentifierUpdate13(0x34, 8, 5, true, 400, 100, 29600000));
    site.Decode(tdma);
    EXPECT_EQ(site.Events(), Texts{"Updated Identifier Table 08... Base: 148.00000 Spacing: 0.01250 Bandwidth: "
                                   "0.01250 TX Offset: 5.00000 "});
    EXPECT_EQ(site.Dump().size(), 5u);

    // The plain identifier update never writes to the other-events log.
    site.Decode(IdentifierUpdate(9, 100, false, 180, 100, 170202500));
    EXPECT_TRUE(site.Events().empty());
}

TEST(Broadcasts, TdmaChannelTypesGiveSlotsBandwidthAndMode)
{
    struct Type
    {
        int Slots;
        double Bandwidth;
        std::string Mode;
    };
    const Type types[16] = {{1, 0.0125, " Mode: FDMA Half Rate (12.5)"},
                            {1, 0.0125, " Mode: FDMA Full Rate (12.5)"},
                            {1, 0.00625, " Mode: FDMA Half Rate (6.25)"},
                            {2, 0.0125, " Mode: TDMA Half Rate (12.5)"},
                            {4, 0.025, " Mode: TDMA Half Rate (25.0)"},
                            {2, 0.0125, " Mode: TDMA Half Rate (Half rate (H-D8PSK simul))"},
                            {1, 0.0, ""}, {1, 0.0, ""}, {1, 0.0, ""}, {1, 0.0, ""}, {1, 0.0, ""},
                            {1, 0.0, ""}, {1, 0.0, ""}, {1, 0.0, ""}, {1, 0.0, ""}, {1, 0.0, ""}};
    DecodedSite site;
    for (int type = 0; type < 16; ++type) {
        SCOPED_TRACE(type);
        site.Decode(IdentifierUpdate13(0x33, 4, type, true, 2400, 100, 153801250));
        const IDENTABLE table = site.Table(4);
        EXPECT_EQ(table.Slots, types[type].Slots);
        EXPECT_DOUBLE_EQ(table.Bandwidth, types[type].Bandwidth);
        const Texts dump = site.Dump();
        ASSERT_EQ(dump.size(), 1u);
        const std::string expected = Format("Phase 2 TDMA Identifier Update - ID: 04  Base: 769.00625  Spacing: "
                                            "0.01250  Bandwidth: %3.05f  TX Offset: 30.00000  Slots: %d",
                                            types[type].Bandwidth, types[type].Slots) +
                                     types[type].Mode;
        EXPECT_EQ(dump[0], expected);
    }
}

TEST(Broadcasts, ProtectionParametersAreShownOnlyWithBothSwitches)
{
    const TsbkBlock broadcast = MakeMessage(0x3E, {});
    const TsbkBlock update = MakeMessage(0x3F, {{4, 1, 0x01}, {5, 2, 0xBEEF}, {7, 3, 42}});
    DecodedSite site;
    for (const bool dump : {false, true}) {
        for (const bool protection : {false, true}) {
            site.model.SetPktDumpVisible(dump);
            site.model.SetLogProtectionData(protection);
            EXPECT_TRUE(site.Decode(broadcast));
            EXPECT_TRUE(site.Decode(update));
            const Texts expected = dump && protection
                                       ? Texts{"Protection Parameter Broadcast - Current Format unknown",
                                               "Protection Parameter Update - AlgID: 01  KeyID: BEEF  Radio ID: 42"}
                                       : Texts{};
            EXPECT_EQ(site.Dump(), expected);
        }
    }
    EXPECT_TRUE(site.Unknowns().empty());
}

TEST(Broadcasts, LoneHeaderAfterACheckedPacketIsRecognisedAndLeftAlone)
{
    DecodedSite site;
    site.model.SetMultiBlockSeen(true);
    EXPECT_TRUE(site.Decode(MultiHeader(1, 0xABC, 1, 0x3C, 5, 6)));
    EXPECT_TRUE(site.Decode(MultiHeader(2, 0x123, 1, 0x3A, 0, 0)));
    EXPECT_TRUE(site.Dump().empty());
    EXPECT_TRUE(site.Unknowns().empty());
    NoChange(site);
}

TEST(Broadcasts, OtherMakersBroadcastsAreUnrecognised)
{
    DecodedSite site;
    for (int opcode : {0x29, 0x38, 0x39, 0x3A, 0x3C, 0x3D, 0x3E, 0x3F, 0x34})
        EXPECT_FALSE(site.Decode(MakeMessage(opcode, {{3, 2, 0x1123}, {5, 1, 1}, {6, 1, 2}}, 0x90))) << opcode;
    EXPECT_FALSE(site.Decode(NetworkStatus(0xBEE00, 0x123, A, 0x00, 0xA4)));
    EXPECT_FALSE(site.Decode(MakeMessage(0x30, {}, 0x01)));
    EXPECT_EQ(site.Unknowns().size(), 11u);
    NoChange(site);
}
