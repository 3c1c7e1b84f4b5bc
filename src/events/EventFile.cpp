#include "events/EventFile.h"

#include <cerrno>
#include <cstring>
#include <utility>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

EventFile::~EventFile()
{
    Close();
}

bool EventFile::Open(const std::string& path, std::string& error)
{
    std::lock_guard guard(m_mutex);
    m_path = path == "-" ? "standard output" : path;
    if (path == "-") {
        m_fd = STDOUT_FILENO;
        m_ownsFd = false;
        return true;
    }
    m_fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (m_fd < 0) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    m_ownsFd = true;
    return true;
}

void EventFile::Publish(const EventLine& line)
{
    if (line.StateOnly)
        return;
    std::lock_guard guard(m_mutex);
    if (m_fd < 0)
        return;
    if (m_buffer.empty())
        m_firstPending = std::chrono::steady_clock::now();
    m_buffer += line.Json;
    m_buffer += '\n';
    ++m_lines;
}

void EventFile::Flush()
{
    std::lock_guard guard(m_mutex);
    if (m_buffer.empty())
        return;
    if (m_buffer.size() >= FlushBytes || std::chrono::steady_clock::now() - m_firstPending >= FlushInterval)
        WriteOut();
}

void EventFile::Close()
{
    std::lock_guard guard(m_mutex);
    if (m_fd < 0)
        return;
    WriteOut();
    if (m_ownsFd)
        ::close(m_fd);
    m_fd = -1;
}

void EventFile::WriteOut()
{
    if (m_buffer.empty() || m_fd < 0)
        return;
    struct stat before{};
    const bool regular = ::fstat(m_fd, &before) == 0 && S_ISREG(before.st_mode);
    size_t written = 0;
    int failure = 0;
    while (written < m_buffer.size()) {
        const ssize_t n = ::write(m_fd, m_buffer.data() + written, m_buffer.size() - written);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            failure = n < 0 ? errno : ENOSPC;
            break;
        }
        written += static_cast<size_t>(n);
    }
    if (failure == 0) {
        m_failed = false;
    } else {
        // What did reach the file is cut off again rather than left as half a line.
        if (regular && written > 0 && ::ftruncate(m_fd, before.st_size) != 0)
            failure = errno;
        m_dropped += m_lines;
        if (!m_failed)
            m_notices.push_back("cannot write the events to " + m_path + ": " + std::strerror(failure));
        m_failed = true;
    }
    m_buffer.clear();
    m_lines = 0;
}

uint64_t EventFile::Dropped() const
{
    std::lock_guard guard(m_mutex);
    return m_dropped;
}

std::vector<std::string> EventFile::TakeNotices()
{
    std::lock_guard guard(m_mutex);
    return std::exchange(m_notices, {});
}
