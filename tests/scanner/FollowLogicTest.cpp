#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include <algorithm>

#include "model/P25Class.h"
#include "persistence/Config.h"
#include "scanner/FollowLogic.h"
#include "scanner/ScannerControl.h"
#include "support/TemporaryFolder.h"
#include "support/TestScanner.h"

namespace {

FreqInfo Row(int channel, const char* usage, int talkgroup, const char* options = "")
{
    FreqInfo row;
    row.Channel = channel;
    row.Frequency = 851.0 + channel * 0.0125;
    row.Usage = usage;
    row.Talkgroup = talkgroup;
    row.Options = options;
    return row;
}

FreqInfo OnFrequency(FreqInfo row, double frequency)
{
    row.Frequency = frequency;
    return row;
}

struct FollowCase
{
    const char* Name;
    std::vector<FreqInfo> Channels;
    int Expected;
    int Held = NoTalkgroup;
    int LastFollowed = NoTalkgroup;
    std::vector<PATCHREC> Patches = {};
    int High = 99;
    int Low = 1;
    int PrivatePriority = 0;
    bool TuneData = false;
};

// The selection cases, also run through ExplainFollow.
const std::vector<FollowCase>& SelectCases()
{
    static const std::vector<FollowCase> cases = {
        {"nothing to follow", {}, -1},
        {"idle and control channels", {Row(1, "Control", 0), Row(2, "", 0)}, -1},

        {"priority 3 beats 5", {Row(1, "Group", 100), Row(2, "Group", 200)}, 2},
        {"low threshold 4 leaves out priority 3", {Row(1, "Group", 100), Row(2, "Group", 200)}, 1,
         NoTalkgroup, NoTalkgroup, {}, 99, 4},
        {"high threshold 4 keeps priority 3", {Row(1, "Group", 100), Row(2, "Group", 200)}, 2,
         NoTalkgroup, NoTalkgroup, {}, 4, 1},
        {"both thresholds included", {Row(1, "Group", 100)}, 1, NoTalkgroup, NoTalkgroup, {}, 5, 5},
        {"outside both thresholds", {Row(1, "Group", 100), Row(2, "Group", 200)}, -1,
         NoTalkgroup, NoTalkgroup, {}, 2, 1},
        {"priority 0 never, whatever the thresholds", {Row(1, "Group", 300)}, -1,
         NoTalkgroup, NoTalkgroup, {}, 99, 0},
        {"unknown talkgroup has priority 50", {Row(1, "Group", 900)}, -1, NoTalkgroup, NoTalkgroup, {}, 49, 1},
        {"equal priority: first in table order", {Row(1, "Group", 600), Row(2, "Group", 100)}, 1},

        {"encrypted never followed", {Row(1, "Group", 700, "Enc"), Row(2, "Group", 100)}, 2},
        {"encrypted never followed, not even held", {Row(1, "Group", 700, "Enc")}, -1, 700},

        {"emergency first, whatever its priority", {Row(1, "Group", 700), Row(2, "Group", 900, "Emrg")}, 2},
        {"emergency on priority 0 outside the thresholds", {Row(1, "Group", 300, "Emrg")}, 1,
         NoTalkgroup, NoTalkgroup, {}, 10, 5},
        {"emergency before the hold", {Row(1, "Group", 100), Row(2, "Group", 900, "Emrg")}, 2, 100},
        {"emergency ignored: an ordinary call", {Row(1, "Group", 400, "Emrg"), Row(2, "Group", 100)}, 2},
        {"ignored emergency still follows its priority", {Row(1, "Group", 400, "Emrg")}, 1},

        {"hold shuts out a better call", {Row(1, "Group", 200), Row(2, "Group", 700)}, -1, 100},
        {"hold follows its talkgroup", {Row(1, "Group", 700), Row(2, "Group", 100)}, 2, 100},
        {"hold follows the supergroup of a patch", {Row(1, "Group", 700), Row(2, "Group", 500)}, 2, 100,
         NoTalkgroup, {{100, 500, 0}}},
        {"hold ignores a patch of another member", {Row(1, "Group", 500)}, -1, 100, NoTalkgroup, {{101, 500, 0}}},
        {"hold ignores thresholds and priority 0", {Row(1, "Group", 300)}, 1, 300, NoTalkgroup, {}, 10, 5},

        {"stay against equal priority", {Row(1, "Group", 600), Row(2, "Group", 100)}, 2, NoTalkgroup, 100},
        {"stay against lower priority", {Row(1, "Group", 800), Row(2, "Group", 100)}, 2, NoTalkgroup, 100},
        {"a better call takes over", {Row(1, "Group", 700), Row(2, "Group", 100)}, 1, NoTalkgroup, 100},
        {"stay needs something chosen", {Row(1, "Group", 100)}, -1, NoTalkgroup, 100, {}, 4, 1},
        {"stay skips encrypted rows", {Row(1, "Group", 600), Row(2, "Group", 100, "Enc")}, 1, NoTalkgroup, 100},

        {"private calls off with private priority 0", {Row(1, "Private", 123456), Row(2, "Phone", 0)}, -1},
        {"private priority 2 beats a group of 3", {Row(1, "Group", 200), Row(2, "Private", 123456)}, 2,
         NoTalkgroup, NoTalkgroup, {}, 99, 1, 2},
        {"phone call with private priority", {Row(1, "Phone", 0)}, 1, NoTalkgroup, NoTalkgroup, {}, 99, 1, 7},

        {"data and station ID off without TuneData", {Row(1, "Data", 100), Row(2, "Station ID", 0, "WXYZ123")}, -1},
        {"data with TuneData", {Row(1, "Station ID", 0, "WXYZ123"), Row(2, "Data", 100)}, 2,
         NoTalkgroup, NoTalkgroup, {}, 99, 1, 0, true},
        {"station ID alone is never followed", {Row(1, "Station ID", 0, "WXYZ123")}, -1,
         NoTalkgroup, NoTalkgroup, {}, 99, 1, 0, true},
        {"data comes after a voice call of priority 99", {Row(1, "Data", 100), Row(2, "Group", 800)}, 2,
         NoTalkgroup, NoTalkgroup, {}, 99, 1, 0, true},
        {"data comes after every voice call", {Row(1, "Data", 100), Row(2, "Group", 100)}, 2,
         NoTalkgroup, NoTalkgroup, {}, 99, 1, 0, true},
    };
    return cases;
}

class FollowTest : public ::testing::Test
{
protected:
    FollowTest()
    {
        // Talkgroup, priority, emergency-ignore mark; any other talkgroup has priority 50.
        const struct
        {
            int Id;
            uint8_t Priority;
            uint8_t EmrgIgnore;
        } talkgroups[] = {{100, 5, 0}, {200, 3, 0}, {300, 0, 0}, {400, 50, 1},
                          {500, 40, 0}, {600, 5, 0}, {700, 1, 0}, {800, 99, 0}};
        for (const auto& t : talkgroups)
            model.SetTalkgroup(t.Id, "", 0, t.Priority, t.EmrgIgnore);
    }

