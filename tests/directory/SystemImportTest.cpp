#include "directory/SystemImport.h"

#include <gtest/gtest.h>
#include <map>

#include "directory/Answers.h"
#include "directory/DirectoryRecord.h"
#include "model/P25Class.h"
#include "persistence/Config.h"
#include "persistence/SystemFiles.h"
#include "platform/Files.h"
#include "support/TemporaryFolder.h"

namespace {

class FakeExchange : public DirectoryExchange
{
public:
    std::chrono::milliseconds TimeOut() const override { return std::chrono::seconds(45); }
    bool Post(const std::string& soapAction, const std::string& body, const Deadline&, HttpAnswer& answer,
              std::string& error) override
    {
        const std::string operation = soapAction.substr(soapAction.find('#') + 1, soapAction.size() - soapAction.find('#') - 2);
        Calls += operation + " ";
        Bodies.push_back(body);
        if (!TransportError.empty()) {
            error = TransportError;
            return false;
        }
        answer = Answers[operation];
        return true;
    }

    std::map<std::string, HttpAnswer> Answers;
    std::string TransportError;
    std::string Calls;
    std::vector<std::string> Bodies;
};

class FakeUser : public ImportUser
{
public:
    void ShowStatus(const std::string& text) override { Log += text + "\n"; }
    void HideStatus() override { Log += "(hidden)\n"; }
    void ShowMessage(const std::string& caption, const std::string& text) override
    {
        Log += "[" + caption + "] " + text + "\n";
    }
    bool AskYesNo(const std::string& caption, const std::string& text) override
    {
        Log += "[" + caption + "?] " + text + "\n";
        return Yes;
    }
    int ChooseSystem(const std::vector<TrsListDef>& systems) override
    {
        for (const TrsListDef& s : systems)
            Log += "(" + std::to_string(s.sid) + " " + s.sName + " " + s.sCity + ")";
        Log += "\n";
        return Choice;
    }
    void OpenPage(const std::string& address) override { Log += "(open " + address + ")\n"; }
    void Pause(int milliseconds) override { Log += "(" + std::to_string(milliseconds) + " ms)\n"; }

    std::string Log;
    int Choice = -1;
    bool Yes = false;
};

const std::string Start = "*Initializing*\n(100 ms)\n*Requesting System Info*\n";
const std::string End = "*Import Complete*\n(1000 ms)\n(hidden)\n";

class SystemImportTest : public ::testing::Test
{
protected:
    SystemImportTest()
    {
        // The import keeps its answers in the system folder.
        model.SetDataFolder(data.Path());
        model.SetSystemAndSite(0x3A1, 1, 0x70, 3);
        config.RRWebEnabled = true;
        config.RRUserName = "scanner";
        config.RRPassword = "secret";
        Answer("getTrsBySysid", System(2901, "County P25", "Springfield"));
        Answer("getTrsSites", Site(1, "North", 1) + Site(3, "East", 1) + Site(1005, "Ten-Five", 0) +
                                  Site(25600, "Too High", 0) + Site(-5, "Negative", 0));
        Answer("getTrsTalkgroups", Group(100, "Fire", "FD100") + Group(200, "Police", "PD200") +
                                       Group(300, "Roads", "RD300") + Group(400, "Water", "") + Group(500, "", "") +
                                       Group(600, "Same", "Same"));
    }

    void Answer(const std::string& operation, const std::string& items, int status = 200)
    {
        exchange.Answers[operation] = {status, ::Answer(operation, items)};
    }

    ImportResult Import(IMPORTOPTIONS options = {})
    {
        return ImportSystem(model, exchange, user, settings, config, "3A1", options);
    }

    std::string Towers()
    {
        std::vector<TOWERS> towers;
        model.GetTowers(towers);
        std::string text;
        for (const TOWERS& t : towers)
            text += std::to_string(t.Rfss) + "-" + std::to_string(t.Site) + " " + t.Description + "; ";
        return text;
    }

    std::string Talkgroups()
    {
        std::vector<TGTAG> talkgroups;
        model.GetTalkgroups(talkgroups);
        std::string text;
        for (const TGTAG& t : talkgroups)
            text += std::to_string(t.Id) + " " + (t.Description.starts_with("T: ") ? "(default)" : t.Description) +
                    (t.EmrgIgnore ? " !" : "") + " p" + std::to_string(t.Priority) + "; ";
        return text;
    }

