#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <limits>

#include "platform/Clock.h"

TEST(ManualClock, SecondsAndTicksAdvanceTogether)
{
    ManualClock clock(1000);
    EXPECT_EQ(clock.Now(), 1000);
    EXPECT_EQ(clock.ActivityTicks(), 0u);
    clock.AdvanceTicks(25);
    EXPECT_EQ(clock.Now(), 1002);
    EXPECT_EQ(clock.ActivityTicks(), 25u);
    clock.Advance(3);
    EXPECT_EQ(clock.Now(), 1005);
    EXPECT_EQ(clock.ActivityTicks(), 55u);
}

TEST(LocalTimeText, FollowsTimeZoneMonthFirst)
{
    setenv("TZ", "UTC", 1);
    tzset();
    EXPECT_EQ(LocalTimeText(1700000000), "11/14/2023 22:13:20");
    EXPECT_EQ(LocalClockText(1700000000), "22:13:20");
    setenv("TZ", "America/New_York", 1);
    tzset();
    EXPECT_EQ(LocalTimeText(1700000000), "11/14/2023 17:13:20");
    setenv("TZ", "UTC", 1);
    tzset();
}

TEST(ManualClock, TimesBeyondTenthsAreHeldAtTheEdge)
{
    constexpr int64_t edge = std::numeric_limits<int64_t>::max() / 10;
    ManualClock clock(std::numeric_limits<int64_t>::max());
    EXPECT_EQ(clock.Now(), edge);
    EXPECT_EQ(clock.ActivityTicks(), 0u);
    clock.Set(std::numeric_limits<int64_t>::min());
    EXPECT_EQ(clock.Now(), -edge);
}

TEST(LocalTimeText, TimesPastTheYear9999ShowItsLastSecond)
{
    setenv("TZ", "UTC", 1);
    tzset();
    EXPECT_EQ(LocalTimeText(253402300799), "12/31/9999 23:59:59");
    EXPECT_EQ(LocalTimeText(67768036191676799), "12/31/9999 23:59:59");
    EXPECT_EQ(LocalClockText(std::numeric_limits<int64_t>::max()), "23:59:59");
}
