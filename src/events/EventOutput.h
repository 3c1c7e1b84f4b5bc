#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "model/EventTap.h"

// One event ready to leave, as the event feed built it.
struct EventLine
{
    // The event's "type", also the last level of its MQTT topic ("grant", "rate", ...).
    std::string Type;
    // One JSON object on one line, UTF-8, without the newline.
    std::string Json;
    // "<sysid>/<rfss>-<site>" of the event's source ("C94/1-3"); empty before a system is known.
    std::string Source;
    // A state a newcomer needs at once (system, identifier tables, neighbours, rate): MQTT
    // keeps it retained and sends it at QoS 1. The stream goes at QoS 0.
    bool Retained = false;
    // A state message only a broker keeps (the whole neighbour list); files leave it out.
    bool StateOnly = false;
};

// The descriptions the system folder held when a record was drained: the talkgroup's (a
// patch's member), the radio's, and the target's (a radio, or a patch's supergroup).
struct EventNames
{
    std::string Talkgroup;
    std::string Radio;
    std::string Target;
};

// Where the events go: a file, standard output, a broker, the history. Publish is called on the thread
// that drains the feed (the refresh, or a replay's processing thread between blocks) and
// must never wait for the network or a slow reader.
class EventOutput
{
public:
    virtual ~EventOutput() = default;
    virtual void Publish(const EventLine&) {}
    // An output of records (the history) takes the model's records as they are, with the
    // names of that moment, and wants no lines; the feed builds lines only when some
    // output takes them.
    virtual bool TakesLines() const { return true; }
    virtual bool TakesRecords() const { return false; }
    virtual void Record(const TAPEVENT&, const EventNames&) {}
    // Called after each drain that published something.
    virtual void Flush() {}
    // A replay of a file, before it goes on: an output that sends at its own pace (a
    // connected broker) may wait here a while for room, so that a replay that outruns it
    // loses nothing. A live feed never waits.
    virtual void WaitForRoom() {}
    // Events given up because the output could not keep up or was away.
    virtual uint64_t Dropped() const { return 0; }
    // What the front end should tell the user once (a lost or regained broker, a refused
    // login), taken on the front end's thread.
    virtual std::vector<std::string> TakeNotices() { return {}; }
};
