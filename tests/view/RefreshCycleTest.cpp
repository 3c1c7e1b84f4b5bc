#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <deque>

#include "model/Locks.h"
#include "../model/LockHolder.h"
#include "view/RefreshCycle.h"

namespace {

class RefreshCycleTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        setenv("TZ", "UTC", 1);
        tzset();
    }

    void Cycle(int held = -1, bool raw = false) { refresh.RunCycle({true, held, raw}); }

    ManualClock clock{1700049600};
    P25Class model{clock};
    RefreshCycle refresh{model};
};

}

TEST_F(RefreshCycleTest, NothingIsDrawnBeforeTheSystemIsKnown)
{
    model.RecordAffiliation('A', 4001, "Group Affiliation", 100);
    Cycle();
    EXPECT_TRUE(refresh.Activity.empty());
    EXPECT_TRUE(refresh.AdjacentSites.empty());
    EXPECT_TRUE(refresh.IdentifierTables.empty());
    EXPECT_TRUE(refresh.SiteInformation.empty());
    EXPECT_EQ(refresh.Labels.SysId, "000");
    EXPECT_EQ(refresh.Labels.SiteField, "R000 S000");
    EXPECT_EQ(refresh.Labels.Status, "None");
    EXPECT_EQ(refresh.Labels.StatusLine, "Unknown");
    // The affiliation log runs regardless.
    EXPECT_EQ(refresh.Affiliations.Rows().size(), 1u);
}

TEST_F(RefreshCycleTest, SystemInformationAndIdentity)
{
    model.SetSystemAndSite(0x1A2, 1, 0x30, 3);
    model.SetWacn(0xBEE00);
    model.SetSiteStatus(1);
    model.AddCallSign("WQX123");
    model.AddCallSign("KA1ABC");
    Cycle();
    EXPECT_EQ(refresh.Labels.SystemField, "1A2/BEE00");
    EXPECT_EQ(refresh.Labels.SiteField, "R001 S003");
    EXPECT_EQ(refresh.Labels.Status, "OK");
    ASSERT_EQ(refresh.SiteInformation.size(), 10u);
    EXPECT_EQ(refresh.SiteInformation[6].Cells[0], "Data,Voice");
    EXPECT_EQ(refresh.SiteInformation[7].Caption, "Call Signs");
    EXPECT_EQ(refresh.SiteInformation[8].Cells[0], "Connected");

    // A new site shows at the next list step even when its flag was taken elsewhere.
    model.SetSystemAndSite(0x1A2, 1, 0x30, 4);
    SYSINFO taken;
    model.GetSystemInfo(taken);
    NEIGHBORREC n;
    n.SysId = 0x1A2;
    n.RfssId = 1;
    n.SiteId = 3;
    n.Status = 3;
    model.UpdateNeighbor(n);
    Cycle();
    EXPECT_EQ(refresh.Labels.Site, "004");
    ASSERT_EQ(refresh.AdjacentSites.size(), 1u);
    EXPECT_EQ(refresh.AdjacentSites[0].Caption, "103 (T0103)");
    EXPECT_EQ(refresh.AdjacentSites[0].Cells[4], "Connected, Current");
}

TEST_F(RefreshCycleTest, AffiliationListKeepsOneRowPerRadio)
{
    model.SetSystemAndSite(0x1A2, 1, 0x30, 3);
    model.RecordAffiliation('A', 4001, "Group Affiliation", 100);
    model.RecordAffiliation('A', 4001, "Group Affiliation", 200);
    model.RecordAffiliation('A', 4002, "Group Affiliation", 200);
    Cycle();
    ASSERT_EQ(refresh.Affiliations.Rows().size(), 2u);
    EXPECT_EQ(refresh.Affiliations.Rows()[0].Caption, "  200");
    EXPECT_EQ(refresh.AffiliationCaption, "Affiliation List (2)");
    EXPECT_EQ(refresh.Logs.List(LogKind::Affiliations).Rows().size(), 3u);
    model.RecordAffiliation('U', 4001, "Deregistration", 0);
    Cycle();
    ASSERT_EQ(refresh.Affiliations.Rows().size(), 1u);
    EXPECT_EQ(refresh.Affiliations.Rows()[0].Cells[1], "4002");
}

TEST_F(RefreshCycleTest, DenialsNeverBlockLaterAffiliations)
{
    Cycle();
    for (int radio = 1; radio <= AffiliationLogCapacity; ++radio)
        ASSERT_TRUE(model.RecordAffiliation('D', radio, "Denied", 100));
    Cycle();
    EXPECT_TRUE(model.RecordAffiliation('A', 4001, "Group Affiliation", 100));
    Cycle();
    EXPECT_EQ(refresh.Affiliations.Rows().size(), 1u);
}

TEST_F(RefreshCycleTest, RawLinesMoveFiveACycle)
{
    std::deque<std::string> lines;
    for (int i = 0; i < 12; ++i)
        lines.push_back("line " + std::to_string(i));
    refresh.popRawLine = [&](std::string& line) {
        if (lines.empty())
            return false;
        line = lines.front();
        lines.pop_front();
        return true;
    };
    const auto& rows = refresh.Logs.List(LogKind::RawDump).Rows();
    Cycle(-1, true);
    EXPECT_EQ(rows.size(), 5u);
    Cycle(-1, true);
    EXPECT_EQ(rows.size(), 10u);
    Cycle(-1, true);
    EXPECT_EQ(rows.size(), 12u);
    EXPECT_EQ(rows.back().Cells[0], "line 11");
}

