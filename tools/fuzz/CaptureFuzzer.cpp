// libFuzzer entry for capture files: the input is the file. It is read through CaptureFile
// from a memory file, and every line goes through the parsers of all six kinds. The
// lines must give back the input byte for byte, none longer than a line may be.
#include <sys/mman.h>
#include <unistd.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "input/CaptureReplay.h"

namespace {

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const int fd = ::memfd_create("capture", MFD_CLOEXEC);
    if (fd < 0)
        return 0;
    const std::string input(reinterpret_cast<const char*>(data), size);
    const bool written = ::write(fd, input.data(), input.size()) == static_cast<ssize_t>(input.size());
    CaptureFile file;
    if (!written || !file.Open("/proc/self/fd/" + std::to_string(fd))) {
        ::close(fd);
        return 0;
    }
    ::close(fd);

    std::array<std::unique_ptr<CaptureParser>, CaptureKindCount> parsers;
    for (int k = 0; k < CaptureKindCount; ++k)
        parsers[k] = std::make_unique<CaptureParser>(static_cast<CaptureKind>(k));
    std::string joined;
    std::string_view line;
    uint8_t block[TsbkSize];
    while (file.NextLine(line)) {
        Check(!line.empty() && line.size() <= static_cast<size_t>(CaptureParser::MaxLineLength));
        Check(line.back() == '\n' || line.size() == CaptureParser::MaxLineLength ||
              joined.size() + line.size() == input.size());
        joined.append(line);
        for (auto& parser : parsers)
            parser->ParseLine(line, block);
    }
    Check(file.ReadError().empty());
    Check(joined == input);
    Check(file.BytesRead() == input.size() && file.Size() == input.size());
    return 0;
}