    TemporaryFolder data;
    ManualClock clock{1700000000};
    P25Class model{clock};
    FakeExchange exchange;
    FakeUser user;
    DIRECTORYSETTINGS settings;
    CONFIG config;
};

}

TEST_F(SystemImportTest, PreconditionsInOrder)
{
    const struct
    {
        bool Enabled;
        std::string User;
        std::string Password;
        bool Decoding;
        std::string SysId;
        std::string Message;
    } cases[] = {
        {false, "", "", false, "000",
         "[RR Service not enabled] RadioReference Web Service must be configured and enabled in the configuration menu\n"},
        {true, "u", "", true, "3A1",
         "[RR Service not configured] RadioReference Web Service User Name and Password must be configured in the "
         "configuration menu\n"},
        {true, "", "p", true, "3A1",
         "[RR Service not configured] RadioReference Web Service User Name and Password must be configured in the "
         "configuration menu\n"},
        {true, "u", "p", false, "3A1",
         "[No Decode in Progress] Zembrant must be actively decoding a control channel to use this function.\n"},
        {true, "u", "p", true, "000",
         "[No Decode in Progress] Zembrant must be actively decoding a control channel to use this function.\n"},
        {true, "u", "p", true, "3A1", ""},
    };
    for (const auto& c : cases) {
        user.Log.clear();
        config.RRWebEnabled = c.Enabled;
        config.RRUserName = c.User;
        config.RRPassword = c.Password;
        EXPECT_EQ(CheckImportPreconditions(config, c.Decoding, c.SysId, user), c.Message.empty()) << c.Message;
        EXPECT_EQ(user.Log, c.Message);
    }
    EXPECT_FALSE(CanImport({SiteImport::None, TalkgroupImport::None}));
    EXPECT_TRUE(CanImport({SiteImport::None, TalkgroupImport::New}));
    EXPECT_TRUE(CanImport({SiteImport::Replace, TalkgroupImport::None}));
    EXPECT_EQ(SystemIdText(0x3A1), "3A1");
    EXPECT_EQ(SystemIdText(0x12), "012");
}

TEST_F(SystemImportTest, OneSystemWithEveryStep)
{
    model.SetTowerDescription(1, 1, "Known Site");
    ASSERT_EQ(Import(), ImportResult::Imported);
    EXPECT_EQ(user.Log, Start + "*Processing System Info*\n*Requesting Site Info*\n*Processing Site Info*\n"
                                "*Requesting TG Info*\n*Processing TG Info*\n" + End);
    EXPECT_EQ(exchange.Calls, "getTrsBySysid getTrsSites getTrsTalkgroups ");
    EXPECT_NE(exchange.Bodies[0].find("<sysid xsi:type=\"xsd:string\">3A1</sysid>\n<authInfo"), std::string::npos);
    EXPECT_NE(exchange.Bodies[1].find("<username xsi:type=\"xsd:string\">scanner</username>\n"
                                      "<password xsi:type=\"xsd:string\">secret</password>\n"
                                      "<appKey xsi:type=\"xsd:string\">57302846</appKey>\n"
                                      "<version xsi:type=\"xsd:string\">9</version>"),
              std::string::npos);
    EXPECT_NE(exchange.Bodies[2].find("<sid xsi:type=\"xsd:int\">2901</sid>"), std::string::npos);
    SYSINFO info;
    model.GetSystemInfo(info);
    EXPECT_EQ(info.SystemDescription, "County P25");
    // The current site (1, 3) takes its new tower name.
    EXPECT_EQ(info.SiteDescription, "East");
}

