#include "view/ListSorting.h"

#include <algorithm>
#include <array>
#include <cctype>

#include "view/FieldNumbers.h"

namespace {

constexpr long EmptyPriority = 100;
// Above every 24-bit radio ID, so idle rows come last.
constexpr long IdleRadio = 18000000;

template <typename T>
int Sign(T a, T b)
{
    return a < b ? -1 : b < a ? 1 : 0;
}

int CompareIntegers(std::string_view a, std::string_view b)
{
    return Sign(IntegerCell(a), IntegerCell(b));
}

int CompareDecimals(std::string_view a, std::string_view b)
{
    return Sign(DecimalCell(a), DecimalCell(b));
}

template <typename Row>
long ActivityPriority(const Row& row)
{
    const std::string_view cell = CellAt(row, ActivityColumn::Priority);
    return cell.empty() ? EmptyPriority : IntegerCell(cell);
}

template <typename Row>
long ActivityRadio(const Row& row)
{
    const std::string_view cell = CellAt(row, ActivityColumn::RadioId);
    if (!cell.empty())
        return IntegerCell(cell);
    return CellAt(row, ActivityColumn::Priority).empty() ? IdleRadio : 0;
}

// How a column compares; each list is a table of these, one per column in column order.
enum class By
{
    Tie, // the list's tie rule alone
    Text,
    TextDescending,
    Integer,
    Decimal,
    Priority,       // activity: empty counts as 100
    Radio,          // activity: empty counts as 18000000 on an idle row, else 0
    TextOrTalkgroup // affiliation list: equal descriptions by talkgroup
};

template <typename Row>
int ByColumn(const Row& a, const Row& b, int column, By by)
{
    const std::string_view x = CellAt(a, column);
    const std::string_view y = CellAt(b, column);
    switch (by) {
    case By::Tie:
        return 0;
    case By::Text:
        return CompareTextIgnoringCase(x, y);
    case By::TextDescending:
        return -CompareTextIgnoringCase(x, y);
    case By::Integer:
        return CompareIntegers(x, y);
    case By::Decimal:
        return CompareDecimals(x, y);
    case By::Priority:
        return Sign(ActivityPriority(a), ActivityPriority(b));
    case By::Radio:
        return Sign(ActivityRadio(a), ActivityRadio(b));
    case By::TextOrTalkgroup: {
        const int result = CompareTextIgnoringCase(x, y);
        return result != 0 ? result : ByColumn(a, b, AffiliationColumn::TalkGroup, By::Integer);
    }
    }
    return 0;
}

template <typename Row, size_t N>
int CompareRows(const Row& a, const Row& b, int column, const std::array<By, N>& columns, int tieColumn, By tie)
{
    const int result =
        column >= 0 && static_cast<size_t>(column) < N ? ByColumn(a, b, column, columns[static_cast<size_t>(column)]) : 0;
    return result != 0 ? result : ByColumn(a, b, tieColumn, tie);
}

// "Ch", "Frequency", "Usage", "Type", "Priority", "TlkGrp", "TalkGroup Desc", "Radio ID",
// "Radio Desc", "Active", "Hits"; ties by "Ch".
constexpr std::array ActivityOrder = {By::Tie,  By::Decimal, By::Text,  By::TextDescending, By::Priority, By::Integer,
                                      By::Text, By::Radio,   By::Text,  By::TextDescending, By::Integer};
// "TalkGroup", "Talkgroup Description", "Radio ID", "Radio Description", "Last
// Affiliation"; ties by radio ID.
constexpr std::array AffiliationOrder = {By::Integer, By::TextOrTalkgroup, By::Tie, By::Text, By::Text};
// "Time", "Function", "TG ID", "TG Description", "Radio ID", "Radio Description"; ties by "Time".
constexpr std::array AffiliationLogOrder = {By::Tie, By::Text, By::Integer, By::Text, By::Integer, By::Text};
// "Timestamp", "Type", "Channel", "Frequency", "TG ID", "TalkGroup Description", "Radio ID",
// "Radio Description"; ties by "Timestamp".
constexpr std::array GrantTraceOrder = {By::Tie,     By::Text, By::Text,    By::Decimal,
                                        By::Integer, By::Text, By::Integer, By::Text};

}

int CompareTextIgnoringCase(std::string_view a, std::string_view b)
{
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        const int x = std::tolower(static_cast<unsigned char>(a[i]));
        const int y = std::tolower(static_cast<unsigned char>(b[i]));
        if (x != y)
            return x < y ? -1 : 1;
    }
    return Sign(a.size(), b.size());
}

int CompareActivityRows(const TextRow& a, const TextRow& b, int column)
{
    return CompareRows(a, b, column, ActivityOrder, ActivityColumn::Ch, By::Text);
}

int CompareAffiliationRows(const TextRow& a, const TextRow& b, int column)
{
    return CompareRows(a, b, column, AffiliationOrder, AffiliationColumn::RadioId, By::Integer);
}

int CompareAffiliationLogRows(const LogRow& a, const LogRow& b, int column)
{
    return CompareRows(a, b, column, AffiliationLogOrder, AffiliationLogColumn::Time, By::Text);
}

int CompareGrantTraceRows(const LogRow& a, const LogRow& b, int column)
{
    return CompareRows(a, b, column, GrantTraceOrder, GrantColumn::Timestamp, By::Text);
}

int CompareFilterRows(const TextRow& a, const TextRow& b)
{
    const int result = ByColumn(a, b, FilterColumn::Low, By::Integer);
    return result != 0 ? result : ByColumn(a, b, FilterColumn::High, By::Integer);
}

void SortActivityRows(std::vector<TextRow>& rows, int column)
{
    std::stable_sort(rows.begin(), rows.end(),
                     [column](const TextRow& a, const TextRow& b) { return CompareActivityRows(a, b, column) < 0; });
}

void SortAffiliationRows(std::vector<TextRow>& rows, int column)
{
    std::stable_sort(rows.begin(), rows.end(), [column](const TextRow& a, const TextRow& b) {
        return CompareAffiliationRows(a, b, column) < 0;
    });
}

void SortFilterRows(std::vector<TextRow>& rows)
{
    std::stable_sort(rows.begin(), rows.end(),
                     [](const TextRow& a, const TextRow& b) { return CompareFilterRows(a, b) < 0; });
}
