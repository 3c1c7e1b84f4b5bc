#include "view/RowMenu.h"

#include <algorithm>
#include <charconv>
#include <vector>
#include <string_view>

namespace {

struct MenuCells
{
    int Talkgroup;
    int Radio;
    int Type; // -1: the list has no call type
    std::vector<std::string_view> Excluded;
};

MenuCells CellsOf(MenuList list)
{
    switch (list) {
    case MenuList::Activity:
        return {ActivityColumn::TlkGrp, ActivityColumn::RadioId, ActivityColumn::Type, {"Private", "Data", "Phone"}};
    case MenuList::GrantTrace:
    case MenuList::RecentGrants:
        return {GrantColumn::TgId, GrantColumn::RadioId, GrantColumn::Type, {"Private", "Data", "Phone", "Station ID"}};
    case MenuList::AffiliationLog:
        return {AffiliationLogColumn::TgId, AffiliationLogColumn::RadioId, -1, {}};
    case MenuList::AffiliationList:
        break;
    }
    return {AffiliationColumn::TalkGroup, AffiliationColumn::RadioId, -1, {}};
}

// A cell's number ("  907" or "907 (Fire)"); 0 without one.
int LeadingNumber(std::string_view cell)
{
    while (!cell.empty() && cell.front() == ' ')
        cell.remove_prefix(1);
    int value = 0;
    std::from_chars(cell.data(), cell.data() + cell.size(), value);
    return value;
}

template <typename Row>
RowMenu Prepare(MenuList list, const Row* row)
{
    RowMenu menu;
    if (!row)
        return menu;
    const MenuCells cells = CellsOf(list);
    // The talkgroup cell of an excluded call holds a radio or nothing a talkgroup editor
    // could load, so such a row opens that editor empty, as its caption says.
    if (cells.Type < 0 || std::find(cells.Excluded.begin(), cells.Excluded.end(), CellAt(*row, cells.Type)) ==
                              cells.Excluded.end()) {
        const std::string_view talkgroup = CellAt(*row, cells.Talkgroup);
        menu.TalkgroupField = talkgroup.substr(0, talkgroup.find('('));
    }
    if (!menu.TalkgroupField.empty())
        menu.TalkgroupCaption = "Edit TalkGroup " + menu.TalkgroupField;
    menu.RadioField = CellAt(*row, cells.Radio);
    if (!menu.RadioField.empty())
        menu.RadioCaption = "Edit Radio ID " + menu.RadioField;
    menu.HistoryTalkgroup = std::max(0, LeadingNumber(menu.TalkgroupField));
    menu.HistoryRadio = std::max(0, LeadingNumber(menu.RadioField));
    return menu;
}

}

RowMenu PrepareRowMenu(MenuList list, const TextRow* row)
{
    return Prepare(list, row);
}

RowMenu PrepareRowMenu(MenuList list, const LogRow* row)
{
    return Prepare(list, row);
}
