#pragma once
#include <string_view>
#include <vector>

#include "view/ListColumns.h"

// The orders of the sortable lists. Each Compare... gives <0, 0 or >0 for (a, b) sorted
// by column, the list's descending columns and tie rule included, so a sort proxy sorts
// ascending with "Compare...(a, b, column) < 0". A column the list does not have sorts by
// the tie rule alone. Text compares ignore letter case; integers are the cell's leading
// number (0 without one); decimals its leading floating-point number.

int CompareTextIgnoringCase(std::string_view a, std::string_view b);

// Ties by "Ch". Empty "Priority" counts as 100; empty "Radio ID" as 18000000 on an idle
// row (empty "Priority" too), else 0, so idle channels sort after calls. "Type" and
// "Active" descend.
int CompareActivityRows(const TextRow& a, const TextRow& b, int column);
// Ties by radio ID; equal descriptions by talkgroup first.
int CompareAffiliationRows(const TextRow& a, const TextRow& b, int column);
// Ties by "Time".
int CompareAffiliationLogRows(const LogRow& a, const LogRow& b, int column);
// Ties by "Timestamp".
int CompareGrantTraceRows(const LogRow& a, const LogRow& b, int column);
// "Low", equal values by "High", both as integers.
int CompareFilterRows(const TextRow& a, const TextRow& b);

// Stable sorts of the lists the refresh rebuilds.
void SortActivityRows(std::vector<TextRow>& rows, int column);
void SortAffiliationRows(std::vector<TextRow>& rows, int column);
void SortFilterRows(std::vector<TextRow>& rows);
