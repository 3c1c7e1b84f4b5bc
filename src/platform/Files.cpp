#include "platform/Files.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <sstream>
#include <system_error>

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

std::string ExecutableFolder()
{
    std::error_code error;
    const auto exe = fs::read_symlink("/proc/self/exe", error);
    if (error)
        return "./";
    return WithTrailingSlash(exe.parent_path().string());
}

std::string WithTrailingSlash(std::string path)
{
    if (path.empty())
        return path;
    if (path.back() == '\\')
        path.back() = '/';
    else if (path.back() != '/')
        path += '/';
    return path;
}

namespace {

std::string HomeFolder()
{
    if (const char* home = std::getenv("HOME"); home && *home)
        return home;
    passwd entry{};
    passwd* found = nullptr;
    char buffer[4096];
    if (getpwuid_r(getuid(), &entry, buffer, sizeof buffer, &found) == 0 && found && found->pw_dir)
        return found->pw_dir;
    return "/";
}

// The value of XDG_DOCUMENTS_DIR in user-dirs.dirs: "$HOME/..." or an absolute path.
std::string XdgDocumentsFolder(const std::string& home)
{
    std::string configHome;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg == '/')
        configHome = xdg;
    else
        configHome = home + "/.config";
    std::string text;
    if (!ReadFileText(configHome + "/user-dirs.dirs", text))
        return {};
    std::istringstream lines(text);
    std::string line;
    const std::string key = "XDG_DOCUMENTS_DIR=";
    while (std::getline(lines, line)) {
        const auto start = line.find_first_not_of(" \t");
        if (start == std::string::npos || line.compare(start, key.size(), key) != 0)
            continue;
        std::string value = line.substr(start + key.size());
        while (!value.empty() && (value.back() == '\r' || value.back() == ' ' || value.back() == '\t'))
            value.pop_back();
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
            value = value.substr(1, value.size() - 2);
        if (value.rfind("$HOME", 0) == 0)
            value = home + value.substr(5);
        if (!value.empty() && value.front() == '/')
            return value;
    }
    return {};
}

char Lower(char c)
{
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

bool MatchesFrom(std::string_view name, std::string_view pattern)
{
    size_t n = 0;
    size_t p = 0;
    size_t starPattern = std::string_view::npos;
    size_t starName = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starPattern = p++;
            starName = n;
        } else if (p < pattern.size() && (pattern[p] == '?' || Lower(pattern[p]) == Lower(name[n]))) {
            ++p;
            ++n;
        } else if (starPattern != std::string_view::npos) {
            p = starPattern + 1;
            n = ++starName;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

std::mutex faultMutex;
std::function<int(const std::string&)> faultHook;

int FaultFor(const std::string& path)
{
    std::lock_guard guard(faultMutex);
    return faultHook ? faultHook(path) : 0;
}

std::string FailureText(const char* verb, const std::string& path, int errorNumber)
{
    return std::string("Cannot ") + verb + " \"" + path + "\": " + std::strerror(errorNumber);
}

std::string RefusalText(const char* verb, const std::string& path, const char* reason)
{
    return std::string("Cannot ") + verb + " \"" + path + "\": " + reason;
}

int WriteAll(int fd, const char* data, size_t size)
{
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        data += written;
        size -= static_cast<size_t>(written);
    }
    return 0;
}

void SyncFolder(const std::string& folder)
{
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

const char TemporaryMark[] = ".tmp-";
constexpr size_t TemporarySuffixSize = 6;

// Writes through fill (which gets the open descriptor and the simulated fault, and
// returns an errno value or 0) into a temporary file beside path, then renames it over
// path. The temporary file never outlives a failure.
bool ReplaceAtomically(const std::string& path, const std::function<int(int, int)>& fill, std::string& error)
{
    const fs::path target(path);
    const std::string folder = target.has_parent_path() ? target.parent_path().string() : ".";
    std::string temporary = folder + "/." + target.filename().string() + TemporaryMark + "XXXXXX";
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) {
        error = FailureText("write", path, errno);
        return false;
    }
    struct stat old{};
    const mode_t mode = (::stat(path.c_str(), &old) == 0 && S_ISREG(old.st_mode)) ? (old.st_mode & 07777) : 0644;
    int failure = ::fchmod(fd, mode) == 0 ? 0 : errno;
    if (failure == 0)
        failure = fill(fd, FaultFor(path));
    if (failure == 0 && ::fsync(fd) != 0)
        failure = errno;
    if (::close(fd) != 0 && failure == 0)
        failure = errno;
    if (failure == 0 && ::rename(temporary.c_str(), path.c_str()) != 0)
        failure = errno;
    if (failure != 0) {
        ::unlink(temporary.c_str());
        error = FailureText("write", path, failure);
        return false;
    }
    SyncFolder(folder);
    return true;
}

}

