#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "model/Locks.h"
#include "model/P25Class.h"

namespace {

constexpr int64_t Start = 1700000000;

class PatchesTest : public ::testing::Test
{
protected:
    ManualClock clock{Start};
    P25Class model{clock};

    void SetUp() override
    {
        TakePatchLog();
        TakeAffiliationLog();
        Patches();
        Affiliations();
        Ranges();
    }

    std::vector<PATCHREC> Patches()
    {
        std::vector<PATCHREC> list(MaxPatches);
        list.resize(model.GetPatches(list.data(), MaxPatches));
        return list;
    }

    std::vector<AFFREC> Affiliations()
    {
        std::vector<AFFREC> list(MaxAffiliations);
        list.resize(model.GetAffiliations(list.data(), MaxAffiliations));
        return list;
    }

    std::vector<FILTERRANGE> Ranges()
    {
        std::vector<FILTERRANGE> list(MaxFilterRanges);
        list.resize(model.GetFilterRanges(list.data(), MaxFilterRanges));
        return list;
    }

    std::vector<PATCHLOG> TakePatchLog()
    {
        std::vector<PATCHLOG> list(PatchLogCapacity);
        list.resize(model.TakePatchLog(list.data(), PatchLogCapacity));
        return list;
    }

    std::vector<AFFLOG> TakeAffiliationLog()
    {
        std::vector<AFFLOG> list(AffiliationLogCapacity);
        list.resize(model.TakeAffiliationLog(list.data(), AffiliationLogCapacity));
        return list;
    }
};

void ExpectPatchLog(const PATCHLOG& entry, int64_t time, char kind, int talkgroup, int supergroup)
{
    EXPECT_EQ(entry.Time, time);
    EXPECT_EQ(entry.Kind, kind);
    EXPECT_EQ(entry.Talkgroup, talkgroup);
    EXPECT_EQ(entry.Supergroup, supergroup);
}

void ExpectAffiliationLog(const AFFLOG& entry, char function, int radio, int talkgroup, const std::string& text)
{
    EXPECT_EQ(entry.Function, function);
    EXPECT_EQ(entry.Radio, radio);
    EXPECT_EQ(entry.Talkgroup, talkgroup);
    EXPECT_EQ(entry.Text, text);
}

}

TEST_F(PatchesTest, RegroupLivesTenSecondsAfterItsLastAnnouncement)
{
    for (int member : {100, 101, 102})
        EXPECT_TRUE(model.AddPatch(member, 500));
    auto log = TakePatchLog();
    ASSERT_EQ(log.size(), 3u);
    ExpectPatchLog(log[0], Start, 'A', 100, 500);
    ExpectPatchLog(log[2], Start, 'A', 102, 500);
    EXPECT_EQ(Patches().size(), 3u);

    clock.Advance(10);
    for (int member : {100, 101, 102})
        EXPECT_TRUE(model.AddPatch(member, 500));
    EXPECT_FALSE(model.ArePatchesChanged());
    EXPECT_FALSE(model.IsPatchLogChanged());

    clock.Advance(10);
    EXPECT_FALSE(model.ExpirePatches());
    EXPECT_EQ(Patches().size(), 3u);

    clock.Advance(1);
    auto left = Patches();
    EXPECT_TRUE(left.empty());
    EXPECT_TRUE(model.IsPatchLogChanged());
    log = TakePatchLog();
    ASSERT_EQ(log.size(), 3u);
    ExpectPatchLog(log[0], Start + 21, 'R', 100, 500);
    ExpectPatchLog(log[1], Start + 21, 'R', 101, 500);
    ExpectPatchLog(log[2], Start + 21, 'R', 102, 500);
}

