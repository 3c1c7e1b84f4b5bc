#include <gtest/gtest.h>

#include "LockHolder.h"
#include "model/Locks.h"
#include "model/P25Class.h"

namespace {

constexpr int ChannelA = 0x0010;
constexpr int ChannelB = 0x0020;
constexpr int ChannelC = 0x0030;
constexpr int ChannelD = 0x0040;

class ChannelsTest : public ::testing::Test
{
protected:
    ManualClock clock{1700000000};
    P25Class model{clock};

    void SetUp() override
    {
        model.SetGrantsVisible(true);
        model.SetSystemAndSite(0x123, 1, 0x70, 2);
        TakeGrants();
        model.GetChannels(channels, MaxChannels);
    }

    const FreqInfo& Row(int channel)
    {
        const int n = model.GetChannels(channels, MaxChannels);
        for (int i = 0; i < n; ++i)
            if (channels[i].Channel == channel)
                return channels[i];
        static const FreqInfo missing = [] {
            FreqInfo row;
            row.Channel = -1;
            return row;
        }();
        return missing;
    }

    std::vector<GRANTLOG> TakeGrants()
    {
        std::vector<GRANTLOG> list(GrantLogCapacity);
        list.resize(model.TakeGrantLog(list.data(), GrantLogCapacity));
        return list;
    }

    TGTAG Talkgroup(int id)
    {
        TGTAG t;
        model.GetTalkgroup(id, t);
        return t;
    }

    FreqInfo channels[MaxChannels];
};

IDENTABLE Table(double base, double offset, double spacing, uint8_t slots, uint8_t source = 2)
{
    return {base, offset, spacing, spacing, source, slots};
}

}

TEST_F(ChannelsTest, DefaultTablesGiveOutputAndInputFrequencies)
{
    EXPECT_DOUBLE_EQ(model.ChannelFrequency(0x0000), 851.00625);
    EXPECT_DOUBLE_EQ(model.ChannelFrequency(0x1002), 762.01875);
    EXPECT_DOUBLE_EQ(model.ChannelFrequencyEx(0x0000, false), 806.00625);
    EXPECT_DOUBLE_EQ(model.ChannelFrequencyEx(0x1002, false), 792.01875);
    EXPECT_DOUBLE_EQ(model.ChannelFrequencyEx(0x1002, true), 762.01875);
    EXPECT_DOUBLE_EQ(model.ChannelFrequency(0x2005), 0.0);
    EXPECT_DOUBLE_EQ(model.ChannelFrequencyEx(0x2005, false), 0.0);

    model.GroupVoiceGrant(0x1002, 0, "", 1001, 100);
    const FreqInfo& row = Row(0x1002);
    EXPECT_DOUBLE_EQ(row.Frequency, 762.01875);
    EXPECT_EQ(row.InputChannel, 0x1002);
    EXPECT_DOUBLE_EQ(row.InputFrequency, 792.01875);
    EXPECT_EQ(row.InputExplicit, 0);
}

TEST_F(ChannelsTest, ChannelTextInEveryForm)
{
    EXPECT_EQ(model.ChannelText(0x1002, false, false), "1-0002");
    EXPECT_EQ(model.ChannelText(0x10A5, true, false), "1-0165(763.03750)");
    EXPECT_EQ(model.ChannelText(0x1002, true, true), "1-0002(762.01875)");
    EXPECT_EQ(model.ChannelText(0x2005, true, false), "2-0005(0.00000)");
    EXPECT_EQ(model.ChannelText(NoChannel, true, true), "15-4095(0.00000)");
    model.SetIdentifierTable(15, Table(851.0, -45.0, 0.00625, 1));
    EXPECT_EQ(model.ChannelText(NoChannel, true, true), "15-4095(831.59375)");

    model.SetIdentifierTable(2, Table(769.00625, 30.0, 0.0125, 2));
    EXPECT_DOUBLE_EQ(model.ChannelFrequency(0x200A), 769.06875);
    EXPECT_DOUBLE_EQ(model.ChannelFrequency(0x200B), 769.06875);
    EXPECT_EQ(model.ChannelSlot(0x200A), 0);
    EXPECT_EQ(model.ChannelSlot(0x200B), 1);
    EXPECT_EQ(model.ChannelSlot(0xF001), -1);
    EXPECT_EQ(model.ChannelText(0x200A, true, false), "2-0010(769.06875 Slot 0)");
    EXPECT_EQ(model.ChannelText(0x200B, true, false), "2-0011(769.06875 Slot 1)");
}

