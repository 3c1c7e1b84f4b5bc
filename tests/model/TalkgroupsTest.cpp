#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <random>

#include "LockHolder.h"
#include "model/Locks.h"
#include "model/P25Class.h"

namespace {

// Seconds since 1970 of a local date and time, whatever the time zone.
int64_t LocalSeconds(int year, int month, int day, int hour, int minute)
{
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_isdst = -1;
    return std::mktime(&t);
}

class TalkgroupsTest : public ::testing::Test
{
protected:
    ManualClock clock{LocalSeconds(2018, 3, 7, 14, 5)};
    P25Class model{clock};

    std::vector<int> TalkgroupIds()
    {
        std::vector<TGTAG> list;
        model.GetTalkgroups(list);
        std::vector<int> ids;
        for (const auto& t : list)
            ids.push_back(t.Id);
        return ids;
    }
};

}

TEST_F(TalkgroupsTest, AddTalkgroupKeepsRangeAndOrder)
{
    EXPECT_FALSE(model.AddTalkgroup(0));
    EXPECT_FALSE(model.AddTalkgroup(65535));
    EXPECT_FALSE(model.AddTalkgroup(-5));
    EXPECT_TRUE(model.AddTalkgroup(1));
    EXPECT_TRUE(model.AddTalkgroup(65534));
    EXPECT_TRUE(model.AddTalkgroup(300));
    EXPECT_TRUE(model.AddTalkgroup(100));
    EXPECT_TRUE(model.AddTalkgroup(200));
    EXPECT_FALSE(model.AddTalkgroup(100));
    EXPECT_EQ(model.TalkgroupCount(), 5);
    EXPECT_EQ(TalkgroupIds(), (std::vector<int>{1, 100, 200, 300, 65534}));
}

TEST_F(TalkgroupsTest, NewTalkgroupGetsSiteAndDateDescriptionAndDefaults)
{
    model.SetSystemAndSite(0x1A2, 1, 0x70, 3);
    clock.Advance(37);
    model.AddTalkgroup(4100);
    TGTAG t;
    ASSERT_TRUE(model.GetTalkgroup(4100, t));
    EXPECT_EQ(t.Description, "T: 103 DT: 3/7/18@14:05");
    EXPECT_EQ(t.FirstSeen, clock.Now());
    EXPECT_EQ(t.LastSeen, clock.Now());
    EXPECT_EQ(t.Priority, 50);
    EXPECT_EQ(t.Hits, 0);
    EXPECT_EQ(model.GetTalkgroupPriority(4100), 50);
    EXPECT_EQ(model.GetTalkgroupPriority(4101), 50);
    EXPECT_EQ(model.GetTalkgroupDescription(4101), "");
}

TEST_F(TalkgroupsTest, SetTalkgroupAddsOnceAndPriority255KeepsPriority)
{
    EXPECT_TRUE(model.SetTalkgroup(500, "Fire Dispatch", 1500000000, 7, 1));
    EXPECT_FALSE(model.SetTalkgroup(500, "Fire Main", 0, 255, 0));
    TGTAG t;
    ASSERT_TRUE(model.GetTalkgroup(500, t));
    EXPECT_EQ(t.Description, "Fire Main");
    EXPECT_EQ(t.Priority, 7);
    EXPECT_EQ(t.EmrgIgnore, 0);
    EXPECT_EQ(t.LastSeen, clock.Now());
    // Talkgroups are 16 bits: a loaded ID beyond them is not stored.
    EXPECT_TRUE(model.SetTalkgroup(65535, "All call", 0, 10, 0));
    EXPECT_FALSE(model.SetTalkgroup(70000, "Bad", 0, 10, 0));
    EXPECT_FALSE(model.SetTalkgroup(0, "Bad", 0, 10, 0));
    EXPECT_EQ(model.TalkgroupCount(), 2);
}

TEST_F(TalkgroupsTest, TouchSetsFirstSeenOnlyWhenUnset)
{
    model.SetTalkgroup(77, "Loaded", 1400000000, 50, 0);
    model.SetTalkgroupFirstSeen(77, 0);
    clock.Advance(10);
    EXPECT_TRUE(model.TouchTalkgroup(77));
    const int64_t firstTouch = clock.Now();
    clock.Advance(10);
    EXPECT_TRUE(model.TouchTalkgroup(77));
    TGTAG t;
    model.GetTalkgroup(77, t);
    EXPECT_EQ(t.FirstSeen, firstTouch);
    EXPECT_EQ(t.LastSeen, clock.Now());
    EXPECT_FALSE(model.TouchTalkgroup(78));
    EXPECT_EQ(model.TalkgroupCount(), 1);
}

TEST_F(TalkgroupsTest, ColoursFallBackToDefaultsDifferentlyForTalkgroupsAndRadios)
{
    model.SetDefaultColors(0x000000, 0xFFFFFF);
    model.AddTalkgroup(10);
    model.AddRadio(1234, 0);
    uint32_t text = 1, back = 1;

    EXPECT_TRUE(model.GetTalkgroupColors(10, text, back));
    EXPECT_EQ(text, 0x000000u);
    EXPECT_EQ(back, 0xFFFFFFu);
    EXPECT_FALSE(model.GetRadioColors(1234, text, back));
    EXPECT_EQ(back, 0xFFFFFFu);

    EXPECT_TRUE(model.SetTalkgroupColors(10, 0x0000FF, 0x00FF00));
    EXPECT_TRUE(model.GetTalkgroupColors(10, text, back));
    EXPECT_EQ(text, 0x0000FFu);
    EXPECT_EQ(back, 0x00FF00u);
    EXPECT_TRUE(model.SetRadioColors(1234, 0x0000FF, 0x00FF00));
    EXPECT_TRUE(model.GetRadioColors(1234, text, back));
    EXPECT_EQ(text, 0x0000FFu);

    EXPECT_FALSE(model.GetTalkgroupColors(11, text, back));
    EXPECT_EQ(text, 0u);
    EXPECT_EQ(back, 0u);
    EXPECT_FALSE(model.GetRadioColors(99, text, back));
    EXPECT_FALSE(model.SetTalkgroupColors(11, 1, 2));
    EXPECT_FALSE(model.SetRadioColors(99, 1, 2));
}