std::string DocumentsFolder()
{
    const std::string home = HomeFolder();
    std::string folder = XdgDocumentsFolder(home);
    if (folder.empty())
        folder = home + "/Documents";
    return WithTrailingSlash(folder);
}

bool FileExists(const std::string& path)
{
    std::error_code error;
    return !path.empty() && fs::exists(path, error);
}

bool IsDirectory(const std::string& path)
{
    std::error_code error;
    return !path.empty() && fs::is_directory(path, error);
}

bool CreateDirectories(const std::string& path)
{
    if (path.empty())
        return false;
    std::error_code error;
    fs::create_directories(path, error);
    return IsDirectory(path);
}

bool DeleteFile(const std::string& path)
{
    std::error_code error;
    return !path.empty() && !IsDirectory(path) && fs::remove(path, error);
}

bool MatchesWildcard(std::string_view name, std::string_view pattern)
{
    if (MatchesFrom(name, pattern))
        return true;
    // "*.*" style patterns also match names without an extension.
    if (pattern.size() >= 2 && pattern.substr(pattern.size() - 2) == ".*"
        && name.find('.') == std::string_view::npos)
        return MatchesFrom(name, pattern.substr(0, pattern.size() - 2));
    return false;
}

std::vector<FolderEntry> ListFolder(const std::string& folder, const std::string& pattern)
{
    std::vector<FolderEntry> entries;
    std::error_code error;
    fs::directory_iterator it(folder, error);
    for (; !error && it != fs::directory_iterator(); it.increment(error)) {
        FolderEntry entry;
        entry.Name = it->path().filename().string();
        if (!MatchesWildcard(entry.Name, pattern))
            continue;
        std::error_code statusError;
        entry.IsDirectory = it->is_directory(statusError);
        entry.IsRegularFile = !entry.IsDirectory && it->is_regular_file(statusError);
        entries.push_back(std::move(entry));
    }
    std::sort(entries.begin(), entries.end(),
              [](const FolderEntry& a, const FolderEntry& b) { return a.Name < b.Name; });
    return entries;
}

ReadOutcome ReadRegularFile(const std::string& path, std::string& text, std::string& error)
{
    text.clear();
    error.clear();
    if (path.empty())
        return ReadOutcome::Missing;
    // O_NONBLOCK: opening a FIFO with no writer would wait for one.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return ReadOutcome::Missing;
        error = FailureText("read", path, errno);
        return ReadOutcome::Refused;
    }
    struct stat status{};
    int failure = ::fstat(fd, &status) == 0 ? 0 : errno;
    if (failure == 0 && !S_ISREG(status.st_mode))
        error = RefusalText("read", path, "not a regular file");
    else if (failure == 0 && status.st_size > LargestReadableFile)
        error = RefusalText("read", path, "larger than 256 MB");
    if (failure == 0 && error.empty()) {
        text.resize(static_cast<size_t>(status.st_size));
        size_t got = 0;
        for (;;) {
            // One byte beyond the limit tells a file that grew past it.
            if (got == text.size())
                text.resize(std::min<size_t>(got + 65536, LargestReadableFile + 1));
            const ssize_t n = ::read(fd, text.data() + got, text.size() - got);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0) {
                failure = errno;
                break;
            }
            if (n == 0)
                break;
            got += static_cast<size_t>(n);
            if (got > static_cast<size_t>(LargestReadableFile)) {
                error = RefusalText("read", path, "larger than 256 MB");
                break;
            }
        }
        text.resize(got);
    }
    ::close(fd);
    if (failure != 0)
        error = FailureText("read", path, failure);
    if (!error.empty()) {
        text.clear();
        return ReadOutcome::Refused;
    }
    return ReadOutcome::Read;
}

bool ReadFileText(const std::string& path, std::string& text)
{
    std::string error;
    return ReadRegularFile(path, text, error) == ReadOutcome::Read;
}

bool KeepAside(const std::string& path, std::string& keptAs, std::string& error)
{
    keptAs.clear();
    // A folder in the file's place stays: the write that follows fails and says so.
    if (IsDirectory(path))
        return true;
    constexpr int Tries = 100;
    for (int i = 1; i <= Tries; ++i) {
        keptAs = path + ".unreadable";
        if (i > 1)
            keptAs.append("-").append(std::to_string(i));
        struct stat status{};
        if (::lstat(keptAs.c_str(), &status) == 0)
            continue;
        if (::rename(path.c_str(), keptAs.c_str()) == 0)
            return true;
        if (errno == ENOENT) {
            keptAs.clear();
            return true;
        }
        error = FailureText("rename", path, errno);
        return false;
    }
    error = RefusalText("rename", path, "no free name to keep it under");
    return false;
}

