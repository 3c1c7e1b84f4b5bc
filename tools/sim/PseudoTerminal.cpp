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
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    m_master = master;
    if (master < 0)
        return;
    char name[128];
    if (::grantpt(master) != 0 || ::unlockpt(master) != 0 || ::ptsname_r(master, name, sizeof name) != 0) {
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
    const int master = m_master;
    while (done < length && master >= 0) {
        const ssize_t n = ::write(master, bytes + done, length - done);
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
    const int master = m_master;
    pollfd entry{master, POLLIN, 0};
    if (master < 0 || ::poll(&entry, 1, timeoutMs) <= 0 || !(entry.revents & POLLIN))
        return bytes;
    bytes.resize(max);
    const ssize_t n = ::read(master, bytes.data(), max);
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
    const int master = m_master.exchange(-1);
    if (master >= 0)
        ::close(master);
    m_heldSlave = -1;
}
