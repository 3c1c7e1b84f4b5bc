#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <ctime>

#include "persistence/TBackupThread.h"
#include "platform/Files.h"
#include "support/TemporaryFolder.h"

namespace {

// 25 November 2018, 12:00 UTC.
constexpr int64_t November25 = 1543147200;
constexpr int64_t Day = 86400;

class BackupTest : public ::testing::Test
{
protected:
    TemporaryFolder data;
    TemporaryFolder keep;

    BackupTest()
    {
        setenv("TZ", "UTC", 1);
        tzset();
        WriteText(data / "System1A4/System.ini", "[System]\r\nDescription=County\r\n");
        WriteText(data / "System1A4/TalkGroups.txt", "FileVersion:7\r\n");
        WriteText(data / "System1A4/Tower001003.txt", "FileVersion:8\r\n");
        WriteText(data / "System1A4/backup/Old.txt", "an earlier backup");
        WriteText(data / "System2B7/Radios.txt", "FileVersion:4\r\n");
        WriteText(data / "System.log", "not a system folder");
        WriteText(data / "Other/File.txt", "not a system folder");
    }

    BackupJob Job(const std::string& backupPath, bool addDate) const
    {
        return BackupJob{data.Path(), backupPath, addDate, November25, {}};
    }

    static std::vector<std::string> Files(const std::string& folder)
    {
        std::vector<std::string> names;
        for (const FolderEntry& entry : ListFolder(folder, "*"))
            names.push_back(entry.Name + (entry.IsDirectory ? "/" : ""));
        return names;
    }
};

}

TEST_F(BackupTest, WithoutPathCopiesIntoEachSystemFolder)
{
    const BackupResult result = RunBackup(Job("", false));
    EXPECT_EQ(Files(data / "System1A4/backup"),
              (std::vector<std::string>{"Old.txt", "System.ini", "TalkGroups.txt", "Tower001003.txt"}));
    EXPECT_EQ(Files(data / "System2B7/backup"), std::vector<std::string>{"Radios.txt"});
    EXPECT_EQ(ReadText(data / "System1A4/backup/System.ini"), "[System]\r\nDescription=County\r\n");
    EXPECT_EQ(result.Folders, 2);
    EXPECT_EQ(result.Files, 4);
    EXPECT_EQ(result.Failures, 0);

    // The next backup overwrites the copies.
    WriteText(data / "System2B7/Radios.txt", "FileVersion:4\r\n1234,\"Car 1\",0,\"\"\r\n");
    RunBackup(Job("", false));
    EXPECT_EQ(ReadText(data / "System2B7/backup/Radios.txt"), "FileVersion:4\r\n1234,\"Car 1\",0,\"\"\r\n");
    EXPECT_FALSE(FileExists(data / "Other/backup"));

    RunBackup(Job("", true));
    EXPECT_EQ(Files(data / "System2B7"), (std::vector<std::string>{"Radios.txt", "backup/", "backup-20181125/"}));
}

TEST_F(BackupTest, WithPathAndDateWritesIntoTheDatedFolder)
{
    RunBackup(Job(" " + keep.Path() + "Keep ", true));
    EXPECT_EQ(Files(keep / "Keep"), std::vector<std::string>{"20181125/"});
    EXPECT_EQ(Files(keep / "Keep/20181125"), (std::vector<std::string>{"System1A4/", "System2B7/"}));
    EXPECT_EQ(Files(keep / "Keep/20181125/System1A4"),
              (std::vector<std::string>{"System.ini", "TalkGroups.txt", "Tower001003.txt"}));

    RunBackup(Job(keep.Path() + "Plain\\", false));
    EXPECT_EQ(Files(keep / "Plain"), (std::vector<std::string>{"System1A4/", "System2B7/"}));

    // The local date names the folder.
    setenv("TZ", "America/Los_Angeles", 1);
    tzset();
    EXPECT_EQ(BackupDestination(BackupJob{data.Path(), "/k", true, November25 - 13 * 3600, {}}, "System1A4"),
              "/k/20181124/System1A4");
    setenv("TZ", "UTC", 1);
    tzset();
}