TEST_F(TalkgroupsTest, BoundedLookupsAnswerAsDocumentedWhileTableIsBusy)
{
    model.AddTalkgroup(10);
    model.SetTalkgroupColors(10, 1, 2);
    LockHolder busy(Locks::TGLOCK);
    uint32_t text = 9, back = 9;
    EXPECT_TRUE(model.TalkgroupExists(11));
    EXPECT_EQ(model.GetTalkgroupDescription(10), "");
    EXPECT_EQ(model.GetTalkgroupPriority(10), 3);
    EXPECT_FALSE(model.TouchTalkgroup(10));
    EXPECT_FALSE(model.SetTalkgroupFirstSeen(10, 5));
    EXPECT_FALSE(model.GetTalkgroupColors(10, text, back));
    EXPECT_FALSE(model.SetTalkgroupColors(10, 3, 4));
}

TEST_F(TalkgroupsTest, RadioDescriptionsAndTouching)
{
    EXPECT_TRUE(model.AddRadio(1234567, 100));
    EXPECT_TRUE(model.AddRadio(7654321, 0));
    EXPECT_FALSE(model.AddRadio(1234567, 200));
    EXPECT_FALSE(model.AddRadio(0, 100));
    EXPECT_EQ(model.GetRadioDescription(1234567), "TG: 100 DT: 3/7/18@14:05");
    EXPECT_EQ(model.GetRadioDescription(7654321), "DT: 3/7/18@14:05");

    clock.Advance(60);
    EXPECT_EQ(model.GetRadioDescription(1234567), "TG: 100 DT: 3/7/18@14:05");
    RADTAG r;
    model.GetRadio(1234567, r);
    EXPECT_EQ(r.LastSeen, clock.Now());
    clock.Advance(60);
    EXPECT_TRUE(model.TouchRadio(7654321));
    EXPECT_FALSE(model.TouchRadio(42));
    model.GetRadio(7654321, r);
    EXPECT_EQ(r.LastSeen, clock.Now());
    EXPECT_EQ(model.GetRadioDescription(42), "");
    EXPECT_EQ(model.RadioCount(), 2);

    EXPECT_TRUE(model.SetRadio(7654321, "Engine 5", 1500000000));
    model.GetRadio(7654321, r);
    EXPECT_EQ(r.Description, "Engine 5");
    EXPECT_EQ(r.LastSeen, 1500000000);
}

TEST_F(TalkgroupsTest, RadioTableIsSortedAndRefusesThe200001st)
{
    std::vector<int> ids(MaxRadios);
    for (int i = 0; i < MaxRadios; ++i)
        ids[i] = 1 + i * 37;
    std::mt19937 random(7);
    std::shuffle(ids.begin(), ids.end(), random);
    for (size_t i = 0; i < ids.size() / 2; ++i)
        ASSERT_TRUE(model.AddRadio(ids[i], 0));
    std::vector<RADTAG> list;
    EXPECT_EQ(model.GetRadios(list), MaxRadios / 2);
    for (size_t i = ids.size() / 2; i < ids.size(); ++i)
        ASSERT_TRUE(model.SetRadio(ids[i], "", 0));

    EXPECT_EQ(model.GetRadios(list), MaxRadios);
    EXPECT_TRUE(std::is_sorted(list.begin(), list.end(), [](auto& a, auto& b) { return a.Id < b.Id; }));
    EXPECT_EQ(list.front().Id, 1);
    EXPECT_EQ(list.back().Id, 1 + (MaxRadios - 1) * 37);

    EXPECT_FALSE(model.AddRadio(2, 0));
    EXPECT_FALSE(model.SetRadio(2, "New", 0));
    EXPECT_TRUE(model.SetRadio(ids[5], "Still updated", 0));
    EXPECT_EQ(model.GetRadioDescription(ids[5]), "Still updated");
    EXPECT_EQ(model.RadioCount(), MaxRadios);
}

TEST_F(TalkgroupsTest, NewSystemEmptiesTablesButNewSiteKeepsThem)
{
    model.SetSystemAndSite(0x123, 1, 0x70, 2);
    model.AddTalkgroup(100);
    model.AddRadio(5000, 100);
    model.SetSystemAndSite(0x123, 1, 0x70, 3);
    EXPECT_EQ(model.TalkgroupCount(), 1);
    EXPECT_EQ(model.RadioCount(), 1);
    model.SetSystemAndSite(0x456, 1, 0x70, 3);
    EXPECT_EQ(model.TalkgroupCount(), 0);
    EXPECT_EQ(model.RadioCount(), 0);
    EXPECT_EQ(model.GetTalkgroupDescription(100), "");
    EXPECT_FALSE(model.TouchRadio(5000));
    std::vector<RADTAG> list;
    EXPECT_EQ(model.GetRadios(list), 0);
    EXPECT_TRUE(model.AddRadio(5000, 0));
}
