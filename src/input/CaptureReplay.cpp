#include "input/CaptureReplay.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include "input/HexText.h"
#include "input/KavriReadThread.h"
#include "input/TBSKQueue.h"
#include "platform/Text.h"

namespace {

constexpr size_t ReadChunk = 65536;
constexpr auto RoomWait = std::chrono::microseconds(500);
constexpr auto DrainWait = std::chrono::milliseconds(5);
constexpr size_t DumpHexColumns = 38;
constexpr size_t TimeTextLength = 19;

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

int Number(std::string_view text, size_t at, size_t length)
{
    int value = 0;
    for (size_t i = at; i < at + length; ++i)
        value = value * 10 + (text[i] - '0');
    return value;
}

// "%02d/%02d/%04d %02d:%02d:%02d", month first, local time; 0 when text is not of that form.
int64_t ParseLocalTime(std::string_view text)
{
    static constexpr char shape[] = "99/99/9999 99:99:99";
    for (size_t i = 0; i < TimeTextLength; ++i) {
        if (shape[i] == '9' ? !IsDigit(text[i]) : text[i] != shape[i])
            return 0;
    }
    std::tm parts{};
    parts.tm_mon = Number(text, 0, 2) - 1;
    parts.tm_mday = Number(text, 3, 2);
    parts.tm_year = Number(text, 6, 4) - 1900;
    parts.tm_hour = Number(text, 11, 2);
    parts.tm_min = Number(text, 14, 2);
    parts.tm_sec = Number(text, 17, 2);
    parts.tm_isdst = -1;
    const std::time_t seconds = std::mktime(&parts);
    return seconds > 0 ? static_cast<int64_t>(seconds) : 0;
}

}

const char* CaptureKindText(CaptureKind kind)
{
    switch (kind) {
    case CaptureKind::Anritsu: return "Anritsu";
    case CaptureKind::Psr500Dump: return "GRECOM PSR-500 Family Dump File";
    case CaptureKind::Psr800Dump: return "GRECOM PSR-800 Dump File";
    case CaptureKind::HomePatrolDump: return "Uniden HomePatrol-1 Dump File";
    case CaptureKind::ZembrantDump: return "Zembrant Data Dump File";
    case CaptureKind::Bcd396xtDump: return "Uniden BCD396XT/BCD996XT Dump File";
    }
    return "";
}

// A NUL ends the line, as it ends the text a line buffer holds.
bool CaptureParser::ParseLine(std::string_view line, uint8_t* block)
{
    m_lineTime = 0;
    line = line.substr(0, line.find('\0'));
    if (line.empty() || line[0] == '#' || line[0] == '[')
        return false;
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r' || line.back() == '\t'))
        line.remove_suffix(1);
    if (line.empty())
        return false;

    std::memset(block, 0, TsbkSize);
    switch (m_kind) {
    case CaptureKind::Anritsu: return AnritsuLine(line, block);
    case CaptureKind::Psr500Dump:
        if (line.size() < 28 || line.substr(0, 4) != "P25,")
            return false;
        ReadHexPairs(line.substr(4, 24), block, 12);
        return true;
    case CaptureKind::Psr800Dump: return Psr800Line(line, block);
    case CaptureKind::HomePatrolDump: {
        // The second tab column, after its first comma, up to a double quote.
        const size_t tab = line.find('\t');
        if (tab == std::string_view::npos)
            return false;
        std::string_view rest = line.substr(tab + 1);
        rest = rest.substr(0, rest.find('\t'));
        const size_t comma = rest.find(',');
        if (comma == std::string_view::npos)
            return false;
        rest = rest.substr(comma + 1);
        rest = rest.substr(0, rest.find('"'));
        if (rest.size() != 24)
            return false;
        ReadHexPairs(rest, block, 12);
        return true;
    }
    case CaptureKind::ZembrantDump: return DumpLine(line, block);
    case CaptureKind::Bcd396xtDump: {
        std::string_view fields[MaxLineFields];
        if (SplitFields(line, fields, MaxLineFields) < 2 || fields[0] != "P25" || fields[1].size() != 24)
            return false;
        ReadHexPairs(fields[1], block, 12);
        return true;
    }
    }
    return false;
}

