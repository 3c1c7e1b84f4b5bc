#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <map>
#include <memory>
#include <random>
#include <thread>

#include <sys/stat.h>

#include "model/Locks.h"
#include "model/P25Class.h"
#include "platform/DataFolderLock.h"
#include "platform/Files.h"
#include "support/TemporaryFolder.h"

namespace {

// 2 March 2018, 14:13:20 UTC; 09:13 in the test's Eastern zone.
constexpr int64_t March2 = 1520000000;
constexpr int SysId = 0x1A4;
constexpr uint8_t ServiceClass = 0x70;

class SystemFolderTest : public ::testing::Test
{
protected:
    TemporaryFolder data;
    ManualClock clock{March2};
    P25Class model{clock};

    SystemFolderTest()
    {
        setenv("TZ", "EST5EDT,M3.2.0,M11.1.0", 1);
        tzset();
        model.SetDataFolder(data.Path());
    }
    ~SystemFolderTest() override { SetWriteFaultHook({}); }

    std::string Folder() const { return data / "System1A4/"; }

    // A model that loads this test's data folder, as a later run of the program would.
    std::unique_ptr<P25Class> Reload(bool saveHits, int rfss = 1, int site = 3, int sysId = SysId)
    {
        auto loaded = std::make_unique<P25Class>(clock);
        loaded->SetDataFolder(data.Path());
        loaded->SetSaveHitCounts(saveHits);
        loaded->SetSystemAndSite(sysId, rfss, ServiceClass, site);
        return loaded;
    }

    void CopyFixture(const std::string& name)
    {
        std::filesystem::copy(std::string(ZEMBRANT_TEST_DATA) + "/SystemFolders/" + name, data / name,
                              std::filesystem::copy_options::recursive);
    }

    bool Save()
    {
        std::string error;
        const bool saved = model.SaveSystemFolder(error);
        EXPECT_EQ(error, "");
        return saved;
    }

    // A small system: two talkgroups, two radios, two tables, two channels, a neighbour.
    void FillSmallSystem()
    {
        model.SetSystemAndSite(SysId, 1, ServiceClass, 3);
        model.SetWacn(0xBEE00);
        model.SetSystemDescription("County");
        model.SetSiteDescription("Hill");
        model.SetTowerDescription(2, 7, "Valley");
        model.AddCallSign("WQAB123");
        model.SetTalkgroup(100, "Fire, \"North\"", 1520000000, 1, 0);
        model.SetTalkgroupColors(100, 0x0000FF, 0xFFFFFF);
        model.MarkTalkgroupEncrypted(100);
        model.SetTalkgroupHits(100, 12);
        model.SetTalkgroupEmrgIgnore(100, 1);
        model.SetTalkgroup(200, "Police", 1520003600, 50, 0);
        model.SetTalkgroupFirstSeen(200, 0);
        model.SetRadio(41394, "Engine 5", 1520000000);
        model.SetRadio(7, "Car 7", 1520000060);
        model.SetRadioColors(7, 0x00FF00, 0x000000);
        model.SetIdentifierTable(1, IDENTABLE{762.00625, 30.0, 0.00625, 0.0125, 2, 1});
        model.SetIdentifierTable(2, IDENTABLE{851.0125, -45.0, 0.0125, 0.0125, 1, 2});
        model.AddChannelUsageFlags(0x10A5, UsageControl | UsageVoice);
        model.MergeChannelHits(0x10A5, 12);
        model.AddChannelUsageFlags(0x2003, UsageData);
        model.UpdateNeighbor(NEIGHBORREC{SysId, 2, 7, 0x10A5, 0, 0.0, ""});
    }
};

std::vector<TGTAG> Talkgroups(P25Class& m)
{
    std::vector<TGTAG> list;
    m.GetTalkgroups(list);
    return list;
}

std::vector<RADTAG> Radios(P25Class& m)
{
    std::vector<RADTAG> list;
    m.GetRadios(list);
    return list;
}

std::vector<FreqInfo> Channels(P25Class& m)
{
    std::vector<FreqInfo> list(MaxChannels);
    list.resize(static_cast<size_t>(m.GetChannels(list.data(), MaxChannels)));
    return list;
}

std::vector<FILTERRANGE> Filters(P25Class& m)
{
    std::vector<FILTERRANGE> list(MaxFilterRanges);
    list.resize(static_cast<size_t>(m.GetFilterRanges(list.data(), MaxFilterRanges)));
    return list;
}

std::array<IDENTABLE, MaxIdentifierTables> Tables(P25Class& m)
{
    std::array<IDENTABLE, MaxIdentifierTables> tables{};
    m.GetIdentifierTables(tables.data(), MaxIdentifierTables);
    return tables;
}

SYSINFO Info(P25Class& m)
{
    SYSINFO info;
    m.GetSystemInfo(info);
    return info;
}

std::vector<std::string> FolderNames(const std::string& folder)
{
    std::vector<std::string> names;
    for (const FolderEntry& entry : ListFolder(folder, "*"))
        names.push_back(entry.Name);
    return names;
}

bool SameTalkgroup(const TGTAG& a, const TGTAG& b)
{
    return a.Id == b.Id && a.Description == b.Description && a.LastSeen == b.LastSeen && a.Priority == b.Priority
        && a.FirstSeen == b.FirstSeen && a.EncSeen == b.EncSeen && a.EmrgIgnore == b.EmrgIgnore && a.Hits == b.Hits
        && a.TextColor == b.TextColor && a.BackColor == b.BackColor;
}

bool SameRadio(const RADTAG& a, const RADTAG& b)
{
    return a.Id == b.Id && a.Description == b.Description && a.LastSeen == b.LastSeen
        && a.TextColor == b.TextColor && a.BackColor == b.BackColor;
}

}