    int Select(const FollowCase& c)
    {
        config.MonitorThresholdHigh = c.High;
        config.MonitorThresholdLow = c.Low;
        config.PrivatePriority = c.PrivatePriority;
        config.TuneData = c.TuneData;
        const FollowContext context{model, config, c.Patches, c.Held, c.LastFollowed};
        return SelectFollowChannel(c.Channels, context);
    }

    std::vector<FollowDecision> Explain(const FollowCase& c, bool scannerControlOn = true)
    {
        const int chosen = Select(c);
        const FollowContext context{model, config, c.Patches, c.Held, c.LastFollowed};
        return ExplainFollow(c.Channels, context, chosen, scannerControlOn);
    }

    P25Class model;
    CONFIG config;
};

}

TEST_F(FollowTest, SelectFollowChannelTable)
{
    for (const FollowCase& c : SelectCases())
        EXPECT_EQ(Select(c), c.Expected) << c.Name;
}

TEST_F(FollowTest, ExplainFollowGivesEachCallItsReason)
{
    using R = FollowReason;
    const struct
    {
        FollowCase Case;
        // The row looked at, and what it must be told.
        int Channel;
        R Reason;
        const char* Text;
        bool ScannerOn = true;
    } cases[] = {
        {{"followed", {Row(1, "Group", 100)}, 1}, 1, R::Followed, "Tuned to 851.01250 MHz"},
        {{"scanner control off", {Row(1, "Group", 100)}, 1}, 1, R::ScannerOff, "Followed (scanner control off)",
         false},
        {{"no identifier table", {OnFrequency(Row(1, "Group", 100), 0.0)}, 1}, 1, R::FrequencyUnknown,
         "Frequency unknown (no identifier table)"},
        {{"beyond every scanner", {OnFrequency(Row(1, "Group", 100), 5000.0)}, 1}, 1, R::OutOfRange,
         "Frequency outside the scanner's range"},
        {{"held elsewhere", {Row(1, "Group", 200), Row(2, "Group", 100)}, 2, 100}, 1, R::Held, "Held talkgroup 100"},
        {{"priority 0", {Row(1, "Group", 300), Row(2, "Group", 100)}, 2}, 1, R::PriorityZero,
         "Priority 0 (ignored)"},
        {{"outside thresholds", {Row(1, "Group", 800)}, -1, NoTalkgroup, NoTalkgroup, {}, 50, 1}, 1,
         R::OutsideThresholds, "Priority 99 outside 1-50"},
        {{"a better call", {Row(1, "Group", 100), Row(2, "Group", 200)}, 2}, 1, R::LostToHigher,
         "Talkgroup 200 (priority 3) followed"},
        {{"the followed call stays", {Row(1, "Group", 600), Row(2, "Group", 100)}, 2, NoTalkgroup, 100}, 1,
         R::LostToHigher, "Talkgroup 100 (priority 5) followed"},
        {{"an emergency", {Row(1, "Group", 700), Row(2, "Group", 900, "Emrg")}, 2}, 1, R::LostToHigher,
         "Talkgroup 900 (emergency) followed"},
        {{"a private call", {Row(1, "Group", 200), Row(2, "Private", 123456)}, 2, NoTalkgroup, NoTalkgroup, {}, 99,
          1, 2},
         1, R::LostToHigher, "Private call (priority 2) followed"},
        {{"encrypted, even held", {Row(1, "Group", 700, "Enc")}, -1, 700}, 1, R::Encrypted, "Encrypted"},
        {{"emergency ignored, lost", {Row(1, "Group", 400, "Emrg"), Row(2, "Group", 200)}, 2}, 1,
         R::EmergencyIgnored, "Emergency ignored, talkgroup 200 (priority 3) followed"},
        {{"emergency ignored, thresholds", {Row(1, "Group", 400, "Emrg")}, -1, NoTalkgroup, NoTalkgroup, {}, 10, 1},
         1, R::EmergencyIgnored, "Emergency ignored, priority 50 outside 1-10"},
        {{"private calls off", {Row(1, "Phone", 0)}, -1}, 1, R::PrivateOff, "Private calls off (priority 0)"},
        {{"data off", {Row(1, "Data", 100)}, -1}, 1, R::DataOff, "Data calls off"},
        {{"data after a voice call", {Row(1, "Data", 100), Row(2, "Group", 800)}, 2, NoTalkgroup, NoTalkgroup, {},
          99, 1, 0, true},
         1, R::LostToHigher, "Talkgroup 800 (priority 99) followed"},
        {{"station ID with data on", {Row(1, "Station ID", 0, "WXYZ123")}, -1, NoTalkgroup, NoTalkgroup, {}, 99, 1,
          0, true},
         1, R::Unfollowable, "Station ID never followed"},
    };
    for (const auto& c : cases) {
        ASSERT_EQ(Select(c.Case), c.Case.Expected) << c.Case.Name;
        const std::vector<FollowDecision> decisions = Explain(c.Case, c.ScannerOn);
        const auto it = std::ranges::find(decisions, c.Channel, &FollowDecision::Channel);
        ASSERT_NE(it, decisions.end()) << c.Case.Name;
        EXPECT_EQ(it->Reason, c.Reason) << c.Case.Name;
        EXPECT_EQ(it->Text, c.Text) << c.Case.Name;
    }
}

