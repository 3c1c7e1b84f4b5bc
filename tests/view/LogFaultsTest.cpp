#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <filesystem>

#include "view/LogLists.h"
#include "model/P25Class.h"
#include "platform/Files.h"
#include "support/TemporaryFolder.h"

namespace {

constexpr int64_t Noon = 1700049600; // 11/15/2023 12:00:00 UTC

class LogFaultsTest : public ::testing::Test
{
protected:
    LogFaultsTest()
    {
        setenv("TZ", "UTC", 1);
        tzset();
        model.SetGrantsVisible(true);
        model.SetSystemAndSite(0x1A2, 1, 0x70, 3);
    }
    ~LogFaultsTest() override { SetWriteFaultHook({}); }

    void AddGrants(int count)
    {
        for (int i = 0; i < count; ++i) {
            GRANTLOG g;
            g.Time = Noon;
            g.Kind = "Group";
            g.Channel = -1;
            g.Talkgroup = 100 + i;
            g.Radio = 4001;
            g.Site = {0x1A2, 1, 3};
            logs.AddGrant(model, settings, g);
        }
    }

    bool Save(std::string& error)
    {
        return logs.List(LogKind::GrantTrace).Save(folder.Path(), model.LogSite(), false, Noon, error);
    }

    ManualClock clock{Noon};
    P25Class model{clock};
    LogLists logs;
    LogSettings settings;
    TemporaryFolder folder;
    const std::string path = folder / "System1A2/GrantLog-103.csv";
};

}

TEST_F(LogFaultsTest, FullDiskLeavesTheFileAsItWasAndTheRowsUnsaved)
{
    std::string error;
    AddGrants(2);
    ASSERT_TRUE(Save(error)) << error;
    const std::string before = ReadText(path);
    AddGrants(50);
    SetWriteFaultHook([](const std::string& p) { return p.ends_with(".csv") ? ENOSPC : 0; });
    EXPECT_FALSE(Save(error));
    EXPECT_EQ(error, "Cannot write \"" + path + "\": No space left on device");
    EXPECT_EQ(ReadText(path), before);
    EXPECT_TRUE(logs.List(LogKind::GrantTrace).HasUnsaved());

    // Once there is room the rows go in once, whole.
    SetWriteFaultHook({});
    ASSERT_TRUE(Save(error)) << error;
    const std::string after = ReadText(path);
    EXPECT_EQ(std::count(after.begin(), after.end(), '\n'), 1 + 52);
    EXPECT_EQ(after.substr(0, before.size()), before);
}

TEST_F(LogFaultsTest, LinkPlantedAsALogFileIsNotFollowed)
{
    WriteText(folder / "victim", "9 bytes!\n");
    CreateDirectories(folder / "System1A2");
    std::filesystem::create_symlink(folder / "victim", path);
    AddGrants(1);
    std::string error;
    EXPECT_FALSE(Save(error));
    EXPECT_EQ(error, "Cannot write \"" + path + "\": a symbolic link");
    EXPECT_EQ(ReadText(folder / "victim"), "9 bytes!\n");
    EXPECT_TRUE(logs.List(LogKind::GrantTrace).HasUnsaved());
}
