#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Longer records are refused before the rest of them is read: no name file has one, and a
// file without line ends must not fill the memory.
inline constexpr size_t MaxNamesLineBytes = size_t{64} << 10;
// Twice what 200,000 radios in the widest layout take.
inline constexpr int64_t MaxNamesFileBytes = int64_t{128} << 20;

struct CsvRecord
{
    // The line the record starts on, from 1.
    int Line = 0;
    std::vector<std::string> Fields;
};

// Reads a CSV file in chunks: a UTF-8 byte order mark skipped, LF, CR LF or CR line ends,
// quoted fields with doubled quotes and line ends inside, a quote inside an unquoted field
// kept as a character. Blank lines give no record. False with error (naming path and the
// line) for a file that is not a regular file, too large, not UTF-8, holds a NUL byte, has
// a record over MaxNamesLineBytes or a quoted field that never closes.
bool ReadCsvFile(const std::string& path, std::vector<CsvRecord>& records, std::string& error);

// A field as a CSV writer puts it: in double quotes, quotes doubled, when it holds a comma,
// a quote, a line end or blanks at its ends; else as it is.
std::string CsvField(const std::string& text);