TEST_F(ChannelsTest, FirstStoredTableClearsAssumedOnesAndRecomputesChannels)
{
    model.GroupVoiceGrant(0x0001, 0, "", 1001, 100);
    model.GroupVoiceGrant(0x3004, 0, "", 1002, 200);
    EXPECT_DOUBLE_EQ(Row(0x3004).Frequency, 0.0);
    IDENTABLE tables[MaxIdentifierTables];
    model.GetIdentifierTables(tables, MaxIdentifierTables);
    EXPECT_EQ(model.AreIdentifierTablesChanged(), 0);

    const IDENTABLE table3 = Table(851.0125, -45.0, 0.0125, 1);
    EXPECT_TRUE(model.SetIdentifierTable(3, table3));
    EXPECT_EQ(model.AreIdentifierTablesChanged(), 1);
    EXPECT_EQ(model.AreChannelsChanged(), 1);
    EXPECT_DOUBLE_EQ(Row(0x3004).Frequency, 851.0625);
    EXPECT_DOUBLE_EQ(Row(0x0001).Frequency, 0.0);

    // The same entry again stores nothing, even before the screen has copied the tables.
    EXPECT_FALSE(model.SetIdentifierTable(3, table3));
    ASSERT_TRUE(model.GetIdentifierTables(tables, MaxIdentifierTables));
    EXPECT_EQ(tables[0], (IDENTABLE{0.0, 0.0, 0.0, 0.0, 0, 1}));
    EXPECT_EQ(tables[1], (IDENTABLE{0.0, 0.0, 0.0, 0.0, 0, 1}));
    EXPECT_EQ(tables[3], table3);
    EXPECT_FALSE(model.SetIdentifierTable(3, table3));
    EXPECT_EQ(model.AreIdentifierTablesChanged(), 0);

    EXPECT_FALSE(model.SetIdentifierTable(16, table3));
    EXPECT_FALSE(model.SetIdentifierTable(-1, table3));
    EXPECT_FALSE(model.GetIdentifierTables(tables, 0));

    model.ResetSiteLists();
    EXPECT_DOUBLE_EQ(model.ChannelFrequency(0x0000), 851.00625);
    EXPECT_DOUBLE_EQ(model.ChannelFrequency(0x3004), 0.0);
}

TEST_F(ChannelsTest, ManualTableStandsInUntilTheSiteSendsItsOwn)
{
    model.GroupVoiceGrant(0x3010, 0, "", 1001, 100);
    EXPECT_TRUE(model.SetManualIdentifierTable(3, Table(450.0, 5.0, 0.0125, 1, SourceAssumed)));
    EXPECT_DOUBLE_EQ(Row(0x3010).Frequency, 450.2);
    EXPECT_DOUBLE_EQ(model.ChannelFrequency(0x0000), 0.0);
    IDENTABLE tables[MaxIdentifierTables];
    model.GetIdentifierTables(tables, MaxIdentifierTables);
    EXPECT_EQ(tables[3].Source, SourceManual);

    // The site's own table replaces it, and the user cannot take it back.
    EXPECT_TRUE(model.SetIdentifierTable(3, Table(451.0, 5.0, 0.0125, 1, SourceConfirmed)));
    EXPECT_DOUBLE_EQ(Row(0x3010).Frequency, 451.2);
    EXPECT_FALSE(model.SetManualIdentifierTable(3, Table(450.0, 5.0, 0.0125, 1, SourceManual)));
    EXPECT_FALSE(model.SetManualIdentifierTable(3, IDENTABLE{}));
    EXPECT_DOUBLE_EQ(model.ChannelFrequency(0x3010), 451.2);

    // Emptying an assumed table leaves the other assumed one standing.
    model.SetSystemAndSite(0x124, 1, 0x70, 3);
    EXPECT_TRUE(model.SetManualIdentifierTable(0, IDENTABLE{}));
    EXPECT_DOUBLE_EQ(model.ChannelFrequency(0x0000), 0.0);
    EXPECT_DOUBLE_EQ(model.ChannelFrequency(0x1002), 762.01875);
    EXPECT_FALSE(model.SetManualIdentifierTable(16, Table(450.0, 5.0, 0.0125, 1, SourceManual)));
}