TEST_F(SystemFolderTest, SaveWritesEveryFileOfTheSystemExactly)
{
    FillSmallSystem();
    model.SetFilterRange(1, 100, 200);
    model.SetFilterRange(0, 300, 400);
    model.SetFilteringEnabled(1);
    WriteText(Folder() + "Tower0103.txt", "FileVersion:7\r\n");
    WriteText(Folder() + "System.ini",
              "[System]\r\nComment=kept\r\nDescription=Old\r\n[Talkgroups]\r\n100=old\r\n[Towers]\r\n0102=Gone\r\n");
    ASSERT_TRUE(Save());

    EXPECT_EQ(FolderNames(Folder()),
              (std::vector<std::string>{"Radios.txt", "System.ini", "TalkGroups.txt", "Tower001003.txt"}));
    std::string tables;
    for (int i = 0; i < MaxIdentifierTables; ++i) {
        tables += "Table" + std::to_string(i) + "=";
        tables += i == 1   ? "\"762.006250\",\"0.006250\",\"0.012500\",\"30.000000\",\"1\",\"2\"\r\n"
                : i == 2 ? "\"851.012500\",\"0.012500\",\"0.012500\",\"-45.000000\",\"2\",\"1\"\r\n"
                         : "\"0.000000\",\"0.000000\",\"0.000000\",\"0.000000\",\"1\",\"0\"\r\n";
    }
    EXPECT_EQ(ReadText(Folder() + "System.ini"),
              "[System]\r\nComment=kept\r\nDescription=County\r\nSystemID=420\r\nSystemIDHEX=1A4\r\nWACN=BEE00\r\n"
              "Flavor=Phase 1\r\n"
              "[Tables]\r\n" + tables + "\r\n"
              "[Towers]\r\n001003=Hill\r\n002007=Valley\r\n\r\n"
              "[AffiliationFilters]\r\nCount=2\r\nEnabled=1\r\nFilter00=1,100,200\r\nFilter01=0,300,400\r\n");
    EXPECT_EQ(ReadText(Folder() + "TalkGroups.txt"),
              "FileVersion:7\r\n"
              "# Talkgroup List for this system\r\n"
              "# Format:  Talkgroup,Priority,Description,Lastseen(Unix),LastSeen(Human m/dd/yyyy),FirstSeen(Unix),"
              "FirstSeen(Human),FG Color,BG Color,EncSeen,Hits,EmrgIgnore\r\n"
              "# Priority Values:  0=Ignore, 1=Highest priority, 99= Lowest Priority\r\n"
              "100,1,\"Fire, \"\"North\"\"\",1520000000,\"03/02/2018 @ 09:13\",1520000000,\"03/02/2018 @ 09:13\","
              "\"#FF0000\",\"#FFFFFF\",\"Y\",12,1\r\n"
              "200,50,\"Police\",1520003600,\"03/02/2018 @ 10:13\",0,\"Unknown\",\"#000000\",\"#000000\",\"N\",0,0\r\n");
    EXPECT_EQ(ReadText(Folder() + "Radios.txt"),
              "FileVersion:4\r\n"
              "# Radio List for this system\r\n"
              "# Format:  RadioID(Decimal),Description,Lastseen(Unix),LastSeen(Human m/dd/yyyy),Text Color,BG Color\r\n"
              "7,\"Car 7\",1520000060,\"03/02/2018 @ 09:14\",\"#00FF00\",\"#000000\"\r\n"
              "41394,\"Engine 5\",1520000000,\"03/02/2018 @ 09:13\",\"#000000\",\"#000000\"\r\n");
    EXPECT_EQ(ReadText(Folder() + "Tower001003.txt"),
              "FileVersion:8\r\n"
              "-TowerInfo\r\n"
              "#This section is here for information only.  With the exception\r\n"
              "#of the Call Sign(s), This data is not Read back into the program at all.\r\n"
              "System ID             : 1A4\r\n"
              "System Name           : County\r\n"
              "WACN                  : BEE00\r\n"
              "Tower Number (Decimal): 1-3\r\n"
              "Tower Number (Hex)    : T0103\r\n"
              "Tower Description     : Hill\r\n"
              "Control Capabilities  : Data,Voice,Registration\r\n"
              "Flavor                : Phase 1\r\n"
              "Call Sign(s)          : WQAB123\r\n"
              "Timestamp             : Fri Mar  2 09:13:20 2018\r\n"
              "\r\n"
              "-Tables\r\n"
              "#Format: Table ID,Base Freq,Spacing,Input Offset,Assumed/Confirmed,BandWidth,Slots\r\n"
              "01,762.00625,0.00625,30.00000,\"Confirmed\",0.01250,1\r\n"
              "02,851.01250,0.01250,-45.00000,\"Manual\",0.01250,2\r\n"
              "\r\n"
              "-Frequencies\r\n"
              "#Format: Channel,Usage,Frequency(/Slot),Input Channel,Input Frequency(/Slot),Input Explicit(1/0),"
              "Hit Count\r\n"
              "\"01-0165\",\"cv\",763.03750,\"01-0165\",793.03750,0,12\r\n"
              "\"02-0003\",\"d\",851.02500/1,\"02-0003\",806.02500/1,0,0\r\n"
              "\r\n"
              "-Neighbors\r\n"
              "#Format: TowerID,TowerIDHex,System ID,Channel,Frequency,Tower Name\r\n"
              "207,\"T0207\",1a4,\"01-0165\",763.03750,\"Valley\"\r\n"
              "\r\n");

    // A site without channels or neighbours writes neither part.
    model.SetSystemAndSite(SysId, 2, ServiceClass, 7);
    ASSERT_TRUE(Save());
    const std::string tower = ReadText(Folder() + "Tower002007.txt");
    EXPECT_EQ(tower.substr(tower.find("Call Sign(s)          :")),
              "Call Sign(s)          : Unknown\r\n"
              "Timestamp             : Fri Mar  2 09:13:20 2018\r\n"
              "\r\n"
              "-Tables\r\n"
              "#Format: Table ID,Base Freq,Spacing,Input Offset,Assumed/Confirmed,BandWidth,Slots\r\n"
              "00,851.00625,0.00625,-45.00000,\"Assumed\",0.00625,1\r\n"
              "01,762.00625,0.00625,30.00000,\"Assumed\",0.00625,1\r\n"
              "\r\n");
}

