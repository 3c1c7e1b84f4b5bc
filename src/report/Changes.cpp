#include "report/Changes.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <set>
#include <tuple>

#include "platform/Clock.h"

namespace {

struct Change
{
    std::string Kind;
    int64_t Key = 0;
    std::string What;
    std::string Before;
    std::string After;
    std::string When;
};

std::string Printed(const char* format, auto... values)
{
    char text[128];
    std::snprintf(text, sizeof text, format, values...);
    return text;
}

std::string ChannelName(int channel)
{
    return Printed("%02d-%04d", channel >> 12, channel & 0xFFF);
}

std::string WhenText(int64_t time)
{
    return time > 0 ? LocalTimeText(time) : std::string();
}

std::string Named(int id, const std::string& description)
{
    return description.empty() ? std::to_string(id) : std::to_string(id) + " " + description;
}

// The tower file's order of the letters.
std::string LettersText(uint32_t flags)
{
    static constexpr std::pair<uint32_t, char> Letters[] = {
        {UsageControl, 'c'}, {UsageAlternate, 'a'}, {UsageVoice, 'v'},   {UsageData, 'd'},
        {UsageSystemId, 'i'}, {UsagePrivate, 'p'},  {UsagePhone, 't'},
    };
    std::string text;
    for (const auto& [bit, letter] : Letters)
        if (flags & bit)
            text += letter;
    return text;
}

std::string TableText(const IDENTABLE& t)
{
    if (t.Base == 0.0)
        return "empty";
    static const char* const Sources[] = {"Assumed", "Manual", "Confirmed"};
    return Printed("base %.5f spacing %.5f offset %.5f bandwidth %.5f slots %d ", t.Base, t.Spacing, t.TxOffset,
                   t.Bandwidth, std::max<int>(t.Slots, 1)) +
           Sources[t.Source <= SourceConfirmed ? t.Source : SourceAssumed];
}

std::string JoinedChannels(const std::set<int>& channels)
{
    std::string text;
    for (const int channel : channels)
        text += (text.empty() ? "" : " ") + ChannelName(channel);
    return text;
}

// The control channel in use; what a loaded tower file knows is every channel lettered c.
std::set<int> ControlChannels(const SystemSnapshot& s)
{
    for (const FreqInfo& f : s.Channels)
        if (f.Usage == "Control")
            return {f.Channel};
    std::set<int> channels;
    for (const FreqInfo& f : s.Channels)
        if (f.UsageFlags & UsageControl)
            channels.insert(f.Channel);
    return channels;
}

std::set<int> AlternateChannels(const SystemSnapshot& s)
{
    std::set<int> channels;
    for (const FreqInfo& f : s.Channels)
        if (f.UsageFlags & UsageAlternate)
            channels.insert(f.Channel);
    return channels;
}

int64_t SiteKey(int rfss, int site)
{
    return int64_t{rfss} * 1000 + site;
}

std::string SiteName(int rfss, int site)
{
    return std::to_string(rfss) + "-" + std::to_string(site);
}

int64_t NeighborKey(const NEIGHBORREC& n)
{
    return (int64_t{n.SysId} * 1000 + n.RfssId) * 1000 + n.SiteId;
}

void CompareTalkgroupsAndRadios(const SystemSnapshot& before, const SystemSnapshot& now, std::vector<Change>& out)
{
    std::set<int> known;
    for (const TGTAG& t : before.Talkgroups)
        known.insert(t.Id);
    for (const TGTAG& t : now.Talkgroups)
        if (!known.contains(t.Id))
            out.push_back({"New talkgroup", t.Id, Named(t.Id, t.Description), "", "hits " + std::to_string(t.Hits),
                           WhenText(t.FirstSeen)});
    known.clear();
    for (const RADTAG& r : before.Radios)
        known.insert(r.Id);
    for (const RADTAG& r : now.Radios)
        if (!known.contains(r.Id))
            out.push_back({"New radio", r.Id, Named(r.Id, r.Description), "", "", WhenText(r.LastSeen)});
}

void CompareSites(const SystemSnapshot& before, const SystemSnapshot& now, std::vector<Change>& out)
{
    const auto sites = [](const SystemSnapshot& s) {
        std::map<int64_t, TOWERS> sites;
        if (s.RfssId != 0 || s.SiteId != 0)
            sites[SiteKey(s.RfssId, s.SiteId)] = {s.RfssId, s.SiteId, {}};
        for (const TOWERS& t : s.Towers)
            sites[SiteKey(t.Rfss, t.Site)] = t;
        return sites;
    };
    const auto was = sites(before);
    const auto is = sites(now);
    for (const auto& [key, t] : is)
        if (!was.contains(key))
            out.push_back({"New site", key, SiteName(t.Rfss, t.Site), "", t.Description, ""});
    std::set<int64_t> towers;
    for (const TOWERS& t : now.Towers)
        towers.insert(SiteKey(t.Rfss, t.Site));
    for (const TOWERS& t : before.Towers)
        if (!towers.contains(SiteKey(t.Rfss, t.Site)))
            out.push_back({"Site gone", SiteKey(t.Rfss, t.Site), SiteName(t.Rfss, t.Site), t.Description, "", ""});
}

void CompareNeighbors(const SystemSnapshot& before, const SystemSnapshot& now, std::vector<Change>& out)
{
    const auto keyed = [](const SystemSnapshot& s) {
        std::map<int64_t, const NEIGHBORREC*> neighbors;
        for (const NEIGHBORREC& n : s.Neighbors)
            neighbors[NeighborKey(n)] = &n;
        return neighbors;
    };
    const auto name = [](const NEIGHBORREC& n) { return Printed("%03X %d-%d", n.SysId, n.RfssId, n.SiteId); };
    const auto where = [](const NEIGHBORREC& n) {
        return n.Channel == NoChannel ? std::string("Unknown") : ChannelName(n.Channel) + Printed(" %3.5f", n.Frequency);
    };
    const auto was = keyed(before);
    const auto is = keyed(now);
    for (const auto& [key, n] : is)
        if (!was.contains(key))
            out.push_back({"New neighbor", key, name(*n), "", where(*n), ""});
    for (const auto& [key, n] : was)
        if (!is.contains(key))
            out.push_back({"Neighbor gone", key, name(*n), where(*n), "", ""});
}

void CompareChannels(const SystemSnapshot& before, const SystemSnapshot& now, std::vector<Change>& out)
{
    const std::string site = SiteName(now.RfssId, now.SiteId);
    const std::set<int> wasControl = ControlChannels(before);
    const std::set<int> isControl = ControlChannels(now);
    if (std::ranges::any_of(isControl, [&](int channel) { return !wasControl.contains(channel); }))
        out.push_back({"Control channel", 0, site, JoinedChannels(wasControl), JoinedChannels(isControl), ""});
    const std::set<int> wasAlternate = AlternateChannels(before);
    const std::set<int> isAlternate = AlternateChannels(now);
    if (wasAlternate != isAlternate)
        out.push_back({"Alternate channels", 0, site, JoinedChannels(wasAlternate), JoinedChannels(isAlternate), ""});

    std::map<int, uint32_t> letters;
    for (const FreqInfo& f : before.Channels)
        letters[f.Channel] = f.UsageFlags;
    for (const FreqInfo& f : now.Channels) {
        const uint32_t was = letters.contains(f.Channel) ? letters[f.Channel] : 0;
        if (f.UsageFlags & ~was)
            out.push_back({"New usage letter", f.Channel, ChannelName(f.Channel), LettersText(was),
                           LettersText(f.UsageFlags), ""});
    }
    if (!now.Services.empty() && now.Services != before.Services)
        out.push_back({"Services", 0, site, before.Services, now.Services, ""});
    if (!now.Flavor.empty() && now.Flavor != before.Flavor)
        out.push_back({"Flavor", 0, site, before.Flavor, now.Flavor, ""});
}

void CompareTables(const SystemSnapshot& before, const SystemSnapshot& now, std::vector<Change>& out)
{
    for (int id = 0; id < MaxIdentifierTables; ++id) {
        const std::string was = TableText(before.IdentifierTables[id]);
        const std::string is = TableText(now.IdentifierTables[id]);
        if (was != is)
            out.push_back({"Identifier table", id, "id " + std::to_string(id), was, is, ""});
    }
}

void ComparePatches(const SystemSnapshot& before, const SystemSnapshot& now, std::vector<Change>& out)
{
    struct Members
    {
        std::set<int> Talkgroups;
        int64_t Time = 0;
    };
    const auto grouped = [](const SystemSnapshot& s) {
        std::map<int, Members> patches;
        for (const PATCHREC& p : s.Patches) {
            Members& m = patches[p.Supergroup];
            m.Talkgroups.insert(p.Talkgroup);
            m.Time = std::max(m.Time, p.Time);
        }
        return patches;
    };
    const auto text = [](const std::set<int>& talkgroups) {
        std::string members = "members";
        for (const int t : talkgroups)
            members += " " + std::to_string(t);
        return members;
    };
    auto was = grouped(before);
    for (const auto& [supergroup, m] : grouped(now)) {
        const std::set<int>& old = was[supergroup].Talkgroups;
        if (std::ranges::includes(old, m.Talkgroups))
            continue;
        out.push_back({"Patch seen", supergroup, "supergroup " + std::to_string(supergroup),
                       old.empty() ? std::string() : text(old), text(m.Talkgroups), WhenText(m.Time)});
    }
}

}

