#pragma once
#include <string>

#include "cli/CliOptions.h"

struct CONFIG;
struct EXTRASETTINGS;

// One message on standard error: "zembrant-cli: " and message.
void Fail(const std::string& message);

// Settles the data directory (created when missing, and it must be writable) and the
// configuration file from the command line, then loads the configuration. False after
// saying why on standard error.
bool LoadCliConfiguration(const CliOptions& options, CONFIG& config, EXTRASETTINGS& extra);
