#pragma once
#include <string_view>

#include "view/LogLists.h"
#include "view/ScreenLists.h"

// Column numbers of the main window's lists, in the order the window shows them. A
// TextRow's Caption is column 0 and Cells[i] column i + 1; a LogRow's Cells[i] is column i.

namespace ActivityColumn {
enum : int { Ch, Frequency, Usage, Type, Priority, TlkGrp, TalkGroupDesc, RadioId, RadioDesc, Active, Hits };
}

namespace AffiliationColumn {
enum : int { TalkGroup, TalkgroupDescription, RadioId, RadioDescription, LastAffiliation };
}

namespace AffiliationLogColumn {
enum : int { Time, Function, TgId, TgDescription, RadioId, RadioDescription };
}

// The grant trace; the recent grants list has the same columns under shorter names
// ("Time", "Type", "Ch", "Freq", "TG", "TG Desc", "RID", "RID Description").
namespace GrantColumn {
enum : int { Timestamp, Type, Channel, Frequency, TgId, TalkGroupDescription, RadioId, RadioDescription };
}

namespace FilterColumn {
enum : int { Low, High, Active };
}

// An empty text for a column the row does not have.
inline std::string_view CellAt(const TextRow& row, int column)
{
    if (column == 0)
        return row.Caption;
    if (column < 0 || static_cast<size_t>(column) > row.Cells.size())
        return {};
    return row.Cells[static_cast<size_t>(column) - 1];
}

inline std::string_view CellAt(const LogRow& row, int column)
{
    if (column < 0 || static_cast<size_t>(column) >= row.Cells.size())
        return {};
    return row.Cells[static_cast<size_t>(column)];
}
