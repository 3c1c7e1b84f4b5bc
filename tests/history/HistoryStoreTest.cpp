#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <sqlite3.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "TemporaryFolder.h"
#include "history/HistoryStore.h"
#include "platform/Files.h"

namespace {

constexpr int64_t T0 = 1764576000; // 2025-12-01 08:00:00 UTC

HistoryRow Row(HistoryKind kind, int64_t time, std::string type, int talkgroup, int radio, int target,
               std::string text, int rfss = 1, int site = 3)
{
    HistoryRow row;
    row.Kind = kind;
    row.Time = time;
    row.Rfss = rfss;
    row.Site = site;
    row.Type = std::move(type);
    row.Talkgroup = talkgroup;
    row.Radio = radio;
    row.Target = target;
    // A patch has no text of its own: its supergroup's name tells it apart.
    (kind == HistoryKind::Patch ? row.TargetName : row.Text) = std::move(text);
    return row;
}

// A few rows of each table, each with a name of its own.
std::vector<HistoryRow> Sample()
{
    return {
        Row(HistoryKind::Grant, T0, "Group", 100, 5001, 0, "g1"),
        Row(HistoryKind::Grant, T0 + 10, "Private", -1, 5002, 5001, "g2"),
        Row(HistoryKind::Affiliation, T0 + 10, "affiliation", 100, 5001, 0, "a1"),
        Row(HistoryKind::Patch, T0 + 20, "added", 200, 0, 100, "p1"),
        Row(HistoryKind::Patch, T0 + 30, "added", 100, 0, 300, "p2"),
        Row(HistoryKind::Event, T0 + 40, "event", -1, 0, 0, "e1"),
        Row(HistoryKind::Grant, T0 + 50, "Group", 200, 5003, 0, "g3", 2, 7),
        Row(HistoryKind::Affiliation, T0 + 60, "deregistration", -1, 5001, 0, "a2", 2, 7),
    };
}

std::string Texts(const std::vector<HistoryRow>& rows)
{
    std::string texts;
    for (const HistoryRow& row : rows)
        texts += (texts.empty() ? "" : " ") + (row.Kind == HistoryKind::Patch ? row.TargetName : row.Text);
    return texts;
}

int64_t Count(sqlite3* db, const char* sql)
{
    sqlite3_stmt* statement = nullptr;
    int64_t value = -1;
    if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) == SQLITE_OK && sqlite3_step(statement) == SQLITE_ROW)
        value = sqlite3_column_int64(statement, 0);
    sqlite3_finalize(statement);
    return value;
}

class HistoryStoreTest : public ::testing::Test
{
protected:
    TemporaryFolder folder;
    std::string path = folder / "History.sqlite";
    HistoryStore store;
    std::string error;

    void SetUp() override { ASSERT_TRUE(store.Open(path, error)) << error; }
};

}

TEST_F(HistoryStoreTest, RowsReadBackAsWritten)
{
    HistoryRow grant = Row(HistoryKind::Grant, T0, "Group", 100, 5001, 0, "");
    grant.Channel = 0x1123;
    grant.Frequency = 851.0125;
    grant.TalkgroupName = "Fire Dispatch";
    grant.RadioName = "Engine 7";
    grant.Encrypted = grant.Emergency = true;
    HistoryRow station = Row(HistoryKind::Grant, T0, "Station ID", -1, 0, 0, "WQAB123");
    HistoryRow refused = Row(HistoryKind::Affiliation, T0, "affiliation", -1, 5001, 0, "Refused");
    refused.Accepted = false;
    HistoryRow patch = Row(HistoryKind::Patch, T0, "removed", 200, 0, 100, "");
    patch.TalkgroupName = "Member";
    patch.TargetName = "Super";
    HistoryRow event = Row(HistoryKind::Event, T0, "event", -1, 0, 0, "Status Update");
    event.Packet = "01 02 03 04 05 06 07 08 09 0A 0B 0C ";
    const std::vector<HistoryRow> rows{grant, station, refused, patch, event};
    ASSERT_TRUE(store.Insert(rows, error)) << error;

    std::vector<HistoryRow> back;
    ASSERT_TRUE(store.Query({}, back, error)) << error;
    EXPECT_EQ(back, std::vector<HistoryRow>(rows.rbegin(), rows.rend()));
}

