#include "input/KavriReadThread.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

#include "input/HexText.h"
#include "input/TBSKQueue.h"
#include "model/Locks.h"

namespace {

constexpr int LinkSpeed = 115200;
constexpr int Pro96Speed = 19200;
constexpr int PassPauseMs = 5;
constexpr int QueueFullPauseMs = 10;
constexpr int LinkSettleMs = 100;
constexpr int MaxLatencyMs = 100;
constexpr int NominalBlocksPerSecond = 40;
constexpr int MaxLineCharacters = 1020;

constexpr uint8_t DataOutputStart[] = {0x02, 0x43, 0x01, 0x03, 0x47};
constexpr uint8_t Poll[] = {0x02, 0x39, 0x44, 0x03, 0x80};
constexpr uint8_t Acknowledge = 0x06;
constexpr int ResponseLength = 21;
constexpr int ResponseStatusByte = 5;
constexpr int ResponseBlockByte = 7;
// The poll answer and the wait after the acknowledge are each bounded by this wait (the
// time of some 100000 checks of the receive queue), taken without spinning.
constexpr int ResponseWaitMs = 100;

bool IsLower(std::string_view text, std::string_view lower)
{
    if (text.size() != lower.size())
        return false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i] >= 'A' && text[i] <= 'Z' ? static_cast<char>(text[i] - 'A' + 'a') : text[i];
        if (c != lower[i])
            return false;
    }
    return true;
}

// P25, a field without separators, the 24 digits; text after the first space is ignored.
ScannerLine Psr500Line(std::string_view line, uint8_t* block)
{
    ScannerLine result;
    if (line.size() < 24)
        return result;
    result.Dumped = true;
    line = line.substr(0, line.find(' '));
    std::string_view fields[MaxLineFields];
    if (SplitFields(line, fields, MaxLineFields) < 3)
        return result;
    result.Expected = true;
    if (fields[0] == "P25" && fields[2].size() == 24) {
        ReadHexPairs(fields[2], block, 12);
        result.Block = true;
    }
    return result;
}

ScannerLine UnidenLine(std::string_view line, uint8_t* block)
{
    ScannerLine result;
    if (line.size() < 24)
        return result;
    result.Dumped = true;
    std::string_view fields[MaxLineFields];
    if (SplitFields(line, fields, MaxLineFields) < 2)
        return result;
    result.Expected = true;
    if (fields[0] == "P25" && fields[1].size() == 24) {
        ReadHexPairs(fields[1], block, 12);
        result.Block = true;
    }
    return result;
}

// Fixed columns: spaces at 10 and 19, the digits among columns 20 to 54.
ScannerLine AnritsuLine(std::string_view line, uint8_t* block)
{
    ScannerLine result;
    result.Dumped = !line.empty();
    if (line.size() < 55 || line[10] != ' ' || line[19] != ' ')
        return result;
    char digits[35];
    int count = 0;
    for (size_t i = 20; i <= 54; ++i) {
        if (line[i] != ' ')
            digits[count++] = line[i];
    }
    if (count != 24)
        return result;
    result.Expected = true;
    ReadHexPairs(std::string_view(digits, 24), block, 12);
    result.Block = true;
    return result;
}

ScannerLine Psr800Line(std::string_view line, uint8_t* block)
{
    ScannerLine result;
    if (line.size() < 35)
        return result;
    result.Dumped = true;
    std::string_view fields[MaxLineFields];
    const int count = SplitFields(line, fields, MaxLineFields);
    if (count < 5)
        return result;
    result.Expected = true;
    if (fields[0] != "P25")
        return result;
    if (IsLower(fields[4], "p25tsbk") && count >= 6 && fields[5].size() >= 35) {
        ReadHexPairs(fields[5], block, 12, 3);
        result.Block = true;
    } else if (IsLower(fields[4], "p25pdu") && count >= 18) {
        for (int i = 0; i < 12; ++i)
            block[i] = HexPair(fields[6 + i]);
        result.Block = true;
    }
    return result;
}

}

ScannerLine ParseScannerLine(int scannerType, std::string_view line, uint8_t* block)
{
    switch (scannerType) {
    case ScannerTypes::Psr500: return Psr500Line(line, block);
    case ScannerTypes::Bcd396xt: return UnidenLine(line, block);
    case ScannerTypes::AnritsuS412d: return AnritsuLine(line, block);
    case ScannerTypes::Psr800: return Psr800Line(line, block);
    default: return {};
    }
}

TKavri::TKavri(TBSKQueue& queue, ReceiveCounters& counters, KavriSettings settings)
    : m_queue(queue), m_counters(counters), m_settings(std::move(settings)), m_rawDump(m_settings.RawDump)
{
}

bool TKavri::HasRawLines()
{
    if (!m_rawDump || m_settings.ScannerType == ScannerTypes::Pro96 || !m_running)
        return false;
    NamedLockGuard guard(Locks::PSRRAW);
    return !m_rawLines.empty();
}

std::string TKavri::PopRawLine()
{
    if (!m_rawDump)
        return {};
    NamedLockGuard guard(Locks::PSRRAW);
    if (m_rawLines.empty())
        return {};
    std::string line = std::move(m_rawLines.front());
    m_rawLines.pop_front();
    return line;
}

// The list is capped at the size of the raw dump view; when nobody takes the lines the
// oldest go first.
void TKavri::AddRawLine(std::string_view line)
{
    if (!m_rawDump)
        return;
    NamedLockGuard guard(Locks::PSRRAW);
    if (m_rawLines.size() >= RawLineCapacity)
        m_rawLines.pop_front();
    m_rawLines.emplace_back(line);
}

bool TKavri::Pause(std::stop_token stop, int milliseconds)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    return !stop.stop_requested();
}

