#include "input/TCommPort.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

using SteadyClock = std::chrono::steady_clock;

int MillisecondsLeft(SteadyClock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - SteadyClock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

bool SpeedConstant(int baud, speed_t& speed)
{
    switch (baud) {
    case 1200: speed = B1200; return true;
    case 2400: speed = B2400; return true;
    case 4800: speed = B4800; return true;
    case 9600: speed = B9600; return true;
    case 19200: speed = B19200; return true;
    case 38400: speed = B38400; return true;
    case 57600: speed = B57600; return true;
    case 115200: speed = B115200; return true;
    case 230400: speed = B230400; return true;
    case 460800: speed = B460800; return true;
    case 921600: speed = B921600; return true;
    default: return false;
    }
}

// A device without modem lines (a pseudo-terminal) answers one of these.
bool LacksModemLines(int error)
{
    return error == ENOTTY || error == EINVAL || error == ENOSYS;
}

// "COMn" with n >= 1, any case; 0 when the name is not of that form.
int ComNumber(const std::string& name)
{
    if (name.size() < 4 || std::toupper(static_cast<unsigned char>(name[0])) != 'C' ||
        std::toupper(static_cast<unsigned char>(name[1])) != 'O' ||
        std::toupper(static_cast<unsigned char>(name[2])) != 'M')
        return 0;
    int number = 0;
    for (size_t i = 3; i < name.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(name[i])) || number > 100000)
            return 0;
        number = number * 10 + (name[i] - '0');
    }
    return number;
}

// Orders "ttyS2" before "ttyS10".
bool NaturalLess(const std::string& a, const std::string& b)
{
    size_t i = 0;
    size_t j = 0;
    while (i < a.size() && j < b.size()) {
        if (std::isdigit(static_cast<unsigned char>(a[i])) && std::isdigit(static_cast<unsigned char>(b[j]))) {
            size_t endA = i;
            size_t endB = j;
            while (endA < a.size() && std::isdigit(static_cast<unsigned char>(a[endA])))
                ++endA;
            while (endB < b.size() && std::isdigit(static_cast<unsigned char>(b[endB])))
                ++endB;
            const std::string numA = a.substr(i, endA - i);
            const std::string numB = b.substr(j, endB - j);
            if (numA.size() != numB.size())
                return numA.size() < numB.size();
            if (numA != numB)
                return numA < numB;
            i = endA;
            j = endB;
            continue;
        }
        if (a[i] != b[j])
            return a[i] < b[j];
        ++i;
        ++j;
    }
    return a.size() - i < b.size() - j;
}

// A legacy UART slot the kernel keeps without a chip reports type 0.
bool IsEmptyUartSlot(const fs::path& entry)
{
    std::ifstream type(entry / "type");
    int value = -1;
    return type && (type >> value) && value == 0;
}

}

TCommPort::~TCommPort()
{
    Close();
}

void TCommPort::SetPortName(const std::string& name)
{
    if (!IsOpen())
        m_portName = name;
}

std::string TCommPort::DevicePath() const
{
    if (!m_portName.empty() && m_portName[0] == '/')
        return m_portName;
    if (const int number = ComNumber(m_portName); number > 0) {
        const auto ports = ListPorts(m_root);
        return number <= static_cast<int>(ports.size()) ? ports[number - 1].Device : std::string();
    }
    return (fs::path(m_root) / "dev" / m_portName).string();
}

bool TCommPort::SetBaudRate(int baud)
{
    const int previous = m_baudRate;
    m_baudRate = baud;
    if (IsOpen() && !ApplySettings()) {
        m_baudRate = previous;
        return false;
    }
    return true;
}

bool TCommPort::SetByteSize(int bits)
{
    const int previous = m_byteSize;
    m_byteSize = bits;
    if (IsOpen() && !ApplySettings()) {
        m_byteSize = previous;
        return false;
    }
    return true;
}

bool TCommPort::SetParity(int parity)
{
    const int previous = m_parity;
    m_parity = parity;
    if (IsOpen() && !ApplySettings()) {
        m_parity = previous;
        return false;
    }
    return true;
}

bool TCommPort::SetStopBits(int stopBits)
{
    const int previous = m_stopBits;
    m_stopBits = stopBits;
    if (IsOpen() && !ApplySettings()) {
        m_stopBits = previous;
        return false;
    }
    return true;
}

void TCommPort::SetError(int code)
{
    m_lastError = code;
    if (code == ENOENT || code == ENODEV || code == ENXIO) {
        m_errorText = "Port does not exist!";
    } else if (code == EBUSY || code == EACCES || code == EWOULDBLOCK) {
        m_errorText = "Access Denied: Port is already in use!";
    } else {
        char text[ErrorTextSize];
        std::snprintf(text, sizeof text, "Error Code %d (%s)", code, std::strerror(code));
        m_errorText = text;
    }
}

