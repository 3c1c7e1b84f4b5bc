// One refresh cycle on the caller's thread with every list full: 50 channels, 2,000
// affiliations, logs at their caps. Each cycle first gets what a busy site logs between
// two refreshes (a grant, an affiliation, a packet), as a window would every 10 ms.
#include <benchmark/benchmark.h>

#include "support/LogDrain.h"
#include "view/RefreshCycle.h"

namespace {

void BM_RefreshCycleFullLists(benchmark::State& state)
{
    ManualClock clock(1700000000);
    P25Class model(clock);
    SetEveryLogSwitch(model, true);
    model.SetSystemAndSite(0x1A2, 1, 0x30, 3);
    model.SetIdentifierTable(1, {851.0, -45.0, 0.0125, 0.0125, 2, 1});
    RefreshCycle refresh(model);
    for (int c = 0; c < MaxChannels; ++c)
        model.GroupVoiceGrant(0x1000 + c, 0, "", 100000 + c, 100 + c);
    const uint8_t block[TsbkSize] = {};
    for (int i = 0; i < 12000; ++i) {
        model.RecordAffiliation('A', 200000 + i % MaxAffiliations, "Group Affiliation", 300 + i % 400);
        model.LogGrant("Group", 0x1000 + i % MaxChannels, "", 100000 + i, 100 + i % 400);
        model.LogPacket(block, "Group Voice Grant - Group: 100 Channel: 1-0001(851.01250) Radio ID: 100000");
        model.LogEvent(block, "event");
        if (i % 100 == 99)
            refresh.RunCycle({true, -1, false});
    }
    refresh.RunCycle({true, -1, false});
    int i = 0;
    for (auto _ : state) {
        ++i;
        model.GroupVoiceGrant(0x1000 + i % MaxChannels, 0, "", 300000 + i, 100 + i % 400);
        model.RecordAffiliation('A', 200000 + i % MaxAffiliations, "Group Affiliation", 300 + i % 400);
        model.LogPacket(block, "Group Voice Grant - Group: 100 Channel: 1-0001(851.01250) Radio ID: 100000");
        refresh.RunCycle({true, -1, false});
    }
    state.counters["affiliations"] = static_cast<double>(refresh.Affiliations.Size());
    state.counters["dump rows"] = static_cast<double>(refresh.Logs.List(LogKind::PacketDump).Rows().size());
    state.counters["activity rows"] = static_cast<double>(refresh.Activity.size());
}
BENCHMARK(BM_RefreshCycleFullLists)->Unit(benchmark::kMicrosecond);

}
