#include "history/HistoryView.h"

#include <charconv>
#include <cstdio>
#include <ctime>

#include "history/HistoryStore.h"
#include "platform/Files.h"
#include "view/ListColumns.h"
#include "view/ListSorting.h"

namespace {

enum Column : int {
    Time, Kind, Type, Site, Channel, Frequency, TgId, TgName, RadioId, RadioName, Target, TargetName, Details,
};

const char* KindName(HistoryKind kind)
{
    switch (kind) {
    case HistoryKind::Grant: return "Grant";
    case HistoryKind::Affiliation: return "Affiliation";
    case HistoryKind::Patch: return "Patch";
    default: return "Event";
    }
}

std::string SortableTime(int64_t time)
{
    const std::time_t t = static_cast<std::time_t>(time);
    std::tm local{};
    if (!localtime_r(&t, &local))
        return std::to_string(time);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return text;
}

std::string Number(int value)
{
    return value > 0 ? std::to_string(value) : std::string();
}

// A cell that is one whole number, as the list's numeric columns hold.
bool WholeNumber(std::string_view cell, double& value)
{
    if (cell.empty())
        return false;
    const auto [end, error] = std::from_chars(cell.data(), cell.data() + cell.size(), value);
    return error == std::errc() && end == cell.data() + cell.size();
}

}

const std::vector<const char*>& HistoryListColumns()
{
    static const std::vector<const char*> columns{"Time",     "Kind",   "Type",        "Site",
                                                  "Channel",  "Frequency", "TG ID",    "TG Description",
                                                  "Radio ID", "Radio Description", "Target", "Target Description",
                                                  "Details"};
    return columns;
}

std::vector<TextRow> HistoryListRows(const std::vector<HistoryRow>& rows)
{
    std::vector<TextRow> list;
    list.reserve(rows.size());
    for (const HistoryRow& r : rows) {
        TextRow row;
        row.Caption = SortableTime(r.Time);
        row.Cells.resize(Details);
        row.Cells[Kind - 1] = KindName(r.Kind);
        row.Cells[Type - 1] = r.Type;
        row.Cells[Site - 1] = std::to_string(r.Rfss) + "-" + std::to_string(r.Site);
        if (r.Channel >= 0) {
            char channel[16];
            std::snprintf(channel, sizeof channel, "%02d-%04d", (r.Channel >> 12) & 0xF, r.Channel & 0xFFF);
            row.Cells[Channel - 1] = channel;
        }
        if (r.Frequency > 0.0) {
            char frequency[32];
            std::snprintf(frequency, sizeof frequency, "%3.05f", r.Frequency);
            row.Cells[Frequency - 1] = frequency;
        }
        if (r.Talkgroup > 0) {
            row.Cells[TgId - 1] = std::to_string(r.Talkgroup);
            row.Cells[TgName - 1] = r.TalkgroupName;
        }
        row.Cells[RadioId - 1] = Number(r.Radio);
        row.Cells[RadioName - 1] = r.Radio > 0 ? r.RadioName : std::string();
        row.Cells[Target - 1] = Number(r.Target);
        row.Cells[TargetName - 1] = r.Target > 0 ? r.TargetName : std::string();
        std::string details = r.Text;
        if (r.Encrypted)
            details += details.empty() ? "Encrypted" : ", Encrypted";
        if (r.Emergency)
            details += details.empty() ? "Emergency" : ", Emergency";
        if (!r.Packet.empty())
            details = r.Packet + " " + details;
        row.Cells.push_back(std::move(details));
        list.push_back(std::move(row));
    }
    return list;
}

int CompareHistoryRows(const TextRow& a, const TextRow& b, int column)
{
    const std::string_view left = CellAt(a, column);
    const std::string_view right = CellAt(b, column);
    double x = 0.0;
    double y = 0.0;
    int order = 0;
    if (WholeNumber(left, x) && WholeNumber(right, y))
        order = x < y ? -1 : x > y ? 1 : 0;
    else
        order = CompareTextIgnoringCase(left, right);
    // "Time" descends, as the list opens newest first; ties too.
    if (column == Time)
        return -order;
    if (order != 0)
        return order;
    return -CompareTextIgnoringCase(a.Caption, b.Caption);
}

std::string HistoryTitle(HistorySubject subject, int id, const std::string& name)
{
    std::string title = subject == HistorySubject::Radio ? "Radio ID " : "Talkgroup ";
    title += std::to_string(id);
    if (!name.empty())
        title += " (" + name + ")";
    return title;
}

std::string HistorySummaryText(size_t count, int64_t first, int64_t last, bool cut)
{
    if (count == 0)
        return "No history rows.";
    std::string text = std::to_string(count) + (count == 1 ? " row" : " rows");
    text += ", from " + SortableTime(first) + " to " + SortableTime(last);
    if (cut)
        text += " (the newest shown)";
    return text;
}

HistoryAnswer ReadHistory(const std::string& dataFolder, int sysId, HistorySubject subject, int id, size_t limit)
{
    HistoryAnswer answer;
    const std::string path = HistoryStore::PathFor(dataFolder, sysId);
    // A system decoded before the history existed, or with it off, has none yet.
    if (!FileExists(path))
        return answer;
    HistoryStore store;
    if (!store.Open(path, answer.Error, HistoryStore::Mode::Read))
        return answer;
    HistoryQuery query;
    if (subject == HistorySubject::Radio)
        query.Radio = id;
    else
        query.Talkgroup = id;
    HistorySummary summary;
    if (!store.Summarize(query, summary, answer.Error))
        return answer;
    query.Limit = static_cast<int>(limit);
    if (!store.Query(query, answer.Rows, answer.Error))
        return answer;
    answer.Count = summary.Count;
    answer.First = summary.First;
    answer.Last = summary.Last;
    return answer;
}
