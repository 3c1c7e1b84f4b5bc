#pragma once
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "directory/DirectoryRecord.h"
#include "model/Records.h"
#include "report/ReportTable.h"

class P25Class;

inline constexpr int DefaultNeverHeardDays = 30;

// A site as the air showed it: what it broadcasts as its control channel and alternates
// (a neighbour announces one frequency), and, for a site that was monitored, every
// frequency its channel table holds.
struct AirSite
{
    int Rfss = 0;
    int Site = 0;
    bool Monitored = false;
    // Frequency in MHz and how it was broadcast ("Control", "Alternate", "Neighbour announcement").
    std::vector<std::pair<double, std::string>> Broadcast;
    std::vector<double> Seen;
};

// What the comparison reads from a model, gathered from one site or, by the CLI, from
// each site a system folder holds a tower file of.
struct OnTheAir
{
    int SysId = 0;
    std::vector<AirSite> Sites;
    std::vector<TGTAG> Talkgroups;
};

// Adds the model's current site, once a channel of it is known (a folder loaded without
// decoding has none), and its neighbours of the same system; takes the talkgroups.
void GatherOnTheAir(P25Class& model, OnTheAir& air);
// Adds each site of sysId that the model's data folder holds a tower file of: it was
// monitored, and the file keeps its channels and neighbours. Loads each into model, which
// is the caller's own: a model loaded from that folder, or a fresh one, never the decoder's.
void GatherSavedSites(P25Class& model, int sysId, OnTheAir& air);
// Adds a neighbour that a site announced, merged with what is known of it.
void AddNeighbor(OnTheAir& air, int rfss, int site, double frequency);

// The differences, one row each, under "Kind", "What", "On the air", "In the directory",
// "Details". A talkgroup counts as heard once it has hits; neverHeardDays 0 or less only
// lists the talkgroups never heard.
ReportTable Reconcile(const OnTheAir& air, const DirectoryRecord& directory, int64_t now, int neverHeardDays);
ReportTable Reconcile(P25Class& model, const DirectoryRecord& directory, int64_t now, int neverHeardDays);

// The window's comparison, on a worker: the system's Directory.json against what the
// decoder's model holds and the sites its folder saved. A problem (no system, a damaged
// file) comes back as the table's Empty text.
ReportTable CompareWithDirectory(P25Class& model, const std::string& dataFolder, int sysId);
