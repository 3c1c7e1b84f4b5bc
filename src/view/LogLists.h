#pragma once
#include <cstdint>
#include <deque>
#include <functional>
#include <initializer_list>
#include <string_view>
#include <string>
#include <vector>

#include "model/Records.h"
#include "platform/Clock.h"

class P25Class;
struct CONFIG;

// The running logs as the window shows them: rows built from the model's pending log
// records, capped, cleared and appended to their files. Both front ends keep one LogLists
// and fill it from the refresh cycle; only the thread that runs the refresh touches it.

enum class LogKind
{
    Affiliations,
    GrantTrace,
    RecentGrants,
    OtherEvents,
    PatchLog,
    UnknownPackets,
    PacketDump,
    RawDump,
};
constexpr int LogKindCount = 8;

// "Clear" on a log tab asks first while confirmations are on, on every log but the raw
// data dump.
inline constexpr char ClearQuestionCaption[] = "Clear Screen";
inline constexpr char ClearQuestion[] = "Clear this screen?";
bool ClearAsksFirst(LogKind kind, bool confirmations);

struct LogRow
{
    std::vector<std::string> Cells;
    // The system and site the row was logged under; SysId 0 takes the current one at save time.
    LOGSITE Site;
    bool Saved = false;
};

// The settings the log rows and their saving read.
struct LogSettings
{
    bool LogDenied = false;
    bool GrantsUseFilter = false;
    bool GrantsFilterOther = false;
    int GrantsFilterLevel = 99;
    int PrivatePriority = 0;
    int GrantLogMax = 20;
    bool FilterRegistrations = false;
    bool IncludeDate = false;

    static LogSettings From(const CONFIG& config, bool filterRegistrations);
};

class LogList
{
    // Refreshes descriptions in place.
    friend class LogLists;

public:
    LogList(LogKind kind, size_t cap) : m_kind(kind), m_cap(cap) {}

    LogKind Kind() const { return m_kind; }
    size_t Cap() const { return m_cap; }
    void SetCap(size_t cap);
    // Adds a row at the end, dropping the oldest beyond the cap; fill it with SetCells.
    LogRow& NewRow(const LOGSITE& site, bool saved = false);
    static void SetCells(LogRow& row, std::initializer_list<std::string_view> cells);
    void Clear()
    {
        m_dropped += m_rows.size();
        m_rows.clear();
        m_unsaved = 0;
        m_firstUnsaved = 0;
    }
    const std::deque<LogRow>& Rows() const { return m_rows; }
    bool HasUnsaved() const { return m_unsaved > 0; }
    size_t UnsavedCount() const { return m_unsaved; }
    // Rows ever added and ever dropped (capped or cleared): a window that remembers both
    // appends and removes only the difference, never copying the whole list.
    uint64_t AppendedCount() const { return m_appended; }
    uint64_t DroppedCount() const { return m_dropped; }
    // Rows the cap pushed out before any save wrote them.
    uint64_t UnsavedDroppedCount() const { return m_unsavedDropped; }

    // Appends every unsaved row to its log file under dataFolder and marks it saved. Rows
    // are written into the file of the site they were logged under (current: the site of
    // rows logged before the system was known); rows without any site stay unsaved.
    // False with the file and the reason when a file cannot be written; the rows of that
    // file stay unsaved.
    bool Save(const std::string& dataFolder, const LOGSITE& current, bool includeDate, int64_t now,
              std::string& error);
    // Whether each Save waits for the disk (on unless a replay is filling the list).
    void SetSyncOnSave(bool sync) { m_syncOnSave = sync; }

    // "GrantLog-103.csv" and the like, with the folder "System1A2/" and the date prefix.
    static std::string FileName(LogKind kind, const LOGSITE& site, bool includeDate, int64_t now);
    static const char* HeaderLine(LogKind kind);
    static void AppendFileLine(std::string& out, LogKind kind, const LogRow& row);

private:
    LogKind m_kind;
    size_t m_cap;
    void DropOldest();

    std::deque<LogRow> m_rows;
    size_t m_unsaved = 0;
    // No row before this one is unsaved, so a save looks only at the newer rows.
    size_t m_firstUnsaved = 0;
    std::string m_fileText;
    bool m_syncOnSave = true;
    uint64_t m_appended = 0;
    uint64_t m_dropped = 0;
    uint64_t m_unsavedDropped = 0;
};

// The eight log lists and the rules that turn pending records into their rows.
class LogLists
{
public:
    LogLists();

    LogList& List(LogKind kind) { return m_lists[static_cast<int>(kind)]; }
    const LogList& List(LogKind kind) const { return m_lists[static_cast<int>(kind)]; }

    // Each Add... handles one record in queue order; a clear marker empties the list(s).
    // onClear, when set, runs before a clear marker empties a list that holds unsaved rows.
    void AddAffiliation(P25Class& model, const LogSettings& settings, const AFFLOG& record);
    void AddGrant(P25Class& model, const LogSettings& settings, const GRANTLOG& record);
    void AddEvent(const LogSettings& settings, const EVENTLOG& record);
    void AddPatch(P25Class& model, const PATCHLOG& record);
    void AddUnknown(const UNKTSBK& record);
    void AddPacket(const ALLPKT& record);
    void AddRawLine(const std::string& line);

    std::function<void(LogKind)> onClear;

    // The talkgroup and radio descriptions of the affiliation log, the grant trace and the
    // recent grants, read again from the model (after an edit or an import).
    void RefreshDescriptions(P25Class& model);

    static std::string PacketDataText(const TsbkBlock& block);

private:
    void ClearBeforeMarker(LogKind kind);

    std::vector<LogList> m_lists;
    LocalTimeTexts m_times;
};
