#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <thread>

#include <sys/stat.h>

#include "platform/Files.h"
#include "session/Controller.h"
#include "support/Blocks.h"
#include "support/CaptureWriter.h"
#include "support/TemporaryFolder.h"
#include "support/TestScanner.h"

namespace {

constexpr int TypeColumn = 2;
constexpr int ActiveColumn = 8;

// Identifier table 0: 851.00625 MHz in 12.5 kHz steps.
TsbkBlock Identifiers()
{
    TsbkBlock block = MakeTsbk(0x3D, 0x00, {0x10, 0x00, 0x00, 100});
    PutField(block, 6, 4, 851006250 / 5);
    return block;
}

// Talkgroup 100 on channel 0-0005, radio 4001.
TsbkBlock Grant()
{
    return MakeTsbk(0x00, 0x00, {0x00, 0x10, 0x05, 0x00, 100, 0x00, 0x0F, 0xA1});
}

// The front end's timer: refreshes until done, and never leaves the waiting to the controller.
template <typename Done>
bool RefreshUntil(Controller& controller, Done done, int timeoutMs = 10000)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        controller.RefreshStep();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

CONFIG Settings(const TemporaryFolder& folder)
{
    CONFIG config;
    config.DataFolder = folder.Path();
    config.ConfigFile = folder / "Zembrant.ini";
    config.GrantsVisible = true;
    config.GrantsAutoSave = true;
    return config;
}

// A decoding scanner on a pseudo-terminal for a controller on the live clock.
struct LiveRig
{
    TemporaryFolder Folder;
    TestScanner Scanner;
    ManualClock Clock{1700000000};
    Controller Control{Clock};
    CONFIG Config = Settings(Folder);

    LiveRig()
    {
        Config.CommPort = Scanner.SlavePath();
        Config.ScannerType = 1;
    }

    // Starts the session and feeds it a site with one group call.
    bool StartWithACall()
    {
        Control.SetConfig(Config);
        if (!Control.StartDecodeSession() ||
            !RefreshUntil(Control, [&] { return Control.Session().Reader()->IsReading(); }))
            return false;
        for (const auto& block : {MakeRfssStatus(0x123, 1, 2, 0x1001), Identifiers(), Grant()})
            Scanner.Write(TestScanner::Psr500Line(block) + "\r\n");
        // The call's channel and its grant row are built in separate steps.
        return RefreshUntil(Control, [&] {
            return Control.Refresh().FollowedRow >= 0 && !Control.Refresh().Logs.List(LogKind::GrantTrace).Rows().empty();
        });
    }
};

}

// A live session over a pseudo-terminal: the stop saves what the settings ask for, and the
// queue drains while the test's own thread goes on refreshing.
TEST(Controller, LiveSessionStopsInStepsWhileTheCallerRefreshes)
{
    LiveRig rig;
    Controller& controller = rig.Control;
    rig.Config.DataSaveOnDecodeStop = true;
    rig.Config.LogSaveOnDecodeStop = true;
    ASSERT_TRUE(rig.StartWithACall());
    EXPECT_TRUE(controller.DecodeActive());
    EXPECT_TRUE(controller.AutoSaveTimerOn());
    EXPECT_FALSE(controller.StartDecodeSession());
    EXPECT_FALSE(controller.ReplayBegin());
    EXPECT_EQ(controller.Refresh().Activity[controller.Refresh().FollowedRow].Cells[ActiveColumn], "<-----");
    EXPECT_EQ(controller.LastFollowedTalkgroup(), 100);

    // A burst still queued when the stop begins.
    std::string burst;
    for (int i = 0; i < 400; ++i)
        burst += TestScanner::Psr500Line(Grant()) + "\r\n";
    rig.Scanner.Write(burst);
    rig.Clock.Advance(30);
    std::string errors;
    controller.StopBegin(errors);
    EXPECT_FALSE(controller.DecodeActive());
    EXPECT_TRUE(controller.IsStopping());
    EXPECT_FALSE(controller.StartDecodeSession());
    ASSERT_TRUE(RefreshUntil(controller, [&] { return controller.StopPoll(); }));
    EXPECT_TRUE(controller.StopFinish());
    EXPECT_FALSE(controller.IsStopping());
    EXPECT_EQ(errors, "");
    EXPECT_EQ(controller.Session().Reader(), nullptr);
    EXPECT_TRUE(FileExists(rig.Folder / "System123/TalkGroups.txt"));
    EXPECT_TRUE(FileExists(rig.Folder / "System123/GrantLog-102.csv"));
    EXPECT_EQ(controller.LastSystemSave(), rig.Clock.Now() - 1);
    // The logs were saved at the stop: no auto-save timer after it.
    EXPECT_FALSE(controller.AutoSaveTimerOn());
    EXPECT_EQ(controller.OneSecond().Rate.RateText, "  0% (0 out of 0)");

    controller.CloseBegin(errors);
    EXPECT_TRUE(controller.ClosingDown());
    ASSERT_TRUE(controller.ClosePoll());
    EXPECT_TRUE(controller.CloseFinish(errors)) << errors;
    EXPECT_TRUE(FileExists(rig.Folder / "Zembrant.ini"));
}

