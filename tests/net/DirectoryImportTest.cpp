// The import through the real transport against servers that misbehave: in this process,
// and through zembrant-cli, whose memory is measured from outside.
#include <gtest/gtest.h>

#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>

#include <QCoreApplication>

#include "LoopbackServer.h"
#include "directory/Answers.h"
#include "directory/SystemImport.h"
#include "model/P25Class.h"
#include "persistence/Config.h"
#include "support/TemporaryFolder.h"
#include "ui/net/HttpExchange.h"

extern char** environ;

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// The stand-in service: a reply for each operation named by the SOAPAction.
LoopbackServer::Handler ByOperation(std::map<std::string, HTTPREPLY> replies)
{
    return [replies = std::move(replies)](const HTTPREQUEST& request) {
        const QByteArray action = request.Header("soapaction");
        const auto found = replies.find(action.mid(action.indexOf('#') + 1).replace("\"", "").toStdString());
        return found != replies.end() ? found->second : HTTPREPLY{HTTPREPLY::Kind::Answer, 404, {}, "none"};
    };
}

HTTPREPLY Reply(const std::string& body, HTTPREPLY::Kind kind = HTTPREPLY::Kind::Answer, int status = 200)
{
    return {kind, status, {{"Content-Type", "text/xml; charset=utf-8"}}, QByteArray::fromStdString(body)};
}

std::string Endpoint(const LoopbackServer& server)
{
    return "http://127.0.0.1:" + std::to_string(server.Port()) + "/soap2/index.php";
}

// Nobody to ask: the notices are kept for the test to read.
class Notices : public ImportUser
{
public:
    void ShowStatus(const std::string&) override {}
    void HideStatus() override {}
    void ShowMessage(const std::string& caption, const std::string& text) override
    {
        Text += "[" + caption + "] " + text + "\n";
    }
    bool AskYesNo(const std::string&, const std::string&) override { return false; }
    int ChooseSystem(const std::vector<TrsListDef>&) override { return -1; }
    void OpenPage(const std::string&) override {}
    void Pause(int) override {}

    std::string Text;
};

Clock::duration Import(P25Class& model, const LoopbackServer& server, Notices& user, int32_t timeOutMs,
                       IMPORTOPTIONS options, ImportResult& result)
{
    TRANSPORTSETTINGS transport;
    transport.Endpoint = Endpoint(server);
    transport.UserAgent = "Zembrant/0.1.0B1";
    transport.TimeOutMs = timeOutMs;
    transport.ProxyType = 2;
    HttpExchange exchange(transport);
    DIRECTORYSETTINGS settings;
    settings.Endpoint = transport.Endpoint;
    CONFIG config;
    config.RRUserName = "scanner";
    config.RRPassword = "secret";
    const auto start = Clock::now();
    result = ImportSystem(model, exchange, user, settings, config, "1A4", options);
    return Clock::now() - start;
}

// A data folder with system 1A4 and a configuration that points at the service.
void WriteDataFolder(const std::string& folder, const LoopbackServer& server)
{
    WriteText(folder + "Zembrant.ini", "[RRWebService]\r\nEnabled=Yes\r\nUserName=scanner\r\nPassword=str\r\nEndpoint=" +
                                           Endpoint(server) + "\r\n[Proxy]\r\nType=2\r\n");
    WriteText(folder + "System1A4/System.ini",
              "[System]\r\nSystemID=420\r\nSystemIDHEX=1A4\r\nDescription=Old Name\r\n[Towers]\r\n001002=Hilltop\r\n");
    WriteText(folder + "System1A4/TalkGroups.txt",
              "FileVersion:7\r\n200,50,\"Typed\",1700000000,\"x\",0,\"Unknown\",\"#000000\",\"#FFFFFF\",\"N\",4,0\r\n");
}

std::map<std::string, std::string> SystemFiles(const std::string& folder)
{
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(folder + "System1A4"))
        files[entry.path().filename().string()] = ReadText(entry.path().string());
    return files;
}

struct CliRun
{
    int Exit = -1;
    long MaxRssKb = 0;
};

// zembrant-cli import while this thread serves its calls; its messages go to folder/err.
CliRun RunImport(const std::string& folder, std::vector<std::string> args)
{
    args.insert(args.begin(), {ZEMBRANT_CLI, "import", "--system", "1A4", "--data-dir", folder, "--quiet"});
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, (folder + "err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    CliRun run;
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, ZEMBRANT_CLI, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    rusage usage{};
    while (spawned == 0 && wait4(pid, &status, WNOHANG, &usage) == 0) {
        QCoreApplication::processEvents();
        std::this_thread::sleep_for(2ms);
    }
    run.Exit = spawned == 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.MaxRssKb = usage.ru_maxrss;
    return run;
}

const std::string OneSystem = Answer("getTrsBySysid", System(3, "Metro Area", "Springfield"));

}

