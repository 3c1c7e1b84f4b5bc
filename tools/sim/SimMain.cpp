// zembrant-sim: a synthetic P25 control channel, written as a capture file or played live
// as a scanner on a pseudo-terminal.

#include <atomic>
#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "input/CaptureReplay.h"
#include "input/InputNames.h"
#include "input/KavriReadThread.h"
#include "sim/CaptureOutput.h"
#include "sim/LiveScanner.h"
#include "sim/PseudoTerminal.h"
#include "sim/SystemSimulator.h"

namespace {

constexpr int ExitFailure = 1;
constexpr int ExitUsage = 2;

constexpr const char* Usage =
    "Usage: zembrant-sim capture --kind KIND --blocks N -o FILE [options]\n"
    "       zembrant-sim live --scanner TYPE [--duration SECONDS] [options]\n"
    "       zembrant-sim --help | --version\n"
    "\n"
    "Simulates the control channel of a busy P25 site: identity broadcasts, identifier\n"
    "tables, neighbours, calls, affiliations, registrations, patches, call signs, vendor\n"
    "messages, multi-block packets and occasional corrupted blocks. The same seed gives\n"
    "the same blocks.\n"
    "\n"
    "capture   writes the blocks as a capture file (replaced whole, never half-written).\n"
    "live      plays them as a scanner on a pseudo-terminal; the first line on standard\n"
    "          output is the terminal to open as the serial port. SIGINT or SIGTERM stops.\n"
    "\n"
    "Options:\n"
    "  --kind KIND          capture kind, by index or name:\n"
    "                         0 anritsu, 1 psr500dump, 2 psr800dump, 3 homepatroldump,\n"
    "                         4 zembrantdump, 5 bcd396xtdump (or the file type dialog text)\n"
    "  --scanner TYPE       scanner type, by index or name:\n"
    "                         0 pro96, 1 psr500, 2 bcd396xt, 3 anritsus412d, 4 psr800\n"
    "                         (or the scanner list text, such as \"Uniden BCD396XT\")\n"
    "  --blocks N           number of blocks to write (capture)\n"
    "  -o, --output FILE    capture file to write\n"
    "  --seed S             seed of the simulated system (default 1)\n"
    "  --start SECONDS      time of the first block, seconds since 1970 (default 1700000000)\n"
    "  --rate N             blocks a second (default 40): live pace, capture time column\n"
    "  --duration SECONDS   stop a live run after this long (default: run until stopped)\n"
    "  --talkgroups N       talkgroups in the system (default 80)\n"
    "  --radios N           radios in the system (default 600)\n"
    "  --corrupt N          blocks per thousand with a flipped bit (default 2)\n"
    "  --help               show this text\n"
    "  --version            show the version\n";

std::atomic<bool> g_stop{false};

void RequestStop(int)
{
    g_stop = true;
}

bool ParseInteger(const std::string& text, long long minimum, long long maximum, long long& value)
{
    if (text.empty())
        return false;
    char* end = nullptr;
    errno = 0;
    value = std::strtoll(text.c_str(), &end, 10);
    return errno == 0 && *end == '\0' && value >= minimum && value <= maximum;
}

bool ParseNumber(const std::string& text, double minimum, double& value)
{
    if (text.empty())
        return false;
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return *end == '\0' && value >= minimum && value < 1e9;
}

struct Options
{
    std::string Mode;
    int Kind = -1;
    int Scanner = -1;
    long long Blocks = -1;
    std::string Output;
    long long Seed = 1;
    long long Start = 1700000000;
    double Rate = 40;
    double Duration = 0;
    long long Talkgroups = 80;
    long long Radios = 600;
    long long Corrupt = 2;
};

int BadArguments(const std::string& message)
{
    std::fprintf(stderr, "zembrant-sim: %s\nTry 'zembrant-sim --help'.\n", message.c_str());
    return ExitUsage;
}

// 0 when the options are complete, else the exit status (help, version, bad arguments).
int ParseOptions(int argc, char** argv, Options& options, bool& done)
{
    done = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help") {
            std::fputs(Usage, stdout);
            done = true;
            return 0;
        }
        if (arg == "--version") {
            std::printf("zembrant-sim %s\n", ZEMBRANT_VERSION);
            done = true;
            return 0;
        }
        if (arg.rfind("-", 0) != 0) {
            if (!options.Mode.empty())
                return BadArguments("unexpected argument '" + arg + "'");
            options.Mode = arg;
            continue;
        }
        if (i + 1 >= argc)
            return BadArguments("option '" + arg + "' needs a value");
        const std::string value = argv[++i];
        bool valid = true;
        if (arg == "--kind") {
            CaptureKind kind;
            valid = ParseCaptureKind(value, kind);
            options.Kind = valid ? static_cast<int>(kind) : -1;
        } else if (arg == "--scanner") {
            valid = ParseScannerType(value, options.Scanner);
        }
        else if (arg == "--blocks")
            valid = ParseInteger(value, 0, 1000000000000LL, options.Blocks);
        else if (arg == "-o" || arg == "--output")
            valid = !(options.Output = value).empty();
        else if (arg == "--seed")
            valid = ParseInteger(value, 0, 0x7FFFFFFFFFFFFFFFLL, options.Seed);
        else if (arg == "--start")
            valid = ParseInteger(value, 1, 0xFFFFFFFFLL, options.Start);
        else if (arg == "--rate")
            valid = ParseNumber(value, 0.1, options.Rate);
        else if (arg == "--duration")
            valid = ParseNumber(value, 0, options.Duration);
        else if (arg == "--talkgroups")
            valid = ParseInteger(value, 4, 60000, options.Talkgroups);
        else if (arg == "--radios")
            valid = ParseInteger(value, 4, 1000000, options.Radios);
        else if (arg == "--corrupt")
            valid = ParseInteger(value, 0, 1000, options.Corrupt);
        else
            return BadArguments("unknown option '" + arg + "'");
        if (!valid)
            return BadArguments("invalid value '" + value + "' for " + arg);
    }
    if (options.Mode == "capture") {
        if (options.Kind < 0 || options.Blocks < 0 || options.Output.empty())
            return BadArguments("capture needs --kind, --blocks and -o");
    } else if (options.Mode == "live") {
        if (options.Scanner < 0)
            return BadArguments("live needs --scanner");
    } else {
        return BadArguments(options.Mode.empty() ? "missing mode: capture or live" : "unknown mode '" + options.Mode + "'");
    }
    return 0;
}

