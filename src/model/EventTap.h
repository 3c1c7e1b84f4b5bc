#pragma once
#include <array>
#include <cstdint>
#include <string>

#include "model/Records.h"

// What the model tells the live event feed, as it happens and whatever the lists show:
// every grant, affiliation and patch, and a word when the system, an identifier table or
// a neighbour changed (the feed reads their state when it builds the event). Event is a
// line of the other-events log; only the history keeps it.
struct TAPEVENT
{
    enum class Kind : uint8_t { Grant, Queued, CallAlert, Affiliation, Patch, System, IdentifierTable, Neighbor, Event };
    // What moved in a System record.
    enum SystemChange : char {
        NewSystem = 'S',
        NewSite = 's',
        NewServices = 'C',
        NewWacn = 'W',
        NewStatus = 'T',
        NewFlavor = 'F',
    };

    static TAPEVENT Of(Kind what, char code = 0)
    {
        TAPEVENT event;
        event.What = what;
        event.Code = code;
        return event;
    }

    Kind What = Kind::Grant;
    // Affiliation: 'A' accepted, 'U' deregistration, 'D' refused. Patch: 'A' added, 'R'
    // removed. System: a SystemChange.
    char Code = 0;
    int64_t Time = 0;
    LOGSITE Site;
    int32_t Wacn = 0;

    // Grant: the channel's usage ("Group", "Private", "Phone", "Data", "Station Id").
    const char* Usage = "";
    // The grant's service options byte (bit 7 emergency, bit 6 encrypted).
    uint8_t ServiceOptions = 0;
    int32_t Channel = -1;
    double Frequency = 0.0;
    double InputFrequency = 0.0;
    int32_t Slot = -1;
    // A grant's or affiliation's talkgroup (-1: none), a patch's member.
    int32_t Talkgroup = -1;
    int32_t Radio = 0;
    // A private call's, data grant's, queued call's or call alert's other radio; a patch's
    // supergroup.
    int32_t Target = 0;
    // An affiliation's result as the log words it; a station id's call sign; an other
    // event's description.
    std::string Text;
    // An other event's block.
    TsbkBlock Block{};

    int32_t Identifier = -1;
    IDENTABLE Table;
    NEIGHBORREC Neighbor;
    // A System record's copy of the system as it stood, taken under the model's lock.
    SYSINFO System;
};

// Receives the model's tap records on the thread that decodes (and under the model's
// locks): it must only store them.
class EventTap
{
public:
    virtual ~EventTap() = default;
    virtual void Take(TAPEVENT&& event) = 0;
};
