#include "cli/HistoryCommand.h"

#include <charconv>
#include <cstdio>
#include <ctime>
#include <iostream>

#include <nlohmann/json.hpp>

#include "events/EventJson.h"
#include "persistence/Config.h"
#include "persistence/SystemFiles.h"
#include "platform/Clock.h"
#include "platform/Files.h"

const char* const HistoryUsage =
    "Usage: zembrant-cli history --system SYSID [--data-dir DIR] [options]\n"
    "\n"
    "Lists what the history database of a system folder (History.sqlite) holds: grants,\n"
    "affiliations, patches and other events, newest first.\n"
    "\n"
    "Options:\n"
    "  --system SYSID       system ID, hexadecimal as the window shows it, e.g. 1A4\n"
    "  --data-dir DIR       data directory (default: Zembrant in the documents folder)\n"
    "  --radio N            rows of this radio: a grant's caller or callee, an affiliation\n"
    "  --talkgroup N        rows of this talkgroup: grants, affiliations, patches\n"
    "  --site RFSS-SITE     rows of this site, e.g. 6-5\n"
    "  --since T            rows from T on; T is a date 2026-12-01, a time\n"
    "                       2026-12-01T10:00:00 (UTC), or 7d, 12h, 30m before now\n"
    "  --until T            rows up to T (a date alone: to the end of that day)\n"
    "  --kind KIND          grant, affiliation, patch or event\n"
    "  --limit N            the newest N rows only (default: all)\n"
    "  --json               one JSON array of objects\n"
    "  --csv                comma-separated, a header line first, every field quoted\n"
    "  --help               show this text\n"
    "\n"
    "Exit status: 0 with the rows or none, 1 when the database is missing or cannot be\n"
    "read, 2 for wrong arguments.\n";

namespace {

constexpr int HighestSystemId = 0xFFF;
constexpr int HighestTalkgroup = 0xFFFF;
constexpr int HighestRadio = 0xFFFFFF;
constexpr int64_t Day = 86400;
constexpr const char* KindNames[] = {"grant", "affiliation", "patch", "event"};

template <typename Number>
bool ParseNumber(std::string_view text, Number& value, int base = 10)
{
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, value, base);
    return !text.empty() && result.ec == std::errc() && result.ptr == end;
}

// Whole calendar fields, checked by converting them back.
bool UtcTime(int year, int month, int day, int hour, int minute, int second, int64_t& time)
{
    std::tm fields{};
    fields.tm_year = year - 1900;
    fields.tm_mon = month - 1;
    fields.tm_mday = day;
    fields.tm_hour = hour;
    fields.tm_min = minute;
    fields.tm_sec = second;
    const std::time_t t = timegm(&fields);
    std::tm back{};
    if (!gmtime_r(&t, &back) || back.tm_year != year - 1900 || back.tm_mon != month - 1 || back.tm_mday != day ||
        back.tm_hour != hour || back.tm_min != minute || back.tm_sec != second)
        return false;
    time = t;
    return true;
}

std::string ChannelText(int channel)
{
    return channel >= 0 ? ChannelName(channel) : std::string();
}

std::string FrequencyText(double frequency)
{
    if (frequency <= 0.0)
        return {};
    char text[32];
    std::snprintf(text, sizeof text, "%3.05f", frequency);
    return text;
}

std::string IdWithName(int id, const std::string& name)
{
    if (id <= 0)
        return {};
    return name.empty() ? std::to_string(id) : std::to_string(id) + " (" + name + ")";
}

// The text column: what the row says, its packet first, then its flags.
std::string Details(const HistoryRow& r)
{
    std::string text = r.Packet.empty() ? r.Text : r.Packet + r.Text;
    if (r.Encrypted)
        text += text.empty() ? "Encrypted" : ", Encrypted";
    if (r.Emergency)
        text += text.empty() ? "Emergency" : ", Emergency";
    return text;
}

std::string SiteText(const HistoryRow& r)
{
    return std::to_string(r.Rfss) + "-" + std::to_string(r.Site);
}

void PrintText(const std::vector<HistoryRow>& rows, const HistorySummary& summary)
{
    std::vector<std::vector<std::string>> table;
    table.push_back({"Time", "Kind", "Type", "Site", "Channel", "Frequency", "Talkgroup", "Radio", "Target", "Text"});
    for (const HistoryRow& r : rows)
        table.push_back({LocalTimeText(r.Time), KindNames[static_cast<int>(r.Kind)], r.Type, SiteText(r),
                         ChannelText(r.Channel), FrequencyText(r.Frequency), IdWithName(r.Talkgroup, r.TalkgroupName),
                         IdWithName(r.Radio, r.RadioName), IdWithName(r.Target, r.TargetName), Details(r)});
    std::vector<size_t> widths(table.front().size(), 0);
    for (const auto& line : table)
        for (size_t i = 0; i < line.size(); ++i)
            widths[i] = std::max(widths[i], line[i].size());
    std::string out;
    for (const auto& line : table) {
        std::string text;
        for (size_t i = 0; i < line.size(); ++i) {
            text += line[i];
            if (i + 1 < line.size())
                text.append(widths[i] - line[i].size() + 2, ' ');
        }
        while (!text.empty() && text.back() == ' ')
            text.pop_back();
        out += text + "\n";
    }
    out += std::to_string(summary.Count) + (summary.Count == 1 ? " row" : " rows");
    if (summary.Count > rows.size())
        out += " (the newest " + std::to_string(rows.size()) + " shown)";
    out += ", first " + LocalTimeText(summary.First) + ", last " + LocalTimeText(summary.Last) + "\n";
    std::cout << out;
}

