#pragma once
#include <atomic>
#include <cstdint>
#include <functional>

#include "sim/PseudoTerminal.h"
#include "sim/SystemSimulator.h"

// Plays the simulated control channel as one scanner type on a pseudo-terminal, at a
// given block rate: the text types write one line per block; the Pro-96 answers each
// poll with the next block once it is due, and with an empty block before that.
// Runs on the calling thread until stop is set or the duration has passed.
class LiveScanner
{
public:
    LiveScanner(PseudoTerminal& terminal, SystemSimulator& simulator, int scannerType, double blocksPerSecond);

    // durationSeconds <= 0: until stop.
    void Run(const std::atomic<bool>& stop, double durationSeconds);

    uint64_t BlocksSent() const { return m_sent; }
    // Blocks whose line found the terminal's buffer full (nobody reading).
    uint64_t BlocksDropped() const { return m_dropped; }

private:
    void RunText(const std::atomic<bool>& stop, double durationSeconds);
    void RunPro96(const std::atomic<bool>& stop, double durationSeconds);

    PseudoTerminal& m_terminal;
    SystemSimulator& m_simulator;
    int m_scannerType;
    double m_rate;
    uint64_t m_sent = 0;
    uint64_t m_dropped = 0;
};