TEST_F(ChannelsTest, ExplicitInputChannelIsKeptUntilAnotherIsGiven)
{
    model.GroupVoiceGrant(0x0000, 0x1002, "", 1001, 100);
    FreqInfo row = Row(0x0000);
    EXPECT_EQ(row.InputChannel, 0x1002);
    EXPECT_DOUBLE_EQ(row.InputFrequency, 762.01875);
    EXPECT_EQ(row.InputExplicit, 1);

    model.GroupVoiceGrant(0x0000, 0, "", 1002, 101);
    row = Row(0x0000);
    EXPECT_EQ(row.InputChannel, 0x1002);
    EXPECT_EQ(row.InputExplicit, 1);

    // An input channel on an empty table falls back to the channel's own offset.
    model.GroupVoiceGrant(0x0000, 0x5001, "", 1003, 102);
    row = Row(0x0000);
    EXPECT_EQ(row.InputChannel, 0x5001);
    EXPECT_DOUBLE_EQ(row.InputFrequency, 806.00625);
    EXPECT_EQ(row.InputExplicit, 0);
    model.GroupVoiceGrant(0x0000, 0, "", 1004, 103);
    EXPECT_EQ(Row(0x0000).InputChannel, 0x0000);
}

TEST_F(ChannelsTest, RepeatedGrantCountsOneHitAndOneLogEntry)
{
    model.AddTalkgroup(100);
    model.AddRadio(1001, 100);
    EXPECT_TRUE(model.GroupVoiceGrant(ChannelA, 0, "", 1001, 100));
    EXPECT_FALSE(model.GroupVoiceGrant(ChannelA, 0, "", 1001, 100));
    const FreqInfo& row = Row(ChannelA);
    EXPECT_EQ(row.Usage, "Group");
    EXPECT_EQ(row.Talkgroup, 100);
    EXPECT_EQ(row.TalkgroupDescription, Talkgroup(100).Description);
    EXPECT_EQ(row.Radio, 1001);
    EXPECT_EQ(row.Hits, 1);
    EXPECT_EQ(row.UsageFlags, static_cast<uint32_t>(UsageVoice));
    EXPECT_EQ(Talkgroup(100).Hits, 1);
    const auto grants = TakeGrants();
    ASSERT_EQ(grants.size(), 1u);
    EXPECT_EQ(grants[0].Kind, "Group");
    EXPECT_EQ(grants[0].Channel, ChannelA);
    EXPECT_DOUBLE_EQ(grants[0].Frequency, model.ChannelFrequency(ChannelA));
    EXPECT_EQ(grants[0].Talkgroup, 100);
    EXPECT_EQ(grants[0].Radio, 1001);
    EXPECT_EQ(grants[0].Time, clock.Now());

    // A new talker or new options are a change, but not a new hit.
    EXPECT_TRUE(model.GroupVoiceGrant(ChannelA, 0, "Enc", 1002, 100));
    EXPECT_EQ(Row(ChannelA).Hits, 1);
    EXPECT_EQ(Row(ChannelA).Options, "Enc");
    EXPECT_EQ(Talkgroup(100).EncSeen, 0);
    EXPECT_TRUE(model.GroupVoiceGrant(ChannelB, 0, "Enc", 1002, 100));
    EXPECT_EQ(Talkgroup(100).EncSeen, 1);
}

TEST_F(ChannelsTest, GrantMovesTalkgroupAndIdlesTheOldChannel)
{
    model.AddTalkgroup(100);
    model.GroupVoiceGrant(ChannelA, 0, "Emrg", 1001, 100);
    model.GroupVoiceGrant(ChannelB, 0, "", 1002, 100);
    const FreqInfo a = Row(ChannelA);
    EXPECT_EQ(a.Usage, "");
    EXPECT_EQ(a.Talkgroup, 0);
    EXPECT_EQ(a.TalkgroupDescription, "");
    EXPECT_EQ(a.Radio, 0);
    EXPECT_EQ(a.Options, "");
    EXPECT_EQ(a.LastActivity, 0);
    EXPECT_EQ(a.UsageFlags, static_cast<uint32_t>(UsageVoice));
    EXPECT_EQ(Row(ChannelB).Talkgroup, 100);
    EXPECT_EQ(Row(ChannelB).Hits, 1);
    EXPECT_EQ(Talkgroup(100).Hits, 2);
}

