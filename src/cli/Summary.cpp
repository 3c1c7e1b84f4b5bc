#include "cli/Summary.h"

#include <algorithm>
#include <sstream>
#include <vector>

#include <nlohmann/json.hpp>

#include "platform/TextFormat.h"
#include "model/P25Class.h"
#include "view/RefreshCycle.h"

namespace {

constexpr int TopTalkgroups = 10;

std::string CellsOf(const TextRow& row, size_t width = 0)
{
    std::string text = row.Caption;
    if (text.size() < width)
        text.resize(width, ' ');
    for (const auto& cell : row.Cells)
        text += "  " + cell;
    return text;
}

}

std::string SummaryText(P25Class& model, const RefreshCycle& screen, const RunCounters& counters)
{
    SYSINFO info;
    model.GetSystemInfo(info);
    std::ostringstream out;
    const auto& labels = screen.Labels;
    if (info.SysId == 0) {
        out << "System:      none identified\n";
    } else {
        out << "System:      " << labels.SysId << (info.SystemDescription.empty() ? "" : "  " + info.SystemDescription)
            << "\n";
        out << "WACN:        " << labels.Wacn << "\n";
        out << "Site:        RFSS " << labels.Rfss << "  Site " << labels.Site
            << (labels.SiteDescription.empty() ? "" : "  " + labels.SiteDescription) << "\n";
        out << "Status:      " << (info.SiteStatus & 1 ? "Connected" : "Site Trunking Mode") << "\n";
        out << "Flavor:      " << labels.Flavor << "\n";
        out << "Services:    " << P25Class::ServiceClassText(info.ServiceClass) << "\n";
        if (!info.CallSigns.empty())
            out << "Call signs:  " << info.CallSigns << "\n";
    }

    out << "\nIdentifier tables (ID  Slots  Base  Spacing  TX Offset  Source  Bandwidth):\n";
    for (const auto& row : screen.IdentifierTables)
        if (!row.Cells.empty() && !row.Cells[0].empty())
            out << "  " << CellsOf(row) << "\n";

    out << "\nChannels (Ch  Frequency  Usage  Type  Priority  TG  TG Desc  Radio  Radio Desc  Active  Hits):\n";
    for (const auto& row : screen.Activity)
        out << "  " << CellsOf(row) << "\n";

    std::vector<TGTAG> talkgroups;
    model.GetTalkgroups(talkgroups);
    out << "\nTalkgroups seen: " << talkgroups.size() << "    Radios seen: " << model.RadioCount() << "\n";
    std::stable_sort(talkgroups.begin(), talkgroups.end(),
                     [](const TGTAG& a, const TGTAG& b) { return a.Hits > b.Hits; });
    if (!talkgroups.empty() && talkgroups.front().Hits > 0) {
        out << "Top talkgroups by hits:\n";
        for (int i = 0; i < TopTalkgroups && i < static_cast<int>(talkgroups.size()) && talkgroups[i].Hits > 0; ++i)
            out << Format("  %5d  %6d  %s\n", talkgroups[i].Id, talkgroups[i].Hits, talkgroups[i].Description.c_str());
    }

    if (!screen.AdjacentSites.empty()) {
        out << "\nNeighbours (Site  SysID  Ch  Frequency  Name  Status):\n";
        for (const auto& row : screen.AdjacentSites)
            out << "  " << CellsOf(row) << "\n";
    }

    out << "\nBlocks read: " << counters.Blocks.BlocksTaken << "    decoded: " << counters.Blocks.BlocksRecognised
        << "    CRC failures: " << counters.Blocks.CrcFailures << "    packets: " << counters.Blocks.PacketsDecoded << "\n";
    if (counters.LogRecordsDropped)
        out << "Log records dropped (the logs fell behind): " << counters.LogRecordsDropped << "\n";
    if (counters.EventsOn)
        out << "Events: " << counters.EventsPublished << "    dropped: " << counters.EventsDropped << "\n";
    if (counters.Seconds > 0)
        out << Format("Time: %.2f s (%.0f blocks a second)\n", counters.Seconds,
                      static_cast<double>(counters.Blocks.BlocksTaken) / counters.Seconds);
    return out.str();
}

