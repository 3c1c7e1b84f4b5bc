#include "platform/DataFolderLock.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/Files.h"

namespace {

using FileIdentity = std::pair<dev_t, ino_t>;

// The lock files this process holds; a descriptor alone cannot be asked by folder name.
std::mutex heldMutex;
std::vector<FileIdentity> held;

bool IdentityOf(int fd, FileIdentity& identity)
{
    struct stat status{};
    if (::fstat(fd, &status) != 0)
        return false;
    identity = {status.st_dev, status.st_ino};
    return true;
}

// The process ID the owner wrote, 0 when there is none yet or the text is not one.
long OwnerOf(int fd)
{
    char text[24] = {};
    const ssize_t got = ::pread(fd, text, sizeof text - 1, 0);
    if (got <= 0)
        return 0;
    char* end = nullptr;
    const long pid = std::strtol(text, &end, 10);
    return end != text && (*end == '\n' || *end == '\0') && pid > 0 ? pid : 0;
}

}

DataFolderLock::Outcome DataFolderLock::Take(const std::string& folder, std::string& error)
{
    Release();
    const std::string path = WithTrailingSlash(folder) + LockFileName;
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0644);
    if (fd < 0) {
        error = "Cannot open \"" + path + "\": " + std::strerror(errno);
        return Outcome::Failed;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int failure = errno;
        if (failure == EWOULDBLOCK)
            error = InUseText(folder, OwnerOf(fd));
        else
            error = "Cannot lock \"" + path + "\": " + std::strerror(failure);
        ::close(fd);
        return failure == EWOULDBLOCK ? Outcome::InUse : Outcome::Failed;
    }
    // A pid that cannot be written only costs the parenthesis of the other's message.
    const std::string pid = std::to_string(::getpid()) + "\n";
    [[maybe_unused]] const bool written =
        ::ftruncate(fd, 0) == 0 && ::pwrite(fd, pid.data(), pid.size(), 0) == static_cast<ssize_t>(pid.size());
    FileIdentity identity;
    if (IdentityOf(fd, identity)) {
        std::lock_guard guard(heldMutex);
        held.push_back(identity);
    }
    m_fd = fd;
    return Outcome::Taken;
}

void DataFolderLock::Release()
{
    if (m_fd < 0)
        return;
    FileIdentity identity;
    if (IdentityOf(m_fd, identity)) {
        std::lock_guard guard(heldMutex);
        if (const auto found = std::find(held.begin(), held.end(), identity); found != held.end())
            held.erase(found);
    }
    // Empty again, so that a folder one run left reads the same as another run's.
    [[maybe_unused]] const bool emptied = ::ftruncate(m_fd, 0) == 0;
    ::close(m_fd);
    m_fd = -1;
}

bool DataFolderLock::IsHeldFor(const std::string& folder)
{
    struct stat status{};
    if (folder.empty() || ::stat((WithTrailingSlash(folder) + LockFileName).c_str(), &status) != 0)
        return false;
    std::lock_guard guard(heldMutex);
    return std::find(held.begin(), held.end(), FileIdentity{status.st_dev, status.st_ino}) != held.end();
}

std::string DataFolderLock::InUseText(const std::string& folder, long pid)
{
    std::string text = "Zembrant is already using the data folder " + folder;
    if (pid > 0)
        text += " (process " + std::to_string(pid) + ")";
    return text;
}