TEST_F(ChannelsTest, ControlChannelSurvivesFreeingAndStaysActiveWhileAnnounced)
{
    EXPECT_TRUE(model.SetControlChannel(ChannelA, 0));
    EXPECT_FALSE(model.SetControlChannel(ChannelA, 0));
    EXPECT_TRUE(model.IsControlChannel(ChannelA));
    EXPECT_FALSE(model.IsControlChannel(ChannelB));

    model.SetChannelTalkgroup(ChannelA, 100);
    model.GroupVoiceGrant(ChannelB, 0, "", 1001, 100);
    EXPECT_EQ(Row(ChannelA).Usage, "Control");
    EXPECT_EQ(Row(ChannelA).Talkgroup, 0);

    for (int i = 0; i < 10; ++i) {
        clock.AdvanceTicks(10);
        model.SetControlChannel(ChannelA, 0);
        model.ExpireChannelActivity();
    }
    EXPECT_EQ(Row(ChannelA).Usage, "Control");
    EXPECT_EQ(Row(ChannelB).Usage, "");

    // A new control channel takes over; the old one keeps its letter only.
    EXPECT_TRUE(model.SetControlChannel(ChannelC, 0));
    EXPECT_EQ(Row(ChannelA).Usage, "");
    EXPECT_EQ(Row(ChannelA).UsageFlags, static_cast<uint32_t>(UsageControl));
    EXPECT_TRUE(model.IsControlChannel(ChannelC));
}

TEST_F(ChannelsTest, TalkgroupZeroFreesNothing)
{
    model.SetControlChannel(ChannelA, 0);
    model.PhoneGrant(ChannelC, 2001, "");
    model.SetChannelStationId(ChannelD, "WQAB123");
    clock.AdvanceTicks(5);
    const int32_t controlActivity = Row(ChannelA).LastActivity;

    model.DataChannelAnnouncement(ChannelB, 0);
    model.GroupVoiceGrant(ChannelB, 0, "", 1001, 0);
    model.SetChannelTalkgroup(ChannelB, 0);
    EXPECT_EQ(Row(ChannelA).Usage, "Control");
    EXPECT_EQ(Row(ChannelA).LastActivity, controlActivity);
    EXPECT_EQ(Row(ChannelC).Usage, "Phone");
    EXPECT_EQ(Row(ChannelC).Radio, 2001);
    EXPECT_EQ(Row(ChannelD).Usage, "Station ID");
    EXPECT_EQ(Row(ChannelD).Options, "WQAB123");

    clock.AdvanceTicks(DefaultTGTimeOut - 5);
    model.ExpireChannelActivity();
    EXPECT_EQ(Row(ChannelA).Usage, "Control");
}

TEST_F(ChannelsTest, ActivityExpiresAfterTheTimeOut)
{
    model.GroupVoiceGrant(ChannelA, 0, "", 1001, 100);
    clock.AdvanceTicks(DefaultTGTimeOut);
    EXPECT_FALSE(model.ExpireChannelActivity());
    EXPECT_EQ(Row(ChannelA).Usage, "Group");
    clock.AdvanceTicks(1);
    EXPECT_TRUE(model.ExpireChannelActivity());
    const FreqInfo& row = Row(ChannelA);
    EXPECT_EQ(row.Usage, "");
    EXPECT_EQ(row.Talkgroup, 0);
    EXPECT_EQ(row.Radio, 0);
    EXPECT_EQ(row.Hits, 1);

    model.SetTGTimeOut(2);
    EXPECT_EQ(model.TGTimeOut(), MinimumTGTimeOut);
    model.GroupVoiceGrant(ChannelA, 0, "", 1001, 100);
    clock.AdvanceTicks(6);
    EXPECT_TRUE(model.ExpireChannelActivity());

    // An expired channel granted again counts a new hit and logs again.
    TakeGrants();
    EXPECT_TRUE(model.GroupVoiceGrant(ChannelA, 0, "", 1001, 100));
    EXPECT_EQ(Row(ChannelA).Hits, 3);
    EXPECT_EQ(TakeGrants().size(), 1u);
}

