#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "session/DecodeSession.h"
#include "input/TBSKQueue.h"
#include "view/RefreshCycle.h"
#include "platform/Files.h"
#include "support/Blocks.h"
#include "support/TemporaryFolder.h"
#include "support/TestScanner.h"

namespace {

constexpr uint32_t Base85100625 = 851006250 / 5;

std::string Text(const std::vector<uint8_t>& bytes)
{
    return std::string(bytes.begin(), bytes.end());
}

}

// A live session over two pseudo-terminals: the decoding scanner feeds a site with one
// group call, and the second scanner is told to park, then to tune to the call.
TEST(DecodeSession, LiveSessionFollowsACallOnTheSecondScanner)
{
    TemporaryFolder folder;
    TestScanner decoding;
    TestScanner second;
    CONFIG config;
    config.CommPort = decoding.SlavePath();
    config.ScannerType = 1;
    config.ScanControlEnabled = true;
    config.ControlPort = second.SlavePath();
    config.ScannerProfile = "BC250D.Scanner";
    config.QuietFrequency = 866.0;

    ManualClock clock(1700000000);
    P25Class model(clock);
    model.SetDataFolder(folder.Path());
    TBSKQueue queue;
    RefreshCycle refresh(model);
    DecodeSession session(model, queue, refresh);
    refresh.follow = [&](std::span<const FreqInfo> channels, std::span<const PATCHREC> patches,
                         const RefreshCycle::Inputs& inputs) {
        return session.FollowStep(channels, patches, inputs.HeldTalkgroup);
    };
    std::string portError;
    session.onPortError = [&](const std::string& text) { portError = text; };
    session.StartDecodeSession(config);
    ASSERT_NE(session.Scanner(), nullptr);
    EXPECT_EQ(Text(second.ReadSent(500)), "RF08660000\r");
    // The reader starts the scanner's data output first.
    EXPECT_FALSE(decoding.ReadSent(500).empty());
    for (int i = 0; i < 200 && !session.Reader()->IsReading(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_TRUE(session.Reader()->IsReading()) << portError;

    TsbkBlock identifiers = MakeTsbk(0x3D, 0x00, {0x10, 0x00, 0x00, 100});
    PutField(identifiers, 6, 4, Base85100625);
    const TsbkBlock grant = MakeTsbk(0x00, 0x00, {0x00, 0x10, 0x05, 0x00, 100, 0x00, 0x0F, 0xA1});
    for (const auto& block : {MakeRfssStatus(0x123, 1, 2, 0x1001), identifiers, grant})
        decoding.Write(TestScanner::Psr500Line(block) + "\r\n");

    std::string sent;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (refresh.FollowedRow < 0 && std::chrono::steady_clock::now() < deadline) {
        refresh.RunCycle({true, -1, false});
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_GE(refresh.FollowedRow, 0) << portError;
    EXPECT_EQ(refresh.Activity[refresh.FollowedRow].Cells[8], "<-----");
    EXPECT_EQ(session.LastFollowedTalkgroup(), 100);
    // 851.00625 + 5 x 0.0125 MHz in the profile's eight digits of 100 Hz.
    EXPECT_EQ(Text(second.ReadSent(500)), "RF08510688\r");

    std::string errors;
    session.StopDecodeSession(errors);
    EXPECT_EQ(errors, "");
    EXPECT_EQ(session.Scanner(), nullptr);
}

TEST(DecodeSession, AutoSavePassWritesTheDueLogsOnceTheSystemIsKnown)
{
    TemporaryFolder folder;
    ManualClock clock(1700000000);
    P25Class model(clock);
    model.SetDataFolder(folder.Path());
    TBSKQueue queue;
    RefreshCycle refresh(model);
    DecodeSession session(model, queue, refresh);
    CONFIG config;
    config.GrantsAutoSave = true;
    config.GrantsVisible = false;
    config.PatchesAutoSave = true;
    session.SetConfig(config);

    GRANTLOG grant;
    grant.Time = clock.Now();
    grant.Kind = "Group";
    grant.Talkgroup = 100;
    PATCHLOG patch;
    patch.Time = clock.Now();
    patch.Kind = 'A';
    refresh.Logs.AddGrant(model, LogSettings{}, grant);
    refresh.Logs.AddPatch(model, patch);

    std::string errors;
    EXPECT_TRUE(session.AutoSavePass(errors));
    EXPECT_FALSE(IsDirectory(folder / "System123"));

    model.SetSystemAndSite(0x123, 1, 0x70, 2);
    EXPECT_TRUE(session.AutoSavePass(errors)) << errors;
    EXPECT_TRUE(FileExists(folder / "System123/PatchLog-102.csv"));
    // The grant trace is saved only while its tab is visible too.
    EXPECT_FALSE(FileExists(folder / "System123/GrantLog-102.csv"));
    config.GrantsVisible = true;
    session.SetConfig(config);
    EXPECT_TRUE(session.AutoSavePass(errors));
    EXPECT_TRUE(FileExists(folder / "System123/GrantLog-102.csv"));
    // Not decoding: the system folder is not due.
    EXPECT_FALSE(FileExists(folder / "System123/TalkGroups.txt"));
}
