// The model's tables under decoder load: radio IDs added and looked up at full table
// size, and group voice grants with the grant log taken as the screen refresh takes it.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <numeric>
#include <random>
#include <vector>

#include "model/P25Class.h"

namespace {

constexpr int RadioIds = 200000;
constexpr int Lookups = 1000000;
constexpr int GrantChannels = 40;
constexpr int GrantTalkgroups = 2000;
constexpr int GrantsPerRun = 1000000;

// Distinct 24-bit radio IDs in random order.
std::vector<int> RandomRadioIds()
{
    std::mt19937 random(12345);
    std::vector<int> ids(1 << 24);
    std::iota(ids.begin(), ids.end(), 1);
    std::shuffle(ids.begin(), ids.end(), random);
    ids.resize(RadioIds);
    return ids;
}

void BM_AddRadios(benchmark::State& state)
{
    const auto ids = RandomRadioIds();
    ManualClock clock(1700000000);
    P25Class model(clock);
    for (auto _ : state) {
        state.PauseTiming();
        model.ClearRadios();
        state.ResumeTiming();
        for (int id : ids)
            benchmark::DoNotOptimize(model.AddRadio(id, id & 0xFFFF));
    }
    state.SetItemsProcessed(state.iterations() * RadioIds);
}
BENCHMARK(BM_AddRadios)->Unit(benchmark::kMillisecond);

void BM_LookUpRadios(benchmark::State& state)
{
    const auto ids = RandomRadioIds();
    ManualClock clock(1700000000);
    P25Class model(clock);
    for (int id : ids)
        model.AddRadio(id, 0);
    std::mt19937 random(54321);
    std::vector<int> probes(Lookups);
    for (auto& probe : probes)
        probe = ids[random() % ids.size()];
    for (auto _ : state) {
        for (int id : probes)
            benchmark::DoNotOptimize(model.TouchRadio(id));
    }
    state.SetItemsProcessed(state.iterations() * Lookups);
}
BENCHMARK(BM_LookUpRadios)->Unit(benchmark::kMillisecond);

void BM_GroupVoiceGrants(benchmark::State& state)
{
    ManualClock clock(1700000000);
    P25Class model(clock);
    model.SetGrantsVisible(true);
    model.SetSystemAndSite(0x123, 1, 0x70, 2);
    for (int t = 1; t <= GrantTalkgroups; ++t)
        model.AddTalkgroup(t);
    for (int r = 0; r < GrantTalkgroups; ++r)
        model.AddRadio(1000000 + r, r + 1);
    std::mt19937 random(777);
    struct Grant
    {
        int Channel, Talkgroup, Radio;
    };
    std::vector<Grant> grants(4096);
    for (auto& g : grants)
        g = {0x1000 + static_cast<int>(random() % GrantChannels), 1 + static_cast<int>(random() % GrantTalkgroups),
             1000000 + static_cast<int>(random() % GrantTalkgroups)};
    std::vector<GRANTLOG> taken(GrantLogCapacity);
    const std::string noOptions;
    for (auto _ : state) {
        for (int i = 0; i < GrantsPerRun; ++i) {
            const Grant& g = grants[i & 4095];
            benchmark::DoNotOptimize(model.GroupVoiceGrant(g.Channel, 0, noOptions, g.Radio, g.Talkgroup));
            // The refresh takes whole queues; taking it before it fills drops nothing.
            if (i % GrantLogCapacity == GrantLogCapacity - 1)
                model.TakeGrantLog(taken.data(), GrantLogCapacity);
            if ((i & 1023) == 0)
                model.ExpireChannelActivity();
        }
    }
    state.SetItemsProcessed(state.iterations() * GrantsPerRun);
}
BENCHMARK(BM_GroupVoiceGrants)->Unit(benchmark::kMillisecond);

}
