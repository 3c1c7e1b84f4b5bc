#include "report/Reconcile.h"

#include <cstdlib>
#include <ctime>
#include <gtest/gtest.h>
#include <tuple>

#include "model/Locks.h"
#include "model/P25Class.h"
#include "support/TemporaryFolder.h"

namespace {

constexpr int64_t Now = 1700000000;
constexpr int64_t Day = 86400;
constexpr int Control = 0x1001;   // 851.0125
constexpr int Alternate = 0x1002; // 851.0250
constexpr int Voice = 0x1003;     // 851.0375

class ReconcileTest : public ::testing::Test
{
protected:
    ReconcileTest()
    {
        setenv("TZ", "UTC", 1);
        tzset();
        model.SetDataFolder(data.Path());
        model.SetSystemAndSite(0x1A2, 1, 0x70, 3);
        model.SetIdentifierTable(1, {.Base = 851.0, .TxOffset = -45.0, .Spacing = 0.0125, .Bandwidth = 0.0125,
                                     .Source = SourceConfirmed, .Slots = 1});
        model.SetControlChannel(Control, 0);
        model.MarkAlternateControlChannels(Alternate, Alternate);
        {
            NamedLockGuard guard(Locks::FREQUENCY);
            model.FindOrAddChannel(Voice, 0);
        }
        for (const auto& [sysId, rfss, site, channel] : {std::tuple(0x1A2, 1, 4, 0x1004), std::tuple(0x1A2, 1, 9, 0x1005),
                                                          std::tuple(0x2B3, 1, 7, 0x1006)})
        {
            NEIGHBORREC neighbor;
            neighbor.SysId = sysId;
            neighbor.RfssId = rfss;
            neighbor.SiteId = site;
            neighbor.Channel = channel;
            model.UpdateNeighbor(neighbor);
        }
        Heard(100, 5, false);
        Heard(200, 3, false);
        Heard(400, 2, true);
        Heard(500, 4, false);
        // Named in an affiliation only: not heard, so not missed by the directory.
        model.AddTalkgroup(700);

        directory.SysId = 0x1A2;
        directory.HasSites = directory.HasTalkgroups = true;
        directory.Sites = {
            {1, 3, "Hilltop", {{851.0125, "control"}, {851.0375, ""}, {852.5, "alternate"}}},
            // A neighbour shows one frequency: the others are not missed.
            {1, 4, "River", {{851.05, "control"}, {851.9, "alternate"}}},
            {1, 8, "Valley", {}},
        };
        directory.Talkgroups = {Listed(100, "FD100", "D"), Listed(300, "Roads", "D"), Listed(400, "Water", "D"),
                                Listed(500, "Tac", "DE")};
    }

    static DirectoryTalkgroup Listed(int id, const std::string& alphaTag, const std::string& mode)
    {
        DirectoryTalkgroup talkgroup;
        talkgroup.Id = id;
        talkgroup.AlphaTag = alphaTag;
        talkgroup.Mode = mode;
        return talkgroup;
    }

    void Heard(int id, int hits, bool encrypted)
    {
        model.AddTalkgroup(id);
        model.SetTalkgroupHits(id, hits);
        if (encrypted)
            model.MarkTalkgroupEncrypted(id);
    }

    TemporaryFolder data;
    ManualClock clock{Now};
    P25Class model{clock};
    DirectoryRecord directory;
};

}

TEST_F(ReconcileTest, EachDifferenceOnce)
{
    using Rows = std::vector<std::vector<std::string>>;
    const ReportTable table = Reconcile(model, directory, Now, DefaultNeverHeardDays);
    EXPECT_EQ(table.Columns, (std::vector<std::string>{"Kind", "What", "On the air", "In the directory", "Details"}));
    const Rows expected = {
        {"Not in the directory", "Talkgroup 200", "3 hits, first seen 11/14/2023 22:13:20, last seen 11/14/2023 22:13:20",
         "", "First heard at site 1-3"},
        {"Never heard", "Talkgroup 300", "Never heard", "Roads, Mode D", ""},
        {"Heard encrypted, listed clear", "Talkgroup 400", "Encrypted calls", "Water, Mode D", ""},
        {"Listed encrypted, heard clear", "Talkgroup 500", "Only clear calls, 4 hits", "Tac, Mode DE", ""},
        {"Site not in the directory", "Site 1-9", "Announced as a neighbour, 851.06250 MHz", "", ""},
        {"Site never seen", "Site 1-8", "", "Valley", ""},
        {"Frequency not in the directory", "851.02500 MHz at site 1-3", "Alternate", "", "Hilltop"},
        {"Frequency never seen", "852.50000 MHz at site 1-3", "", "alternate", "Hilltop"},
    };
    EXPECT_EQ(table.Rows, expected);

    // Heard, but not for longer than the days allowed.
    model.SetTalkgroup(100, "Fire", Now - 40 * Day, 255, 0);
    const Rows stale = {{"Never heard", "Talkgroup 100", "Last heard 10/05/2023 22:13:20", "FD100, Mode D",
                         "Not heard for 40 days"}};
    const ReportTable later = Reconcile(model, directory, Now, DefaultNeverHeardDays);
    ASSERT_EQ(later.Rows.size(), expected.size() + 1);
    EXPECT_EQ(later.Rows[1], stale[0]);
    EXPECT_EQ(Reconcile(model, directory, Now, 41).Rows, expected);
}

TEST_F(ReconcileTest, NoImportAndAgreement)
{
    const ReportTable none = Reconcile(model, DirectoryRecord{}, Now, DefaultNeverHeardDays);
    EXPECT_TRUE(none.Rows.empty());
    EXPECT_EQ(none.Empty, "No directory import yet for system 1A2: import it first (System > Import System "
                          "Information from Radio Reference, or zembrant-cli import --system 1A2)");

    directory.Sites = {{1, 3, "Hilltop", {{851.0125, "control"}, {851.025, "alternate"}, {851.0375, ""}}},
                       {1, 4, "River", {{851.05, "control"}}},
                       {1, 9, "Lake", {{851.0625, "control"}}}};
    directory.Talkgroups = {Listed(100, "FD100", "D"), Listed(200, "", ""), Listed(400, "", "DE"), Listed(500, "", "D")};
    const ReportTable agreed = Reconcile(model, directory, Now, DefaultNeverHeardDays);
    EXPECT_TRUE(agreed.Rows.empty()) << ReportText(agreed);
    EXPECT_EQ(agreed.Empty, "The directory and the air agree.");

    // An import that skipped a part says nothing about it.
    directory.HasSites = directory.HasTalkgroups = false;
    directory.Sites.clear();
    directory.Talkgroups.clear();
    EXPECT_TRUE(Reconcile(model, directory, Now, DefaultNeverHeardDays).Rows.empty());
}
