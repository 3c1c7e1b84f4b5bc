#include "support/TestScanner.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace {

constexpr uint8_t PollCommand[] = {0x02, 0x39, 0x44, 0x03, 0x80};
constexpr uint8_t Acknowledge = 0x06;

}

TestScanner::TestScanner()
{
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0)
        return;
    char name[128];
    if (::ptsname_r(m_master, name, sizeof name) == 0)
        m_slavePath = name;
}

TestScanner::~TestScanner()
{
    StopServing();
    HangUp();
}

bool TestScanner::Write(const std::vector<uint8_t>& bytes)
{
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(m_master, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

bool TestScanner::Write(const std::string& text)
{
    return Write(std::vector<uint8_t>(text.begin(), text.end()));
}

std::vector<uint8_t> TestScanner::ReadSent(int timeoutMs)
{
    std::vector<uint8_t> sent;
    pollfd entry{m_master, POLLIN, 0};
    int wait = timeoutMs;
    while (m_master >= 0 && ::poll(&entry, 1, wait) > 0 && (entry.revents & POLLIN)) {
        uint8_t buffer[256];
        const ssize_t n = ::read(m_master, buffer, sizeof buffer);
        if (n <= 0)
            break;
        sent.insert(sent.end(), buffer, buffer + n);
        wait = 20;
    }
    return sent;
}

bool TestScanner::LineSettings(termios& settings) const
{
    return m_master >= 0 && ::tcgetattr(m_master, &settings) == 0;
}

void TestScanner::HangUp()
{
    if (m_master >= 0)
        ::close(m_master);
    m_master = -1;
}

void TestScanner::ServePolls(std::vector<std::vector<uint8_t>> responses)
{
    StopServing();
    m_server = std::jthread([this, responses = std::move(responses)](std::stop_token stop) {
        size_t next = 0;
        std::vector<uint8_t> heard;
        bool awaitingAck = false;
        while (!stop.stop_requested()) {
            pollfd entry{m_master, POLLIN, 0};
            if (::poll(&entry, 1, 10) <= 0 || !(entry.revents & POLLIN))
                continue;
            uint8_t byte;
            if (::read(m_master, &byte, 1) != 1)
                return;
            if (awaitingAck) {
                if (byte == Acknowledge) {
                    ++m_acknowledges;
                    awaitingAck = false;
                }
                continue;
            }
            heard.push_back(byte);
            if (heard.size() > sizeof PollCommand)
                heard.erase(heard.begin());
            if (heard.size() < sizeof PollCommand || !std::equal(heard.begin(), heard.end(), PollCommand))
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

std::string TestScanner::Psr500Line(const TsbkBlock& block)
{
    return "P25:0A1:" + HexText(block) + " 12 -67";
}

std::string TestScanner::UnidenLine(const TsbkBlock& block)
{
    return "P25," + HexText(block) + ",0";
}

std::string TestScanner::AnritsuLine(const TsbkBlock& block)
{
    return "12:00:00.0 00012345 " + HexText(block, " ");
}

std::string TestScanner::Psr800TsbkLine(const TsbkBlock& block)
{
    return "P25:0:1A2:3:P25TSBK:" + HexText(block, " ");
}

std::string TestScanner::Psr800PduLine(const TsbkBlock& block)
{
    return "P25:0:1A2:3:P25PDU:00:" + HexText(block, ":");
}

std::vector<uint8_t> TestScanner::Pro96Response(const TsbkBlock& block, uint8_t status)
{
    std::vector<uint8_t> response(21, 0);
    response[0] = 0x02;
    response[5] = status;
    std::copy(block.begin(), block.end(), response.begin() + 7);
    response[20] = 0x03;
    return response;
}