// Data lines lie between "<APP_DATA>" and "<APP_DATA_END>": two tokens, then twelve whose
// first two characters are the bytes.
bool CaptureParser::AnritsuLine(std::string_view line, uint8_t* block)
{
    if (!m_inDataSection) {
        m_inDataSection = StartsWithIgnoringCase(line, "<APP_DATA>");
        return false;
    }
    if (StartsWithIgnoringCase(line, "<APP_DATA_END>")) {
        m_inDataSection = false;
        return false;
    }
    int token = 0;
    size_t i = 0;
    while (i < line.size() && token < 14) {
        while (i < line.size() && IsBlank(line[i]))
            ++i;
        if (i == line.size())
            break;
        const size_t start = i;
        while (i < line.size() && !IsBlank(line[i]))
            ++i;
        if (token >= 2)
            block[token - 2] = HexPair(line.substr(start, i - start));
        ++token;
    }
    return true;
}

bool CaptureParser::Psr800Line(std::string_view line, uint8_t* block)
{
    static constexpr std::string_view tsbkTag = "P25TSBK";
    static constexpr std::string_view pduTag = "P25PDU";
    const size_t tsbk = line.find(tsbkTag);
    if (tsbk != std::string_view::npos && tsbk != 0) {
        std::string_view rest = line.substr(std::min(line.size(), tsbk + tsbkTag.size() + 1));
        rest = rest.substr(0, rest.find(':'));
        char digits[24];
        int count = 0;
        for (size_t i = 0; i < rest.size() && count < 24; ++i) {
            if (rest[i] != ' ')
                digits[count++] = rest[i];
        }
        ReadHexPairs(std::string_view(digits, static_cast<size_t>(count)), block, 12);
        return true;
    }
    const size_t pdu = line.find(pduTag);
    if (pdu == std::string_view::npos || pdu == 0)
        return false;
    std::string_view rest = line.substr(std::min(line.size(), pdu + pduTag.size() + 1 + 6));
    char digits[24];
    int count = 0;
    int fields = 0;
    for (size_t i = 0; i < rest.size() && count < 24; ++i) {
        if (rest[i] == ':') {
            if (++fields == 12)
                break;
            continue;
        }
        digits[count++] = rest[i];
    }
    ReadHexPairs(std::string_view(digits, static_cast<size_t>(count)), block, 12);
    return true;
}

// The program's own dump: the digits among the first 38 columns, then the time of the row.
bool CaptureParser::DumpLine(std::string_view line, uint8_t* block)
{
    if (line.size() < DumpHexColumns)
        return false;
    char digits[DumpHexColumns];
    int count = 0;
    for (size_t i = 0; i < DumpHexColumns; ++i) {
        if (line[i] != ' ')
            digits[count++] = line[i];
    }
    if (count < 24)
        return false;
    ReadHexPairs(std::string_view(digits, 24), block, 12);

    size_t at = DumpHexColumns;
    while (at < line.size() && line[at] == ' ')
        ++at;
    if (line.size() - at >= TimeTextLength) {
        const std::string_view text = line.substr(at, TimeTextLength);
        if (text != std::string_view(m_lastTimeText, TimeTextLength)) {
            std::memcpy(m_lastTimeText, text.data(), TimeTextLength);
            m_lastTime = ParseLocalTime(text);
        }
        m_lineTime = m_lastTime;
    }
    return true;
}

CaptureFile::~CaptureFile()
{
    Close();
}