// A live feed faster than the one-minute saves: the packet dump goes to its file before its
// cap would push out a row that was never written.
TEST(Controller, FastLiveFeedKeepsEveryDumpRow)
{
    LiveRig rig;
    rig.Config.PktDumpVisible = true;
    rig.Config.PktDumpAutoSave = true;
    ASSERT_TRUE(rig.StartWithACall());
    // In steps the model's own queue keeps up with, as a fast receiver sends them.
    constexpr int Step = 40;
    constexpr int Burst = 300 * Step;
    std::string step;
    for (int i = 0; i < Step; ++i)
        step += TestScanner::Psr500Line(Grant()) + "\r\n";
    for (uint64_t sent = Step; sent <= Burst; sent += Step) {
        ASSERT_TRUE(rig.Scanner.Write(step));
        ASSERT_TRUE(RefreshUntil(rig.Control, [&] { return rig.Control.Session().Totals().BlocksTaken >= sent + 3; }));
        rig.Control.RefreshStep();
    }
    std::string errors;
    rig.Control.StopBegin(errors);
    ASSERT_TRUE(RefreshUntil(rig.Control, [&] { return rig.Control.StopPoll(); }));
    ASSERT_TRUE(rig.Control.StopFinish());
    EXPECT_TRUE(rig.Control.SaveLog(LogKind::PacketDump, errors)) << errors;
    const LogList& dump = rig.Control.Refresh().Logs.List(LogKind::PacketDump);
    EXPECT_EQ(dump.UnsavedDroppedCount(), 0u);
    EXPECT_EQ(rig.Control.Model().DroppedLogRecords(), 0u);
    const std::string text = ReadText(rig.Folder / "System123/Dump-102.txt");
    EXPECT_GE(std::count(text.begin(), text.end(), '\n'), Burst);
}

// A port that opens but stays silent gets a word in the status line after a few seconds.
TEST(Controller, SilentPortIsNamedInTheFigures)
{
    LiveRig rig;
    rig.Control.SetConfig(rig.Config);
    ASSERT_TRUE(rig.Control.StartDecodeSession());
    ASSERT_TRUE(RefreshUntil(rig.Control, [&] { return rig.Control.Session().Reader()->IsReading(); }));
    for (int second = 1; second < Controller::NoDataNoticeSeconds; ++second)
        EXPECT_EQ(rig.Control.OneSecond().Notice, "");
    EXPECT_EQ(rig.Control.OneSecond().Notice, "no data from the scanner on " + rig.Config.CommPort);
}

