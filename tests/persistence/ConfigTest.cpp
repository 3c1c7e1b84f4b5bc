#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>

#include <sys/stat.h>

#include "persistence/Config.h"
#include "platform/Files.h"
#include "platform/IniFile.h"
#include "support/TemporaryFolder.h"

namespace {

class ConfigTest : public ::testing::Test
{
protected:
    TemporaryFolder folder;
    CONFIG config;
    EXTRASETTINGS extra;

    ConfigTest() { config.ConfigFile = folder / "Zembrant.ini"; }

    void Load(const std::string& text)
    {
        WriteText(config.ConfigFile, text);
        LoadConfiguration(config, extra);
    }

    void Save()
    {
        std::string error;
        ASSERT_TRUE(SaveConfiguration(config, extra, error)) << error;
    }

    CONFIG Defaults() const
    {
        CONFIG defaults;
        defaults.ConfigFile = config.ConfigFile;
        return defaults;
    }
};

}

TEST_F(ConfigTest, MissingEmptyOrDamagedFileGivesDefaultsAndLimits)
{
    LoadConfiguration(config, extra);
    EXPECT_EQ(config, Defaults());
    EXPECT_EQ(extra, EXTRASETTINGS{});

    Load("");
    EXPECT_EQ(config, Defaults());
    EXPECT_FALSE(config.DataSaveOnDecodeStop);
    EXPECT_FALSE(config.DataSaveOnExit);
    EXPECT_TRUE(config.AutoSaveEnabled);

    config.ConfigFile = std::string(ZEMBRANT_TEST_DATA) + "/DamagedConfig.ini";
    LoadConfiguration(config, extra);
    CONFIG expected = Defaults();
    // "#12" is not a colour triple, so it is read as a number, and that fails.
    expected.OddBackground = 0;
    EXPECT_EQ(config, expected);
    EXPECT_EQ(extra.TGTimeOut, 17);
}

TEST_F(ConfigTest, ValuesOutsideTheirLimitsAreCorrected)
{
    Load("[Backup]\r\nDays=0\r\nCheckTime=10\r\n[Communications]\r\nHighPort=300\r\n[Activity]\r\nGrantLogMax=500\r\n"
         "[Global]\r\nDecodeBarColor=9\r\nTGTimeOut=2\r\n");
    EXPECT_EQ(config.BackupDays, 1);
    EXPECT_EQ(config.BackupCheckTime, 60);
    EXPECT_EQ(config.HighPort, 255);
    EXPECT_EQ(config.GrantLogMax, 200);
    EXPECT_EQ(config.DecodeBarColor, 0);
    EXPECT_EQ(extra.TGTimeOut, 5);

    Load("[Backup]\r\nDays=1000\r\nCheckTime=5000\r\n[Communications]\r\nHighPort=3\r\n[Activity]\r\nGrantLogMax=-4\r\n"
         "[Global]\r\nDecodeBarColor=6\r\nTGTimeOut=40\r\n[ScanControl]\r\nMonitorThresholdHigh=0\r\n");
    EXPECT_EQ(config.BackupDays, 365);
    EXPECT_EQ(config.BackupCheckTime, 1440);
    EXPECT_EQ(config.HighPort, 16);
    EXPECT_EQ(config.GrantLogMax, -4);
    EXPECT_EQ(config.DecodeBarColor, 6);
    EXPECT_EQ(extra.TGTimeOut, 40);
    EXPECT_EQ(config.MonitorThresholdHigh, 10);
    EXPECT_EQ(config.MonitorThresholdLow, 1);

    // What the window's fields and choosers offer: hostile sizes are not applied nor saved.
    Load("[ScanControl]\r\nMonitorThresholdHigh=500\r\nMonitorThresholdLow=400\r\n[Global]\r\nSize=900\r\n"
         "SaveScreenSizes=Yes\r\n[Activity]\r\nSize=-3\r\n[ActivityScreen]\r\nColumn0=100000\r\nColumn1=80\r\n");
    EXPECT_EQ(config.MonitorThresholdHigh, 99);
    EXPECT_EQ(config.MonitorThresholdLow, 99);
    EXPECT_EQ(extra.ProgramFont.Size, FONTSPEC{}.Size);
    EXPECT_EQ(extra.ListFonts[0].Size, FONTSPEC{}.Size);
    EXPECT_EQ(extra.ColumnWidths[0], (std::map<int, int32_t>{{1, 80}}));
}