std::string SummaryJson(P25Class& model, const RunCounters& counters)
{
    using json = nlohmann::ordered_json;
    SYSINFO info;
    model.GetSystemInfo(info);
    json doc;
    doc["system"] = {{"sysId", info.SysId},
                     {"wacn", info.Wacn},
                     {"rfssId", info.RfssId},
                     {"siteId", info.SiteId},
                     {"siteStatus", info.SiteStatus},
                     {"flavor", info.Flavor},
                     {"flavorText", P25Class::FlavorText(info.Flavor)},
                     {"serviceClass", info.ServiceClass},
                     {"serviceClassText", P25Class::ServiceClassText(info.ServiceClass)},
                     {"systemDescription", info.SystemDescription},
                     {"siteDescription", info.SiteDescription},
                     {"callSigns", info.CallSigns}};

    IDENTABLE tables[MaxIdentifierTables];
    model.GetIdentifierTables(tables, MaxIdentifierTables);
    json identifiers = json::array();
    for (int i = 0; i < MaxIdentifierTables; ++i)
        identifiers.push_back({{"id", i},
                               {"base", tables[i].Base},
                               {"txOffset", tables[i].TxOffset},
                               {"spacing", tables[i].Spacing},
                               {"bandwidth", tables[i].Bandwidth},
                               {"source", tables[i].Source},
                               {"slots", tables[i].Slots}});
    doc["identifierTables"] = identifiers;

    std::vector<FreqInfo> channels(MaxChannels);
    channels.resize(model.GetChannels(channels.data(), MaxChannels));
    json channelList = json::array();
    for (const auto& c : channels)
        channelList.push_back({{"channel", c.Channel},
                               {"channelText", Format("%02d-%04d", c.Channel >> 12 & 0xF, c.Channel & 0xFFF)},
                               {"frequency", c.Frequency},
                               {"inputChannel", c.InputChannel},
                               {"inputFrequency", c.InputFrequency},
                               {"inputExplicit", c.InputExplicit},
                               {"usage", c.Usage},
                               {"talkgroup", c.Talkgroup},
                               {"talkgroupDescription", c.TalkgroupDescription},
                               {"radio", c.Radio},
                               {"usageFlags", c.UsageFlags},
                               {"options", c.Options},
                               {"hits", c.Hits},
                               {"lastActivity", c.LastActivity}});
    doc["channels"] = channelList;

    std::vector<NEIGHBORREC> neighbors(MaxNeighbors);
    neighbors.resize(model.GetNeighbors(neighbors.data(), MaxNeighbors));
    json neighborList = json::array();
    for (const auto& n : neighbors)
        neighborList.push_back({{"sysId", n.SysId},
                                {"rfssId", n.RfssId},
                                {"siteId", n.SiteId},
                                {"channel", n.Channel},
                                {"status", n.Status},
                                {"frequency", n.Frequency},
                                {"description", n.Description}});
    doc["neighbors"] = neighborList;

    std::vector<TOWERS> towers;
    model.GetTowers(towers);
    json towerList = json::array();
    for (const auto& t : towers)
        towerList.push_back({{"rfss", t.Rfss}, {"site", t.Site}, {"description", t.Description}});
    doc["towers"] = towerList;

    std::vector<TGTAG> talkgroups;
    model.GetTalkgroups(talkgroups);
    json tgList = json::array();
    for (const auto& t : talkgroups)
        tgList.push_back({{"id", t.Id},
                          {"description", t.Description},
                          {"lastSeen", t.LastSeen},
                          {"priority", t.Priority},
                          {"firstSeen", t.FirstSeen},
                          {"encSeen", t.EncSeen},
                          {"emrgIgnore", t.EmrgIgnore},
                          {"hits", t.Hits},
                          {"textColor", t.TextColor},
                          {"backColor", t.BackColor}});
    doc["talkgroups"] = tgList;

    std::vector<RADTAG> radios;
    model.GetRadios(radios);
    json radioList = json::array();
    for (const auto& r : radios)
        radioList.push_back({{"id", r.Id},
                             {"description", r.Description},
                             {"lastSeen", r.LastSeen},
                             {"textColor", r.TextColor},
                             {"backColor", r.BackColor}});
    doc["radios"] = radioList;

    std::vector<PATCHREC> patches(MaxPatches);
    patches.resize(model.GetPatches(patches.data(), MaxPatches));
    json patchList = json::array();
    for (const auto& p : patches)
        patchList.push_back({{"talkgroup", p.Talkgroup}, {"supergroup", p.Supergroup}, {"time", p.Time}});
    doc["patches"] = patchList;

    std::vector<AFFREC> affiliations(MaxAffiliations);
    affiliations.resize(model.GetAffiliations(affiliations.data(), MaxAffiliations));
    json affiliationList = json::array();
    for (const auto& a : affiliations)
        affiliationList.push_back({{"talkgroup", a.Talkgroup}, {"radio", a.Radio}, {"time", a.Time}});
    doc["affiliations"] = affiliationList;

    std::vector<FILTERRANGE> ranges(MaxFilterRanges);
    ranges.resize(model.GetFilterRanges(ranges.data(), MaxFilterRanges));
    json rangeList = json::array();
    for (const auto& r : ranges)
        rangeList.push_back({{"active", r.Active != 0}, {"low", r.Low}, {"high", r.High}});
    doc["filterRanges"] = {{"enabled", model.IsFilteringEnabled() != 0}, {"ranges", rangeList}};

    doc["counters"] = {{"blocksRead", counters.Blocks.BlocksTaken},
                       {"blocksDecoded", counters.Blocks.BlocksRecognised},
                       {"crcFailures", counters.Blocks.CrcFailures},
                       {"packetsDecoded", counters.Blocks.PacketsDecoded},
                       {"linesRead", counters.LinesRead},
                       {"logRecordsDropped", counters.LogRecordsDropped},
                       {"seconds", counters.Seconds}};
    if (counters.EventsOn) {
        doc["counters"]["eventsPublished"] = counters.EventsPublished;
        doc["counters"]["eventsDropped"] = counters.EventsDropped;
    }
    if (!counters.FollowReasons.empty())
        doc["counters"]["followReasons"] = counters.FollowReasons;
    return doc.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
}
