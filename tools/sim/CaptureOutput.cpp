#include "sim/CaptureOutput.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "sim/ScannerLines.h"

namespace {

bool WriteLine(std::FILE* file, const std::string& line)
{
    return std::fwrite(line.data(), 1, line.size(), file) == line.size() && std::fwrite("\r\n", 1, 2, file) == 2;
}

}

bool WriteCapture(const std::string& path, SystemSimulator& simulator, const CaptureSettings& settings,
                  std::string& error)
{
    const std::string partial = path + ".part";
    std::FILE* file = std::fopen(partial.c_str(), "wb");
    if (!file) {
        error = partial + ": " + std::strerror(errno);
        return false;
    }
    const double rate = settings.BlocksPerSecond > 0 ? settings.BlocksPerSecond : 40;
    bool written = true;
    if (!ScannerLines::CaptureHeader(settings.Kind).empty())
        written = WriteLine(file, ScannerLines::CaptureHeader(settings.Kind));
    for (uint64_t i = 0; i < settings.Blocks && written; ++i) {
        const SimulatedBlock block = simulator.Next();
        const int64_t time = settings.Start + static_cast<int64_t>(static_cast<double>(i) / rate);
        written = WriteLine(file, ScannerLines::CaptureLine(settings.Kind, block.Block, time, block.Description,
                                                            block.InPacket));
    }
    if (written && !ScannerLines::CaptureFooter(settings.Kind).empty())
        written = WriteLine(file, ScannerLines::CaptureFooter(settings.Kind));
    const int savedErrno = errno;
    if (std::fclose(file) != 0 || !written) {
        error = partial + ": " + std::strerror(written ? errno : savedErrno);
        std::remove(partial.c_str());
        return false;
    }
    if (std::rename(partial.c_str(), path.c_str()) != 0) {
        error = path + ": " + std::strerror(errno);
        std::remove(partial.c_str());
        return false;
    }
    return true;
}
