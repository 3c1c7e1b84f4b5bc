#include "names/NamesCsv.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "model/P25Class.h"
#include "names/CsvReader.h"
#include "support/TemporaryFolder.h"

namespace {

constexpr int64_t Start = 1700000000;

class NamesCsvTest : public testing::Test
{
protected:
    NamesCsvTest() : model(clock) {}

    std::string File(const std::string& text)
    {
        WriteText(folder / "names.csv", text);
        return folder / "names.csv";
    }

    bool Import(NamesTable table, const std::string& text, TalkgroupImport choice = TalkgroupImport::All,
                NamesFormat format = NamesFormat::Auto)
    {
        return ImportNames(model, table, format, choice, File(text), report, error);
    }

    // "100 Fire p7; " per talkgroup, "7001 Engine 1; " per radio.
    std::string Talkgroups()
    {
        std::vector<TGTAG> talkgroups;
        model.GetTalkgroups(talkgroups);
        std::string text;
        for (const TGTAG& t : talkgroups)
            text += std::to_string(t.Id) + " " + t.Description + " p" + std::to_string(t.Priority) + "; ";
        return text;
    }
    std::string Radios()
    {
        std::vector<RADTAG> radios;
        model.GetRadios(radios);
        std::string text;
        for (const RADTAG& r : radios)
            text += std::to_string(r.Id) + " " + r.Description + "; ";
        return text;
    }

    // Every field of both tables.
    static std::string Tables(P25Class& model)
    {
        std::string text;
        std::vector<TGTAG> talkgroups;
        model.GetTalkgroups(talkgroups);
        for (const TGTAG& t : talkgroups)
            text += std::to_string(t.Id) + "|" + t.Description + "|" + std::to_string(t.LastSeen) + "|" +
                    std::to_string(t.Priority) + "|" + std::to_string(t.FirstSeen) + "|" + std::to_string(t.EncSeen) +
                    "|" + std::to_string(t.EmrgIgnore) + "|" + std::to_string(t.Hits) + "|" +
                    std::to_string(t.TextColor) + "|" + std::to_string(t.BackColor) + "\n";
        std::vector<RADTAG> radios;
        model.GetRadios(radios);
        for (const RADTAG& r : radios)
            text += std::to_string(r.Id) + "|" + r.Description + "|" + std::to_string(r.LastSeen) + "|" +
                    std::to_string(r.TextColor) + "|" + std::to_string(r.BackColor) + "\n";
        return text;
    }

    void FillTables()
    {
        model.SetTalkgroup(100, "Fire, \"North\"", Start - 50, 7, 1);
        model.SetTalkgroupFirstSeen(100, Start - 90);
        model.SetTalkgroupHits(100, 12);
        model.SetTalkgroupColors(100, 0x0000FF, 0xFFFFFF);
        model.MarkTalkgroupEncrypted(100);
        model.SetTalkgroup(2000, "Feuerwehr S\xC3\xBC" "d", Start - 10, 50, 0);
        model.SetRadio(7001, "Engine 1", Start - 5);
        model.SetRadioColors(7001, 0x00FF00, 0);
        model.SetRadio(16777215, "Dispatch", Start - 6);
    }

