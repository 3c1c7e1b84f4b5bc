#pragma once
#include <string>

// Keeps a second Zembrant process from saving into a data folder while this one may: an
// flock on LockFileName inside the folder, held from Take until destruction. Take never
// waits. The file holds the owner's process ID so that the refused one can name it.
class DataFolderLock
{
public:
    static constexpr char LockFileName[] = ".zembrant.lock";

    enum class Outcome { Taken, InUse, Failed };

    DataFolderLock() = default;
    ~DataFolderLock() { Release(); }
    DataFolderLock(const DataFolderLock&) = delete;
    DataFolderLock& operator=(const DataFolderLock&) = delete;

    // Lets go of a folder held before. InUse: error is InUseText, with the owner's process
    // ID when the file holds one. Failed: the lock file cannot be opened; error says why.
    Outcome Take(const std::string& folder, std::string& error);
    void Release();
    bool IsHeld() const { return m_fd >= 0; }

    // Whether this process holds the lock of folder, through any DataFolderLock.
    static bool IsHeldFor(const std::string& folder);

    // "Zembrant is already using the data folder FOLDER (process PID)"; without the
    // parenthesis when pid is 0 (unknown).
    static std::string InUseText(const std::string& folder, long pid);

private:
    int m_fd = -1;
};
