#include "history/HistoryStore.h"

#include <cstdio>
#include <unistd.h>

#include "history/Sqlite.h"
#include "persistence/SystemFiles.h"
#include "persistence/TBackupThread.h"

namespace {

constexpr const char* Schema = R"(
CREATE TABLE grants(id INTEGER PRIMARY KEY, time INTEGER NOT NULL, rfss INTEGER NOT NULL, site INTEGER NOT NULL,
    kind TEXT NOT NULL, channel INTEGER, frequency REAL, talkgroup INTEGER, talkgroup_name TEXT NOT NULL,
    radio INTEGER, radio_name TEXT NOT NULL, target INTEGER, target_name TEXT NOT NULL,
    encrypted INTEGER NOT NULL, emergency INTEGER NOT NULL, text TEXT NOT NULL);
CREATE INDEX grants_time ON grants(time);
CREATE INDEX grants_radio ON grants(radio, time);
CREATE INDEX grants_target ON grants(target, time);
CREATE INDEX grants_talkgroup ON grants(talkgroup, time);
CREATE INDEX grants_site ON grants(rfss, site, time);
CREATE TABLE affiliations(id INTEGER PRIMARY KEY, time INTEGER NOT NULL, rfss INTEGER NOT NULL, site INTEGER NOT NULL,
    kind TEXT NOT NULL, talkgroup INTEGER, talkgroup_name TEXT NOT NULL, radio INTEGER NOT NULL,
    radio_name TEXT NOT NULL, result TEXT NOT NULL, accepted INTEGER NOT NULL);
CREATE INDEX affiliations_time ON affiliations(time);
CREATE INDEX affiliations_radio ON affiliations(radio, time);
CREATE INDEX affiliations_talkgroup ON affiliations(talkgroup, time);
CREATE TABLE patches(id INTEGER PRIMARY KEY, time INTEGER NOT NULL, rfss INTEGER NOT NULL, site INTEGER NOT NULL,
    supergroup INTEGER NOT NULL, supergroup_name TEXT NOT NULL, member INTEGER NOT NULL, member_name TEXT NOT NULL,
    action TEXT NOT NULL);
CREATE INDEX patches_time ON patches(time);
CREATE INDEX patches_supergroup ON patches(supergroup, time);
CREATE INDEX patches_member ON patches(member, time);
CREATE TABLE events(id INTEGER PRIMARY KEY, time INTEGER NOT NULL, rfss INTEGER NOT NULL, site INTEGER NOT NULL,
    type TEXT NOT NULL, text TEXT NOT NULL, packet TEXT NOT NULL);
CREATE INDEX events_time ON events(time);
)";

constexpr const char* Tables[] = {"grants", "affiliations", "patches", "events"};

// Each table's rows in the one shape of HistoryRow, in the column order ReadRow reads.
constexpr const char* Selects[] = {
    "SELECT 0 AS k, id, time, rfss, site, kind AS type, channel, frequency, talkgroup, talkgroup_name, radio, "
    "radio_name, target, target_name, encrypted, emergency, text, '' AS packet, 1 AS accepted FROM grants",
    "SELECT 1, id, time, rfss, site, kind, NULL, NULL, talkgroup, talkgroup_name, radio, radio_name, NULL, '', 0, 0, "
    "result, '', accepted FROM affiliations",
    "SELECT 2, id, time, rfss, site, action, NULL, NULL, member, member_name, NULL, '', supergroup, supergroup_name, "
    "0, 0, '', '', 1 FROM patches",
    "SELECT 3, id, time, rfss, site, type, NULL, NULL, NULL, '', NULL, '', NULL, '', 0, 0, text, packet, 1 "
    "FROM events",
};

// Parameters: ?1 radio, ?2 talkgroup, ?3 rfss, ?4 site, ?5 since, ?6 until, ?7 limit.
constexpr const char* RadioMatch[] = {"(radio = ?1 OR target = ?1)", "radio = ?1", nullptr, nullptr};
constexpr const char* TalkgroupMatch[] = {"talkgroup = ?2", "talkgroup = ?2", "(supergroup = ?2 OR member = ?2)",
                                          nullptr};

