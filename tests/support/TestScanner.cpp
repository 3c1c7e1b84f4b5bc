#include "support/TestScanner.h"

#include <algorithm>

#include "sim/ScannerLines.h"

TestScanner::TestScanner() = default;

TestScanner::~TestScanner()
{
    StopServing();
    HangUp();
}

bool TestScanner::Write(const std::vector<uint8_t>& bytes)
{
    return m_terminal.Write(bytes);
}

bool TestScanner::Write(const std::string& text)
{
    return m_terminal.Write(text);
}

std::vector<uint8_t> TestScanner::ReadSent(int timeoutMs)
{
    return m_terminal.ReadSent(timeoutMs);
}

bool TestScanner::LineSettings(termios& settings) const
{
    return m_terminal.LineSettings(settings);
}

void TestScanner::HangUp()
{
    m_terminal.HangUp();
}

void TestScanner::ServePolls(std::vector<std::vector<uint8_t>> responses)
{
    StopServing();
    m_server = std::jthread([this, responses = std::move(responses)](std::stop_token stop) {
        constexpr auto& poll = ScannerLines::Pro96Poll;
        size_t next = 0;
        std::vector<uint8_t> heard;
        bool awaitingAck = false;
        while (!stop.stop_requested() && m_terminal.IsOpen()) {
            const std::vector<uint8_t> got = m_terminal.Read(10, 1);
            if (got.empty())
                continue;
            const uint8_t byte = got[0];
            if (awaitingAck) {
                if (byte == ScannerLines::Pro96Acknowledge) {
                    ++m_acknowledges;
                    awaitingAck = false;
                }
                continue;
            }
            heard.push_back(byte);
            if (heard.size() > sizeof poll)
                heard.erase(heard.begin());
            if (heard.size() < sizeof poll || !std::equal(heard.begin(), heard.end(), poll))
                continue;
            heard.clear();
            if (next < responses.size()) {
                Write(responses[next++]);
                ++m_pollsAnswered;
            }
            awaitingAck = true;
        }
    });
}

void TestScanner::StopServing()
{
    if (m_server.joinable()) {
        m_server.request_stop();
        m_server.join();
    }
}

std::string TestScanner::HexText(const TsbkBlock& block, const std::string& separator)
{
    return ScannerLines::HexText(block, separator);
}

std::string TestScanner::Psr500Line(const TsbkBlock& block)
{
    return ScannerLines::Psr500Line(block);
}

std::string TestScanner::UnidenLine(const TsbkBlock& block)
{
    return ScannerLines::UnidenLine(block);
}

std::string TestScanner::AnritsuLine(const TsbkBlock& block)
{
    return ScannerLines::AnritsuLine(block);
}

std::string TestScanner::Psr800TsbkLine(const TsbkBlock& block)
{
    return ScannerLines::Psr800TsbkLine(block);
}

std::string TestScanner::Psr800PduLine(const TsbkBlock& block)
{
    return ScannerLines::Psr800PduLine(block);
}

std::vector<uint8_t> TestScanner::Pro96Response(const TsbkBlock& block, uint8_t status)
{
    return ScannerLines::Pro96Response(block, status);
}
