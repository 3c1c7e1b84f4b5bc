#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <mutex>
#include <thread>

#include "input/KavriReadThread.h"
#include "input/TBSKQueue.h"
#include "support/Blocks.h"
#include "support/TestScanner.h"

namespace {

using namespace std::chrono_literals;

TsbkBlock Numbered(int n)
{
    return MakeTsbk(0x3B, 0x00, {n >> 8 & 0xFF, n & 0xFF, 0xAB, 0xCD});
}

// Waits up to two seconds for a condition the reader thread brings about.
template <typename Condition>
bool Eventually(Condition condition)
{
    const auto deadline = std::chrono::steady_clock::now() + 2s;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(2ms);
    }
    return true;
}

class KavriTest : public ::testing::Test
{
protected:
    TestScanner scanner;
    TBSKQueue queue;
    ReceiveCounters counters;
    std::mutex errorsMutex;
    std::vector<std::string> errors;

    std::unique_ptr<TKavri> StartReader(int type, bool rawDump = false, int latency = 0)
    {
        KavriSettings settings;
        settings.Port = scanner.SlavePath();
        settings.ScannerType = type;
        settings.Latency = latency;
        settings.RawDump = rawDump;
        auto reader = std::make_unique<TKavri>(queue, counters, settings);
        reader->onPortError = [this](const std::string& text) {
            std::lock_guard guard(errorsMutex);
            errors.push_back(text);
        };
        reader->Start(true);
        EXPECT_TRUE(Eventually([&] { return reader->IsReading(); }));
        return reader;
    }

    std::vector<TsbkBlock> TakeBlocks(size_t count)
    {
        std::vector<TsbkBlock> blocks;
        Eventually([&] {
            TsbkBlock block;
            while (blocks.size() < count && queue.Pop(block.data()))
                blocks.push_back(block);
            return blocks.size() >= count;
        });
        return blocks;
    }

    std::vector<std::string> Errors()
    {
        std::lock_guard guard(errorsMutex);
        return errors;
    }
};

// Sets the top bit of every byte, as a noisy link may.
std::string HighBits(const std::string& text)
{
    std::string out;
    for (char c : text)
        out += static_cast<char>(static_cast<unsigned char>(c) | 0x80);
    return out;
}

}

TEST(ParseScannerLine, LineShapesAndLengthTests)
{
    uint8_t block[12] = {};
    const TsbkBlock expected{0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF, 0x01, 0x23, 0x45, 0x67};
    auto blockIs = [&] { return std::equal(expected.begin(), expected.end(), block); };

    auto r = ParseScannerLine(ScannerTypes::Psr500, "P25:X:0123456789ABCDEF01234567 more text", block);
    EXPECT_TRUE(r.Block && r.Expected && r.Dumped && blockIs());
    r = ParseScannerLine(ScannerTypes::Psr500, "P25,X:0123456789ABCDEF0123456", block);
    EXPECT_TRUE(r.Expected && !r.Block);

    EXPECT_TRUE(ParseScannerLine(ScannerTypes::Bcd396xt, "P25,0123456789abcdef01234567", block).Block);
    EXPECT_TRUE(blockIs());
    r = ParseScannerLine(ScannerTypes::Bcd396xt, "p25,0123456789ABCDEF01234567", block);
    EXPECT_TRUE(r.Expected && !r.Block);
    EXPECT_FALSE(ParseScannerLine(ScannerTypes::Bcd396xt, "P25,0123456789ABCDEF012", block).Dumped);

    const std::string pairs = "01 23 45 67 89 AB CD EF 01 23 45 67";
    EXPECT_TRUE(ParseScannerLine(ScannerTypes::AnritsuS412d, "0123456789 12345678 " + pairs, block).Block);
    r = ParseScannerLine(ScannerTypes::AnritsuS412d, "01234567890 2345678 " + pairs, block);
    EXPECT_TRUE(r.Dumped && !r.Expected && !r.Block);

    EXPECT_TRUE(ParseScannerLine(ScannerTypes::Psr800, "P25:a:b:c:P25TSBK:" + pairs, block).Block);
    EXPECT_TRUE(blockIs());
    const std::string pdu = "P25:a:b:c:p25pdu:00:01:23:45:67:89:AB:CD:EF:01:23:45:67";
    EXPECT_TRUE(ParseScannerLine(ScannerTypes::Psr800, pdu, block).Block);
    EXPECT_TRUE(blockIs());
    r = ParseScannerLine(ScannerTypes::Psr800, pdu.substr(0, pdu.size() - 3), block);
    EXPECT_TRUE(r.Expected && !r.Block);
}

