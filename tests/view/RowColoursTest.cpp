#include <gtest/gtest.h>

#include <map>

#include "persistence/Config.h"
#include "view/RowColours.h"

namespace {

constexpr ColorPair Defaults{0x000000, 0xFFFFFF};
constexpr ColorPair Red{0x0000FF, 0x000000};
constexpr ColorPair Green{0x00FF00, 0x000000};
constexpr ColorPair None{0, 0};

// Answers as the model does: talkgroup 100 and radio 2001 have their own colours;
// talkgroup 200 and radio 2002 are known without; 300 and 2003 are unknown.
class TableColors : public ColorSource
{
public:
    bool TalkgroupColors(int talkgroup, ColorPair& colors) const override
    {
        return Answer(talkgroups, talkgroup, colors);
    }
    bool RadioColors(int radio, ColorPair& colors) const override { return Answer(radios, radio, colors); }

private:
    using Table = std::map<int, std::pair<bool, ColorPair>>;
    static bool Answer(const Table& table, int id, ColorPair& colors)
    {
        const auto found = table.find(id);
        colors = found == table.end() ? None : found->second.second;
        return found != table.end() && found->second.first;
    }
    Table talkgroups{{100, {true, Red}}, {200, {true, Defaults}}};
    Table radios{{2001, {true, Green}}, {2002, {false, Defaults}}};
};

TextRow ActivityRow(std::string type, std::string talkgroup, std::string radio)
{
    return {"01-0010", {"851.01250", "v", std::move(type), "50", std::move(talkgroup), "", std::move(radio), "", "", "1"}};
}

LogRow GrantRow(std::string type, std::string talkgroup, std::string radio)
{
    return {{"01/01/2026 10:00:00", std::move(type), "01-0010", "851.01250", std::move(talkgroup), "", std::move(radio), ""},
            {},
            false};
}

}

TEST(CallColors, LookupOrderByColorMode)
{
    const TableColors source;
    const struct
    {
        int mode, talkgroup, radio;
        std::optional<ColorPair> colors;
    } cases[] = {
        {0, 100, 2001, Green},
        {0, 100, 2003, Red},      // an unknown radio's 0 and 0 is one colour: the talkgroup's
        {0, 100, 2002, Defaults}, // a known radio without colours answers the defaults, which differ
        {0, 300, 2003, std::nullopt},
        {1, 100, 2001, Red},
        {1, 300, 2001, Green},
        {2, 300, 2001, std::nullopt},
        {2, 100, 2003, Red},
        {3, 100, 2001, std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CallColors(c.mode, c.talkgroup, c.radio, source), c.colors)
            << "mode " << c.mode << " tg " << c.talkgroup << " radio " << c.radio;
}

TEST(ActivityRowColors, ControlIdleAndCallRows)
{
    const TableColors source;
    CONFIG config;
    config.ActivityColorMode = 2;
    const ColorPair control{config.ControlText, config.ControlBackground};

    EXPECT_EQ(ActivityRowColors(config, ActivityRow("Control", "", ""), source).Row, control);
    EXPECT_EQ(ActivityRowColors(config, ActivityRow("", "", ""), source).Row, Defaults);

    const RowColors split = ActivityRowColors(config, ActivityRow("Group (Enc)", "100", "2001"), source);
    EXPECT_EQ(split.At(ActivityColumn::TlkGrp), Red);
    EXPECT_EQ(split.At(ActivityColumn::RadioDesc), Green);
    EXPECT_EQ(split.At(ActivityColumn::Active), Red);
    // A radio without its own colours leaves its cells in the row's.
    EXPECT_FALSE(ActivityRowColors(config, ActivityRow("Group", "100", "2002"), source).RadioCells);

    config.ActivityColorMode = 0;
    const RowColors plain = ActivityRowColors(config, ActivityRow("Group", "300", "2003"), source);
    EXPECT_EQ(plain.Row, Defaults);
    EXPECT_FALSE(plain.RadioCells);
}

TEST(GrantRowColors, TypeRuleAndUseTGColors)
{
    const TableColors source;
    CONFIG config;
    config.GrantsColorMode = 1;
    const ColorPair even{config.EvenText, config.EvenBackground};
    const ColorPair odd{config.OddText, config.OddBackground};
    EXPECT_EQ(GrantRowColors(config, GrantRow("Group", "  100", "2001"), 0, source).Row, even);
    EXPECT_EQ(GrantRowColors(config, GrantRow("Group", "  100", "2001"), 1, source).Row, odd);

    config.GrantsUseTGColors = true;
    const struct
    {
        const char* type;
        ColorPair row;
    } cases[] = {
        {"Group", Red}, {"Data", Red}, {"Group (Enc)", Red}, {"Group (Emrg)", Red},
        {"Private", Defaults}, {"Group (Enc) (x)", Defaults},
    };
    for (const auto& c : cases)
        EXPECT_EQ(GrantRowColors(config, GrantRow(c.type, "  100", "2001"), 1, source).Row, c.row) << c.type;

    config.GrantsColorMode = 2;
    EXPECT_EQ(GrantRowColors(config, GrantRow("Group", "  100", "2001"), 0, source).At(GrantColumn::RadioDescription),
              Green);
    EXPECT_FALSE(GrantRowColors(config, GrantRow("Group", "  100", "0"), 0, source).RadioCells);
}

TEST(AffiliationRowColors, RadioThenTalkgroup)
{
    const TableColors source;
    CONFIG config;
    const TextRow row{"  100", {"Fire", "2001", "", ""}};
    EXPECT_EQ(AffiliationRowColors(config, row, 2, source).Row, (ColorPair{config.EvenText, config.EvenBackground}));

    config.AffiliationsUseTGColors = true;
    const struct
    {
        const char* talkgroup;
        const char* radio;
        ColorPair row;
    } cases[] = {
        {"  100", "2001", Green},
        {"  100", "2002", Red},
        {"  200", "2003", Defaults},
        // Neither known: the last look-up's 0 and 0 would hide the text.
        {"  300", "2003", Defaults},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(AffiliationRowColors(config, {c.talkgroup, {"", c.radio, "", ""}}, 0, source).Row, c.row);
        const LogRow log{{"01/01/2026 10:00:00", "Group Affiliation", c.talkgroup, "", c.radio, ""}, {}, false};
        EXPECT_EQ(AffiliationLogRowColors(config, log, 0, source).Row, c.row);
    }
    const LogRow noTalkgroup{{"01/01/2026 10:00:00", "Deregistration", "", "", "2001", ""}, {}, false};
    EXPECT_EQ(AffiliationLogRowColors(config, noTalkgroup, 0, source).Row, Defaults);
}