TEST_F(RefreshCycleTest, HoldChangeRedrawsTheActivityList)
{
    model.SetSystemAndSite(0x1A2, 1, 0x30, 3);
    Cycle();
    int activityDraws = 0;
    refresh.onSection = [&](RefreshCycle::Section s) { activityDraws += s == RefreshCycle::Section::Activity; };
    Cycle(100);
    EXPECT_EQ(refresh.Hold, "Holding Talkgroup 100");
    Cycle(100);
    Cycle(-1);
    EXPECT_EQ(refresh.Hold, "No Hold");
    EXPECT_EQ(activityDraws, 2);
}

TEST_F(RefreshCycleTest, PatchListsAndCaption)
{
    model.SetSystemAndSite(0x1A2, 1, 0x30, 3);
    model.SetTalkgroup(100, "Fire", 0, 50, 0);
    model.AddPatch(100, 600);
    Cycle();
    ASSERT_EQ(refresh.PatchList.size(), 1u);
    EXPECT_EQ(refresh.PatchList[0].Caption, "00100 (Fire) --> 00600 ()");
    ASSERT_EQ(refresh.CurrentPatches.size(), 1u);
    EXPECT_EQ(refresh.CurrentPatches[0].Caption, "00100");
    EXPECT_EQ(refresh.CurrentPatches[0].Cells[0], "00600");
    EXPECT_EQ(refresh.PatchesCaption, "Patches (1)");
    ASSERT_EQ(refresh.Logs.List(LogKind::PatchLog).Rows().size(), 1u);
    EXPECT_EQ(refresh.Logs.List(LogKind::PatchLog).Rows()[0].Cells[1], "Added Patch:   100 (Fire) --> 600 ()");
}

TEST_F(RefreshCycleTest, UsageLettersFollowTheirFlags)
{
    model.SetSystemAndSite(0x1A2, 1, 0x30, 3);
    const struct
    {
        uint32_t Flags;
        const char* Letters;
    } cases[] = {
        {UsageControl, "c"},  {UsageAlternate, "a"}, {UsageVoice, "v"},         {UsageData, "d"},
        {UsageSystemId, "i"}, {UsagePrivate, "p"},   {UsagePhone, "t"},         {0x7F, "icavdpt"},
        {UsageControl | UsageAlternate, "ca"},       {UsageVoice | UsageData | UsageSystemId | UsagePrivate | UsagePhone, "ivdpt"},
    };
    for (const auto& c : cases) {
        FreqInfo channel;
        channel.Channel = 0x1001;
        channel.UsageFlags = c.Flags;
        EXPECT_EQ(ActivityRows(model, &channel, 1, -1, 0)[0].Cells[1], c.Letters) << c.Flags;
    }
}

// A system folder load holds SYSINFOLOCK for long: the cycle goes on without the section
// and draws it once the lock is free. Before that, nothing is told again and again.
TEST_F(RefreshCycleTest, CyclesNeverWaitForTheSystemLockNorRepeatThemselves)
{
    std::vector<RefreshCycle::Section> told;
    refresh.onSection = [&](RefreshCycle::Section s) { told.push_back(s); };
    model.SetChannelsChanged();
    Cycle();
    told.clear();
    for (int i = 0; i < 10; ++i)
        Cycle();
    EXPECT_TRUE(told.empty());

    model.SetSystemAndSite(0x1A2, 1, 0x30, 3);
    {
        LockHolder loading(Locks::SYSINFOLOCK);
        Cycle();
        EXPECT_EQ(refresh.Labels.SysId, "000");
    }
    Cycle();
    EXPECT_EQ(refresh.Labels.SysId, "1A2");
}

TEST_F(RefreshCycleTest, FilterRangesAreShownInOrderAndRefreshReadsDescriptionsAgain)
{
    model.SetSystemAndSite(0x1A2, 1, 0x30, 3);
    for (const auto& [low, high] : {std::pair{500, 600}, {100, 900}, {100, 200}})
        model.SetFilterRange(1, low, high);
    model.SetGrantsVisible(true);
    model.SetTalkgroup(300, "Fire", 0, 10, 0);
    model.RecordAffiliation('A', 4001, "Group Affiliation", 300);
    model.LogGrant("Group", 0x1001, "", 4001, 300);
    Cycle();
    ASSERT_EQ(refresh.FilterRanges.size(), 3u);
    EXPECT_EQ(refresh.FilterRanges[0].Caption + "-" + refresh.FilterRanges[0].Cells[0], "100-200");
    EXPECT_EQ(refresh.FilterRanges[2].Caption, "500");

    model.SetTalkgroup(300, "Fire Dispatch", 0, 10, 0);
    refresh.RefreshLogDescriptions();
    EXPECT_EQ(refresh.Logs.List(LogKind::GrantTrace).Rows().back().Cells[5], "Fire Dispatch");
    EXPECT_EQ(refresh.Logs.List(LogKind::RecentGrants).Rows().back().Cells[5], "Fire Dispatch");
    EXPECT_EQ(refresh.Logs.List(LogKind::Affiliations).Rows().back().Cells[3], "Fire Dispatch");
    refresh.RebuildAffiliationList();
    ASSERT_EQ(refresh.Affiliations.Rows().size(), 1u);
    EXPECT_EQ(refresh.Affiliations.Rows()[0].Cells[0], "Fire Dispatch");
}
