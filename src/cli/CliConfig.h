#pragma once
#include <string>

#include "cli/CliOptions.h"

struct CONFIG;
struct EXTRASETTINGS;
class DataFolderLock;

// One message on standard error: "zembrant-cli: " and message.
void Fail(const std::string& message);

// Settles the data directory (created when missing, and it must be writable) and the
// configuration file from the command line, takes the directory's lock for the caller's
// run (every caller may save into it), then loads the configuration. False after saying
// why on standard error, also when another process holds the directory.
bool LoadCliConfiguration(const CliOptions& options, CONFIG& config, EXTRASETTINGS& extra, DataFolderLock& lock);

// The opening of the commands that work on one system's folder (names, reconcile): the
// configuration read, the data folder held, and the system folder's path, which exists.
// False after saying why.
bool OpenSystemFolder(const std::string& dataDir, const std::string& configFile, int sysId, CONFIG& config,
                      DataFolderLock& lock, std::string& folder);