TEST_F(SystemImportTest, OptionsDecideWhatIsWritten)
{
    const std::map<SiteImport, std::string> towers = {
        {SiteImport::New, "1-1 Known Site; 1-3 East; 10-5 Ten-Five; "},
        {SiteImport::Replace, "1-1 North; 1-3 East; 10-5 Ten-Five; "},
        {SiteImport::None, "1-1 Known Site; "},
    };
    const std::map<TalkgroupImport, std::string> talkgroups = {
        {TalkgroupImport::New, "100 (default) p50; 200 Typed ! p7; 300 RD300 p50; 400 Water p50; 600 Same ! p50; "},
        {TalkgroupImport::Default, "100 FD100 p50; 200 Typed ! p7; 300 RD300 p50; 400 Water p50; 600 Same ! p50; "},
        {TalkgroupImport::All, "100 FD100 p50; 200 PD200 p7; 300 RD300 p50; 400 Water p50; 600 Same p50; "},
        {TalkgroupImport::None, "100 (default) p50; 200 Typed ! p7; 600 Same ! p50; "},
    };
    for (const auto& [siteOption, towerText] : towers) {
        for (const auto& [talkgroupOption, talkgroupText] : talkgroups) {
            model.ClearTowers();
            model.SetTowerDescription(1, 1, "Known Site");
            model.ClearTalkgroups();
            model.AddTalkgroup(100);
            model.SetTalkgroup(200, "Typed", 0, 7, 1);
            model.SetTalkgroup(600, "Same", 0, 255, 1);
            exchange.Calls.clear();
            EXPECT_EQ(Import({siteOption, talkgroupOption}), ImportResult::Imported);
            const std::string context = std::to_string(static_cast<int>(siteOption)) + "/" +
                                        std::to_string(static_cast<int>(talkgroupOption));
            EXPECT_EQ(Towers(), towerText) << context;
            EXPECT_EQ(Talkgroups(), talkgroupText) << context;
            EXPECT_EQ(exchange.Calls, std::string("getTrsBySysid ") +
                                          (siteOption != SiteImport::None ? "getTrsSites " : "") +
                                          (talkgroupOption != TalkgroupImport::None ? "getTrsTalkgroups " : ""))
                << context;
        }
    }
}

TEST_F(SystemImportTest, SharedSystemIdAsksWhichSystem)
{
    Answer("getTrsBySysid", System(2901, "County P25", "Springfield") + System(4400, "State Net", "Capital"));
    model.SetTowerDescription(1, 3, "Mine");
    const std::string asked = Start + "*Multiple Systems*\n*Select System*\n"
                                      "(2901 County P25 Springfield)(4400 State Net Capital)\n";

    EXPECT_EQ(Import(), ImportResult::NotChosen);
    EXPECT_EQ(user.Log, asked + End);
    EXPECT_EQ(exchange.Calls, "getTrsBySysid ");
    EXPECT_EQ(Towers(), "1-3 Mine; ");
    SYSINFO info;
    model.GetSystemInfo(info);
    EXPECT_EQ(info.SystemDescription, "");

    user.Log.clear();
    user.Choice = 1;
    EXPECT_EQ(Import({SiteImport::None, TalkgroupImport::New}), ImportResult::Imported);
    EXPECT_NE(exchange.Bodies.back().find("<sid xsi:type=\"xsd:int\">4400</sid>"), std::string::npos);
    model.GetSystemInfo(info);
    EXPECT_EQ(info.SystemDescription, "State Net");
}

// Names are checked as UTF-8 first, then cut: a replaced byte takes three.
TEST_F(SystemImportTest, NamesAreValidUtf8CutToTheModelsLength)
{
    const struct
    {
        std::string Sent;
        std::string Stored;
    } cases[] = {
        {std::string(198, 'n') + "\xC3\xBC", std::string(198, 'n')},
        {std::string(197, 'n') + "\xFF", std::string(197, 'n')},
        {"Fire \xFF\xC3(", "Fire \xEF\xBF\xBD\xEF\xBF\xBD("},
    };
    for (const auto& c : cases) {
        Answer("getTrsBySysid", System(1, c.Sent, ""));
        Answer("getTrsSites", Site(3, c.Sent, 1));
        Answer("getTrsTalkgroups", Group(100, "", c.Sent));
        model.ClearTowers();
        Import({SiteImport::New, TalkgroupImport::All});
        SYSINFO info;
        model.GetSystemInfo(info);
        EXPECT_EQ(info.SystemDescription, c.Stored);
        EXPECT_EQ(model.GetTowerDescription(1, 3), c.Stored);
        EXPECT_EQ(model.GetTalkgroupDescription(100), c.Stored);
    }
}

