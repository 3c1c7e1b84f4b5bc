#pragma once
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

struct sqlite3;

// The four tables of a history database.
enum class HistoryKind { Grant, Affiliation, Patch, Event };

// One row of any table. A patch keeps its member as Talkgroup and its supergroup as Target.
struct HistoryRow
{
    HistoryKind Kind = HistoryKind::Grant;
    int64_t Time = 0;
    int Rfss = 0, Site = 0;
    // The grant kind ("Group", "Station ID"), the affiliation kind ("registration"), the
    // patch action ("added") or the event type ("event", "neighbor").
    std::string Type;
    int Channel = -1;
    double Frequency = 0;
    int Talkgroup = -1;
    std::string TalkgroupName;
    int Radio = 0;
    std::string RadioName;
    int Target = 0;
    std::string TargetName;
    bool Encrypted = false, Emergency = false;
    // An affiliation's result, a station id's call sign, an event's text.
    std::string Text;
    // An other event's block as the other-events log's "Packet Data".
    std::string Packet;
    // An affiliation the system accepted.
    bool Accepted = true;

    bool operator==(const HistoryRow&) const = default;
};

// What a query asks for; each given field narrows it. Radio matches a grant's caller or
// callee and an affiliation's radio; Talkgroup a grant's or affiliation's talkgroup and a
// patch's supergroup or member. Events match neither. Since and Until are inclusive.
struct HistoryQuery
{
    std::optional<int> Radio{}, Talkgroup{};
    std::optional<std::pair<int, int>> Site{};
    std::optional<int64_t> Since{}, Until{};
    std::optional<HistoryKind> Kind{};
    // The newest rows only; 0: all.
    int Limit = 0;
};

// All rows a query matches, whatever its Limit.
struct HistorySummary
{
    size_t Count = 0;
    int64_t First = 0;
    int64_t Last = 0;
};

// The SQLite database of one system folder: written by the history writer's thread, read
// by the window's worker and the CLI through connections of their own. One object is used
// by one thread at a time. Failures return false with a message naming the file.
class HistoryStore
{
public:
    static constexpr int SchemaVersion = 1;
    static constexpr auto BusyTimeout = std::chrono::seconds(5);

    enum class Mode { Write, Read };

    // SystemFolderPath(dataFolder, sysId) + "History.sqlite".
    static std::string PathFor(const std::string& dataFolder, int sysId);

    HistoryStore();
    ~HistoryStore();
    HistoryStore(const HistoryStore&) = delete;
    HistoryStore& operator=(const HistoryStore&) = delete;

    // Write creates the file and its tables when missing; Read wants the file to be there
    // and never changes it. A database of a newer schema is refused.
    bool Open(const std::string& path, std::string& error, Mode mode = Mode::Write,
              std::chrono::milliseconds busyTimeout = BusyTimeout);
    void Close();
    bool IsOpen() const { return m_db != nullptr; }
    const std::string& Path() const { return m_path; }

    // All rows or none, in one transaction.
    bool Insert(const std::vector<HistoryRow>& rows, std::string& error);
    // Deletes the rows older than days before the newest row, not before now: a replay of
    // an old capture must not lose its rows the moment they are written. days <= 0 keeps all.
    bool Prune(int days, std::string& error, int64_t* deleted = nullptr);
    // The newest row's time, 0 when empty.
    bool NewestTime(int64_t& time, std::string& error);

    // Newest first (time, then the order written).
    bool Query(const HistoryQuery& query, std::vector<HistoryRow>& rows, std::string& error);
    bool Summarize(const HistoryQuery& query, HistorySummary& summary, std::string& error);
    // The plan SQLite chooses for a query's rows, one line per step.
    bool ExplainQuery(const HistoryQuery& query, std::vector<std::string>& plan, std::string& error);

private:
    struct Statements;
    bool Fail(std::string& error, const char* what);
    bool CreateSchema(std::string& error);
    bool Execute(const char* sql, std::string& error, const char* what);

    sqlite3* m_db = nullptr;
    std::string m_path;
    bool m_empty = false;
    // Ids are shared by the four tables, so that rows of one second keep the order written.
    int64_t m_nextId = 1;
    std::unique_ptr<Statements> m_statements;
};

// Copies a database, live or not, as its engine sees it, to a temporary name beside to
// and renames that over to: a reader of to finds the old copy or the new one whole.
bool CopyHistoryDatabase(const std::string& from, const std::string& to, std::string& error);