TEST_F(SystemFolderTest, NothingIsSavedOrLoadedWithoutASystemAndSite)
{
    std::string error = "left over";
    EXPECT_FALSE(model.SaveSystemFolder(error));
    EXPECT_EQ(error, "");
    model.SetSystemAndSite(SysId, 0, ServiceClass, 0);
    EXPECT_FALSE(model.SaveSystemFolder(error));
    EXPECT_EQ(error, "");
    EXPECT_FALSE(model.LoadSystemFolder());
    EXPECT_FALSE(model.LoadTowerFile());
    EXPECT_EQ(FolderNames(data.Path()), std::vector<std::string>{});

    // A system whose folder does not exist yet loads nothing and still starts.
    model.SetSystemAndSite(SysId, 1, ServiceClass, 3);
    EXPECT_FALSE(model.LoadSystemFolder());
    EXPECT_EQ(model.TalkgroupCount(), 0);
}

TEST_F(SystemFolderTest, SaveThenLoadGivesBackTheWholeSystem)
{
    FillSmallSystem();
    model.SetSystemDescription("  County, \"North\" ");
    model.SetTowerDescription(2, 7, " Valley\xC3\xA9 ");
    model.SetTowerDescription(3, 5, "'quoted'");
    model.AddCallSign("KZZ999");
    model.SetTalkgroup(300, "  Zürich, Straße \"A\",\"B\"", 1520000000, 0, 0);
    model.SetTalkgroup(65535, "", 1520000000, 99, 0);
    model.SetRadio(16777215, " Car, \"7\" ", 1520000000);
    model.SetRadio(1, "\"", 1520000000);
    {
        NamedLockGuard guard(Locks::FREQUENCY);
        model.FindOrAddChannel(0x10B0, 0x1020);
    }
    model.AddChannelUsageFlags(0x10B0, UsageAlternate | UsageSystemId | UsagePrivate | UsagePhone);
    for (int i = 0; i < MaxFilterRanges; ++i)
        model.SetFilterRange(i % 2, i * 10, i * 10 + 5);
    model.SetFilteringEnabled(1);
    ASSERT_TRUE(Save());

    for (const bool saveHits : {true, false}) {
        const auto loaded = Reload(saveHits);
        const std::vector<TGTAG> before = Talkgroups(model);
        const std::vector<TGTAG> after = Talkgroups(*loaded);
        ASSERT_EQ(after.size(), before.size());
        for (size_t i = 0; i < before.size(); ++i)
            EXPECT_TRUE(SameTalkgroup(after[i], before[i])) << before[i].Id << " " << after[i].Description;
        const std::vector<RADTAG> radios = Radios(model);
        const std::vector<RADTAG> radiosAfter = Radios(*loaded);
        ASSERT_EQ(radiosAfter.size(), radios.size());
        for (size_t i = 0; i < radios.size(); ++i)
            EXPECT_TRUE(SameRadio(radiosAfter[i], radios[i])) << radios[i].Id << " " << radiosAfter[i].Description;

        EXPECT_EQ(Tables(*loaded), Tables(model));
        const std::vector<FreqInfo> channels = Channels(model);
        const std::vector<FreqInfo> channelsAfter = Channels(*loaded);
        ASSERT_EQ(channelsAfter.size(), channels.size());
        for (size_t i = 0; i < channels.size(); ++i) {
            EXPECT_EQ(channelsAfter[i].Channel, channels[i].Channel);
            EXPECT_EQ(channelsAfter[i].UsageFlags, channels[i].UsageFlags);
            EXPECT_EQ(channelsAfter[i].InputChannel, channels[i].InputChannel);
            EXPECT_EQ(channelsAfter[i].InputExplicit, channels[i].InputExplicit);
            EXPECT_DOUBLE_EQ(channelsAfter[i].Frequency, channels[i].Frequency);
            EXPECT_EQ(channelsAfter[i].Hits, saveHits ? channels[i].Hits : 0);
        }
        EXPECT_EQ(channelsAfter[1].InputChannel, 0x1020);

        const std::vector<FILTERRANGE> filters = Filters(*loaded);
        ASSERT_EQ(filters.size(), static_cast<size_t>(MaxFilterRanges));
        for (int i = 0; i < MaxFilterRanges; ++i) {
            EXPECT_EQ(filters[i].Active, i % 2);
            EXPECT_EQ(filters[i].Low, i * 10);
            EXPECT_EQ(filters[i].High, i * 10 + 5);
        }
        EXPECT_EQ(loaded->IsFilteringEnabled(), 1);

        std::vector<TOWERS> towers;
        loaded->GetTowers(towers);
        ASSERT_EQ(towers.size(), 3u);
        EXPECT_EQ(towers[0].Description, "Hill");
        EXPECT_EQ(towers[1].Description, " Valley\xC3\xA9 ");
        EXPECT_EQ(towers[2].Description, "'quoted'");
        const SYSINFO info = Info(*loaded);
        EXPECT_EQ(info.SystemDescription, "  County, \"North\" ");
        EXPECT_EQ(info.SiteDescription, "Hill");
        EXPECT_EQ(info.CallSigns, "WQAB123 KZZ999");
    }
}

// Talkgroup descriptions lose their trailing blanks on loading; leading blanks stay.
TEST_F(SystemFolderTest, TalkgroupDescriptionsLoseOnlyTrailingBlanks)
{
    model.SetSystemAndSite(SysId, 1, ServiceClass, 3);
    model.SetTalkgroup(100, "  Fire  ", 1520000000, 50, 0);
    model.SetRadio(200, "  Car  ", 1520000000);
    ASSERT_TRUE(Save());
    const auto loaded = Reload(false);
    EXPECT_EQ(loaded->GetTalkgroupDescription(100), "  Fire");
    EXPECT_EQ(loaded->GetRadioDescription(200), "  Car  ");
}

