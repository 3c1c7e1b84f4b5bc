#pragma once
#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <string_view>

#include "input/TCommPort.h"
#include "platform/WorkerThread.h"

class TBSKQueue;

// The receive-rate counters: written by the producer, read and reset once a second by
// the front end without a lock.
struct ReceiveCounters
{
    std::atomic<int> BlocksExpected{0};
    std::atomic<int> BlocksReceived{0};
};

// Communications/ScannerType.
namespace ScannerTypes {
constexpr int Pro96 = 0;
constexpr int Psr500 = 1;
constexpr int Bcd396xt = 2;
constexpr int AnritsuS412d = 3;
constexpr int Psr800 = 4;
// With this value the reader ends at once without opening the port.
constexpr int None = 255;
}

// What the reader needs of the configuration, copied before it starts.
struct KavriSettings
{
    std::string Port = "COM1";     // Communications/Port
    int ScannerType = 0;           // Communications/ScannerType
    int UnidenSpeed = 115200;      // Communications/UnidenSpeed
    int Latency = 10;              // Communications/Latency, ms between Pro-96 polls
    bool RawDump = false;          // PSRDUMP/Visible; may change while running
};

// What one text line of scanner types 1 to 4 gives.
struct ScannerLine
{
    bool Dumped = false;   // goes to the raw-line list
    bool Expected = false; // sets BlocksExpected to 40
    bool Block = false;    // the block was filled
};

// One complete line (without its line end) of a text scanner type; block is 12 bytes.
ScannerLine ParseScannerLine(int scannerType, std::string_view line, uint8_t* block);

// The reader thread of a live session: owns the decode port, frames the scanner's output
// into 12-byte blocks and pushes them into TBSKQueue. The raw-line list is shared with the
// screen thread under "PSRRAW"; the counters are atomics read by the front end.
//
// Back-pressure: the port is read only while the queue has room, and a pass stops as soon
// as the queue fills, keeping the bytes not yet framed for the next pass, so no block that
// reached the program is lost to a full queue.
//
// onPortError is called on the reader thread, at most once per run, with the text to show:
// the open failure, or the loss of the port mid-session (an unplugged scanner), after which
// the reader closes the port and ends. The front end shows it under "Serial Port Open
// Error" and stops the session 2 s later.
class TKavri : public WorkerThread
{
public:
    static constexpr int RawLineCapacity = 10000;

    TKavri(TBSKQueue& queue, ReceiveCounters& counters, KavriSettings settings);
    ~TKavri() override { Stop(); }

    bool IsReading() const { return m_running.load(); }
    void SetRawDump(bool on) { m_rawDump = on; }
    bool HasRawLines();
    std::string PopRawLine();

    std::function<void(const std::string& text)> onPortError;

protected:
    void Execute(std::stop_token stop) override;

private:
    bool PrepareLink(std::stop_token stop);
    bool PollPass();
    bool TextPass();
    // True when the line gave a block.
    bool EndLine();
    void PushBlock();
    void ReportPortLost();
    void AddRawLine(std::string_view line);
    bool Pause(std::stop_token stop, int milliseconds);

    static constexpr int LineCapacity = 1024;
    static constexpr int PendingCapacity = 4096;

    TBSKQueue& m_queue;
    ReceiveCounters& m_counters;
    const KavriSettings m_settings;
    std::atomic<bool> m_rawDump;
    std::atomic<bool> m_running{false};
    TCommPort m_port;
    std::deque<std::string> m_rawLines;

    char m_line[LineCapacity] = {};
    int m_lineLength = 0;
    uint8_t m_response[LineCapacity] = {};
    uint8_t m_pending[PendingCapacity] = {};
    int m_pendingStart = 0;
    int m_pendingEnd = 0;
    uint8_t m_block[12] = {};
};
