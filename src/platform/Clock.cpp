#include "platform/Clock.h"

#include <algorithm>
#include <cstdio>
#include <ctime>

Clock& Clock::System()
{
    static SystemClock clock;
    return clock;
}

int64_t SystemClock::Now() const
{
    return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

uint32_t SystemClock::ActivityTicks() const
{
    const auto elapsed = std::chrono::steady_clock::now() - m_start;
    return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count() / 100);
}

namespace {

std::tm LocalTime(int64_t secondsSince1970)
{
    const std::time_t t = static_cast<std::time_t>(PrintableTime(secondsSince1970));
    std::tm parts{};
    localtime_r(&t, &parts);
    return parts;
}

}

std::string LocalTimeText(int64_t secondsSince1970)
{
    const std::tm t = LocalTime(secondsSince1970);
    char text[48];
    std::snprintf(text, sizeof text, "%02d/%02d/%04lld %02d:%02d:%02d", t.tm_mon + 1, t.tm_mday, t.tm_year + 1900LL,
                  t.tm_hour, t.tm_min, t.tm_sec);
    return text;
}

std::string LocalClockText(int64_t secondsSince1970)
{
    const std::tm t = LocalTime(secondsSince1970);
    char text[32];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", t.tm_hour, t.tm_min, t.tm_sec);
    return text;
}

std::string LocalDateStamp(int64_t secondsSince1970)
{
    const std::tm t = LocalTime(secondsSince1970);
    char text[32];
    std::snprintf(text, sizeof text, "%04lld%02d%02d", t.tm_year + 1900LL, t.tm_mon + 1, t.tm_mday);
    return text;
}
