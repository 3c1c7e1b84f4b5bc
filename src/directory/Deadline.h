#pragma once
#include <algorithm>
#include <chrono>
#include <string>
#include <string_view>

// When one service call must be over. The transport, the answer's decoder and its readers
// all stop by the same deadline: a server that drips its answer, or an answer that is slow
// to read, ends the call within its time-out instead of restarting it.
class Deadline
{
public:
    using Clock = std::chrono::steady_clock;

    // Never passes.
    Deadline() = default;
    explicit Deadline(std::chrono::milliseconds timeOut) : m_end(Clock::now() + timeOut), m_timeOut(timeOut) {}

    bool HasPassed() const { return m_end != Clock::time_point::max() && Clock::now() >= m_end; }

    // What is left, never below zero; a day for a deadline that never passes.
    std::chrono::milliseconds Remaining() const
    {
        using namespace std::chrono;
        if (m_end == Clock::time_point::max())
            return hours(24);
        return std::max(milliseconds(0), duration_cast<milliseconds>(m_end - Clock::now()));
    }

    // The error text of a call that ran out of time while doing something.
    std::string TimedOut(std::string_view doing) const
    {
        return "Timed out after " + TimeText(m_timeOut) + " " + std::string(doing);
    }

    static std::string TimeText(std::chrono::milliseconds time)
    {
        constexpr long long PerSecond = 1000;
        const long long ms = time.count();
        return ms > 0 && ms % PerSecond == 0 ? std::to_string(ms / PerSecond) + " seconds" : std::to_string(ms) + " ms";
    }

private:
    Clock::time_point m_end = Clock::time_point::max();
    std::chrono::milliseconds m_timeOut{0};
};
