#include "sim/LiveScanner.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "input/KavriReadThread.h"
#include "sim/ScannerLines.h"

namespace {

using Steady = std::chrono::steady_clock;
constexpr int PollListenMs = 10;
constexpr double MinimumRate = 0.1;

double SecondsSince(Steady::time_point start)
{
    return std::chrono::duration<double>(Steady::now() - start).count();
}

}

LiveScanner::LiveScanner(PseudoTerminal& terminal, SystemSimulator& simulator, int scannerType, double blocksPerSecond)
    : m_terminal(terminal), m_simulator(simulator), m_scannerType(scannerType),
      m_rate(std::max(blocksPerSecond, MinimumRate))
{
}

void LiveScanner::Run(const std::atomic<bool>& stop, double durationSeconds)
{
    if (m_scannerType == ScannerTypes::Pro96)
        RunPro96(stop, durationSeconds);
    else
        RunText(stop, durationSeconds);
}

void LiveScanner::RunText(const std::atomic<bool>& stop, double durationSeconds)
{
    const Steady::time_point start = Steady::now();
    uint64_t made = 0;
    while (!stop.load() && m_terminal.IsOpen()) {
        const double elapsed = SecondsSince(start);
        if (durationSeconds > 0 && elapsed >= durationSeconds)
            return;
        const double due = static_cast<double>(made) / m_rate;
        if (due > elapsed) {
            std::this_thread::sleep_for(std::chrono::duration<double>(std::min(due - elapsed, 0.05)));
            continue;
        }
        const SimulatedBlock block = m_simulator.Next();
        ++made;
        if (m_terminal.Write(ScannerLines::ScannerLine(m_scannerType, block.Block, block.InPacket) + "\r\n"))
            ++m_sent;
        else
            ++m_dropped;
    }
}

// The reader waits for a byte after its acknowledge; answering it at once keeps the
// polls going as fast as the reader asks.
void LiveScanner::RunPro96(const std::atomic<bool>& stop, double durationSeconds)
{
    constexpr auto& poll = ScannerLines::Pro96Poll;
    const TsbkBlock empty{};
    const Steady::time_point start = Steady::now();
    uint64_t made = 0;
    std::vector<uint8_t> heard;
    bool awaitingAck = false;
    while (!stop.load() && m_terminal.IsOpen()) {
        const double elapsed = SecondsSince(start);
        if (durationSeconds > 0 && elapsed >= durationSeconds)
            return;
        for (uint8_t byte : m_terminal.Read(PollListenMs)) {
            if (awaitingAck && byte == ScannerLines::Pro96Acknowledge) {
                awaitingAck = false;
                m_terminal.Write(&ScannerLines::Pro96Acknowledge, 1);
                continue;
            }
            heard.push_back(byte);
            if (heard.size() > sizeof poll)
                heard.erase(heard.begin());
            if (heard.size() < sizeof poll || !std::equal(heard.begin(), heard.end(), poll))
                continue;
            heard.clear();
            awaitingAck = true;
            if (static_cast<double>(made) / m_rate > SecondsSince(start)) {
                m_terminal.Write(ScannerLines::Pro96Response(empty));
                continue;
            }
            const SimulatedBlock block = m_simulator.Next();
            ++made;
            if (m_terminal.Write(ScannerLines::Pro96Response(block.Block)))
                ++m_sent;
            else
                ++m_dropped;
        }
    }
}
