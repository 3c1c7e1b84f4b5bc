#pragma once
#include <cstdint>
#include <cstdio>
#include <string>

#include "decoder/Tsbk.h"
#include "input/CaptureReplay.h"
#include "sim/ScannerLines.h"

// Writes capture files of each kind, one block per line, as the devices and the program
// write them.
class CaptureWriter
{
public:
    CaptureWriter(const std::string& path, CaptureKind kind) : m_kind(kind), m_file(std::fopen(path.c_str(), "wb"))
    {
        if (m_file && !ScannerLines::CaptureHeader(kind).empty())
            Raw(ScannerLines::CaptureHeader(kind) + "\r\n");
    }
    ~CaptureWriter() { Close(); }

    void Close()
    {
        if (!m_file)
            return;
        if (!ScannerLines::CaptureFooter(m_kind).empty())
            Raw(ScannerLines::CaptureFooter(m_kind) + "\r\n");
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
        return ScannerLines::CaptureLine(kind, block, time);
    }

private:
    CaptureKind m_kind;
    std::FILE* m_file;
};
