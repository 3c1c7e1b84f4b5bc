#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

#include "platform/TextFormat.h"
#include "input/CaptureReplay.h"
#include "view/LogLists.h"
#include "model/P25Class.h"
#include "platform/Files.h"
#include "support/Blocks.h"
#include "support/TemporaryFolder.h"

namespace {

constexpr int64_t Noon = 1700049600; // 11/15/2023 12:00:00 UTC

class LogListsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        setenv("TZ", "UTC", 1);
        tzset();
        model.SetGrantsVisible(true);
        model.SetSystemAndSite(0x1A2, 1, 0x70, 3);
        model.SetTalkgroup(100, "Fire", 0, 5, 0);
        model.SetTalkgroup(200, "Quiet", 0, 0, 0);
        model.SetRadio(4001, "Engine 1", 0);
    }

    GRANTLOG Grant(const std::string& kind, int channel, int talkgroup, int radio, const std::string& text = "")
    {
        GRANTLOG g;
        g.Time = Noon;
        g.Kind = kind;
        g.Channel = channel;
        g.Frequency = channel == -1 ? 0.0 : model.ChannelFrequency(channel);
        g.Talkgroup = talkgroup;
        g.Radio = radio;
        g.Text = text;
        g.Site = {0x1A2, 1, 3};
        return g;
    }

    const std::vector<std::string>& TraceRow(size_t i) { return logs.List(LogKind::GrantTrace).Rows()[i].Cells; }

    ManualClock clock{Noon};
    P25Class model{clock};
    LogLists logs;
    LogSettings settings;
    TemporaryFolder folder;
};

}

TEST_F(LogListsTest, GrantRowsByKind)
{
    logs.AddGrant(model, settings, Grant("Group", 0x1001, 100, 4001, "Enc"));
    logs.AddGrant(model, settings, Grant("Private", 0x1002, 4001, 4002));
    logs.AddGrant(model, settings, Grant("Phone", 0x1003, -1, 4001));
    logs.AddGrant(model, settings, Grant("Station ID", 0x1001, -1, 0, "WQX123"));
    logs.AddGrant(model, settings, Grant("Queued", -1, 100, 4001));

    const std::string freq = Format("%3.05f", model.ChannelFrequency(0x1001));
    EXPECT_EQ(TraceRow(0), (std::vector<std::string>{"11/15/2023 12:00:00", "Group (Enc)", "01-0001", freq, "  100",
                                                     "Fire", "4001", "Engine 1"}));
    EXPECT_EQ(TraceRow(1)[1], "Private");
    EXPECT_EQ(TraceRow(1)[4], "4001");
    EXPECT_EQ(TraceRow(1)[5], "Engine 1");
    EXPECT_EQ(TraceRow(2)[4], "");
    EXPECT_EQ(TraceRow(2)[6], "4001");
    EXPECT_EQ(TraceRow(3), (std::vector<std::string>{"11/15/2023 12:00:00", "Station ID", "01-0001", freq, "", "WQX123",
                                                     "", ""}));
    EXPECT_EQ(TraceRow(4)[2], "");
    EXPECT_EQ(TraceRow(4)[3], "");

    const auto& recent = logs.List(LogKind::RecentGrants).Rows();
    ASSERT_EQ(recent.size(), 5u);
    EXPECT_EQ(recent[0].Cells[0], "12:00:00");
    EXPECT_EQ(recent[0].Cells[1], "Group");
}

TEST_F(LogListsTest, GrantFilterByPriorityAndKind)
{
    settings.GrantsUseFilter = true;
    settings.GrantsFilterLevel = 10;
    logs.AddGrant(model, settings, Grant("Group", 0x1001, 100, 1)); // priority 5
    logs.AddGrant(model, settings, Grant("Group", 0x1001, 300, 1)); // unknown: 50
    logs.AddGrant(model, settings, Grant("Group", 0x1001, 200, 1)); // priority 0 never passes
    logs.AddGrant(model, settings, Grant("Phone", 0x1001, -1, 1)); // no talkgroup: 50
    settings.GrantsFilterLevel = 60;
    logs.AddGrant(model, settings, Grant("Phone", 0x1001, -1, 1));
    settings.GrantsFilterOther = true;
    logs.AddGrant(model, settings, Grant("Phone", 0x1001, -1, 1));
    ASSERT_EQ(logs.List(LogKind::GrantTrace).Rows().size(), 2u);
    EXPECT_EQ(TraceRow(0)[4], "  100");
    EXPECT_EQ(TraceRow(1)[1], "Phone");
    EXPECT_EQ(logs.List(LogKind::RecentGrants).Rows().size(), 2u);
}