TEST_F(KavriTest, Psr500StartsTheDataOutputAndFramesLines)
{
    auto reader = StartReader(ScannerTypes::Psr500);
    EXPECT_EQ(scanner.ReadSent(500), (std::vector<uint8_t>{0x02, 0x43, 0x01, 0x03, 0x47}));

    scanner.Write("garbage\r\nP25:0A1:" + TestScanner::HexText(Numbered(1)).substr(1) + "\r\n");
    scanner.Write(TestScanner::Psr500Line(Numbered(2)) + "\r\n");
    const auto blocks = TakeBlocks(1);
    ASSERT_EQ(blocks.size(), 1u);
    EXPECT_EQ(blocks[0], Numbered(2));
    EXPECT_EQ(counters.BlocksExpected.load(), 40);
    EXPECT_EQ(counters.BlocksReceived.load(), 1);
    reader->Stop();
    EXPECT_TRUE(Errors().empty());
}

TEST_F(KavriTest, CrLfHighBitsAndOverlongGarbageStillGiveTheBlocks)
{
    auto reader = StartReader(ScannerTypes::Bcd396xt);
    scanner.Write(std::string(5000, 'Z') + "\r\n");
    scanner.Write(HighBits(TestScanner::UnidenLine(Numbered(1))) + "\r\n");
    scanner.Write(TestScanner::UnidenLine(Numbered(2)) + "\n\r\n" + TestScanner::UnidenLine(Numbered(3)) + "\r");
    const auto blocks = TakeBlocks(3);
    ASSERT_EQ(blocks.size(), 3u);
    EXPECT_EQ(blocks[0], Numbered(1));
    EXPECT_EQ(blocks[2], Numbered(3));
    std::this_thread::sleep_for(30ms);
    EXPECT_FALSE(queue.HasData());
    EXPECT_EQ(counters.BlocksReceived.load(), 3);
}

TEST_F(KavriTest, AnritsuAndPsr800LinesGiveTheirBlocks)
{
    {
        auto reader = StartReader(ScannerTypes::AnritsuS412d);
        scanner.Write(TestScanner::AnritsuLine(Numbered(1)) + "\r\n");
        EXPECT_EQ(TakeBlocks(1), std::vector<TsbkBlock>{Numbered(1)});
    }
    auto reader = StartReader(ScannerTypes::Psr800);
    scanner.ReadSent(500);
    const auto packet = MakePacket({Numbered(5)});
    scanner.Write(TestScanner::Psr800TsbkLine(Numbered(4)) + "\r\n");
    scanner.Write(TestScanner::Psr800PduLine(packet[0]) + "\r\n" + TestScanner::Psr800PduLine(packet[1]) + "\r\n");
    const auto blocks = TakeBlocks(3);
    EXPECT_EQ(blocks, (std::vector<TsbkBlock>{Numbered(4), packet[0], packet[1]}));
}

TEST_F(KavriTest, RawLinesAreKeptOnlyWhileTheDumpIsOn)
{
    auto reader = StartReader(ScannerTypes::Psr500, true);
    const std::string line = TestScanner::Psr500Line(Numbered(1));
    scanner.Write("short\r\n" + line + "\r\n");
    TakeBlocks(1);
    ASSERT_TRUE(Eventually([&] { return reader->HasRawLines(); }));
    EXPECT_EQ(reader->PopRawLine(), line);
    EXPECT_FALSE(reader->HasRawLines());

    reader->SetRawDump(false);
    scanner.Write(line + "\r\n");
    TakeBlocks(1);
    EXPECT_FALSE(reader->HasRawLines());
    EXPECT_EQ(reader->PopRawLine(), "");
}