// A port that cannot be opened: the stop is due two seconds after the front end heard of
// it; closing then ends the session without its drain and saves the settings.
TEST(Controller, PortErrorStopIsDueTwoSecondsLater)
{
    TemporaryFolder folder;
    Controller controller;
    CONFIG config = Settings(folder);
    config.CommPort = folder / "no-such-port";
    controller.SetConfig(config);
    std::atomic<bool> reported{false};
    controller.onPortError = [&](const std::string&) { reported = true; };

    ASSERT_TRUE(controller.StartDecodeSession());
    ASSERT_TRUE(RefreshUntil(controller, [&] { return reported.load(); }));
    controller.PortErrorReported();
    const auto heard = std::chrono::steady_clock::now();
    EXPECT_FALSE(controller.PortErrorStopDue());
    ASSERT_TRUE(RefreshUntil(controller, [&] { return controller.PortErrorStopDue(); }));
    EXPECT_GE(std::chrono::steady_clock::now() - heard, std::chrono::milliseconds(Controller::PortErrorStopDelayMs));
    // Said once.
    EXPECT_FALSE(controller.PortErrorStopDue());

    std::string errors;
    controller.CloseBegin(errors);
    EXPECT_FALSE(controller.DecodeActive());
    ASSERT_TRUE(RefreshUntil(controller, [&] { return controller.ClosePoll(); }));
    EXPECT_TRUE(controller.CloseFinish(errors)) << errors;
    EXPECT_FALSE(controller.IsLive());
    EXPECT_TRUE(FileExists(folder / "Zembrant.ini"));
    EXPECT_FALSE(controller.StartDecodeSession());
}

// A replay of an hour of capture: opened before its type is chosen, followed with the
// settings of the moment, auto-saved while it runs, then back on the live clock, where its
// last call ends after the time-out instead of an hour of replayed ticks later.
TEST(Controller, ReplayFollowsSavesAndHandsBackToTheLiveClock)
{
    TemporaryFolder folder;
    const std::string capture = folder / "capture.txt";
    {
        CaptureWriter writer(capture, CaptureKind::ZembrantDump);
        writer.Block(MakeRfssStatus(0x123, 1, 2, 0x1001), 1700000000);
        writer.Block(Identifiers(), 1700000000);
        writer.Block(Grant(), 1700003600);
    }
    ManualClock live(1800000000);
    Controller controller(live);
    CONFIG config = Settings(folder);
    config.AutoSaveEnabled = true;
    config.AutoSaveInterval = 1;
    // Talkgroup priority 50 lies above this High threshold.
    config.MonitorThresholdHigh = 10;
    controller.SetConfig(config);
    std::atomic<bool> ended{false};
    controller.onReplayEnded = [&] { ended = true; };

    ASSERT_TRUE(controller.ReplayBegin());
    std::string error;
    EXPECT_FALSE(controller.ReplayOpen(folder / "missing.txt", error));
    EXPECT_EQ(error, "File could not be opened!");
    ASSERT_TRUE(controller.ReplayOpen(capture, error, 1700000000));
    EXPECT_FALSE(controller.DecodeActive());
    ASSERT_TRUE(controller.ReplayStart(CaptureKind::ZembrantDump));
    EXPECT_TRUE(controller.DecodeActive());
    EXPECT_FALSE(controller.StartDecodeSession());
    ASSERT_TRUE(RefreshUntil(controller, [&] { return controller.PollReplayEnded(); }));
    const ReplayOutcome outcome = controller.ReplayResult();
    EXPECT_TRUE(outcome.Whole);
    EXPECT_EQ(outcome.Totals.BlocksTaken, 3u);

    controller.RefreshStep();
    // The control channel, then the call.
    ASSERT_EQ(controller.Refresh().Activity.size(), 2u);
    EXPECT_EQ(controller.Refresh().FollowedRow, -1);
    config.MonitorThresholdHigh = 99;
    controller.SetConfig(config);
    controller.Refresh().RequestFullRedraw = true;
    controller.RefreshStep();
    ASSERT_EQ(controller.Refresh().FollowedRow, 1);
    EXPECT_EQ(controller.Refresh().Activity[1].Cells[ActiveColumn], "<-----");
    EXPECT_EQ(controller.LastFollowedTalkgroup(), 100);

    std::string errors;
    EXPECT_TRUE(controller.IsAutoSaveDue());
    EXPECT_TRUE(controller.AutoSavePass(errors)) << errors;
    EXPECT_TRUE(FileExists(folder / "System123/TalkGroups.txt"));
    EXPECT_TRUE(FileExists(folder / "System123/GrantLog-102.csv"));
    EXPECT_EQ(controller.LastSystemSave(), 1700003600 - 5);

    EXPECT_TRUE(controller.ReplayFinish());
    EXPECT_TRUE(ended);
    EXPECT_FALSE(controller.DecodeActive());
    EXPECT_EQ(controller.Model().Now(), 1800000000);
    controller.RefreshStep();
    EXPECT_EQ(controller.Refresh().Activity[1].Cells[TypeColumn], "Group");
    live.AdvanceTicks(20);
    controller.RefreshStep();
    EXPECT_EQ(controller.Refresh().Activity[1].Cells[TypeColumn], "");
    EXPECT_EQ(controller.Refresh().FollowedRow, -1);

    // The next replay starts from empty lists.
    ASSERT_TRUE(controller.ReplayBegin());
    EXPECT_TRUE(controller.Refresh().Activity.empty());
    EXPECT_TRUE(controller.Refresh().Logs.List(LogKind::GrantTrace).Rows().empty());
    EXPECT_EQ(controller.Refresh().Labels.SysId, "000");
}

