// The history end to end: the real zembrant-cli replays a capture made here, and its
// history answers with exactly the rows its CSV logs hold.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <thread>

#include "support/TemporaryFolder.h"

namespace {

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// The quoted or bare fields of one CSV line as the logs write them (no quotes inside).
std::vector<std::string> Fields(std::string line)
{
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    std::vector<std::string> fields;
    std::string field;
    bool quoted = false;
    for (const char c : line) {
        if (c == '"')
            quoted = !quoted;
        else if (c == ',' && !quoted)
            fields.push_back(std::exchange(field, {}));
        else
            field += c;
    }
    fields.push_back(field);
    return fields;
}

// The rows of a CSV file or text, without its header.
std::vector<std::vector<std::string>> Rows(const std::string& text)
{
    std::vector<std::vector<std::string>> rows;
    std::istringstream in(text);
    std::string line;
    std::getline(in, line);
    while (std::getline(in, line))
        rows.push_back(Fields(line));
    return rows;
}

std::string Output(const std::string& command)
{
    std::string out;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[65536];
        for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;)
            out.append(buffer, n);
        pclose(pipe);
    }
    return out;
}

// A grant as both sides can tell it: time, kind, channel.
using Key = std::string;
using Keys = std::multiset<Key>;

class HistoryEndToEnd : public ::testing::Test
{
protected:
    TemporaryFolder folder;
    std::string capture;
    std::string system;

    void SetUp() override
    {
        capture = folder / "capture.txt";
        const std::string make = std::string(ZEMBRANT_SIM) + " capture --kind zembrantdump --blocks 20000 --seed 5 -o " +
                                 capture + " > /dev/null";
        ASSERT_EQ(std::system(make.c_str()), 0);
        // Refused affiliations reach the log too, so that it holds every row the history does.
        std::ofstream(folder / "Zembrant.ini") << "[Affiliations]\nLogDenied=Yes\n";
    }

    int Replay(const std::string& data, const std::string& logs)
    {
        std::filesystem::create_directories(data);
        std::filesystem::copy_file(folder / "Zembrant.ini", data + "/Zembrant.ini",
                                   std::filesystem::copy_options::overwrite_existing);
        const std::string command = "TZ=UTC " + std::string(ZEMBRANT_CLI) + " replay " + capture +
                                    " --data-dir " + data + " --logs " + logs +
                                    " --clock-start 1700000000 --quiet 2> /dev/null";
        return std::system(command.c_str());
    }

    std::string SystemFolder(const std::string& data)
    {
        for (const auto& entry : std::filesystem::directory_iterator(data))
            if (entry.is_directory() && entry.path().filename().string().starts_with("System")) {
                system = entry.path().filename().string().substr(6);
                return entry.path().string() + "/";
            }
        return data;
    }

    std::string LogFile(const std::string& folderPath, const std::string& kind)
    {
        for (const auto& entry : std::filesystem::directory_iterator(folderPath))
            if (entry.path().filename().string().starts_with(kind + "-"))
                return entry.path().string();
        return folderPath + kind;
    }

    std::string History(const std::string& data, const std::string& query)
    {
        return Output("TZ=UTC " + std::string(ZEMBRANT_CLI) + " history --data-dir " + data + " --system " + system +
                   " --csv " + query);
    }
};

// "Group (Enc)" -> "Group"; "852.53750/1" -> "852.53750"; no frequency is "0.00000".
Key LogKey(const std::vector<std::string>& row)
{
    const std::string type = row[1].substr(0, row[1].find(" ("));
    return row[0] + "|" + type + "|" + row[2];
}

// History CSV: Time, Epoch, Kind, Type, RFSS, Site, Channel, ...
Key HistoryKey(const std::vector<std::string>& row)
{
    return row[0] + "|" + row[3] + "|" + row[6];
}

Keys HistoryKeys(const std::string& csv)
{
    Keys keys;
    for (const auto& row : Rows(csv))
        keys.insert(HistoryKey(row));
    return keys;
}

int Number(const std::string& cell)
{
    return std::atoi(cell.c_str());
}

}

