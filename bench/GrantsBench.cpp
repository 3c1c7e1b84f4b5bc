// The grant and broadcast handlers through DecodeTsbk on one thread: a control channel's
// mix of status broadcasts, identifier updates, grants and updates over a population of
// talkgroups and radios, with every log switched on (queues drained as the screen would)
// and with every switch off.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "model/P25Class.h"
#include "support/Blocks.h"

namespace {

constexpr int SysId = 0x123;
constexpr int StreamBlocks = 100000;
constexpr int Talkgroups = 2000;
constexpr int Radios = 20000;
constexpr int VoiceChannels = 30;
constexpr int DrainInterval = 40;

std::vector<TsbkBlock> MixedStream()
{
    std::mt19937 random(777);
    const auto channel = [&] { return 0x1000 | static_cast<int>(random() % VoiceChannels) * 2; };
    const auto group = [&] { return 1 + static_cast<int>(random() % Talkgroups); };
    const auto radio = [&] { return 100000 + static_cast<int>(random() % Radios); };
    std::vector<TsbkBlock> stream;
    while (static_cast<int>(stream.size()) < StreamBlocks) {
        const int c = channel(), g = group(), r = radio();
        switch (random() % 10) {
        case 0: stream.push_back(MakeRfssStatus(SysId, 1, 2, 0x1001)); break;
        case 1:
            stream.push_back(MakeTsbk(0x3B, 0x00, {0, 0xBE, 0xE0, 0x01, 0x23, 0x10, 0x01, 0x70}));
            stream.push_back(MakeTsbk(0x3C, 0x00, {0, 0x11, 0x23, 1, 3, 0x10, 0x05, 0x70}));
            break;
        case 2: stream.push_back(MakeTsbk(0x3D, 0x00, {0x13, 0x24, 0xB4, 0x64, 0x0A, 0x25, 0x15, 0x84})); break;
        case 3:
        case 4:
        case 5:
            stream.push_back(
                MakeTsbk(0x00, 0x00, {0, c >> 8, c & 0xFF, g >> 8, g & 0xFF, r >> 16, r >> 8 & 0xFF, r & 0xFF}));
            break;
        case 6:
        case 7: {
            const int c2 = channel(), g2 = group();
            stream.push_back(
                MakeTsbk(0x02, 0x00, {c >> 8, c & 0xFF, g >> 8, g & 0xFF, c2 >> 8, c2 & 0xFF, g2 >> 8, g2 & 0xFF}));
            break;
        }
        case 8:
            stream.push_back(
                MakeTsbk(0x04, 0x00, {c >> 8, c & 0xFF, r >> 16, r >> 8 & 0xFF, r & 0xFF, 0x01, 0x86, 0xA0}));
            break;
        default: stream.push_back(MakeTsbk(0x39, 0x00, {1, 2, 0x10, 0x41, 0x70, 0x10, 0x43, 0x70})); break;
        }
    }
    return stream;
}

void DecodeStream(benchmark::State& state, bool logs)
{
    const auto stream = MixedStream();
    ManualClock clock(1700000000);
    P25Class model(clock);
    model.SetPktDumpVisible(logs);
    model.SetOtherInfoVisible(logs);
    model.SetGrantsVisible(logs);
    model.SetUnknownsVisible(logs);
    model.DecodeTsbk(MakeRfssStatus(SysId, 1, 2, 0x1001).data());
    std::vector<ALLPKT> dump(PacketDumpCapacity);
    std::vector<EVENTLOG> events(EventLogCapacity);
    std::vector<GRANTLOG> grants(GrantLogCapacity);
    for (auto _ : state) {
        int n = 0;
        for (const auto& block : stream) {
            benchmark::DoNotOptimize(model.DecodeTsbk(block.data()));
            if (logs && ++n % DrainInterval == 0) {
                model.TakePacketDump(dump.data(), PacketDumpCapacity);
                model.TakeEventLog(events.data(), EventLogCapacity);
                model.TakeGrantLog(grants.data(), GrantLogCapacity);
            }
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(stream.size()));
}

void BM_GrantsAndBroadcastsLogsOn(benchmark::State& state)
{
    DecodeStream(state, true);
}
BENCHMARK(BM_GrantsAndBroadcastsLogsOn)->Unit(benchmark::kMillisecond);

void BM_GrantsAndBroadcastsLogsOff(benchmark::State& state)
{
    DecodeStream(state, false);
}
BENCHMARK(BM_GrantsAndBroadcastsLogsOff)->Unit(benchmark::kMillisecond);

}