int Live(const Options& options, SystemSimulator& simulator)
{
    PseudoTerminal terminal;
    if (!terminal.IsOpen() || !terminal.HoldSlave()) {
        std::fprintf(stderr, "zembrant-sim: cannot create a pseudo-terminal\n");
        return ExitFailure;
    }
    std::printf("%s\n", terminal.SlavePath().c_str());
    std::fflush(stdout);
    std::signal(SIGINT, RequestStop);
    std::signal(SIGTERM, RequestStop);
    std::signal(SIGPIPE, SIG_IGN);
    LiveScanner scanner(terminal, simulator, options.Scanner, options.Rate);
    scanner.Run(g_stop, options.Duration);
    std::fprintf(stderr, "zembrant-sim: %llu blocks sent, %llu dropped\n",
                 static_cast<unsigned long long>(scanner.BlocksSent()),
                 static_cast<unsigned long long>(scanner.BlocksDropped()));
    return 0;
}

}

int main(int argc, char** argv)
{
    Options options;
    bool done = false;
    if (const int status = ParseOptions(argc, argv, options, done); status != 0 || done)
        return status;

    SimulatorSettings settings;
    settings.Seed = static_cast<uint64_t>(options.Seed);
    settings.Talkgroups = static_cast<int>(options.Talkgroups);
    settings.Radios = static_cast<int>(options.Radios);
    settings.CorruptPerMille = static_cast<int>(options.Corrupt);
    SystemSimulator simulator(settings);

    if (options.Mode == "live")
        return Live(options, simulator);

    CaptureSettings capture;
    capture.Kind = static_cast<CaptureKind>(options.Kind);
    capture.Blocks = static_cast<uint64_t>(options.Blocks);
    capture.Start = options.Start;
    capture.BlocksPerSecond = options.Rate;
    std::string error;
    if (!WriteCapture(options.Output, simulator, capture, error)) {
        std::fprintf(stderr, "zembrant-sim: %s\n", error.c_str());
        return ExitFailure;
    }
    return 0;
}