// The WHERE clause of table t, or false when the query leaves the table out.
bool Conditions(const HistoryQuery& query, int t, std::string& where)
{
    if (query.Kind && static_cast<int>(*query.Kind) != t)
        return false;
    std::vector<const char*> terms;
    if (query.Radio) {
        if (!RadioMatch[t])
            return false;
        terms.push_back(RadioMatch[t]);
    }
    if (query.Talkgroup) {
        if (!TalkgroupMatch[t])
            return false;
        terms.push_back(TalkgroupMatch[t]);
    }
    if (query.Site)
        terms.push_back("rfss = ?3 AND site = ?4");
    if (query.Since)
        terms.push_back("time >= ?5");
    if (query.Until)
        terms.push_back("time <= ?6");
    where.clear();
    for (const char* term : terms)
        where += (where.empty() ? " WHERE " : " AND ") + std::string(term);
    return true;
}

// What piece(table, where) makes of each table, joined by UNION ALL; empty when no
// table can match.
template <typename Piece>
std::string Union(const HistoryQuery& query, Piece piece)
{
    std::string sql;
    std::string where;
    for (int t = 0; t < 4; ++t) {
        if (!Conditions(query, t, where))
            continue;
        if (!sql.empty())
            sql += " UNION ALL ";
        sql += piece(t, where);
    }
    return sql;
}

// The matching rows, newest first.
std::string RowsSql(const HistoryQuery& query)
{
    std::string sql = Union(query, [&](int t, const std::string& where) {
        // With a limit each table gives only its newest rows, through its time-ordered index.
        return query.Limit > 0 ? std::string("SELECT * FROM (") + Selects[t] + where +
                                     " ORDER BY time DESC, id DESC LIMIT ?7)"
                               : Selects[t] + where;
    });
    if (sql.empty())
        return sql;
    sql += " ORDER BY time DESC, id DESC";
    if (query.Limit > 0)
        sql += " LIMIT ?7";
    return sql;
}

std::string SummarySql(const HistoryQuery& query)
{
    const std::string sql = Union(query, [](int t, const std::string& where) {
        return std::string("SELECT count(*) AS n, min(time) AS first, max(time) AS last FROM ") + Tables[t] + where;
    });
    return sql.empty() ? sql : "SELECT sum(n), min(first), max(last) FROM (" + sql + ")";
}

void BindQuery(Statement& statement, const HistoryQuery& query)
{
    if (query.Radio)
        statement.Bind(1, int64_t{*query.Radio});
    if (query.Talkgroup)
        statement.Bind(2, int64_t{*query.Talkgroup});
    if (query.Site) {
        statement.Bind(3, int64_t{query.Site->first});
        statement.Bind(4, int64_t{query.Site->second});
    }
    if (query.Since)
        statement.Bind(5, *query.Since);
    if (query.Until)
        statement.Bind(6, *query.Until);
    if (query.Limit > 0)
        statement.Bind(7, int64_t{query.Limit});
}

HistoryRow ReadRow(const Statement& s)
{
    HistoryRow row;
    row.Kind = static_cast<HistoryKind>(s.Int(0));
    row.Time = s.Int(2);
    row.Rfss = static_cast<int>(s.Int(3));
    row.Site = static_cast<int>(s.Int(4));
    row.Type = s.Text(5);
    row.Channel = s.IsNull(6) ? -1 : static_cast<int>(s.Int(6));
    row.Frequency = s.IsNull(7) ? 0.0 : s.Real(7);
    row.Talkgroup = s.IsNull(8) ? -1 : static_cast<int>(s.Int(8));
    row.TalkgroupName = s.Text(9);
    row.Radio = s.IsNull(10) ? 0 : static_cast<int>(s.Int(10));
    row.RadioName = s.Text(11);
    row.Target = s.IsNull(12) ? 0 : static_cast<int>(s.Int(12));
    row.TargetName = s.Text(13);
    row.Encrypted = s.Int(14) != 0;
    row.Emergency = s.Int(15) != 0;
    row.Text = s.Text(16);
    row.Packet = s.Text(17);
    row.Accepted = s.Int(18) != 0;
    return row;
}

void BindOptional(Statement& s, int index, int64_t value, bool present)
{
    if (present)
        s.Bind(index, value);
    else
        s.BindNull(index);
}

}

struct HistoryStore::Statements
{
    Statement Insert[4];
};

