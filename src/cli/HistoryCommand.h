#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "history/HistoryStore.h"

// What zembrant-cli history asks for.
struct HistoryOptions
{
    enum class Format { Text, Json, Csv };

    bool Help = false;
    std::string DataDir;
    int SystemId = 0;
    HistoryQuery Query;
    Format Output = Format::Text;
};

extern const char* const HistoryUsage;

// A time of --since or --until: "2026-12-01" or "2026-12-01T10:00:00" (UTC), or "7d",
// "12h", "30m" before now. A date alone as the end of a span takes in its whole day.
bool ParseHistoryTime(const std::string& text, int64_t now, bool endOfSpan, int64_t& time);
// False with a message for standard error when the arguments are wrong.
bool ParseHistoryOptions(const std::vector<std::string>& args, int64_t now, HistoryOptions& options,
                         std::string& error);

// zembrant-cli history, with the arguments after "history": 0 with the rows (or none), 1
// when the database is missing or cannot be read, 2 for wrong arguments.
int RunHistoryCommand(const std::vector<std::string>& args);
