#include "cli/CliOptions.h"

#include <charconv>
#include <cstdlib>

#include "events/MqttOutput.h"
#include "input/InputNames.h"
#include "platform/Clock.h"

const char* const CliUsage =
    "Usage: zembrant-cli replay FILE [--format KIND] [options]\n"
    "       zembrant-cli live --port DEVICE --scanner TYPE [options]\n"
    "       zembrant-cli import --system SYSID --data-dir DIR [import options]\n"
    "       zembrant-cli history --system SYSID [--data-dir DIR] [history options]\n"
    "       zembrant-cli names import|export --system SYSID [--data-dir DIR]\n"
    "                          --talkgroups FILE|--radios FILE [names options]\n"
    "       zembrant-cli changes --data-dir DIR --system SYSID --replay CAPTURE [options]\n"
    "       zembrant-cli reconcile --system SYSID [--data-dir DIR] [--csv FILE] [--days N]\n"
    "\n"
    "Decodes the control channel of a P25 trunked radio system from a capture file or a\n"
    "scanner, saves what it learned in the system's folder and writes the chosen logs.\n"
    "import fills in the system, site and talkgroup names of a system's folder from the\n"
    "RadioReference web service configured in the configuration file. history lists what\n"
    "the system's history database holds; names reads or writes its talkgroup or radio\n"
    "names as CSV (see zembrant-cli history --help and zembrant-cli names --help). changes\n"
    "lists what a capture would change in a system's folder, replayed into a scratch copy;\n"
    "reconcile lists where the last directory import and the air disagree.\n"
    "\n"
    "Options:\n"
    "  --format KIND        capture kind, by name or index (default zembrantdump):\n"
    "                       0 anritsu, 1 psr500dump, 2 psr800dump, 3 homepatroldump,\n"
    "                       4 zembrantdump, 5 bcd396xtdump\n"
    "  --port DEVICE        serial device of the scanner (live), e.g. /dev/ttyUSB0\n"
    "  --scanner TYPE       scanner type, by name or index (live): 0 pro96, 1 psr500,\n"
    "                       2 bcd396xt, 3 anritsus412d, 4 psr800\n"
    "  --data-dir DIR       data directory (default: Zembrant in the documents folder)\n"
    "  --config FILE        configuration file (default: DIR/Zembrant.ini)\n"
    "  --logs LIST          logs to write, comma-separated, or all or none: affiliations,\n"
    "                       grants, events, patches, unknown, dump, raw (default: the logs\n"
    "                       the configuration saves automatically)\n"
    "  --duration SECONDS   stop a live session after this long (default: until stopped)\n"
    "  --clock-start SECONDS  start of a replay's clock, seconds since 1970, from 1 to\n"
    "                       253402300799 (the end of the year 9999; default: now)\n"
    "  --json               print the final model as one JSON document\n"
    "  --events FILE        append the live events to FILE as JSON lines, one event a\n"
    "                       line; - writes them to standard output (the summary then\n"
    "                       goes to standard error)\n"
    "  --mqtt ADDRESS       publish the live events to an MQTT broker,\n"
    "                       mqtt://[USER[:PASSWORD]@]HOST[:PORT][/PREFIX] or mqtts://\n"
    "                       for TLS (default: the configuration's [Events] broker, when\n"
    "                       enabled)\n"
    "  --changes FILE       write what changed since the system folder was loaded to\n"
    "                       FILE at the end: text, or CSV or JSON by a .csv or .json name\n"
    "  --no-history         keep nothing in the history database (History.sqlite of the\n"
    "                       system's folder) for this run\n"
    "  --quiet              print no summary and no progress\n"
    "\n"
    "Import options:\n"
    "  --system SYSID       system ID, hexadecimal as the window shows it, e.g. 1A4\n"
    "  --sites new|replace|none  site names: only new ones (default), replace all, none\n"
    "  --talkgroups new|default|all|none  talkgroup names: only new talkgroups (default),\n"
    "                       also those with the default description, all, none\n"
    "  --choose RRID        the system to import when several share the system ID; without\n"
    "                       it they are listed (RRID, name, city) and the import ends\n"
    "  --help               show this text\n"
    "  --version            show the version\n"
    "\n"
    "Ctrl-C, SIGTERM or SIGHUP stop a run; what was decoded is saved first.\n"
    "\n"
    "Exit status:\n"
    "  0    the run ended normally (a live session also when stopped by a signal)\n"
    "  1    a failure: a file or port that cannot be opened or read, a folder or log\n"
    "       that cannot be written, an import that did not complete, a data directory\n"
    "       another Zembrant process is using\n"
    "  2    wrong arguments\n"
    "  128+N  a replay stopped by signal N before its end (130 for Ctrl-C)\n";

