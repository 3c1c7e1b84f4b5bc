// DecodeTsbk on a stream of status broadcasts and unrecognised blocks, and the queue
// plus processing thread end to end.
#include <benchmark/benchmark.h>

#include <chrono>
#include <thread>
#include <vector>

#include "input/ProcThread.h"
#include "input/TBSKQueue.h"
#include "model/P25Class.h"
#include "support/Blocks.h"

namespace {

std::vector<TsbkBlock> StatusStream()
{
    std::vector<TsbkBlock> blocks;
    for (int i = 0; i < 1024; ++i) {
        switch (i % 4) {
        case 0: blocks.push_back(MakeRfssStatus(0x123, 1, 2)); break;
        case 1: blocks.push_back(MakeTsbk(0x3B, 0x00, {0, 0xBE, 0xE0, 0x01, 0x23, 0x10, 0x01, 0x70})); break;
        case 2: blocks.push_back(MakeTsbk(0x35, 0x00, {i & 0xFF})); break;
        default: blocks.push_back(MakeTsbk(0x31, 0x90, {i & 0xFF})); break;
        }
    }
    return blocks;
}

void DrainLogs(P25Class& model)
{
    static UNKTSBK unknown[UnknownPacketCapacity];
    static ALLPKT dump[PacketDumpCapacity];
    model.TakeUnknownPackets(unknown, UnknownPacketCapacity);
    model.TakePacketDump(dump, PacketDumpCapacity);
}

void BM_DecodeTsbk(benchmark::State& state)
{
    const bool logs = state.range(0) != 0;
    ManualClock clock(1700000000);
    P25Class model(clock);
    model.SetUnknownsVisible(logs);
    model.SetPktDumpVisible(logs);
    model.SetSystemAndSite(0x123, 1, 0x70, 2);
    const auto blocks = StatusStream();
    size_t i = 0;
    int sinceDrain = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(model.DecodeTsbk(blocks[i].data()));
        i = (i + 1) & 1023;
        if (++sinceDrain == 16) {
            DrainLogs(model);
            sinceDrain = 0;
        }
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DecodeTsbk)->Arg(0)->Arg(1)->ArgName("logs");

void BM_QueueAndProcThread(benchmark::State& state)
{
    const auto blocks = StatusStream();
    constexpr int perRun = 100000;
    for (auto _ : state) {
        ManualClock clock(1700000000);
        P25Class model(clock);
        model.SetSystemAndSite(0x123, 1, 0x70, 2);
        TBSKQueue queue;
        ProcThread thread(queue, model);
        thread.Start(false);
        for (int n = 0; n < perRun;) {
            if (queue.Push(blocks[n & 1023].data()))
                ++n;
            else
                std::this_thread::yield();
        }
        while (thread.BlocksTaken() < perRun)
            std::this_thread::yield();
        thread.Stop();
    }
    state.SetItemsProcessed(state.iterations() * perRun);
}
BENCHMARK(BM_QueueAndProcThread)->Unit(benchmark::kMillisecond)->UseRealTime();

}