ReportTable CompareSnapshots(const SystemSnapshot& before, const SystemSnapshot& now)
{
    std::vector<Change> changes;
    CompareTalkgroupsAndRadios(before, now, changes);
    CompareSites(before, now, changes);
    CompareTables(before, now, changes);
    ComparePatches(before, now, changes);
    const bool sameSite = (before.RfssId == 0 && before.SiteId == 0) ||
                          (before.RfssId == now.RfssId && before.SiteId == now.SiteId);
    if (sameSite) {
        CompareNeighbors(before, now, changes);
        CompareChannels(before, now, changes);
    }
    std::ranges::sort(changes, {}, [](const Change& c) { return std::tie(c.Kind, c.Key, c.What); });

    ReportTable table;
    table.Columns = {"Kind", "What", "Before", "After", "When"};
    table.Empty = "Nothing changed since the system folder was loaded.";
    for (Change& c : changes)
        table.Add({std::move(c.Kind), std::move(c.What), std::move(c.Before), std::move(c.After), std::move(c.When)});
    return table;
}

void ChangeTracker::Loaded()
{
    SystemSnapshot snapshot = TakeLoadedSnapshot(m_model);
    std::lock_guard guard(m_mutex);
    m_loaded = std::move(snapshot);
    m_hasSnapshot = true;
}

ReportTable ChangeTracker::Changes(int64_t now) const
{
    SystemSnapshot current = TakeSnapshot(m_model);
    current.Time = now;
    std::lock_guard guard(m_mutex);
    return CompareSnapshots(m_loaded, current);
}

bool ChangeTracker::HasSnapshot() const
{
    std::lock_guard guard(m_mutex);
    return m_hasSnapshot;
}
