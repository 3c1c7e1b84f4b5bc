#include "cli/CliOptions.h"

#include <charconv>
#include <cstdlib>

#include "input/InputNames.h"
#include "platform/Clock.h"

const char* const CliUsage =
    "Usage: zembrant-cli replay FILE [--format KIND] [options]\n"
    "       zembrant-cli live --port DEVICE --scanner TYPE [options]\n"
    "\n"
    "Decodes the control channel of a P25 trunked radio system from a capture file or a\n"
    "scanner, saves what it learned in the system's folder and writes the chosen logs.\n"
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
    "  --quiet              print no summary and no progress\n"
    "  --help               show this text\n"
    "  --version            show the version\n"
    "\n"
    "Ctrl-C, SIGTERM or SIGHUP stop a run; what was decoded is saved first.\n"
    "\n"
    "Exit status:\n"
    "  0    the run ended normally (a live session also when stopped by a signal)\n"
    "  1    a failure: a file or port that cannot be opened or read, a folder or log\n"
    "       that cannot be written\n"
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
bool ParseNumber(const std::string& text, Number& value)
{
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, value);
    return result.ec == std::errc() && result.ptr == end;
}

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
        error = "no command given (replay or live)";
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
