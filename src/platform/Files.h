#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// The folder that holds the running executable, ending in "/".
std::string ExecutableFolder();

// path with a trailing "/" (a trailing "\" becomes "/"); an empty path stays empty.
std::string WithTrailingSlash(std::string path);

// The user's documents folder, ending in "/": XDG_DOCUMENTS_DIR from user-dirs.dirs,
// else ~/Documents.
std::string DocumentsFolder();

// File-system queries and changes. None throws; a failure is a false or an empty answer.
bool FileExists(const std::string& path);
bool IsDirectory(const std::string& path);
// Creates the folder and any missing parents; true when the folder exists afterwards.
bool CreateDirectories(const std::string& path);
bool DeleteFile(const std::string& path);

struct FolderEntry
{
    std::string Name;
    bool IsDirectory = false;
    // A plain file; devices, pipes and sockets are neither this nor a directory.
    bool IsRegularFile = false;
};

// Entries of folder whose names match pattern ("*" and "?", letter case ignored; a
// pattern ending in ".*" also matches names without a dot). Sorted by name.
std::vector<FolderEntry> ListFolder(const std::string& folder, const std::string& pattern);
bool MatchesWildcard(std::string_view name, std::string_view pattern);

// Files no real settings or system folder reaches; a larger one is refused unread.
inline constexpr int64_t LargestReadableFile = int64_t{256} << 20;

enum class ReadOutcome { Read, Missing, Refused };
// Whole file into text. Only a regular file of at most LargestReadableFile bytes is read,
// and a pipe or device in its place never blocks: it is Refused, with error naming the
// file and the reason. Missing: nothing (no error) is there.
ReadOutcome ReadRegularFile(const std::string& path, std::string& text, std::string& error);
// ReadRegularFile without the reason; false unless it was Read.
bool ReadFileText(const std::string& path, std::string& text);

// Renames path to the first free name of path + ".unreadable", ".unreadable-2", ... so
// that a save can take its place without losing it; keptAs gets the new name, or stays
// empty when nothing is at path.
bool KeepAside(const std::string& path, std::string& keptAs, std::string& error);
// The warning that tells where: Kept "path", which could not be read, as "keptAs".
std::string KeptAsideText(const std::string& path, const std::string& keptAs);

// Appends to a log file, creating it: header first when the file is empty, then text. A
// symbolic link, pipe or device in its place is refused. All or nothing: after a failure
// (a full disk) the file is cut back to its old length and error names the file.
// sync: the data is on the disk before it returns (a later append's sync covers an earlier
// one's rows too).
bool AppendToFile(const std::string& path, std::string_view header, std::string_view text, std::string& error,
                  bool sync = true);

// Saves are written beside their target under a temporary name, flushed to the disk and
// renamed over the target, so a reader (a load or a backup copy) finds either the old file
// or the new one whole, and a failed save leaves the old file as it was. On failure error
// names the file and the reason.
bool WriteFileAtomically(const std::string& path, std::string_view contents, std::string& error);
// Copies from over to with the same atomic replacement.
bool CopyFileOver(const std::string& from, const std::string& to, std::string& error);
// A name the atomic writer uses for its temporary files; only a crash leaves one behind.
bool IsTemporaryFileName(std::string_view name);
// Deletes the temporary files a crashed save left in folder; returns how many.
int RemoveTemporaryFiles(const std::string& folder);

// For tests: a hook asked before each atomic write and each append with the target path;
// a non-zero errno value makes that write fail halfway through, as a full disk would. An
// empty function removes the hook.
void SetWriteFaultHook(std::function<int(const std::string& path)> hook);
