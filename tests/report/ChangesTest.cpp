#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

#include "report/Changes.h"

namespace {

using Rows = std::vector<std::vector<std::string>>;

constexpr int64_t Noon = 1700049600; // 11/15/2023 12:00:00 UTC

FreqInfo Channel(int channel, uint32_t letters, const std::string& usage = "")
{
    FreqInfo f;
    f.Channel = channel;
    f.UsageFlags = letters;
    f.Usage = usage;
    return f;
}

TGTAG Talkgroup(int id, const std::string& description, int64_t firstSeen = 0, int hits = 0)
{
    TGTAG t;
    t.Id = id;
    t.Description = description;
    t.FirstSeen = firstSeen;
    t.Hits = hits;
    return t;
}

RADTAG Radio(int id, const std::string& description, int64_t lastSeen = 0)
{
    RADTAG r;
    r.Id = id;
    r.Description = description;
    r.LastSeen = lastSeen;
    return r;
}

NEIGHBORREC Neighbor(int sysId, int rfss, int site, int channel, double frequency)
{
    NEIGHBORREC n;
    n.SysId = sysId;
    n.RfssId = rfss;
    n.SiteId = site;
    n.Channel = channel;
    n.Frequency = frequency;
    return n;
}

SystemSnapshot Before()
{
    SystemSnapshot s;
    s.SysId = 0x1A4;
    s.RfssId = 1;
    s.SiteId = 3;
    s.Talkgroups = {Talkgroup(100, "Police")};
    s.Radios = {Radio(5000, "")};
    s.Towers = {{1, 3, "North"}, {1, 4, "East"}};
    s.Neighbors = {Neighbor(0x1A4, 1, 4, 0x1050, 851.5), Neighbor(0x1A4, 1, 5, 0x1060, 851.6)};
    s.IdentifierTables[1] = {851.00625, -45.0, 0.00625, 0.0125, SourceConfirmed, 1};
    s.Channels = {Channel(0x102D, UsageControl), Channel(0x1079, UsageVoice)};
    s.Services = "Data,Voice";
    s.Flavor = "Phase 1";
    return s;
}

}

class CompareSnapshotsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        setenv("TZ", "UTC", 1);
        tzset();
    }
};

TEST_F(CompareSnapshotsTest, EqualSnapshotsChangeNothing)
{
    const ReportTable table = CompareSnapshots(Before(), Before());
    EXPECT_TRUE(table.Rows.empty());
    EXPECT_EQ(table.Empty, "Nothing changed since the system folder was loaded.");
    EXPECT_EQ(table.Columns, (std::vector<std::string>{"Kind", "What", "Before", "After", "When"}));
}

TEST_F(CompareSnapshotsTest, EachKindOnceSortedByKindThenWhat)
{
    SystemSnapshot now = Before();
    now.Talkgroups.push_back(Talkgroup(907, "Fire Dispatch", Noon, 12));
    now.Talkgroups.push_back(Talkgroup(1000, "", Noon + 1, 1));
    now.Radios.push_back(Radio(6001, "Engine 1", Noon));
    now.Towers = {{1, 3, "North"}, {1, 7, "West"}};
    now.Neighbors = {Neighbor(0x1A4, 1, 4, 0x1050, 851.5), Neighbor(0x2B1, 2, 1, NoChannel, 0.0)};
    now.IdentifierTables[1].Spacing = 0.0125;
    now.Channels = {Channel(0x102D, UsageControl | UsageAlternate), Channel(0x1079, UsageVoice | UsagePhone, "Control")};
    now.Patches = {{100, 65001, Noon}, {907, 65001, Noon + 5}};
    now.Services = "Data,Voice,Registration";
    now.Flavor = "Phase 2";

    const Rows expected = {
        {"Alternate channels", "1-3", "", "01-0045", ""},
        {"Control channel", "1-3", "01-0045", "01-0121", ""},
        {"Flavor", "1-3", "Phase 1", "Phase 2", ""},
        {"Identifier table", "id 1", "base 851.00625 spacing 0.00625 offset -45.00000 bandwidth 0.01250 slots 1 Confirmed",
         "base 851.00625 spacing 0.01250 offset -45.00000 bandwidth 0.01250 slots 1 Confirmed", ""},
        {"Neighbor gone", "1A4 1-5", "01-0096 851.60000", "", ""},
        {"New neighbor", "2B1 2-1", "", "Unknown", ""},
        {"New radio", "6001 Engine 1", "", "", "11/15/2023 12:00:00"},
        {"New site", "1-7", "", "West", ""},
        {"New talkgroup", "907 Fire Dispatch", "", "hits 12", "11/15/2023 12:00:00"},
        {"New talkgroup", "1000", "", "hits 1", "11/15/2023 12:00:01"},
        {"New usage letter", "01-0045", "c", "ca", ""},
        {"New usage letter", "01-0121", "v", "vt", ""},
        {"Patch seen", "supergroup 65001", "", "members 100 907", "11/15/2023 12:00:05"},
        {"Services", "1-3", "Data,Voice", "Data,Voice,Registration", ""},
        {"Site gone", "1-4", "East", "", ""},
    };
    EXPECT_EQ(CompareSnapshots(Before(), now).Rows, expected);
}

TEST_F(CompareSnapshotsTest, AnotherSiteLeavesTheSiteListsOut)
{
    SystemSnapshot now = Before();
    now.SiteId = 4;
    now.Neighbors.clear();
    now.Channels = {Channel(0x1200, UsageControl, "Control")};
    now.Services = "Voice";
    // A first sight (no site known before) has everything new.
    SystemSnapshot first;
    first.SysId = 0x1A4;

    EXPECT_EQ(CompareSnapshots(Before(), now).Rows, Rows{});
    const Rows fresh = CompareSnapshots(first, now).Rows;
    ASSERT_FALSE(fresh.empty());
    EXPECT_EQ(fresh.front(), (std::vector<std::string>{"Control channel", "1-4", "", "01-0512", ""}));
}
