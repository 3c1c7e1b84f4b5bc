#include "view/ScreenLists.h"

#include <algorithm>

#include "platform/TextFormat.h"
#include "model/P25Class.h"
#include "platform/Clock.h"

namespace {

bool IsConnected(const SYSINFO& info)
{
    return info.SiteStatus & 1;
}

const char* SourceText(uint8_t source)
{
    switch (source) {
    case 1: return "Manual";
    case 2: return "Confirmed";
    default: return "Assumed";
    }
}

}

std::string TowerDescriptionOf(const std::vector<TOWERS>& towers, int rfss, int site)
{
    for (const auto& tower : towers)
        if (tower.Rfss == rfss && tower.Site == site)
            return tower.Description;
    return {};
}

SystemLabels BuildSystemLabels(const SYSINFO& info, const std::string& towerDescription)
{
    SystemLabels labels;
    if (info.SysId == 0)
        return labels;
    labels.SysId = Format("%03X", info.SysId);
    labels.SystemField = Format("%03X/%05lX", info.SysId, static_cast<long>(info.Wacn));
    labels.Rfss = Format("%03d", info.RfssId);
    labels.Site = Format("%03d", info.SiteId);
    labels.SiteField = Format("R%03d S%03d", info.RfssId, info.SiteId);
    labels.Wacn = Format("%05lX", static_cast<long>(info.Wacn));
    labels.SiteDescription = towerDescription;
    labels.Flavor = P25Class::FlavorText(info.Flavor);
    labels.SystemDescription = info.SystemDescription;
    labels.Status = IsConnected(info) ? "OK" : "ST!";
    labels.StatusLine = labels.Status;
    return labels;
}

std::vector<TextRow> SiteInformationRows(const SYSINFO& info, const std::string& towerDescription)
{
    if (info.SysId == 0)
        return {};
    const bool severalSigns = info.CallSigns.find(' ') != std::string::npos;
    return {
        {"System ID", {Format("%03X", info.SysId)}},
        {"RFSS", {Format("%03d", info.RfssId)}},
        {"Site ID", {Format("%03d", info.SiteId)}},
        {"WACN", {Format("%05lX", static_cast<long>(info.Wacn))}},
        {"Tower Description", {towerDescription}},
        {"System Description", {info.SystemDescription}},
        {"Capabilities", {P25Class::ServiceClassText(info.ServiceClass)}},
        {severalSigns ? "Call Signs" : "Call Sign", {info.CallSigns}},
        {"Tower Status", {IsConnected(info) ? "Connected" : "Site Trunking Mode"}},
        {"Flavor", {P25Class::FlavorText(info.Flavor)}},
    };
}

std::vector<TextRow> IdentifierRows(const IDENTABLE* tables)
{
    std::vector<TextRow> rows;
    for (int i = 0; i < MaxIdentifierTables; ++i) {
        const IDENTABLE& t = tables[i];
        TextRow row{Format("%02d", i), {}};
        if (t.Base == 0.0)
            row.Cells.assign(6, "");
        else
            row.Cells = {Format("%d", t.Slots),         Format("%3.05f", t.Base),      Format("%3.05f", t.Spacing),
                         Format("%3.05f", t.TxOffset), SourceText(t.Source), Format("%3.05f", t.Bandwidth)};
        rows.push_back(std::move(row));
    }
    return rows;
}

std::string HoldLabel(int heldTalkgroup)
{
    return heldTalkgroup == -1 ? "No Hold" : "Holding Talkgroup " + std::to_string(heldTalkgroup);
}

std::vector<TextRow> ActivityRows(P25Class& model, const FreqInfo* channels, int count, int followedRow,
                                  int privatePriority)
{
    // Shown in the order i, c, a, v, d, p, t, whatever the order of the bits.
    static constexpr std::pair<uint32_t, char> usageLetters[] = {
        {UsageSystemId, 'i'}, {UsageControl, 'c'}, {UsageAlternate, 'a'}, {UsageVoice, 'v'},
        {UsageData, 'd'},     {UsagePrivate, 'p'}, {UsagePhone, 't'}};
    std::vector<TextRow> rows;
    rows.reserve(count);
    for (int i = 0; i < count; ++i) {
        const FreqInfo& ch = channels[i];
        std::string frequency;
        if (ch.Frequency == -1.0)
            frequency = "Unknown";
        else if (const int slot = model.ChannelSlot(ch.Channel); slot >= 0)
            frequency = FrequencyText(ch.Frequency) + "/" + std::to_string(slot);
        else
            frequency = FrequencyText(ch.Frequency);

        std::string usage;
        for (const auto& [bit, letter] : usageLetters)
            if (ch.UsageFlags & bit)
                usage += letter;

        std::string type = ch.Usage;
        if (!ch.Options.empty() && ch.Usage != "Station ID")
            type += " (" + ch.Options + ")";

        std::string priority, talkgroup, talkgroupDescription;
        if (ch.Talkgroup != 0 && (ch.Usage == "Private" || ch.Usage == "Data")) {
            priority = Format("%d", privatePriority);
            talkgroup = Format("%ld", static_cast<long>(ch.Talkgroup));
            talkgroupDescription = model.FindRadioDescription(ch.Talkgroup);
        } else if (ch.Talkgroup != 0) {
            priority = Format("%d", model.GetTalkgroupPriority(ch.Talkgroup));
            talkgroup = Format("%d", ch.Talkgroup);
            talkgroupDescription = ch.TalkgroupDescription;
        } else if (ch.Usage == "Station ID") {
            priority = ch.Options;
        }

        std::string radio, radioDescription;
        if (ch.Radio != 0) {
            radio = Format("%ld", static_cast<long>(ch.Radio));
            radioDescription = model.FindRadioDescription(ch.Radio);
            if (radioDescription.empty()) {
                model.AddRadio(ch.Radio, ch.Talkgroup);
                radioDescription = model.FindRadioDescription(ch.Radio);
            }
        }
        rows.push_back({Format("%02d-%04d", ch.Channel >> 12 & 0xF, ch.Channel & 0xFFF),
                        {frequency, usage, type, priority, talkgroup, talkgroupDescription, radio, radioDescription,
                         i == followedRow ? "<-----" : "", Format("%d", ch.Hits)}});
    }
    return rows;
}

