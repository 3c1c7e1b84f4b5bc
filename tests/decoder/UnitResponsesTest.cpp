#include "decoder/MessageTest.h"

namespace {

constexpr uint32_t Target = 100;
constexpr uint32_t Source = 200;

// WACN 0x00A5C with System ID 0x123 in bytes 3-6.
constexpr uint32_t WacnAndSystem = 0x00A5Cu << 12 | 0x123;

using UnitResponses = MessageTest;

}

TEST_F(UnitResponses, EveryMessageWritesItsText)
{
    ExpectTexts({
        {Message(0x05, 0, {{4, 3, Target}, {7, 3, Source}}), "Unit-Unit Answer - From : 200 To: 100", true},
        // Half-bytes above 9 become the characters after '9'.
        {Message(0x0A, 0, {{2, 4, 0x5551234A}, {6, 1, 0xBF}, {7, 3, 42}}), "Incoming Phone (5551234:;?)  -> 42",
         true},
        {Message(0x18, 0, {{2, 1, 7}, {4, 3, Target}, {7, 3, Source}}),
         "Unit Status Update - Src RID: 200 Dst RID: 100 Status: 7", true},
        {Message(0x1A, 0, {{4, 3, Target}, {7, 3, Source}}), "Status Query - 200 -> 100", true},
        {Message(0x1C, 0, {{2, 2, 0x0BEF}, {4, 3, Target}, {7, 3, Source}}), "Message Update - 200 -> 100 (0BEF)",
         true},
        {Message(0x1D, 0, {{4, 3, Target}, {7, 3, Source}}), "Remote Radio Monitor - 100 Monitoring 200", true},
        {Message(0x1E, 0, {{4, 3, Target}, {7, 3, Source}}), "Radio Monitor - 100 Monitoring 200", true},
        {Message(0x1F, 0, {{4, 3, Target}, {7, 3, Source}}), "Call Alert - 200 Alerting 100", true},
        {Message(0x2A, 0, {{4, 3, Target}}), "Group Affiliation Query -> 100", true},
        {Message(0x24, 0, {{3, 1, 0x00}, {7, 3, Source}}), "Radio Check: 200", true},
        {Message(0x24, 0, {{3, 1, 0x7D}, {7, 3, Source}}), "Radio Detach: 200", true},
        {Message(0x24, 0, {{3, 1, 0x7E}, {7, 3, Source}}), "Radio Un-Inhibit: 200", true},
        {Message(0x24, 0, {{3, 1, 0x7F}, {7, 3, Source}}), "Radio Inhibit: 200", true},
        {Message(0x24, 0, {{3, 1, 0x12}, {4, 3, 77}, {7, 3, Source}}), "Unknown Response: 200 -> 77", true},
        {Message(0x20, 0, {{2, 1, 0xC0}, {3, 4, WacnAndSystem}}),
         "ACK_RSP_FNE: Op=00 (Group Voice Grant) SysID: 123 WACN:   A5C", true},
        {Message(0x20, 0, {{2, 1, 0x9F}, {4, 3, 0xFFFFFD}, {7, 3, 300}}),
         "ACK_RSP_FNE: Op=1f (Call Alert) System -> 300", true},
        {Message(0x20, 0, {{2, 1, 0xAA}, {4, 3, Target}, {7, 3, Source}}),
         "ACK_RSP_FNE: Op=2a (Unknown Code 0x2a) 100 -> 200", true},
        {Message(0x20, 0, {{2, 1, 0x2C}, {4, 3, Target}, {7, 3, Source}}),
         "ACK_RSP_FNE: Op=2c (Unit Registration) RadioID: 200", true},
        {Message(0x21, 0, {{2, 1, 0x04}, {3, 1, 0x2F}, {4, 3, Target}, {7, 3, Source}}),
         "Queued Response - Service Type: Unit to Unit Voice Grant - Source Radio: 100 - Target Radio: 200 - "
         "Reason: : target unit has queued this call",
         true},
        {Message(0x21, 0, {{2, 1, 0x00}, {3, 1, 0x40}, {4, 1, 0x0A}, {5, 2, 321}, {7, 3, Source}}),
         "Queued Response - Service Type: Group Voice Grant - Call Options: 0x0a - Group:   321 - Target Radio: "
         "200 - Reason: : No channel resources are currently available",
         true},
        {Message(0x21, 0, {{2, 1, 0x1F}, {3, 1, 0x99}, {4, 3, Target}, {7, 3, Source}}),
         "Queued Response - Service Type: Call Alert - Source Radio: 100 - Target Radio: 200 - Reason: : reserved",
         true},
        {Message(0x27, 0, {{2, 1, 0x00}, {3, 1, 0x10}, {4, 3, Target}, {7, 3, Source}}),
         "Deny Response: 100 -> 200 (Group Voice Grant): the requesting unit is not valid", true},
        {Message(0x27, 0, {{2, 1, 0x84}, {3, 1, 0x55}, {4, 3, Target}, {7, 3, Source}}),
         "Deny Response: SU: 00200 (Unit to Unit Voice Grant): reserved", true},
        {Message(0x27, 0, {{2, 1, 0x00}, {3, 1, 0x24}, {5, 2, 77}, {7, 3, Source}}),
         "Deny Response: 200 -> 00077 (Group Voice Grant): SU Could not be authenticated at this time", true},
        {Message(0x28, 0, {{2, 1, 0x81}, {5, 2, 500}, {7, 3, 1000}}),
         "Group Affiliation Response - Group: 500 RadioID : 1000 Result: Failed (Global)", false},
        {Message(0x28, 0, {{2, 1, 0x00}, {3, 2, 77}, {5, 2, 500}, {7, 3, 1000}}),
         "Group Affiliation Response - Group: 500 Annce-Grp: 77 RadioID : 1000 Result: Accept (Local)", false},
        {Message(0x2B, 0, {{2, 1, 3}, {3, 2, 500}, {7, 3, 1000}}),
         "Location Registration Response - Group: 500 RadioID : 1000 Result: Refused", false},
        {Message(0x2C, 0, {{2, 2, 0x20AB}, {4, 3, Target}, {7, 3, Source}}),
         "Unit Registration - SysID: 0AB Source ID: 100 Working ID: 200 Status: Deny", true},
        {Message(0x2D, 0, {{4, 3, Target}}), "Unit Registration Command -> 100", true},
        {Message(0x2E, 0, {{3, 4, 0xBEE0000F}, {7, 3, Source}}), "Authenticate: SysID: 00F WACN: BEE00 ID: 200 ",
         true},
        {Message(0x2F, 0, {{7, 3, 1000}}), "De-Registration Response - RadioID : 1000", false},
        {Message(0x36, 0, {{2, 1, 1}, {3, 4, WacnAndSystem}, {7, 3, Source}}),
         "ROAM_ADDR_CMD - SysID: 123  WACN: 00A5C Action:  Write Radio ID: 200", false},
        {Message(0x36, 0, {{2, 1, 9}, {3, 4, WacnAndSystem}, {7, 3, Source}}),
         "ROAM_ADDR_CMD - SysID: 123  WACN: 00A5C Action:  Reserved Radio ID: 200", false},
    });
}

