#pragma once
#include <map>
#include <cstdint>
#include <string>

#include "input/ProcThread.h"

class P25Class;
class RefreshCycle;

struct RunCounters
{
    ProcessingTotals Blocks;
    uint64_t LinesRead = 0;
    uint64_t LogRecordsDropped = 0;
    // Only while live events were written or published.
    bool EventsOn = false;
    uint64_t EventsPublished = 0;
    uint64_t EventsDropped = 0;
    // While scanner control steered: calls by what the follow decision said of them.
    std::map<std::string, int64_t> FollowReasons;
    double Seconds = 0.0;
};

// The summary a person reads at the end of a run.
std::string SummaryText(P25Class& model, const RefreshCycle& screen, const RunCounters& counters);
// The whole final model as one JSON document, for scripts.
std::string SummaryJson(P25Class& model, const RunCounters& counters);
