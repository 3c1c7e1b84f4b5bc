#include <gtest/gtest.h>

#include <climits>

#include "view/WindowRules.h"

TEST(FitIntoWorkArea, WindowsOffTheScreenComeBackToItsEdges)
{
    const WindowBounds area{0, 0, 1280, 1000};
    const struct
    {
        WindowBounds saved;
        WindowBounds fitted;
    } cases[] = {
        {{100, 50, 800, 600}, {100, 50, 800, 600}},
        {{-20, -5, 800, 600}, {0, 0, 800, 600}},
        {{600, 500, 800, 600}, {0, 0, 800, 600}},  // past the right and bottom edges
        {{480, 400, 800, 600}, {480, 400, 800, 600}}, // touching them exactly
        {{300, 10, 2000, 1200}, {0, 0, 1280, 1000}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FitIntoWorkArea(c.saved, area), c.fitted) << c.saved.Left << "," << c.saved.Top;
    // A work area beside a panel on the left keeps its origin.
    EXPECT_EQ(FitIntoWorkArea({10, 0, 800, 600}, {64, 0, 1216, 1000}), (WindowBounds{64, 0, 800, 600}));
}

TEST(StatusLayout, PanelsByHeightCompactFieldsByWidth)
{
    const struct
    {
        bool hide;
        int width, height;
        StatusVisibility shown;
    } cases[] = {
        {false, 1000, 525, {true, true, true, false, false, false, false, false, false}},
        {false, 1000, 524, {true, true, false, false, false, false, false, false, false}},
        {false, 1000, 429, {true, false, false, false, false, false, false, false, false}},
        {false, 1000, 259, {}},
        {true, 860, 300, {false, false, false, true, true, true, true, true, true}},
        {true, 859, 300, {false, false, false, true, true, true, true, true, false}},
        {true, 749, 300, {false, false, false, true, true, true, true, false, false}},
        {true, 649, 300, {false, false, false, true, true, true, false, false, false}},
        {true, 529, 300, {false, false, false, true, true, false, false, false, false}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(StatusLayout(c.hide, c.width, c.height), c.shown) << c.hide << " " << c.width << "x" << c.height;
}

TEST(Thresholds, HighTakesTenToNinetyNineLowOneToHigh)
{
    EXPECT_FALSE(AcceptsHighThreshold(9));
    EXPECT_FALSE(AcceptsHighThreshold(100));
    EXPECT_FALSE(AcceptsLowThreshold(0, 60));
    EXPECT_TRUE(AcceptsLowThreshold(60, 60));
    EXPECT_FALSE(AcceptsLowThreshold(61, 60));

    EXPECT_EQ(ReadHighThreshold(" 42"), 42);
    EXPECT_EQ(ReadHighThreshold("5"), std::nullopt);
    EXPECT_EQ(ReadHighThreshold("4x"), std::nullopt);
    EXPECT_EQ(ReadLowThreshold("30", 30), 30);
    EXPECT_EQ(ReadLowThreshold("31", 30), std::nullopt);
    EXPECT_EQ(ReadLowThreshold("0", 30), std::nullopt);
}

TEST(TabWidthCap, WidestTabsGiveWayFirst)
{
    const struct
    {
        std::vector<int> widths;
        int available;
        int cap;
    } cases[] = {
        {{70, 90, 120}, 280, INT_MAX}, // all fit
        {{70, 90, 120}, 279, 119},
        {{70, 90, 120}, 240, 85},      // the narrowest keeps its width
        {{100, 100, 100}, 150, 50},
        {{100, 100, 100}, 30, 28},     // never below the minimum
        {{}, 100, INT_MAX},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TabWidthCap(c.widths, c.available, 28), c.cap) << c.available;
}

TEST(ReceiveRateFigures, TextsUnlimitedBarLimited)
{
    const struct
    {
        long expected, received;
        const char* rateText;
        const char* decodeText;
        int bar;
    } cases[] = {
        {0, 0, "  0% (0 out of 0)", "  0%", 0},
        {0, 25, "  0% (25 out of 0)", "  0%", 0},
        {200, 199, "100% (199 out of 200)", "100%", 100}, // 99.5 rounds up
        {3, 2, " 67% (2 out of 3)", " 67%", 67},
        {100, 150, "150% (150 out of 100)", "150%", 100},
    };
    for (const auto& c : cases) {
        const ReceiveRate rate = ReceiveRateFigures(c.expected, c.received);
        EXPECT_EQ(rate.RateText, c.rateText);
        EXPECT_EQ(rate.DecodeText, c.decodeText);
        EXPECT_EQ(rate.Bar, c.bar);
    }
    EXPECT_EQ(BufferText(7), "  7%");
}

TEST(Hold, PromptAndLeadingNumbers)
{
    EXPECT_EQ(HoldPromptText(-1), "");
    EXPECT_EQ(HoldPromptText(1234), "1234");
    EXPECT_EQ(HoldTalkgroupFrom("1234abc"), 1234);
    EXPECT_EQ(HoldTalkgroupFrom("  77"), 77);
    EXPECT_EQ(HoldTalkgroupFrom(""), std::nullopt);
    EXPECT_EQ(HoldTalkgroupFrom("Fire"), std::nullopt);
    // -1 means no hold; a negative number would hold nothing while the button says it does.
    EXPECT_EQ(HoldTalkgroupFrom("-1"), std::nullopt);
}

TEST(ParseCommandLine, DataFolderConfigFileAndDecode)
{
    const std::string exe = "/opt/zembrant/";
    const std::string docs = "/home/u/Documents/Zembrant/";
    const struct
    {
        std::vector<std::string> args;
        const char* dataFolder;
        const char* configFile;
        int decodeClicks;
        bool defaultFolder;
    } cases[] = {
        {{}, "/home/u/Documents/Zembrant/", "/home/u/Documents/Zembrant/Zembrant.ini", 0, true},
        {{"-d", "/data"}, "/data/", "/data/Zembrant.ini", 0, false},
        {{"-d"}, "/opt/zembrant/", "/opt/zembrant/Zembrant.ini", 0, false},
        // "-d" followed by "-c": the executable's folder, and "-c" still counts.
        {{"-d", "-c", "my.ini"}, "/opt/zembrant/", "/opt/zembrant/my.ini", 0, false},
        {{"-c", "my.ini", "-d", "/data/"}, "/data/", "/data/my.ini", 0, false},
        {{"-c", "/etc/z.ini"}, docs.c_str(), "/etc/z.ini", 0, true},
        {{"-c", "-DECODE"}, docs.c_str(), "/home/u/Documents/Zembrant/Zembrant.ini", 1, true},
        {{"-decode", "-D", "x", "-DECODE"}, docs.c_str(), "/home/u/Documents/Zembrant/Zembrant.ini", 2, true},
    };
    for (const auto& c : cases) {
        const CommandLine line = ParseCommandLine(c.args, exe, docs, "Zembrant.ini");
        EXPECT_EQ(line.DataFolder, c.dataFolder);
        EXPECT_EQ(line.ConfigFile, c.configFile);
        EXPECT_EQ(line.DecodeClicks, c.decodeClicks);
        EXPECT_EQ(line.DefaultDataFolder, c.defaultFolder);
    }
}

TEST(EventStatusLine, NoticesStayAWhileDroppedShowsWhileAny)
{
    const std::string lost = "lost the MQTT broker localhost:1883: connection refused";
    const std::string again = "reached the MQTT broker localhost:1883 again";
    const struct
    {
        std::vector<std::string> notices;
        uint64_t dropped;
        std::string notice;
        std::string droppedText;
    } seconds[] = {
        {{}, 0, "", ""},
        {{lost}, 0, lost, ""},
        {{}, 12, lost, "Events dropped: 12"},
        {{again, lost}, 10000, again + "; " + lost, "Events dropped: 10000"},
        {{again}, 0, again, ""},
    };
    EventStatusLine line;
    for (const auto& s : seconds) {
        line.Second(s.notices, s.dropped);
        EXPECT_EQ(line.NoticeText(), s.notice);
        EXPECT_EQ(line.DroppedText(), s.droppedText);
    }
    for (int second = 1; second < EventStatusLine::EventNoticeSeconds; ++second)
        line.Second({}, 0);
    EXPECT_EQ(line.NoticeText(), again);
    line.Second({}, 0);
    EXPECT_EQ(line.NoticeText(), "");
}
