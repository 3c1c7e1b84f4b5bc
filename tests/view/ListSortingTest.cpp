#include <gtest/gtest.h>

#include <algorithm>

#include "view/FieldNumbers.h"
#include "view/ListSorting.h"

namespace {

// Caption "Ch", then Frequency, Usage, Type, Priority, TlkGrp, TalkGroup Desc, Radio ID,
// Radio Desc, Active, Hits.
TextRow Activity(std::string ch, std::string frequency, std::string type, std::string priority, std::string talkgroup,
                 std::string radio, std::string active = "", std::string hits = "0")
{
    return {std::move(ch),
            {std::move(frequency), "v", std::move(type), std::move(priority), talkgroup, "TG " + talkgroup,
             radio, radio.empty() ? "" : "Radio " + radio, std::move(active), std::move(hits)}};
}

std::vector<TextRow> ActivitySample()
{
    return {
        Activity("01-0010", "851.01250", "Group", "60", "100", "2001", "", "7"),
        Activity("01-0002", "851.51250", "", "", "", "", "", "40"), // idle
        Activity("01-0003", "Unknown", "Private", "0", "1234567", "", "<-----", "3"),
        Activity("01-0001", "852.00000", "Control", "", "", "", "", "40"),
        Activity("01-0004", "851.01250/1", "group", "5", "20", "999"),
    };
}

template <typename Row>
std::vector<std::string> FirstCells(const std::vector<Row>& rows)
{
    std::vector<std::string> captions;
    for (const Row& row : rows) {
        if constexpr (std::is_same_v<Row, TextRow>)
            captions.push_back(row.Caption);
        else
            captions.push_back(row.Cells[0]);
    }
    return captions;
}

}

TEST(FieldNumbers, ReadLikePrintfWroteThem)
{
    EXPECT_EQ(LeadingNumber("  100"), 100);
    EXPECT_EQ(LeadingNumber("1234 (Fire)"), 1234);
    EXPECT_EQ(LeadingNumber("-3x"), -3);
    EXPECT_EQ(LeadingNumber("x12"), std::nullopt);
    EXPECT_EQ(LeadingNumber("99999999999999999999"), std::nullopt);
    EXPECT_EQ(IntegerCell(""), 0);
    EXPECT_DOUBLE_EQ(DecimalCell("851.01250/1"), 851.0125);
    EXPECT_DOUBLE_EQ(DecimalCell("Unknown"), 0.0);
    EXPECT_DOUBLE_EQ(DecimalCell("nan"), 0.0);
    EXPECT_EQ(ParseDecimal(" 42 "), 42);
    EXPECT_EQ(ParseDecimal("42a"), std::nullopt);
    EXPECT_EQ(ParseDecimalFraction("inf"), std::nullopt);
}

TEST(CompareActivityRows, EveryColumnWithItsEmptyCellRuleDirectionAndTie)
{
    using namespace ActivityColumn;
    const struct
    {
        int column;
        std::vector<std::string> order;
    } cases[] = {
        {Ch, {"01-0001", "01-0002", "01-0003", "01-0004", "01-0010"}},
        // "Unknown" reads 0; the slot suffix is ignored; equal frequencies by "Ch".
        {Frequency, {"01-0003", "01-0004", "01-0010", "01-0002", "01-0001"}},
        // Descending, case ignored, ties by "Ch"; empty types last.
        {Type, {"01-0003", "01-0004", "01-0010", "01-0001", "01-0002"}},
        // Empty priority counts as 100: idle and control rows after the calls.
        {Priority, {"01-0003", "01-0004", "01-0010", "01-0001", "01-0002"}},
        {TlkGrp, {"01-0001", "01-0002", "01-0004", "01-0010", "01-0003"}},
        // No radio: 0 on a call row, 18000000 on a row without priority.
        {RadioId, {"01-0003", "01-0004", "01-0010", "01-0001", "01-0002"}},
        {Active, {"01-0003", "01-0001", "01-0002", "01-0004", "01-0010"}},
        {Hits, {"01-0004", "01-0003", "01-0010", "01-0001", "01-0002"}},
        {TalkGroupDesc, {"01-0001", "01-0002", "01-0010", "01-0003", "01-0004"}},
        {99, {"01-0001", "01-0002", "01-0003", "01-0004", "01-0010"}},
    };
    // A row too short for its columns reads empty cells.
    EXPECT_EQ(CompareActivityRows({"x", {}}, {"x", {}}, RadioId), 0);
    for (const auto& c : cases) {
        std::vector<TextRow> rows = ActivitySample();
        SortActivityRows(rows, c.column);
        EXPECT_EQ(FirstCells(rows), c.order) << "column " << c.column;
    }
}