TEST_F(BackupTest, SkipsWhatCannotBeCopiedAndGoesOn)
{
    WriteText(keep / "System1A4", "a file where the folder should be");
    WriteText(data / "System2B7/.Radios.txt.tmp-Ab12Cd", "half a save");
    const BackupResult result = RunBackup(Job(keep.Path(), false));
    EXPECT_EQ(result.Failures, 1);
    EXPECT_EQ(result.Folders, 1);
    EXPECT_EQ(Files(keep / "System2B7"), std::vector<std::string>{"Radios.txt"});

    EXPECT_EQ(RunBackup(BackupJob{data / "missing", "", false, November25, {}}).Folders, 0);
}

TEST_F(BackupTest, ThreadCopiesAndReportsItsEnd)
{
    std::atomic<int> ended{0};
    {
        TBackup backup(Job("", false), [&ended] { ++ended; });
        backup.Stop();
        EXPECT_EQ(backup.Result().Files, 4);
    }
    EXPECT_EQ(ended, 1);
    EXPECT_TRUE(FileExists(data / "System2B7/backup/Radios.txt"));
}

TEST(DecideBackup, StartsOnlyWhenThePeriodHasPassed)
{
    CONFIG config;
    config.BackupEnabled = true;
    config.BackupDays = 7;
    const int64_t now = November25;

    config.LastBackup = now - 6 * Day;
    EXPECT_EQ(DecideBackup(config, false, now), BackupStep::CheckLater);
    config.LastBackup = now - 7 * Day;
    EXPECT_EQ(DecideBackup(config, false, now), BackupStep::CheckLater);
    EXPECT_EQ(config.LastBackup, now - 7 * Day);

    config.LastBackup = now - 7 * Day - 1;
    EXPECT_EQ(DecideBackup(config, true, now), BackupStep::StopTimer);
    config.BackupEnabled = false;
    EXPECT_EQ(DecideBackup(config, false, now), BackupStep::StopTimer);
    config.BackupEnabled = true;
    EXPECT_EQ(DecideBackup(config, false, now), BackupStep::StartBackup);
    EXPECT_EQ(config.LastBackup, now);

    // A last backup in the future (the clock was set back) does not hold backups off.
    config.LastBackup = now + 365 * Day;
    EXPECT_EQ(DecideBackup(config, false, now), BackupStep::StartBackup);

    config.BackupCheckTime = 60;
    EXPECT_EQ(BackupCheckIntervalMs(config), 3600000);
}

TEST(MakeBackupJob, CopiesThePathsFromTheSettings)
{
    CONFIG config;
    config.DataFolder = "/data/";
    config.BackupPath = "/keep";
    config.BackupAddDate = true;
    const BackupJob job = MakeBackupJob(config, 42);
    EXPECT_EQ(job.DataFolder, "/data/");
    EXPECT_EQ(job.BackupPath, "/keep");
    EXPECT_TRUE(job.AddDate);
    EXPECT_EQ(job.StartTime, 42);
}

TEST_F(BackupTest, HistoryGoesThroughItsEngineAndItsJournalsStayBehind)
{
    WriteText(data / "System2B7/History.sqlite", "pages");
    WriteText(data / "System2B7/History.sqlite-wal", "a journal");
    WriteText(data / "System2B7/History.sqlite-shm", "shared memory");
    std::vector<std::string> copied;
    BackupJob job = Job(keep.Path(), false);
    job.CopyDatabase = [&](const std::string& from, const std::string& to, std::string&) {
        copied.push_back(from.substr(from.rfind('/') + 1));
        WriteText(to, "a copy");
        return true;
    };
    RunBackup(job);
    EXPECT_EQ(copied, std::vector<std::string>{"History.sqlite"});
    EXPECT_EQ(Files(keep / "System2B7"), (std::vector<std::string>{"History.sqlite", "Radios.txt"}));

    // Without an engine to copy it, a database is left out rather than copied torn.
    TemporaryFolder other;
    RunBackup(Job(other.Path(), false));
    EXPECT_EQ(Files(other / "System2B7"), std::vector<std::string>{"Radios.txt"});
}
