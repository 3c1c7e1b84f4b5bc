#include <gtest/gtest.h>

#include "view/RowMenu.h"

namespace {

TextRow ActivityRow(std::string type, std::string talkgroup, std::string radio)
{
    return {"01-0010", {"851.01250", "v", std::move(type), "50", std::move(talkgroup), "", std::move(radio), "", "", "1"}};
}

LogRow GrantRow(std::string type, std::string talkgroup, std::string radio)
{
    return {{"10:00:00", std::move(type), "01-0010", "851.01250", std::move(talkgroup), "", std::move(radio), ""}, {}, false};
}

}

TEST(PrepareRowMenu, CaptionsAndFieldsFromTheRow)
{
    const struct
    {
        MenuList list;
        TextRow textRow;
        LogRow logRow;
        bool isLog;
        RowMenu expected;
    } cases[] = {
        {MenuList::Activity, ActivityRow("Group", "100", "2001"), {}, false,
         {"Edit TalkGroup 100", "Edit Radio ID 2001", "100", "2001"}},
        // An excluded type opens the talkgroup editor empty.
        {MenuList::Activity, ActivityRow("Private", "1234567", "2001"), {}, false,
         {"Edit TalkGroups", "Edit Radio ID 2001", "", "2001"}},
        // Only the whole cell is compared: "Station ID" is not excluded here.
        {MenuList::Activity, ActivityRow("Station ID", "", ""), {}, false, {}},
        {MenuList::Activity, ActivityRow("Group", "1234 (Fire)", ""), {}, false,
         {"Edit TalkGroup 1234 ", "Edit Radio IDs", "1234 ", ""}},
        {MenuList::GrantTrace, {}, GrantRow("Station ID", "  100", ""), true, {}},
        {MenuList::RecentGrants, {}, GrantRow("Group (Enc)", "  100", "7"), true,
         {"Edit TalkGroup   100", "Edit Radio ID 7", "  100", "7"}},
        {MenuList::AffiliationLog, {}, {{"t", "Deregistration", "", "", "7", ""}, {}, false}, true,
         {"Edit TalkGroups", "Edit Radio ID 7", "", "7"}},
        {MenuList::AffiliationLog, {}, {{"t", "Group Affiliation", "   55", "", "7", ""}, {}, false}, true,
         {"Edit TalkGroup    55", "Edit Radio ID 7", "   55", "7"}},
        {MenuList::AffiliationList, {"   55", {"Fire", "7", "", ""}}, {}, false,
         {"Edit TalkGroup    55", "Edit Radio ID 7", "   55", "7"}},
    };
    for (const auto& c : cases) {
        const RowMenu menu = c.isLog ? PrepareRowMenu(c.list, &c.logRow) : PrepareRowMenu(c.list, &c.textRow);
        EXPECT_EQ(menu.TalkgroupCaption, c.expected.TalkgroupCaption);
        EXPECT_EQ(menu.RadioCaption, c.expected.RadioCaption);
        EXPECT_EQ(menu.TalkgroupField, c.expected.TalkgroupField);
        EXPECT_EQ(menu.RadioField, c.expected.RadioField);
    }
}

TEST(PrepareRowMenu, NoRowOpensBothEditorsEmpty)
{
    const RowMenu menu = PrepareRowMenu(MenuList::GrantTrace, static_cast<const LogRow*>(nullptr));
    EXPECT_EQ(menu.TalkgroupCaption, "Edit TalkGroups");
    EXPECT_EQ(menu.RadioCaption, "Edit Radio IDs");
    EXPECT_EQ(menu.TalkgroupField, "");
    EXPECT_EQ(menu.RadioField, "");
    // A row too short for its columns reads empty cells.
    const TextRow shortRow{"x", {}};
    EXPECT_EQ(PrepareRowMenu(MenuList::Activity, &shortRow).TalkgroupCaption, "Edit TalkGroups");
}