TEST_F(SystemFolderTest, FirstVersionFilesLoadAsTheyWereMeant)
{
    CopyFixture("System2B7");
    const auto loaded = Reload(true, 1, 2, 0x2B7);

    const std::vector<TGTAG> talkgroups = Talkgroups(*loaded);
    ASSERT_EQ(talkgroups.size(), 2u);
    EXPECT_EQ(talkgroups[0].Id, 100);
    EXPECT_EQ(talkgroups[0].Description, "Dispatch");
    EXPECT_EQ(talkgroups[0].Priority, 50);
    EXPECT_EQ(talkgroups[0].LastSeen, 1500000000);
    EXPECT_EQ(talkgroups[0].FirstSeen, 0);
    EXPECT_EQ(talkgroups[1].Description, "Fire");

    const std::vector<RADTAG> radios = Radios(*loaded);
    ASSERT_EQ(radios.size(), 1u);
    EXPECT_EQ(radios[0].Id, 41394);
    EXPECT_EQ(radios[0].Description, "Engine 5");

    // Both tower keys mean RFSS 3, site 5; read in text order, the older key comes last.
    std::vector<TOWERS> towers;
    loaded->GetTowers(towers);
    ASSERT_EQ(towers.size(), 2u);
    EXPECT_EQ(towers[0].Rfss, 3);
    EXPECT_EQ(towers[0].Site, 5);
    EXPECT_EQ(towers[0].Description, "Hill (older key)");
    EXPECT_EQ(towers[1].Rfss, 1);
    EXPECT_EQ(towers[1].Site, 2);
    const SYSINFO info = Info(*loaded);
    EXPECT_EQ(info.SystemDescription, "Old County");
    EXPECT_EQ(info.SiteDescription, "Main Street");
    EXPECT_EQ(info.CallSigns, "WQAB123 KZZ999");
    const std::vector<FILTERRANGE> filters = Filters(*loaded);
    ASSERT_EQ(filters.size(), 2u);
    EXPECT_EQ(filters[1].Active, 0);
    EXPECT_EQ(filters[1].Low, 300);
    EXPECT_EQ(loaded->IsFilteringEnabled(), 1);

    // The two-digit tower file without a version line: hexadecimal table indexes and the
    // "%x-%03x" channels; the "%02d-%04d" line is not in this file's notation.
    const auto tables = Tables(*loaded);
    EXPECT_EQ(tables[3], (IDENTABLE{851.0125, -45.0, 0.00625, 0.0125, 2, 1}));
    EXPECT_EQ(tables[10], (IDENTABLE{460.0, 5.0, 0.0125, 0.0125, 1, 1}));
    const std::vector<FreqInfo> channels = Channels(*loaded);
    ASSERT_EQ(channels.size(), 2u);
    EXPECT_EQ(channels[0].Channel, 0x10A5);
    EXPECT_EQ(channels[0].UsageFlags, static_cast<uint32_t>(UsageControl | UsageVoice));
    EXPECT_EQ(channels[1].Channel, 0x3010);
    EXPECT_EQ(channels[1].UsageFlags, static_cast<uint32_t>(UsageAlternate));
    EXPECT_DOUBLE_EQ(channels[1].Frequency, 851.1125);

    // The next save replaces the two-digit file and drops the obsolete INI sections.
    std::string error;
    ASSERT_TRUE(loaded->SaveSystemFolder(error));
    EXPECT_EQ(FolderNames(data / "System2B7"),
              (std::vector<std::string>{"Radios.txt", "System.ini", "TalkGroups.txt", "Tower001002.txt"}));
    const std::string ini = ReadText(data / "System2B7/System.ini");
    EXPECT_EQ(ini.find("[Talkgroups]"), std::string::npos);
    EXPECT_NE(ini.find("Comment=kept by hand\r\n"), std::string::npos);
}

TEST_F(SystemFolderTest, MiddleVersionsConvertPrioritiesAndReadHitCounts)
{
    CopyFixture("System3C5");
    const auto loaded = Reload(true, 2, 1, 0x3C5);
    const std::vector<TGTAG> talkgroups = Talkgroups(*loaded);
    ASSERT_EQ(talkgroups.size(), 4u);
    EXPECT_EQ(talkgroups[0].Priority, 99);
    EXPECT_EQ(talkgroups[1].Priority, 1);
    // From version 5 the priority is taken as it is.
    EXPECT_EQ(talkgroups[2].Priority, 2);
    EXPECT_EQ(talkgroups[2].FirstSeen, 1400000000);
    EXPECT_EQ(talkgroups[2].TextColor, 0x0000FFu);
    EXPECT_EQ(talkgroups[2].BackColor, 0u);
    // Eight fields are not enough for the first-seen time and colours.
    EXPECT_EQ(talkgroups[3].Priority, 4);
    EXPECT_EQ(talkgroups[3].FirstSeen, 0);
    EXPECT_EQ(talkgroups[3].TextColor, 0u);

    const std::vector<RADTAG> radios = Radios(*loaded);
    ASSERT_EQ(radios.size(), 1u);
    EXPECT_EQ(radios[0].Id, 41394);
    EXPECT_EQ(radios[0].TextColor, 0u);

    const std::vector<FreqInfo> channels = Channels(*loaded);
    ASSERT_EQ(channels.size(), 1u);
    EXPECT_EQ(channels[0].Channel, 0x10A5);
    EXPECT_EQ(channels[0].Hits, 12);
    EXPECT_EQ(Tables(*loaded)[1], (IDENTABLE{762.00625, 30.0, 0.00625, 0.0125, 0, 1}));
    EXPECT_EQ(Info(*loaded).CallSigns, "");
    EXPECT_EQ(Channels(*Reload(false, 2, 1, 0x3C5))[0].Hits, 0);
}

TEST_F(SystemFolderTest, TalkgroupLinesFollowTheirFileVersion)
{
    WriteText(Folder() + "TalkGroups.txt",
              "FileVersion:6\r\n"
              "10,3,\"Six\",1500000000,\"h\",1400000000,\"h\",\"#000000\",\"#000000\",\"Y\",42\r\n"
              "11,3,\"Six clear\",1500000000,\"h\",1400000000,\"h\",\"#000000\",\"#000000\",\"N\",5,1\r\n"
              "fileversion: 7\r\n"
              "12,1,\"Seven\",1500000000,\"h\",0,\"Unknown\",\"#000000\",\"#000000\",\"N\",7,1\r\n"
              "13,1,\"Seven\",1500000000,\"h\",0,\"Unknown\",\"#000000\",\"#000000\",\"N\",7,0\r\n"
              "14,1,\"Seven\",1500000000,\"h\",0,\"Unknown\",\"#000000\",\"#000000\",\"N\",7,x\r\n"
              "15,250,\"Damaged priority\",1500000000,\"h\"\r\n"
              "-1,1,\"Negative\",1500000000,\"h\"\r\n"
              "65536,1,\"Too high\",1500000000,\"h\"\r\n"
              "16,1,\"Three fields\"\r\n");
    const auto loaded = Reload(false);
    const std::vector<TGTAG> t = Talkgroups(*loaded);
    ASSERT_EQ(t.size(), 6u);
    EXPECT_EQ(t[0].Priority, 3);
    EXPECT_EQ(t[0].EncSeen, 1);
    EXPECT_EQ(t[0].Hits, 42);
    EXPECT_EQ(t[1].EncSeen, 0);
    EXPECT_EQ(t[1].EmrgIgnore, 0);
    EXPECT_EQ(t[2].Priority, 1);
    EXPECT_EQ(t[2].EmrgIgnore, 1);
    EXPECT_EQ(t[3].EmrgIgnore, 0);
    EXPECT_EQ(t[4].EmrgIgnore, 0);
    EXPECT_EQ(t[5].Priority, 99);
}