bool CaptureFile::Open(const std::string& path)
{
    Close();
    // Without O_NONBLOCK, opening a FIFO would wait for its writer beyond any stop request.
    m_fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (m_fd < 0)
        return false;
    struct stat info{};
    if (::fstat(m_fd, &info) != 0 || S_ISDIR(info.st_mode)) {
        Close();
        return false;
    }
    m_size = S_ISREG(info.st_mode) && info.st_size > 0 ? static_cast<uint64_t>(info.st_size) : 0;
    m_liveFeed = S_ISFIFO(info.st_mode) || S_ISCHR(info.st_mode) || S_ISSOCK(info.st_mode);
    m_buffer.resize(ReadChunk + CaptureParser::MaxLineLength);
    m_start = m_end = 0;
    m_atEnd = false;
    m_bytesRead = 0;
    m_readError.clear();
    return true;
}

void CaptureFile::Close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

// Adds what the file has to the buffer. A FIFO whose writer has not come yet reports
// nothing to poll (a read would already say end of file), so reading waits for poll.
bool CaptureFile::Fill(std::stop_token stop)
{
    while (!stop.stop_requested()) {
        pollfd ready{m_fd, POLLIN, 0};
        const int events = ::poll(&ready, 1, IdleWaitMs);
        if (events == 0 || (events < 0 && errno == EINTR))
            continue;
        const ssize_t got = events < 0 ? -1 : ::read(m_fd, m_buffer.data() + m_end, m_buffer.size() - m_end);
        if (got > 0) {
            m_end += static_cast<size_t>(got);
            return true;
        }
        if (got == 0) {
            m_atEnd = true;
            return false;
        }
        if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)
            continue;
        m_readError = std::strerror(errno);
        m_atEnd = true;
        return false;
    }
    return false;
}

bool CaptureFile::NextLine(std::string_view& line, std::stop_token stop)
{
    if (m_fd < 0 || !m_readError.empty() || stop.stop_requested())
        return false;
    constexpr size_t limit = CaptureParser::MaxLineLength;
    // A line is whole at its line end, at the length limit or at the end of the file.
    while (!m_atEnd && m_end - m_start < limit && !std::memchr(m_buffer.data() + m_start, '\n', m_end - m_start)) {
        std::memmove(m_buffer.data(), m_buffer.data() + m_start, m_end - m_start);
        m_end -= m_start;
        m_start = 0;
        if (!Fill(stop) && !m_atEnd)
            return false;
    }
    if (!m_readError.empty() || m_start == m_end)
        return false;
    const size_t span = std::min(m_end - m_start, limit);
    const char* begin = m_buffer.data() + m_start;
    const void* newline = std::memchr(begin, '\n', span);
    const size_t length = newline ? static_cast<size_t>(static_cast<const char*>(newline) - begin) + 1 : span;
    line = std::string_view(begin, length);
    m_start += length;
    m_bytesRead += length;
    return true;
}

int64_t ReplayClockStart(const std::string& path, CaptureKind kind, int64_t now)
{
    // Only the program's own dump dates its lines; its first dated line comes early.
    constexpr uint64_t DatedLinesLooked = 4096;
    CaptureFile file;
    if (!file.Open(path) || file.IsLiveFeed())
        return now;
    CaptureParser parser(kind);
    uint8_t block[TsbkSize];
    uint64_t lines = 0;
    std::string_view line;
    while (file.NextLine(line)) {
        if (lines++ < DatedLinesLooked && kind == CaptureKind::ZembrantDump && parser.ParseLine(line, block) &&
            parser.LineTime() > 0)
            return parser.LineTime();
    }
    const int64_t span = static_cast<int64_t>((lines * ReplayClock::BlockStepMs + 999) / 1000);
    return now > span ? now - span : 1;
}

void ReplayClock::MarkTime(uint64_t blockNumber, int64_t seconds)
{
    std::lock_guard guard(m_marksMutex);
    if (!m_marks.empty() && m_marks.back().Seconds == seconds)
        return;
    m_marks.push_back({blockNumber, seconds});
    m_hasMarks = true;
}