TEST_F(HistoryStoreTest, QueriesNarrowByEachFieldNewestFirst)
{
    ASSERT_TRUE(store.Insert(Sample(), error)) << error;
    struct Case
    {
        const char* name;
        HistoryQuery query;
        const char* rows;
    };
    const Case cases[] = {
        {"all", {}, "a2 g3 e1 p2 p1 a1 g2 g1"},
        {"radio as caller, callee and affiliation", {.Radio = 5001}, "a2 a1 g2 g1"},
        {"talkgroup of grants, affiliations, supergroup and member", {.Talkgroup = 100}, "p2 p1 a1 g1"},
        {"site", {.Site = std::pair{2, 7}}, "a2 g3"},
        {"span, both ends inclusive", {.Since = T0 + 10, .Until = T0 + 40}, "e1 p2 p1 a1 g2"},
        {"kind", {.Kind = HistoryKind::Patch}, "p2 p1"},
        {"events never match a radio", {.Radio = 5001, .Kind = HistoryKind::Event}, ""},
        {"limit over all tables", {.Limit = 3}, "a2 g3 e1"},
        {"limit with a radio, one second's rows newest written first", {.Radio = 5001, .Limit = 3}, "a2 a1 g2"},
        {"combined", {.Radio = 5001, .Talkgroup = 100, .Since = T0 + 5}, "a1"},
    };
    for (const Case& c : cases) {
        std::vector<HistoryRow> rows;
        ASSERT_TRUE(store.Query(c.query, rows, error)) << error;
        EXPECT_EQ(Texts(rows), c.rows) << c.name;
    }

    HistorySummary summary;
    ASSERT_TRUE(store.Summarize({.Radio = 5001, .Limit = 1}, summary, error)) << error;
    EXPECT_EQ(summary.Count, 4u);
    EXPECT_EQ(summary.First, T0);
    EXPECT_EQ(summary.Last, T0 + 60);
    ASSERT_TRUE(store.Summarize({.Radio = 999}, summary, error)) << error;
    EXPECT_EQ(summary.Count, 0u);
}

TEST_F(HistoryStoreTest, OneRadioIsFoundThroughIndexes)
{
    std::vector<std::string> plan;
    ASSERT_TRUE(store.ExplainQuery({.Radio = 5001, .Limit = 500}, plan, error)) << error;
    std::string text;
    for (const std::string& line : plan)
        text += line + "\n";
    for (const char* index : {"grants_radio", "grants_target", "affiliations_radio"})
        EXPECT_NE(text.find(index), std::string::npos) << index << " in\n" << text;
    EXPECT_EQ(text.find("SCAN grants"), std::string::npos) << text;
    EXPECT_EQ(text.find("SCAN affiliations"), std::string::npos) << text;
}

TEST_F(HistoryStoreTest, PruneKeepsTheDaysBeforeTheNewestRow)
{
    const int64_t newest = T0 + 10 * 86400;
    ASSERT_TRUE(store.Insert({Row(HistoryKind::Grant, T0, "Group", 1, 1, 0, "old"),
                              Row(HistoryKind::Event, T0 + 1, "event", -1, 0, 0, "old"),
                              Row(HistoryKind::Patch, newest - 2 * 86400, "added", 1, 0, 2, "cutoff"),
                              Row(HistoryKind::Affiliation, newest, "affiliation", 1, 1, 0, "newest")},
                             error));
    int64_t deleted = 0;
    ASSERT_TRUE(store.Prune(0, error, &deleted));
    EXPECT_EQ(deleted, 0);
    ASSERT_TRUE(store.Prune(2, error, &deleted)) << error;
    EXPECT_EQ(deleted, 2);
    std::vector<HistoryRow> rows;
    ASSERT_TRUE(store.Query({}, rows, error));
    EXPECT_EQ(Texts(rows), "newest cutoff");
}