std::string HistoryStore::PathFor(const std::string& dataFolder, int sysId)
{
    return SystemFolderPath(dataFolder, sysId) + HistoryFileName;
}

HistoryStore::HistoryStore() = default;

HistoryStore::~HistoryStore()
{
    Close();
}

void HistoryStore::Close()
{
    m_statements.reset();
    // Statements are finalized first, so the close always succeeds.
    sqlite3_close_v2(m_db);
    m_db = nullptr;
    m_empty = false;
}

bool HistoryStore::Fail(std::string& error, const char* what)
{
    error = std::string(what) + " " + m_path + ": " + (m_db ? sqlite3_errmsg(m_db) : "out of memory");
    return false;
}

bool HistoryStore::Execute(const char* sql, std::string& error, const char* what)
{
    return sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr) == SQLITE_OK || Fail(error, what);
}

bool HistoryStore::Open(const std::string& path, std::string& error, Mode mode, std::chrono::milliseconds busyTimeout)
{
    Close();
    m_path = path;
    const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX | (mode == Mode::Write ? SQLITE_OPEN_CREATE : 0);
    const bool opened = sqlite3_open_v2(path.c_str(), &m_db, flags, nullptr) == SQLITE_OK;
    const auto fail = [&] {
        Fail(error, "cannot open");
        Close();
        return false;
    };
    if (!opened)
        return fail();
    sqlite3_busy_timeout(m_db, static_cast<int>(busyTimeout.count()));

    Statement version;
    if (!version.Prepare(m_db, "PRAGMA user_version") || version.Step() != SQLITE_ROW)
        return fail();
    const int64_t found = version.Int(0);
    version.Reset();
    if (found > SchemaVersion) {
        error = "cannot open " + path + ": it was written by a newer version of Zembrant (history version " +
                std::to_string(found) + ", this one knows up to " + std::to_string(SchemaVersion) + ")";
        Close();
        return false;
    }
    if (mode == Mode::Read) {
        m_empty = found == 0;
        return true;
    }
    // NORMAL is enough under WAL: a power cut may lose the last commits, never the file.
    Statement journal;
    if (!journal.Prepare(m_db, "PRAGMA journal_mode=WAL") || journal.Step() != SQLITE_ROW)
        return fail();
    journal.Reset();
    // The indexes take rows at random places: with their pages cached the writer reads
    // nothing back from the file.
    if (!Execute("PRAGMA synchronous=NORMAL", error, "cannot open") ||
        !Execute("PRAGMA cache_size=-16384", error, "cannot open")) {
        Close();
        return false;
    }
    if (found == 0 && !CreateSchema(error)) {
        Close();
        return false;
    }

    m_nextId = 1;
    for (const char* table : Tables) {
        Statement last;
        if (!last.Prepare(m_db, std::string("SELECT max(id) FROM ") + table) || last.Step() != SQLITE_ROW)
            return fail();
        m_nextId = std::max(m_nextId, last.Int(0) + 1);
        last.Reset();
    }
    m_statements = std::make_unique<Statements>();
    Statement* insert = m_statements->Insert;
    if (!insert[0].Prepare(m_db, "INSERT INTO grants VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, "
                                 "?14, ?15, ?16)") ||
        !insert[1].Prepare(m_db, "INSERT INTO affiliations VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11)") ||
        !insert[2].Prepare(m_db, "INSERT INTO patches VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9)") ||
        !insert[3].Prepare(m_db, "INSERT INTO events VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7)"))
        return fail();
    return true;
}