namespace {

// 12/31/9999 23:59:59 UTC.
constexpr int64_t LastClockStart = LatestPrintableTime;

constexpr LogKind SavedLogs[] = {LogKind::Affiliations, LogKind::GrantTrace,  LogKind::OtherEvents,
                                 LogKind::PatchLog,     LogKind::UnknownPackets, LogKind::PacketDump,
                                 LogKind::RawDump};

bool ParseLogs(const std::string& text, std::vector<LogKind>& logs)
{
    logs.clear();
    if (text == "none")
        return true;
    if (text == "all") {
        logs.assign(std::begin(SavedLogs), std::end(SavedLogs));
        return true;
    }
    size_t pos = 0;
    while (pos <= text.size()) {
        const size_t end = std::min(text.find(',', pos), text.size());
        const std::string name = text.substr(pos, end - pos);
        bool found = false;
        for (LogKind kind : SavedLogs) {
            if (name == LogName(kind)) {
                logs.push_back(kind);
                found = true;
            }
        }
        if (!found)
            return false;
        pos = end + 1;
    }
    return true;
}

template <typename Number>
bool ParseNumber(const std::string& text, Number& value, int base = 10)
{
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, value, base);
    return result.ec == std::errc() && result.ptr == end;
}

// A choice among names, the position of the name in names.
template <typename Choice, size_t N>
bool ParseChoice(const std::string& text, const char* const (&names)[N], Choice& choice)
{
    for (size_t i = 0; i < N; ++i) {
        if (text == names[i]) {
            choice = static_cast<Choice>(i);
            return true;
        }
    }
    return false;
}

constexpr const char* SiteChoices[] = {"new", "replace", "none"};
constexpr const char* TalkgroupChoices[] = {"new", "default", "all", "none"};
constexpr int HighestSystemId = 0xFFF;

}

const char* LogName(LogKind kind)
{
    switch (kind) {
    case LogKind::Affiliations: return "affiliations";
    case LogKind::GrantTrace: return "grants";
    case LogKind::OtherEvents: return "events";
    case LogKind::PatchLog: return "patches";
    case LogKind::UnknownPackets: return "unknown";
    case LogKind::PacketDump: return "dump";
    case LogKind::RawDump: return "raw";
    case LogKind::RecentGrants: return "recent";
    }
    return "";
}

