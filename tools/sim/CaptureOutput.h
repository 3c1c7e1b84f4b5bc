#pragma once
#include <cstdint>
#include <string>

#include "input/CaptureReplay.h"
#include "sim/SystemSimulator.h"

struct CaptureSettings
{
    CaptureKind Kind = CaptureKind::ZembrantDump;
    uint64_t Blocks = 1000;
    int64_t Start = 1700000000; // seconds since 1970 of the first block
    double BlocksPerSecond = 40;
};

// The next Blocks blocks of the simulator as the text of a capture file of the given
// kind, lines ending in CR LF.
std::string CaptureText(SystemSimulator& simulator, const CaptureSettings& settings);
// The same written to path, replacing it whole (a failed write leaves what was there).
// False with the file and the reason in error.
bool WriteCapture(const std::string& path, SystemSimulator& simulator, const CaptureSettings& settings,
                  std::string& error);
