#pragma once
#include <cstdint>
#include <string_view>

// Helpers shared by the scanner line formats and the capture kinds.

// The value of a hexadecimal digit, either case; any other character reads as 0 (the
// block's CRC check rejects what such text produces).
inline uint8_t HexDigitValue(char c)
{
    if (c >= '0' && c <= '9')
        return static_cast<uint8_t>(c - '0');
    if (c >= 'a' && c <= 'f')
        return static_cast<uint8_t>(c - 'a' + 10);
    if (c >= 'A' && c <= 'F')
        return static_cast<uint8_t>(c - 'A' + 10);
    return 0;
}

// One byte from the first two characters of text; a missing character reads as 0.
inline uint8_t HexPair(std::string_view text)
{
    const uint8_t high = text.size() > 0 ? HexDigitValue(text[0]) : 0;
    const uint8_t low = text.size() > 1 ? HexDigitValue(text[1]) : 0;
    return static_cast<uint8_t>(high << 4 | low);
}

// count bytes from text read two characters at a time, pairs every stride characters.
inline void ReadHexPairs(std::string_view text, uint8_t* out, int count, int stride = 2)
{
    for (int i = 0; i < count; ++i) {
        const size_t at = static_cast<size_t>(i * stride);
        out[i] = at < text.size() ? HexPair(text.substr(at)) : 0;
    }
}

constexpr int MaxLineFields = 24;

// Cuts text at every ':' and ','. Each separator closes a field, even an empty one; a
// non-empty remainder after the last separator is the last field. Returns the number of
// fields; only the first max are stored.
inline int SplitFields(std::string_view text, std::string_view* fields, int max)
{
    int count = 0;
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != ':' && text[i] != ',')
            continue;
        if (count < max)
            fields[count] = text.substr(start, i - start);
        ++count;
        start = i + 1;
    }
    if (start < text.size()) {
        if (count < max)
            fields[count] = text.substr(start);
        ++count;
    }
    return count;
}
