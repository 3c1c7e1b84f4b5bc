#include "report/Reconcile.h"

#include <algorithm>
#include <charconv>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <map>
#include <set>

#include "directory/SystemImport.h"
#include "model/P25Class.h"
#include "persistence/SystemFiles.h"
#include "platform/Clock.h"
#include "platform/Files.h"

namespace {

constexpr int64_t SecondsPerDay = 86400;
constexpr double UnitsPerMhz = 100000.0;
constexpr int SitesPerRfss = 100;
constexpr size_t TowerNameLength = 15;
constexpr size_t OldTowerNameLength = 13;
constexpr int HighestSystemId = 0xFFF;

// Frequencies in 10 Hz steps: the files and the service write five decimals of MHz.
int64_t FrequencyKey(double mhz)
{
    return std::llround(mhz * UnitsPerMhz);
}

std::string MhzText(double mhz)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.5f MHz", mhz);
    return text;
}

std::string SiteText(int rfss, int site)
{
    return "Site " + std::to_string(rfss) + "-" + std::to_string(site);
}

bool IsEncryptedMode(const std::string& mode)
{
    return std::any_of(mode.begin(), mode.end(), [](unsigned char c) { return std::toupper(c) == 'E'; });
}

AirSite& SiteOf(OnTheAir& air, int rfss, int site)
{
    for (AirSite& known : air.Sites)
        if (known.Rfss == rfss && known.Site == site)
            return known;
    AirSite& added = air.Sites.emplace_back();
    added.Rfss = rfss;
    added.Site = site;
    return added;
}

void AddBroadcast(AirSite& site, double frequency, const std::string& how)
{
    if (frequency <= 0.0)
        return;
    for (const auto& [known, _] : site.Broadcast)
        if (FrequencyKey(known) == FrequencyKey(frequency))
            return;
    site.Broadcast.emplace_back(frequency, how);
}

// The default name says where the decoder first heard the talkgroup ("T: 103 DT: ...").
std::string FirstSiteOf(const std::string& description)
{
    if (!IsDefaultTalkgroupName(description) || description.size() < 4)
        return {};
    int number = 0;
    size_t at = 3;
    for (; at < description.size() && std::isdigit(static_cast<unsigned char>(description[at])); ++at)
        number = number * 10 + (description[at] - '0');
    if (at == 3 || number > 99999)
        return {};
    return "First heard at site " + std::to_string(number / SitesPerRfss) + "-" + std::to_string(number % SitesPerRfss);
}

std::string DirectoryName(const DirectoryTalkgroup& talkgroup)
{
    return talkgroup.AlphaTag.empty() ? talkgroup.Description : talkgroup.AlphaTag;
}

std::string ModeText(const DirectoryTalkgroup& talkgroup)
{
    return talkgroup.Mode.empty() ? "" : "Mode " + talkgroup.Mode;
}

std::string Joined(const std::string& a, const std::string& b)
{
    return a.empty() ? b : b.empty() ? a : a + ", " + b;
}

bool ParseNumber(const std::string& text, int& value, int base, int low, int high)
{
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, value, base);
    return !text.empty() && result.ec == std::errc() && result.ptr == end && value >= low && value <= high;
}

// The sites a folder holds tower files of, by "Tower%03d%03d.txt" or "Tower%02d%02d.txt".
std::set<std::pair<int, int>> TowerFileSites(const std::string& folder)
{
    std::set<std::pair<int, int>> sites;
    for (const FolderEntry& entry : ListFolder(folder, "Tower*.txt")) {
        const std::string& name = entry.Name;
        const size_t digits = name.size() == TowerNameLength ? 3 : name.size() == OldTowerNameLength ? 2 : 0;
        int rfss = 0;
        int site = 0;
        if (entry.IsRegularFile && digits != 0 && ParseNumber(name.substr(5, digits), rfss, 10, 0, 999) &&
            ParseNumber(name.substr(5 + digits, digits), site, 10, 0, 999) && (rfss != 0 || site != 0))
            sites.emplace(rfss, site);
    }
    return sites;
}

// The model does not load a tower file's neighbours; the comparison wants them.
void AddSavedNeighbors(OnTheAir& air, const std::string& path, int sysId)
{
    std::string text;
    if (!ReadFileText(path, text))
        return;
    bool inNeighbors = false;
    std::vector<std::string> f;
    ForEachLine(text, LineLimit, [&](std::string_view line) {
        if (!line.empty() && line.front() == '-') {
            inNeighbors = line.substr(1, 9) == "Neighbors";
            return;
        }
        // TowerID,"T%02X%02X",%03x system ID,channel,frequency,name
        if (!inNeighbors || SplitCsvLine(line, f) < 5 || f[1].size() != 5 || f[1][0] != 'T')
            return;
        int rfss = 0;
        int site = 0;
        int neighborSysId = 0;
        if (ParseNumber(f[1].substr(1, 2), rfss, 16, 0, 255) && ParseNumber(f[1].substr(3, 2), site, 16, 0, 255) &&
            ParseNumber(f[2], neighborSysId, 16, 0, HighestSystemId) && neighborSysId == sysId)
            AddNeighbor(air, rfss, site, LeadingDouble(f[4]));
    });
}

