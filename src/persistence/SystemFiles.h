#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "model/Records.h"

// The pieces the system folder's save and loads share: file names, the comma-separated
// field form, tolerant number reading and the local-time texts.

inline constexpr char SystemIniName[] = "System.ini";
inline constexpr char TalkgroupFileName[] = "TalkGroups.txt";
inline constexpr char RadioFileName[] = "Radios.txt";
inline constexpr char FileVersionKey[] = "FileVersion:";
// Longer lines are cut here; the rest of the line is dropped, not read as a line of its own.
inline constexpr size_t LineLimit = 1023;
inline constexpr size_t TowerLineLimit = 254;

// Files belong to a system and a site: a System ID, and an RFSS or site other than 0.
bool IsSiteIdentified(const SYSINFO& info);

// dataFolder (ending in "/") + "System%03X" + "/".
std::string SystemFolderPath(const std::string& dataFolder, int sysId);
// "Tower%03d%03d.txt" and the older "Tower%02d%02d.txt".
std::string TowerFileName(int rfss, int site);
std::string OldTowerFileName(int rfss, int site);

// Splits a comma-separated line; returns the number of fields. Empty lines and lines
// starting with "#" or ";" have none. A field opening with a double quote runs to a quote
// followed by a comma or the line end, commas included. Inside it a doubled quote stands
// for one quote when the whole line is written that way (as QuotedField does); a line
// with any other quote inside a quoted field is read by the older rule, which keeps every
// quote that does not close its field, so files of earlier versions read as they always did.
int SplitCsvLine(std::string_view line, std::vector<std::string>& fields);
// Appends text in double quotes with each quote doubled; line ends become blanks.
void AppendQuoted(std::string& out, std::string_view text);
std::string QuotedField(std::string_view text);

// An INI value that keeps blanks at its ends: such a value, or one that is itself
// enclosed in quotes, is written in double quotes, and a reader drops one pair of
// enclosing quotes, as the Windows profile functions do.
std::string IniText(std::string_view text);
std::string FromIniText(std::string_view value);

// Leading blanks, an optional sign and digits, as atoi reads them; the rest is ignored.
// Text without digits or out of range gives fallback.
int64_t LeadingInteger(std::string_view text, int64_t fallback = 0);
int64_t LeadingHex(std::string_view text, int64_t fallback = 0);
// A finite decimal number at the start of text, else 0.0.
double LeadingDouble(std::string_view text);
// LeadingInteger limited to 32 bits: a value outside them gives fallback.
int32_t LeadingInt32(std::string_view text, int32_t fallback = 0);

// Calls take(line) for each line of text: a leading UTF-8 byte order mark (Windows
// editors add one) skipped, split at LF, trailing CRs removed, at most limit characters.
template <typename Take>
void ForEachLine(std::string_view text, size_t limit, Take&& take)
{
    if (text.substr(0, 3) == "\xEF\xBB\xBF")
        text.remove_prefix(3);
    while (!text.empty()) {
        const size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        while (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        take(line.substr(0, limit));
    }
}

// The version a "FileVersion:" line sets (letter case ignored), -1 for any other line, and
// UnreadableVersion for a version line whose number cannot be read: such a file is in no
// layout this program knows.
inline constexpr int UnreadableVersion = -2;
int FileVersionOf(std::string_view line);

// A time read from a file, limited to 0 .. LatestPrintableTime (the end of year 9999).
int64_t FileTime(std::string_view text);
// Text read from a file for a description or a call sign: tabs become blanks and other
// control characters (NUL bytes of a damaged file) are dropped.
std::string PrintableText(std::string_view text);

// Appends a whole number in decimal.
void AppendNumber(std::string& out, int64_t value);

// Local time "%02d/%02d/%04d @ %02d:%02d". Keeps the last quarter hour it looked up, so a
// table of close times costs one time-zone look-up per quarter hour.
class HumanTime
{
public:
    void Append(std::string& out, int64_t secondsSince1970);

private:
    int64_t m_block = INT64_MIN;
    bool m_valid = false;
    int m_month = 0, m_day = 0, m_year = 0, m_hour = 0, m_minute = 0;
};

// Local time in the 24-character calendar form, "Wed Jun  3 14:05:09 2018".
std::string CalendarText(int64_t secondsSince1970);
