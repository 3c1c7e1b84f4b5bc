#pragma once
#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "events/EventJson.h"
#include "events/EventOutput.h"
#include "model/EventTap.h"
#include "model/P25Class.h"

// A second of decoding as the rate event tells it.
struct RateFigures
{
    int64_t Received = 0;
    int64_t Expected = 0;
    int64_t CrcFailures = 0;
    // Percent of the block queue free; -1 leaves it out (a replay of a file).
    int QueueFree = -1;
};

// What the second scanner was told: a channel to tune, or to go quiet (Channel -1).
struct FollowFigures
{
    int Channel = -1;
    double Frequency = 0.0;
    int Talkgroup = 0;
    // Why: "followed" for the tune, or the reason a call was passed over ("held", ...) and
    // its words; none for "quiet".
    const char* Reason = nullptr;
    std::string ReasonText;
};

// Turns what the model learns into typed events, one JSON line each, for the outputs.
// The model's tap stores its records here as they happen (the decoding thread); Drain
// builds them into lines, reading the names of that moment, and hands them to every
// output. With no output the tap is off and nothing is done per block.
class EventFeed : public EventTap
{
public:
    static constexpr int SchemaVersion = 1;
    // Records waiting for a drain; past it new ones are given up (and counted): nothing
    // drains a feed only while its front end is stuck, and the decoder must not pay for it.
    static constexpr size_t MaxWaiting = 20000;

    explicit EventFeed(P25Class& model);
    ~EventFeed() override;
    EventFeed(const EventFeed&) = delete;
    EventFeed& operator=(const EventFeed&) = delete;

    // Outputs change on the front end's thread; the first one turns the tap on.
    void AddOutput(std::shared_ptr<EventOutput> output);
    // The tap off, the outputs released, waiting records dropped.
    void RemoveOutputs();
    bool IsOn() const { return m_on.load(std::memory_order_relaxed); }

    void Take(TAPEVENT&& event) override;

    // Builds and publishes what waits. The refresh's thread, or a replay's processing
    // thread between blocks; drains never overlap.
    void Drain();
    // Lets the outputs write what they gathered (the refresh, every cycle).
    void FlushOutputs();
    void PublishRate(const RateFigures& figures);
    void PublishFollow(const FollowFigures& figures);
    // A replay of a file tells its rate on its own clock, so that two runs write the same
    // events: before each block (the processing thread), with its totals so far.
    void ReplayBlock(uint64_t blocksTaken, uint64_t crcFailures);
    // The last second of a replay, once its threads ended.
    void EndReplay(uint64_t blocksTaken, uint64_t crcFailures);
    // A replay of a file waits for outputs that fall behind (a broker) instead of letting
    // them drop events; set on the front end's thread before the replay starts.
    void SetPaced(bool paced) { m_paced = paced; }
    // Forgets the replay clock's seconds and the patch members (a new session or replay).
    void Restart();

    // Events published, and events the outputs (or the feed) gave up.
    uint64_t Published() const { return m_published.load(std::memory_order_relaxed); }
    uint64_t Dropped() const;
    std::vector<std::string> TakeNotices();

private:
    void Publish(const EventLine& line);
    void Record(const TAPEVENT& event);
    void Build(const TAPEVENT& event);
    // Opens a line with the fields every event has; Finish closes and publishes it.
    JsonObject Begin(const char* type, int64_t time, const LOGSITE& site, int32_t wacn);
    void Finish(JsonObject& object, const char* type, const LOGSITE& site, bool retained = false,
                bool stateOnly = false);
    void BuildGrant(const TAPEVENT& event);
    void BuildRequest(const TAPEVENT& event, const char* type);
    void BuildAffiliation(const TAPEVENT& event);
    void BuildPatch(const TAPEVENT& event);
    void BuildSystem(const TAPEVENT& event);
    void BuildIdentifierTable(const TAPEVENT& event);
    void BuildNeighbor(const TAPEVENT& event);
    void PublishRateAt(int64_t time, const RateFigures& figures);

    P25Class& m_model;
    std::atomic<bool> m_on{false};
    std::atomic<bool> m_paced{false};

    std::mutex m_waitingMutex;
    std::vector<TAPEVENT> m_waiting;
    std::atomic<size_t> m_waitingCount{0};
    std::atomic<uint64_t> m_overflow{0};

    // Everything below is the drain's, under m_drainMutex.
    mutable std::mutex m_drainMutex;
    std::vector<std::shared_ptr<EventOutput>> m_outputs;
    bool m_takesLines = false;
    bool m_takesRecords = false;
    EventNames m_names;
    std::vector<TAPEVENT> m_batch;
    std::string m_json;
    EventLine m_line;
    std::atomic<uint64_t> m_published{0};
    // Supergroup -> member talkgroups, as the patch events built it.
    std::map<int, std::set<int>> m_patchMembers;
    int64_t m_rateSecond = -1;
    uint64_t m_rateBlocks = 0;
    uint64_t m_rateCrc = 0;
};
