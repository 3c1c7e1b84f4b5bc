#include "view/FieldNumbers.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <type_traits>

namespace {

bool IsSpace(char c)
{
    return std::isspace(static_cast<unsigned char>(c)) != 0;
}

std::string_view SkipSpace(std::string_view text)
{
    size_t i = 0;
    while (i < text.size() && IsSpace(text[i]))
        ++i;
    return text.substr(i);
}

// from_chars takes "-" but not "+"; a leading "+" is dropped here. Returns the rest.
template <typename T>
std::optional<T> ReadNumber(std::string_view text, std::string_view& rest)
{
    text = SkipSpace(text);
    if (!text.empty() && text[0] == '+' && text.size() > 1 && text[1] != '-')
        text.remove_prefix(1);
    T value{};
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, value);
    if (result.ec != std::errc())
        return std::nullopt;
    // "inf" and "nan" are no numbers a user typed, and NaN would break a sort's ordering.
    if constexpr (std::is_floating_point_v<T>) {
        if (!std::isfinite(value))
            return std::nullopt;
    }
    rest = std::string_view(result.ptr, static_cast<size_t>(end - result.ptr));
    return value;
}

template <typename T>
std::optional<T> ReadWhole(std::string_view text)
{
    std::string_view rest;
    const auto value = ReadNumber<T>(text, rest);
    if (!value || !SkipSpace(rest).empty())
        return std::nullopt;
    return value;
}

}

std::optional<long> LeadingNumber(std::string_view text)
{
    std::string_view rest;
    return ReadNumber<long>(text, rest);
}

long IntegerCell(std::string_view text)
{
    return LeadingNumber(text).value_or(0);
}

double DecimalCell(std::string_view text)
{
    std::string_view rest;
    return ReadNumber<double>(text, rest).value_or(0.0);
}

std::optional<long> ParseDecimal(std::string_view text)
{
    return ReadWhole<long>(text);
}

std::optional<double> ParseDecimalFraction(std::string_view text)
{
    return ReadWhole<double>(text);
}