TEST_F(HistoryEndToEnd, AnswersWithTheRowsOfTheLogsWhateverTheListsShow)
{
    const std::string shown = folder / "shown";
    const std::string hidden = folder / "hidden";
    ASSERT_EQ(Replay(shown, "all"), 0);
    ASSERT_EQ(Replay(hidden, "none"), 0);
    const std::string logs = SystemFolder(shown);
    const auto grants = Rows(ReadFile(LogFile(logs, "GrantLog")));
    const auto affiliations = Rows(ReadFile(LogFile(logs, "Affiliations")));
    ASSERT_GT(grants.size(), 500u);

    // The busiest radio and talkgroup of the grant log.
    std::map<int, int> radios, talkgroups;
    for (const auto& row : grants) {
        ++radios[Number(row[6])];
        if (row[1].starts_with("Group"))
            ++talkgroups[Number(row[4])];
    }
    radios.erase(0);
    const auto busiest = [](const std::map<int, int>& counts) {
        return std::max_element(counts.begin(), counts.end(),
                                [](const auto& a, const auto& b) { return a.second < b.second; })
            ->first;
    };
    const int radio = busiest(radios);
    const int talkgroup = busiest(talkgroups);

    Keys byRadio, byTalkgroup, inWindow;
    for (const auto& row : grants) {
        // Private calls, alerts and individual data name their other radio in "TG ID".
        if (Number(row[6]) == radio || Number(row[4]) == radio)
            byRadio.insert(LogKey(row));
        const std::string type = row[1].substr(0, row[1].find(" ("));
        if (Number(row[4]) == talkgroup && (type == "Group" || type == "Data" || type == "Queued"))
            byTalkgroup.insert(LogKey(row));
        if (row[0] >= "11/14/2023 22:15:00" && row[0] <= "11/14/2023 22:16:00")
            inWindow.insert(LogKey(row));
    }
    const std::string grant = " --kind grant";
    EXPECT_EQ(HistoryKeys(History(shown, "--radio " + std::to_string(radio) + grant)), byRadio);
    EXPECT_EQ(HistoryKeys(History(shown, "--talkgroup " + std::to_string(talkgroup) + grant)), byTalkgroup);
    EXPECT_EQ(HistoryKeys(History(shown, "--since 2023-11-14T22:15:00 --until 2023-11-14T22:16:00" + grant)),
              inWindow);
    const std::string site = std::filesystem::path(LogFile(logs, "GrantLog")).stem().string().substr(9);
    const std::string rfssSite = site.substr(0, site.size() - 2) + "-" + std::to_string(std::stoi(site.substr(site.size() - 2)));
    EXPECT_EQ(Rows(History(shown, "--site " + rfssSite + grant)).size(), grants.size());

    // Affiliations of the talkgroup: time and result.
    std::multiset<std::string> logged, kept;
    for (const auto& row : affiliations)
        if (Number(row[2]) == talkgroup)
            logged.insert(row[0] + "|" + row[1]);
    for (const auto& row : Rows(History(shown, "--talkgroup " + std::to_string(talkgroup) + " --kind affiliation")))
        kept.insert(row[0] + "|" + row[16]);
    EXPECT_EQ(kept, logged);
    EXPECT_EQ(Rows(History(shown, "--kind patch")).size(), Rows(ReadFile(LogFile(logs, "PatchLog"))).size());
    std::size_t otherEvents = 0;
    for (const auto& row : Rows(History(shown, "--kind event")))
        otherEvents += row[3] == "event";
    EXPECT_EQ(otherEvents, Rows(ReadFile(LogFile(logs, "EventLog"))).size());

    // Hidden lists change nothing the history keeps.
    SystemFolder(hidden);
    EXPECT_EQ(History(hidden, ""), History(shown, ""));
}

TEST_F(HistoryEndToEnd, SurvivesAKilledReplay)
{
    const std::string big = folder / "big.txt";
    const std::string make =
        std::string(ZEMBRANT_SIM) + " capture --kind zembrantdump --blocks 1000000 --seed 7 -o " + big + " > /dev/null";
    ASSERT_EQ(std::system(make.c_str()), 0);
    const std::string data = folder / "data";
    const pid_t child = fork();
    if (child == 0) {
        execl(ZEMBRANT_CLI, ZEMBRANT_CLI, "replay", big.c_str(), "--data-dir", data.c_str(), "--logs", "none",
              "--quiet", static_cast<char*>(nullptr));
        _exit(127);
    }
    // Killed soon after its first batch, long before the end.
    std::string path;
    for (int i = 0; i < 200 && path.empty(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        if (std::filesystem::exists(data))
            for (const auto& entry : std::filesystem::recursive_directory_iterator(data))
                if (entry.path().filename() == "History.sqlite")
                    path = entry.path().string();
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the replay ended before it was killed";
    ASSERT_FALSE(path.empty());
    EXPECT_EQ(Output("sqlite3 " + path + " 'PRAGMA integrity_check'"), "ok\n");
    EXPECT_GT(std::stoi(Output("sqlite3 " + path + " 'SELECT count(*) FROM grants'")), 0);
}