TEST_F(UnitResponses, ExtendedFunctionOfAnotherClassIsUnrecognised)
{
    EXPECT_FALSE(model.DecodeTsbk(Message(0x24, 0, {{2, 1, 0x01}, {7, 3, Source}}).data()));
    EXPECT_EQ(Unknowns(), 1);
    EXPECT_EQ(Dump(), std::vector<std::string>{"Unknown Op=24 Mfg 00(Standard)"});
    EXPECT_TRUE(Events().empty());
}

TEST_F(UnitResponses, CallAlertLogsAGrantAndAddsBothRadios)
{
    model.DecodeTsbk(Message(0x1F, 0, {{4, 3, Target}, {7, 3, Source}}).data());
    const auto grants = Grants();
    ASSERT_EQ(grants.size(), 1u);
    EXPECT_EQ(grants[0].Kind, "Alert");
    EXPECT_EQ(grants[0].Channel, -1);
    EXPECT_EQ(grants[0].Radio, 200);
    EXPECT_EQ(grants[0].Talkgroup, 100);
    RADTAG radio;
    EXPECT_TRUE(model.GetRadio(100, radio));
    EXPECT_TRUE(model.GetRadio(200, radio));
}

TEST_F(UnitResponses, AffiliationResponseRecordsItsResult)
{
    model.DecodeTsbk(Message(0x28, 0, {{2, 1, 0x80}, {5, 2, 500}, {7, 3, 1000}}).data());
    EXPECT_TRUE(model.TalkgroupExists(500));
    RADTAG radio;
    EXPECT_TRUE(model.GetRadio(1000, radio));
    auto log = Affiliations();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].Function, 'A');
    EXPECT_EQ(log[0].Text, "Affiliate");
    EXPECT_EQ(log[0].Talkgroup, 500);
    EXPECT_EQ(log[0].Radio, 1000);
    ASSERT_EQ(AffiliationList().size(), 1u);

    // Failed, denied and refused are logged but leave the list alone; a repeat is dropped,
    // the dump line is not.
    model.DecodeTsbk(Message(0x28, 0, {{2, 1, 0x81}, {5, 2, 600}, {7, 3, 1001}}).data());
    model.DecodeTsbk(Message(0x28, 0, {{2, 1, 0x82}, {5, 2, 600}, {7, 3, 1002}}).data());
    model.DecodeTsbk(Message(0x28, 0, {{2, 1, 0x03}, {5, 2, 600}, {7, 3, 1003}}).data());
    model.DecodeTsbk(Message(0x28, 0, {{2, 1, 0x83}, {5, 2, 600}, {7, 3, 1003}}).data());
    log = Affiliations();
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[0].Function, 'D');
    EXPECT_EQ(log[0].Text, "Failed");
    EXPECT_EQ(log[1].Text, "Denied");
    EXPECT_EQ(log[2].Text, "Refused");
    EXPECT_EQ(AffiliationList().size(), 1u);
    EXPECT_EQ(Dump().size(), 5u);
}

