#include <gtest/gtest.h>

#include "model/P25Class.h"

namespace {

class SystemInfoTest : public ::testing::Test
{
protected:
    ManualClock clock{1700000000};
    P25Class model{clock};

    std::vector<NEIGHBORREC> Neighbors()
    {
        std::vector<NEIGHBORREC> list(MaxNeighbors);
        list.resize(model.GetNeighbors(list.data(), MaxNeighbors));
        return list;
    }

    static NEIGHBORREC Neighbor(int sysId, int rfss, int site, int status = 3)
    {
        NEIGHBORREC n;
        n.SysId = sysId;
        n.RfssId = rfss;
        n.SiteId = site;
        n.Channel = 0x1001;
        n.Status = status;
        return n;
    }
};

}

TEST_F(SystemInfoTest, FirstStatusIdentifiesAndRepeatChangesNothing)
{
    SYSINFO info;
    model.GetSystemInfo(info);
    EXPECT_EQ(info.SiteStatus, 1);
    EXPECT_TRUE(model.SetSystemAndSite(0x123, 1, 0x70, 2));
    EXPECT_EQ(model.IsSystemInfoChanged(), 1);
    model.GetSystemInfo(info);
    EXPECT_EQ(info.SysId, 0x123);
    EXPECT_EQ(info.RfssId, 1);
    EXPECT_EQ(info.SiteId, 2);
    EXPECT_EQ(info.ServiceClass, 0x70);
    EXPECT_EQ(info.SiteStatus, 0);
    EXPECT_EQ(model.IsSystemInfoChanged(), 0);
    EXPECT_FALSE(model.SetSystemAndSite(0x123, 1, 0x70, 2));
    EXPECT_EQ(model.IsSystemInfoChanged(), 0);
}

TEST_F(SystemInfoTest, NewSiteKeepsSystemDataButClearsSiteLists)
{
    model.SetSystemAndSite(0x123, 1, 0x70, 2);
    model.SetSystemDescription("County");
    model.SetTowerDescription(1, 3, "North");
    model.UpdateNeighbor(Neighbor(0x123, 1, 3));
    EXPECT_TRUE(model.SetSystemAndSite(0x123, 1, 0x70, 3));
    EXPECT_TRUE(Neighbors().empty());
    SYSINFO info;
    model.GetSystemInfo(info);
    EXPECT_EQ(info.SystemDescription, "County");
    EXPECT_EQ(info.SiteId, 3);
    EXPECT_EQ(model.GetTowerDescription(1, 3), "North");
    EXPECT_TRUE(model.SetSystemAndSite(0x123, 1, 0x71, 3));
}

TEST_F(SystemInfoTest, NewSystemDiscardsEverything)
{
    model.SetSystemAndSite(0x123, 1, 0x70, 2);
    model.SetWacn(0xBEE00);
    model.SetSystemDescription("County");
    model.SetTowerDescription(1, 3, "North");
    model.AddCallSign("WXYZ123");
    model.UpdateNeighbor(Neighbor(0x123, 1, 3));
    EXPECT_TRUE(model.SetSystemAndSite(0x456, 2, 0x10, 7));
    SYSINFO info;
    model.GetSystemInfo(info);
    EXPECT_EQ(info.SysId, 0x456);
    EXPECT_EQ(info.Wacn, 0);
    EXPECT_EQ(info.SystemDescription, "");
    EXPECT_EQ(info.CallSigns, "");
    EXPECT_EQ(model.GetTowerDescription(1, 3), "");
    EXPECT_TRUE(Neighbors().empty());
}

TEST_F(SystemInfoTest, ResetModelRestoresTheStartState)
{
    model.SetSystemAndSite(0x123, 1, 0x70, 2);
    model.SetFlavor(2);
    model.SetMultiBlockSeen(true);
    model.ResetModel();
    SYSINFO info;
    model.GetSystemInfo(info);
    EXPECT_EQ(info.SysId, 0);
    EXPECT_EQ(info.SiteStatus, 1);
    EXPECT_EQ(info.Flavor, 0);
    EXPECT_EQ(info.SystemInfoChanged, 1);
    EXPECT_FALSE(model.IsMultiBlockSeen());
    EXPECT_TRUE(model.AreNeighborsChanged());

    EVENTLOG events[EventLogCapacity];
    model.SetOtherInfoVisible(true);
    ASSERT_EQ(model.TakeEventLog(events, EventLogCapacity), 1);
    EXPECT_EQ(events[0].Time, 0);
}

