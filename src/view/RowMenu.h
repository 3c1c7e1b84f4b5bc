#pragma once
#include <string>

#include "view/ListColumns.h"

// The lists' right-click menu: its two captions and the fields it hands to the talkgroup
// and radio ID editors, prepared from the clicked row.

enum class MenuList { Activity, GrantTrace, RecentGrants, AffiliationLog, AffiliationList };

struct RowMenu
{
    std::string TalkgroupCaption = "Edit TalkGroups";
    std::string RadioCaption = "Edit Radio IDs";
    // Empty fields open the editors for a free choice.
    std::string TalkgroupField;
    std::string RadioField;
    // The history entries: the clicked row's talkgroup and radio, 0 when it names none.
    int HistoryTalkgroup = 0;
    int HistoryRadio = 0;
};

// row null: no row selected. The talkgroup cell is cut before its first "("; a row whose
// call type the list excludes ("Private", "Data", "Phone"; the grant lists also
// "Station ID") keeps "Edit TalkGroups" and an empty talkgroup field.
RowMenu PrepareRowMenu(MenuList list, const TextRow* row);
RowMenu PrepareRowMenu(MenuList list, const LogRow* row);