TEST_F(KavriTest, Pro96PollsAcknowledgesAndDropsBadResponses)
{
    const TsbkBlock zero{};
    scanner.ServePolls({TestScanner::Pro96Response(Numbered(1)), TestScanner::Pro96Response(Numbered(2), 0x15),
                        TestScanner::Pro96Response(zero), TestScanner::Pro96Response(Numbered(3))});
    auto reader = StartReader(ScannerTypes::Pro96);
    const auto blocks = TakeBlocks(2);
    EXPECT_EQ(blocks, (std::vector<TsbkBlock>{Numbered(1), Numbered(3)}));
    EXPECT_TRUE(Eventually([&] { return scanner.Acknowledges() >= 4; }));
    reader->Stop();
    EXPECT_EQ(counters.BlocksExpected.load(), 3);
    EXPECT_EQ(counters.BlocksReceived.load(), 2);
    EXPECT_FALSE(reader->HasRawLines());
}

TEST_F(KavriTest, FullQueueHoldsTheScannerBackWithoutLosingBlocks)
{
    const TsbkBlock filler = MakeTsbk(0x3A, 0x00);
    for (int i = 0; i < TBSKQueue::Slots - 3; ++i)
        queue.Push(filler.data());
    auto reader = StartReader(ScannerTypes::Bcd396xt);
    std::string lines;
    for (int i = 0; i < 10; ++i)
        lines += TestScanner::UnidenLine(Numbered(i)) + "\r\n";
    scanner.Write(lines);
    ASSERT_TRUE(Eventually([&] { return !queue.HasRoom(); }));
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(counters.BlocksReceived.load(), 3);

    std::vector<TsbkBlock> ours;
    TsbkBlock block;
    Eventually([&] {
        while (queue.Pop(block.data())) {
            if (block != filler)
                ours.push_back(block);
        }
        return ours.size() >= 10;
    });
    ASSERT_EQ(ours.size(), 10u);
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(ours[i], Numbered(i));
}

TEST_F(KavriTest, OpenFailureIsReportedOnceAndNothingRuns)
{
    KavriSettings settings;
    settings.Port = "/dev/zembrant-no-such-port";
    settings.ScannerType = ScannerTypes::Psr500;
    TKavri reader(queue, counters, settings);
    reader.onPortError = [this](const std::string& text) { errors.push_back(text); };
    reader.Start(true);
    ASSERT_TRUE(Eventually([&] { return !reader.IsRunning(); }));
    EXPECT_EQ(errors, std::vector<std::string>{"Port does not exist!"});
    EXPECT_FALSE(reader.IsReading());

    settings.ScannerType = ScannerTypes::None;
    TKavri none(queue, counters, settings);
    none.Start(true);
    ASSERT_TRUE(Eventually([&] { return !none.IsRunning(); }));
    EXPECT_EQ(errors.size(), 1u);
}

TEST_F(KavriTest, HangUpIsReportedOnceAndTheReaderEnds)
{
    for (int type : {ScannerTypes::Psr500, ScannerTypes::Pro96}) {
        TestScanner own;
        KavriSettings settings;
        settings.Port = own.SlavePath();
        settings.ScannerType = type;
        settings.Latency = 0;
        std::vector<std::string> lost;
        TKavri reader(queue, counters, settings);
        reader.onPortError = [&lost](const std::string& text) { lost.push_back(text); };
        reader.Start(true);
        ASSERT_TRUE(Eventually([&] { return reader.IsReading(); }));
        own.HangUp();
        ASSERT_TRUE(Eventually([&] { return !reader.IsRunning(); })) << type;
        EXPECT_EQ(lost, std::vector<std::string>{"the scanner's port was closed (hang-up)"});
        EXPECT_FALSE(reader.IsReading());
    }
}