bool HistoryStore::CreateSchema(std::string& error)
{
    // Two writers may open a new file at once: the second finds the version set.
    if (!Execute("BEGIN IMMEDIATE", error, "cannot create the tables of"))
        return false;
    Statement version;
    if (!version.Prepare(m_db, "PRAGMA user_version") || version.Step() != SQLITE_ROW) {
        Fail(error, "cannot create the tables of");
        Execute("ROLLBACK", error, "");
        return false;
    }
    const bool created = version.Int(0) != 0;
    version.Reset();
    const std::string sql = std::string(Schema) + "PRAGMA user_version=" + std::to_string(SchemaVersion) + ";";
    if (!created && sqlite3_exec(m_db, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) {
        Fail(error, "cannot create the tables of");
        std::string ignored;
        Execute("ROLLBACK", ignored, "");
        return false;
    }
    return Execute("COMMIT", error, "cannot create the tables of");
}

bool HistoryStore::Insert(const std::vector<HistoryRow>& rows, std::string& error)
{
    if (!m_statements) {
        error = "cannot write to " + m_path + ": the database is not open for writing";
        return false;
    }
    if (rows.empty())
        return true;
    if (!Execute("BEGIN IMMEDIATE", error, "cannot write to"))
        return false;
    const int64_t firstId = m_nextId;
    for (const HistoryRow& r : rows) {
        Statement& s = m_statements->Insert[static_cast<int>(r.Kind)];
        s.Reset();
        s.Bind(1, m_nextId++);
        s.Bind(2, r.Time);
        s.Bind(3, int64_t{r.Rfss});
        s.Bind(4, int64_t{r.Site});
        switch (r.Kind) {
        case HistoryKind::Grant:
            s.Bind(5, r.Type);
            BindOptional(s, 6, r.Channel, r.Channel >= 0);
            if (r.Frequency > 0.0)
                s.Bind(7, r.Frequency);
            BindOptional(s, 8, r.Talkgroup, r.Talkgroup >= 0);
            s.Bind(9, r.TalkgroupName);
            BindOptional(s, 10, r.Radio, r.Radio > 0);
            s.Bind(11, r.RadioName);
            BindOptional(s, 12, r.Target, r.Target > 0);
            s.Bind(13, r.TargetName);
            s.Bind(14, int64_t{r.Encrypted});
            s.Bind(15, int64_t{r.Emergency});
            s.Bind(16, r.Text);
            break;
        case HistoryKind::Affiliation:
            s.Bind(5, r.Type);
            BindOptional(s, 6, r.Talkgroup, r.Talkgroup > 0);
            s.Bind(7, r.TalkgroupName);
            s.Bind(8, int64_t{r.Radio});
            s.Bind(9, r.RadioName);
            s.Bind(10, r.Text);
            s.Bind(11, int64_t{r.Accepted});
            break;
        case HistoryKind::Patch:
            s.Bind(5, int64_t{r.Target});
            s.Bind(6, r.TargetName);
            s.Bind(7, int64_t{r.Talkgroup});
            s.Bind(8, r.TalkgroupName);
            s.Bind(9, r.Type);
            break;
        case HistoryKind::Event:
            s.Bind(5, r.Type);
            s.Bind(6, r.Text);
            s.Bind(7, r.Packet);
            break;
        }
        if (s.Step() != SQLITE_DONE) {
            Fail(error, "cannot write to");
            s.Reset();
            std::string ignored;
            Execute("ROLLBACK", ignored, "");
            m_nextId = firstId;
            return false;
        }
    }
    if (!Execute("COMMIT", error, "cannot write to")) {
        std::string ignored;
        Execute("ROLLBACK", ignored, "");
        m_nextId = firstId;
        return false;
    }
    return true;
}

bool HistoryStore::NewestTime(int64_t& time, std::string& error)
{
    time = 0;
    if (m_empty)
        return true;
    for (const char* table : Tables) {
        Statement newest;
        if (!newest.Prepare(m_db, std::string("SELECT max(time) FROM ") + table) || newest.Step() != SQLITE_ROW)
            return Fail(error, "cannot read");
        time = std::max(time, newest.Int(0));
    }
    return true;
}

bool HistoryStore::Prune(int days, std::string& error, int64_t* deleted)
{
    if (deleted)
        *deleted = 0;
    int64_t newest = 0;
    if (days <= 0 || !NewestTime(newest, error))
        return days <= 0;
    const int64_t cutoff = newest - int64_t{days} * 86400;
    if (!Execute("BEGIN IMMEDIATE", error, "cannot prune"))
        return false;
    for (const char* table : Tables) {
        Statement remove;
        if (!remove.Prepare(m_db, std::string("DELETE FROM ") + table + " WHERE time < ?1")) {
            Fail(error, "cannot prune");
            std::string ignored;
            Execute("ROLLBACK", ignored, "");
            return false;
        }
        remove.Bind(1, cutoff);
        if (remove.Step() != SQLITE_DONE) {
            Fail(error, "cannot prune");
            remove.Reset();
            std::string ignored;
            Execute("ROLLBACK", ignored, "");
            return false;
        }
        if (deleted)
            *deleted += sqlite3_changes(m_db);
    }
    return Execute("COMMIT", error, "cannot prune");
}

bool HistoryStore::Query(const HistoryQuery& query, std::vector<HistoryRow>& rows, std::string& error)
{
    rows.clear();
    const std::string sql = RowsSql(query);
    if (m_empty || sql.empty())
        return true;
    Statement select;
    if (!select.Prepare(m_db, sql))
        return Fail(error, "cannot read");
    BindQuery(select, query);
    int rc = SQLITE_ROW;
    while ((rc = select.Step()) == SQLITE_ROW)
        rows.push_back(ReadRow(select));
    return rc == SQLITE_DONE || Fail(error, "cannot read");
}

bool HistoryStore::Summarize(const HistoryQuery& query, HistorySummary& summary, std::string& error)
{
    summary = {};
    const std::string sql = SummarySql(query);
    if (m_empty || sql.empty())
        return true;
    Statement select;
    if (!select.Prepare(m_db, sql))
        return Fail(error, "cannot read");
    BindQuery(select, query);
    if (select.Step() != SQLITE_ROW)
        return Fail(error, "cannot read");
    summary.Count = static_cast<size_t>(select.Int(0));
    summary.First = select.Int(1);
    summary.Last = select.Int(2);
    return true;
}

bool HistoryStore::ExplainQuery(const HistoryQuery& query, std::vector<std::string>& plan, std::string& error)
{
    plan.clear();
    const std::string sql = RowsSql(query);
    if (m_empty || sql.empty())
        return true;
    Statement explain;
    if (!explain.Prepare(m_db, "EXPLAIN QUERY PLAN " + sql))
        return Fail(error, "cannot read");
    BindQuery(explain, query);
    int rc = SQLITE_ROW;
    while ((rc = explain.Step()) == SQLITE_ROW)
        plan.push_back(explain.Text(3));
    return rc == SQLITE_DONE || Fail(error, "cannot read");
}

bool CopyHistoryDatabase(const std::string& from, const std::string& to, std::string& error)
{
    constexpr int BusyRetries = 50;
    constexpr int RetryMilliseconds = 100;
    const std::string temporary = to + ".copy";
    ::unlink(temporary.c_str());
    sqlite3* source = nullptr;
    sqlite3* target = nullptr;
    const auto close = [&] {
        sqlite3_close_v2(source);
        sqlite3_close_v2(target);
    };
    if (sqlite3_open_v2(from.c_str(), &source, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        error = "cannot open " + from + ": " + (source ? sqlite3_errmsg(source) : "out of memory");
        close();
        return false;
    }
    sqlite3_busy_timeout(source, static_cast<int>(std::chrono::milliseconds(HistoryStore::BusyTimeout).count()));
    if (sqlite3_open_v2(temporary.c_str(), &target, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
        SQLITE_OK) {
        error = "cannot write " + temporary + ": " + (target ? sqlite3_errmsg(target) : "out of memory");
        close();
        ::unlink(temporary.c_str());
        return false;
    }
    sqlite3_backup* backup = sqlite3_backup_init(target, "main", source, "main");
    int rc = SQLITE_ERROR;
    if (backup) {
        for (int attempt = 0; attempt < BusyRetries; ++attempt) {
            rc = sqlite3_backup_step(backup, -1);
            if (rc != SQLITE_BUSY && rc != SQLITE_LOCKED)
                break;
            sqlite3_sleep(RetryMilliseconds);
        }
        sqlite3_backup_finish(backup);
    }
    if (rc != SQLITE_DONE || sqlite3_errcode(target) != SQLITE_OK) {
        const char* reason = rc == SQLITE_BUSY || rc == SQLITE_LOCKED ? "database is locked"
                             : sqlite3_errcode(source) != SQLITE_OK ? sqlite3_errmsg(source)
                                                                    : sqlite3_errmsg(target);
        error = "cannot copy " + from + " to " + to + ": " + reason;
        close();
        ::unlink(temporary.c_str());
        return false;
    }
    close();
    if (std::rename(temporary.c_str(), to.c_str()) != 0) {
        error = "cannot copy " + from + " to " + to + ": cannot rename " + temporary;
        ::unlink(temporary.c_str());
        return false;
    }
    return true;
}