TEST_F(UnitResponses, LocationRegistrationAddsTheGroupOnlyWhenAccepted)
{
    model.DecodeTsbk(Message(0x2B, 0, {{2, 1, 3}, {3, 2, 500}, {7, 3, 1000}}).data());
    EXPECT_FALSE(model.TalkgroupExists(500));
    auto log = Affiliations();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].Function, 'D');
    EXPECT_EQ(log[0].Text, "Refused");

    model.DecodeTsbk(Message(0x2B, 0, {{2, 1, 0}, {3, 2, 500}, {7, 3, 1000}}).data());
    EXPECT_TRUE(model.TalkgroupExists(500));
    log = Affiliations();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].Function, 'A');
    const auto list = AffiliationList();
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].Talkgroup, 500);
    EXPECT_EQ(list[0].Radio, 1000);
}

TEST_F(UnitResponses, DeregistrationAndForcedRegistrationUnaffiliate)
{
    model.DecodeTsbk(Message(0x2B, 0, {{3, 2, 500}, {7, 3, 1000}}).data());
    model.DecodeTsbk(Message(0x2B, 0, {{3, 2, 500}, {7, 3, 1001}}).data());
    ASSERT_EQ(AffiliationList().size(), 2u);
    Affiliations();

    model.DecodeTsbk(Message(0x2F, 0, {{7, 3, 1000}}).data());
    model.DecodeTsbk(Message(0x2D, 0, {{4, 3, 1001}}).data());
    EXPECT_TRUE(AffiliationList().empty());
    const auto log = Affiliations();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].Function, 'U');
    EXPECT_EQ(log[0].Text, "Unaffiliate");
    EXPECT_EQ(log[0].Radio, 1000);
    EXPECT_EQ(log[0].Talkgroup, 0);
    EXPECT_EQ(log[1].Function, 'U');
    EXPECT_EQ(log[1].Text, "Forced");
    EXPECT_EQ(log[1].Radio, 1001);
}

