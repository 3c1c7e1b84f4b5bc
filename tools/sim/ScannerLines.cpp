#include "sim/ScannerLines.h"

#include <algorithm>
#include <cstdio>

#include "input/KavriReadThread.h"
#include "platform/Clock.h"

namespace ScannerLines {

std::string HexText(const TsbkBlock& block, const std::string& separator)
{
    std::string text;
    char pair[4];
    for (size_t i = 0; i < block.size(); ++i) {
        std::snprintf(pair, sizeof pair, "%02X", block[i]);
        if (i > 0)
            text += separator;
        text += pair;
    }
    return text;
}

std::string Psr500Line(const TsbkBlock& block)
{
    return "P25:0A1:" + HexText(block) + " 12 -67";
}

std::string UnidenLine(const TsbkBlock& block)
{
    return "P25," + HexText(block) + ",0";
}

std::string AnritsuLine(const TsbkBlock& block)
{
    return "12:00:00.0 00012345 " + HexText(block, " ");
}

std::string Psr800TsbkLine(const TsbkBlock& block)
{
    return "P25:0:1A2:3:P25TSBK:" + HexText(block, " ");
}

// The dump reader skips a five-character field after the tag; the live reader takes any.
std::string Psr800PduLine(const TsbkBlock& block)
{
    return "P25:0:1A2:3:P25PDU:00000:" + HexText(block, ":");
}

std::vector<uint8_t> Pro96Response(const TsbkBlock& block, uint8_t status)
{
    std::vector<uint8_t> response(21, 0);
    response[0] = 0x02;
    response[5] = status;
    std::copy(block.begin(), block.end(), response.begin() + 7);
    response[20] = 0x03;
    return response;
}

std::string ScannerLine(int scannerType, const TsbkBlock& block, bool inPacket)
{
    switch (scannerType) {
    case ScannerTypes::Psr500: return Psr500Line(block);
    case ScannerTypes::Bcd396xt: return UnidenLine(block);
    case ScannerTypes::AnritsuS412d: return AnritsuLine(block);
    case ScannerTypes::Psr800: return inPacket ? Psr800PduLine(block) : Psr800TsbkLine(block);
    }
    return {};
}

std::string CaptureHeader(CaptureKind kind)
{
    return kind == CaptureKind::Anritsu ? "<APP_DATA>" : "";
}

std::string CaptureFooter(CaptureKind kind)
{
    return kind == CaptureKind::Anritsu ? "<APP_DATA_END>" : "";
}

std::string CaptureLine(CaptureKind kind, const TsbkBlock& block, int64_t time, const std::string& description,
                        bool inPacket)
{
    switch (kind) {
    case CaptureKind::Anritsu: return "0012 T " + HexText(block, " ") + " 00";
    case CaptureKind::Psr500Dump: return "P25," + HexText(block) + ",0A1";
    case CaptureKind::Psr800Dump: return inPacket ? Psr800PduLine(block) : Psr800TsbkLine(block) + ":";
    case CaptureKind::HomePatrolDump: return "00:00:01\t\"P25," + HexText(block) + "\"\t-90";
    case CaptureKind::ZembrantDump: return "  " + HexText(block, " ") + "  " + LocalTimeText(time) + " " + description;
    case CaptureKind::Bcd396xtDump: return UnidenLine(block);
    }
    return {};
}

}
