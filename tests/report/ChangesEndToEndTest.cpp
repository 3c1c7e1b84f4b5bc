// zembrant-cli changes end to end: a folder made by a real replay, doctored where the
// simulator cannot vary the site, then a second capture listed against it.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <filesystem>
#include <map>
#include <sstream>

#include "support/TemporaryFolder.h"

namespace {

std::string Replace(std::string text, const std::string& from, const std::string& to)
{
    const size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos)
        text.replace(at, from.size(), to);
    return text;
}

std::map<std::string, std::string> FolderFiles(const std::string& folder)
{
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
        if (entry.is_regular_file())
            files[entry.path().string()] = ReadText(entry.path().string());
    return files;
}

int Shell(const std::string& command)
{
    const int status = std::system(("TZ=UTC " + command).c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class ChangesEndToEnd : public ::testing::Test
{
protected:
    TemporaryFolder folder;

    std::string Capture(const std::string& name, const std::string& options)
    {
        const std::string path = folder / name;
        EXPECT_EQ(Shell(std::string(ZEMBRANT_SIM) + " capture --kind zembrantdump --blocks 20000 --seed 5 " + options +
                      " -o " + path + " > /dev/null"),
                  0);
        return path;
    }
};

}

TEST_F(ChangesEndToEnd, ListsWhatTheSecondCaptureChangesAndLeavesTheFolderAlone)
{
    const std::string data = folder / "data";
    const std::string clock = " --clock-start 1700000000";
    ASSERT_EQ(Shell(std::string(ZEMBRANT_CLI) + " replay " + Capture("first.txt", "") + " --data-dir " + data +
                  " --logs none --no-history --quiet" + clock),
              0);
    // What the simulator keeps for a seed: its neighbours, tables and control channel.
    const std::string tower = data + "/System073/Tower001029.txt";
    std::string text = ReadText(tower);
    text = Replace(text, "130,\"T011E\",073,\"01-0994\",857.21875,\"\"\r\n", "");
    text = Replace(text, "03,154.00000,", "03,155.00000,");
    text = Replace(text, "\"01-0045\",\"ca\"", "\"01-0045\",\"a\"");
    text = Replace(text, "\"01-0121\",\"vdipt\"", "\"01-0121\",\"cvdipt\"");
    WriteText(tower, text);
    const auto before = FolderFiles(data);

    const std::string second = Capture("second.txt", "--talkgroups 82");
    ASSERT_EQ(Shell(std::string(ZEMBRANT_CLI) + " changes --data-dir " + data + " --system 073 --replay " + second +
                  " --kind zembrantdump --format csv" + clock + " > " + folder / "changes.csv"),
              0);

    std::string listed;
    int talkgroups = 0;
    std::istringstream lines(ReadText(folder / "changes.csv"));
    for (std::string line; std::getline(lines, line);) {
        if (line.starts_with("\"New talkgroup\""))
            ++talkgroups;
        else if (!line.starts_with("\"New radio\""))
            listed += line + "\n";
    }
    EXPECT_EQ(talkgroups, 3);
    EXPECT_EQ(listed,
              "\"Kind\",\"What\",\"Before\",\"After\",\"When\"\r\n"
              "\"Control channel\",\"1-29\",\"01-0121\",\"01-0045\",\"\"\r\n"
              "\"Identifier table\",\"id 3\",\"base 155.00000 spacing 0.01250 offset 0.60000 bandwidth 0.01250 slots "
              "1 Confirmed\",\"base 154.00000 spacing 0.01250 offset 0.60000 bandwidth 0.01250 slots 1 "
              "Confirmed\",\"\"\r\n"
              "\"New neighbor\",\"073 1-30\",\"\",\"01-0994 857.21875\",\"\"\r\n"
              "\"New usage letter\",\"01-0045\",\"a\",\"ca\",\"\"\r\n"
              "\"New usage letter\",\"04-0580\",\"vp\",\"vpt\",\"\"\r\n"
              "\"Patch seen\",\"supergroup 65001\",\"\",\"members 20011 63777\",\"11/14/2023 22:21:31\"\r\n"
              "\"Patch seen\",\"supergroup 65002\",\"\",\"members 34115 59464 61997\",\"11/14/2023 22:21:33\"\r\n"
              "\"Patch seen\",\"supergroup 65003\",\"\",\"members 14887 34115 46799\",\"11/14/2023 22:21:33\"\r\n");
    EXPECT_TRUE(FolderFiles(data) == before);
}