TEST_F(FollowTest, ExplainFollowAgreesWithSelectFollowChannel)
{
    for (const FollowCase& c : SelectCases()) {
        for (const bool scannerOn : {true, false}) {
            const std::vector<FollowDecision> decisions = Explain(c, scannerOn);
            const auto calls = std::ranges::count_if(
                c.Channels, [](const FreqInfo& row) { return !row.Usage.empty() && row.Usage != "Control"; });
            EXPECT_EQ(static_cast<long>(decisions.size()), calls) << c.Name;
            int marked = -1;
            for (const FollowDecision& d : decisions) {
                const bool chosen = d.Reason == FollowReason::Followed || d.Reason == FollowReason::ScannerOff;
                if (chosen) {
                    EXPECT_EQ(marked, -1) << c.Name;
                    EXPECT_EQ(d.Reason, scannerOn ? FollowReason::Followed : FollowReason::ScannerOff) << c.Name;
                    marked = d.Channel;
                }
                // A loser always names the call that won.
                EXPECT_TRUE(d.Reason != FollowReason::LostToHigher || c.Expected != -1) << c.Name;
            }
            EXPECT_EQ(marked, c.Expected) << c.Name;
        }
    }
}

class FollowStepTest : public FollowTest
{
protected:
    FollowStepTest()
    {
        WriteText(folder / "Test.scanner", "[Commands]\nQuiet=Q$UNIDENQUIET$$CR$\nActive=A$UNIDENFREQ$ $SP-KHZ$$CR$\n");
        control = std::make_unique<ScannerControl>(scanner.SlavePath(), "Test.scanner", 866.0, 9600, folder.Path());
        tables[1].Spacing = 0.00625;
        config.ScanControlEnabled = true;
    }