void PrintJson(const std::vector<HistoryRow>& rows)
{
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    const auto idOrNull = [](int id) { return id > 0 ? nlohmann::ordered_json(id) : nlohmann::ordered_json(); };
    for (const HistoryRow& r : rows) {
        nlohmann::ordered_json row;
        row["time"] = IsoTime(r.Time);
        row["epoch"] = r.Time;
        row["kind"] = KindNames[static_cast<int>(r.Kind)];
        row["type"] = r.Type;
        row["rfss"] = r.Rfss;
        row["site"] = r.Site;
        row["channel"] = r.Channel >= 0 ? nlohmann::ordered_json(ChannelName(r.Channel)) : nlohmann::ordered_json();
        row["frequency"] = r.Frequency > 0.0 ? nlohmann::ordered_json(r.Frequency) : nlohmann::ordered_json();
        row["talkgroup"] = idOrNull(r.Talkgroup);
        row["talkgroup_name"] = r.TalkgroupName;
        row["radio"] = idOrNull(r.Radio);
        row["radio_name"] = r.RadioName;
        row["target"] = idOrNull(r.Target);
        row["target_name"] = r.TargetName;
        row["encrypted"] = r.Encrypted;
        row["emergency"] = r.Emergency;
        row["text"] = r.Text;
        if (r.Kind == HistoryKind::Affiliation)
            row["accepted"] = r.Accepted;
        if (r.Kind == HistoryKind::Event)
            row["packet"] = r.Packet;
        list.push_back(std::move(row));
    }
    // Names typed in another code page must not stop the list.
    std::cout << list.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << "\n";
}

void PrintCsv(const std::vector<HistoryRow>& rows)
{
    std::string out = "\"Time\",\"Epoch\",\"Kind\",\"Type\",\"RFSS\",\"Site\",\"Channel\",\"Frequency\",\"Talkgroup\","
                      "\"Talkgroup Name\",\"Radio\",\"Radio Name\",\"Target\",\"Target Name\",\"Encrypted\","
                      "\"Emergency\",\"Text\",\"Packet\"\n";
    const auto id = [](int value) { return value > 0 ? std::to_string(value) : std::string(); };
    for (const HistoryRow& r : rows) {
        const std::string fields[] = {LocalTimeText(r.Time),
                                      std::to_string(r.Time),
                                      KindNames[static_cast<int>(r.Kind)],
                                      r.Type,
                                      std::to_string(r.Rfss),
                                      std::to_string(r.Site),
                                      ChannelText(r.Channel),
                                      FrequencyText(r.Frequency),
                                      id(r.Talkgroup),
                                      r.TalkgroupName,
                                      id(r.Radio),
                                      r.RadioName,
                                      id(r.Target),
                                      r.TargetName,
                                      r.Encrypted ? "1" : "0",
                                      r.Emergency ? "1" : "0",
                                      r.Text,
                                      r.Packet};
        for (size_t i = 0; i < std::size(fields); ++i) {
            if (i > 0)
                out += ',';
            AppendQuoted(out, fields[i]);
        }
        out += '\n';
    }
    std::cout << out;
}

void Tell(const std::string& message)
{
    std::cerr << "zembrant-cli: " << message << "\n";
}

}

bool ParseHistoryTime(const std::string& text, int64_t now, bool endOfSpan, int64_t& time)
{
    if (text.size() >= 2) {
        const char unit = text.back();
        const int64_t seconds = unit == 'd' ? Day : unit == 'h' ? 3600 : unit == 'm' ? 60 : 0;
        int64_t count = 0;
        if (seconds > 0 && ParseNumber(std::string_view(text).substr(0, text.size() - 1), count)) {
            if (count < 0 || count > LatestPrintableTime / seconds)
                return false;
            time = now - count * seconds;
            return true;
        }
    }
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    int used = 0;
    if (std::sscanf(text.c_str(), "%4d-%2d-%2d%n", &year, &month, &day, &used) == 3 && used == 10 &&
        text.size() == 10) {
        if (!UtcTime(year, month, day, 0, 0, 0, time))
            return false;
        if (endOfSpan)
            time += Day - 1;
        return true;
    }
    used = 0;
    if (std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%n", &year, &month, &day, &hour, &minute, &second, &used) ==
            6 &&
        used == 19 && (text.size() == 19 || (text.size() == 20 && text.back() == 'Z')))
        return UtcTime(year, month, day, hour, minute, second, time);
    return false;
}