TEST(ParseYesNo, OnlyYesInAnyCaseIsTrue)
{
    EXPECT_TRUE(ParseYesNo("YES"));
    EXPECT_TRUE(ParseYesNo("Yes"));
    EXPECT_TRUE(ParseYesNo("yes"));
    EXPECT_FALSE(ParseYesNo("1"));
    EXPECT_FALSE(ParseYesNo("true"));
    EXPECT_FALSE(ParseYesNo(""));
    EXPECT_FALSE(ParseYesNo("yess"));
    EXPECT_EQ(FormatYesNo(true), "Yes");
    EXPECT_EQ(FormatYesNo(false), "No");
}

TEST(ParseColor, ReadsHexadecimalTriplesOrDecimalValues)
{
    EXPECT_EQ(ParseColor("#CCFFCC"), 0xCCFFCCu);
    EXPECT_EQ(ParseColor("#a0b1c2"), ParseColor("#A0B1C2"));
    EXPECT_EQ(ParseColor("#A0B1C2"), 0xC2B1A0u);
    EXPECT_EQ(ParseColor("255"), 0x0000FFu);
    EXPECT_EQ(FormatColor(255), "#FF0000");
    EXPECT_EQ(ParseColor("#12345"), 0u);
    EXPECT_EQ(ParseColor("#1234567"), 0u);
    EXPECT_EQ(ParseColor("#GG8000"), 0x008000u);
    EXPECT_EQ(ParseColor("red"), 0u);
    EXPECT_EQ(ParseColor(""), 0u);
    EXPECT_EQ(FormatColor(0x00C2B1A0), "#A0B1C2");
}

TEST(ScramblePassword, MatchesTheStoredForm)
{
    EXPECT_EQ(ScramblePassword("abc"), "str");
    EXPECT_EQ(UnscramblePassword("str"), "abc");
    EXPECT_EQ(UnscramblePassword(ScramblePassword("Secret#42~!")), "Secret#42~!");
    EXPECT_EQ(ScramblePassword(""), "");
    const std::string longPassword(300, 'k');
    EXPECT_EQ(ScramblePassword(longPassword).size(), 255u);
    EXPECT_EQ(UnscramblePassword(ScramblePassword(longPassword)), std::string(255, 'k'));
}

TEST(ScramblePassword, EveryPasswordComesBackUnchanged)
{
    // Stored forms made by older versions read as they always did; the rest are marked.
    const struct
    {
        std::string Password;
        std::string Stored;
    } cases[] = {
        {"%100", "BAA6"},
        {"!~", "12"},
        {"   ", "\xC2\xA4" "C6ACA6CA6"},
        {"P@ss w0rd", "\xC2\xA4" "Q&C*%uAA6&a"},
        {"gr\xC3\xBC\xC3\x9F", "\xC2\xA4" "%T6TT6WJD6SD6x"},
        {"%\t", "\xC2\xA4" "C6JAF6"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ScramblePassword(c.Password), c.Stored) << c.Password;
        EXPECT_EQ(UnscramblePassword(c.Stored), c.Password) << c.Password;
    }
    std::string everyByte;
    for (int b = 0; b < 256; ++b)
        everyByte += static_cast<char>(b);
    EXPECT_EQ(UnscramblePassword(ScramblePassword(everyByte)), everyByte.substr(0, 255));
    const std::string longPassword(300, ' ');
    EXPECT_EQ(UnscramblePassword(ScramblePassword(longPassword)), std::string(255, ' '));
    // A cut escape, as a damaged file may hold, is read as it stands.
    EXPECT_EQ(UnscramblePassword("\xC2\xA4" "E6"), "%4");
}

TEST_F(ConfigTest, NewFileHoldsEveryStoredKeyInOrder)
{
    Save();
    EXPECT_EQ(ReadText(config.ConfigFile), ReadText(std::string(ZEMBRANT_TEST_DATA) + "/DefaultConfig.ini"));
}

