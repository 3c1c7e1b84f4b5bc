#include "persistence/TBackupThread.h"

#include <cstdio>
#include <ctime>

#include "platform/Clock.h"
#include "platform/Files.h"
#include "platform/Text.h"

namespace {

constexpr int64_t SecondsPerDay = 86400;

}

BackupJob MakeBackupJob(const CONFIG& config, int64_t now)
{
    return BackupJob{config.DataFolder, config.BackupPath, config.BackupAddDate, now, {}};
}

std::string BackupDestination(const BackupJob& job, const std::string& systemFolder)
{
    const std::string root = WithTrailingSlash(std::string(Trimmed(job.BackupPath, " \t")));
    if (root.empty()) {
        const std::string source = WithTrailingSlash(job.DataFolder) + systemFolder + "/";
        return source + (job.AddDate ? "backup-" + LocalDateStamp(job.StartTime) : "backup");
    }
    return root + (job.AddDate ? LocalDateStamp(job.StartTime) + "/" : "") + systemFolder;
}

bool IsHistoryFileName(const std::string& name)
{
    return name.starts_with(HistoryFileName);
}

BackupResult RunBackup(const BackupJob& job)
{
    BackupResult result;
    const std::string dataFolder = WithTrailingSlash(job.DataFolder);
    if (dataFolder.empty())
        return result;
    for (const FolderEntry& system : ListFolder(dataFolder, "System*.*")) {
        if (!system.IsDirectory)
            continue;
        const std::string source = dataFolder + system.Name + "/";
        const std::string destination = BackupDestination(job, system.Name);
        if (!CreateDirectories(destination)) {
            ++result.Failures;
            continue;
        }
        ++result.Folders;
        for (const FolderEntry& file : ListFolder(source, "*")) {
            if (!file.IsRegularFile || IsTemporaryFileName(file.Name))
                continue;
            std::string error;
            bool copied = false;
            if (file.Name == HistoryFileName) {
                if (!job.CopyDatabase)
                    continue;
                copied = job.CopyDatabase(source + file.Name, destination + "/" + file.Name, error);
            } else if (IsHistoryFileName(file.Name)) {
                // The journal and shared memory belong to the live database only.
                continue;
            } else {
                copied = CopyFileOver(source + file.Name, destination + "/" + file.Name, error);
            }
            if (copied)
                ++result.Files;
            else
                ++result.Failures;
        }
    }
    return result;
}

bool IsBackupDue(const CONFIG& config, int64_t now)
{
    return config.LastBackup + static_cast<int64_t>(config.BackupDays) * SecondsPerDay < now
        || config.LastBackup > now;
}

BackupStep DecideBackup(CONFIG& config, bool backupRunning, int64_t now)
{
    if (backupRunning || !config.BackupEnabled)
        return BackupStep::StopTimer;
    if (!IsBackupDue(config, now))
        return BackupStep::CheckLater;
    config.LastBackup = now;
    return BackupStep::StartBackup;
}

int64_t BackupCheckIntervalMs(const CONFIG& config)
{
    return static_cast<int64_t>(config.BackupCheckTime) * 60 * 1000;
}

TBackup::TBackup(BackupJob job, std::function<void()> ended) : m_job(std::move(job))
{
    onEnded = std::move(ended);
    Start(false);
}

TBackup::~TBackup()
{
    Stop();
}

BackupResult TBackup::Result() const
{
    std::lock_guard guard(m_resultMutex);
    return m_result;
}

void TBackup::Execute(std::stop_token)
{
    const BackupResult result = RunBackup(m_job);
    std::lock_guard guard(m_resultMutex);
    m_result = result;
}