std::string KeptAsideText(const std::string& path, const std::string& keptAs)
{
    return "Kept \"" + path + "\", which could not be read, as \"" + keptAs + "\"";
}

bool AppendToFile(const std::string& path, std::string_view header, std::string_view text, std::string& error,
                  bool sync)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC,
                          0644);
    if (fd < 0) {
        error = errno == ELOOP ? RefusalText("write", path, "a symbolic link") : FailureText("write", path, errno);
        return false;
    }
    struct stat status{};
    const bool known = ::fstat(fd, &status) == 0;
    if (!known || !S_ISREG(status.st_mode)) {
        error = known ? RefusalText("write", path, "not a regular file") : FailureText("write", path, errno);
        ::close(fd);
        return false;
    }
    // Header and rows go out as they are: a copy of a large append would cost more than
    // the write itself.
    int failure = status.st_size == 0 ? WriteAll(fd, header.data(), header.size()) : 0;
    if (const int fault = FaultFor(path); fault != 0) {
        WriteAll(fd, text.data(), text.size() / 2);
        failure = fault;
    } else if (failure == 0) {
        failure = WriteAll(fd, text.data(), text.size());
    }
    if (failure == 0 && sync && ::fdatasync(fd) != 0 && errno != EINVAL)
        failure = errno;
    // Rows cut halfway would be written again, whole, by the next append.
    if (failure != 0 && ::ftruncate(fd, status.st_size) != 0)
        error = FailureText("restore", path, errno);
    if (::close(fd) != 0 && failure == 0)
        failure = errno;
    if (failure != 0) {
        // A full disk must not leave a log that holds nothing, not even its header.
        if (status.st_size == 0)
            ::unlink(path.c_str());
        error = FailureText("write", path, failure) + (error.empty() ? "" : "; " + error);
        return false;
    }
    return true;
}

bool WriteFileAtomically(const std::string& path, std::string_view contents, std::string& error)
{
    return ReplaceAtomically(
        path,
        [contents](int fd, int fault) {
            if (fault != 0) {
                WriteAll(fd, contents.data(), contents.size() / 2);
                return fault;
            }
            return WriteAll(fd, contents.data(), contents.size());
        },
        error);
}

bool CopyFileOver(const std::string& from, const std::string& to, std::string& error)
{
    // A pipe put in place of the source would block the copy for ever.
    const int source = ::open(from.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (source < 0) {
        error = FailureText("read", from, errno);
        return false;
    }
    if (struct stat status{}; ::fstat(source, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(source);
        error = RefusalText("read", from, "not a regular file");
        return false;
    }
    int readFailure = 0;
    const bool copied = ReplaceAtomically(
        to,
        [source, &readFailure](int fd, int fault) {
            char buffer[65536];
            for (;;) {
                const ssize_t got = ::read(source, buffer, sizeof buffer);
                if (got < 0 && errno == EINTR)
                    continue;
                if (got < 0) {
                    readFailure = errno;
                    return readFailure;
                }
                if (got == 0)
                    return fault;
                if (const int failure = WriteAll(fd, buffer, static_cast<size_t>(got)); failure != 0)
                    return failure;
                if (fault != 0)
                    return fault;
            }
        },
        error);
    ::close(source);
    if (readFailure != 0)
        error = FailureText("read", from, readFailure);
    return copied;
}

bool IsTemporaryFileName(std::string_view name)
{
    const size_t mark = name.rfind(TemporaryMark);
    return !name.empty() && name.front() == '.' && mark != std::string_view::npos
        && name.size() == mark + sizeof TemporaryMark - 1 + TemporarySuffixSize;
}

int RemoveTemporaryFiles(const std::string& folder)
{
    int removed = 0;
    for (const FolderEntry& entry : ListFolder(folder, ".*"))
        if (entry.IsRegularFile && IsTemporaryFileName(entry.Name)
            && ::unlink((WithTrailingSlash(folder) + entry.Name).c_str()) == 0)
            ++removed;
    return removed;
}

void SetWriteFaultHook(std::function<int(const std::string& path)> hook)
{
    std::lock_guard guard(faultMutex);
    faultHook = std::move(hook);
}