TEST_F(ConfigTest, SaveThenLoadGivesBackEverySetting)
{
    config.CommPort = "/dev/ttyUSB1";
    config.Latency = 33;
    config.ScannerType = 4;
    config.UnidenSpeed = 57600;
    config.AutoSaveEnabled = false;
    config.AutoSaveInterval = 3;
    config.BackupEnabled = true;
    config.BackupDays = 30;
    config.BackupCheckTime = 120;
    config.LastBackup = 4102444800;
    config.BackupAddDate = true;
    config.BackupPath = "/srv/backup";
    config.DataSaveOnDecodeStop = config.DataSaveOnExit = config.LogSaveOnDecodeStop = config.LogSaveOnExit = true;
    config.ScanControlEnabled = config.TuneData = true;
    config.ControlPort = "/dev/ttyS0";
    config.PrivatePriority = 12;
    config.ScannerProfile = "PSR500.Scanner";
    config.QuietFrequency = 851.0125;
    config.ControlPortSpeed = 115200;
    config.MonitorThresholdHigh = 80;
    config.MonitorThresholdLow = 5;
    config.HideSystemInfo = config.ShowPatchList = config.ShowGrantLog = config.SaveHits = true;
    config.GrantLogMax = 150;
    config.ActivityColorMode = 2;
    config.DecodeBarColor = 3;
    config.LogDenied = config.AffiliationsAutoSave = config.AffiliationsUseTGColors = true;
    config.AffiliationsVisible = config.TowerInfoVisible = config.PatchesVisible = false;
    config.GrantsVisible = config.GrantsAutoSave = config.GrantsUseTGColors = config.GrantsUseFilter = true;
    config.GrantsFilterLevel = 40;
    config.GrantsFilterOther = true;
    config.GrantsColorMode = 0;
    config.OtherInfoVisible = config.OtherInfoAutoSave = config.UnknownsVisible = config.UnknownsAutoSave = true;
    config.PktDumpVisible = config.PktDumpAutoSave = config.PsrDumpVisible = config.PsrDumpAutoSave = true;
    config.PatchesAutoSave = config.IncludeDate = config.SaveScreenSizes = config.Confirmations = true;
    config.UseGlobalFont = false;
    config.DefaultText = 0x123456;
    config.DefaultBackground = 0x654321;
    config.ControlText = 0x0000FF;
    config.ControlBackground = 0x111111;
    config.EvenText = 0x222222;
    config.EvenBackground = 0x333333;
    config.OddText = 0x444444;
    config.OddBackground = 0x555555;
    config.RRWebEnabled = true;
    config.RRUserName = "listener";
    config.RRPassword = "Secret#42";
    config.WebTimeOut = 90;
    config.ProxyType = 1;
    config.ProxyAddress = "proxy.example";
    config.ProxyPort = 3128;
    config.ProxyLoginRequired = true;
    config.ProxyUserName = "user";
    config.ProxyPassword = "pa$$";
    config.MqttEnabled = config.MqttTls = true;
    config.MqttHost = "broker.lan";
    config.MqttPort = 8883;
    config.MqttCaFile = "/etc/ssl/certs/ca.pem";
    config.MqttUserName = "station";
    config.MqttPassword = "m#tt";
    config.MqttTopicPrefix = "p25/home";
    config.MqttClientId = "attic";
    config.Left = 10;
    config.Top = 20;
    config.Width = 800;
    config.Height = 600;
    extra.ProgramFont = {"DejaVu Sans", 11, true};
    for (int s = 0; s < ListSectionCount; ++s)
        extra.ListFonts[s] = {"Font" + std::to_string(s), 7 + s, s % 2 == 0};
    extra.FilterRegistrations = true;
    extra.ColumnWidths[0] = {{0, 120}, {1, 0}, {5, 64}};
    extra.ColumnWidths[12] = {{0, 33}};
    extra.CustomColors = {"ColorA=00FF00", "broken entry", "ColorB=FFFFFFFF"};
    Save();

    CONFIG saved = config;
    EXTRASETTINGS savedExtra = extra;
    config = Defaults();
    LoadConfiguration(config, extra);
    EXPECT_EQ(config, saved);
    EXPECT_EQ(extra.ProgramFont, savedExtra.ProgramFont);
    EXPECT_EQ(extra.ListFonts, savedExtra.ListFonts);
    EXPECT_TRUE(extra.FilterRegistrations);
    EXPECT_EQ(extra.ColumnWidths, savedExtra.ColumnWidths);
    ASSERT_EQ(extra.CustomColors.size(), 16u);
    EXPECT_EQ(extra.CustomColors[0], "ColorA=00FF00");
    EXPECT_EQ(extra.CustomColors[1], "ColorB=FFFFFFFF");
    EXPECT_EQ(extra.CustomColors[15], "ColorP=FFFFFFFF");
}

