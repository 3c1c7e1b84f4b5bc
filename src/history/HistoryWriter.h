#pragma once
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include "events/EventOutput.h"
#include "history/HistoryStore.h"

// Every notice of the history opens with it, so that a front end can tell them apart.
inline constexpr char HistoryNoticePrefix[] = "History: ";

// The row a record makes, with the names of its moment; none for a record the history
// does not keep (a neighbour without a system).
std::optional<HistoryRow> MakeHistoryRow(const TAPEVENT& event, const EventNames& names);

// The history output: Record (the thread that drains the feed) only converts and stores
// under a short mutex; a thread of its own writes the rows into each system's database,
// one transaction per batch, at least every WriteInterval. A database that fails is told
// once and tried again at most every RetryInterval; its rows meanwhile are given up.
class HistoryWriter : public EventOutput
{
public:
    static constexpr auto WriteInterval = std::chrono::seconds(1);
    static constexpr auto RetryInterval = std::chrono::minutes(1);
    // Rows recorded before the system is known wait for its first rows, up to this many.
    static constexpr size_t HeldWithoutSystem = 1000;
    // A Flush wakes the writer early once this many rows wait.
    static constexpr size_t FlushRows = 5000;
    // A replay of a file waits above this many rows; a live session drops past MaxWaiting.
    static constexpr size_t RoomRows = 100000;
    static constexpr size_t MaxWaiting = 1000000;
    // Pruning follows the records' clock, not the wall clock.
    static constexpr int64_t PruneEvery = 86400;

    // days: rows older than this before the newest are pruned; 0 keeps them all.
    HistoryWriter(std::string dataFolder, int days);
    // Writes what waits, then stops.
    ~HistoryWriter() override;
    HistoryWriter(const HistoryWriter&) = delete;
    HistoryWriter& operator=(const HistoryWriter&) = delete;

    bool TakesLines() const override { return false; }
    bool TakesRecords() const override { return true; }
    void Record(const TAPEVENT& event, const EventNames& names) override;
    void Flush() override;
    void WaitForRoom() override;
    uint64_t Dropped() const override;
    std::vector<std::string> TakeNotices() override;

    // Writes every row recorded so far (but those still waiting for a system) and waits
    // for it; false when the time ran out or some of them could not be written.
    bool Sync(std::chrono::milliseconds timeout);
    // Rows committed.
    uint64_t Written() const;

private:
    struct Pending
    {
        int SysId = 0;
        HistoryRow Row;
    };
    struct Database
    {
        HistoryStore Store;
        std::chrono::steady_clock::time_point NextTry{};
        std::set<std::string> Told;
        int64_t PrunedAt = 0;
    };

    void Execute(std::stop_token stop);
    void WriteOut(std::vector<Pending>& batch);
    // False when the database cannot take rows now.
    bool Ready(int sysId, Database& database, int64_t newestRow);
    void Tell(Database& database, const std::string& error);

    const std::string m_dataFolder;
    const int m_days;

    mutable std::mutex m_mutex;
    std::condition_variable_any m_wake;
    std::condition_variable m_progress;
    std::vector<Pending> m_pending;
    std::vector<HistoryRow> m_held;
    bool m_wakeNow = false;
    // Rows given a system so far, and how many of them are written or given up.
    uint64_t m_accepted = 0;
    uint64_t m_settled = 0;
    uint64_t m_written = 0;
    uint64_t m_dropped = 0;
    uint64_t m_failed = 0;
    std::vector<std::string> m_notices;

    // The writer thread's own.
    std::map<int, std::unique_ptr<Database>> m_databases;

    std::jthread m_thread;
};
