#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "directory/SystemImport.h"
#include "input/CaptureReplay.h"
#include "view/LogLists.h"

// What the command line of zembrant-cli asks for.
struct CliOptions
{
    enum class Mode { None, Replay, Live, Import, Help, Version };

    Mode Command = Mode::None;
    std::string File;
    CaptureKind Kind = CaptureKind::ZembrantDump;
    bool KindGiven = false;
    std::string Port;
    int ScannerType = -1;
    std::string DataDir;
    std::string ConfigFile;
    // The logs to write; unset: those the configuration saves automatically.
    std::optional<std::vector<LogKind>> Logs;
    double Duration = 0.0;
    std::optional<int64_t> ClockStart;
    bool Quiet = false;
    bool Json = false;
    // replay and live: the live events as JSON lines ("-": standard output), and the MQTT
    // broker address that overrides the configuration's.
    std::string EventsFile;
    std::string MqttAddress;
    // replay and live: the "what changed" report written at the end (text, .csv or .json).
    std::string ChangesFile;
    // replay and live: write nothing to the history databases, whatever [History] says.
    bool NoHistory = false;
    // import: the system folder's ID, what to import, and the system to take when several
    // share the ID.
    int SystemId = 0;
    IMPORTOPTIONS Import;
    std::optional<int> Choose;
};

// False with a message for standard error when the arguments are wrong.
bool ParseCliOptions(const std::vector<std::string>& args, CliOptions& options, std::string& error);

extern const char* const CliUsage;

// The command-line names of the logs ("grants", "dump", ...).
const char* LogName(LogKind kind);