TEST_F(ChannelsTest, StationIdOnTheControlChannelIsIgnored)
{
    model.SetControlChannel(ChannelA, 0);
    EXPECT_FALSE(model.SetChannelStationId(ChannelA, "WQAB123"));
    EXPECT_EQ(Row(ChannelA).UsageFlags, static_cast<uint32_t>(UsageControl));
    EXPECT_EQ(Row(ChannelA).Options, "");

    EXPECT_TRUE(model.SetChannelStationId(ChannelB, "WQAB123"));
    EXPECT_FALSE(model.SetChannelStationId(ChannelB, "WQAB123"));
    const FreqInfo& row = Row(ChannelB);
    EXPECT_EQ(row.Usage, "Station ID");
    EXPECT_EQ(row.Options, "WQAB123");
    EXPECT_EQ(row.UsageFlags, static_cast<uint32_t>(UsageSystemId));
    EXPECT_EQ(row.Hits, 1);
    const auto grants = TakeGrants();
    ASSERT_EQ(grants.size(), 1u);
    EXPECT_EQ(grants[0].Kind, "Station ID");
    EXPECT_EQ(grants[0].Text, "WQAB123");
    EXPECT_EQ(grants[0].Channel, ChannelB);
}

TEST_F(ChannelsTest, PrivatePhoneAndDataGrantsFillTheirRows)
{
    model.AddRadio(3001, 0);
    model.SetRadio(3002, "Chief", 0);
    EXPECT_TRUE(model.PrivateVoiceGrant(ChannelA, 3002, "", 3001));
    FreqInfo row = Row(ChannelA);
    EXPECT_EQ(row.Usage, "Private");
    EXPECT_EQ(row.Talkgroup, 3002);
    EXPECT_EQ(row.TalkgroupDescription, "Chief");
    EXPECT_EQ(row.Radio, 3001);
    EXPECT_EQ(row.UsageFlags, static_cast<uint32_t>(UsageVoice | UsagePrivate));
    EXPECT_FALSE(model.PrivateVoiceGrantUpdate(ChannelA, 3002, 3001));
    EXPECT_EQ(Row(ChannelA).Hits, 1);

    EXPECT_TRUE(model.PhoneGrant(ChannelB, 3001, ""));
    EXPECT_TRUE(model.PhoneGrant(ChannelB, 3002, ""));
    EXPECT_FALSE(model.PhoneGrantUpdate(ChannelB, 3001));
    row = Row(ChannelB);
    EXPECT_EQ(row.Usage, "Phone");
    EXPECT_EQ(row.Radio, 3002);
    EXPECT_EQ(row.Hits, 2);
    EXPECT_EQ(row.UsageFlags, static_cast<uint32_t>(UsagePhone));
    EXPECT_EQ(Row(ChannelA).Talkgroup, 3002);

    EXPECT_TRUE(model.GroupDataGrant(ChannelC, 100, "", 3001));
    EXPECT_TRUE(model.GroupDataGrant(ChannelD, -1, "", 3001));
    EXPECT_EQ(Row(ChannelD).Talkgroup, 0);
    EXPECT_EQ(Row(ChannelC).Talkgroup, 100);
    EXPECT_EQ(Row(ChannelD).UsageFlags, static_cast<uint32_t>(UsageData));

    EXPECT_TRUE(model.IndividualDataGrant(ChannelD, -1, "", 3001));
    EXPECT_TRUE(model.IndividualDataGrant(ChannelD, -1, "", 3001));
    EXPECT_TRUE(model.IndividualDataGrant(ChannelC, 3002, "", 3001));
    EXPECT_EQ(Row(ChannelA).Talkgroup, 3002);

    const auto grants = TakeGrants();
    std::vector<std::string> kinds;
    for (const auto& g : grants)
        kinds.push_back(g.Kind);
    EXPECT_EQ(kinds, (std::vector<std::string>{"Private", "Phone", "Phone", "Data", "Data", "Data", "Data", "Data"}));
    EXPECT_EQ(grants[0].Talkgroup, 3002);
    EXPECT_EQ(grants[0].Radio, 3001);
    EXPECT_EQ(grants[4].Talkgroup, -1);
}

TEST_F(ChannelsTest, FiftyFirstChannelIsRefused)
{
    for (int i = 0; i < MaxChannels; ++i)
        ASSERT_TRUE(model.GroupVoiceGrant(0x0100 + i, 0, "", 1000 + i, 100 + i));
    TakeGrants();
    EXPECT_FALSE(model.GroupVoiceGrant(0x0001, 0, "", 2000, 900));
    EXPECT_FALSE(model.SetChannelStationId(0x0001, "WQAB123"));
    EXPECT_FALSE(model.SetControlChannel(0x0001, 0));
    EXPECT_FALSE(model.MarkAlternateControlChannels(0x0001, 0x0002));
    EXPECT_FALSE(model.AddChannelUsageFlags(0x0001, UsageControl));
    EXPECT_EQ(model.GetChannels(channels, MaxChannels), MaxChannels);
    EXPECT_TRUE(TakeGrants().empty());
    EXPECT_TRUE(model.GroupVoiceGrant(0x0100, 0, "", 2000, 900));
}

