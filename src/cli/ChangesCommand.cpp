#include "cli/ChangesCommand.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>

#include "cli/CliConfig.h"
#include "input/InputNames.h"
#include "persistence/SystemFiles.h"
#include "report/ReportTable.h"

const char* const ChangesUsage =
    "Usage: zembrant-cli changes --data-dir DIR --system SYSID --replay CAPTURE [options]\n"
    "\n"
    "Replays CAPTURE onto a copy of the system's folder and lists what it would change:\n"
    "new talkgroups, radios, sites and neighbours, identifier tables, control and\n"
    "alternate channels, usage letters, patches, services and flavor. The folder itself\n"
    "is left as it is.\n"
    "\n"
    "Options:\n"
    "  --data-dir DIR       data directory that holds the system folder\n"
    "  --system SYSID       system ID, hexadecimal as the window shows it, e.g. 1A4\n"
    "  --replay CAPTURE     capture file to replay\n"
    "  --kind KIND          capture kind, by name or index (default zembrantdump)\n"
    "  --format FORMAT      text (default), csv or json\n"
    "  --clock-start SECONDS  start of the replay's clock, as for replay\n"
    "  --help               show this text\n"
    "\n"
    "Exit status: 0 with the list, 1 when the folder is missing or the replay failed, 2 for\n"
    "wrong arguments.\n";

namespace {

constexpr int HighestSystemId = 0xFFF;
const char* const ConfigName = "Zembrant.ini";

struct ChangesOptions
{
    std::string DataDir;
    int SystemId = 0;
    std::string Capture;
    std::string Kind;
    std::string ClockStart;
    ReportFormat Format = ReportFormat::Text;
};

const char* Extension(ReportFormat format)
{
    return format == ReportFormat::Csv ? "csv" : format == ReportFormat::Json ? "json" : "txt";
}

// 0 parsed, 2 wrong, -1 help shown.
int Parse(const std::vector<std::string>& args, ChangesOptions& options)
{
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help") {
            std::cout << ChangesUsage;
            return -1;
        }
        if (i + 1 >= args.size()) {
            Fail(arg.starts_with("--") ? arg + " needs a value" : "unexpected argument: " + arg);
            return 2;
        }
        const std::string& v = args[++i];
        if (arg == "--data-dir") {
            options.DataDir = v;
        } else if (arg == "--system") {
            const auto result = std::from_chars(v.data(), v.data() + v.size(), options.SystemId, 16);
            if (v.empty() || v.size() > 3 || result.ptr != v.data() + v.size() || options.SystemId < 1 ||
                options.SystemId > HighestSystemId) {
                Fail("--system needs a system ID of one to three hexadecimal digits, from 001 to FFF");
                return 2;
            }
        } else if (arg == "--replay") {
            options.Capture = v;
        } else if (arg == "--kind") {
            CaptureKind kind;
            if (!ParseCaptureKind(v, kind)) {
                Fail("unknown capture kind: " + v);
                return 2;
            }
            options.Kind = v;
        } else if (arg == "--format") {
            if (!ParseReportFormat(v, options.Format)) {
                Fail("--format needs text, csv or json");
                return 2;
            }
        } else if (arg == "--clock-start") {
            options.ClockStart = v;
        } else {
            Fail("unknown option: " + arg);
            return 2;
        }
    }
    if (options.DataDir.empty() || options.SystemId == 0 || options.Capture.empty()) {
        Fail("changes needs --data-dir, --system and --replay");
        return 2;
    }
    return 0;
}

// A scratch folder removed with everything in it, whatever way the command ends.
class ScratchFolder
{
public:
    ScratchFolder()
    {
        std::string name = (std::filesystem::temp_directory_path() / "zembrant-changes-XXXXXX").string();
        if (mkdtemp(name.data()))
            m_path = name + "/";
    }
    ~ScratchFolder()
    {
        std::error_code error;
        if (!m_path.empty())
            std::filesystem::remove_all(m_path, error);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};

// This same program, so that the replay is the real one; its exit status.
int RunSelf(const std::vector<std::string>& args)
{
    std::vector<char*> argv;
    std::string self = "/proc/self/exe";
    argv.push_back(self.data());
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    std::cout.flush();
    const pid_t child = fork();
    if (child < 0)
        return -1;
    if (child == 0) {
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0)
        if (errno != EINTR)
            return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}

int RunChangesCommand(const std::vector<std::string>& args)
{
    ChangesOptions options;
    if (const int parsed = Parse(args, options); parsed != 0)
        return parsed < 0 ? 0 : parsed;

    std::string data = options.DataDir;
    if (!data.ends_with('/'))
        data += '/';
    const std::string folder = SystemFolderPath(data, options.SystemId);
    std::error_code error;
    if (!std::filesystem::is_directory(folder, error)) {
        Fail(folder + ": no such system folder");
        return 1;
    }
    const ScratchFolder scratch;
    if (scratch.Path().empty()) {
        Fail("cannot make a scratch folder in " + std::filesystem::temp_directory_path().string());
        return 1;
    }
    const std::string copy = SystemFolderPath(scratch.Path(), options.SystemId);
    std::filesystem::copy(folder, copy, std::filesystem::copy_options::recursive, error);
    if (!error && std::filesystem::exists(data + ConfigName))
        std::filesystem::copy_file(data + ConfigName, scratch.Path() + ConfigName, error);
    if (error) {
        Fail("cannot copy " + folder + ": " + error.message());
        return 1;
    }

    const std::string report = scratch.Path() + "changes." + Extension(options.Format);
    std::vector<std::string> replay = {"replay", options.Capture, "--data-dir", scratch.Path(), "--logs", "none",
                                       "--no-history", "--quiet", "--changes", report};
    if (!options.Kind.empty())
        replay.insert(replay.end(), {"--format", options.Kind});
    if (!options.ClockStart.empty())
        replay.insert(replay.end(), {"--clock-start", options.ClockStart});
    const int status = RunSelf(replay);
    if (status != 0) {
        Fail("the replay of " + options.Capture + " failed" +
             (status > 0 ? " (exit status " + std::to_string(status) + ")" : ""));
        return 1;
    }
    std::ifstream in(report, std::ios::binary);
    if (!in) {
        Fail(report + ": the replay wrote no report");
        return 1;
    }
    std::cout << std::string(std::istreambuf_iterator<char>(in), {});
    return std::cout.good() ? 0 : 1;
}
