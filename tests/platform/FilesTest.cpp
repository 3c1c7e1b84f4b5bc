#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <string>
#include <thread>

#include <sys/stat.h>

#include "platform/Files.h"
#include "support/TemporaryFolder.h"

namespace {

std::vector<std::string> Names(const std::vector<FolderEntry>& entries)
{
    std::vector<std::string> names;
    for (const FolderEntry& entry : entries)
        names.push_back(entry.Name);
    return names;
}

// Fails every atomic write whose target ends in suffix, for the life of the object.
class WriteFault
{
public:
    WriteFault(std::string suffix, int errorNumber)
    {
        SetWriteFaultHook([suffix, errorNumber](const std::string& path) {
            return path.ends_with(suffix) ? errorNumber : 0;
        });
    }
    ~WriteFault() { SetWriteFaultHook({}); }
};

}

TEST(WriteFileAtomically, ReplacesWholeFileAndLeavesNothingBeside)
{
    TemporaryFolder folder;
    std::string error;
    ASSERT_TRUE(WriteFileAtomically(folder / "a.txt", "first version\r\n", error)) << error;
    ASSERT_TRUE(WriteFileAtomically(folder / "a.txt", "second", error)) << error;
    EXPECT_EQ(ReadText(folder / "a.txt"), "second");
    EXPECT_EQ(Names(ListFolder(folder.Path(), "*")), std::vector<std::string>{"a.txt"});
}

TEST(WriteFileAtomically, FailedWriteKeepsOldFileAndNamesTheReason)
{
    TemporaryFolder folder;
    std::string error;
    ASSERT_TRUE(WriteFileAtomically(folder / "Radios.txt", "old and complete", error));
    {
        WriteFault fault("Radios.txt", ENOSPC);
        EXPECT_FALSE(WriteFileAtomically(folder / "Radios.txt", "new contents that never land", error));
    }
    EXPECT_EQ(error, "Cannot write \"" + folder / "Radios.txt" + "\": No space left on device");
    EXPECT_EQ(ReadText(folder / "Radios.txt"), "old and complete");
    EXPECT_EQ(Names(ListFolder(folder.Path(), "*")), std::vector<std::string>{"Radios.txt"});

    // A folder standing where the file should be, and a missing folder.
    std::filesystem::create_directory(folder / "Blocked.ini");
    EXPECT_FALSE(WriteFileAtomically(folder / "Blocked.ini", "x", error));
    EXPECT_EQ(error, "Cannot write \"" + folder / "Blocked.ini" + "\": Is a directory");
    EXPECT_TRUE(IsDirectory(folder / "Blocked.ini"));
    EXPECT_FALSE(WriteFileAtomically(folder / "missing/file.txt", "x", error));
    EXPECT_EQ(error, "Cannot write \"" + folder / "missing/file.txt" + "\": No such file or directory");
    EXPECT_EQ(Names(ListFolder(folder.Path(), "*")), (std::vector<std::string>{"Blocked.ini", "Radios.txt"}));
}

TEST(WriteFileAtomically, ReaderSeesOldOrNewFileWhole)
{
    TemporaryFolder folder;
    const std::string path = folder / "TalkGroups.txt";
    const std::string a(1 << 20, 'a');
    const std::string b(1 << 19, 'b');
    std::string error;
    ASSERT_TRUE(WriteFileAtomically(path, a, error));
    std::atomic<bool> done{false};
    std::atomic<int> torn{0};
    std::thread reader([&] {
        std::string text;
        while (!done) {
            if (!ReadFileText(path, text) || (text != a && text != b))
                ++torn;
        }
    });
    for (int i = 0; i < 40; ++i)
        ASSERT_TRUE(WriteFileAtomically(path, i % 2 ? a : b, error)) << error;
    done = true;
    reader.join();
    EXPECT_EQ(torn, 0);
}

TEST(CopyFileOver, ReplacesTargetAndReportsUnreadableSource)
{
    TemporaryFolder folder;
    WriteText(folder / "source.txt", "copy me");
    WriteText(folder / "target.txt", "old");
    std::string error;
    ASSERT_TRUE(CopyFileOver(folder / "source.txt", folder / "target.txt", error)) << error;
    EXPECT_EQ(ReadText(folder / "target.txt"), "copy me");

    EXPECT_FALSE(CopyFileOver(folder / "none.txt", folder / "target.txt", error));
    EXPECT_EQ(error, "Cannot read \"" + folder / "none.txt" + "\": No such file or directory");
    {
        WriteFault fault("target.txt", EIO);
        EXPECT_FALSE(CopyFileOver(folder / "source.txt", folder / "target.txt", error));
    }
    EXPECT_EQ(ReadText(folder / "target.txt"), "copy me");
    EXPECT_EQ(Names(ListFolder(folder.Path(), "*")), (std::vector<std::string>{"source.txt", "target.txt"}));
}

