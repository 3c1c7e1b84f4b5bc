#pragma once
#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

#include "input/ProcThread.h"
#include "platform/Clock.h"
#include "platform/WorkerThread.h"

class TBSKQueue;
struct ReceiveCounters;

// The capture kinds, in the order of the file type dialog.
enum class CaptureKind
{
    Anritsu = 0,
    Psr500Dump = 1,
    Psr800Dump = 2,
    HomePatrolDump = 3,
    ZembrantDump = 4,
    Bcd396xtDump = 5,
};
constexpr int CaptureKindCount = 6;

// The dialog text of a kind ("Anritsu", "GRECOM PSR-500 Family Dump File", ...).
const char* CaptureKindText(CaptureKind kind);

// The line rules of one capture kind, with the state that lasts from line to line (the
// data section of an Anritsu file).
class CaptureParser
{
public:
    // A line is at most this long; a longer one arrives in pieces.
    static constexpr int MaxLineLength = 1023;

    explicit CaptureParser(CaptureKind kind) : m_kind(kind) {}

    // One line as read, line end included. True when it filled the 12-byte block.
    bool ParseLine(std::string_view line, uint8_t* block);
    // Seconds since 1970 from the time column of the last line of a program dump; 0 when
    // the line had none.
    int64_t LineTime() const { return m_lineTime; }
    CaptureKind Kind() const { return m_kind; }

private:
    bool AnritsuLine(std::string_view line, uint8_t* block);
    bool Psr800Line(std::string_view line, uint8_t* block);
    bool DumpLine(std::string_view line, uint8_t* block);

    CaptureKind m_kind;
    bool m_inDataSection = false;
    int64_t m_lineTime = 0;
    char m_lastTimeText[19] = {};
    int64_t m_lastTime = 0;
};

// Reads a file in lines of at most CaptureParser::MaxLineLength characters through a
// fixed buffer, whatever the length of the file's own lines. Pipes, FIFOs and terminals
// are read without blocking, so that an idle writer never keeps a stop request waiting.
class CaptureFile
{
public:
    // How long a read waits for an idle pipe before it looks at the stop request again.
    static constexpr int IdleWaitMs = 100;

    ~CaptureFile();
    // False for a file that cannot be opened, and for a directory.
    bool Open(const std::string& path);
    void Close();
    // The next line, line end included; false at the end of the file, after a read error
    // and once stop is requested.
    bool NextLine(std::string_view& line, std::stop_token stop = {});
    // The system's text of the read error that ended the file early; "" when none did.
    const std::string& ReadError() const { return m_readError; }
    uint64_t BytesRead() const { return m_bytesRead; }
    uint64_t Size() const { return m_size; }
    // A pipe, FIFO or terminal: data arrives as it happens, not as a record of the past.
    bool IsLiveFeed() const { return m_liveFeed; }

private:
    bool Fill(std::stop_token stop);

    int m_fd = -1;
    std::vector<char> m_buffer;
    size_t m_start = 0;
    size_t m_end = 0;
    bool m_atEnd = false;
    uint64_t m_bytesRead = 0;
    uint64_t m_size = 0;
    bool m_liveFeed = false;
    std::string m_readError;
};

// The first second of a replay clock that the user did not set: the time of the first
// dated line of a regular file, else early enough that 25 ms a block for every line of
// the file ends no later than now, so that nothing learned is stamped in the future.
int64_t ReplayClockStart(const std::string& path, CaptureKind kind, int64_t now);

// The model's clock during a replay. Every block the processing thread takes moves it on
// by 25 ms (the nominal 40 blocks a second of a control channel); a line that carries its
// own time (the program's dump) sets it to that time when that is later. The producer
// marks those times against the number of the block they precede, so the clock a block
// is decoded with depends on the file alone, never on how far reading has run ahead.
class ReplayClock : public BlockPacer
{
public:
    static constexpr int BlockStepMs = 25;

    explicit ReplayClock(ManualClock& clock) : m_clock(clock) {}

    // A live feed runs on the live clock: blocks neither move the clock nor set it.
    void FollowLiveClock() { m_live = true; }
    bool IsLive() const { return m_live; }