// Closing during a live session: the exit-time saves, then the threads end without the
// drain while the caller goes on refreshing.
TEST(Controller, CloseDuringALiveSessionSavesWhatTheSettingsAsk)
{
    LiveRig rig;
    Controller& controller = rig.Control;
    rig.Config.DataSaveOnExit = true;
    rig.Config.LogSaveOnExit = true;
    ASSERT_TRUE(rig.StartWithACall());

    std::string errors;
    controller.CloseBegin(errors);
    EXPECT_EQ(errors, "");
    EXPECT_TRUE(FileExists(rig.Folder / "System123/TalkGroups.txt"));
    EXPECT_TRUE(FileExists(rig.Folder / "System123/GrantLog-102.csv"));
    EXPECT_FALSE(controller.DecodeActive());
    EXPECT_FALSE(controller.AutoSaveTimerOn());
    ASSERT_TRUE(RefreshUntil(controller, [&] { return controller.ClosePoll(); }));
    EXPECT_TRUE(controller.CloseFinish(errors)) << errors;
    EXPECT_EQ(controller.Session().Reader(), nullptr);
}

// Closing while a replay waits on a pipe: the exit-time saves, the replay ended early, and
// the model back on the live clock.
TEST(Controller, CloseEndsARunningReplay)
{
    TemporaryFolder folder;
    const std::string pipe = folder / "capture.fifo";
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    ManualClock live(1800000000);
    Controller controller(live);
    CONFIG config = Settings(folder);
    config.DataSaveOnExit = true;
    config.LogSaveOnExit = true;
    controller.SetConfig(config);

    std::string error;
    ASSERT_TRUE(controller.ReplayBegin());
    ASSERT_TRUE(controller.ReplayOpen(pipe, error, 1700000000)) << error;
    ASSERT_TRUE(controller.ReplayStart(CaptureKind::ZembrantDump));
    // The writer stays open: the replay never reaches the end of its file.
    std::ofstream writer(pipe);
    for (const auto& block : {MakeRfssStatus(0x123, 1, 2, 0x1001), Identifiers(), Grant()})
        writer << CaptureWriter::Line(CaptureKind::ZembrantDump, block) << "\r\n";
    writer.flush();
    // The replay's processing thread adds rows under the refresh mutex, as the window reads them.
    ASSERT_TRUE(RefreshUntil(controller, [&] {
        std::lock_guard guard(controller.Refresh().Mutex());
        return !controller.Refresh().Logs.List(LogKind::GrantTrace).Rows().empty();
    }));

    std::string errors;
    controller.CloseBegin(errors);
    EXPECT_EQ(errors, "");
    EXPECT_TRUE(FileExists(folder / "System123/TalkGroups.txt"));
    EXPECT_TRUE(FileExists(folder / "System123/GrantLog-102.csv"));
    ASSERT_TRUE(RefreshUntil(controller, [&] { return controller.ClosePoll(); }));
    EXPECT_FALSE(controller.ReplayResult().Whole);
    EXPECT_TRUE(controller.CloseFinish(errors)) << errors;
    EXPECT_FALSE(controller.DecodeActive());
    EXPECT_FALSE(controller.IsReplaying());
    EXPECT_EQ(controller.Model().Now(), 1800000000);
}

