#pragma once
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "events/EventOutput.h"

// The events as JSON lines appended to a file, or written to standard output ("-").
// Lines are gathered and written whole, at least every FlushInterval while events come,
// so that a line is never torn: a write that fails half-way is cut back off a regular file.
class EventFile : public EventOutput
{
public:
    static constexpr auto FlushInterval = std::chrono::milliseconds(50);
    static constexpr size_t FlushBytes = 64 * 1024;

    EventFile() = default;
    ~EventFile() override;
    EventFile(const EventFile&) = delete;
    EventFile& operator=(const EventFile&) = delete;

    // False with the reason when the file cannot be opened for appending.
    bool Open(const std::string& path, std::string& error);
    void Publish(const EventLine& line) override;
    void Flush() override;
    // Writes what is gathered and closes the file.
    void Close();
    uint64_t Dropped() const override;
    std::vector<std::string> TakeNotices() override;

private:
    void WriteOut();

    mutable std::mutex m_mutex;
    std::string m_path;
    int m_fd = -1;
    bool m_ownsFd = false;
    std::string m_buffer;
    size_t m_lines = 0;
    std::chrono::steady_clock::time_point m_firstPending{};
    uint64_t m_dropped = 0;
    bool m_failed = false;
    std::vector<std::string> m_notices;
};