    // Producer side: the block numbered blockNumber (0 = the first pushed) and those after
    // it are decoded no earlier than seconds.
    void MarkTime(uint64_t blockNumber, int64_t seconds);
    void BlockTaken() override;

    // Processing thread, whenever ActivityTicks changes, before the next block is decoded.
    std::function<void()> onTick;
    // Processing thread, before each block is decoded (so after the one before it).
    std::function<void()> onBlock;

private:
    struct Mark
    {
        uint64_t BlockNumber;
        int64_t Seconds;
    };

    ManualClock& m_clock;
    bool m_live = false;
    int m_milliseconds = 0;
    uint64_t m_taken = 0;
    std::mutex m_marksMutex;
    std::deque<Mark> m_marks;
    std::atomic<bool> m_hasMarks{false};
};

struct ReplayProgress
{
    uint64_t Lines = 0;
    uint64_t BytesRead = 0;
    uint64_t TotalBytes = 0;
    uint64_t Blocks = 0;
};

// Replays a capture file: reads it line by line on its own thread, pushes the blocks into
// TBSKQueue for a ProcThread it runs itself, then waits for the queue to drain and stops
// that thread; onEnded (WorkerThread) then tells the front end. The front end resets the
// model and gives it the clock before Start.
//
// No block is lost: when the queue is full the replay waits for room (and still ends
// promptly when asked to stop). Progress is readable at any time from any thread.
class CaptureReplay : public WorkerThread
{
public:
    static constexpr int ProgressLines = 65536;

    // counters: BlocksReceived of the BCD396XT kind; may be null.
    CaptureReplay(TBSKQueue& queue, BlockDecoder& decoder, ManualClock& clock, ReceiveCounters* counters = nullptr);
    ~CaptureReplay() override { Stop(); }

    // "File could not be opened!" when the file cannot be read.
    bool Open(const std::string& path, CaptureKind kind, std::string& error);
    // The window asks for the kind after the file is open: the kind chosen then, before Start.
    void SetKind(CaptureKind kind) { m_parser = std::make_unique<CaptureParser>(kind); }
    CaptureKind Kind() const { return m_parser ? m_parser->Kind() : CaptureKind::Anritsu; }
    const std::string& Path() const { return m_path; }
    // A pipe, FIFO or terminal is decoded on the live clock (before Start): calls then
    // expire while the writer is idle, as in a live session.
    bool IsLiveFeed() const { return m_file.IsLiveFeed(); }
    void FollowLiveClock() { m_clock.FollowLiveClock(); }

    ReplayProgress Progress() const;
    const ProcThread& Processor() const { return m_processor; }
    // True once the whole file was read and decoded (false after a stop on request or a
    // read error).
    bool IsFinished() const { return m_finished.load(); }
    // After the end: the system's text of a read error that cut the replay short, or "".
    std::string ReadError() const;
    // Processing thread: ActivityTicks changed (channel activity and patch expiry run here).
    void SetTickHandler(std::function<void()> handler) { m_clock.onTick = std::move(handler); }
    // Processing thread: before each block is decoded (the logs are taken here).
    void SetBlockHandler(std::function<void()> handler) { m_clock.onBlock = std::move(handler); }

    // Called on the replay thread every ProgressLines lines and once at the end of reading.
    std::function<void(const ReplayProgress&)> onProgress;

protected:
    void Execute(std::stop_token stop) override;

private:
    bool PushWaiting(const uint8_t* block, std::stop_token stop);

    TBSKQueue& m_queue;
    ReceiveCounters* m_counters;
    ReplayClock m_clock;
    ProcThread m_processor;
    CaptureFile m_file;
    std::string m_path;
    std::unique_ptr<CaptureParser> m_parser;
    std::atomic<uint64_t> m_lines{0};
    std::atomic<uint64_t> m_bytesRead{0};
    std::atomic<uint64_t> m_totalBytes{0};
    std::atomic<uint64_t> m_blocks{0};
    std::atomic<bool> m_finished{false};
    mutable std::mutex m_errorMutex;
    std::string m_readError;
};
