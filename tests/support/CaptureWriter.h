#pragma once
#include <cstdint>
#include <cstdio>
#include <string>

#include "decoder/Tsbk.h"
#include "input/CaptureReplay.h"
#include "platform/Clock.h"
#include "support/TestScanner.h"

// Writes capture files of each kind, one block per line, as the devices and the program
// write them.
class CaptureWriter
{
public:
    CaptureWriter(const std::string& path, CaptureKind kind) : m_kind(kind), m_file(std::fopen(path.c_str(), "wb"))
    {
        if (m_file && kind == CaptureKind::Anritsu)
            Raw("<APP_DATA>\r\n");
    }
    ~CaptureWriter() { Close(); }

    void Close()
    {
        if (!m_file)
            return;
        if (m_kind == CaptureKind::Anritsu)
            Raw("<APP_DATA_END>\r\n");
        std::fclose(m_file);
        m_file = nullptr;
    }

    // time: seconds since 1970 for the program's dump (its time column).
    void Block(const TsbkBlock& block, int64_t time = 1700000000)
    {
        Raw(Line(m_kind, block, time) + "\r\n");
    }

    void Raw(const std::string& text) { std::fwrite(text.data(), 1, text.size(), m_file); }

    static std::string Line(CaptureKind kind, const TsbkBlock& block, int64_t time = 1700000000)
    {
        switch (kind) {
        case CaptureKind::Anritsu: return "0012 T " + TestScanner::HexText(block, " ") + " 00";
        case CaptureKind::Psr500Dump: return "P25," + TestScanner::HexText(block) + ",0A1";
        case CaptureKind::Psr800Dump: return TestScanner::Psr800TsbkLine(block) + ":";
        case CaptureKind::HomePatrolDump: return "00:00:01\t\"P25," + TestScanner::HexText(block) + "\"\t-90";
        case CaptureKind::ZembrantDump:
            return "  " + TestScanner::HexText(block, " ") + "  " + LocalTimeText(time) + " Some Message";
        case CaptureKind::Bcd396xtDump: return TestScanner::UnidenLine(block);
        }
        return {};
    }

private:
    CaptureKind m_kind;
    std::FILE* m_file;
};
