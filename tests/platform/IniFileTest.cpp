#include <gtest/gtest.h>

#include <cerrno>

#include <sys/stat.h>

#include "platform/Files.h"
#include "platform/IniFile.h"
#include "support/TemporaryFolder.h"

namespace {

const std::string WindowsFile = std::string(ZEMBRANT_TEST_DATA) + "/WindowsWritten.ini";

}

TEST(IniFile, ReadsWhatTheWindowsWriterAndEditorsLeave)
{
    const IniFile ini(WindowsFile);
    EXPECT_EQ(ini.ReadString("Communications", "Port", ""), "COM7");
    EXPECT_EQ(ini.ReadInteger("COMMUNICATIONS", "latency", 0), 25);
    EXPECT_DOUBLE_EQ(ini.ReadFloat("ScanControl", "QuietFrequency", 0), 851.0125);
    EXPECT_EQ(ini.ReadString("ScanControl", "Profile", ""), "My Scanner.Scanner");
    EXPECT_EQ(ini.ReadString("Global", "UseGlobalFont", ""), "no");
    EXPECT_EQ(ini.ReadString("Global", "Font", ""), "Courier New");
    EXPECT_TRUE(ini.SectionExists("SCANCONTROL"));
    EXPECT_FALSE(ini.SectionExists("Backup"));
    EXPECT_TRUE(ini.ValueExists("scancontrol", "unknown key"));
    EXPECT_FALSE(ini.ValueExists("ScanControl", "Port"));
    EXPECT_EQ(ini.ReadSection("ScanControl"), (std::vector<std::string>{"QuietFrequency", "Profile", "Unknown Key"}));
    EXPECT_EQ(ini.ReadString("Backup", "Days", "7"), "7");
}

TEST(IniFile, WritesInPlaceAndKeepsEverythingElse)
{
    IniFile ini(WindowsFile);
    ini.WriteString("communications", "PORT", "COM9");
    ini.WriteInteger("Communications", "ScannerType", 2);
    ini.WriteFloat("ScanControl", "QuietFrequency", 866.0);
    ini.DeleteKey("ScanControl", "profile");
    ini.WriteString("Backup", "BackupPath", "/srv/keep");
    ini.WriteString("Global", "Size", "10");
    EXPECT_EQ(ini.Text(),
              "; Written on Windows\r\n"
              "[Communications]\r\n"
              "Port=COM9\r\n"
              "Latency=25\r\n"
              "ScannerType=2\r\n"
              "\r\n"
              "# hand-written note\r\n"
              "[ScanControl]\r\n"
              "QuietFrequency=866\r\n"
              "Unknown Key=kept\r\n"
              "\r\n"
              "[global]\r\n"
              "UseGlobalFont=no\r\n"
              "Font=Courier New\r\n"
              "Size=10\r\n"
              "\r\n"
              "[Backup]\r\n"
              "BackupPath=/srv/keep\r\n");

    ini.EraseSection("SCANCONTROL");
    EXPECT_FALSE(ini.SectionExists("ScanControl"));
    EXPECT_EQ(ini.ReadString("Global", "Font", ""), "Courier New");
}

TEST(IniFile, NumbersOutsideTheirFormGiveTheDefault)
{
    IniFile ini;
    ini.Parse("[N]\nplain=42\nplus=+7\nminus=-3\nspaced= 12 \ntrailing=12abc\nempty=\nhuge=99999999999\n"
              "big=99999999999\nf=851.0125\ncomma=866,5\nnan=nan\ninf=1e400\nhex=0x10\n");
    EXPECT_EQ(ini.ReadInteger("N", "plain", 0), 42);
    EXPECT_EQ(ini.ReadInteger("N", "plus", 0), 7);
    EXPECT_EQ(ini.ReadInteger("N", "minus", 0), -3);
    EXPECT_EQ(ini.ReadInteger("N", "spaced", 0), 12);
    EXPECT_EQ(ini.ReadInteger("N", "trailing", -1), -1);
    EXPECT_EQ(ini.ReadInteger("N", "empty", -1), -1);
    EXPECT_EQ(ini.ReadInteger("N", "huge", -1), -1);
    EXPECT_EQ(ini.ReadInteger("N", "hex", -1), -1);
    EXPECT_EQ(ini.ReadInt64("N", "big", -1), 99999999999);
    EXPECT_DOUBLE_EQ(ini.ReadFloat("N", "f", 0), 851.0125);
    EXPECT_DOUBLE_EQ(ini.ReadFloat("N", "comma", 0), 866.5);
    EXPECT_DOUBLE_EQ(ini.ReadFloat("N", "nan", 1.5), 1.5);
    EXPECT_DOUBLE_EQ(ini.ReadFloat("N", "inf", 1.5), 1.5);
    EXPECT_DOUBLE_EQ(ini.ReadFloat("N", "missing", 1.5), 1.5);
}