TEST_F(ConfigTest, ListsTakeTheProgramFontWhileItIsGlobal)
{
    Load("[Global]\r\nUseGlobalFont=Yes\r\nFont=Arial\r\nSize=12\r\nBold=Yes\r\n[Grants]\r\nFont=Courier\r\n");
    for (const FONTSPEC& font : extra.ListFonts)
        EXPECT_EQ(font, (FONTSPEC{"Arial", 12, true}));

    Load("[Global]\r\nUseGlobalFont=No\r\nFont=Arial\r\nSize=12\r\n[Grants]\r\nFont=Courier\r\nBold=yes\r\n");
    EXPECT_EQ(extra.ProgramFont, (FONTSPEC{"Arial", 12, false}));
    EXPECT_EQ(extra.ListFonts[GrantLists], (FONTSPEC{"Courier", 8, true}));
    EXPECT_EQ(extra.ListFonts[ActivityLists], FONTSPEC{});
}

TEST_F(ConfigTest, WindowBoundsAndColumnsOnlyWithSavedScreenSizes)
{
    const std::string screens = "[Global]\r\nLeft=5\r\nTop=6\r\nWidth=700\r\nHeight=500\r\nMaximized=No\r\n"
                                "[ActivityScreen]\r\nColumn0=80\r\nColumn3=0\r\nColumn64=9\r\nColumnX=9\r\nOther=1\r\n";
    config.Width = 1111;
    Load(screens);
    EXPECT_EQ(config.Width, 1111);
    EXPECT_TRUE(extra.ColumnWidths[0].empty());

    Load("[Global]\r\nSaveScreenSizes=Yes\r\nLeft=5\r\nWidth=700\r\nHeight=abc\r\n"
         "[ActivityScreen]\r\nColumn0=80\r\nColumn3=0\r\nColumn64=9\r\nColumnX=9\r\ncolumn7=oops\r\n");
    EXPECT_EQ(config.Left, 5);
    EXPECT_EQ(config.Width, 700);
    EXPECT_EQ(config.Height, 720);
    EXPECT_EQ(extra.ColumnWidths[0], (std::map<int, int32_t>{{0, 80}, {3, 0}, {7, 50}}));

    config.Left = 3;
    Load("[Global]\r\nSaveScreenSizes=Yes\r\nMaximized=Yes\r\nLeft=5\r\n");
    EXPECT_TRUE(config.Maximized);
    EXPECT_EQ(config.Left, 3);
}

TEST_F(ConfigTest, SaveWithoutScreenSizesRemovesTheScreenSections)
{
    std::string text = "[Global]\r\nSaveScreenSizes=Yes\r\nMaximized=Yes\r\n";
    for (const char* section : ScreenSectionNames)
        text += std::string("[") + section + "]\r\nColumn0=77\r\n";
    Load(text);
    config.SaveScreenSizes = false;
    Save();
    const IniFile ini(config.ConfigFile);
    for (const char* section : ScreenSectionNames)
        EXPECT_FALSE(ini.SectionExists(section)) << section;
    EXPECT_EQ(ini.ReadString("Global", "Maximized", ""), "Yes");
}

TEST_F(ConfigTest, ReadOnlyAndUnknownKeysStayAsTheyWere)
{
    Load("[Communications]\r\nShowAllPorts=Yes\r\nHighPort=100\r\n[Global]\r\nTGTimeOut=30\r\n"
         "[RRWebService]\r\nUseDevelKey=Yes\r\n[Protection]\r\nLogProtectionData=Yes\r\n[Mine]\r\nNote=hello\r\n");
    EXPECT_TRUE(config.ShowAllPorts);
    EXPECT_EQ(config.HighPort, 100);
    EXPECT_EQ(extra.TGTimeOut, 30);
    EXPECT_EQ(config.AppKey, "19465073");
    EXPECT_TRUE(config.LogProtectionData);
    config.ShowAllPorts = false;
    config.HighPort = 16;
    config.LogProtectionData = false;
    Save();
    const IniFile ini(config.ConfigFile);
    EXPECT_EQ(ini.ReadString("Communications", "ShowAllPorts", ""), "Yes");
    EXPECT_EQ(ini.ReadString("Communications", "HighPort", ""), "100");
    EXPECT_EQ(ini.ReadString("Global", "TGTimeOut", ""), "30");
    EXPECT_EQ(ini.ReadString("RRWebService", "UseDevelKey", ""), "Yes");
    EXPECT_EQ(ini.ReadString("Protection", "LogProtectionData", ""), "Yes");
    EXPECT_EQ(ini.ReadString("Mine", "Note", ""), "hello");

    Load("[Protection]\r\n");
    EXPECT_FALSE(config.LogProtectionData);
    EXPECT_EQ(config.AppKey, "57302846");
}

