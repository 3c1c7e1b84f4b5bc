// The system folder at full size: 65,535 talkgroups and 200,000 radios saved and loaded
// again (target: under 0.5 s each); and a hand-made System.ini of 100,000 keys in one
// section, loaded and saved (target: well under a second).
#include <benchmark/benchmark.h>

#include <random>
#include <string>

#include "model/P25Class.h"
#include "support/TemporaryFolder.h"

namespace {

constexpr int Talkgroups = 65535;
constexpr int Radios = 200000;
constexpr int RadioIdStep = 83;
constexpr int SysId = 0x1A4;
// A week of sightings: last-seen times spread over it.
constexpr int64_t Start = 1700000000;
constexpr int64_t Week = 7 * 86400;

// A model of a large system, with descriptions of the length the directory import gives.
void FillLargeSystem(P25Class& model)
{
    std::mt19937 random(12345);
    model.SetSystemAndSite(SysId, 1, 0x70, 3);
    for (int id = 1; id <= Talkgroups; ++id) {
        model.SetTalkgroup(id, "County Fire Dispatch, talkgroup " + std::to_string(id), Start + random() % Week,
                           static_cast<uint8_t>(id % 100), 0);
        model.SetTalkgroupHits(id, id % 1000);
    }
    // Distinct IDs spread over the 24-bit range.
    for (int i = 0; i < Radios; ++i) {
        const int id = i * RadioIdStep % 0xFFFFFF + 1;
        model.SetRadio(id, "Engine " + std::to_string(i), Start + random() % Week);
    }
}

void BM_SaveSystemFolder(benchmark::State& state)
{
    TemporaryFolder data;
    ManualClock clock(Start + Week);
    P25Class model(clock);
    model.SetDataFolder(data.Path());
    FillLargeSystem(model);
    std::string error;
    for (auto _ : state)
        if (!model.SaveSystemFolder(error))
            state.SkipWithError(error.c_str());
    state.counters["talkgroups"] = model.TalkgroupCount();
    state.counters["radios"] = model.RadioCount();
}
BENCHMARK(BM_SaveSystemFolder)->Unit(benchmark::kMillisecond);

void BM_LoadSystemFolder(benchmark::State& state)
{
    TemporaryFolder data;
    ManualClock clock(Start + Week);
    P25Class model(clock);
    model.SetDataFolder(data.Path());
    FillLargeSystem(model);
    std::string error;
    model.SaveSystemFolder(error);
    for (auto _ : state) {
        state.PauseTiming();
        model.ClearTalkgroups();
        model.ClearRadios();
        state.ResumeTiming();
        model.LoadSystemFolder();
    }
    state.counters["talkgroups"] = model.TalkgroupCount();
    state.counters["radios"] = model.RadioCount();
}
BENCHMARK(BM_LoadSystemFolder)->Unit(benchmark::kMillisecond);

constexpr int IniKeys = 100000;

// state.range(0): 0 fills [AffiliationFilters], 1 fills [Towers].
void BM_HugeSystemIni(benchmark::State& state)
{
    TemporaryFolder data;
    ManualClock clock(Start);
    std::string ini = "[System]\r\nDescription=Big\r\n";
    if (state.range(0) == 0) {
        ini += "[AffiliationFilters]\r\nEnabled=1\r\nCount=" + std::to_string(IniKeys) + "\r\n";
        for (int i = 0; i < IniKeys; ++i)
            ini += "Filter" + std::to_string(i) + "=1," + std::to_string(i) + "," + std::to_string(i + 1) + "\r\n";
    } else {
        ini += "[Towers]\r\n";
        // "%03d%03d": RFSS i / 1000, site i % 1000.
        for (int i = 0; i < IniKeys; ++i)
            ini += std::to_string(1000000 + i).substr(1) + "=Tower " + std::to_string(i) + "\r\n";
    }
    WriteText(data / "System1A4/System.ini", ini);
    P25Class model(clock);
    model.SetDataFolder(data.Path());
    model.SetSystemAndSite(SysId, 1, 0x70, 3);
    for (auto _ : state)
        model.LoadSystemFolder();
    state.counters["keys"] = IniKeys;
}
BENCHMARK(BM_HugeSystemIni)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}
