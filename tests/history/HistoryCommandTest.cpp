#include <gtest/gtest.h>

#include "cli/HistoryCommand.h"

namespace {

constexpr int64_t Now = 1764590400; // 2025-12-01 12:00:00 UTC

}

TEST(ParseHistoryTime, DatesTimesAndSpansBeforeNow)
{
    struct Case
    {
        const char* text;
        bool end;
        std::optional<int64_t> time;
    };
    const Case cases[] = {
        {"2025-12-01", false, 1764547200},
        {"2025-12-01", true, 1764547200 + 86399},
        {"2025-12-01T10:00:00", false, 1764583200},
        {"2025-12-01T10:00:00Z", true, 1764583200},
        {"7d", false, Now - 7 * 86400},
        {"12h", false, Now - 12 * 3600},
        {"30m", false, Now - 30 * 60},
        {"0d", false, Now},
        {"2025-02-29", false, std::nullopt},
        {"2025-12-01T24:00:00", false, std::nullopt},
        {"2025-12-1", false, std::nullopt},
        {"2025-12-01 10:00:00", false, std::nullopt},
        {"d", false, std::nullopt},
        {"-3d", false, std::nullopt},
        {"3w", false, std::nullopt},
    };
    for (const Case& c : cases) {
        int64_t time = -1;
        const bool parsed = ParseHistoryTime(c.text, Now, c.end, time);
        EXPECT_EQ(parsed, c.time.has_value()) << c.text;
        if (parsed && c.time) {
            EXPECT_EQ(time, *c.time) << c.text;
        }
    }
}

TEST(ParseHistoryOptions, ReadsTheQueryAndRefusesWrongArguments)
{
    HistoryOptions options;
    std::string error;
    ASSERT_TRUE(ParseHistoryOptions({"--system", "1a2", "--data-dir", "/d", "--radio", "5001", "--site", "6-5",
                                     "--kind", "affiliation", "--limit", "20", "--since", "1h", "--csv"},
                                    Now, options, error))
        << error;
    EXPECT_EQ(options.SystemId, 0x1A2);
    EXPECT_EQ(options.DataDir, "/d");
    EXPECT_EQ(options.Query.Radio, 5001);
    EXPECT_EQ(options.Query.Site, (std::pair{6, 5}));
    EXPECT_EQ(options.Query.Kind, HistoryKind::Affiliation);
    EXPECT_EQ(options.Query.Limit, 20);
    EXPECT_EQ(options.Query.Since, Now - 3600);
    EXPECT_EQ(options.Output, HistoryOptions::Format::Csv);

    const std::pair<std::vector<std::string>, const char*> wrong[] = {
        {{"--radio", "5"}, "history needs --system"},
        {{"--system", "1000"}, "--system needs a system ID of one to three hexadecimal digits, from 001 to FFF"},
        {{"--system", "1A2", "--talkgroup", "65536"}, "--talkgroup needs a talkgroup ID from 1 to 65535"},
        {{"--system", "1A2", "--site", "6"}, "--site needs RFSS-SITE, two numbers from 0 to 255, e.g. 6-5"},
        {{"--system", "1A2", "--kind", "grants"}, "--kind needs grant, affiliation, patch or event: grants"},
        {{"--system", "1A2", "--json", "--csv"}, "history takes one of --json and --csv"},
        {{"--system", "1A2", "--limit"}, "option --limit needs a value"},
        {{"--system", "1A2", "--until", "yesterday"},
         "--until needs a date 2026-12-01, a time 2026-12-01T10:00:00 or 7d, 12h, 30m: yesterday"},
        {{"--system", "1A2", "--follow"}, "unknown history option: --follow"},
    };
    for (const auto& [args, message] : wrong) {
        EXPECT_FALSE(ParseHistoryOptions(args, Now, options, error)) << message;
        EXPECT_EQ(error, message);
    }
}
