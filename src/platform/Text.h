#pragma once
#include <algorithm>
#include <cctype>
#include <string_view>

// Small text helpers for names read from files, command lines and scanners (ASCII rules,
// as the files are single-byte text).

inline bool EqualsIgnoringCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

inline bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix)
{
    return text.size() >= prefix.size() && EqualsIgnoringCase(text.substr(0, prefix.size()), prefix);
}

// text without the leading and trailing characters of blanks.
inline std::string_view Trimmed(std::string_view text, std::string_view blanks = " ")
{
    const auto first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}