TEST_F(SystemInfoTest, CallSigns)
{
    EXPECT_FALSE(model.AddCallSign(""));
    EXPECT_TRUE(model.AddCallSign("  KA1ABC "));
    EXPECT_TRUE(model.AddCallSign("WQX999"));
    EXPECT_FALSE(model.AddCallSign("ka1abc"));
    SYSINFO info;
    model.GetSystemInfo(info);
    EXPECT_EQ(info.CallSigns, "KA1ABC WQX999");

    EXPECT_TRUE(model.AddCallSign("ABCDEFGHIJKLMNOPQRSTUVWXYZ"));
    model.GetSystemInfo(info);
    EXPECT_EQ(info.CallSigns, "KA1ABC WQX999 ABCDEFGHIJKLMNOPQRS");

    EXPECT_TRUE(model.AddCallSign("CLEAR"));
    model.GetSystemInfo(info);
    EXPECT_EQ(info.CallSigns, "");

    // The list never grows past 20 signs or 199 characters.
    for (int i = 0; i < 30; ++i)
        model.AddCallSign("SIGN" + std::to_string(i) + "XXXXXXXX");
    model.GetSystemInfo(info);
    EXPECT_LE(info.CallSigns.size(), static_cast<size_t>(MaxTextLength));
}

TEST_F(SystemInfoTest, NeighborsAreOrderedDescribedAndCapped)
{
    model.SetSystemAndSite(0x123, 1, 0x70, 2);
    model.SetTowerDescription(1, 3, "Hilltop");
    EXPECT_TRUE(model.UpdateNeighbor(Neighbor(0x123, 1, 5)));
    EXPECT_TRUE(model.UpdateNeighbor(Neighbor(0x123, 1, 3)));
    EXPECT_TRUE(model.UpdateNeighbor(Neighbor(0x456, 1, 1)));
    EXPECT_FALSE(model.UpdateNeighbor(Neighbor(0x123, 1, 3)));
    EXPECT_TRUE(model.UpdateNeighbor(Neighbor(0x123, 1, 3, 1)));

    auto list = Neighbors();
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0].SiteId, 3);
    EXPECT_EQ(list[0].Description, "Hilltop");
    EXPECT_EQ(list[0].Status, 1);
    EXPECT_EQ(list[1].SiteId, 5);
    EXPECT_EQ(list[1].Description, "");
    EXPECT_EQ(list[2].Description, "Unknown (Different System)");
    EXPECT_FALSE(model.AreNeighborsChanged());

    for (int site = 10; site < 60; ++site)
        model.UpdateNeighbor(Neighbor(0x123, 2, site));
    EXPECT_EQ(Neighbors().size(), static_cast<size_t>(MaxNeighbors));
}

TEST(ServiceClassText, NamesTheSetBitsInOrder)
{
    EXPECT_EQ(P25Class::ServiceClassText(0), "None Advertised");
    EXPECT_EQ(P25Class::ServiceClassText(0x30), "Data,Voice");
    EXPECT_EQ(P25Class::ServiceClassText(0x81), "Composite control channel,Authentication");
}

TEST(TowerDescriptions, FiveHundredFirstTowerIsRefused)
{
    P25Class model;
    for (int i = 0; i < MaxTowers; ++i)
        ASSERT_TRUE(model.SetTowerDescription(i / 100, i % 100, "T"));
    EXPECT_FALSE(model.SetTowerDescription(9, 9, "T"));
    EXPECT_TRUE(model.SetTowerDescription(0, 0, "Renamed"));
    EXPECT_EQ(model.GetTowerDescription(0, 0), "Renamed");
}