TEST_F(SystemImportTest, EachErrorHasItsMessage)
{
    const std::string webError = "An error has occured while attempting to import data from \n"
                                 "the RadioReference web service.  The error message provided is:\n\n";
    const std::string cdError = "An error has occured while attempting to import data from \n"
                                "the RadioReference CD-ROM.  The error message provided is:\n\n";
    const struct
    {
        int Status;
        std::string Body;
        std::string TransportError;
        std::string Message;
    } cases[] = {
        {500, Fault("Invalid or empty application key specified"), "",
         "[Invalid or empty application key specified] Zembrant provided an invalid application key to the Radio "
         "Reference\nweb service and was denied access to the service.\n\n"
         "Please report this error to the software author as soon as possible.\n\n"},
        {500, Fault("Invalid Username or Password"), "",
         "[Invalid Username or Password] The User name or Password set in the configuration screen\n"
         "is invalid.  Please check these settings and try the import\n"
         "from the Radio Reference Web Service again.\n\n"
         "Note: A premium subscription from the RadioReference web site\nis required to use this feature.\n"},
        {200, Fault("Access denied: Not a premium subscriber."), "",
         "[Not a premium subscriber.?] RadioReference Web service has indicated that the user name\n"
         "and password supplied does not have a valid premium subscription.\n\n"
         "RadioReference Web Service requires an active subscription\nfor access to the available data.\n\n"
         "Would you like to visit the subscription page on the RadioReference web site?\n"},
        {500, Fault("Invalid username or password"), "",
         "[RadioReference Web Service Error] An error has occured while attempting to import this system's\n"
         "data from the RadioReference web service.  The error message provided is:\n\n"
         "Invalid username or password\n"},
        {200, "<p>", "", "[RadioReference Web Service Error] " + webError +
                             "The answer is not well-formed XML: Start-end tags mismatch at offset 2\n"},
        {200, ::Answer("getTrsBySysid", "<item><sid>x</sid></item>"), "",
         "[RadioReference Web Service Error] " + webError + "'x' is not a valid integer value for sid\n"},
        {404, "<html><body>Not Found</body></html>", "",
         "[RadioReference CD-ROM Import Error] " + cdError + "The server answered with HTTP status 404\n"},
        {0, "", "Connection refused: A connection with the server could not be established",
         "[RadioReference CD-ROM Import Error] Zembrant was unable to connect to the local web server on\n"
         "the RadioReference CD-ROM. Please ensure that the CD-ROM\nhas been placed in the CD-ROM drive on your "
         "computer, and the\nlocal web server has been started.\n\n"},
        {0, "", "Operation timed out", "[RadioReference CD-ROM Import Error] " + cdError + "Operation timed out\n"},
    };
    for (const auto& c : cases) {
        user.Log.clear();
        exchange.Answers["getTrsBySysid"] = {c.Status, c.Body};
        exchange.TransportError = c.TransportError;
        EXPECT_EQ(Import(), ImportResult::Failed);
        EXPECT_EQ(user.Log, Start + "**Error!**\n" + c.Message + End);
    }

    user.Log.clear();
    user.Yes = true;
    exchange.TransportError.clear();
    settings.SubscriptionPage = "https://example.org/apps/subscription";
    exchange.Answers["getTrsBySysid"] = {500, Fault("Not a premium subscriber.")};
    Import();
    EXPECT_TRUE(user.Log.ends_with("(open https://example.org/apps/subscription)\n" + End));
}

TEST_F(SystemImportTest, WhatWasStoredBeforeAnErrorStays)
{
    exchange.Answers["getTrsTalkgroups"] = {500, Fault("Server busy")};
    EXPECT_EQ(Import(), ImportResult::Failed);
    EXPECT_EQ(Towers(), "1-1 North; 1-3 East; 10-5 Ten-Five; ");
    EXPECT_EQ(Talkgroups(), "");
    SYSINFO info;
    model.GetSystemInfo(info);
    EXPECT_EQ(info.SiteDescription, "East");
}

