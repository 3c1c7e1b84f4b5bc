#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "model/P25Class.h"

// A copy of what the model holds about one system at one moment, so that two moments can
// be compared after the model has moved on. Channels, neighbours, services and flavor
// belong to the site RfssId-SiteId.
struct SystemSnapshot
{
    int64_t Time = 0;
    int32_t SysId = 0;
    int32_t RfssId = 0;
    int32_t SiteId = 0;
    std::vector<TGTAG> Talkgroups;
    std::vector<RADTAG> Radios;
    std::vector<TOWERS> Towers;
    std::vector<NEIGHBORREC> Neighbors;
    std::array<IDENTABLE, MaxIdentifierTables> IdentifierTables{};
    // Usage "Control" marks the control channel; the letters hold what a tower file kept.
    std::vector<FreqInfo> Channels;
    std::vector<PATCHREC> Patches;
    // ServiceClassText and FlavorText; empty when not known.
    std::string Services;
    std::string Flavor;
};

// Each list copied under its own lock, one after another.
SystemSnapshot TakeSnapshot(P25Class& model);

// The model as its folder loaded it: the folder's neighbours, services and flavor come from
// the site's tower file, which the load does not read back. A system without a folder
// gives an empty snapshot of its site, so that everything is new.
SystemSnapshot TakeLoadedSnapshot(P25Class& model);