TEST(FileSystem, QueriesAndChangesNeverThrow)
{
    TemporaryFolder folder;
    EXPECT_TRUE(CreateDirectories(folder / "a/b/c"));
    EXPECT_TRUE(CreateDirectories(folder / "a/b/c"));
    EXPECT_TRUE(IsDirectory(folder / "a/b"));
    WriteText(folder / "file", "x");
    EXPECT_TRUE(FileExists(folder / "file"));
    EXPECT_FALSE(IsDirectory(folder / "file"));
    EXPECT_FALSE(CreateDirectories(folder / "file/sub"));
    EXPECT_FALSE(CreateDirectories(""));
    EXPECT_FALSE(FileExists(folder / "file/sub"));
    EXPECT_FALSE(DeleteFile(folder / "a"));
    EXPECT_TRUE(IsDirectory(folder / "a"));
    EXPECT_TRUE(DeleteFile(folder / "file"));
    EXPECT_FALSE(DeleteFile(folder / "file"));
    EXPECT_TRUE(ListFolder(folder / "missing", "*").empty());
    std::string text;
    EXPECT_FALSE(ReadFileText(folder / "a", text));
    EXPECT_FALSE(ReadFileText(folder / "missing", text));
}

TEST(ListFolder, MatchesWildcardsAndTellsFoldersFromFiles)
{
    TemporaryFolder folder;
    CreateDirectories(folder / "System1A4");
    CreateDirectories(folder / "system2b7");
    CreateDirectories(folder / "MySystem");
    WriteText(folder / "System.log", "");
    const auto entries = ListFolder(folder.Path(), "System*.*");
    ASSERT_EQ(Names(entries), (std::vector<std::string>{"System.log", "System1A4", "system2b7"}));
    EXPECT_TRUE(entries[0].IsRegularFile);
    EXPECT_FALSE(entries[0].IsDirectory);
    EXPECT_TRUE(entries[1].IsDirectory);
    EXPECT_FALSE(entries[1].IsRegularFile);
}

TEST(MatchesWildcard, FollowsWindowsPatterns)
{
    EXPECT_TRUE(MatchesWildcard("Tower001003.txt", "tower*.TXT"));
    EXPECT_TRUE(MatchesWildcard("Tower0103.txt", "Tower????.txt"));
    EXPECT_FALSE(MatchesWildcard("Tower001003.txt", "Tower????.txt"));
    EXPECT_TRUE(MatchesWildcard("anything", "*"));
    EXPECT_TRUE(MatchesWildcard("noextension", "*.*"));
    EXPECT_TRUE(MatchesWildcard("a.b.c", "*.c"));
    EXPECT_FALSE(MatchesWildcard("abc", "a*d"));
    EXPECT_FALSE(MatchesWildcard("", "?"));
}

TEST(DocumentsFolder, ReadsXdgUserDirsElseDocuments)
{
    TemporaryFolder home;
    const std::string oldHome = std::getenv("HOME") ? std::getenv("HOME") : "";
    unsetenv("XDG_CONFIG_HOME");
    setenv("HOME", home.Path().substr(0, home.Path().size() - 1).c_str(), 1);
    EXPECT_EQ(DocumentsFolder(), home / "Documents/");
    WriteText(home / ".config/user-dirs.dirs",
              "# written by xdg-user-dirs-update\nXDG_DESKTOP_DIR=\"$HOME/Desktop\"\n"
              "XDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\n");
    EXPECT_EQ(DocumentsFolder(), home / "Dokumente/");
    WriteText(home / ".config/user-dirs.dirs", "XDG_DOCUMENTS_DIR=\"/srv/papers\"\n");
    EXPECT_EQ(DocumentsFolder(), "/srv/papers/");
    setenv("HOME", oldHome.c_str(), 1);
}

TEST(ReadRegularFile, RefusesWhatIsNoPlainFileWithoutBlocking)
{
    TemporaryFolder folder;
    WriteText(folder / "plain.txt", "text");
    ASSERT_EQ(::mkfifo((folder / "fifo").c_str(), 0600), 0);
    std::filesystem::create_symlink("/dev/zero", folder / "zero");
    std::filesystem::create_directory(folder / "dir");
    WriteText(folder / "huge", "");
    std::filesystem::resize_file(folder / "huge", LargestReadableFile + 1); // sparse
    const struct
    {
        std::string Name;
        ReadOutcome Outcome;
        std::string Reason;
    } cases[] = {
        {"plain.txt", ReadOutcome::Read, ""},
        {"missing", ReadOutcome::Missing, ""},
        {"fifo", ReadOutcome::Refused, "not a regular file"},
        {"zero", ReadOutcome::Refused, "not a regular file"},
        {"dir", ReadOutcome::Refused, "not a regular file"},
        {"huge", ReadOutcome::Refused, "larger than 256 MB"},
    };
    for (const auto& c : cases) {
        std::string text;
        std::string error;
        EXPECT_EQ(ReadRegularFile(folder / c.Name, text, error), c.Outcome) << c.Name;
        EXPECT_EQ(error, c.Reason.empty() ? "" : "Cannot read \"" + folder / c.Name + "\": " + c.Reason) << c.Name;
        EXPECT_EQ(text, c.Outcome == ReadOutcome::Read ? "text" : "") << c.Name;
    }
}

