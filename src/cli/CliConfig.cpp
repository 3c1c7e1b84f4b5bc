#include "cli/CliConfig.h"

#include <iostream>

#include "persistence/Config.h"
#include "persistence/SystemFiles.h"
#include "platform/DataFolderLock.h"
#include "platform/Files.h"
#include "platform/IniFile.h"

namespace {

bool CheckWritable(const std::string& folder, std::string& error)
{
    const std::string probe = folder + ".zembrant-write-test";
    if (!WriteFileAtomically(probe, "", error)) {
        error = "cannot write to the data directory " + folder + ": " + error;
        return false;
    }
    DeleteFile(probe);
    return true;
}

// A configuration file that exists but holds none of the program's sections is damaged
// or not ours: its settings are the defaults.
bool LooksLikeConfiguration(const std::string& path)
{
    const IniFile ini(path);
    for (const char* section :
         {"Communications", "Global", "AutoSave", "ScanControl", "Activity", "Grants", "RRWebService", "Proxy"})
        if (ini.SectionExists(section))
            return true;
    return false;
}

}

void Fail(const std::string& message)
{
    std::cerr << "zembrant-cli: " << message << "\n";
}

bool LoadCliConfiguration(const CliOptions& options, CONFIG& config, EXTRASETTINGS& extra, DataFolderLock& lock)
{
    std::string dataDir = options.DataDir.empty() ? DefaultDataFolder() : options.DataDir;
    dataDir = WithTrailingSlash(dataDir);
    if (!IsDirectory(dataDir) && !CreateDirectories(dataDir)) {
        Fail("cannot create the data directory " + dataDir);
        return false;
    }
    std::string error;
    if (const auto taken = lock.Take(dataDir, error); taken != DataFolderLock::Outcome::Taken) {
        Fail(taken == DataFolderLock::Outcome::InUse ? error
                                                     : "cannot write to the data directory " + dataDir + ": " + error);
        return false;
    }
    if (!CheckWritable(dataDir, error)) {
        Fail(error);
        return false;
    }
    std::string configFile = options.ConfigFile.empty() ? dataDir + ConfigFileName : options.ConfigFile;
    if (!options.ConfigFile.empty() && configFile.find('/') == std::string::npos)
        configFile = dataDir + configFile;
    if (!options.ConfigFile.empty() && !FileExists(configFile)) {
        Fail("configuration file not found: " + configFile);
        return false;
    }
    if (FileExists(configFile) && !LooksLikeConfiguration(configFile))
        Fail("warning: " + configFile + " holds no settings that can be read; using the defaults");

    config.ConfigFile = configFile;
    config.DataFolder = dataDir;
    LoadConfiguration(config, extra);
    for (const std::string& warning : extra.Warnings)
        Fail("warning: " + warning);
    config.DataFolder = dataDir;
    return true;
}

bool OpenSystemFolder(const std::string& dataDir, const std::string& configFile, int sysId, CONFIG& config,
                      DataFolderLock& lock, std::string& folder)
{
    CliOptions cli;
    cli.DataDir = dataDir;
    cli.ConfigFile = configFile;
    EXTRASETTINGS extra;
    if (!LoadCliConfiguration(cli, config, extra, lock))
        return false;
    folder = SystemFolderPath(config.DataFolder, sysId);
    if (IsDirectory(folder))
        return true;
    Fail("no system folder " + folder);
    return false;
}