TEST_F(PatchesTest, RemovePatchTakesOnlyItsSupergroup)
{
    EXPECT_FALSE(model.RemovePatch(500));
    model.AddPatch(100, 500);
    model.AddPatch(200, 600);
    model.AddPatch(101, 500);
    model.AddPatch(201, 600);
    EXPECT_FALSE(model.AddPatch(500, 500));
    TakePatchLog();

    EXPECT_TRUE(model.RemovePatch(500));
    auto left = Patches();
    ASSERT_EQ(left.size(), 2u);
    EXPECT_EQ(left[0].Talkgroup, 200);
    EXPECT_EQ(left[1].Talkgroup, 201);
    auto log = TakePatchLog();
    ASSERT_EQ(log.size(), 2u);
    ExpectPatchLog(log[0], Start, 'R', 100, 500);
    ExpectPatchLog(log[1], Start, 'R', 101, 500);

    EXPECT_FALSE(model.RemovePatch(500));
    EXPECT_TRUE(model.RemovePatch(600));
    model.AddPatch(300, 700);
    EXPECT_TRUE(model.RemovePatch(700));
    EXPECT_TRUE(Patches().empty());
}

TEST_F(PatchesTest, FullPatchListRefusesNewPairUntilOneExpires)
{
    for (int i = 0; i < MaxPatches; ++i)
        EXPECT_TRUE(model.AddPatch(100 + i, 900));
    TakePatchLog();
    EXPECT_FALSE(model.AddPatch(200, 901));
    EXPECT_TRUE(TakePatchLog().empty());
    EXPECT_TRUE(model.AddPatch(100, 900));
    EXPECT_EQ(Patches().size(), static_cast<size_t>(MaxPatches));

    clock.Advance(11);
    EXPECT_TRUE(model.AddPatch(200, 901));
    EXPECT_EQ(Patches().size(), 1u);
}

TEST_F(PatchesTest, RepeatedAffiliationIsRecordedOnce)
{
    EXPECT_TRUE(model.RecordAffiliation('A', 7001, "Affiliate", 100));
    EXPECT_FALSE(model.RecordAffiliation('A', 7001, "Affiliate", 100));
    clock.Advance(5);
    EXPECT_TRUE(model.RecordAffiliation('A', 7001, "Affiliate", 200));
    EXPECT_FALSE(model.RecordAffiliation('A', 7002, "Affiliate", 0));
    EXPECT_FALSE(model.RecordAffiliation('C', 7002, "Affiliate", 300));

    auto list = Affiliations();
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].Radio, 7001);
    EXPECT_EQ(list[0].Talkgroup, 200);
    EXPECT_EQ(list[0].Time, Start + 5);
    auto log = TakeAffiliationLog();
    ASSERT_EQ(log.size(), 2u);
    ExpectAffiliationLog(log[0], 'A', 7001, 100, "Affiliate");
    EXPECT_EQ(log[0].Time, Start);
    ExpectAffiliationLog(log[1], 'A', 7001, 200, "Affiliate");
    EXPECT_EQ(log[1].Time, Start + 5);
}

TEST_F(PatchesTest, DeniedAndDeregisteredAffiliationsAreLogged)
{
    model.RecordAffiliation('A', 7001, "Affiliate", 100);
    Affiliations();
    EXPECT_TRUE(model.RecordAffiliation('D', 7001, "Denied", 100));
    EXPECT_FALSE(model.RecordAffiliation('D', 7001, "Denied", 100));
    EXPECT_FALSE(model.AreAffiliationsChanged());
    EXPECT_TRUE(model.RecordAffiliation('U', 7009, "Unaffiliate", 0));
    EXPECT_TRUE(model.RecordAffiliation('U', 7001, "Forced", 0));
    EXPECT_TRUE(Affiliations().empty());
    EXPECT_TRUE(model.RecordAffiliation('A', 7001, "Affiliate", 100));

    auto log = TakeAffiliationLog();
    ASSERT_EQ(log.size(), 5u);
    ExpectAffiliationLog(log[1], 'D', 7001, 100, "Denied");
    ExpectAffiliationLog(log[2], 'U', 7009, 0, "Unaffiliate");
    ExpectAffiliationLog(log[3], 'U', 7001, 0, "Forced");
    ExpectAffiliationLog(log[4], 'A', 7001, 100, "Affiliate");
}

