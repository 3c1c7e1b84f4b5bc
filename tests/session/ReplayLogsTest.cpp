#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <thread>

#include "input/CaptureReplay.h"
#include "input/TBSKQueue.h"
#include "view/RefreshCycle.h"
#include "support/CaptureWriter.h"
#include "support/DecodedSite.h"
#include "support/LogDrain.h"

namespace {

using Files = std::map<std::string, std::string>;

TsbkBlock Identity(int sysId, int rfss, int site)
{
    return MakeMessage(0x3A, {{3, 2, uint32_t(1 << 12 | sysId)}, {5, 1, uint32_t(rfss)}, {6, 1, uint32_t(site)},
                              {7, 2, 0x1001}, {9, 1, 0x70}});
}

TsbkBlock GroupGrant(int channel, int talkgroup, int radio)
{
    return MakeMessage(0x00, {{3, 2, uint32_t(channel)}, {5, 2, uint32_t(talkgroup)}, {7, 3, uint32_t(radio)}});
}

// Table 2: two-slot TDMA at 769 MHz in 12.5 kHz steps.
TsbkBlock TwoSlotTable()
{
    return MakeMessage(0x33, {{2, 4, 2u << 28 | 3u << 24 | 1u << 23 | 2400u << 10 | 100u}, {6, 4, 153800000}});
}

TsbkBlock PatchAdd(int supergroup, int member)
{
    return MakeMessage(0x00, {{2, 2, uint32_t(supergroup)}, {4, 2, uint32_t(member)}}, 0x90);
}

// Decodes, then takes the queues itself after every block.
class DrainingDecoder : public BlockDecoder
{
public:
    DrainingDecoder(P25Class& model, RefreshCycle& refresh) : m_model(model), m_refresh(refresh) {}
    bool DecodeTsbk(const uint8_t* block) override { return Drained(m_model.DecodeTsbk(block)); }
    bool DecodeMultiBlock(const PacketRecord& packet) override { return Drained(m_model.DecodeMultiBlock(packet)); }

private:
    bool Drained(bool result)
    {
        m_refresh.DrainLogs();
        return result;
    }
    P25Class& m_model;
    RefreshCycle& m_refresh;
};

Files ReadTree(const std::string& folder)
{
    Files files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        if (!entry.is_regular_file() || entry.path().extension() == ".ini" || entry.path().filename() == "Radios.txt" ||
            entry.path().filename() == "TalkGroups.txt")
            continue;
        std::ifstream in(entry.path(), std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        files[std::filesystem::relative(entry.path(), folder).string()] = text.str();
    }
    return files;
}

// Replays the capture as zembrant-cli does, every log on, and returns the log files.
Files Replay(const std::string& capture, const std::string& folder, bool testTakesQueues)
{
    ManualClock clock(1700000000);
    P25Class model(clock);
    SetEveryLogSwitch(model, true);
    model.SetDataFolder(folder);
    RefreshCycle refresh(model);
    LogSettings settings;
    settings.LogDenied = true;
    refresh.SetLogSettings(settings, 0);
    const auto save = [&](LogKind kind) {
        std::string error;
        EXPECT_TRUE(refresh.Logs.List(kind).Save(folder, model.LogSite(), false, model.Now(), error)) << error;
    };
    refresh.Logs.onClear = save;
    refresh.onListFilling = save;

    TBSKQueue queue;
    DrainingDecoder draining(model, refresh);
    BlockDecoder& decoder = testTakesQueues ? static_cast<BlockDecoder&>(draining) : model;
    CaptureReplay replay(queue, decoder, clock);
    if (!testTakesQueues)
        replay.SetBlockHandler([&] { refresh.TakeLogsBetweenBlocks(); });
    // The event log drops a block equal to the last one any model took; a block no capture
    // holds clears that memory, and the reset drops its record.
    model.LogEvent(MakeTsbk(0x3F, 0xFF, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}).data(), "");
    model.ResetModel();
    std::string error;
    EXPECT_TRUE(replay.Open(capture, CaptureKind::ZembrantDump, error));
    std::atomic<bool> ended{false};
    replay.onEnded = [&] { ended = true; };
    replay.Start(false);
    while (!ended)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    replay.Stop();
    refresh.DrainLogs();
    for (int k = 0; k < LogKindCount; ++k)
        save(static_cast<LogKind>(k));
    return ReadTree(folder);
}

int Lines(const std::string& text)
{
    return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
}

}

