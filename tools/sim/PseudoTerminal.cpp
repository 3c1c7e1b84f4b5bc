#include "sim/PseudoTerminal.h"

#include <cerrno>
#include <cstdlib>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {

constexpr int QuietMs = 20;

}

PseudoTerminal::PseudoTerminal()
{
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_master < 0)
        return;
    char name[128];
    if (::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0 || ::ptsname_r(m_master, name, sizeof name) != 0) {
        HangUp();
        return;
    }
    m_slavePath = name;
}

PseudoTerminal::~PseudoTerminal()
{
    HangUp();
}

bool PseudoTerminal::HoldSlave()
{
    if (m_master < 0 || m_heldSlave >= 0)
        return m_heldSlave >= 0;
    m_heldSlave = ::open(m_slavePath.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_heldSlave < 0)
        return false;
    termios settings{};
    if (::tcgetattr(m_heldSlave, &settings) == 0) {
        ::cfmakeraw(&settings);
        ::tcsetattr(m_heldSlave, TCSANOW, &settings);
    }
    const int flags = ::fcntl(m_master, F_GETFL);
    ::fcntl(m_master, F_SETFL, flags | O_NONBLOCK);
    return true;
}

bool PseudoTerminal::Write(const uint8_t* bytes, size_t length)
{
    size_t done = 0;
    while (done < length && m_master >= 0) {
        const ssize_t n = ::write(m_master, bytes + done, length - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return done == length;
}

std::vector<uint8_t> PseudoTerminal::Read(int timeoutMs, size_t max)
{
    std::vector<uint8_t> bytes;
    pollfd entry{m_master, POLLIN, 0};
    if (m_master < 0 || ::poll(&entry, 1, timeoutMs) <= 0 || !(entry.revents & POLLIN))
        return bytes;
    bytes.resize(max);
    const ssize_t n = ::read(m_master, bytes.data(), max);
    bytes.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return bytes;
}

std::vector<uint8_t> PseudoTerminal::ReadSent(int timeoutMs)
{
    std::vector<uint8_t> sent;
    int wait = timeoutMs;
    for (;;) {
        const std::vector<uint8_t> more = Read(wait);
        if (more.empty())
            return sent;
        sent.insert(sent.end(), more.begin(), more.end());
        wait = QuietMs;
    }
}

void PseudoTerminal::HangUp()
{
    if (m_heldSlave >= 0)
        ::close(m_heldSlave);
    if (m_master >= 0)
        ::close(m_master);
    m_heldSlave = -1;
    m_master = -1;
}