std::vector<TextRow> AdjacentRows(const NEIGHBORREC* neighbors, int count, const std::vector<TOWERS>& towers)
{
    std::vector<TextRow> rows;
    for (int i = 0; i < count; ++i) {
        const NEIGHBORREC& n = neighbors[i];
        const bool known = n.Channel != NoChannel;
        rows.push_back({Format("%d%02d (T%02X%02X)", n.RfssId, n.SiteId, n.RfssId, n.SiteId),
                        {Format("%03X", n.SysId), known ? Format("%02d-%04d", n.Channel >> 12 & 0xF, n.Channel & 0xFFF) : "",
                         known ? Format("%3.05f", n.Frequency) : "", TowerDescriptionOf(towers, n.RfssId, n.SiteId),
                         std::string(n.Status & 1 ? "Connected, " : "Failed, ") + (n.Status & 2 ? "Current" : "Stale")}});
    }
    return rows;
}

std::vector<TextRow> PatchRows(P25Class& model, const PATCHREC* patches, int count)
{
    std::vector<TextRow> rows;
    for (int i = 0; i < count; ++i) {
        const PATCHREC& p = patches[i];
        rows.push_back({Format("%05d (%s) --> %05d (%s)", p.Talkgroup, model.GetTalkgroupDescription(p.Talkgroup).c_str(),
                               p.Supergroup, model.GetTalkgroupDescription(p.Supergroup).c_str()),
                        {}});
    }
    return rows;
}

std::vector<TextRow> FilterRows(const FILTERRANGE* ranges, int count)
{
    std::vector<TextRow> rows;
    for (int i = 0; i < count; ++i)
        rows.push_back({Format("%ld", static_cast<long>(ranges[i].Low)),
                        {Format("%ld", static_cast<long>(ranges[i].High)), ranges[i].Active ? "Yes" : "No"}});
    return rows;
}

void AffiliationList::Apply(P25Class& model, const AFFLOG& record)
{
    if (record.Function == 'C') {
        Clear();
        return;
    }
    if (record.Function != 'A' && record.Function != 'U')
        return;
    Remove(record.Radio);
    if (record.Function != 'A')
        return;
    std::string radioDescription = model.FindRadioDescription(record.Radio);
    if (radioDescription.empty()) {
        model.AddRadio(record.Radio, record.Talkgroup);
        radioDescription = model.FindRadioDescription(record.Radio);
    }
    m_index[record.Radio] = m_rows.size();
    m_radios.push_back(record.Radio);
    m_rows.push_back({NumberText(record.Talkgroup, 5),
                      {model.GetTalkgroupDescription(record.Talkgroup), NumberText(record.Radio),
                       radioDescription, m_times.Text(record.Time)}});
}

void AffiliationList::Remove(int radio)
{
    const auto found = m_index.find(radio);
    if (found == m_index.end())
        return;
    m_radios[found->second] = Hole;
    m_index.erase(found);
    if (m_rows.size() > 2 * m_index.size() + 64)
        Compact();
}

void AffiliationList::Compact() const
{
    size_t kept = 0;
    for (size_t i = 0; i < m_rows.size(); ++i) {
        if (m_radios[i] == Hole)
            continue;
        if (kept != i) {
            m_rows[kept] = std::move(m_rows[i]);
            m_radios[kept] = m_radios[i];
        }
        m_index[m_radios[kept]] = kept;
        ++kept;
    }
    m_rows.resize(kept);
    m_radios.resize(kept);
}

const std::vector<TextRow>& AffiliationList::Rows() const
{
    if (m_rows.size() != m_index.size())
        Compact();
    return m_rows;
}

void AffiliationList::Clear()
{
    m_rows.clear();
    m_radios.clear();
    m_index.clear();
}