TEST(CompareAffiliationRows, DescriptionTiesByTalkgroupThenRadio)
{
    // "TalkGroup" is written "%5d".
    std::vector<TextRow> rows = {
        {"  200", {"Fire", "300", "b", "01/02/2026 10:00:00"}},
        {"   50", {"fire", "100", "A", "01/01/2026 10:00:00"}},
        {"  200", {"Fire", "20", "c", "01/01/2026 09:00:00"}},
        {"   50", {"Police", "5", "", ""}},
    };
    using namespace AffiliationColumn;
    const struct
    {
        int column;
        std::vector<std::string> radios;
    } cases[] = {
        {TalkGroup, {"5", "100", "20", "300"}},
        {TalkgroupDescription, {"100", "20", "300", "5"}},
        {RadioId, {"5", "20", "100", "300"}},
        {RadioDescription, {"5", "100", "300", "20"}},
        {LastAffiliation, {"5", "20", "100", "300"}},
    };
    for (const auto& c : cases) {
        SortAffiliationRows(rows, c.column);
        std::vector<std::string> radios;
        for (const TextRow& row : rows)
            radios.push_back(row.Cells[1]);
        EXPECT_EQ(radios, c.radios) << "column " << c.column;
    }
}

TEST(CompareLogRows, IntegerColumnsAndTheTimeTie)
{
    const LogRow early{{"01/01/2026 10:00:00", "Group Affiliation", "  100", "Fire", "20", "x"}, {}, false};
    const LogRow late{{"01/01/2026 10:00:05", "Deregistration", "", "", "3", "y"}, {}, false};
    EXPECT_LT(CompareAffiliationLogRows(late, early, AffiliationLogColumn::TgId), 0);
    EXPECT_LT(CompareAffiliationLogRows(late, early, AffiliationLogColumn::RadioId), 0);
    EXPECT_LT(CompareAffiliationLogRows(late, early, AffiliationLogColumn::Function), 0);
    EXPECT_LT(CompareAffiliationLogRows(early, late, AffiliationLogColumn::Time), 0);
    EXPECT_EQ(CompareAffiliationLogRows(early, early, AffiliationLogColumn::TgDescription), 0);

    const LogRow a{{"01/01/2026 10:00:00", "Group (Enc)", "01-0010", "851.01250", "  100", "Fire", "20", "x"}, {}, false};
    const LogRow b{{"01/01/2026 09:00:00", "Group", "01-0010", "851.01250", "   99", "Fire", "20", "x"}, {}, false};
    EXPECT_GT(CompareGrantTraceRows(a, b, GrantColumn::TgId), 0);
    EXPECT_GT(CompareGrantTraceRows(a, b, GrantColumn::Type), 0);
    // Equal frequencies fall back to the timestamp.
    EXPECT_GT(CompareGrantTraceRows(a, b, GrantColumn::Frequency), 0);
    EXPECT_GT(CompareGrantTraceRows(a, b, GrantColumn::RadioId), 0);
}

TEST(SortFilterRows, ByLowThenHigh)
{
    std::vector<TextRow> rows = {{"500", {"900", "Yes"}}, {"20", {"30", "No"}}, {"500", {"600", "Yes"}}, {"3", {"4", "Yes"}}};
    SortFilterRows(rows);
    std::vector<std::string> ranges;
    for (const TextRow& row : rows)
        ranges.push_back(row.Caption + "-" + row.Cells[0]);
    EXPECT_EQ(ranges, (std::vector<std::string>{"3-4", "20-30", "500-600", "500-900"}));
}