TEST_F(SystemFolderTest, TowerFileOfTheNewSiteReplacesChannelsAndCallSigns)
{
    FillSmallSystem();
    ASSERT_TRUE(Save());
    WriteText(Folder() + "Tower0207.txt",
              "FileVersion:8\r\n-TowerInfo\r\ncall sign(s):  KB1  KB2 \r\n-TABLES\r\n"
              "02,851.01250,0.01250,-45.00000,\"Confirmed\",0.01250,2\r\n-Frequencies\r\n"
              "\"02-0004\",\"v\",851.02500/0,\"02-0004\",806.02500/0,0,3\r\n");
    model.SetSaveHitCounts(true);

    EXPECT_TRUE(model.SetSystemAndSite(SysId, 2, ServiceClass, 7));
    std::vector<FreqInfo> channels = Channels(model);
    ASSERT_EQ(channels.size(), 1u);
    EXPECT_EQ(channels[0].Channel, 0x2004);
    EXPECT_EQ(channels[0].Hits, 3);
    EXPECT_EQ(Info(model).CallSigns, "KB1 KB2");

    // Back on the first site: its own file again; then a site with no file at all.
    EXPECT_TRUE(model.SetSystemAndSite(SysId, 1, ServiceClass, 3));
    channels = Channels(model);
    ASSERT_EQ(channels.size(), 2u);
    EXPECT_EQ(channels[0].Hits, 12);
    EXPECT_EQ(Info(model).CallSigns, "WQAB123");
    EXPECT_TRUE(model.SetSystemAndSite(SysId, 4, ServiceClass, 4));
    EXPECT_EQ(Channels(model).size(), 0u);
    EXPECT_EQ(Info(model).CallSigns, "");
    EXPECT_EQ(model.TalkgroupCount(), 2);
}

TEST_F(SystemFolderTest, DamagedFilesLoadEveryGoodLine)
{
    std::mt19937 random(6);
    std::string garbage(20000, '\0');
    for (char& c : garbage)
        c = static_cast<char>(random());
    // No garbage line starts like a number, so none of them could be a good line by chance.
    garbage[0] = 'G';
    for (size_t i = 1; i < garbage.size(); ++i)
        if (garbage[i - 1] == '\n')
            garbage[i] = 'G';
    // A line of 100,000 characters; were it read in pieces, the piece at 1,023 would be a talkgroup.
    const std::string ghost = "#" + std::string(1022, 'x') + "777,50,\"Ghost\",1500000000,\"h\"";
    const std::string longLine = "500,50,\"" + std::string(100000, 'y') + "\",1500000000,\"h\"";
    WriteText(Folder() + "TalkGroups.txt",
              "FileVersion:7\r\n# comment\r\n;comment\r\n\r\n1\r\n1,2\r\n,,,\r\n"
              "101,50,\"Stray \"quote\" here\",1500000000,\"h\"\r\n" + garbage + "\n" + ghost + "\r\n" + longLine
                  + "\r\n102,50,\"Good\",1500000000,\"h\"\r\n\"103\",50,\"Quoted ID\",1500000000\n");
    WriteText(Folder() + "Radios.txt", "FileVersion:4\r\n" + garbage + "\r\n" + ghost + "\r\n9,\"Nine\",0,\"\"\r\n");
    WriteText(Folder() + "Tower001003.txt",
              "FileVersion:8\r\n" + garbage + "\r\n-Tables\r\n" + std::string(300, '0') + ",1,2,3,4,5,6\r\n"
                  + "99,851,0.0125,-45,\"Confirmed\",0.0125,1\r\n -1,851,0.0125,-45,\"Confirmed\",0.0125,1\r\n"
                  + "03,nan,inf,-45,\"Confirmed\",0.0125,9999\r\n-Frequencies\r\n\"16-0001\",\"v\",0\r\n"
                  + "\"01-4096\",\"v\",0\r\n\"15-4095\",\"v\",0\r\n\"1-0001\",\"v\",0\r\n\"01-0002\",\"v\",0\r\n"
                  + "-TowerInfo\r\nCall Sign(s)          : " + std::string(400, 'K') + "\r\n");
    WriteText(Folder() + "System.ini",
              "[System]\r\nDescription=" + std::string(300, 'd') + "\r\n" + garbage
                  + "\r\n[Towers]\r\nabc=Letters\r\n1234567890123=Too long\r\n0203=Site\r\n"
                  "[AffiliationFilters]\r\nCount=2147483647\r\nEnabled=1\r\nFilter00=1,10,20\r\nFilter01=1,x\r\n"
                  "[Tables]\r\nTable0=\r\nTable1=\"1\",\"2\"\r\nTable2=\"851\",\"0.0125\",\"0.0125\"\r\n"
                  "Table99=\"1\",\"2\",\"3\"\r\n");
    const auto loaded = Reload(true);

    const std::vector<TGTAG> talkgroups = Talkgroups(*loaded);
    std::vector<int> ids;
    for (const TGTAG& t : talkgroups)
        ids.push_back(t.Id);
    EXPECT_EQ(ids, (std::vector<int>{101, 102, 103}));
    EXPECT_EQ(talkgroups[0].Description, "Stray \"quote\" here");
    ASSERT_EQ(Radios(*loaded).size(), 1u);
    EXPECT_EQ(Radios(*loaded)[0].Id, 9);

    const std::vector<FreqInfo> channels = Channels(*loaded);
    ASSERT_EQ(channels.size(), 1u);
    EXPECT_EQ(channels[0].Channel, 0x1002);
    const auto tables = Tables(*loaded);
    EXPECT_EQ(tables[3], (IDENTABLE{0.0, -45.0, 0.0, 0.0125, 2, 255}));
    const SYSINFO info = Info(*loaded);
    EXPECT_EQ(info.SystemDescription, std::string(199, 'd'));
    EXPECT_EQ(info.CallSigns, std::string(19, 'K'));
    std::vector<TOWERS> towers;
    loaded->GetTowers(towers);
    ASSERT_EQ(towers.size(), 1u);
    EXPECT_EQ(towers[0].Rfss, 2);
    EXPECT_EQ(towers[0].Site, 3);
    ASSERT_EQ(Filters(*loaded).size(), 1u);
    EXPECT_EQ(loaded->IsFilteringEnabled(), 1);
}

