#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

#include "persistence/SystemFiles.h"
#include "platform/Clock.h"

namespace {

using Fields = std::vector<std::string>;

Fields Split(std::string_view line)
{
    Fields fields{"left over"};
    const int n = SplitCsvLine(line, fields);
    EXPECT_EQ(n, static_cast<int>(fields.size())) << line;
    return fields;
}

class TimeZone
{
public:
    explicit TimeZone(const char* zone)
    {
        setenv("TZ", zone, 1);
        tzset();
    }
    ~TimeZone()
    {
        setenv("TZ", "UTC", 1);
        tzset();
    }
};

}

TEST(SplitCsvLine, ReadsWhatTheWriterWritesAndWhatOlderVersionsWrote)
{
    const struct
    {
        std::string_view line;
        Fields fields;
    } cases[] = {
        {"", {}},
        {"# comment, with \"quotes\"", {}},
        {"; comment", {}},
        {"100,50,\"Fire, North\",,7", {"100", "50", "Fire, North", "", "7"}},
        {"1,", {"1", ""}},
        {"\"\",\"\"", {"", ""}},
        // Doubled quotes, as written now.
        {"1,\"Say \"\"hi\"\", then go\",2", {"1", "Say \"hi\", then go", "2"}},
        {"1,\"\"\"\",2", {"1", "\"", "2"}},
        {"1,\"a\"\",b\"", {"1", "a\",b"}},
        // Stray quotes of older, unescaped files: kept unless followed by a comma.
        {"1,\"Say \"hi\" now\",2", {"1", "Say \"hi\" now", "2"}},
        {"1,\"Station \"A\"\",1500000000,\"x\"", {"1", "Station \"A\"", "1500000000", "x"}},
        {"1,\"a\",b\"", {"1", "a", "b\""}},
        {"5 \"inch\",x", {"5 \"inch\"", "x"}},
        {"1,\"never closed, at all", {"1", "never closed, at all"}},
        {"\"", {""}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Split(c.line), c.fields) << c.line;
}

TEST(SplitCsvLine, QuotedFieldReadsBackWhateverTheText)
{
    const std::string texts[] = {"plain", " both ends ", "a\",b", "\"", "\"\"", "end\"", "\"start", "Zürich, Straße",
                                 "", ",", "a\"\",\"b"};
    for (const std::string& text : texts) {
        const std::string line = "7," + QuotedField(text) + "," + QuotedField(text) + ",9";
        EXPECT_EQ(Split(line), (Fields{"7", text, text, "9"})) << line;
    }
    EXPECT_EQ(QuotedField("two\r\nlines"), "\"two  lines\"");
}

TEST(IniText, KeepsBlanksAtTheEndsAndDropsOnePairOfQuotes)
{
    EXPECT_EQ(IniText("County"), "County");
    EXPECT_EQ(IniText(" County "), "\" County \"");
    EXPECT_EQ(IniText("\"Quoted\""), "\"\"Quoted\"\"");
    EXPECT_EQ(IniText("'x'"), "\"'x'\"");
    for (const std::string text : {"County", " County ", "\"Quoted\"", "'x'", "", "a \"b\" c"})
        EXPECT_EQ(FromIniText(IniText(text)), text);
    EXPECT_EQ(FromIniText("'Old'"), "Old");
}

TEST(LeadingNumbers, ReadLikeAtoiAndRefuseWhatIsNotThere)
{
    EXPECT_EQ(LeadingInteger("  42abc"), 42);
    EXPECT_EQ(LeadingInteger("+7"), 7);
    EXPECT_EQ(LeadingInteger("-3"), -3);
    EXPECT_EQ(LeadingInteger("x", -1), -1);
    EXPECT_EQ(LeadingInteger("99999999999999999999", -1), -1);
    EXPECT_EQ(LeadingInt32("4294967296", -1), -1);
    EXPECT_EQ(LeadingHex("00A1B2"), 0xA1B2);
    EXPECT_DOUBLE_EQ(LeadingDouble("851.00625\""), 851.00625);
    EXPECT_EQ(LeadingDouble("nan"), 0.0);
    EXPECT_EQ(LeadingDouble("1e999"), 0.0);
    EXPECT_EQ(FileVersionOf("fileversion:  7"), 7);
    EXPECT_EQ(FileVersionOf("FileVersion:"), 0);
    EXPECT_EQ(FileVersionOf("# FileVersion:7"), -1);
}

TEST(HumanTime, MatchesTheLocalTimeAcrossZoneChanges)
{
    // Eastern, Newfoundland (half-hour offset) and an offset of no whole quarters.
    for (const char* zone : {"EST5EDT,M3.2.0,M11.1.0", "NST3:30NDT,M3.2.0,M11.1.0", "LMT+4:56:02"}) {
        const TimeZone tz(zone);
        HumanTime human;
        // Two days around the spring change of 2018, in steps that cross every quarter.
        for (int64_t t = 1520640000; t < 1520812800; t += 419) {
            std::string text;
            human.Append(text, t);
            const std::string local = LocalTimeText(t);
            EXPECT_EQ(text, local.substr(0, 10) + " @ " + local.substr(11, 5)) << zone << " " << t;
        }
    }
    const TimeZone tz("EST5EDT,M3.2.0,M11.1.0");
    EXPECT_EQ(CalendarText(1520000000), "Fri Mar  2 09:13:20 2018");
    EXPECT_EQ(CalendarText(1531000000), "Sat Jul  7 17:46:40 2018");
}

TEST(TimeTexts, AnyNumberOfSecondsPrintsWithinYearsZeroToNineThousand)
{
    const TimeZone tz("UTC");
    const struct
    {
        int64_t Seconds;
        const char* Human;
        const char* Local;
        const char* Calendar;
        const char* Date;
    } cases[] = {
        {INT64_MIN, "01/01/1970 @ 00:00", "01/01/1970 00:00:00", "Thu Jan  1 00:00:00 1970", "19700101"},
        {-1, "01/01/1970 @ 00:00", "01/01/1970 00:00:00", "Thu Jan  1 00:00:00 1970", "19700101"},
        {67768036191676799, "12/31/9999 @ 23:59", "12/31/9999 23:59:59", "Fri Dec 31 23:59:59 9999", "99991231"},
        {INT64_MAX, "12/31/9999 @ 23:59", "12/31/9999 23:59:59", "Fri Dec 31 23:59:59 9999", "99991231"},
    };
    for (const auto& c : cases) {
        std::string human;
        HumanTime().Append(human, c.Seconds);
        EXPECT_EQ(human, c.Human) << c.Seconds;
        EXPECT_EQ(LocalTimeText(c.Seconds), c.Local) << c.Seconds;
        EXPECT_EQ(CalendarText(c.Seconds), c.Calendar) << c.Seconds;
        EXPECT_EQ(LocalDateStamp(c.Seconds), c.Date) << c.Seconds;
    }
    EXPECT_EQ(FileTime("67768036191676799"), LatestPrintableTime);
    EXPECT_EQ(FileTime("-5"), 0);
}

TEST(FileVersionOf, NumberThatCannotBeReadIsNoVersion)
{
    const std::pair<const char*, int> cases[] = {
        {"FileVersion:7", 7},          {"FILEVERSION: 4 ", 4},
        {"FileVersion:-99999999999999999999", UnreadableVersion},
        {"FileVersion:99999999999999999999", UnreadableVersion},
        {"FileVersion:-1", UnreadableVersion}, {"FileVersion:x", UnreadableVersion},
        {"\xEF\xBB\xBF" "FileVersion:7", -1},
    };
    for (const auto& [line, version] : cases)
        EXPECT_EQ(FileVersionOf(line), version) << line;
}
