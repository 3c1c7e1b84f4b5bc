// Parsing of each capture kind, and a replay end to end through the queue and the
// processing thread into the decoder.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include "input/CaptureReplay.h"
#include "input/TBSKQueue.h"
#include "model/P25Class.h"
#include "support/Blocks.h"
#include "support/CaptureWriter.h"

namespace {

TsbkBlock Numbered(int n)
{
    return MakeTsbk(0x3B, 0x00, {n >> 16 & 0xFF, n >> 8 & 0xFF, n & 0xFF});
}

void BM_ParseCaptureLine(benchmark::State& state)
{
    const auto kind = static_cast<CaptureKind>(state.range(0));
    std::vector<std::string> lines;
    for (int n = 0; n < 1024; ++n)
        lines.push_back(CaptureWriter::Line(kind, Numbered(n), 1700000000 + n / 40) + "\r\n");
    CaptureParser parser(kind);
    uint8_t block[TsbkSize];
    if (kind == CaptureKind::Anritsu)
        parser.ParseLine("<APP_DATA>\r\n", block);
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(parser.ParseLine(lines[i], block));
        i = (i + 1) & 1023;
    }
    state.SetItemsProcessed(state.iterations());
    state.SetLabel(CaptureKindText(kind));
}
BENCHMARK(BM_ParseCaptureLine)->DenseRange(0, CaptureKindCount - 1)->ArgName("kind");

void BM_ReplayIntoDecoder(benchmark::State& state)
{
    constexpr int blocks = 200000;
    const auto path = std::filesystem::temp_directory_path() / "zembrant-bench-replay.txt";
    {
        std::ofstream out(path, std::ios::binary);
        out << CaptureWriter::Line(CaptureKind::Psr500Dump, MakeRfssStatus(0x123, 1, 2)) << "\r\n";
        for (int n = 1; n < blocks; ++n)
            out << CaptureWriter::Line(CaptureKind::Psr500Dump, Numbered(n)) << "\r\n";
    }
    for (auto _ : state) {
        ManualClock clock(1700000000);
        P25Class model(clock);
        TBSKQueue queue;
        CaptureReplay replay(queue, model, clock);
        std::string error;
        replay.Open(path.string(), CaptureKind::Psr500Dump, error);
        replay.Start(false);
        while (!replay.IsFinished())
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        replay.Stop();
    }
    std::filesystem::remove(path);
    state.SetItemsProcessed(state.iterations() * blocks);
}
BENCHMARK(BM_ReplayIntoDecoder)->Unit(benchmark::kMillisecond)->UseRealTime();

}
