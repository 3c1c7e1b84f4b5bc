#include "sim/CaptureOutput.h"

#include "platform/Files.h"
#include "sim/ScannerLines.h"

std::string CaptureText(SystemSimulator& simulator, const CaptureSettings& settings)
{
    const double rate = settings.BlocksPerSecond > 0 ? settings.BlocksPerSecond : 40;
    std::string text;
    if (!ScannerLines::CaptureHeader(settings.Kind).empty())
        text += ScannerLines::CaptureHeader(settings.Kind) + "\r\n";
    for (uint64_t i = 0; i < settings.Blocks; ++i) {
        const SimulatedBlock block = simulator.Next();
        const int64_t time = settings.Start + static_cast<int64_t>(static_cast<double>(i) / rate);
        text += ScannerLines::CaptureLine(settings.Kind, block.Block, time, block.Description, block.InPacket);
        text += "\r\n";
    }
    if (!ScannerLines::CaptureFooter(settings.Kind).empty())
        text += ScannerLines::CaptureFooter(settings.Kind) + "\r\n";
    return text;
}

bool WriteCapture(const std::string& path, SystemSimulator& simulator, const CaptureSettings& settings,
                  std::string& error)
{
    return WriteFileAtomically(path, CaptureText(simulator, settings), error);
}
