#pragma once

#include "cli/CliOptions.h"

// zembrant-cli import: fills in the names of a system folder from the directory service.
// The exit status: 0 when the names were imported and saved, 1 otherwise.
int RunImport(const CliOptions& options);