void ReplayClock::BlockTaken()
{
    if (onBlock)
        onBlock();
    if (m_live)
        return;
    const uint32_t ticksBefore = m_clock.ActivityTicks();
    m_milliseconds += BlockStepMs;
    if (m_milliseconds >= 100) {
        m_milliseconds -= 100;
        m_clock.AdvanceTicks(1);
    }
    if (m_hasMarks.load(std::memory_order_acquire)) {
        std::lock_guard guard(m_marksMutex);
        while (!m_marks.empty() && m_marks.front().BlockNumber <= m_taken) {
            if (m_marks.front().Seconds > m_clock.Now()) {
                m_clock.Set(m_marks.front().Seconds);
                m_milliseconds = 0;
            }
            m_marks.pop_front();
        }
        m_hasMarks = !m_marks.empty();
    }
    ++m_taken;
    if (onTick && m_clock.ActivityTicks() != ticksBefore)
        onTick();
}

CaptureReplay::CaptureReplay(TBSKQueue& queue, BlockDecoder& decoder, ManualClock& clock, ReceiveCounters* counters)
    : m_queue(queue), m_counters(counters), m_clock(clock), m_processor(queue, decoder)
{
    m_processor.SetPacer(&m_clock);
}

bool CaptureReplay::Open(const std::string& path, CaptureKind kind, std::string& error)
{
    if (!m_file.Open(path)) {
        error = "File could not be opened!";
        return false;
    }
    m_parser = std::make_unique<CaptureParser>(kind);
    m_path = path;
    m_totalBytes = m_file.Size();
    m_lines = 0;
    m_bytesRead = 0;
    m_blocks = 0;
    m_finished = false;
    std::lock_guard guard(m_errorMutex);
    m_readError.clear();
    return true;
}

std::string CaptureReplay::ReadError() const
{
    std::lock_guard guard(m_errorMutex);
    return m_readError;
}

ReplayProgress CaptureReplay::Progress() const
{
    return {m_lines.load(), m_bytesRead.load(), m_totalBytes.load(), m_blocks.load()};
}

bool CaptureReplay::PushWaiting(const uint8_t* block, std::stop_token stop)
{
    while (!m_queue.Push(block)) {
        if (stop.stop_requested())
            return false;
        std::this_thread::sleep_for(RoomWait);
    }
    return true;
}

void CaptureReplay::Execute(std::stop_token stop)
{
    if (!m_parser)
        return;
    // Started from this thread, the processing thread inherits its priority: lowered when
    // the front end starts the replay so.
    m_processor.Start(false);
    const bool countsBlocks = m_counters != nullptr && m_parser->Kind() == CaptureKind::Bcd396xtDump;
    uint8_t block[TsbkSize];
    std::string_view line;
    bool complete = true;
    while (m_file.NextLine(line, stop)) {
        const uint64_t lines = m_lines.fetch_add(1, std::memory_order_relaxed) + 1;
        m_bytesRead.store(m_file.BytesRead(), std::memory_order_relaxed);
        if (onProgress && lines % ProgressLines == 0)
            onProgress(Progress());
        if (!m_parser->ParseLine(line, block))
            continue;
        const uint64_t number = m_blocks.load(std::memory_order_relaxed);
        if (m_parser->LineTime() > 0 && !m_clock.IsLive())
            m_clock.MarkTime(number, m_parser->LineTime());
        if (!PushWaiting(block, stop)) {
            complete = false;
            break;
        }
        m_blocks.store(number + 1, std::memory_order_relaxed);
        if (countsBlocks)
            m_counters->BlocksReceived.fetch_add(1, std::memory_order_relaxed);
    }
    if (stop.stop_requested())
        complete = false;
    if (!m_file.ReadError().empty()) {
        std::lock_guard guard(m_errorMutex);
        m_readError = m_file.ReadError();
        complete = false;
    }
    m_file.Close();
    if (onProgress)
        onProgress(Progress());

    while (m_queue.HasData() && m_processor.IsRunning())
        std::this_thread::sleep_for(DrainWait);
    m_processor.Stop();
    m_finished = complete;
}
