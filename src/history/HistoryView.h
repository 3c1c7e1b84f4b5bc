#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "view/ScreenLists.h"

struct HistoryRow;

// The window's history list: what it asks, and the rows it shows.

// Who the list is about, from a row menu.
enum class HistorySubject { Radio, Talkgroup };

inline constexpr char HistoryOfRadioCaption[] = "History of this Radio ID";
inline constexpr char HistoryOfTalkgroupCaption[] = "History of this Talkgroup";

// "Time", "Kind", "Type", "Site", "Channel", "Frequency", "TG ID", "TG Description",
// "Radio ID", "Radio Description", "Target", "Target Description", "Details".
const std::vector<const char*>& HistoryListColumns();

// One row per history row, newest first as given. Times are local "YYYY-MM-DD HH:MM:SS",
// so that they sort as text.
std::vector<TextRow> HistoryListRows(const std::vector<HistoryRow>& rows);

// <0, 0, >0: numbers by value, the rest as text ignoring case; "Time" descends, and ties
// go newest first.
int CompareHistoryRows(const TextRow& a, const TextRow& b, int column);

// The window's title and the line under the list: "Radio ID 1234567 (Engine 7)" and
// "312 rows, from 2026-12-01 10:00:00 to 2026-12-10 22:13:20".
std::string HistoryTitle(HistorySubject subject, int id, const std::string& name);
std::string HistorySummaryText(size_t count, int64_t first, int64_t last, bool cut);

// What the window's list reads, on a worker: the newest rows (at most limit) and the
// count, first and last time of them all.
struct HistoryAnswer
{
    std::vector<HistoryRow> Rows;
    size_t Count = 0;
    int64_t First = 0;
    int64_t Last = 0;
    // Why nothing could be read; empty when the read worked (no rows is no error).
    std::string Error;
};
HistoryAnswer ReadHistory(const std::string& dataFolder, int sysId, HistorySubject subject, int id,
                          size_t limit);
