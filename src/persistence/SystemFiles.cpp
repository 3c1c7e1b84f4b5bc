#include "persistence/SystemFiles.h"
#include "platform/Clock.h"
#include "platform/Text.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <ctime>

namespace {

constexpr int64_t QuarterHour = 900;
// Times this far from 1970 (a damaged file) are formatted without the quarter-hour cache.
constexpr int64_t FarTime = int64_t{1} << 40;
// Far beyond any version written so far; a larger number is not a version.
constexpr int64_t HighestFileVersion = 1000;

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

std::string_view SkipBlanks(std::string_view text)
{
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    return text;
}

// The older rule: a quote opening a field is dropped, a quote followed by a comma or the
// line end closes it, every other quote is text.
void SplitKeepingQuotes(std::string_view line, std::vector<std::string>& fields)
{
    size_t i = 0;
    for (;;) {
        std::string& field = fields.emplace_back();
        if (i < line.size() && line[i] == '"') {
            ++i;
            while (i < line.size() && !(line[i] == '"' && (i + 1 == line.size() || line[i + 1] == ',')))
                field += line[i++];
            if (i < line.size())
                ++i;
        } else {
            while (i < line.size() && line[i] != ',')
                field += line[i++];
        }
        if (i >= line.size())
            return;
        ++i;
    }
}

// The doubled-quote form; false when the line is not in it.
bool SplitDoubledQuotes(std::string_view line, std::vector<std::string>& fields)
{
    size_t i = 0;
    for (;;) {
        std::string& field = fields.emplace_back();
        if (i < line.size() && line[i] == '"') {
            ++i;
            for (;;) {
                if (i >= line.size())
                    return false;
                if (line[i] != '"') {
                    field += line[i++];
                } else if (i + 1 < line.size() && line[i + 1] == '"') {
                    field += '"';
                    i += 2;
                } else if (i + 1 == line.size() || line[i + 1] == ',') {
                    ++i;
                    break;
                } else {
                    return false;
                }
            }
        } else {
            while (i < line.size() && line[i] != ',')
                field += line[i++];
        }
        if (i >= line.size())
            return true;
        ++i;
    }
}

void AppendTwoDigits(std::string& out, int value)
{
    out += static_cast<char>('0' + value / 10 % 10);
    out += static_cast<char>('0' + value % 10);
}

bool ReadTime(int64_t seconds, std::tm& parts)
{
    const std::time_t t = static_cast<std::time_t>(PrintableTime(seconds));
    return localtime_r(&t, &parts) != nullptr;
}

}

bool IsSiteIdentified(const SYSINFO& info)
{
    return info.SysId != 0 && (info.RfssId != 0 || info.SiteId != 0);
}

std::string SystemFolderPath(const std::string& dataFolder, int sysId)
{
    char name[32];
    std::snprintf(name, sizeof name, "System%03X/", static_cast<unsigned>(sysId));
    return dataFolder + name;
}

std::string TowerFileName(int rfss, int site)
{
    char name[48];
    std::snprintf(name, sizeof name, "Tower%03d%03d.txt", rfss, site);
    return name;
}

std::string OldTowerFileName(int rfss, int site)
{
    char name[48];
    std::snprintf(name, sizeof name, "Tower%02d%02d.txt", rfss, site);
    return name;
}

int SplitCsvLine(std::string_view line, std::vector<std::string>& fields)
{
    fields.clear();
    if (line.empty() || line.front() == '#' || line.front() == ';')
        return 0;
    if (!SplitDoubledQuotes(line, fields)) {
        fields.clear();
        SplitKeepingQuotes(line, fields);
    }
    return static_cast<int>(fields.size());
}

void AppendQuoted(std::string& out, std::string_view text)
{
    out += '"';
    for (const char c : text) {
        if (c == '"')
            out += '"';
        out += (c == '\r' || c == '\n') ? ' ' : c;
    }
    out += '"';
}

std::string QuotedField(std::string_view text)
{
    std::string field;
    AppendQuoted(field, text);
    return field;
}

std::string IniText(std::string_view text)
{
    const bool enclosed = text.size() >= 2 && text.front() == text.back() && (text.front() == '"' || text.front() == '\'');
    if (enclosed || (!text.empty() && (IsBlank(text.front()) || IsBlank(text.back()))))
        return "\"" + std::string(text) + "\"";
    return std::string(text);
}

std::string FromIniText(std::string_view value)
{
    if (value.size() >= 2 && value.front() == value.back() && (value.front() == '"' || value.front() == '\''))
        value = value.substr(1, value.size() - 2);
    return std::string(value);
}

