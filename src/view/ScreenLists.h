#pragma once
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "model/Records.h"
#include "platform/Clock.h"

class P25Class;

// The contents of the window's state lists and labels, built from copies of the model.
// The GUI draws them; zembrant-cli prints them.

struct TextRow
{
    std::string Caption;
    std::vector<std::string> Cells;
};

struct SystemLabels
{
    std::string SysId = "000";
    std::string SystemField = "000/00000";
    std::string Rfss = "000";
    std::string Site = "000";
    std::string SiteField = "R000 S000";
    std::string Wacn = "00000";
    std::string SiteDescription;
    std::string Flavor;
    std::string SystemDescription;
    std::string Status = "None";
    std::string StatusLine = "Unknown";
    std::string TalkgroupCount = "0";
    std::string RadioCount = "0";
};

// towers: the model's towers, for the description of (RFSS, site).
std::string TowerDescriptionOf(const std::vector<TOWERS>& towers, int rfss, int site);

SystemLabels BuildSystemLabels(const SYSINFO& info, const std::string& towerDescription);
// "Item", "Value"; empty without a system ID.
std::vector<TextRow> SiteInformationRows(const SYSINFO& info, const std::string& towerDescription);
// 16 rows: "ID" caption, then "S", "Base", "Spacing", "TX Offset", "Source", "Bandwidth".
std::vector<TextRow> IdentifierRows(const IDENTABLE* tables);
// One row per channel in table order; followedRow gets the "<-----" mark. Radios without
// a description get their default one (AddRadio), as the list shows them.
std::vector<TextRow> ActivityRows(P25Class& model, const FreqInfo* channels, int count, int followedRow,
                                  int privatePriority);
std::string HoldLabel(int heldTalkgroup);
std::vector<TextRow> AdjacentRows(const NEIGHBORREC* neighbors, int count, const std::vector<TOWERS>& towers);
// "%05d (%s) --> %05d (%s)" rows.
std::vector<TextRow> PatchRows(P25Class& model, const PATCHREC* patches, int count);
std::vector<TextRow> FilterRows(const FILTERRANGE* ranges, int count);

// The affiliation list: one row per radio, its latest accepted affiliation, in the order
// the radios last affiliated. A radio's row is found through an index, so each record costs
// the same however many radios the list holds; replaced rows are left as holes and swept
// out when they outnumber the live ones or when the rows are read.
class AffiliationList
{
public:
    // 'A' replaces the radio's row, 'U' removes it, 'C' empties the list.
    void Apply(P25Class& model, const AFFLOG& record);
    const std::vector<TextRow>& Rows() const;
    size_t Size() const { return m_index.size(); }
    void Clear();

private:
    void Remove(int radio);
    void Compact() const;

    mutable std::vector<TextRow> m_rows;
    static constexpr int32_t Hole = -1;
    // The radio of each slot of m_rows, or Hole.
    mutable std::vector<int32_t> m_radios;
    mutable std::unordered_map<int32_t, size_t> m_index;
    LocalTimeTexts m_times;
};