TEST_F(SystemFolderTest, FilterRangesBeyondTheFortiethAreDropped)
{
    std::string ini = "[AffiliationFilters]\r\nCount=45\r\nEnabled=1\r\n";
    for (int i = 0; i < 45; ++i)
        ini += "Filter" + std::to_string(100 + i).substr(1) + "=1," + std::to_string(i * 10) + ","
            + std::to_string(i * 10 + 1) + "\r\n";
    WriteText(Folder() + "System.ini", ini);
    const std::vector<FILTERRANGE> filters = Filters(*Reload(false));
    ASSERT_EQ(filters.size(), static_cast<size_t>(MaxFilterRanges));
    EXPECT_EQ(filters.back().Low, 390);

    // Ranges that cannot be read leave filtering off.
    WriteText(Folder() + "System.ini", "[AffiliationFilters]\r\nCount=-3\r\nEnabled=1\r\nFilter00=1,1,2\r\n");
    const auto loaded = Reload(false);
    EXPECT_EQ(Filters(*loaded).size(), 0u);
    EXPECT_EQ(loaded->IsFilteringEnabled(), 0);
}

TEST_F(SystemFolderTest, FailedWritesKeepThePreviousFilesWhole)
{
    FillSmallSystem();
    ASSERT_TRUE(Save());
    const std::vector<std::string> names = FolderNames(Folder());
    int round = 0;
    for (const std::string& failing : names) {
        ++round;
        std::map<std::string, std::string> before;
        for (const std::string& name : names)
            before[name] = ReadText(Folder() + name);
        WriteText(Folder() + "Tower0103.txt", "FileVersion:7\r\n");

        model.SetTalkgroup(1000 + round, "New", 1520000000, 50, 0);
        model.SetRadio(2000 + round, "New radio", 1520000000);
        model.SetSystemDescription("Renamed " + failing);
        clock.Advance(60);
        SetWriteFaultHook([&](const std::string& path) { return path == Folder() + failing ? EIO : 0; });
        std::string error;
        EXPECT_FALSE(model.SaveSystemFolder(error));
        SetWriteFaultHook({});
        EXPECT_EQ(error, "Cannot write \"" + Folder() + failing + "\": Input/output error");

        for (const std::string& name : names) {
            if (name == failing)
                EXPECT_EQ(ReadText(Folder() + name), before[name]) << name;
            else
                EXPECT_NE(ReadText(Folder() + name), before[name]) << failing << " " << name;
        }
        // The older tower file goes only once the new one is written.
        EXPECT_EQ(FileExists(Folder() + "Tower0103.txt"), failing == "Tower001003.txt");
        DeleteFile(Folder() + "Tower0103.txt");
        EXPECT_EQ(FolderNames(Folder()), names);
        const auto loaded = Reload(true);
        EXPECT_EQ(loaded->TalkgroupCount() == model.TalkgroupCount(), failing != "TalkGroups.txt");
        EXPECT_EQ(loaded->RadioCount() == model.RadioCount(), failing != "Radios.txt");
    }
}

TEST_F(SystemFolderTest, SaveReportsAFolderItCannotMake)
{
    FillSmallSystem();
    WriteText(data / "System1A4", "a file where the folder belongs");
    std::string error;
    EXPECT_FALSE(model.SaveSystemFolder(error));
    EXPECT_EQ(error, "Cannot create \"" + Folder() + "\": File exists");
    EXPECT_EQ(ReadText(data / "System1A4"), "a file where the folder belongs");

    // Every file failing: one line per file.
    std::filesystem::remove(data / "System1A4");
    SetWriteFaultHook([](const std::string&) { return ENOSPC; });
    EXPECT_FALSE(model.SaveSystemFolder(error));
    EXPECT_EQ(error, "Cannot write \"" + Folder() + "System.ini\": No space left on device\n"
                     "Cannot write \"" + Folder() + "TalkGroups.txt\": No space left on device\n"
                     "Cannot write \"" + Folder() + "Radios.txt\": No space left on device\n"
                     "Cannot write \"" + Folder() + "Tower001003.txt\": No space left on device");
    EXPECT_EQ(FolderNames(Folder()), std::vector<std::string>{});
}

TEST_F(SystemFolderTest, SavesDuringSystemChangesKeepEachFolderToItsOwnSystem)
{
    model.SetSystemAndSite(0x1A4, 1, ServiceClass, 3);
    model.SetTalkgroup(100, "Only in 1A4", 1520000000, 50, 0);
    ASSERT_TRUE(Save());
    model.SetSystemAndSite(0x2B7, 1, ServiceClass, 3);
    model.SetTalkgroup(200, "Only in 2B7", 1520000000, 50, 0);
    ASSERT_TRUE(Save());

    std::atomic<bool> done{false};
    std::thread decoder([&] {
        for (int i = 0; i < 100; ++i)
            model.SetSystemAndSite(i % 2 ? 0x2B7 : 0x1A4, 1, ServiceClass, 3);
        done = true;
    });
    while (!done) {
        std::string error;
        model.SaveSystemFolder(error);
        EXPECT_EQ(error, "");
    }
    decoder.join();
    const std::string a = ReadText(data / "System1A4/TalkGroups.txt");
    const std::string b = ReadText(data / "System2B7/TalkGroups.txt");
    EXPECT_NE(a.find("\r\n100,50,\"Only in 1A4\""), std::string::npos);
    EXPECT_EQ(a.find("\r\n200,"), std::string::npos);
    EXPECT_NE(b.find("\r\n200,50,\"Only in 2B7\""), std::string::npos);
    EXPECT_EQ(b.find("\r\n100,"), std::string::npos);
}