bool ParseCliOptions(const std::vector<std::string>& args, CliOptions& options, std::string& error)
{
    options = CliOptions{};
    std::vector<std::string> positional;
    // The last option given that only import takes.
    std::string importOnly;
    // The last option given that only replay and live take.
    std::string runOnly;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const auto value = [&](std::string& out) {
            if (i + 1 >= args.size()) {
                error = "option " + arg + " needs a value";
                return false;
            }
            out = args[++i];
            return true;
        };
        std::string v;
        if (arg == "--help" || arg == "-h") {
            options.Command = CliOptions::Mode::Help;
            return true;
        }
        if (arg == "--version") {
            options.Command = CliOptions::Mode::Version;
            return true;
        }
        if (arg == "--format") {
            if (!value(v))
                return false;
            if (!ParseCaptureKind(v, options.Kind)) {
                error = "unknown capture kind: " + v;
                return false;
            }
            options.KindGiven = true;
        } else if (arg == "--port") {
            if (!value(options.Port))
                return false;
        } else if (arg == "--scanner") {
            if (!value(v))
                return false;
            if (!ParseScannerType(v, options.ScannerType)) {
                error = "unknown scanner type: " + v;
                return false;
            }
        } else if (arg == "--data-dir") {
            if (!value(options.DataDir))
                return false;
        } else if (arg == "--config") {
            if (!value(options.ConfigFile))
                return false;
        } else if (arg == "--logs") {
            if (!value(v))
                return false;
            std::vector<LogKind> logs;
            if (!ParseLogs(v, logs)) {
                error = "unknown log in: " + v;
                return false;
            }
            options.Logs = logs;
        } else if (arg == "--duration") {
            if (!value(v))
                return false;
            char* end = nullptr;
            options.Duration = std::strtod(v.c_str(), &end);
            if (v.empty() || *end != '\0' || !(options.Duration > 0)) {
                error = "--duration needs a number of seconds above 0";
                return false;
            }
        } else if (arg == "--clock-start") {
            if (!value(v))
                return false;
            int64_t start = 0;
            // 0 is no time: the logs take a time of 0 for their clear marker. Past the
            // year 9999 no date of the logs or the files could be written.
            if (!ParseNumber(v, start) || start < 1 || start > LastClockStart) {
                error = "--clock-start needs whole seconds since 1970, from 1 to 253402300799";
                return false;
            }
            options.ClockStart = start;
        } else if (arg == "--system") {
            if (!value(v))
                return false;
            // The folder of system 0 is never written: no decoded system has that ID.
            if (v.size() > 3 || !ParseNumber(v, options.SystemId, 16) || options.SystemId < 1 ||
                options.SystemId > HighestSystemId) {
                error = "--system needs a system ID of one to three hexadecimal digits, from 001 to FFF";
                return false;
            }
            importOnly = arg;
        } else if (arg == "--sites") {
            if (!value(v))
                return false;
            if (!ParseChoice(v, SiteChoices, options.Import.Sites)) {
                error = "--sites needs new, replace or none";
                return false;
            }
            importOnly = arg;
        } else if (arg == "--talkgroups") {
            if (!value(v))
                return false;
            if (!ParseChoice(v, TalkgroupChoices, options.Import.Talkgroups)) {
                error = "--talkgroups needs new, default, all or none";
                return false;
            }
            importOnly = arg;
        } else if (arg == "--choose") {
            if (!value(v))
                return false;
            int rrid = 0;
            if (!ParseNumber(v, rrid) || rrid < 0) {
                error = "--choose needs the RRID of a system, a number";
                return false;
            }
            options.Choose = rrid;
            importOnly = arg;
        } else if (arg == "--events") {
            if (!value(options.EventsFile))
                return false;
            if (options.EventsFile.empty()) {
                error = "--events needs a file name, or - for standard output";
                return false;
            }
            runOnly = arg;
        } else if (arg == "--changes") {
            if (!value(options.ChangesFile))
                return false;
            if (options.ChangesFile.empty()) {
                error = "--changes needs a file name";
                return false;
            }
            runOnly = arg;
        } else if (arg == "--mqtt") {
            if (!value(options.MqttAddress))
                return false;
            MqttSettings settings;
            std::string problem;
            if (!ParseMqttAddress(options.MqttAddress, settings, problem)) {
                error = "--mqtt: " + problem;
                return false;
            }
            runOnly = arg;
        } else if (arg == "--no-history") {
            options.NoHistory = true;
            runOnly = arg;
        } else if (arg == "--quiet" || arg == "-q") {
            options.Quiet = true;
        } else if (arg == "--json") {
            options.Json = true;
        } else if (!arg.empty() && arg[0] == '-' && arg != "-") {
            error = "unknown option: " + arg;
            return false;
        } else {
            positional.push_back(arg);
        }
    }

    if (positional.empty()) {
        error = "no command given (replay, live or import)";
        return false;
    }
    if (positional[0] == "import") {
        options.Command = CliOptions::Mode::Import;
        if (!runOnly.empty()) {
            error = runOnly + " is an option of replay and live";
            return false;
        }
        if (positional.size() != 1) {
            error = "import takes no file: " + positional[1];
            return false;
        }
        if (options.SystemId == 0 || options.DataDir.empty()) {
            error = "import needs --system and --data-dir";
            return false;
        }
        if (!CanImport(options.Import)) {
            error = "import with --sites none and --talkgroups none has nothing to import";
            return false;
        }
        return true;
    }
    if (!importOnly.empty()) {
        error = importOnly + " is an option of import";
        return false;
    }
    if (positional[0] == "replay") {
        options.Command = CliOptions::Mode::Replay;
        if (positional.size() != 2) {
            error = "replay needs exactly one capture file";
            return false;
        }
        options.File = positional[1];
    } else if (positional[0] == "live") {
        options.Command = CliOptions::Mode::Live;
        if (positional.size() != 1) {
            error = "live takes no file: " + positional[1];
            return false;
        }
        if (options.Port.empty() || options.ScannerType < 0) {
            error = "live needs --port and --scanner";
            return false;
        }
    } else {
        error = "unknown command: " + positional[0];
        return false;
    }
    return true;
}