TEST_F(ChannelsTest, ChannelsAreKeptInOrderWithAlternateMarksAndTowerFileValues)
{
    EXPECT_TRUE(model.MarkAlternateControlChannels(ChannelC, ChannelA));
    EXPECT_FALSE(model.MarkAlternateControlChannels(ChannelC, ChannelA));
    EXPECT_TRUE(model.MarkAlternateControlChannelExplicit(ChannelB, 0x1002));
    EXPECT_TRUE(model.AddChannelUsageFlags(ChannelD, UsageControl | UsageVoice));
    EXPECT_FALSE(model.AddChannelUsageFlags(ChannelD, UsageVoice));
    EXPECT_TRUE(model.MergeChannelHits(ChannelD, 42));
    EXPECT_FALSE(model.MergeChannelHits(ChannelD, 42));

    const int n = model.GetChannels(channels, MaxChannels);
    ASSERT_EQ(n, 4);
    EXPECT_EQ(channels[0].Channel, ChannelA);
    EXPECT_EQ(channels[1].Channel, ChannelB);
    EXPECT_EQ(channels[1].InputChannel, 0x1002);
    EXPECT_EQ(channels[2].Channel, ChannelC);
    EXPECT_EQ(channels[3].Channel, ChannelD);
    EXPECT_EQ(channels[0].UsageFlags, static_cast<uint32_t>(UsageAlternate));
    EXPECT_EQ(channels[3].UsageFlags, static_cast<uint32_t>(UsageControl | UsageVoice));
    EXPECT_EQ(channels[3].Hits, 42);
    EXPECT_EQ(channels[3].Usage, "");
    EXPECT_EQ(model.AreChannelsChanged(), 0);
    EXPECT_EQ(model.GetChannels(channels, 2), 2);
}

TEST_F(ChannelsTest, SingleAttemptOperationsGiveWayWhileChannelsAreBusy)
{
    model.GroupVoiceGrant(ChannelA, 0, "", 1001, 100);
    model.SetControlChannel(ChannelB, 0);
    LockHolder busy(Locks::FREQUENCY);
    clock.AdvanceTicks(100);
    EXPECT_FALSE(model.ExpireChannelActivity());
    EXPECT_FALSE(model.IsControlChannel(ChannelB));
    EXPECT_FALSE(model.SetControlChannel(ChannelC, 0));
    EXPECT_FALSE(model.GroupVoiceGrantUpdate(ChannelC, 0, 200));
    EXPECT_FALSE(model.PhoneGrantUpdate(ChannelC, 1001));
    EXPECT_FALSE(model.DataChannelAnnouncement(ChannelC, 300));
    EXPECT_FALSE(model.MarkAlternateControlChannels(ChannelC, ChannelD));
    EXPECT_FALSE(model.MarkAlternateControlChannelExplicit(ChannelC, 0));
}

TEST_F(ChannelsTest, UpdatesMoveTalkgroupsWithoutLogging)
{
    model.AddTalkgroup(200);
    EXPECT_TRUE(model.GroupVoiceGrantUpdate(ChannelA, 0, 200));
    EXPECT_FALSE(model.GroupVoiceGrantUpdate(ChannelA, 0, 200));
    EXPECT_TRUE(model.GroupVoiceGrantExplicit(ChannelB, 0x1002, "Enc", 200));
    EXPECT_EQ(Row(ChannelA).Usage, "");
    EXPECT_EQ(Row(ChannelB).InputChannel, 0x1002);
    EXPECT_EQ(Talkgroup(200).Hits, 2);
    EXPECT_EQ(Talkgroup(200).EncSeen, 1);
    EXPECT_TRUE(model.DataChannelAnnouncement(ChannelC, 200));
    EXPECT_EQ(Row(ChannelB).Usage, "");
    EXPECT_EQ(Row(ChannelC).Hits, 0);
    EXPECT_EQ(Talkgroup(200).Hits, 2);
    EXPECT_TRUE(TakeGrants().empty());
}