TEST(HistoryStore, DamagedOrBusyDatabasesGiveAMessage)
{
    TemporaryFolder folder;
    HistoryStore store;
    std::string error;

    const std::string garbage = folder / "garbage/History.sqlite";
    WriteText(garbage, std::string(8192, 'x'));
    EXPECT_FALSE(store.Open(garbage, error));
    EXPECT_EQ(error, "cannot open " + garbage + ": file is not a database");

    const std::string missing = folder / "missing.sqlite";
    EXPECT_FALSE(store.Open(missing, error, HistoryStore::Mode::Read));
    EXPECT_EQ(error, "cannot open " + missing + ": unable to open database file");

    const std::string newer = folder / "newer.sqlite";
    ASSERT_TRUE(store.Open(newer, error)) << error;
    store.Close();
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(newer.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, "PRAGMA user_version=2", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
    EXPECT_FALSE(store.Open(newer, error));
    EXPECT_EQ(error, "cannot open " + newer +
                         ": it was written by a newer version of Zembrant (history version 2, this one knows up to 1)");

    const std::string locked = folder / "locked.sqlite";
    ASSERT_TRUE(store.Open(locked, error)) << error;
    store.Close();
    ASSERT_EQ(sqlite3_open(locked.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, "PRAGMA locking_mode=EXCLUSIVE; BEGIN EXCLUSIVE; DELETE FROM grants; COMMIT;",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    EXPECT_FALSE(store.Open(locked, error, HistoryStore::Mode::Write, std::chrono::milliseconds(50)));
    EXPECT_EQ(error, "cannot open " + locked + ": database is locked");
    sqlite3_close(db);

    ASSERT_TRUE(store.Open(locked, error, HistoryStore::Mode::Read)) << error;
    EXPECT_FALSE(store.Insert({Row(HistoryKind::Grant, T0, "Group", 1, 1, 0, "")}, error));
    EXPECT_EQ(error, "cannot write to " + locked + ": the database is not open for writing");
}

// The child commits batches until it is killed; the file keeps whole batches only.
TEST(HistoryStore, KilledWriterLeavesWholeBatches)
{
    constexpr int BatchRows = 100;
    TemporaryFolder folder;
    const std::string path = folder / "History.sqlite";
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        HistoryStore store;
        std::string error;
        if (!store.Open(path, error))
            _exit(1);
        std::vector<HistoryRow> batch(BatchRows, Row(HistoryKind::Grant, T0, "Group", 100, 5001, 0, "x"));
        for (int64_t n = 0;; ++n) {
            for (HistoryRow& row : batch)
                row.Time = T0 + n;
            if (!store.Insert(batch, error))
                _exit(2);
        }
    }
    int64_t rows = 0;
    for (int i = 0; i < 500 && rows < 20 * BatchRows; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        HistoryStore reader;
        HistorySummary summary;
        std::string error;
        if (FileExists(path) && reader.Open(path, error, HistoryStore::Mode::Read) &&
            reader.Summarize({}, summary, error))
            rows = static_cast<int64_t>(summary.Count);
    }
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));

    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    sqlite3_stmt* check = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &check, nullptr), SQLITE_OK);
    ASSERT_EQ(sqlite3_step(check), SQLITE_ROW);
    EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(check, 0)), "ok");
    sqlite3_finalize(check);
    const int64_t count = Count(db, "SELECT count(*) FROM grants");
    sqlite3_close(db);
    EXPECT_GE(count, 20 * BatchRows);
    EXPECT_EQ(count % BatchRows, 0);
}

TEST(HistoryStore, ReaderSeesWholeBatchesWhileOneWrites)
{
    constexpr int BatchRows = 50;
    constexpr int Batches = 200;
    TemporaryFolder folder;
    const std::string path = folder / "History.sqlite";
    HistoryStore writer;
    std::string error;
    ASSERT_TRUE(writer.Open(path, error)) << error;
    std::atomic<bool> done{false};
    std::jthread writing([&] {
        std::string failure;
        std::vector<HistoryRow> batch(BatchRows, Row(HistoryKind::Affiliation, T0, "affiliation", 1, 2, 0, ""));
        for (int n = 0; n < Batches; ++n)
            writer.Insert(batch, failure);
        done = true;
    });
    HistoryStore reader;
    ASSERT_TRUE(reader.Open(path, error, HistoryStore::Mode::Read)) << error;
    HistorySummary summary;
    int reads = 0;
    while (!done || reads == 0) {
        ASSERT_TRUE(reader.Summarize({.Radio = 2}, summary, error)) << error;
        ASSERT_EQ(summary.Count % BatchRows, 0u);
        ++reads;
    }
    writing.join();
    ASSERT_TRUE(reader.Summarize({}, summary, error)) << error;
    EXPECT_EQ(summary.Count, size_t{BatchRows * Batches});
}

TEST(HistoryStore, CopyOfALiveDatabaseHoldsItsRows)
{
    TemporaryFolder folder;
    HistoryStore store;
    std::string error;
    ASSERT_TRUE(store.Open(folder / "History.sqlite", error)) << error;
    ASSERT_TRUE(store.Insert(Sample(), error)) << error;

    const std::string copy = folder / "backup/History.sqlite";
    WriteText(copy, "an older copy");
    ASSERT_TRUE(CopyHistoryDatabase(folder / "History.sqlite", copy, error)) << error;
    EXPECT_FALSE(FileExists(copy + ".copy"));
    HistoryStore copied;
    std::vector<HistoryRow> rows;
    ASSERT_TRUE(copied.Open(copy, error, HistoryStore::Mode::Read)) << error;
    ASSERT_TRUE(copied.Query({}, rows, error)) << error;
    EXPECT_EQ(Texts(rows), "a2 g3 e1 p2 p1 a1 g2 g1");

    EXPECT_FALSE(CopyHistoryDatabase(folder / "none.sqlite", folder / "none-copy.sqlite", error));
    EXPECT_FALSE(error.empty());
}