    int Step(const std::vector<FreqInfo>& channels, bool decodeActive = true)
    {
        const FollowContext context{model, config, {}, NoTalkgroup, lastFollowed};
        return RunFollowStep(channels, tables, context, control.get(), decodeActive, lastFollowed);
    }
    std::string Sent(int waitMs = 300)
    {
        const auto bytes = scanner.ReadSent(waitMs);
        return std::string(bytes.begin(), bytes.end());
    }

    TemporaryFolder folder;
    TestScanner scanner;
    std::unique_ptr<ScannerControl> control;
    std::array<IDENTABLE, MaxIdentifierTables> tables{};
    int lastFollowed = NoTalkgroup;
};

TEST_F(FollowStepTest, TunesWithTheTableSpacingAndParksWhenIdle)
{
    ASSERT_TRUE(control->IsActive());
    std::vector<FreqInfo> channels = {Row(0x0001, "Control", 0), Row(0x1002, "Group", 200)};
    channels[1].Frequency = 851.0125;

    EXPECT_EQ(Step(channels), 1);
    EXPECT_EQ(lastFollowed, 200);
    EXPECT_EQ(Sent(), "A08510125 6.25\r");
    // The same decision again sends nothing.
    EXPECT_EQ(Step(channels), 1);
    EXPECT_EQ(Sent(100), "");

    // An empty table (a site change) parks the scanner, once.
    EXPECT_EQ(Step({}), -1);
    EXPECT_EQ(Sent(), "Q08660000\r");
    EXPECT_EQ(Step({channels[0]}), -1);
    EXPECT_EQ(Sent(100), "");
    EXPECT_EQ(lastFollowed, 200);
}

TEST_F(FollowStepTest, MarksTheRowWithoutScannerControl)
{
    std::vector<FreqInfo> channels = {Row(0x1002, "Group", 100), Row(0x1003, "Group", 200)};

    config.ScanControlEnabled = false;
    EXPECT_EQ(Step(channels), 1);
    EXPECT_EQ(lastFollowed, 200);
    EXPECT_EQ(Step({}), -1);

    config.ScanControlEnabled = true;
    EXPECT_EQ(Step(channels, false), 1);
    EXPECT_EQ(Step({}, false), -1);
    EXPECT_EQ(Sent(100), "");

    // No controller at all.
    control.reset();
    EXPECT_EQ(Step(channels), 1);
}
