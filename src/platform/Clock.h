#pragma once
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <limits>
#include <string>

// The one source of "now" for the model: seconds since 1970 for time stamps, and
// ActivityTicks (100 ms) for channel activity. Live decoding reads SystemClock; tests
// and capture replay use a ManualClock that they set and advance themselves.
class Clock
{
public:
    virtual ~Clock() = default;
    virtual int64_t Now() const = 0;
    virtual uint32_t ActivityTicks() const = 0;

    static Clock& System();
};

class SystemClock : public Clock
{
public:
    SystemClock() : m_start(std::chrono::steady_clock::now()) {}
    int64_t Now() const override;
    uint32_t ActivityTicks() const override;

private:
    std::chrono::steady_clock::time_point m_start;
};

// Keeps time in tenths of a second so that seconds and ticks advance together. A time
// that tenths cannot hold is held at the nearest one they can.
class ManualClock : public Clock
{
public:
    explicit ManualClock(int64_t startSeconds = 0) : m_tenths(Tenths(startSeconds)), m_startTenths(m_tenths.load()) {}

    int64_t Now() const override { return m_tenths.load(std::memory_order_relaxed) / 10; }
    uint32_t ActivityTicks() const override
    {
        return static_cast<uint32_t>(m_tenths.load(std::memory_order_relaxed) - m_startTenths);
    }

    void Set(int64_t seconds) { m_tenths.store(Tenths(seconds), std::memory_order_relaxed); }
    // Starts the clock again at seconds, its ticks at 0. Only while no other thread reads it.
    void Restart(int64_t seconds)
    {
        m_tenths.store(Tenths(seconds), std::memory_order_relaxed);
        m_startTenths = m_tenths.load(std::memory_order_relaxed);
    }
    void Advance(int64_t seconds) { m_tenths.fetch_add(seconds * 10, std::memory_order_relaxed); }
    void AdvanceTicks(int64_t ticks) { m_tenths.fetch_add(ticks, std::memory_order_relaxed); }

private:
    static int64_t Tenths(int64_t seconds)
    {
        constexpr int64_t limit = std::numeric_limits<int64_t>::max() / 10;
        return std::clamp(seconds, -limit, limit) * 10;
    }

    std::atomic<int64_t> m_tenths;
    int64_t m_startTenths;
};

// The last second of year 9999 (UTC). Times are printed within 0 .. this, whatever a
// damaged file or a command line gives, so that a year always fits its four digits.
inline constexpr int64_t LatestPrintableTime = 253402300799;
inline int64_t PrintableTime(int64_t secondsSince1970)
{
    return secondsSince1970 < 0 ? 0 : secondsSince1970 > LatestPrintableTime ? LatestPrintableTime : secondsSince1970;
}

// Local time (TZ applies): "%02d/%02d/%04d %02d:%02d:%02d", month first.
std::string LocalTimeText(int64_t secondsSince1970);
// Local date as "%04d%02d%02d" (year, month, day), for file and folder names.
std::string LocalDateStamp(int64_t secondsSince1970);
// Local time of day only: "%02d:%02d:%02d".
std::string LocalClockText(int64_t secondsSince1970);

// LocalTimeText of the last time asked for is kept: log records come many to the second.
class LocalTimeTexts
{
public:
    const std::string& Text(int64_t secondsSince1970)
    {
        if (secondsSince1970 != m_time) {
            m_text = LocalTimeText(secondsSince1970);
            m_time = secondsSince1970;
        }
        return m_text;
    }

private:
    int64_t m_time = -1;
    std::string m_text;
};