// However slowly the bytes come, the call ends at its time-out, not at the server's pace.
TEST(DirectoryImport, ADrippingServerEndsWithinTheTimeOut)
{
    LoopbackServer server(ByOperation({{"getTrsBySysid", Reply(OneSystem, HTTPREPLY::Kind::Drip)}}));
    P25Class model;
    Notices user;
    ImportResult result = ImportResult::Imported;
    EXPECT_LT(Import(model, server, user, 2000, {}, result), 3s);
    EXPECT_EQ(result, ImportResult::Failed);
    EXPECT_EQ(user.Text, "[RadioReference CD-ROM Import Error] An error has occured while attempting to import data "
                         "from \nthe RadioReference CD-ROM.  The error message provided is:\n\n"
                         "Timed out after 2 seconds waiting for the server's answer\n");
}

// 100,000 items that all refer to one record of 400,000 members, its fields last.
TEST(DirectoryImport, ManyReferencesToOneLargeRecordEndWithinTheTimeOut)
{
    std::string items;
    for (int i = 0; i < 100000; ++i)
        items += "<item href=\"#r\"/>";
    std::string record = "<multiRef id=\"r\">";
    for (int i = 0; i < 399998; ++i)
        record += "<x/>";
    record += "<tgDec>100</tgDec><tgAlpha>Shared</tgAlpha></multiRef>";
    LoopbackServer server(ByOperation({{"getTrsBySysid", Reply(OneSystem)},
                                             {"getTrsTalkgroups", Reply(Answer("getTrsTalkgroups", items, record))}}));
    P25Class model;
    Notices user;
    ImportResult result = ImportResult::Failed;
    EXPECT_LT(Import(model, server, user, 5000, {SiteImport::None, TalkgroupImport::All}, result), 6s);
    EXPECT_EQ(result, ImportResult::Imported) << user.Text;
    EXPECT_EQ(model.GetTalkgroupDescription(100), "Shared");
}

// 2,000 talkgroups whose alpha tag is one shared value of 2 MB: each keeps what the model
// keeps of it, and the program stays far below what 2,000 copies of it would take.
TEST(DirectoryImport, ASharedLargeValueIsNotCopiedIntoEachRecord)
{
    std::string items;
    for (int i = 1; i <= 2000; ++i)
        items += "<item><tgDec>" + std::to_string(i) + "</tgDec><tgAlpha href=\"#tag\"/></item>";
    const std::string tag = "<multiRef id=\"tag\">" + std::string(2 << 20, 'A') + "</multiRef>";
    LoopbackServer server(ByOperation({{"getTrsBySysid", Reply(OneSystem)},
                                             {"getTrsTalkgroups", Reply(Answer("getTrsTalkgroups", items, tag))}}));
    const TemporaryFolder folder;
    WriteDataFolder(folder.Path(), server);
    const CliRun run = RunImport(folder.Path(), {"--sites", "none", "--talkgroups", "all"});
    EXPECT_EQ(run.Exit, 0) << ReadText(folder / "err");
    EXPECT_NE(SystemFiles(folder.Path())["TalkGroups.txt"].find("\r\n2000,50,\"" + std::string(MaxTextLength, 'A') + "\","),
              std::string::npos);
#if !defined(__SANITIZE_ADDRESS__)
    EXPECT_LT(run.MaxRssKb, 200 * 1024);
#endif
}

TEST(DirectoryImport, AFailedImportLeavesTheFolderAsItWas)
{
    LoopbackServer server(ByOperation({{"getTrsBySysid", Reply(OneSystem)},
                                             {"getTrsSites", Reply(Answer("getTrsSites", Site(2, "North Ridge", 1)))},
                                             {"getTrsTalkgroups", Reply(Fault("Server busy"), HTTPREPLY::Kind::Answer, 500)}}));
    const TemporaryFolder folder;
    WriteDataFolder(folder.Path(), server);
    const auto before = SystemFiles(folder.Path());
    EXPECT_EQ(RunImport(folder.Path(), {"--talkgroups", "all"}).Exit, 1);
    EXPECT_NE(ReadText(folder / "err").find("Server busy"), std::string::npos);
    EXPECT_EQ(SystemFiles(folder.Path()), before);
}