TEST_F(UnitResponses, QueuedResponsesLogTheirPairOncePerSecond)
{
    const TsbkBlock unitService = Message(0x21, 0, {{2, 1, 0x04}, {3, 1, 0x2F}, {4, 3, Target}, {7, 3, Source}});
    model.DecodeTsbk(unitService.data());
    model.DecodeTsbk(unitService.data());
    auto grants = Grants();
    ASSERT_EQ(grants.size(), 1u);
    EXPECT_EQ(grants[0].Kind, "Queued");
    EXPECT_EQ(grants[0].Talkgroup, 100);
    EXPECT_EQ(grants[0].Radio, 200);
    clock.Advance(1);
    model.DecodeTsbk(unitService.data());
    EXPECT_EQ(Grants().size(), 1u);

    // A group service is logged as its talkgroup and the unit that asked for it.
    model.DecodeTsbk(Message(0x21, 0, {{2, 1, 0x16}, {3, 1, 0x30}, {4, 1, 0x0A}, {5, 2, 321}, {7, 3, Source}}).data());
    grants = Grants();
    ASSERT_EQ(grants.size(), 1u);
    EXPECT_EQ(grants[0].Talkgroup, 321);
    EXPECT_EQ(grants[0].Radio, 200);
}

TEST_F(UnitResponses, RegistrationMessagesPassTheGateBeforeTheSiteIsKnown)
{
    P25Class fresh{clock};
    fresh.SetPktDumpVisible(true);
    std::vector<ALLPKT> dump(PacketDumpCapacity);
    fresh.TakePacketDump(dump.data(), PacketDumpCapacity);
    EXPECT_TRUE(fresh.DecodeTsbk(Message(0x2B, 0, {{3, 2, 500}, {7, 3, 1000}}).data()));
    EXPECT_TRUE(fresh.DecodeTsbk(Message(0x2C, 0, {{2, 2, 0x0123}, {4, 3, Target}, {7, 3, Source}}).data()));
    EXPECT_TRUE(fresh.DecodeTsbk(Message(0x2F, 0, {{7, 3, 1000}}).data()));
    EXPECT_FALSE(fresh.DecodeTsbk(Message(0x28, 0, {{5, 2, 500}, {7, 3, 1000}}).data()));
    EXPECT_EQ(fresh.TakePacketDump(dump.data(), PacketDumpCapacity), 3);
}

TEST_F(UnitResponses, TextsFollowTheirSwitches)
{
    const TsbkBlock alert = Message(0x1F, 0, {{4, 3, Target}, {7, 3, Source}});
    const TsbkBlock deregistration = Message(0x2F, 0, {{7, 3, 1000}});

    model.SetPktDumpVisible(false);
    model.DecodeTsbk(alert.data());
    model.DecodeTsbk(deregistration.data());
    EXPECT_TRUE(Dump().empty());
    EXPECT_EQ(Events(), std::vector<std::string>{"Call Alert - 200 Alerting 100"});

    // With every text switch off the model still changes.
    model.SetOtherInfoVisible(false);
    model.DecodeTsbk(Message(0x1F, 0, {{4, 3, 300}, {7, 3, 400}}).data());
    EXPECT_TRUE(Dump().empty());
    model.SetOtherInfoVisible(true);
    EXPECT_TRUE(Events().empty());
    RADTAG radio;
    EXPECT_TRUE(model.GetRadio(400, radio));
    EXPECT_EQ(Grants().size(), 2u);
}