bool ParseHistoryOptions(const std::vector<std::string>& args, int64_t now, HistoryOptions& options,
                         std::string& error)
{
    options = HistoryOptions{};
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        std::string v;
        const auto value = [&] {
            if (i + 1 >= args.size()) {
                error = "option " + arg + " needs a value";
                return false;
            }
            v = args[++i];
            return true;
        };
        const auto id = [&](int highest, std::optional<int>& out, const char* what) {
            int number = 0;
            if (!value())
                return false;
            if (!ParseNumber(v, number) || number < 1 || number > highest) {
                error = arg + " needs a " + what + " from 1 to " + std::to_string(highest);
                return false;
            }
            out = number;
            return true;
        };
        if (arg == "--help" || arg == "-h") {
            options.Help = true;
            return true;
        }
        if (arg == "--data-dir") {
            if (!value())
                return false;
            options.DataDir = v;
        } else if (arg == "--system") {
            if (!value())
                return false;
            if (v.size() > 3 || !ParseNumber(v, options.SystemId, 16) || options.SystemId < 1 ||
                options.SystemId > HighestSystemId) {
                error = "--system needs a system ID of one to three hexadecimal digits, from 001 to FFF";
                return false;
            }
        } else if (arg == "--radio") {
            if (!id(HighestRadio, options.Query.Radio, "radio ID"))
                return false;
        } else if (arg == "--talkgroup") {
            if (!id(HighestTalkgroup, options.Query.Talkgroup, "talkgroup ID"))
                return false;
        } else if (arg == "--site") {
            if (!value())
                return false;
            const size_t dash = v.find('-');
            int rfss = 0;
            int site = 0;
            if (dash == std::string::npos || !ParseNumber(std::string_view(v).substr(0, dash), rfss) ||
                !ParseNumber(std::string_view(v).substr(dash + 1), site) || rfss < 0 || rfss > 255 || site < 0 ||
                site > 255) {
                error = "--site needs RFSS-SITE, two numbers from 0 to 255, e.g. 6-5";
                return false;
            }
            options.Query.Site = {rfss, site};
        } else if (arg == "--since" || arg == "--until") {
            if (!value())
                return false;
            int64_t time = 0;
            if (!ParseHistoryTime(v, now, arg == "--until", time)) {
                error = arg + " needs a date 2026-12-01, a time 2026-12-01T10:00:00 or 7d, 12h, 30m: " + v;
                return false;
            }
            (arg == "--since" ? options.Query.Since : options.Query.Until) = time;
        } else if (arg == "--kind") {
            if (!value())
                return false;
            const auto* found = std::find(std::begin(KindNames), std::end(KindNames), v);
            if (found == std::end(KindNames)) {
                error = "--kind needs grant, affiliation, patch or event: " + v;
                return false;
            }
            options.Query.Kind = static_cast<HistoryKind>(found - std::begin(KindNames));
        } else if (arg == "--limit") {
            if (!value())
                return false;
            if (!ParseNumber(v, options.Query.Limit) || options.Query.Limit < 0) {
                error = "--limit needs a number of rows, 0 for all";
                return false;
            }
        } else if (arg == "--json" || arg == "--csv") {
            if (options.Output != HistoryOptions::Format::Text) {
                error = "history takes one of --json and --csv";
                return false;
            }
            options.Output = arg == "--json" ? HistoryOptions::Format::Json : HistoryOptions::Format::Csv;
        } else {
            error = "unknown history option: " + arg;
            return false;
        }
    }
    if (options.SystemId == 0) {
        error = "history needs --system";
        return false;
    }
    return true;
}

int RunHistoryCommand(const std::vector<std::string>& args)
{
    HistoryOptions options;
    std::string error;
    if (!ParseHistoryOptions(args, static_cast<int64_t>(std::time(nullptr)), options, error)) {
        Tell(error);
        std::cerr << "Try 'zembrant-cli history --help'.\n";
        return 2;
    }
    if (options.Help) {
        std::cout << HistoryUsage;
        return 0;
    }
    const std::string dataDir = WithTrailingSlash(options.DataDir.empty() ? DefaultDataFolder() : options.DataDir);
    const std::string path = HistoryStore::PathFor(dataDir, options.SystemId);
    if (!FileExists(path)) {
        char sysId[8];
        std::snprintf(sysId, sizeof sysId, "%03X", static_cast<unsigned>(options.SystemId));
        Tell(std::string("No history for system ") + sysId + " in " + dataDir.substr(0, dataDir.size() - 1) +
             " (History.sqlite missing)");
        return 1;
    }
    HistoryStore store;
    std::vector<HistoryRow> rows;
    HistorySummary summary;
    if (!store.Open(path, error, HistoryStore::Mode::Read) || !store.Query(options.Query, rows, error) ||
        !store.Summarize(options.Query, summary, error)) {
        Tell(error);
        return 1;
    }
    switch (options.Output) {
    case HistoryOptions::Format::Json: PrintJson(rows); break;
    case HistoryOptions::Format::Csv: PrintCsv(rows); break;
    case HistoryOptions::Format::Text:
        if (rows.empty())
            std::cout << "No history rows match.\n";
        else
            PrintText(rows, summary);
        break;
    }
    return 0;
}