TEST(IniFile, ValueCannotBreakOutOfItsLine)
{
    IniFile ini;
    ini.WriteString("RRWebService", "UserName", "me\r\n[Proxy]\r\nPassword=stolen");
    IniFile back;
    back.Parse(ini.Text());
    EXPECT_FALSE(back.SectionExists("Proxy"));
    EXPECT_EQ(back.ReadString("RRWebService", "UserName", ""), "me  [Proxy]  Password=stolen");
}

TEST(IniFile, DamagedTextKeepsTheGoodLines)
{
    using namespace std::string_literals;
    std::string text = "\x00\x01garbage\xff\r\n[Unterminated\r\n=no key\r\n[]\r\n[Good]\r\nA=1\r\nLong="s;
    ASSERT_EQ(text[0], '\0');
    text += std::string(100000, 'x');
    text += "\r\n\x80\x81=binary\r\nB = 2\rC=3\r\n[Good]\r\nA=duplicate";
    IniFile ini;
    ini.Parse(text);
    EXPECT_EQ(ini.ReadInteger("Good", "A", 0), 1);
    EXPECT_EQ(ini.ReadString("Good", "Long", "").size(), 100000u);
    EXPECT_EQ(ini.ReadString("Good", "\x80\x81", ""), "binary");
    // A lone CR is not a line end.
    EXPECT_EQ(ini.ReadString("Good", "B", ""), "2\rC=3");
    IniFile again;
    again.Parse(ini.Text());
    EXPECT_EQ(again.Text(), ini.Text());
}

TEST(IniFile, FailedUpdateKeepsThePreviousFile)
{
    TemporaryFolder folder;
    const std::string path = folder / "Zembrant.ini";
    {
        IniFile ini(path);
        ini.WriteString("Backup", "Days", "7");
        std::string error;
        ASSERT_TRUE(ini.UpdateFile(error)) << error;
    }
    IniFile ini(path);
    ini.WriteString("Backup", "Days", "9");
    SetWriteFaultHook([](const std::string&) { return EIO; });
    std::string error;
    EXPECT_FALSE(ini.UpdateFile(error));
    SetWriteFaultHook({});
    EXPECT_EQ(error, "Cannot write \"" + path + "\": Input/output error");
    EXPECT_EQ(ReadText(path), "[Backup]\r\nDays=7\r\n");

    EXPECT_FALSE(IniFile().UpdateFile(error));
}

TEST(IniFile, DuplicatedNamesStayFirstWinsThroughDeletesAndErases)
{
    IniFile ini;
    ini.Parse("[A]\r\nk=1\r\nK=2\r\n[a]\r\nk=3\r\n[B]\r\nx=1\r\n");
    EXPECT_EQ(ini.ReadString("a", "K", ""), "1");
    ini.WriteString("A", "k", "4");
    ini.DeleteKey("A", "K");
    EXPECT_FALSE(ini.ValueExists("A", "k"));
    ini.WriteString("A", "New", "5");
    ini.EraseSection("b");
    ini.WriteString("B", "y", "6");
    EXPECT_EQ(ini.Text(), "[A]\r\nNew=5\r\n[a]\r\nk=3\r\n\r\n[B]\r\ny=6\r\n");
    ini.EraseSection("A");
    EXPECT_FALSE(ini.SectionExists("a"));
    EXPECT_EQ(ini.Text(), "[B]\r\ny=6\r\n");
}

TEST(IniFile, FileThatCannotBeReadIsKeptAsideBeforeTheUpdate)
{
    TemporaryFolder folder;
    const std::string path = folder / "Zembrant.ini";
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    IniFile ini(path);
    EXPECT_EQ(ini.ReadError(), "Cannot read \"" + path + "\": not a regular file");
    ini.WriteString("Backup", "Days", "7");
    std::string error;
    std::vector<std::string> warnings;
    ASSERT_TRUE(ini.UpdateFile(error, &warnings)) << error;
    EXPECT_EQ(warnings, std::vector<std::string>{"Kept \"" + path + "\", which could not be read, as \"" + path +
                                                 ".unreadable\""});
    EXPECT_EQ(ReadText(path), "[Backup]\r\nDays=7\r\n");
    EXPECT_TRUE(std::filesystem::is_fifo(path + ".unreadable"));
    ASSERT_TRUE(ini.UpdateFile(error, &warnings));
    EXPECT_EQ(warnings.size(), 1U);
}