TEST_F(ConfigTest, ObsoleteServiceAddressesAreDeletedAtLoad)
{
    Load("[RRWebService]\r\nEnabled=Yes\r\nWebWSDL=http://old/wsdl\r\nCDROMWSDL=file:///cd\r\nUserName=me\r\n");
    EXPECT_TRUE(config.RRWebEnabled);
    EXPECT_EQ(ReadText(config.ConfigFile), "[RRWebService]\r\nEnabled=Yes\r\nUserName=me\r\n");
}

TEST_F(ConfigTest, StoredPasswordsAreScrambled)
{
    config.RRPassword = "abc";
    config.ProxyPassword = "   ";
    Save();
    const IniFile ini(config.ConfigFile);
    EXPECT_EQ(ini.ReadString("RRWebService", "Password", ""), "str");
    LoadConfiguration(config, extra);
    EXPECT_EQ(config.RRPassword, "abc");
    EXPECT_EQ(config.ProxyPassword, "   ");
}

TEST_F(ConfigTest, SaveThatCannotWriteKeepsThePreviousFile)
{
    config.LastBackup = 1000;
    Save();
    const std::string before = ReadText(config.ConfigFile);
    config.LastBackup = 2000;
    SetWriteFaultHook([](const std::string& path) { return path.ends_with("Zembrant.ini") ? ENOSPC : 0; });
    std::string error;
    EXPECT_FALSE(SaveConfiguration(config, extra, error));
    SetWriteFaultHook({});
    EXPECT_EQ(error, "Cannot write \"" + config.ConfigFile + "\": No space left on device");
    EXPECT_EQ(ReadText(config.ConfigFile), before);
    LoadConfiguration(config, extra);
    EXPECT_EQ(config.LastBackup, 1000);

    config.ConfigFile = folder / "Blocked.ini";
    CreateDirectories(config.ConfigFile);
    EXPECT_FALSE(SaveConfiguration(config, extra, error));
    EXPECT_EQ(error, "Cannot write \"" + config.ConfigFile + "\": Is a directory");
}

TEST(DefaultDataFolder, IsZembrantInTheDocumentsFolder)
{
    EXPECT_EQ(DefaultDataFolder(), DocumentsFolder() + "Zembrant/");
}

TEST_F(ConfigTest, AutoSaveIntervalKeepsTheDialogsRange)
{
    const std::pair<const char*, int32_t> cases[] = {{"30", 30}, {"0", 1}, {"-5", 1}, {"35791395", 60}, {"x", 10}};
    for (const auto& [text, minutes] : cases) {
        Load(std::string("[AutoSave]\r\nInterval=") + text + "\r\n");
        EXPECT_EQ(config.AutoSaveInterval, minutes) << text;
    }
}

TEST_F(ConfigTest, PipeOrDeviceInPlaceOfTheFileGivesDefaultsAndAWarning)
{
    std::filesystem::create_symlink("/dev/zero", folder / "Zero.ini");
    ASSERT_EQ(::mkfifo((folder / "Fifo.ini").c_str(), 0600), 0);
    for (const char* name : {"Zero.ini", "Fifo.ini"}) {
        config.ConfigFile = folder / name;
        LoadConfiguration(config, extra);
        EXPECT_EQ(config, Defaults());
        EXPECT_EQ(extra.Warnings,
                  std::vector<std::string>{"Cannot read \"" + config.ConfigFile + "\": not a regular file"});
        Save();
        LoadConfiguration(config, extra);
        EXPECT_EQ(extra.Warnings, std::vector<std::string>{});
    }
    EXPECT_TRUE(std::filesystem::is_fifo(folder / "Fifo.ini.unreadable"));
}