class Comparison
{
public:
    Comparison(const OnTheAir& air, const DirectoryRecord& directory, int64_t now, int neverHeardDays)
        : m_air(air), m_directory(directory), m_now(now), m_days(neverHeardDays)
    {
        m_table.Columns = {"Kind", "What", "On the air", "In the directory", "Details"};
    }

    ReportTable Run()
    {
        if (m_directory.HasTalkgroups)
            Talkgroups();
        if (m_directory.HasSites)
            Sites();
        std::stable_sort(m_table.Rows.begin(), m_table.Rows.end(),
                         [this](const auto& a, const auto& b) { return Order(a[0]) < Order(b[0]); });
        if (m_table.Rows.empty())
            m_table.Empty = "The directory and the air agree.";
        return std::move(m_table);
    }

private:
    static int Order(const std::string& kind)
    {
        static const char* const kinds[] = {"Not in the directory",
                                            "Never heard",
                                            "Heard encrypted, listed clear",
                                            "Listed encrypted, heard clear",
                                            "Site not in the directory",
                                            "Site never seen",
                                            "Frequency not in the directory",
                                            "Frequency never seen"};
        return static_cast<int>(std::find(std::begin(kinds), std::end(kinds), kind) - std::begin(kinds));
    }

    void Talkgroups()
    {
        std::map<int, const TGTAG*> heard;
        for (const TGTAG& t : m_air.Talkgroups)
            heard[t.Id] = &t;
        std::set<int> listed;
        for (const DirectoryTalkgroup& d : m_directory.Talkgroups) {
            if (!listed.insert(d.Id).second)
                continue;
            const auto found = heard.find(d.Id);
            const TGTAG* t = found == heard.end() || found->second->Hits <= 0 ? nullptr : found->second;
            const std::string what = "Talkgroup " + std::to_string(d.Id);
            const std::string listing = Joined(DirectoryName(d), ModeText(d));
            if (!t) {
                m_table.Add({"Never heard", what, "Never heard", listing, ""});
                continue;
            }
            if (m_days > 0 && t->LastSeen < m_now - m_days * SecondsPerDay)
                m_table.Add({"Never heard", what, "Last heard " + LocalTimeText(t->LastSeen), listing,
                             "Not heard for " + std::to_string((m_now - t->LastSeen) / SecondsPerDay) + " days"});
            if (d.Mode.empty())
                continue;
            const std::string hits = std::to_string(t->Hits) + (t->Hits == 1 ? " hit" : " hits");
            if (t->EncSeen && !IsEncryptedMode(d.Mode))
                m_table.Add({"Heard encrypted, listed clear", what, "Encrypted calls", listing, ""});
            else if (!t->EncSeen && IsEncryptedMode(d.Mode))
                m_table.Add({"Listed encrypted, heard clear", what, "Only clear calls, " + hits, listing, ""});
        }
        for (const TGTAG& t : m_air.Talkgroups) {
            if (t.Hits <= 0 || listed.contains(t.Id))
                continue;
            std::string air = std::to_string(t.Hits) + (t.Hits == 1 ? " hit" : " hits");
            if (t.FirstSeen > 0)
                air += ", first seen " + LocalTimeText(t.FirstSeen);
            if (t.LastSeen > 0)
                air += ", last seen " + LocalTimeText(t.LastSeen);
            const std::string site = FirstSiteOf(t.Description);
            m_table.Add({"Not in the directory", "Talkgroup " + std::to_string(t.Id), air, "",
                         site.empty() && !IsDefaultTalkgroupName(t.Description) ? t.Description : site});
        }
    }

    void Sites()
    {
        std::map<std::pair<int, int>, const DirectorySite*> listed;
        for (const DirectorySite& d : m_directory.Sites)
            listed.emplace(std::pair(d.Rfss, d.Site), &d);
        std::set<std::pair<int, int>> seen;
        std::vector<const AirSite*> sites;
        for (const AirSite& s : m_air.Sites)
            sites.push_back(&s);
        std::sort(sites.begin(), sites.end(),
                  [](const AirSite* a, const AirSite* b) { return std::pair(a->Rfss, a->Site) < std::pair(b->Rfss, b->Site); });
        for (const AirSite* s : sites) {
            seen.emplace(s->Rfss, s->Site);
            const auto found = listed.find({s->Rfss, s->Site});
            const std::string what = SiteText(s->Rfss, s->Site);
            if (found == listed.end()) {
                std::string air = s->Monitored ? "Monitored" : "Announced as a neighbour";
                for (const auto& [frequency, how] : s->Broadcast)
                    air += ", " + MhzText(frequency);
                m_table.Add({"Site not in the directory", what, air, "", ""});
                continue;
            }
            Frequencies(*s, *found->second);
        }
        for (const auto& [key, d] : listed)
            if (!seen.contains(key))
                m_table.Add({"Site never seen", SiteText(key.first, key.second), "", d->Description, ""});
    }