TEST_F(PatchesTest, AffiliationListAndQueueRefuseBeyondCapacity)
{
    for (int radio = 1; radio <= MaxAffiliations; ++radio)
        ASSERT_TRUE(model.Affiliate(100, radio));
    EXPECT_FALSE(model.Affiliate(100, MaxAffiliations + 1));
    EXPECT_TRUE(model.Affiliate(0, 5));
    auto list = Affiliations();
    ASSERT_EQ(list.size(), static_cast<size_t>(MaxAffiliations));
    EXPECT_EQ(list[4].Talkgroup, 100);

    EXPECT_TRUE(model.Unaffiliate(1));
    EXPECT_FALSE(model.Unaffiliate(1));
    EXPECT_EQ(Affiliations().front().Radio, 2);

    model.ClearAffiliations();
    TakeAffiliationLog();
    for (int radio = 1; radio <= AffiliationLogCapacity; ++radio)
        ASSERT_TRUE(model.RecordAffiliation('A', radio, "Affiliate", 100));
    EXPECT_FALSE(model.RecordAffiliation('A', 9999, "Affiliate", 100));
    EXPECT_EQ(Affiliations().size(), static_cast<size_t>(AffiliationLogCapacity));
    EXPECT_EQ(TakeAffiliationLog().size(), static_cast<size_t>(AffiliationLogCapacity));
    EXPECT_TRUE(model.RecordAffiliation('A', 9999, "Affiliate", 100));
}

TEST_F(PatchesTest, ClearingAffiliationsQueuesOneMarkerAndForgetsTheLastEvent)
{
    model.RecordAffiliation('A', 7001, "Affiliate", 100);
    model.RecordAffiliation('D', 7002, "Refused", 100);
    model.ClearAffiliations();
    EXPECT_TRUE(model.AreAffiliationsChanged());
    EXPECT_TRUE(Affiliations().empty());
    auto log = TakeAffiliationLog();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].Function, 'C');
    EXPECT_EQ(log[0].Time, 0);

    EXPECT_TRUE(model.RecordAffiliation('D', 7002, "Refused", 100));
}

TEST_F(PatchesTest, SiteChangeEmptiesSiteListsAndKeepsFilters)
{
    model.SetSystemAndSite(0x123, 1, 0x70, 2);
    model.AddPatch(100, 500);
    model.RecordAffiliation('A', 7001, "Affiliate", 100);
    model.SetFilterRange(1, 1000, 1999);
    TakePatchLog();
    TakeAffiliationLog();

    model.SetSystemAndSite(0x123, 1, 0x70, 3);
    EXPECT_TRUE(Patches().empty());
    EXPECT_TRUE(Affiliations().empty());
    EXPECT_EQ(Ranges().size(), 1u);
    auto patchLog = TakePatchLog();
    ASSERT_EQ(patchLog.size(), 1u);
    EXPECT_EQ(patchLog[0].Time, 0);
    auto affiliationLog = TakeAffiliationLog();
    ASSERT_EQ(affiliationLog.size(), 1u);
    EXPECT_EQ(affiliationLog[0].Function, 'C');
    EXPECT_TRUE(model.RecordAffiliation('A', 7001, "Affiliate", 100));

    model.SetSystemAndSite(0x456, 1, 0x70, 3);
    EXPECT_TRUE(Ranges().empty());
}

TEST_F(PatchesTest, FilterRangesRefuseInvalidAndExcessRanges)
{
    EXPECT_FALSE(model.SetFilterRange(1, 5, 4));
    EXPECT_FALSE(model.SetFilterRange(1, 0, 0x1000000));
    EXPECT_FALSE(model.SetFilterRange(1, -1, 5));
    EXPECT_FALSE(model.AreFiltersChanged());
    EXPECT_FALSE(model.DeleteFilterRange(0, 5));

    for (int i = 0; i < MaxFilterRanges; ++i)
        ASSERT_TRUE(model.SetFilterRange(1, i * 10, i * 10 + 9));
    EXPECT_FALSE(model.SetFilterRange(1, 0, 0xFFFFFF));
    EXPECT_TRUE(model.SetFilterRange(0, 10, 19));
    auto ranges = Ranges();
    ASSERT_EQ(ranges.size(), static_cast<size_t>(MaxFilterRanges));
    EXPECT_EQ(ranges[1].Active, 0);

    EXPECT_FALSE(model.DeleteFilterRange(9, 0));
    EXPECT_FALSE(model.DeleteFilterRange(10, 20));
    EXPECT_FALSE(model.AreFiltersChanged());
    EXPECT_TRUE(model.DeleteFilterRange(10, 19));
    ranges = Ranges();
    ASSERT_EQ(ranges.size(), static_cast<size_t>(MaxFilterRanges - 1));
    EXPECT_EQ(ranges[1].Low, 20);
    EXPECT_TRUE(model.SetFilterRange(1, 0, 0xFFFFFF));
}