TEST_F(LogListsTest, RecentGrantsKeepTheNewestRows)
{
    settings.GrantLogMax = 3;
    for (int tg = 1; tg <= 5; ++tg)
        logs.AddGrant(model, settings, Grant("Group", 0x1001, tg, 1));
    const auto& recent = logs.List(LogKind::RecentGrants).Rows();
    ASSERT_EQ(recent.size(), 3u);
    EXPECT_EQ(recent.front().Cells[4], "    3");
}

TEST_F(LogListsTest, SaveWritesHeaderOnceAndEachRowOnce)
{
    logs.AddGrant(model, settings, Grant("Group", 0x1001, 100, 4001));
    LogList& trace = logs.List(LogKind::GrantTrace);
    std::string error;
    ASSERT_TRUE(trace.Save(folder.Path(), model.LogSite(), false, Noon, error)) << error;
    ASSERT_TRUE(trace.Save(folder.Path(), model.LogSite(), false, Noon, error));
    logs.AddGrant(model, settings, Grant("Group", 0x1001, 100, 4001));
    ASSERT_TRUE(trace.Save(folder.Path(), model.LogSite(), false, Noon, error));

    const std::string freq = Format("%3.05f", model.ChannelFrequency(0x1001));
    const std::string row = "\"11/15/2023 12:00:00\",\"Group\",\"01-0001\",\"" + freq +
                            "\",\"  100\",\"Fire\",\"4001\",\"Engine 1\"\r\n";
    EXPECT_EQ(ReadText(folder / "System1A2/GrantLog-103.csv"),
              "\"Timestamp\",\"Type\",\"Channel\",\"Frequency\",\"TG ID\",\"TalkGroup Description\",\"Radio "
              "ID\",\"Radio Description\"\r\n" +
                  row + row);
    EXPECT_FALSE(trace.HasUnsaved());
}

TEST_F(LogListsTest, RowsGoToTheFileOfTheSiteTheyWereLoggedUnder)
{
    GRANTLOG old = Grant("Group", 0x1001, 100, 4001);
    old.Site = {0x1A2, 1, 2};
    logs.AddGrant(model, settings, old);
    logs.AddGrant(model, settings, Grant("Group", 0x1001, 100, 4001));
    std::string error;
    ASSERT_TRUE(logs.List(LogKind::GrantTrace).Save(folder.Path(), model.LogSite(), true, Noon, error));
    EXPECT_TRUE(FileExists(folder / "System1A2/20231115-GrantLog-102.csv"));
    EXPECT_TRUE(FileExists(folder / "System1A2/20231115-GrantLog-103.csv"));
}

TEST_F(LogListsTest, NothingIsSavedWithoutASystem)
{
    AFFLOG record;
    record.Function = 'A';
    record.Radio = 4001;
    record.Talkgroup = 100;
    record.Text = "Group Affiliation";
    record.Time = Noon;
    logs.AddAffiliation(model, settings, record);
    std::string error;
    EXPECT_TRUE(logs.List(LogKind::Affiliations).Save(folder.Path(), LOGSITE{}, false, Noon, error));
    EXPECT_TRUE(logs.List(LogKind::Affiliations).HasUnsaved());
    EXPECT_FALSE(IsDirectory(folder / "System000"));

    // Logged before the system was known: saved under the current site.
    ASSERT_TRUE(logs.List(LogKind::Affiliations).Save(folder.Path(), model.LogSite(), false, Noon, error));
    EXPECT_EQ(ReadText(folder / "System1A2/Affiliations-103.csv"),
              "\"Timestamp\",\"Function\",\"TG ID\",\"TG Description\",\"RadioID\",\"Radio Description\"\r\n"
              "\"11/15/2023 12:00:00\",\"Group Affiliation\",100,\"Fire\",4001,\"Engine 1\"\r\n");
}

TEST_F(LogListsTest, DeniedAffiliationsOnlyWhenAsked)
{
    AFFLOG denied;
    denied.Function = 'D';
    denied.Radio = 4001;
    denied.Time = Noon;
    logs.AddAffiliation(model, settings, denied);
    EXPECT_TRUE(logs.List(LogKind::Affiliations).Rows().empty());
    settings.LogDenied = true;
    logs.AddAffiliation(model, settings, denied);
    ASSERT_EQ(logs.List(LogKind::Affiliations).Rows().size(), 1u);
    EXPECT_EQ(logs.List(LogKind::Affiliations).Rows()[0].Cells[2], "");
}