void TKavri::Execute(std::stop_token stop)
{
    m_running = false;
    m_counters.BlocksExpected = 0;
    m_counters.BlocksReceived = 0;
    if (m_settings.ScannerType == ScannerTypes::None)
        return;

    m_port.SetPortName(m_settings.Port);
    m_port.SetByteSize(8);
    m_port.SetParity(0);
    m_port.SetStopBits(0);
    if (!m_port.Open()) {
        if (onPortError)
            onPortError(m_port.ErrorText());
        return;
    }

    bool portAlive = PrepareLink(stop);
    m_running = portAlive;
    while (portAlive && !stop.stop_requested()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(PassPauseMs));
        if (!m_queue.HasRoom()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(QueueFullPauseMs));
            continue;
        }
        portAlive = m_settings.ScannerType >= ScannerTypes::Psr500 && m_settings.ScannerType <= ScannerTypes::Psr800
                        ? TextPass()
                        : PollPass();
    }

    m_running = false;
    {
        NamedLockGuard guard(Locks::PSRRAW);
        m_rawLines.clear();
    }
    if (!portAlive)
        ReportPortLost();
    m_port.DropDtr();
    m_port.Close();
}

bool TKavri::PrepareLink(std::stop_token stop)
{
    const int type = m_settings.ScannerType;
    if (type == ScannerTypes::Psr500 || type == ScannerTypes::Psr800 || type == ScannerTypes::AnritsuS412d) {
        m_port.SetBaudRate(LinkSpeed);
    } else if (type == ScannerTypes::Bcd396xt) {
        m_port.SetBaudRate(m_settings.UnidenSpeed);
    } else {
        m_port.SetBaudRate(Pro96Speed);
        m_port.RaiseDtr();
        m_port.DropRts();
        m_port.FlushOutput();
        m_port.PurgeInput();
        return true;
    }
    m_port.RaiseDtr();
    m_port.FlushOutput();
    m_port.PurgeInput();
    if (!Pause(stop, LinkSettleMs))
        return true;
    if (type == ScannerTypes::Psr500 || type == ScannerTypes::Psr800) {
        m_port.Write(DataOutputStart, sizeof DataOutputStart);
        m_port.FlushOutput();
        if (!Pause(stop, LinkSettleMs))
            return true;
    }
    m_port.PurgeInput();
    return m_port.BytesWaiting() >= 0;
}

void TKavri::ReportPortLost()
{
    if (onPortError)
        onPortError(m_port.ErrorText());
}

void TKavri::PushBlock()
{
    m_queue.Push(m_block);
    m_counters.BlocksReceived.fetch_add(1, std::memory_order_relaxed);
}

// One Pro-96 poll: send the poll, gather the answer, acknowledge whatever came.
bool TKavri::PollPass()
{
    if (m_settings.Latency >= 1 && m_settings.Latency <= MaxLatencyMs)
        std::this_thread::sleep_for(std::chrono::milliseconds(m_settings.Latency));
    m_port.Write(Poll, sizeof Poll);

    int collected = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ResponseWaitMs);
    while (collected < ResponseLength) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline -
                                                                                 std::chrono::steady_clock::now());
        const int waiting = m_port.WaitForBytes(static_cast<int>(std::max<int64_t>(left.count(), 0)));
        if (waiting < 0)
            return false;
        if (waiting == 0)
            break;
        collected += m_port.Read(m_response + collected, std::min(waiting, LineCapacity - collected));
    }

    if (collected >= ResponseLength && m_response[ResponseStatusByte] == Acknowledge) {
        m_counters.BlocksExpected.fetch_add(1, std::memory_order_relaxed);
        std::memcpy(m_block, m_response + ResponseBlockByte, sizeof m_block);
        int sum = 0;
        for (uint8_t b : m_block)
            sum += b;
        if (sum != 0)
            PushBlock();
    }

    m_port.Write(&Acknowledge, 1);
    const int waiting = m_port.WaitForBytes(ResponseWaitMs);
    if (waiting < 0)
        return false;
    if (waiting > 0)
        m_port.PurgeInput();
    return true;
}

bool TKavri::TextPass()
{
    for (;;) {
        if (m_pendingStart == m_pendingEnd) {
            const int waiting = m_port.BytesWaiting();
            if (waiting < 0)
                return false;
            if (waiting == 0)
                return true;
            m_pendingStart = 0;
            m_pendingEnd = m_port.Read(m_pending, std::min(waiting, PendingCapacity - 1));
            if (m_pendingEnd <= 0) {
                m_pendingEnd = 0;
                return m_port.BytesWaiting() >= 0;
            }
        }
        while (m_pendingStart < m_pendingEnd) {
            uint8_t byte = m_pending[m_pendingStart++];
            if (byte > 0x7F)
                byte -= 0x80;
            if (byte == '\r' || byte == '\n') {
                if (EndLine() && !m_queue.HasRoom())
                    return true;
                continue;
            }
            if (m_lineLength > MaxLineCharacters - 1)
                m_lineLength = 0;
            m_line[m_lineLength++] = static_cast<char>(byte);
        }
    }
}

bool TKavri::EndLine()
{
    const std::string_view line(m_line, static_cast<size_t>(m_lineLength));
    m_lineLength = 0;
    if (line.empty())
        return false;
    std::memset(m_block, 0, sizeof m_block);
    const ScannerLine result = ParseScannerLine(m_settings.ScannerType, line, m_block);
    if (result.Dumped)
        AddRawLine(line);
    if (result.Expected)
        m_counters.BlocksExpected = NominalBlocksPerSecond;
    if (result.Block)
        PushBlock();
    return result.Block;
}
