#pragma once
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <string>

// printf-style formatting into a string, and the number texts built by the thousand a
// second without printf.
#if defined(__GNUC__)
__attribute__((format(printf, 1, 2)))
#endif
inline std::string Format(const char* format, ...)
{
    char buffer[512];
    va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    if (n < 0)
        return {};
    if (n < static_cast<int>(sizeof buffer))
        return std::string(buffer, n);
    std::string text(n, '\0');
    va_start(args, format);
    std::vsnprintf(text.data(), text.size() + 1, format, args);
    va_end(args);
    return text;
}

// "%*ld" without printf: rows are built by the thousand a second.
inline std::string NumberText(long value, int width = 0)
{
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    const int length = static_cast<int>(end - digits);
    std::string text(static_cast<size_t>(std::max(width - length, 0)), ' ');
    text.append(digits, end);
    return text;
}

// "%3.05f", the format of every frequency, without printf: a replay formats one or more
// a block. A value within a hair of a rounding edge still goes to printf, which rounds the
// exact binary value; everywhere else both round alike.
inline std::string FrequencyText(double value)
{
    const double scaled = std::fabs(value) * 100000.0;
    if (!(scaled < 1e12))
        return Format("%3.05f", value);
    const double whole = std::floor(scaled);
    const double fraction = scaled - whole;
    if (std::fabs(fraction - 0.5) < 1e-4)
        return Format("%3.05f", value);
    const auto units = static_cast<long long>(whole) + (fraction > 0.5 ? 1 : 0);
    char digits[32];
    char* end = std::to_chars(digits, digits + sizeof digits, units / 100000).ptr;
    *end++ = '.';
    const auto decimals = units % 100000;
    for (long long unit = 10000; unit > 0; unit /= 10)
        *end++ = static_cast<char>('0' + decimals / unit % 10);
    std::string text = std::signbit(value) ? "-" : "";
    text.append(digits, end);
    return text;
}
