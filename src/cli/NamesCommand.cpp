#include "cli/NamesCommand.h"

#include <charconv>
#include <iostream>
#include <utility>

#include "cli/CliConfig.h"
#include "cli/FolderModel.h"
#include "model/P25Class.h"
#include "names/NamesCsv.h"
#include "persistence/Config.h"
#include "persistence/SystemFiles.h"
#include "platform/DataFolderLock.h"
#include "platform/Files.h"

namespace {

constexpr char NamesUsage[] =
    "Usage: zembrant-cli names export --system SYSID [--data-dir DIR] [--config FILE]\n"
    "                          --talkgroups FILE|--radios FILE [--format FORMAT]\n"
    "       zembrant-cli names import --system SYSID [--data-dir DIR] [--config FILE]\n"
    "                          --talkgroups FILE|--radios FILE [--format FORMAT] [--choice CHOICE]\n"
    "\n"
    "Writes the talkgroup or radio names of a system's folder to a CSV file (UTF-8), or\n"
    "reads them from one into the folder and prints what it did.\n"
    "\n"
    "Options:\n"
    "  --system SYSID       system ID, hexadecimal as the window shows it, e.g. 1A4\n"
    "  --data-dir DIR       data directory (default: Zembrant in the documents folder)\n"
    "  --config FILE        configuration file (default: DIR/Zembrant.ini)\n"
    "  --talkgroups FILE    the talkgroup names\n"
    "  --radios FILE        the radio names\n"
    "  --format FORMAT      zembrant: every field of the table, header \"Zembrant Talkgroup,...\"\n"
    "                       or \"Zembrant Radio,...\" (the default of export)\n"
    "                       talkgroups: \"Decimal,Hex,Alpha Tag,Mode,Description,Tag,Category\",\n"
    "                       optionally \",Priority\" (talkgroups only)\n"
    "                       plain: an ID and a name, header \"id,name\"\n"
    "                       import reads the format from the file's header unless given\n"
    "  --choice CHOICE      import: new: only IDs the folder lacks (default); default: also\n"
    "                       names that are empty or the decoder's; all: every name\n"
    "  --help               show this text\n"
    "\n"
    "Exit status:\n"
    "  0    done; an import also when it refused rows, whose lines it names\n"
    "  1    a failure: a file that cannot be read or written, a folder that cannot be\n"
    "       saved, a data directory another Zembrant process is using\n"
    "  2    wrong arguments\n";

constexpr int HighestSystemId = 0xFFF;

struct NamesOptions
{
    bool Help = false;
    bool Import = false;
    std::string DataDir;
    std::string ConfigFile;
    int SystemId = 0;
    NamesTable Table = NamesTable::Talkgroups;
    std::string File;
    NamesFormat Format = NamesFormat::Auto;
    bool ChoiceGiven = false;
    TalkgroupImport Choice = TalkgroupImport::New;
};

constexpr std::pair<const char*, NamesFormat> Formats[] = {
    {"zembrant", NamesFormat::Zembrant}, {"talkgroups", NamesFormat::Talkgroup}, {"plain", NamesFormat::Plain}};
constexpr std::pair<const char*, TalkgroupImport> Choices[] = {
    {"new", TalkgroupImport::New}, {"default", TalkgroupImport::Default}, {"all", TalkgroupImport::All}};

template <typename Value, size_t N>
bool Pick(const std::string& word, const std::pair<const char*, Value> (&words)[N], Value& value)
{
    for (const auto& [name, named] : words)
        if (word == name) {
            value = named;
            return true;
        }
    return false;
}

bool ParseSystemId(const std::string& text, int& id)
{
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, id, 16);
    return text.size() <= 3 && result.ec == std::errc() && result.ptr == end && id >= 1 && id <= HighestSystemId;
}

bool ParseNamesOptions(const std::vector<std::string>& args, NamesOptions& options, std::string& error)
{
    if (!args.empty() && args[0] == "--help") {
        options.Help = true;
        return true;
    }
    if (args.empty() || (args[0] != "export" && args[0] != "import")) {
        error = "names needs export or import first";
        return false;
    }
    options.Import = args[0] == "import";
    for (size_t i = 1; i < args.size(); ++i) {
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
            if (!ParseSystemId(v, options.SystemId)) {
                error = "--system needs a system ID of one to three hexadecimal digits, from 001 to FFF";
                return false;
            }
        } else if (arg == "--talkgroups" || arg == "--radios") {
            if (!options.File.empty()) {
                error = "names takes one file: --talkgroups FILE or --radios FILE";
                return false;
            }
            options.Table = arg == "--talkgroups" ? NamesTable::Talkgroups : NamesTable::Radios;
            options.File = v;
        } else if (arg == "--format") {
            if (!Pick(v, Formats, options.Format)) {
                error = "--format needs zembrant, talkgroups or plain";
                return false;
            }
        } else if (arg == "--choice") {
            options.ChoiceGiven = true;
            if (!Pick(v, Choices, options.Choice)) {
                error = "--choice needs new, default or all";
                return false;
            }
        } else {
            error = "unknown option " + arg;
            return false;
        }
    }
    if (options.SystemId == 0 || options.File.empty()) {
        error = "names needs --system and --talkgroups FILE or --radios FILE";
        return false;
    }
    if (options.ChoiceGiven && !options.Import) {
        error = "--choice belongs to names import";
        return false;
    }
    if (options.Table == NamesTable::Radios && options.Format == NamesFormat::Talkgroup) {
        error = "--format talkgroups holds talkgroups, not radios";
        return false;
    }
    return true;
}

int RunNames(const NamesOptions& options)
{
    CONFIG config;
    DataFolderLock lock;
    std::string folder;
    if (!OpenSystemFolder(options.DataDir, options.ConfigFile, options.SystemId, config, lock, folder))
        return 1;
    P25Class model;
    FolderModel loaded;
    if (!loaded.Load(model, config.DataFolder, options.SystemId))
        return 1;

    std::string error;
    if (!options.Import) {
        if (!ExportNames(model, options.Table, options.Format, options.File, error)) {
            Fail(error);
            return 1;
        }
        return 0;
    }
    NamesImportReport report;
    if (!ImportNames(model, options.Table, options.Format, options.Choice, options.File, report, error)) {
        Fail(error);
        return 1;
    }
    std::cout << ReportText(report) << "\n";
    for (const auto& [line, reason] : report.RefusedLines)
        std::cout << "line " << line << ": " << reason << "\n";
    // Nothing changed: the folder stays as it was, to the byte.
    if (report.Added + report.Replaced == 0)
        return 0;
    return loaded.Save(model) ? 0 : 1;
}

}

int RunNamesCommand(const std::vector<std::string>& args)
{
    NamesOptions options;
    std::string error;
    if (!ParseNamesOptions(args, options, error)) {
        Fail(error);
        std::cerr << "Try 'zembrant-cli names --help'.\n";
        return 2;
    }
    if (options.Help) {
        std::cout << NamesUsage;
        return 0;
    }
    return RunNames(options);
}