    void Frequencies(const AirSite& site, const DirectorySite& listed)
    {
        std::set<int64_t> inDirectory;
        for (const DirectoryFrequency& f : listed.Frequencies)
            inDirectory.insert(FrequencyKey(f.Frequency));
        const std::string at = " at site " + std::to_string(site.Rfss) + "-" + std::to_string(site.Site);
        for (const auto& [frequency, how] : site.Broadcast)
            if (!inDirectory.contains(FrequencyKey(frequency)))
                m_table.Add({"Frequency not in the directory", MhzText(frequency) + at, how, "", listed.Description});
        // Only a monitored site shows all its channels; a neighbour shows one.
        if (!site.Monitored)
            return;
        std::set<int64_t> onAir;
        for (double f : site.Seen)
            onAir.insert(FrequencyKey(f));
        for (const auto& [frequency, how] : site.Broadcast)
            onAir.insert(FrequencyKey(frequency));
        std::set<int64_t> told;
        for (const DirectoryFrequency& f : listed.Frequencies)
            if (!onAir.contains(FrequencyKey(f.Frequency)) && told.insert(FrequencyKey(f.Frequency)).second)
                m_table.Add({"Frequency never seen", MhzText(f.Frequency) + at, "",
                             f.Use.empty() ? "voice" : f.Use, listed.Description});
    }

    const OnTheAir& m_air;
    const DirectoryRecord& m_directory;
    int64_t m_now;
    int64_t m_days;
    ReportTable m_table;
};

}

void GatherOnTheAir(P25Class& model, OnTheAir& air)
{
    const SYSINFO info = model.CopySystemInfo();
    air.SysId = info.SysId;
    const std::vector<FreqInfo> channels = model.CopyChannels();
    if (!channels.empty()) {
        AirSite& site = SiteOf(air, info.RfssId, info.SiteId);
        site.Monitored = true;
        for (const FreqInfo& channel : channels) {
            if (channel.Frequency <= 0.0)
                continue;
            site.Seen.push_back(channel.Frequency);
            if (channel.UsageFlags & UsageControl)
                AddBroadcast(site, channel.Frequency, "Control");
            else if (channel.UsageFlags & UsageAlternate)
                AddBroadcast(site, channel.Frequency, "Alternate");
        }
    }
    for (const NEIGHBORREC& n : model.CopyNeighbors())
        if (n.SysId == info.SysId)
            AddNeighbor(air, n.RfssId, n.SiteId, n.Frequency);
    model.GetTalkgroups(air.Talkgroups);
}

void GatherSavedSites(P25Class& model, int sysId, OnTheAir& air)
{
    const std::string folder = SystemFolderPath(model.GetDataFolder(), sysId);
    for (const auto& [rfss, site] : TowerFileSites(folder)) {
        model.SetSystemAndSite(sysId, rfss, 0, site);
        GatherOnTheAir(model, air);
        AddSavedNeighbors(air, folder + TowerFileName(rfss, site), sysId);
        AddSavedNeighbors(air, folder + OldTowerFileName(rfss, site), sysId);
    }
}

void AddNeighbor(OnTheAir& air, int rfss, int site, double frequency)
{
    AddBroadcast(SiteOf(air, rfss, site), frequency, "Neighbour announcement");
}

ReportTable Reconcile(const OnTheAir& air, const DirectoryRecord& directory, int64_t now, int neverHeardDays)
{
    if (directory.SysId == 0) {
        const std::string id = SystemIdText(air.SysId);
        ReportTable table;
        table.Columns = {"Kind", "What", "On the air", "In the directory", "Details"};
        table.Empty = "No directory import yet for system " + id +
                      ": import it first (System > Import System Information from Radio Reference, or "
                      "zembrant-cli import --system " + id + ")";
        return table;
    }
    return Comparison(air, directory, now, neverHeardDays).Run();
}

ReportTable Reconcile(P25Class& model, const DirectoryRecord& directory, int64_t now, int neverHeardDays)
{
    OnTheAir air;
    GatherOnTheAir(model, air);
    return Reconcile(air, directory, now, neverHeardDays);
}

ReportTable CompareWithDirectory(P25Class& model, const std::string& dataFolder, int sysId)
{
    ReportTable table;
    if (sysId == 0) {
        table.Empty = "No system is being decoded: start decoding one, or replay a capture of it, first.";
        return table;
    }
    DirectoryRecord directory;
    std::string error;
    if (!LoadDirectoryRecord(SystemFolderPath(dataFolder, sysId), directory, error)) {
        table.Empty = error;
        return table;
    }
    OnTheAir air;
    GatherOnTheAir(model, air);
    // The saved sites are read through a model of their own: loading them switches sites.
    P25Class saved;
    saved.SetDataFolder(dataFolder);
    GatherSavedSites(saved, sysId, air);
    return Reconcile(air, directory, model.Now(), DefaultNeverHeardDays);
}