TEST(AppendToFile, HeaderOnlyIntoAnEmptyFileAndNothingOnFailure)
{
    TemporaryFolder folder;
    const std::string log = folder / "GrantLog-103.csv";
    std::string error;
    ASSERT_TRUE(AppendToFile(log, "head\r\n", "row 1\r\n", error)) << error;
    ASSERT_TRUE(AppendToFile(log, "head\r\n", "row 2\r\n", error)) << error;
    {
        WriteFault fault(".csv", ENOSPC);
        EXPECT_FALSE(AppendToFile(log, "head\r\n", "row 3 that does not fit\r\nrow 4\r\n", error));
    }
    EXPECT_EQ(error, "Cannot write \"" + log + "\": No space left on device");
    EXPECT_EQ(ReadText(log), "head\r\nrow 1\r\nrow 2\r\n");
    // A new log that could not take its first rows leaves no empty file behind.
    const std::string fresh = folder / "EventLog-103.csv";
    {
        WriteFault fault(".csv", ENOSPC);
        EXPECT_FALSE(AppendToFile(fresh, "head\r\n", "row 1\r\n", error));
    }
    EXPECT_FALSE(FileExists(fresh));
}

TEST(AppendToFile, NeverWritesThroughALinkOrIntoAPipe)
{
    TemporaryFolder folder;
    WriteText(folder / "victim", "9 bytes!\n");
    std::filesystem::create_symlink(folder / "victim", folder / "GrantLog-307.csv");
    ASSERT_EQ(::mkfifo((folder / "EventLog-307.csv").c_str(), 0600), 0);
    std::string error;
    EXPECT_FALSE(AppendToFile(folder / "GrantLog-307.csv", "", "decoded text\r\n", error));
    EXPECT_EQ(error, "Cannot write \"" + folder / "GrantLog-307.csv" + "\": a symbolic link");
    EXPECT_EQ(ReadText(folder / "victim"), "9 bytes!\n");
    // A pipe with no reader is refused at once instead of waiting for one.
    EXPECT_FALSE(AppendToFile(folder / "EventLog-307.csv", "", "decoded text\r\n", error));

    // The atomic save replaces the link itself and leaves its target alone.
    ASSERT_TRUE(WriteFileAtomically(folder / "GrantLog-307.csv", "saved", error)) << error;
    EXPECT_FALSE(std::filesystem::is_symlink(folder / "GrantLog-307.csv"));
    EXPECT_EQ(ReadText(folder / "GrantLog-307.csv"), "saved");
    EXPECT_EQ(ReadText(folder / "victim"), "9 bytes!\n");
}

TEST(KeepAside, TakesTheFirstFreeNameAndLeavesFoldersAlone)
{
    TemporaryFolder folder;
    std::string keptAs;
    std::string error;
    for (const char* contents : {"first", "second"}) {
        WriteText(folder / "TalkGroups.txt", contents);
        ASSERT_TRUE(KeepAside(folder / "TalkGroups.txt", keptAs, error)) << error;
    }
    EXPECT_EQ(keptAs, folder / "TalkGroups.txt.unreadable-2");
    EXPECT_EQ(ReadText(folder / "TalkGroups.txt.unreadable"), "first");
    EXPECT_EQ(ReadText(folder / "TalkGroups.txt.unreadable-2"), "second");
    ASSERT_TRUE(KeepAside(folder / "TalkGroups.txt", keptAs, error));
    EXPECT_EQ(keptAs, "");
    std::filesystem::create_directory(folder / "Radios.txt");
    ASSERT_TRUE(KeepAside(folder / "Radios.txt", keptAs, error));
    EXPECT_EQ(keptAs, "");
    EXPECT_TRUE(IsDirectory(folder / "Radios.txt"));
}

TEST(RemoveTemporaryFiles, RemovesOnlyWhatACrashedSaveLeft)
{
    TemporaryFolder folder;
    for (const char* name : {".Radios.txt.tmp-Ab12Cd", ".System.ini.tmp-000000", "Radios.txt", ".hidden",
                             ".Radios.txt.tmp-short"})
        WriteText(folder / name, "x");
    EXPECT_EQ(RemoveTemporaryFiles(folder.Path()), 2);
    EXPECT_EQ(Names(ListFolder(folder.Path(), "*")),
              (std::vector<std::string>{".Radios.txt.tmp-short", ".hidden", "Radios.txt"}));
}
