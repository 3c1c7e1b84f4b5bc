#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <random>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "input/CaptureReplay.h"
#include "input/KavriReadThread.h"
#include "input/TBSKQueue.h"
#include "model/P25Class.h"
#include "support/Blocks.h"
#include "support/CaptureWriter.h"

namespace fs = std::filesystem;

namespace {

using namespace std::chrono_literals;

TsbkBlock Numbered(int n)
{
    return MakeTsbk(0x3B, 0x00, {n >> 16 & 0xFF, n >> 8 & 0xFF, n & 0xFF});
}

int NumberOf(const uint8_t* block)
{
    return static_cast<int>(Get24(block, 2));
}

// Checks that the numbered blocks arrive one by one, in order, and counts them.
class OrderDecoder : public BlockDecoder
{
public:
    bool DecodeTsbk(const uint8_t* block) override
    {
        if (NumberOf(block) != count)
            ++outOfOrder;
        ++count;
        return true;
    }
    bool DecodeMultiBlock(const PacketRecord&) override { return true; }

    int count = 0;
    int outOfOrder = 0;
};

// Passes every block to the model and notes the clock it was decoded with.
class StampingDecoder : public BlockDecoder
{
public:
    explicit StampingDecoder(P25Class& model) : m_model(model) {}
    bool DecodeTsbk(const uint8_t* block) override
    {
        stamps.push_back({m_model.Now(), m_model.ActivityTicks()});
        return m_model.DecodeTsbk(block);
    }
    bool DecodeMultiBlock(const PacketRecord& packet) override { return m_model.DecodeMultiBlock(packet); }

    std::vector<std::pair<int64_t, uint32_t>> stamps;

private:
    P25Class& m_model;
};

class CaptureReplayTest : public ::testing::Test
{
protected:
    fs::path folder;