namespace {

const char* const FolderFiles[] = {"System.ini", "TalkGroups.txt", "Radios.txt", "Tower001003.txt"};

std::string CannotRead(const std::string& path, const std::string& reason)
{
    return "Cannot read \"" + path + "\": " + reason;
}

std::string KeptAs(const std::string& path)
{
    return "Kept \"" + path + "\", which could not be read, as \"" + path + ".unreadable\"";
}

}

TEST_F(SystemFolderTest, ByteOrderMarkOfAWindowsEditorChangesNothing)
{
    FillSmallSystem();
    ASSERT_TRUE(Save());
    std::map<std::string, std::string> saved;
    for (const std::string name : FolderFiles) {
        saved[name] = ReadText(Folder() + name);
        WriteText(Folder() + name, "\xEF\xBB\xBF" + saved[name]);
    }
    const auto loaded = Reload(true);
    EXPECT_EQ(loaded->TakeFileWarnings(), std::vector<std::string>{});
    // What the files do not read back.
    loaded->SetWacn(0xBEE00);
    loaded->UpdateNeighbor(NEIGHBORREC{SysId, 2, 7, 0x10A5, 0, 0.0, ""});
    std::string error;
    ASSERT_TRUE(loaded->SaveSystemFolder(error)) << error;
    for (const std::string name : FolderFiles)
        EXPECT_EQ(ReadText(Folder() + name), saved[name]) << name;
}

TEST_F(SystemFolderTest, FileInNoKnownLayoutIsKeptAsideNotRewritten)
{
    const std::string unreadable = "FileVersion:-99999999999999999999\r\n";
    const std::map<std::string, std::string> files = {
        {"TalkGroups.txt", unreadable + "1003,Fire,1500000000,\"h\"\r\n"},
        {"Radios.txt", unreadable + "1003270,\"Car\",1500000000,\"h\"\r\n"},
        {"Tower001003.txt", unreadable + "-Tables\r\n03,851,0.0125,-45,\"Confirmed\",0.0125,1\r\n"},
    };
    for (const auto& [name, text] : files) {
        std::filesystem::remove_all(Folder());
        WriteText(Folder() + name, text);
        const auto loaded = Reload(true);
        EXPECT_EQ(loaded->TalkgroupCount() + loaded->RadioCount(), 0) << name;
        EXPECT_EQ(Tables(*loaded)[3].Base, 0.0) << name;
        const std::string path = Folder() + name;
        EXPECT_EQ(loaded->TakeFileWarnings(),
                  std::vector<std::string>{CannotRead(path, "its \"FileVersion:\" line cannot be read")});
        std::string error;
        ASSERT_TRUE(loaded->SaveSystemFolder(error)) << error;
        EXPECT_EQ(loaded->TakeFileWarnings(), std::vector<std::string>{KeptAs(path)});
        EXPECT_EQ(ReadText(path + ".unreadable"), text);
        EXPECT_NE(ReadText(path), text);
        // Once kept, the next save simply writes.
        ASSERT_TRUE(loaded->SaveSystemFolder(error)) << error;
        EXPECT_EQ(loaded->TakeFileWarnings(), std::vector<std::string>{});
    }
}

TEST_F(SystemFolderTest, PipesDevicesAndHugeFilesAreRefusedByName)
{
    CreateDirectories(Folder());
    ASSERT_EQ(::mkfifo((Folder() + "System.ini").c_str(), 0600), 0);
    ASSERT_EQ(::mkfifo((Folder() + "TalkGroups.txt").c_str(), 0600), 0);
    std::filesystem::create_symlink("/dev/zero", Folder() + "Radios.txt");
    WriteText(Folder() + "Tower001003.txt", "");
    std::filesystem::resize_file(Folder() + "Tower001003.txt", LargestReadableFile + 1);
    const auto loaded = Reload(true);
    std::vector<std::string> expected;
    for (const std::string name : FolderFiles)
        expected.push_back(CannotRead(Folder() + name, name.starts_with("Tower") ? "larger than 256 MB"
                                                                                  : "not a regular file"));
    EXPECT_EQ(loaded->TakeFileWarnings(), expected);

    std::string error;
    ASSERT_TRUE(loaded->SaveSystemFolder(error)) << error;
    expected.clear();
    for (const std::string name : FolderFiles)
        expected.push_back(KeptAs(Folder() + name));
    EXPECT_EQ(loaded->TakeFileWarnings(), expected);
    EXPECT_TRUE(std::filesystem::is_fifo(Folder() + "TalkGroups.txt.unreadable"));
    EXPECT_TRUE(std::filesystem::is_regular_file(Folder() + "TalkGroups.txt"));
}

TEST_F(SystemFolderTest, AssumedTablesComeBackBothAfterASave)
{
    model.SetSystemAndSite(SysId, 1, ServiceClass, 3);
    ASSERT_TRUE(Save());
    const auto tables = Tables(*Reload(false));
    EXPECT_EQ(tables, Tables(model));
    EXPECT_EQ(tables[0].Base, 851.00625);
    EXPECT_EQ(tables[1].Base, 762.00625);
}

TEST_F(SystemFolderTest, ManualTableIsLoadedWithTheSystemUntilTheSiteSendsItsOwn)
{
    model.SetSystemAndSite(SysId, 1, ServiceClass, 3);
    const IDENTABLE manual{452.5, 5.0, 0.0125, 0.0125, SourceManual, 1};
    ASSERT_TRUE(model.SetManualIdentifierTable(4, manual));
    ASSERT_TRUE(Save());

    auto loaded = Reload(false, 2, 9);
    EXPECT_EQ(Tables(*loaded)[4], manual);
    EXPECT_DOUBLE_EQ(loaded->ChannelFrequency(0x4008), 452.6);
    loaded->SetIdentifierTable(4, IDENTABLE{453.0, 5.0, 0.0125, 0.0125, SourceConfirmed, 1});
    EXPECT_DOUBLE_EQ(loaded->ChannelFrequency(0x4008), 453.1);
}

