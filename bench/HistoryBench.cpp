// The history database: rows written a second in batches of one writer cycle, and one
// radio's rows read back from the history of about a million blocks (300,000 grants and
// 300,000 affiliations of 5,000 radios; target: under 50 ms a query).
#include <benchmark/benchmark.h>

#include <random>

#include "history/HistoryStore.h"
#include "support/TemporaryFolder.h"

namespace {

constexpr int64_t Start = 1700000000;
constexpr int Radios = 5000;
constexpr int Talkgroups = 400;
constexpr int HistoryRows = 300000;
constexpr int BatchRows = 10000;

// A grant or an affiliation as a busy site makes them, names included.
HistoryRow MakeRow(std::mt19937& random, int64_t time, bool grant)
{
    HistoryRow row;
    row.Kind = grant ? HistoryKind::Grant : HistoryKind::Affiliation;
    row.Time = time;
    row.Rfss = 1;
    row.Site = 3;
    row.Type = grant ? "Group" : "affiliation";
    row.Talkgroup = static_cast<int>(random() % Talkgroups) + 1;
    row.TalkgroupName = "County Fire Dispatch " + std::to_string(row.Talkgroup);
    row.Radio = static_cast<int>(random() % Radios) + 1000001;
    row.RadioName = "Engine " + std::to_string(row.Radio);
    if (grant) {
        row.Channel = 0x1000 + static_cast<int>(random() % 40);
        row.Frequency = 851.0125 + (row.Channel & 0xFFF) * 0.025;
    } else {
        row.Text = "Affiliate";
    }
    return row;
}

void BM_HistoryInsert(benchmark::State& state)
{
    TemporaryFolder folder;
    HistoryStore store;
    std::string error;
    if (!store.Open(folder / "History.sqlite", error))
        state.SkipWithError(error.c_str());
    std::mt19937 random(7);
    std::vector<HistoryRow> batch;
    int64_t time = Start;
    for (auto _ : state) {
        state.PauseTiming();
        batch.clear();
        for (int i = 0; i < BatchRows; ++i)
            batch.push_back(MakeRow(random, time + i / 100, i % 2 == 0));
        time += BatchRows / 100;
        state.ResumeTiming();
        if (!store.Insert(batch, error))
            state.SkipWithError(error.c_str());
    }
    state.SetItemsProcessed(state.iterations() * BatchRows);
}
BENCHMARK(BM_HistoryInsert)->Unit(benchmark::kMillisecond);

// One store for the queries, filled once.
class LargeHistory
{
public:
    LargeHistory()
    {
        std::mt19937 random(11);
        std::string error;
        m_store.Open(m_folder / "History.sqlite", error);
        std::vector<HistoryRow> batch;
        for (int i = 0; i < 2 * HistoryRows; ++i) {
            batch.push_back(MakeRow(random, Start + i / 20, i % 2 == 0));
            if (batch.size() == BatchRows) {
                m_store.Insert(batch, error);
                batch.clear();
            }
        }
        m_store.Close();
    }
    std::string Path() const { return m_folder / "History.sqlite"; }

private:
    TemporaryFolder m_folder;
    HistoryStore m_store;
};

const LargeHistory& History()
{
    static const LargeHistory history;
    return history;
}

// As the window reads: the newest rows and the summary of them all, on a connection of its own.
void Query(benchmark::State& state, HistoryQuery query)
{
    const LargeHistory& history = History();
    HistoryStore store;
    std::string error;
    if (!store.Open(history.Path(), error, HistoryStore::Mode::Read))
        state.SkipWithError(error.c_str());
    std::vector<HistoryRow> rows;
    HistorySummary summary;
    for (auto _ : state) {
        if (!store.Query(query, rows, error) || !store.Summarize(query, summary, error))
            state.SkipWithError(error.c_str());
        benchmark::DoNotOptimize(rows.data());
    }
    state.counters["rows"] = static_cast<double>(rows.size());
    state.counters["matching"] = static_cast<double>(summary.Count);
}

void BM_HistoryQueryOneRadio(benchmark::State& state)
{
    Query(state, {.Radio = 1000042, .Limit = static_cast<int>(state.range(0))});
}
BENCHMARK(BM_HistoryQueryOneRadio)->Arg(0)->Arg(10000)->Unit(benchmark::kMillisecond);

void BM_HistoryQueryOneTalkgroup(benchmark::State& state)
{
    Query(state, {.Talkgroup = 42, .Limit = static_cast<int>(state.range(0))});
}
BENCHMARK(BM_HistoryQueryOneTalkgroup)->Arg(0)->Arg(10000)->Unit(benchmark::kMillisecond);

}