TEST_F(SystemImportTest, UnusableAddressAsksNothing)
{
    settings.Endpoint = "api.radioreference.com/soap2";
    EXPECT_EQ(Import(), ImportResult::NoService);
    EXPECT_EQ(user.Log, "*Initializing*\n(100 ms)\n[Error] Failed to initialize the RR Web Service Handler\n(hidden)\n");
    EXPECT_EQ(exchange.Calls, "");
    for (const char* address : {"https://", "ftp://host/", "http:///x", "https://host name/"})
        EXPECT_FALSE(IsUsableEndpoint(address)) << address;
    EXPECT_TRUE(IsUsableEndpoint("HTTPS://127.0.0.1:8443/soap2/index.php"));
}

TEST_F(SystemImportTest, KeepsTheAnswersForTheComparison)
{
    const std::string folder = SystemFolderPath(data.Path(), 0x3A1);
    Answer("getTrsSites", Site(1, "North", 1, Freq("851.0125", "c") + Freq(" 851.5 ", "a") + Freq("852.0125", "")) +
                              Site(1005, "Ten-Five", 0, ""));
    Answer("getTrsTalkgroups", Group(100, "Fire Dispatch", "FD100", "DE", 3, {"Fire Dispatch", "Fire-Tac"}) +
                                   Group(200, "Police", "", "T"));
    exchange.Answers["getTrsTalkgroups"].Status = 500;
    exchange.Answers["getTrsTalkgroups"].Body = Fault("Server busy");
    EXPECT_EQ(Import(), ImportResult::Failed);
    EXPECT_FALSE(FileExists(folder + DirectoryFileName));

    Answer("getTrsTalkgroups", Group(100, "Fire Dispatch", "FD100", "DE", 3, {"Fire Dispatch", "Fire-Tac"}) +
                                   Group(200, "Police", "", "T"));
    ASSERT_EQ(Import(), ImportResult::Imported);
    std::string text;
    ASSERT_TRUE(ReadFileText(folder + DirectoryFileName, text));
    EXPECT_EQ(text, R"({
	"format": 1,
	"system": {
		"name": "County P25",
		"sysid": "3A1",
		"sid": 2901,
		"imported": 1700000000
	},
	"sites": [
		{
			"rfss": 1,
			"site": 1,
			"description": "North",
			"frequencies": [
				{
					"frequency": 851.0125,
					"use": "control"
				},
				{
					"frequency": 851.5,
					"use": "alternate"
				},
				{
					"frequency": 852.0125,
					"use": ""
				}
			]
		},
		{
			"rfss": 10,
			"site": 5,
			"description": "Ten-Five",
			"frequencies": []
		}
	],
	"talkgroups": [
		{
			"id": 100,
			"alphaTag": "FD100",
			"description": "Fire Dispatch",
			"mode": "DE",
			"category": 3,
			"tags": [
				"Fire Dispatch",
				"Fire-Tac"
			]
		},
		{
			"id": 200,
			"alphaTag": "",
			"description": "Police",
			"mode": "T"
		}
	]
}
)");

    // A part the next import skips stays as the last one that asked for it had it.
    Answer("getTrsTalkgroups", Group(300, "Roads", "RD300", "A"));
    ASSERT_EQ(Import({SiteImport::None, TalkgroupImport::New}), ImportResult::Imported);
    DirectoryRecord record;
    std::string error;
    ASSERT_TRUE(LoadDirectoryRecord(folder, record, error)) << error;
    ASSERT_EQ(record.Sites.size(), 2u);
    EXPECT_EQ(record.Sites[0].Frequencies.size(), 3u);
    ASSERT_EQ(record.Talkgroups.size(), 1u);
    EXPECT_EQ(record.Talkgroups[0].Mode, "A");

    // Another system of the same ID starts afresh.
    Answer("getTrsBySysid", System(4400, "State Net", "Capital"));
    ASSERT_EQ(Import({SiteImport::None, TalkgroupImport::New}), ImportResult::Imported);
    ASSERT_TRUE(LoadDirectoryRecord(folder, record, error)) << error;
    EXPECT_FALSE(record.HasSites);
    EXPECT_TRUE(record.Sites.empty());
    EXPECT_EQ(record.Sid, 4400);
}