TEST_F(PatchesTest, FilterShowsRadiosInActiveRangesOnly)
{
    model.SetFilterRange(1, 1000, 1999);
    model.SetFilterRange(0, 5000, 5999);
    EXPECT_TRUE(model.PassesAffiliationFilter(2000));
    EXPECT_EQ(model.SetFilteringEnabled(1), 1);
    EXPECT_TRUE(model.PassesAffiliationFilter(1000));
    EXPECT_TRUE(model.PassesAffiliationFilter(1999));
    EXPECT_FALSE(model.PassesAffiliationFilter(2000));
    EXPECT_FALSE(model.PassesAffiliationFilter(5500));

    model.SetFilterRange(0, 1000, 1999);
    EXPECT_TRUE(model.PassesAffiliationFilter(2000));
    EXPECT_EQ(model.IsFilteringEnabled(), 1);
}

TEST(PatchesThreads, TwoWritersAndAReaderKeepTheListsWithinBounds)
{
    ManualClock clock{Start};
    P25Class model{clock};
    constexpr int Rounds = 3000;

    std::thread first([&] {
        for (int i = 0; i < Rounds; ++i) {
            model.RecordAffiliation(i % 3 == 0 ? 'U' : 'A', 1000 + i % 2100, "Affiliate", 100 + i % 7);
            model.AddPatch(100 + i % 30, 900 + i % 3);
            if (i % 50 == 0)
                model.RemovePatch(900 + i % 3);
        }
    });
    std::thread second([&] {
        for (int i = 0; i < Rounds; ++i) {
            model.RecordAffiliation(i % 5 == 0 ? 'D' : 'A', 5000 + i % 300, "Denied", 200 + i % 5);
            model.SetFilterRange(static_cast<uint8_t>(i % 2), i % 60, i % 60 + 10);
            if (i % 500 == 0)
                model.ResetSiteLists();
        }
    });
    std::thread reader([&] {
        std::vector<AFFLOG> affiliationLog(AffiliationLogCapacity);
        std::vector<PATCHLOG> patchLog(PatchLogCapacity);
        std::vector<PATCHREC> patches(MaxPatches);
        std::vector<AFFREC> affiliations(MaxAffiliations);
        std::vector<FILTERRANGE> ranges(MaxFilterRanges);
        for (int i = 0; i < Rounds; ++i) {
            clock.AdvanceTicks(3);
            ASSERT_LE(model.TakeAffiliationLog(affiliationLog.data(), AffiliationLogCapacity), AffiliationLogCapacity);
            model.TakePatchLog(patchLog.data(), PatchLogCapacity);
            if (model.ArePatchesChanged()) {
                ASSERT_LE(model.GetPatches(patches.data(), MaxPatches), MaxPatches);
            }
            if (model.AreAffiliationsChanged()) {
                ASSERT_LE(model.GetAffiliations(affiliations.data(), MaxAffiliations), MaxAffiliations);
            }
            ASSERT_LE(model.GetFilterRanges(ranges.data(), MaxFilterRanges), MaxFilterRanges);
            model.PassesAffiliationFilter(i);
        }
    });
    first.join();
    second.join();
    reader.join();

    std::vector<PATCHREC> patches(MaxPatches);
    EXPECT_LE(model.GetPatches(patches.data(), MaxPatches), MaxPatches);
}