TEST_F(LogListsTest, ClearMarkerSavesUnsavedRowsFirst)
{
    std::vector<LogKind> cleared;
    logs.onClear = [&](LogKind kind) { cleared.push_back(kind); };
    logs.AddGrant(model, settings, Grant("Group", 0x1001, 100, 4001));
    GRANTLOG marker;
    logs.AddGrant(model, settings, marker);
    EXPECT_EQ(cleared, std::vector<LogKind>{LogKind::GrantTrace});
    EXPECT_TRUE(logs.List(LogKind::GrantTrace).Rows().empty());
    logs.AddGrant(model, settings, marker);
    EXPECT_EQ(cleared.size(), 1u);
}

TEST_F(LogListsTest, CapDropsTheOldestRow)
{
    LogList& dump = logs.List(LogKind::PacketDump);
    ALLPKT packet;
    packet.Time = Noon;
    for (int i = 0; i < 10001; ++i) {
        packet.Text = std::to_string(i);
        logs.AddPacket(packet);
    }
    ASSERT_EQ(dump.Rows().size(), 10000u);
    EXPECT_EQ(dump.Rows().front().Cells[2], "1");
}

TEST_F(LogListsTest, PacketDumpFileReadsBackAsACapture)
{
    ALLPKT packet;
    packet.Time = Noon;
    packet.Block = MakeRfssStatus(0x1A2, 1, 3);
    packet.Text = "RFSS Status Broadcast - SysID: 1A2";
    packet.Site = model.LogSite();
    logs.AddPacket(packet);
    std::string error;
    ASSERT_TRUE(logs.List(LogKind::PacketDump).Save(folder.Path(), model.LogSite(), false, Noon, error));
    const std::string text = ReadText(folder / "System1A2/Dump-103.txt");
    EXPECT_EQ(text, "  " + LogLists::PacketDataText(packet.Block) + " 11/15/2023 12:00:00 " + packet.Text + "\r\n");

    CaptureParser parser(CaptureKind::ZembrantDump);
    uint8_t block[TsbkSize];
    ASSERT_TRUE(parser.ParseLine(text, block));
    EXPECT_TRUE(std::equal(block, block + TsbkSize, packet.Block.begin()));
    EXPECT_EQ(parser.LineTime(), Noon);
}

TEST_F(LogListsTest, EventsSkipRegistrationsWhenFiltered)
{
    EVENTLOG event;
    event.Time = Noon;
    event.Block = MakeTsbk(0x2C, 0x00);
    settings.FilterRegistrations = true;
    logs.AddEvent(settings, event);
    EXPECT_TRUE(logs.List(LogKind::OtherEvents).Rows().empty());
    settings.FilterRegistrations = false;
    logs.AddEvent(settings, event);
    EXPECT_EQ(logs.List(LogKind::OtherEvents).Rows().size(), 1u);
}

TEST_F(LogListsTest, PatchRowText)
{
    PATCHLOG record;
    record.Time = Noon;
    record.Kind = 'A';
    record.Talkgroup = 100;
    record.Supergroup = 200;
    logs.AddPatch(model, record);
    record.Kind = 'R';
    logs.AddPatch(model, record);
    const auto& rows = logs.List(LogKind::PatchLog).Rows();
    EXPECT_EQ(rows[0].Cells[1], "Added Patch:   100 (Fire) --> 200 (Quiet)");
    EXPECT_EQ(rows[1].Cells[1], "Removed Patch: 100 (Fire) --> 200 (Quiet)");
}

TEST(LogList, CountsRowsAddedAndDroppedByCapAndClear)
{
    LogList list(LogKind::PatchLog, 3);
    const LOGSITE site{};
    for (int i = 0; i < 5; ++i)
        LogList::SetCells(list.NewRow(site), {std::to_string(i)});
    EXPECT_EQ(list.AppendedCount(), 5u);
    EXPECT_EQ(list.DroppedCount(), 2u);
    EXPECT_EQ(list.Rows().front().Cells[0], "2");
    list.SetCap(1);
    EXPECT_EQ(list.DroppedCount(), 4u);
    list.Clear();
    EXPECT_EQ(list.DroppedCount(), 5u);
    // Always: rows held = added - dropped.
    EXPECT_EQ(list.AppendedCount() - list.DroppedCount(), list.Rows().size());
}

TEST(ClearAsksFirst, EveryLogButTheRawDumpWhileConfirmationsAreOn)
{
    for (int k = 0; k < LogKindCount; ++k) {
        const auto kind = static_cast<LogKind>(k);
        EXPECT_FALSE(ClearAsksFirst(kind, false));
        EXPECT_EQ(ClearAsksFirst(kind, true), kind != LogKind::RawDump);
    }
}
