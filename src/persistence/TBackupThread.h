#pragma once
#include <cstdint>
#include <functional>
#include <mutex>
#include <stop_token>
#include <string>

#include "persistence/Config.h"
#include "platform/WorkerThread.h"

// What one backup needs, copied out of the settings before its thread starts, so that
// the thread reads nothing shared while it runs.
struct BackupJob
{
    std::string DataFolder;
    std::string BackupPath;
    bool AddDate = false;
    // Seconds since 1970; its local date names the dated backup folders.
    int64_t StartTime = 0;
    // Copies a live database (the history) as its engine sees it; a plain copy could
    // catch it between two pages. Without it the databases are left out.
    std::function<bool(const std::string& from, const std::string& to, std::string& error)> CopyDatabase;
};

// The history database of a system folder, and the files its engine keeps beside it.
inline constexpr char HistoryFileName[] = "History.sqlite";
bool IsHistoryFileName(const std::string& name);

struct BackupResult
{
    int Folders = 0;
    int Files = 0;
    // Folders that could not be made and files that could not be copied; skipped.
    int Failures = 0;
};

BackupJob MakeBackupJob(const CONFIG& config, int64_t now);

// The folder that receives the backup of the system folder systemFolder (a name such as
// "System1A4"), without a trailing "/".
std::string BackupDestination(const BackupJob& job, const std::string& systemFolder);

// Copies the plain files of every system folder of the data folder into its destination,
// replacing older copies. Sub-folders (earlier backups among them) are not copied. Saves
// replace their files by renaming a finished file over the old one, so every file seen
// here is a whole old or a whole new version, never one being written.
BackupResult RunBackup(const BackupJob& job);

// What the backup timer does when it fires.
enum class BackupStep
{
    StopTimer,   // a backup is running or backups are off
    StartBackup, // due: LastBackup is now set; save the settings and start TBackup
    CheckLater,  // not due: re-arm the timer with BackupCheckInterval
};

// Due when LastBackup + Days lies before now, or when LastBackup lies in the future (the
// clock was set back), which would otherwise hold every backup off until that date.
bool IsBackupDue(const CONFIG& config, int64_t now);
BackupStep DecideBackup(CONFIG& config, bool backupRunning, int64_t now);
int64_t BackupCheckIntervalMs(const CONFIG& config);

// Runs one backup copy in its own thread, started by the constructor. ended runs on the
// backup thread when the copy is done; the front end queues its own notice from there.
// A stop request does not cut the copy short: closing waits for a whole backup.
class TBackup : public WorkerThread
{
public:
    TBackup(BackupJob job, std::function<void()> ended);
    ~TBackup() override;

    BackupResult Result() const;

protected:
    void Execute(std::stop_token stop) override;

private:
    const BackupJob m_job;
    mutable std::mutex m_resultMutex;
    BackupResult m_result;
};
