#include "events/EventJson.h"

#include <charconv>
#include <cmath>
#include <cstdio>

void JsonObject::Key(std::string_view key)
{
    if (!m_first)
        m_out += ',';
    m_first = false;
    m_out += '"';
    m_out += key;
    m_out += "\":";
}

JsonObject& JsonObject::Int(std::string_view key, int64_t value)
{
    Key(key);
    char digits[24];
    m_out.append(digits, std::to_chars(digits, digits + sizeof digits, value).ptr);
    return *this;
}

JsonObject& JsonObject::Text(std::string_view key, std::string_view value)
{
    Key(key);
    AppendJsonString(m_out, value);
    return *this;
}

JsonObject& JsonObject::Bool(std::string_view key, bool value)
{
    Key(key);
    m_out += value ? "true" : "false";
    return *this;
}

JsonObject& JsonObject::Null(std::string_view key)
{
    Key(key);
    m_out += "null";
    return *this;
}

JsonObject& JsonObject::Raw(std::string_view key, std::string_view json)
{
    Key(key);
    m_out += json;
    return *this;
}

namespace {

// The length of the well-formed UTF-8 sequence at text[i], or 0.
size_t Utf8Length(std::string_view text, size_t i)
{
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0)
            low = 0xA0;
        if (lead == 0xED)
            high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0)
            low = 0x90;
        if (lead == 0xF4)
            high = 0x8F;
    } else {
        return 0;
    }
    if (i + length > text.size())
        return 0;
    // Only the second byte has the narrowed range; the rest are plain continuation bytes.
    if (byte(i + 1) < low || byte(i + 1) > high)
        return 0;
    for (size_t k = 2; k < length; ++k)
        if ((byte(i + k) & 0xC0) != 0x80)
            return 0;
    return length;
}

}

void AppendJsonString(std::string& out, std::string_view text)
{
    static constexpr char hex[] = "0123456789abcdef";
    out += '"';
    for (size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c >= 0x80) {
            const size_t length = Utf8Length(text, i);
            if (length == 0) {
                out += "\xEF\xBF\xBD";
                ++i;
            } else {
                out.append(text.substr(i, length));
                i += length;
            }
            continue;
        }
        ++i;
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20 || c == 0x7F) {
                out += "\\u00";
                out += hex[c >> 4];
                out += hex[c & 0xF];
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    out += '"';
}

std::string IsoTime(int64_t epochSeconds)
{
    // Civil date from days since 1970 (Howard Hinnant's algorithm): no time zone or locale.
    const int64_t days = epochSeconds >= 0 ? epochSeconds / 86400 : (epochSeconds - 86399) / 86400;
    const int64_t secondOfDay = epochSeconds - days * 86400;
    const int64_t z = days + 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    const int64_t day = doy - (153 * mp + 2) / 5 + 1;
    const int64_t month = mp < 10 ? mp + 3 : mp - 9;
    const int64_t year = yoe + era * 400 + (month <= 2 ? 1 : 0);
    char text[128];
    std::snprintf(text, sizeof text, "%04lld-%02lld-%02lldT%02lld:%02lld:%02lldZ", static_cast<long long>(year),
                  static_cast<long long>(month), static_cast<long long>(day),
                  static_cast<long long>(secondOfDay / 3600), static_cast<long long>(secondOfDay / 60 % 60),
                  static_cast<long long>(secondOfDay % 60));
    return text;
}

int64_t Hertz(double megahertz)
{
    return std::llround(megahertz * 1e6);
}

std::string ChannelName(int channel)
{
    char text[16];
    std::snprintf(text, sizeof text, "%02d-%04d", channel >> 12 & 0xF, channel & 0xFFF);
    return text;
}