TEST_F(SystemFolderTest, TimesBeyondAnyCalendarAreLimitedOnLoad)
{
    WriteText(Folder() + "TalkGroups.txt", "FileVersion:7\r\n"
                                           "100,50,\"Far\",67768036191676799,\"h\",-5,\"h\",\"#000000\",\"#000000\","
                                           "\"N\",0,0\r\n");
    WriteText(Folder() + "Radios.txt", "FileVersion:4\r\n7,\"Car\",-67768036191676799,\"h\"\r\n");
    const auto loaded = Reload(false);
    EXPECT_EQ(Talkgroups(*loaded)[0].LastSeen, 253402300799);
    EXPECT_EQ(Radios(*loaded)[0].LastSeen, March2); // 0: now
    std::string error;
    ASSERT_TRUE(loaded->SaveSystemFolder(error)) << error;
    const std::string talkgroups = ReadText(Folder() + "TalkGroups.txt");
    EXPECT_EQ(talkgroups.substr(talkgroups.find("100,")),
              "100,50,\"Far\",253402300799,\"12/31/9999 @ 18:59\",0,\"Unknown\",\"#000000\",\"#000000\",\"N\",0,0\r\n");
}

TEST_F(SystemFolderTest, ControlCharactersNeverEnterADescription)
{
    using namespace std::string_literals;
    WriteText(Folder() + "TalkGroups.txt", "FileVersion:7\r\n100,50,\"Fire\tNorth\x01\x7F\",1520000000,\"h\"\r\n");
    WriteText(Folder() + "Radios.txt", "FileVersion:4\r\n5,\"Car\0\0 5\x1B\",1520000000,\"h\"\r\n"s);
    WriteText(Folder() + "System.ini", "[System]\r\nDescription=Coun\x02ty\r\n[Towers]\r\n002007=Val\x03ley\r\n");
    WriteText(Folder() + "Tower001003.txt", "FileVersion:8\r\n-TowerInfo\r\nCall Sign(s)  : WQ\x04" "AB1 KZ\x05\r\n");
    const auto loaded = Reload(false);
    EXPECT_EQ(Talkgroups(*loaded)[0].Description, "Fire North");
    EXPECT_EQ(Radios(*loaded)[0].Description, "Car 5");
    EXPECT_EQ(Info(*loaded).SystemDescription, "County");
    EXPECT_EQ(loaded->GetTowerDescription(2, 7), "Valley");
    EXPECT_EQ(Info(*loaded).CallSigns, "WQAB1 KZ");
}

TEST_F(SystemFolderTest, SaveRemovesWhatAKilledSaveLeftBehind)
{
    FillSmallSystem();
    WriteText(Folder() + ".Radios.txt.tmp-a1B2c3", std::string(1000, 'x'));
    DataFolderLock lock;
    std::string error;
    ASSERT_EQ(lock.Take(data.Path(), error), DataFolderLock::Outcome::Taken) << error;
    ASSERT_TRUE(Save());
    EXPECT_EQ(FolderNames(Folder()), (std::vector<std::string>{"Radios.txt", "System.ini", "TalkGroups.txt",
                                                               "Tower001003.txt"}));
}

// Without the data folder's lock a temporary file may be another process's save in progress.
TEST_F(SystemFolderTest, LoadAndSaveWithoutTheDataFolderLeaveOtherSavesAlone)
{
    FillSmallSystem();
    ASSERT_TRUE(Save());
    const std::string other = Folder() + ".TalkGroups.txt.tmp-Zx9Yw8";
    WriteText(other, "FileVersion:7\r\n100,50,\"half");
    std::string error;
    ASSERT_TRUE(Reload(false)->SaveSystemFolder(error)) << error;
    ASSERT_TRUE(Save());
    EXPECT_EQ(ReadText(other), "FileVersion:7\r\n100,50,\"half");
    // Holding some other data folder does not count.
    DataFolderLock elsewhere;
    TemporaryFolder otherData;
    ASSERT_EQ(elsewhere.Take(otherData.Path(), error), DataFolderLock::Outcome::Taken) << error;
    ASSERT_TRUE(Save());
    EXPECT_TRUE(FileExists(other));
}

TEST_F(SystemFolderTest, WhatASaveWroteLoadsAndSavesTheSameAgain)
{
    const std::string tables = "FileVersion:8\r\n-Tables\r\n";
    const struct
    {
        const char* Case;
        std::string Ini;
        std::string Tower;
    } cases[] = {
        {"unknown source", "[Tables]\r\nTable1=\"762.00625\",\"0.00625\",\"0.0125\",\"30\",\"1\",\"255\"\r\n", ""},
        {"manual beside assumed", "[Tables]\r\nTable1=\"762.00625\",\"0.00625\",\"0.0125\",\"30\",\"1\",\"1\"\r\n", ""},
        {"six decimals", "", tables + "01,762.006251,0.00625,30.000165,\"Manual\",0.0125,1\r\n"},
        {"input channel before its table",
         "[Tables]\r\nTable1=\"762.00625\",\"0.00625\",\"0.0125\",\"30\",\"1\",\"2\"\r\n",
         "FileVersion:8\r\n-Frequencies\r\n\"01-0165\",\"v\",0,\"01-0200\",0,1,0\r\n-Tables\r\n"
         "01,77.00625,0.00625,30,\"Confirmed\",0.0125,1\r\n"},
        {"RFSS beyond three digits", "[Towers]\r\n123456789=Far\r\n0305=Near\r\n", ""},
    };
    for (const auto& c : cases) {
        std::filesystem::remove_all(Folder());
        WriteText(Folder() + "System.ini", c.Ini);
        WriteText(Folder() + "Tower001003.txt", c.Tower);
        std::map<std::string, std::string> once;
        for (int round = 0; round < 2; ++round) {
            std::string error;
            ASSERT_TRUE(Reload(true)->SaveSystemFolder(error)) << error;
            for (const std::string name : FolderFiles) {
                if (round == 0)
                    once[name] = ReadText(Folder() + name);
                else
                    EXPECT_EQ(ReadText(Folder() + name), once[name]) << c.Case << ": " << name;
            }
        }
    }
}