// The replay clock without a given start: a regular file runs on its own dates, an undated
// one ends no later than now, and a FIFO is a live feed whose calls expire while it idles.
// A finished replay that nothing saved asks at exit, until a save.
TEST(Controller, ReplayClockWithoutAGivenStart)
{
    struct Case
    {
        CaptureKind Kind;
        bool Fifo;
        int64_t FirstSeen, LastSeen; // of talkgroup 100; 0: within the second before now
    };
    const Case cases[] = {
        {CaptureKind::ZembrantDump, false, 1700003600, 1700003600},
        {CaptureKind::Psr500Dump, false, 0, 0},
        {CaptureKind::ZembrantDump, true, 1800000000, 1800000000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.Kind) * 10 + c.Fifo);
        TemporaryFolder folder;
        const std::string capture = folder / "capture.txt";
        const auto blocks = {MakeRfssStatus(0x123, 1, 2, 0x1001), Identifiers(), Grant()};
        if (c.Fifo) {
            ASSERT_EQ(mkfifo(capture.c_str(), 0600), 0);
        } else {
            CaptureWriter writer(capture, c.Kind);
            for (const auto& block : blocks)
                writer.Block(block, &block == blocks.end() - 1 ? 1700003600 : 1700000000);
        }
        ManualClock live(1800000000);
        Controller controller(live);
        controller.SetConfig(Settings(folder));
        std::string error;
        ASSERT_TRUE(controller.ReplayBegin());
        ASSERT_TRUE(controller.ReplayOpen(capture, error)) << error;
        ASSERT_TRUE(controller.ReplayStart(c.Kind));
        std::ofstream writer;
        if (c.Fifo) {
            writer.open(capture);
            for (const auto& block : blocks)
                writer << CaptureWriter::Line(c.Kind, block) << "\r\n";
            writer.flush();
            ASSERT_TRUE(RefreshUntil(controller, [&] { return controller.Refresh().Activity.size() == 2; }));
            EXPECT_EQ(controller.Refresh().Activity[1].Cells[TypeColumn], "Group");
            live.AdvanceTicks(20);
            controller.RefreshStep();
            EXPECT_EQ(controller.Refresh().Activity[1].Cells[TypeColumn], "");
            writer.close();
        }
        ASSERT_TRUE(RefreshUntil(controller, [&] { return controller.PollReplayEnded(); }));
        TGTAG talkgroup;
        ASSERT_TRUE(controller.Model().GetTalkgroup(100, talkgroup));
        if (c.FirstSeen) {
            EXPECT_EQ(talkgroup.FirstSeen, c.FirstSeen);
            EXPECT_EQ(talkgroup.LastSeen, c.LastSeen);
        } else {
            EXPECT_LE(talkgroup.LastSeen, 1800000000);
            EXPECT_GE(talkgroup.FirstSeen, 1800000000 - 1);
        }
        EXPECT_TRUE(controller.ReplayFinish());
        EXPECT_TRUE(controller.IsExitSaveQuestionDue());
        std::string errors;
        EXPECT_TRUE(controller.SaveSystemInformation(errors)) << errors;
        EXPECT_FALSE(controller.IsExitSaveQuestionDue());
    }
}