// A site roams twice, then a second system appears: every row lands in the file of the
// site it was logged under, rows read the model of the moment they were logged, and the
// files equal those of a replay whose queues are taken after every block.
TEST(ReplayLogs, RowsOfEachSiteLandInItsFilesAsLoggedAtThatMoment)
{
    TemporaryFolder work;
    const std::string capture = work.Path() + "capture.txt";
    {
        CaptureWriter writer(capture, CaptureKind::ZembrantDump);
        int64_t time = 1700000000;
        const auto put = [&](const TsbkBlock& block) { writer.Block(block, time++); };
        put(Identity(0x123, 1, 2));
        put(GroupGrant(0x2005, 500, 1001));
        put(PatchAdd(60030, 2021));
        put(TwoSlotTable());
        put(GroupGrant(0x2006, 60030, 1002));
        for (int i = 0; i < 30; ++i)
            put(GroupGrant(0x2010 + i, 700 + i, 2000 + i));
        put(Identity(0x123, 1, 3));
        for (int i = 0; i < 40; ++i)
            put(GroupGrant(0x2010 + i, 800 + i, 3000 + i));
        put(Identity(0x456, 1, 1));
        for (int i = 0; i < 20; ++i)
            put(GroupGrant(0x2010 + i, 900 + i, 4000 + i));
    }
    TemporaryFolder first, second;
    const Files files = Replay(capture, first.Path(), false);
    const Files drained = Replay(capture, second.Path(), true);
    for (const auto& [name, text] : drained)
        EXPECT_EQ(files.count(name) ? files.at(name) : "", text) << name;
    EXPECT_EQ(files.size(), drained.size());
    for (const auto& [name, text] : files)
        EXPECT_TRUE(drained.count(name)) << name;

    // A header line and one row per grant.
    EXPECT_EQ(Lines(files.at("System123/GrantLog-102.csv")), 1 + 32);
    EXPECT_EQ(Lines(files.at("System123/GrantLog-103.csv")), 1 + 40);
    EXPECT_EQ(Lines(files.at("System456/GrantLog-101.csv")), 1 + 20);
    for (const char* dump : {"System123/Dump-102.txt", "System123/Dump-103.txt", "System456/Dump-101.txt"})
        EXPECT_GT(Lines(files.at(dump)), 20) << dump;

    const std::string& grants = files.at("System123/GrantLog-102.csv");
    const auto row = [&](const std::string& channel) {
        const size_t at = grants.find(",\"" + channel + "\",");
        return at == std::string::npos ? std::string() : grants.substr(at, grants.find('\r', at) - at);
    };
    // Logged before the two-slot table arrived: no slot; after it: the slot.
    EXPECT_TRUE(row("02-0005").starts_with(",\"02-0005\",\"0.00000\",\"  500\",")) << row("02-0005");
    EXPECT_TRUE(row("02-0006").starts_with(",\"02-0006\",\"769.03750/0\",\"60030\",")) << row("02-0006");
    // The supergroup got its description from the grant after the patch was logged.
    const std::string& patches = files.at("System123/PatchLog-102.csv");
    EXPECT_NE(patches.find(",\"Added Patch:   2021 () --> 60030 ()\"\r\n"), std::string::npos) << patches;
}

// Records still queued when a new site resets the lists become rows of their own site and
// are saved before the lists are emptied.
TEST(ReplayLogs, RecordsQueuedBeforeASiteChangeAreKept)
{
    DecodedSite site;
    RefreshCycle refresh(site.model);
    refresh.SetLogSettings({}, 0);
    const auto save = [&](LogKind kind) {
        std::string error;
        EXPECT_TRUE(refresh.Logs.List(kind).Save(site.folder.Path(), site.model.LogSite(), false, 0, error));
    };
    refresh.Logs.onClear = save;
    for (int i = 0; i < 5; ++i)
        site.Decode(GroupGrant(0x1010 + i, 700 + i, 2000 + i));
    site.Decode(Identity(DecodedSite::SysId, DecodedSite::Rfss, 7));
    site.Decode(GroupGrant(0x1010, 800, 3000));
    refresh.RunCycle({true, -1, false});
    for (int k = 0; k < LogKindCount; ++k)
        save(static_cast<LogKind>(k));
    const Files files = ReadTree(site.folder.Path());
    EXPECT_EQ(Lines(files.at("System123/GrantLog-102.csv")), 1 + 5);
    EXPECT_EQ(Lines(files.at("System123/GrantLog-107.csv")), 1 + 1);
    EXPECT_GE(Lines(files.at("System123/Dump-102.txt")), 5);
}