// A failure while the device is being set up also fills the error text, so that the
// caller never shows an empty message for a failed open.
bool TCommPort::Open()
{
    if (IsOpen())
        return false;
    const std::string path = DevicePath();
    if (path.empty()) {
        SetError(ENOENT);
        return false;
    }
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        SetError(errno);
        return false;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        SetError(errno == EWOULDBLOCK ? EBUSY : errno);
        ::close(fd);
        return false;
    }
    ::ioctl(fd, TIOCEXCL);
    m_fd = fd;
    if (!ApplySettings() || (!DropDtr() && !LacksModemLines(errno)) || (!DropRts() && !LacksModemLines(errno))) {
        SetError(errno);
        ::close(m_fd);
        m_fd = -1;
        return false;
    }
    return true;
}

void TCommPort::Close()
{
    if (!IsOpen())
        return;
    ::ioctl(m_fd, TIOCNXCL);
    ::close(m_fd);
    m_fd = -1;
}

int TCommPort::LastError(char* text) const
{
    if (text) {
        const size_t length = std::min(m_errorText.size(), static_cast<size_t>(ErrorTextSize - 1));
        std::memcpy(text, m_errorText.data(), length);
        text[length] = '\0';
    }
    return m_lastError;
}

bool TCommPort::ApplySettings()
{
    termios settings{};
    if (::tcgetattr(m_fd, &settings) != 0)
        return false;
    speed_t speed;
    if (!SpeedConstant(m_baudRate, speed) || m_byteSize < 5 || m_byteSize > 8 || m_parity < 0 || m_parity > 2 ||
        m_stopBits < 0 || m_stopBits > 2) {
        errno = EINVAL;
        return false;
    }
    ::cfmakeraw(&settings);
    settings.c_cflag |= CLOCAL | CREAD;
    settings.c_cflag &= ~(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
    static constexpr tcflag_t sizes[] = {CS5, CS6, CS7, CS8};
    settings.c_cflag |= sizes[m_byteSize - 5];
    if (m_parity != 0)
        settings.c_cflag |= PARENB | (m_parity == 1 ? PARODD : 0);
    if (m_stopBits != 0)
        settings.c_cflag |= CSTOPB;
    settings.c_iflag &= ~(IXON | IXOFF | IXANY);
    settings.c_cc[VMIN] = 0;
    settings.c_cc[VTIME] = 0;
    if (::cfsetispeed(&settings, speed) != 0 || ::cfsetospeed(&settings, speed) != 0)
        return false;
    return ::tcsetattr(m_fd, TCSANOW, &settings) == 0;
}

int TCommPort::Write(const uint8_t* bytes, int count)
{
    if (!IsOpen() || !bytes || count <= 0)
        return 0;
    const auto deadline = SteadyClock::now() + std::chrono::milliseconds(WriteTimeoutConstantMs + count);
    int written = 0;
    while (written < count) {
        const ssize_t n = ::write(m_fd, bytes + written, static_cast<size_t>(count - written));
        if (n > 0) {
            written += static_cast<int>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN)
            return 0;
        const int left = MillisecondsLeft(deadline);
        pollfd entry{m_fd, POLLOUT, 0};
        if (left == 0 || ::poll(&entry, 1, left) <= 0 || (entry.revents & (POLLERR | POLLHUP | POLLNVAL)))
            return 0;
    }
    FlushOutput();
    return written;
}

int TCommPort::WriteText(const char* text)
{
    if (!IsOpen() || !text)
        return 0;
    const ssize_t n = ::write(m_fd, text, std::strlen(text));
    return n > 0 ? static_cast<int>(n) : 0;
}

bool TCommPort::WriteByte(uint8_t byte)
{
    return IsOpen() && ::write(m_fd, &byte, 1) == 1;
}

int TCommPort::Read(uint8_t* buffer, int count)
{
    if (!IsOpen() || !buffer || count <= 0)
        return 0;
    const auto deadline = SteadyClock::now() + std::chrono::milliseconds(ReadTimeoutConstantMs + count);
    int got = 0;
    while (got < count) {
        const ssize_t n = ::read(m_fd, buffer + got, static_cast<size_t>(count - got));
        if (n > 0) {
            got += static_cast<int>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n == 0 || errno != EAGAIN)
            break;
        const int left = MillisecondsLeft(deadline);
        const int wait = got > 0 ? std::min(left, InterByteGapMs) : left;
        pollfd entry{m_fd, POLLIN, 0};
        if (wait == 0 || ::poll(&entry, 1, wait) <= 0 || !(entry.revents & POLLIN))
            break;
    }
    if (got < count)
        buffer[got] = 0;
    return got;
}

uint8_t TCommPort::ReadByte()
{
    uint8_t byte[2] = {};
    return Read(byte, 1) == 1 ? byte[0] : 0;
}

void TCommPort::DiscardBytes(int count)
{
    uint8_t scratch[256];
    while (count > 0 && IsOpen()) {
        const int n = Read(scratch, std::min(count, static_cast<int>(sizeof scratch) - 1));
        if (n <= 0)
            return;
        count -= n;
    }
}

int TCommPort::BytesWaiting()
{
    return WaitForBytes(0);
}

// A lost port records why, as an open failure would: a hang-up says so, "Port does not
// exist!" once the device node has gone (an unplugged adapter), otherwise the error code.
int TCommPort::WaitForBytes(int timeoutMs)
{
    if (!IsOpen())
        return 0;
    int waiting = 0;
    if (::ioctl(m_fd, FIONREAD, &waiting) == 0 && waiting > 0)
        return waiting;
    pollfd entry{m_fd, POLLIN, 0};
    const int ready = ::poll(&entry, 1, timeoutMs);
    if (ready == 0 || (ready < 0 && errno == EINTR))
        return 0;
    if (ready > 0 && (entry.revents & POLLIN) && ::ioctl(m_fd, FIONREAD, &waiting) == 0 && waiting > 0)
        return waiting;
    std::error_code ignored;
    const bool present = fs::exists(DevicePath(), ignored);
    // The far end closed the line (a pseudo-terminal's master, whose node goes with it, or
    // a device that hung up): not a missing port.
    if (ready > 0 && (entry.revents & POLLHUP) && (present || DevicePath().rfind("/dev/pts/", 0) == 0)) {
        m_lastError = EIO;
        m_errorText = HangUpText;
        return -1;
    }
    SetError(present ? EIO : ENODEV);
    return -1;
}

bool TCommPort::PurgeInput()
{
    return IsOpen() && ::tcflush(m_fd, TCIFLUSH) == 0;
}

// Bounded by the time the queued bytes need at the line speed plus the write time-out,
// so that a stalled device cannot hold the caller.
bool TCommPort::FlushOutput()
{
    if (!IsOpen())
        return false;
    int queued = 0;
    if (::ioctl(m_fd, TIOCOUTQ, &queued) != 0)
        return false;
    const int lineMs = m_baudRate > 0 ? queued * 10 * 1000 / m_baudRate : 0;
    const auto deadline = SteadyClock::now() + std::chrono::milliseconds(WriteTimeoutConstantMs + lineMs);
    while (queued > 0) {
        if (MillisecondsLeft(deadline) == 0)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        if (::ioctl(m_fd, TIOCOUTQ, &queued) != 0)
            return false;
    }
    return true;
}

bool TCommPort::SetModemLine(int line, bool raise)
{
    return IsOpen() && ::ioctl(m_fd, raise ? TIOCMBIS : TIOCMBIC, &line) == 0;
}

bool TCommPort::RaiseDtr()
{
    return SetModemLine(TIOCM_DTR, true);
}

bool TCommPort::DropDtr()
{
    return SetModemLine(TIOCM_DTR, false);
}

bool TCommPort::DropRts()
{
    return SetModemLine(TIOCM_RTS, false);
}

int TCommPort::FindFirstPort(int highest)
{
    m_enumCounter = 0;
    return FindNextPort(highest);
}

int TCommPort::FindNextPort(int highest)
{
    if (IsOpen())
        return -2;
    ++m_enumCounter;
    const auto ports = ListPorts(m_root);
    if (m_enumCounter > highest || m_enumCounter > static_cast<int>(ports.size()))
        return -1;
    m_portName = ports[m_enumCounter - 1].Device;
    return m_enumCounter;
}

std::vector<TCommPort::PortInfo> TCommPort::ListPorts(const std::string& root)
{
    std::vector<PortInfo> ports;
    std::error_code error;
    const fs::path classes = fs::path(root) / "sys" / "class" / "tty";
    for (fs::directory_iterator it(classes, error), end; !error && it != end; it.increment(error)) {
        const fs::path entry = it->path();
        std::error_code ignored;
        if (!fs::exists(entry / "device", ignored) || IsEmptyUartSlot(entry))
            continue;
        ports.push_back({(fs::path(root) / "dev" / entry.filename()).string(), {}});
    }

    const fs::path byId = fs::path(root) / "dev" / "serial" / "by-id";
    for (fs::directory_iterator it(byId, error), end; !error && it != end; it.increment(error)) {
        std::error_code ignored;
        const fs::path target = fs::read_symlink(it->path(), ignored);
        if (ignored)
            continue;
        for (auto& port : ports) {
            if (fs::path(port.Device).filename() == target.filename())
                port.Description = it->path().filename().string();
        }
    }

    std::sort(ports.begin(), ports.end(),
              [](const PortInfo& a, const PortInfo& b) { return NaturalLess(a.Device, b.Device); });
    return ports;
}