// The backup timer: off, due (the time stored and the settings saved before the copy),
// running, ended, then not due again until the days have passed.
TEST(Controller, BackupTimerDecisions)
{
    TemporaryFolder folder;
    ManualClock clock(1700000000);
    Controller controller(clock);
    CONFIG config = Settings(folder);
    controller.SetConfig(config);
    std::string errors;
    EXPECT_EQ(controller.BackupTimerFired(errors), BackupStep::StopTimer);

    config.BackupEnabled = true;
    config.BackupDays = 7;
    config.BackupCheckTime = 60;
    config.LastBackup = clock.Now() - 7 * 86400 - 1;
    controller.SetConfig(config);
    std::atomic<bool> ended{false};
    controller.onBackupEnded = [&] { ended = true; };
    EXPECT_EQ(controller.BackupTimerFired(errors), BackupStep::StartBackup);
    EXPECT_TRUE(controller.BackupRunning());
    EXPECT_EQ(controller.Config().LastBackup, clock.Now());
    EXPECT_NE(ReadText(folder / "Zembrant.ini").find("LastBackup=1700000000"), std::string::npos);
    EXPECT_EQ(controller.BackupTimerFired(errors), BackupStep::StopTimer);
    ASSERT_TRUE(RefreshUntil(controller, [&] { return ended.load(); }));
    EXPECT_TRUE(controller.BackupEnded());
    EXPECT_FALSE(controller.BackupRunning());
    EXPECT_EQ(controller.BackupIntervalMs(), 60 * 60 * 1000);
    // The window's copy of the settings, taken before the backup, keeps its time.
    controller.SetConfig(config);
    EXPECT_EQ(controller.Config().LastBackup, clock.Now());

    clock.Advance(6 * 86400);
    EXPECT_EQ(controller.BackupTimerFired(errors), BackupStep::CheckLater);
    EXPECT_FALSE(controller.BackupRunning());
    EXPECT_EQ(errors, "");
}

// What the second scanner is told reaches the live events once, with the call it follows.
TEST(Controller, FollowedCallIsALiveEvent)
{
    LiveRig rig;
    TestScanner second;
    rig.Config.ScanControlEnabled = true;
    rig.Config.ControlPort = second.SlavePath();
    rig.Config.ScannerProfile = "BC250D.Scanner";
    std::string error;
    ASSERT_TRUE(rig.Control.SetEventsFile(rig.Folder / "events.ndjson", error)) << error;
    ASSERT_TRUE(rig.StartWithACall());
    ASSERT_TRUE(rig.Control.FinishEvents(std::chrono::milliseconds(100)));
    std::ifstream in(rig.Folder / "events.ndjson");
    std::vector<std::string> follows;
    for (std::string line; std::getline(in, line);)
        // A refresh before the grant may tell the scanner to park ("quiet") first.
        if (line.find("\"type\":\"follow\"") != std::string::npos && line.find("\"quiet\":true") == std::string::npos)
            follows.push_back(line);
    ASSERT_EQ(follows.size(), 1u);
    EXPECT_NE(follows[0].find("\"quiet\":false,\"channel\":\"01-0005\",\"frequency\":851068750,\"talkgroup\":100"),
              std::string::npos)
        << follows[0];
    EXPECT_NE(follows[0].find("\"followed\":true,\"reason\":\"followed\""), std::string::npos) << follows[0];
    // The decision is kept once for the list, however many refreshes saw the call.
    const auto decisions = rig.Control.FollowDecisions();
    ASSERT_EQ(decisions.size(), 1u);
    EXPECT_EQ(decisions[0].Decision.Talkgroup, 100);
    EXPECT_EQ(rig.Control.FollowReasonCounts(), (std::map<std::string, int64_t>{{"followed", 1}}));
    std::string errors;
    rig.Control.StopBegin(errors);
    EXPECT_TRUE(RefreshUntil(rig.Control, [&] { return rig.Control.StopPoll(); }));
    rig.Control.StopFinish();
}
