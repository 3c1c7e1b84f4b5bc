#include "names/CsvReader.h"

#include <cerrno>
#include <cstring>
#include <string_view>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "directory/SoapEnvelope.h"

namespace {

constexpr size_t ChunkBytes = size_t{64} << 10;
constexpr std::string_view ByteOrderMark = "\xEF\xBB\xBF";

class FileCloser
{
public:
    explicit FileCloser(int fd) : m_fd(fd) {}
    ~FileCloser() { ::close(m_fd); }
    FileCloser(const FileCloser&) = delete;
    FileCloser& operator=(const FileCloser&) = delete;

private:
    int m_fd;
};

// The byte-by-byte CSV state; a chunk may end anywhere, inside a field or a line end.
class CsvParser
{
public:
    CsvParser(const std::string& path, std::vector<CsvRecord>& records, std::string& error)
        : m_path(path), m_records(records), m_error(error)
    {
    }

    bool Feed(std::string_view chunk)
    {
        for (const char c : chunk)
            if (!Byte(c))
                return false;
        return true;
    }

    bool Finish()
    {
        if (m_markAt > 0 && m_markAt < ByteOrderMark.size() && !Replay())
            return false;
        if (m_state == State::Quoted)
            return Fail("a quoted field opened on line " + std::to_string(m_recordLine) + " never closes");
        if (m_recordBytes > 0)
            return EndRecord();
        return true;
    }

private:
    enum class State { FieldStart, Unquoted, Quoted, QuoteInQuoted };

    bool Fail(const std::string& reason)
    {
        m_error = m_path + ": " + reason;
        return false;
    }

    // A mark that broke off after its first bytes was text after all.
    bool Replay()
    {
        const size_t seen = m_markAt;
        m_markAt = ByteOrderMark.size();
        for (size_t i = 0; i < seen; ++i)
            if (!Byte(ByteOrderMark[i]))
                return false;
        return true;
    }

    bool Byte(char c)
    {
        if (m_markAt < ByteOrderMark.size()) {
            if (c == ByteOrderMark[m_markAt]) {
                ++m_markAt;
                return true;
            }
            if (m_markAt > 0 && !Replay())
                return false;
            m_markAt = ByteOrderMark.size();
        }
        if (c == '\0')
            return Fail("line " + std::to_string(m_line) + " holds a NUL byte: this is no text file");
        const bool secondHalf = c == '\n' && m_afterCr;
        m_afterCr = c == '\r';
        if (secondHalf) {
            if (m_state == State::Quoted)
                m_field += c;
            return true;
        }
        if (++m_recordBytes > MaxNamesLineBytes)
            return Fail("line " + std::to_string(m_recordLine) + " is longer than " +
                        std::to_string(MaxNamesLineBytes) + " bytes");
        const bool lineEnd = c == '\n' || c == '\r';
        switch (m_state) {
        case State::Quoted:
            if (c == '"') {
                m_state = State::QuoteInQuoted;
            } else {
                m_field += c;
                if (lineEnd)
                    ++m_line;
            }
            return true;
        case State::QuoteInQuoted:
            if (c == '"') {
                m_field += c;
                m_state = State::Quoted;
                return true;
            }
            break;
        case State::FieldStart:
            if (c == '"') {
                m_state = State::Quoted;
                return true;
            }
            break;
        case State::Unquoted: break;
        }
        if (lineEnd) {
            ++m_line;
            return EndRecord();
        }
        if (c == ',') {
            EndField();
            return true;
        }
        m_field += c;
        m_state = State::Unquoted;
        return true;
    }

    void EndField()
    {
        m_fields.push_back(std::move(m_field));
        m_field.clear();
        m_state = State::FieldStart;
    }

    bool EndRecord()
    {
        EndField();
        const int line = m_recordLine;
        m_recordLine = m_line;
        m_recordBytes = 0;
        std::vector<std::string> fields = std::move(m_fields);
        m_fields.clear();
        if (fields.size() == 1 && fields[0].empty())
            return true;
        for (const std::string& field : fields)
            if (ValidUtf8(field) != field)
                return Fail("line " + std::to_string(line) + " is not UTF-8 text; save the file as UTF-8");
        m_records.push_back({line, std::move(fields)});
        return true;
    }

    const std::string& m_path;
    std::vector<CsvRecord>& m_records;
    std::string& m_error;
    State m_state = State::FieldStart;
    std::string m_field;
    std::vector<std::string> m_fields;
    size_t m_markAt = 0;
    bool m_afterCr = false;
    int m_line = 1;
    int m_recordLine = 1;
    size_t m_recordBytes = 0;
};

bool IsUtf16(std::string_view start)
{
    return start.starts_with("\xFF\xFE") || start.starts_with("\xFE\xFF");
}

}

bool ReadCsvFile(const std::string& path, std::vector<CsvRecord>& records, std::string& error)
{
    records.clear();
    // Non-blocking: a pipe or device in the file's place must not hang the open.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        error = "cannot open " + path + ": " + std::strerror(errno);
        return false;
    }
    FileCloser closer(fd);
    struct stat status{};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        error = path + " is not a regular file";
        return false;
    }
    const auto tooLarge = [&] {
        error = path + " is larger than " + std::to_string(MaxNamesFileBytes >> 20) + " MiB: no names file is";
        return false;
    };
    if (status.st_size > MaxNamesFileBytes)
        return tooLarge();
    CsvParser parser(path, records, error);
    std::string chunk(ChunkBytes, '\0');
    int64_t total = 0;
    for (;;) {
        const ssize_t n = ::read(fd, chunk.data(), chunk.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            error = "cannot read " + path + ": " + std::strerror(errno);
            return false;
        }
        if (n == 0)
            break;
        const std::string_view piece(chunk.data(), static_cast<size_t>(n));
        if (total == 0 && IsUtf16(piece)) {
            error = path + " is UTF-16 text; save it as UTF-8";
            return false;
        }
        total += n;
        if (total > MaxNamesFileBytes)
            return tooLarge();
        if (!parser.Feed(piece))
            return false;
    }
    if (!parser.Finish())
        return false;
    if (records.empty()) {
        error = path + " is empty: it has no header line";
        return false;
    }
    return true;
}

std::string CsvField(const std::string& text)
{
    const bool quoted = text.find_first_of(",\"\r\n") != std::string::npos ||
                        (!text.empty() && (text.front() == ' ' || text.back() == ' '));
    if (!quoted)
        return text;
    std::string out = "\"";
    for (const char c : text) {
        out += c;
        if (c == '"')
            out += '"';
    }
    return out + '"';
}