int64_t LeadingInteger(std::string_view text, int64_t fallback)
{
    text = SkipBlanks(text);
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() ? value : fallback;
}

int64_t LeadingHex(std::string_view text, int64_t fallback)
{
    text = SkipBlanks(text);
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
        text.remove_prefix(2);
    int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    return error == std::errc() ? value : fallback;
}

double LeadingDouble(std::string_view text)
{
    text = SkipBlanks(text);
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    double value = 0.0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && std::isfinite(value) ? value : 0.0;
}

void AppendNumber(std::string& out, int64_t value)
{
    char text[24];
    const auto [end, error] = std::to_chars(text, text + sizeof text, value);
    out.append(text, end);
}

int32_t LeadingInt32(std::string_view text, int32_t fallback)
{
    const int64_t value = LeadingInteger(text, fallback);
    return value < INT32_MIN || value > INT32_MAX ? fallback : static_cast<int32_t>(value);
}

int FileVersionOf(std::string_view line)
{
    const std::string_view key = FileVersionKey;
    if (!StartsWithIgnoringCase(line, key))
        return -1;
    // Nothing after the colon reads as 0, as atoi would; anything else must be a number.
    const std::string_view rest = SkipBlanks(line.substr(key.size()));
    const int64_t version = rest.empty() ? 0 : LeadingInteger(rest, -1);
    return version < 0 || version > HighestFileVersion ? UnreadableVersion : static_cast<int>(version);
}

int64_t FileTime(std::string_view text)
{
    return std::clamp<int64_t>(LeadingInteger(text), 0, LatestPrintableTime);
}

std::string PrintableText(std::string_view text)
{
    std::string printable;
    printable.reserve(text.size());
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '\t')
            printable += ' ';
        else if (u >= 0x20 && u != 0x7F)
            printable += c;
    }
    return printable;
}

void HumanTime::Append(std::string& out, int64_t secondsSince1970)
{
    char text[96];
    if (secondsSince1970 > -FarTime && secondsSince1970 < FarTime) {
        int64_t block = secondsSince1970 / QuarterHour;
        if (secondsSince1970 % QuarterHour < 0)
            --block;
        if (block != m_block) {
            m_block = block;
            std::tm first{};
            std::tm last{};
            // The quarter is shared only when local time runs evenly through it; a zone
            // change inside it, or an offset of no whole quarters, looks up each time.
            m_valid = ReadTime(block * QuarterHour, first) && ReadTime(block * QuarterHour + QuarterHour - 1, last)
                && first.tm_sec == 0 && first.tm_min % 15 == 0 && last.tm_hour == first.tm_hour
                && last.tm_min == first.tm_min + 14 && last.tm_sec == 59 && last.tm_mday == first.tm_mday;
            m_month = first.tm_mon + 1;
            m_day = first.tm_mday;
            m_year = first.tm_year + 1900;
            m_hour = first.tm_hour;
            m_minute = first.tm_min;
        }
        // The common case, written digit by digit: a save formats hundreds of thousands.
        if (m_valid && m_year >= 1000 && m_year <= 9999) {
            AppendTwoDigits(out, m_month);
            out += '/';
            AppendTwoDigits(out, m_day);
            out += '/';
            AppendTwoDigits(out, m_year / 100);
            AppendTwoDigits(out, m_year % 100);
            out += " @ ";
            AppendTwoDigits(out, m_hour);
            out += ':';
            AppendTwoDigits(out, m_minute + static_cast<int>((secondsSince1970 - m_block * QuarterHour) / 60));
            return;
        }
    }
    std::tm parts{};
    if (!ReadTime(secondsSince1970, parts))
        parts = std::tm{};
    out.append(text, static_cast<size_t>(std::snprintf(text, sizeof text, "%02d/%02d/%04lld @ %02d:%02d",
                                                       parts.tm_mon + 1, parts.tm_mday, parts.tm_year + 1900LL,
                                                       parts.tm_hour, parts.tm_min)));
}

std::string CalendarText(int64_t secondsSince1970)
{
    static const char* const days[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const months[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                           "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    std::tm parts{};
    if (!ReadTime(secondsSince1970, parts))
        parts = std::tm{};
    char text[96];
    std::snprintf(text, sizeof text, "%.3s %.3s%3d %02d:%02d:%02d %lld", days[(parts.tm_wday % 7 + 7) % 7],
                  months[(parts.tm_mon % 12 + 12) % 12], parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec,
                  parts.tm_year + 1900LL);
    return text;
}
