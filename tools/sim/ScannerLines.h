#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "decoder/Tsbk.h"
#include "input/CaptureReplay.h"

// The output of each scanner type and the lines of each capture kind, one block at a
// time, as the devices and the program write them (line end not included).
namespace ScannerLines {

// The Pro-96 poll the reader sends, and the acknowledge that follows each response.
constexpr uint8_t Pro96Poll[] = {0x02, 0x39, 0x44, 0x03, 0x80};
constexpr uint8_t Pro96Acknowledge = 0x06;

// "XX" for each byte, separated by separator.
std::string HexText(const TsbkBlock& block, const std::string& separator = "");

std::string Psr500Line(const TsbkBlock& block);
std::string UnidenLine(const TsbkBlock& block);
std::string AnritsuLine(const TsbkBlock& block);
std::string Psr800TsbkLine(const TsbkBlock& block);
// One block of a packet data unit; the same line serves the live scanner and its dump.
std::string Psr800PduLine(const TsbkBlock& block);
// A Pro-96 poll response: 21 bytes, byte 5 the status, bytes 7-18 the block.
std::vector<uint8_t> Pro96Response(const TsbkBlock& block, uint8_t status = 0x06);

// The live output line of a text scanner type (ScannerTypes 1 to 4); inPacket selects
// the PSR-800's packet line for the blocks of a multi-block packet.
std::string ScannerLine(int scannerType, const TsbkBlock& block, bool inPacket = false);

// The first and last lines of a capture of this kind ("" when it has none).
std::string CaptureHeader(CaptureKind kind);
std::string CaptureFooter(CaptureKind kind);
// One block of a capture. time (seconds since 1970) and description fill the time and
// text columns of the program's dump.
std::string CaptureLine(CaptureKind kind, const TsbkBlock& block, int64_t time = 1700000000,
                        const std::string& description = "Some Message", bool inPacket = false);

}