    void SetUp() override
    {
        folder = fs::temp_directory_path() /
                 ("zembrant-replay-" + std::to_string(::getpid()) + "-" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(folder);
    }
    void TearDown() override { fs::remove_all(folder); }

    std::string PathOf(const std::string& name) { return (folder / name).string(); }

    // Replays the file to its end and returns what the replay reported.
    ReplayProgress Replay(const std::string& path, CaptureKind kind, BlockDecoder& decoder, int64_t start = 1700000000,
                          ReceiveCounters* counters = nullptr)
    {
        TBSKQueue queue;
        ManualClock clock(start);
        CaptureReplay replay(queue, decoder, clock, counters);
        std::string error;
        EXPECT_TRUE(replay.Open(path, kind, error)) << error;
        std::atomic<bool> ended{false};
        replay.onEnded = [&] { ended = true; };
        replay.Start(true);
        while (!ended)
            std::this_thread::sleep_for(1ms);
        replay.Stop();
        EXPECT_TRUE(replay.IsFinished());
        EXPECT_FALSE(queue.HasData());
        return replay.Progress();
    }
};

std::vector<uint8_t> Parse(CaptureParser& parser, const std::string& line)
{
    uint8_t block[TsbkSize];
    if (!parser.ParseLine(line, block))
        return {};
    return std::vector<uint8_t>(block, block + TsbkSize);
}

const std::vector<uint8_t> Expected{0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF, 0x01, 0x23, 0x45, 0x67};

}

TEST(CaptureParser, AnritsuDataSectionBoundsTheBlocks)
{
    CaptureParser parser(CaptureKind::Anritsu);
    const std::string data = "1 2 01 23 45 67 89 AB CD EF 01 23 45 67 9";
    EXPECT_TRUE(Parse(parser, data).empty());
    Parse(parser, "<app_data> opens");
    EXPECT_EQ(Parse(parser, data + "\r\n"), Expected);
    EXPECT_EQ(Parse(parser, "1\t2\t01x\t23\t45\t67\t89\tAB\tCD\tEF\t01\t23\t45\t67"), Expected);
    Parse(parser, "<APP_DATA_END>");
    EXPECT_TRUE(Parse(parser, data).empty());
    Parse(parser, "<APP_DATA>");
    EXPECT_EQ(Parse(parser, data), Expected);
}

TEST(CaptureParser, PrefixedAndTaggedKinds)
{
    CaptureParser psr500(CaptureKind::Psr500Dump);
    EXPECT_EQ(Parse(psr500, "P25,0123456789abcdef01234567"), Expected);
    EXPECT_TRUE(Parse(psr500, "P25,0123456789ABCDEF0123456").empty());
    EXPECT_TRUE(Parse(psr500, "p25,0123456789ABCDEF01234567").empty());
    EXPECT_TRUE(Parse(psr500, "#P25,0123456789ABCDEF01234567").empty());

    CaptureParser psr800(CaptureKind::Psr800Dump);
    EXPECT_EQ(Parse(psr800, "P25:0:1:2:P25TSBK:01 23 45 67 89 AB CD EF 01 23 45 67:x"), Expected);
    EXPECT_TRUE(Parse(psr800, "P25TSBK:01 23 45 67 89 AB CD EF 01 23 45 67").empty());
    EXPECT_EQ(Parse(psr800, "P25:0:1:2:P25PDU:12345:01:23:45:67:89:AB:CD:EF:01:23:45:67:ff"), Expected);
    EXPECT_TRUE(Parse(psr800, "[P25:0:1:2:P25TSBK:01 23 45 67 89 AB CD EF 01 23 45 67").empty());

    CaptureParser homePatrol(CaptureKind::HomePatrolDump);
    EXPECT_EQ(Parse(homePatrol, "12:00\t\"P25,0123456789ABCDEF01234567\"\t-90\t\r\n"), Expected);
    EXPECT_TRUE(Parse(homePatrol, "12:00\t\"P25,0123456789ABCDEF0123456\"").empty());
    EXPECT_TRUE(Parse(homePatrol, "no tab P25,0123456789ABCDEF01234567").empty());

    CaptureParser uniden(CaptureKind::Bcd396xtDump);
    EXPECT_EQ(Parse(uniden, "P25,0123456789ABCDEF01234567,x"), Expected);
    EXPECT_TRUE(Parse(uniden, "p25,0123456789ABCDEF01234567").empty());
}

TEST(CaptureParser, ProgramDumpReadsTheFirst38ColumnsAndTheTime)
{
    CaptureParser dump(CaptureKind::ZembrantDump);
    EXPECT_EQ(Parse(dump, "  0123 4567 89AB CDEF 0123 4567         " + LocalTimeText(1700000123) + " Text"),
              Expected);
    EXPECT_EQ(dump.LineTime(), 1700000123);
    // Digits beyond column 38 do not count.
    EXPECT_TRUE(Parse(dump, "  0123456789ABCDEF0123          " + std::string(10, ' ') + "4567").empty());
    EXPECT_EQ(Parse(dump, "0123456789ABCDEF01234567" + std::string(14, ' ')), Expected);
    EXPECT_EQ(dump.LineTime(), 0);
}

TEST_F(CaptureReplayTest, EveryKindReplaysItsBlocksInOrder)
{
    for (int k = 0; k < CaptureKindCount; ++k) {
        const auto kind = static_cast<CaptureKind>(k);
        const std::string path = PathOf("kind" + std::to_string(k));
        {
            CaptureWriter writer(path, kind);
            writer.Raw("# comment\r\n[section]\r\n\r\n\t\r\n");
            for (int n = 0; n < 300; ++n)
                writer.Block(Numbered(n));
        }
        OrderDecoder decoder;
        ReceiveCounters counters;
        const ReplayProgress progress = Replay(path, kind, decoder, 1700000000, &counters);
        EXPECT_EQ(decoder.count, 300) << CaptureKindText(kind);
        EXPECT_EQ(decoder.outOfOrder, 0) << CaptureKindText(kind);
        EXPECT_EQ(progress.Blocks, 300u);
        EXPECT_EQ(progress.BytesRead, progress.TotalBytes);
        EXPECT_EQ(progress.TotalBytes, fs::file_size(path));
        EXPECT_EQ(counters.BlocksReceived.load(), kind == CaptureKind::Bcd396xtDump ? 300 : 0);
    }
}

TEST_F(CaptureReplayTest, MillionBlocksLoseNone)
{
    const std::string path = PathOf("million.txt");
    {
        std::ofstream out(path, std::ios::binary);
        for (int n = 0; n < 1000000; ++n)
            out << CaptureWriter::Line(CaptureKind::Psr500Dump, Numbered(n)) << "\n";
    }
    OrderDecoder decoder;
    const ReplayProgress progress = Replay(path, CaptureKind::Psr500Dump, decoder);
    EXPECT_EQ(progress.Lines, 1000000u);
    EXPECT_EQ(decoder.count, 1000000);
    EXPECT_EQ(decoder.outOfOrder, 0);
}

TEST_F(CaptureReplayTest, ClockFollowsTheCaptureNotTheMachine)
{
    const std::string path = PathOf("Dump.txt");
    {
        CaptureWriter writer(path, CaptureKind::ZembrantDump);
        writer.Block(MakeRfssStatus(0x1A2, 1, 3), 1600000000); // earlier than the start: ignored
        for (int n = 1; n < 80; ++n)
            writer.Block(Numbered(n), 1600000000);
        writer.Block(Numbered(80), 1800000000);
        writer.Block(Numbered(81), 1800000000);
    }
    std::vector<std::pair<int64_t, uint32_t>> first;
    for (int run = 0; run < 2; ++run) {
        P25Class model;
        StampingDecoder decoder(model);
        TBSKQueue queue;
        ManualClock clock(1700000000);
        model.SetClock(clock);
        {
            CaptureReplay replay(queue, decoder, clock);
            std::string error;
            ASSERT_TRUE(replay.Open(path, CaptureKind::ZembrantDump, error));
            int ticks = 0;
            replay.SetTickHandler([&ticks] { ++ticks; });
            replay.Start(run == 1);
            while (!replay.IsFinished())
                std::this_thread::sleep_for(1ms);
            replay.Stop();
            EXPECT_EQ(ticks, 21);
        }
        ASSERT_EQ(decoder.stamps.size(), 82u);
        // 25 ms a block: the 40th block is decoded one second on.
        EXPECT_EQ(decoder.stamps[0], std::make_pair(int64_t{1700000000}, uint32_t{0}));
        EXPECT_EQ(decoder.stamps[39], std::make_pair(int64_t{1700000001}, uint32_t{10}));
        EXPECT_EQ(decoder.stamps[80].first, 1800000000);
        if (run == 0)
            first = decoder.stamps;
        else
            EXPECT_EQ(decoder.stamps, first);
    }
}

TEST_F(CaptureReplayTest, HostileFilesEndCleanly)
{
    const std::string garbage = PathOf("garbage.p25");
    {
        std::ofstream out(garbage, std::ios::binary);
        std::mt19937 random(7);
        for (int i = 0; i < 1 << 20; ++i)
            out.put(static_cast<char>(random()));
    }
    const std::string empty = PathOf("empty.p25");
    std::ofstream(empty).close();
    const std::string noEnds = PathOf("noends.txt");
    {
        std::ofstream out(noEnds, std::ios::binary);
        for (int n = 0; n < 2000; ++n)
            out << CaptureWriter::Line(CaptureKind::Bcd396xtDump, Numbered(n));
    }
    for (int k = 0; k < CaptureKindCount; ++k) {
        for (const auto& path : {garbage, empty, noEnds}) {
            OrderDecoder decoder;
            const auto progress = Replay(path, static_cast<CaptureKind>(k), decoder);
            EXPECT_EQ(progress.BytesRead, progress.TotalBytes);
        }
    }
    // A line longer than a read is taken in pieces of 1023 characters.
    OrderDecoder decoder;
    const auto progress = Replay(noEnds, CaptureKind::Psr500Dump, decoder);
    EXPECT_EQ(progress.Lines, (fs::file_size(noEnds) + 1022) / 1023);
}

TEST_F(CaptureReplayTest, HundredMegabyteLineIsReadInBoundedPieces)
{
    const std::string path = PathOf("oneline.log");
    {
        std::ofstream out(path, std::ios::binary);
        const std::string chunk(1 << 20, 'P');
        for (int i = 0; i < 100; ++i)
            out << chunk;
        out << "\n" << CaptureWriter::Line(CaptureKind::Psr500Dump, Numbered(0)) << "\n";
    }
    OrderDecoder decoder;
    const auto progress = Replay(path, CaptureKind::Psr500Dump, decoder);
    EXPECT_EQ(decoder.count, 1);
    EXPECT_EQ(progress.BytesRead, progress.TotalBytes);
}

TEST_F(CaptureReplayTest, StopRequestEndsAReplayThatWaitsForRoom)
{
    const std::string path = PathOf("long.txt");
    {
        CaptureWriter writer(path, CaptureKind::Bcd396xtDump);
        for (int n = 0; n < 20000; ++n)
            writer.Block(Numbered(n));
    }
    // A decoder that holds the first block until released, so that the queue fills.
    class HeldDecoder : public BlockDecoder
    {
    public:
        bool DecodeTsbk(const uint8_t*) override
        {
            while (held)
                std::this_thread::sleep_for(1ms);
            return true;
        }
        bool DecodeMultiBlock(const PacketRecord&) override { return true; }
        std::atomic<bool> held{true};
    } decoder;
    TBSKQueue queue;
    ManualClock clock(0);
    CaptureReplay replay(queue, decoder, clock);
    std::string error;
    ASSERT_TRUE(replay.Open(path, CaptureKind::Bcd396xtDump, error));
    replay.Start(false);
    while (queue.HasRoom())
        std::this_thread::sleep_for(1ms);
    replay.RequestStop();
    decoder.held = false;
    replay.Stop();
    EXPECT_FALSE(replay.IsFinished());
    EXPECT_LT(replay.Progress().Blocks, 20000u);

    EXPECT_FALSE(replay.Open(PathOf("missing.p25"), CaptureKind::Anritsu, error));
    EXPECT_EQ(error, "File could not be opened!");
}

// A FIFO delivers a line in pieces and then idles with its writer still there: the pieces
// make one line, and a stop request ends the wait.
TEST_F(CaptureReplayTest, IdleFifoKeepsLinesWholeAndYieldsToAStop)
{
    const std::string path = PathOf("fifo");
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    CaptureFile file;
    ASSERT_TRUE(file.Open(path));
    const int writer = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    ASSERT_GE(writer, 0);
    std::stop_source stop;
    std::vector<std::string> lines;
    std::thread reader([&] {
        std::string_view line;
        while (file.NextLine(line, stop.get_token()))
            lines.emplace_back(line);
    });
    ASSERT_EQ(::write(writer, "P25,0123", 8), 8);
    std::this_thread::sleep_for(50ms);
    ASSERT_EQ(::write(writer, "456789\nnext", 11), 11);
    std::this_thread::sleep_for(50ms);
    const auto asked = std::chrono::steady_clock::now();
    stop.request_stop();
    reader.join();
    EXPECT_LT(std::chrono::steady_clock::now() - asked, 1s);
    ::close(writer);
    EXPECT_EQ(lines, std::vector<std::string>{"P25,0123456789\n"});
    EXPECT_EQ(file.ReadError(), "");
}

TEST_F(CaptureReplayTest, DirectoryAndReadErrorAreNotEmptyCaptures)
{
    TBSKQueue queue;
    OrderDecoder decoder;
    ManualClock clock(0);
    CaptureReplay replay(queue, decoder, clock);
    std::string error;
    EXPECT_FALSE(replay.Open(folder.string(), CaptureKind::ZembrantDump, error));
    EXPECT_EQ(error, "File could not be opened!");

    // The process's own memory at offset 0 is unmapped: reading it fails with EIO.
    ASSERT_TRUE(replay.Open("/proc/self/mem", CaptureKind::ZembrantDump, error));
    replay.Start(false);
    while (replay.IsRunning())
        std::this_thread::sleep_for(1ms);
    replay.Stop();
    EXPECT_FALSE(replay.IsFinished());
    EXPECT_EQ(replay.ReadError(), "Input/output error");
}