    ManualClock clock{Start};
    P25Class model;
    TemporaryFolder folder;
    NamesImportReport report;
    std::string error;
};

TEST_F(NamesCsvTest, ReadsEachFormat)
{
    const struct
    {
        NamesTable Table;
        std::string Text;
        std::string Stored;
    } cases[] = {
        {NamesTable::Talkgroups,
         "\xEF\xBB\xBF" "Decimal,Hex,Alpha Tag,Mode,Description,Tag,Category,Priority\r\n"
         "100,64,\"Fire, \"\"North\"\"\",D,Fire dispatch,Fire Dispatch,County,7\r\n"
         "200,C8,,DE,Police,,,\r\n",
         "100 Fire, \"North\" p7; 200 Police p50; "},
        {NamesTable::Talkgroups, "Decimal,Hex,Alpha Tag,Mode,Description,Tag,Category\n2000,7d0,Ops\t2  ,D,,,\n",
         "2000 Ops 2 p50; "},
        {NamesTable::Talkgroups, "id,name\n100,Feuerwehr S\xC3\xBC" "d\n\n101,\"Two\r\nlines\"\n",
         "100 Feuerwehr S\xC3\xBC" "d p50; 101 Two  lines p50; "},
        {NamesTable::Talkgroups, "Decimal,Alpha Tag\r100,Fire\r", "100 Fire p50; "},
        {NamesTable::Radios, "RID,Name\n7001,Engine 1\n", "7001 Engine 1; "},
        {NamesTable::Radios, "Zembrant Radio,Description,LastSeen,TextColor,BackColor\n16777215,Dispatch,5,#00FF00,#000000\n",
         "16777215 Dispatch; "},
        // Last: its other fields are read below.
        {NamesTable::Talkgroups,
         "Zembrant Talkgroup,Description,LastSeen,Priority,FirstSeen,EncSeen,EmrgIgnore,Hits,TextColor,BackColor\n"
         "300,Water,1600000000,9,1500000000,1,1,4,#FF0000,#000000\n",
         "300 Water p9; "},
    };
    for (const auto& c : cases) {
        model.ClearTalkgroups();
        model.ClearRadios();
        ASSERT_TRUE(Import(c.Table, c.Text)) << error;
        EXPECT_EQ(c.Table == NamesTable::Talkgroups ? Talkgroups() : Radios(), c.Stored) << c.Text;
    }
    TGTAG water;
    ASSERT_TRUE(model.GetTalkgroup(300, water));
    EXPECT_EQ(std::vector<int64_t>({water.LastSeen, water.FirstSeen, water.EncSeen, water.EmrgIgnore, water.Hits,
                                    water.TextColor, water.BackColor}),
              std::vector<int64_t>({1600000000, 1500000000, 1, 1, 4, 0x0000FF, 0}));
}

TEST_F(NamesCsvTest, RefusesBadRowsOneByOne)
{
    ASSERT_TRUE(Import(NamesTable::Talkgroups, "Decimal,Hex,Alpha Tag,Mode,Description,Tag,Category,Priority\n"
                                               "100,65,Fire,D,,,,\n"
                                               "101,65,\"Two\n"
                                               "lines\",D,,,,\n"
                                               "102,66,Water,D,,,,150\n"
                                               "0,0,Zero,D,,,,\n"
                                               "70000,,Big,D,,,,\n"
                                               "101,,Again,D,,,,\n"
                                               "103,,,D,,,,\n"
                                               "104,,Fine,D,,,,\n"));
    EXPECT_EQ(ReportText(report), "Added 2, replaced 0, kept 0, refused 6 (lines 2, 5, 6, 7, 8, 9).");
    const std::vector<std::pair<int, std::string>> refused = {
        {2, "Hex \"65\" is not Decimal 100"},
        {5, "priority \"150\" is not a whole number from 0 to 99"},
        {6, "talkgroup \"0\" is not a whole number from 1 to 65535"},
        {7, "talkgroup \"70000\" is not a whole number from 1 to 65535"},
        {8, "talkgroup 101 is on line 3 already"},
        {9, "it has no name"},
    };
    EXPECT_EQ(report.RefusedLines, refused);
    EXPECT_EQ(Talkgroups(), "101 Two lines p50; 104 Fine p50; ");

    ASSERT_TRUE(Import(NamesTable::Radios, "id,name\n7001,Engine, 1\nx,Car\n"));
    EXPECT_EQ(report.RefusedLines,
              (std::vector<std::pair<int, std::string>>{
                  {2, "it has 3 fields, not an ID and a name: a name with a comma belongs in double quotes"},
                  {3, "radio \"x\" is not a whole number from 1 to 2147483647"}}));
}

// The import keeps what the choice keeps, as the directory import does.
TEST_F(NamesCsvTest, ChoicesAsTheDirectoryImport)
{
    const std::string file = "id,name\n100,Fire\n200,Police\n300,Same\n400,New\n";
    const struct
    {
        TalkgroupImport Choice;
        std::string Report;
        std::string Stored;
    } cases[] = {
        {TalkgroupImport::New, "Added 1, replaced 0, kept 3, refused 0.",
         "100 T: 103 DT: 3/7/18@14:05 p50; 200 Typed p7; 300 Same p50; 400 New p50; "},
        {TalkgroupImport::Default, "Added 1, replaced 1, kept 2, refused 0.",
         "100 Fire p50; 200 Typed p7; 300 Same p50; 400 New p50; "},
        {TalkgroupImport::All, "Added 1, replaced 2, kept 1, refused 0.",
         "100 Fire p50; 200 Police p7; 300 Same p50; 400 New p50; "},
    };
    for (const auto& c : cases) {
        model.ClearTalkgroups();
        model.SetTalkgroup(100, "T: 103 DT: 3/7/18@14:05", 0, 50, 0);
        model.SetTalkgroup(200, "Typed", 0, 7, 1);
        model.SetTalkgroup(300, "Same", 0, 50, 0);
        ASSERT_TRUE(Import(NamesTable::Talkgroups, file, c.Choice));
        EXPECT_EQ(ReportText(report), c.Report);
        EXPECT_EQ(Talkgroups(), c.Stored);
        // A name alone leaves the emergency mark the user set.
        EXPECT_EQ(model.GetTalkgroupEmrgIgnore(200), 1);
    }
    model.AddRadio(7001, 100);
    model.SetRadio(7002, "Typed", 0);
    ASSERT_TRUE(Import(NamesTable::Radios, "id,name\n7001,Engine\n7002,Car\n", TalkgroupImport::Default));
    EXPECT_EQ(Radios(), "7001 Engine; 7002 Typed; ");
}

TEST_F(NamesCsvTest, ImportOfTheExportChangesNothing)
{
    FillTables();
    const std::string before = Tables(model);
    const std::string path = folder / "out.csv";
    for (const NamesTable table : {NamesTable::Talkgroups, NamesTable::Radios})
        for (const NamesFormat format : {NamesFormat::Zembrant, NamesFormat::Talkgroup, NamesFormat::Plain}) {
            if (table == NamesTable::Radios && format == NamesFormat::Talkgroup)
                continue;
            ASSERT_TRUE(ExportNames(model, table, format, path, error)) << error;
            ASSERT_TRUE(ImportNames(model, table, NamesFormat::Auto, TalkgroupImport::All, path, report, error)) << error;
            EXPECT_EQ(ReportText(report), "Added 0, replaced 0, kept 2, refused 0.");
            EXPECT_EQ(Tables(model), before);
        }

    // The own format restores every field into an empty model.
    const std::string talkgroups = folder / "talkgroups.csv";
    const std::string radios = folder / "radios.csv";
    ASSERT_TRUE(ExportNames(model, NamesTable::Talkgroups, NamesFormat::Auto, talkgroups, error));
    ASSERT_TRUE(ExportNames(model, NamesTable::Radios, NamesFormat::Auto, radios, error));
    P25Class copy(clock);
    ASSERT_TRUE(ImportNames(copy, NamesTable::Talkgroups, NamesFormat::Auto, TalkgroupImport::New, talkgroups,
                            report, error));
    ASSERT_TRUE(ImportNames(copy, NamesTable::Radios, NamesFormat::Auto, TalkgroupImport::New, radios, report, error));
    EXPECT_EQ(Tables(copy), before);
}

TEST_F(NamesCsvTest, ExportWritesEachFormat)
{
    FillTables();
    const std::string path = folder / "out.csv";
    const struct
    {
        NamesTable Table;
        NamesFormat Format;
        std::string Text;
    } cases[] = {
        {NamesTable::Talkgroups, NamesFormat::Zembrant,
         "Zembrant Talkgroup,Description,LastSeen,Priority,FirstSeen,EncSeen,EmrgIgnore,Hits,TextColor,BackColor\r\n"
         "100,\"Fire, \"\"North\"\"\",1699999950,7,1699999910,1,1,12,#FF0000,#FFFFFF\r\n"
         "2000,Feuerwehr S\xC3\xBC" "d,1699999990,50,1700000000,0,0,0,#000000,#000000\r\n"},
        {NamesTable::Talkgroups, NamesFormat::Talkgroup,
         "Decimal,Hex,Alpha Tag,Mode,Description,Tag,Category,Priority\r\n"
         "100,64,\"Fire, \"\"North\"\"\",DE,\"Fire, \"\"North\"\"\",,,7\r\n"
         "2000,7d0,Feuerwehr S\xC3\xBC" "d,D,Feuerwehr S\xC3\xBC" "d,,,50\r\n"},
        {NamesTable::Radios, NamesFormat::Plain, "id,name\r\n7001,Engine 1\r\n16777215,Dispatch\r\n"},
        {NamesTable::Radios, NamesFormat::Zembrant,
         "Zembrant Radio,Description,LastSeen,TextColor,BackColor\r\n"
         "7001,Engine 1,1699999995,#00FF00,#000000\r\n16777215,Dispatch,1699999994,#000000,#000000\r\n"},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(ExportNames(model, c.Table, c.Format, path, error)) << error;
        EXPECT_EQ(ReadText(path), c.Text);
    }
    EXPECT_FALSE(ExportNames(model, NamesTable::Radios, NamesFormat::Talkgroup, path, error));
    EXPECT_FALSE(ExportNames(model, NamesTable::Radios, NamesFormat::Plain, folder / "none/out.csv", error));
}

TEST_F(NamesCsvTest, BadFilesChangeNothing)
{
    FillTables();
    const std::string before = Tables(model);
    const std::string path = folder / "names.csv";
    const std::string header = "Decimal,Hex,Alpha Tag,Mode,Description,Tag,Category\n";
    const struct
    {
        NamesTable Table;
        std::string Text;
        std::string Error;
    } cases[] = {
        {NamesTable::Talkgroups, header + "1,1,One,D,,,\n2,2,M\xFCller,D,,,\n",
         path + ": line 3 is not UTF-8 text; save the file as UTF-8"},
        {NamesTable::Talkgroups, "Decimal,Hex,Mode,Description\n1,1,D,One\n",
         path + ": the header has no column \"Alpha Tag\""},
        {NamesTable::Radios, "Zembrant Radio,Description,LastSeen,TextColor\n", path + ": the header has no column \"BackColor\""},
        {NamesTable::Radios, header, path + ": the layout \"Decimal,Hex,Alpha Tag,...\" holds talkgroups, not radios"},
        {NamesTable::Talkgroups, "Talkgroup;Name\n1;One\n",
         path + ": the first line is no header of a names file: it starts \"Zembrant Talkgroup\", \"Zembrant Radio\" "
                "or \"Decimal,Hex\", or has two columns such as \"id,name\""},
        {NamesTable::Talkgroups, header + std::string(3 << 20, 'x'), path + ": line 2 is longer than 65536 bytes"},
        {NamesTable::Talkgroups, header + "1,1,One" + std::string(1, '\0') + ",D,,,\n",
         path + ": line 2 holds a NUL byte: this is no text file"},
        {NamesTable::Talkgroups, std::string("\xFF\xFE" "D\0e\0", 6), path + " is UTF-16 text; save it as UTF-8"},
        {NamesTable::Talkgroups, header + "1,1,\"One,D,,,\n2,2,Two,D,,,\n",
         path + ": a quoted field opened on line 2 never closes"},
        {NamesTable::Talkgroups, "", path + " is empty: it has no header line"},
        {NamesTable::Talkgroups, "\xEF\xBB\xBF\r\n\r\n", path + " is empty: it has no header line"},
    };
    for (const auto& c : cases) {
        EXPECT_FALSE(Import(c.Table, c.Text));
        EXPECT_EQ(error, c.Error);
        EXPECT_EQ(report.Added + report.Replaced + report.Kept + report.Refused, 0);
        EXPECT_EQ(Tables(model), before);
    }
    EXPECT_FALSE(ImportNames(model, NamesTable::Talkgroups, NamesFormat::Auto, TalkgroupImport::All, folder / "missing",
                             report, error));
    EXPECT_EQ(error, "cannot open " + (folder / "missing") + ": No such file or directory");
}

TEST(NamesReport, ListsTheFirstRefusedLines)
{
    NamesImportReport report{1, 2, 3, 0, {}};
    EXPECT_EQ(ReportText(report), "Added 1, replaced 2, kept 3, refused 0.");
    report.RefusedLines.emplace_back(7, "");
    report.Refused = 1;
    EXPECT_EQ(ReportText(report), "Added 1, replaced 2, kept 3, refused 1 (line 7).");
    for (int line = 8; line < 29; ++line)
        report.RefusedLines.emplace_back(line, "");
    report.Refused = 22;
    EXPECT_EQ(ReportText(report), "Added 1, replaced 2, kept 3, refused 22 (lines 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, "
                                  "17, 18, 19, 20, 21, 22, 23, 24, 25, 26 and 2 more).");
}

}
