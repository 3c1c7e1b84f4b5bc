#include "cli/ReconcileCommand.h"

#include <charconv>
#include <cstdlib>
#include <iostream>

#include "cli/CliConfig.h"
#include "cli/FolderModel.h"
#include "model/P25Class.h"
#include "persistence/Config.h"
#include "persistence/SystemFiles.h"
#include "platform/DataFolderLock.h"
#include "platform/Files.h"
#include "report/Reconcile.h"

namespace {

constexpr char ReconcileUsage[] =
    "Usage: zembrant-cli reconcile --system SYSID [--data-dir DIR] [--config FILE]\n"
    "                              [--csv FILE] [--json FILE] [--days N]\n"
    "\n"
    "Compares a system's folder with what the directory service answered at its last\n"
    "import (Directory.json, written by the import): talkgroups, sites and frequencies\n"
    "heard but not listed, listed but never heard, and encryption that disagrees with the\n"
    "listed mode. Prints the differences as an aligned table, or writes them to files.\n"
    "\n"
    "Options:\n"
    "  --system SYSID       system ID, hexadecimal as the window shows it, e.g. 1A4\n"
    "  --data-dir DIR       data directory (default: Zembrant in the documents folder)\n"
    "  --config FILE        configuration file (default: DIR/Zembrant.ini)\n"
    "  --csv FILE           write the table as CSV instead of printing it\n"
    "  --json FILE          write the table as JSON instead of printing it\n"
    "  --days N             a listed talkgroup not heard for N days counts as never heard\n"
    "                       (default 30)\n"
    "  --help               show this text\n"
    "\n"
    "Exit status:\n"
    "  0    done, with or without differences\n"
    "  1    a failure: no system folder, no import yet, a Directory.json that cannot be\n"
    "       read, a file that cannot be written, a data directory another Zembrant process\n"
    "       is using\n"
    "  2    wrong arguments\n";

constexpr int HighestSystemId = 0xFFF;
constexpr int MostDays = 36500;

struct ReconcileOptions
{
    bool Help = false;
    std::string DataDir;
    std::string ConfigFile;
    int SystemId = 0;
    std::string CsvFile;
    std::string JsonFile;
    int Days = DefaultNeverHeardDays;
};

bool ParseNumber(const std::string& text, int& value, int base, int low, int high)
{
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, value, base);
    return !text.empty() && result.ec == std::errc() && result.ptr == end && value >= low && value <= high;
}

bool ParseReconcileOptions(const std::vector<std::string>& args, ReconcileOptions& options, std::string& error)
{
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help") {
            options.Help = true;
            return true;
        }
        if (i + 1 >= args.size()) {
            error = arg.starts_with("--") ? arg + " needs a value" : "unexpected argument " + arg;
            return false;
        }
        const std::string& v = args[++i];
        if (arg == "--data-dir") {
            options.DataDir = v;
        } else if (arg == "--config") {
            options.ConfigFile = v;
        } else if (arg == "--system") {
            if (v.size() > 3 || !ParseNumber(v, options.SystemId, 16, 1, HighestSystemId)) {
                error = "--system needs a system ID of one to three hexadecimal digits, from 001 to FFF";
                return false;
            }
        } else if (arg == "--csv") {
            options.CsvFile = v;
        } else if (arg == "--json") {
            options.JsonFile = v;
        } else if (arg == "--days") {
            if (!ParseNumber(v, options.Days, 10, 1, MostDays)) {
                error = "--days needs a whole number of days from 1 to " + std::to_string(MostDays);
                return false;
            }
        } else {
            error = "unknown option " + arg;
            return false;
        }
    }
    if (options.SystemId == 0) {
        error = "reconcile needs --system";
        return false;
    }
    return true;
}

bool WriteTable(const std::string& path, const std::string& text)
{
    std::string error;
    if (WriteFileAtomically(path, text, error))
        return true;
    Fail(error);
    return false;
}

int RunReconcile(const ReconcileOptions& options)
{
    CONFIG config;
    DataFolderLock lock;
    std::string folder;
    if (!OpenSystemFolder(options.DataDir, options.ConfigFile, options.SystemId, config, lock, folder))
        return 1;
    DirectoryRecord directory;
    std::string error;
    if (!LoadDirectoryRecord(folder, directory, error)) {
        Fail(error);
        return 1;
    }
    OnTheAir air;
    air.SysId = options.SystemId;
    if (directory.SysId == 0) {
        Fail(Reconcile(air, directory, 0, options.Days).Empty);
        return 1;
    }
    P25Class model;
    FolderModel loaded;
    if (!loaded.Load(model, config.DataFolder, options.SystemId))
        return 1;
    GatherOnTheAir(model, air);
    GatherSavedSites(model, options.SystemId, air);
    for (const std::string& warning : model.TakeFileWarnings())
        Fail("warning: " + warning);
    const ReportTable table = Reconcile(air, directory, model.GetClock().Now(), options.Days);
    if (options.CsvFile.empty() && options.JsonFile.empty()) {
        std::cout << ReportText(table);
        return 0;
    }
    if (!options.CsvFile.empty() && !WriteTable(options.CsvFile, ReportCsv(table)))
        return 1;
    if (!options.JsonFile.empty() && !WriteTable(options.JsonFile, ReportJson(table)))
        return 1;
    return 0;
}

}

int RunReconcileCommand(const std::vector<std::string>& args)
{
    ReconcileOptions options;
    std::string error;
    if (!ParseReconcileOptions(args, options, error)) {
        Fail(error);
        std::cerr << "Try 'zembrant-cli reconcile --help'.\n";
        return 2;
    }
    if (options.Help) {
        std::cout << ReconcileUsage;
        return 0;
    }
    return RunReconcile(options);
}
