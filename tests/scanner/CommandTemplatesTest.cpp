#include <gtest/gtest.h>

#include <vector>

#include "scanner/CommandTemplates.h"

namespace {

const TEMPLATEVALUES Example{851.0125, 866.0, 0.0125};

struct TokenCase
{
    const char* Token;
    const char* Expected;
};

// Every token with the example values: A 851.0125, Q 866.0, S 0.0125 MHz.
const TokenCase TokenCases[] = {
    {"$AF-########$", " 8510125"},
    {"$AF-0#######$", "08510125"},
    {"$AF-#########$", "  8510125"},
    {"$AF-0########$", "008510125"},
    {"$AF-###.####$", "851.0125"},
    {"$AF-0##.####$", "851.0125"},
    {"$AF-####.####$", "851.0125"},
    {"$AF-0###.####$", "851.0125"},
    {"$AF-####.#####$", "851.01250"},
    {"$AF-0##.#####$", "851.01250"},
    {"$AF-0###.#####$", "851.01250"},
    {"$QF-########$", "8660000"},
    {"$QF-0#######$", "08660000"},
    {"$QF-###.####$", "866.0000"},
    {"$QF-0##.####$", "866.0000"},
    {"$QF-####.####$", "866.0000"},
    {"$QF-0###.####$", "866.0000"},
    {"$QF-####.#####$", "866.00000"},
    {"$QF-0##.#####$", "866.00000"},
    {"$QF-0###.#####$", "866.00000"},
    {"$SP-MHZ$", "0.0125"},
    {"$SP-MHZ4$", "0.0125"},
    {"$SP-MHZ5$", "0.01250"},
    {"$SP-KHZ$", "12.5"},
    {"$SP-KHZ2$", "12.50"},
    {"$SP-KHZ3$", "12.500"},
    {"$SP-KHZ4$", "12.5000"},
    {"$SP-KHZ5$", "12.50000"},
    {"$SP-KHZ*10$", "125"},
    {"$SP-KHZ*100$", "1250"},
    {"$UNIDENFREQ$", "08510125"},
    {"$UNIDENQUIET$", "08660000"},
    {"$STANDARDFREQ$", "851.0125"},
    {"$STANDARDQUIET$", "866.0000"},
    {"$STANDARDSPACING$", "0.0125"},
    {"$UNIDENSPACING$", "12.5"},
    {"$STANDARDSPACINGKHZ$", "12.5000"},
    {"$CR$", "\r"},
    {"$LF$", "\n"},
};

}

TEST(ExpandTemplate, EveryTokenGivesItsValue)
{
    for (const TokenCase& c : TokenCases) {
        SCOPED_TRACE(c.Token);
        EXPECT_EQ(ExpandTemplate(c.Token, Example), c.Expected);
        // Every occurrence, with the text around it kept.
        EXPECT_EQ(ExpandTemplate(std::string("<") + c.Token + "|" + c.Token + ">", Example),
                  std::string("<") + c.Expected + "|" + c.Expected + ">");
    }
}

TEST(ExpandTemplate, BuildsWholeCommands)
{
    EXPECT_EQ(ExpandTemplate("F$UNIDENFREQ$$CR$", Example), "F08510125\r");
    EXPECT_EQ(ExpandTemplate("RF$STANDARDFREQ$ ST$SP-KHZ2$$CR$$LF$", Example), "RF851.0125 ST12.50\r\n");
    EXPECT_EQ(ExpandTemplate("", Example), "");
    EXPECT_EQ(ExpandTemplate("no tokens at all", Example), "no tokens at all");
}

TEST(ExpandTemplate, PercentFDropsTrailingZerosAndThePoint)
{
    EXPECT_EQ(ExpandTemplate("$SP-KHZ$ $SP-MHZ$ $SP-KHZ*10$", {0, 0, 0.025}), "25 0.025 250");
    EXPECT_EQ(ExpandTemplate("$SP-KHZ$ $SP-KHZ*100$ $UNIDENSPACING$", {0, 0, 0.00625}), "6.25 625 6.25");
    EXPECT_EQ(ExpandTemplate("$SP-MHZ$|$SP-KHZ$", {0, 0, 0.0}), "0|0");
    // Only "%f" loses its zeros: a fixed number of decimals stays.
    EXPECT_EQ(ExpandTemplate("$SP-KHZ2$ $SP-MHZ4$", {0, 0, 0.1}), "100.00 0.1000");
    // Zero padding applies to the whole-number formats; a frequency below 100 MHz shows it.
    EXPECT_EQ(ExpandTemplate("$UNIDENFREQ$ $AF-0########$ $AF-########$", {45.5, 0, 0}),
              "00455000 000455000   455000");
}

TEST(ExpandTemplate, UnknownTextPassesUnchanged)
{
    EXPECT_EQ(ExpandTemplate("$", Example), "$");
    EXPECT_EQ(ExpandTemplate("$$", Example), "$$");
    EXPECT_EQ(ExpandTemplate("RF$UNIDENFREQ", Example), "RF$UNIDENFREQ");
    EXPECT_EQ(ExpandTemplate("$FOO$ $unidenfreq$ $AF-#######$", Example), "$FOO$ $unidenfreq$ $AF-#######$");
    EXPECT_EQ(ExpandTemplate("$CR$$", Example), "\r$");
    EXPECT_EQ(ExpandTemplate("$$CR$", Example), "$\r");
    EXPECT_EQ(ExpandTemplate("100% $ 5", Example), "100% $ 5");
}

TEST(ExpandTemplate, ReplacesTokensInTableOrderAndRescans)
{
    // "$SP-KHZ$" comes first and its value completes "$SP-KHZ*10$", replaced later.
    EXPECT_EQ(ExpandTemplate("$SP-KHZ*$SP-KHZ$0$", {0, 0, 0.001}), "10");
    // A later token's value cannot complete an earlier one: "$SP-KHZ$" is done by then.
    EXPECT_EQ(ExpandTemplate("$SP-KHZ*1$UNIDENSPACING$$", {0, 0, 0.0}), "$SP-KHZ*10$");
    // One token's value completing the same token again: the rescan replaces it too.
    EXPECT_EQ(ExpandTemplate("$SP-KHZ*$SP-KHZ*10$0$", {0, 0, 0.0001}), "1");
    // Overlapping occurrences share their "$": the first one wins.
    EXPECT_EQ(ExpandTemplate("$CR$CR$", Example), "\rCR$");
}

TEST(ExpandTemplate, HostileValuesAndLongTemplatesStayBounded)
{
    const std::string huge = ExpandTemplate("$UNIDENFREQ$", {1e300, 0, 0});
    EXPECT_EQ(huge.size(), 305u);
    EXPECT_EQ(ExpandTemplate("$STANDARDFREQ$", {-1.5, 0, 0}), "-1.5000");

    std::string many;
    std::string expected;
    for (int i = 0; i < 100000; ++i) {
        many += "$CR$x$";
        expected += "\rx$";
    }
    EXPECT_EQ(ExpandTemplate(many, Example), expected);
}

TEST(TuneFrame, CarriesTheFrequencyInHzWithItsChecksum)
{
    // 851.0125 MHz = 851012500 Hz = 0x32B96B94.
    const auto frame = TuneFrame(851.0125, false);
    EXPECT_EQ(std::vector<uint8_t>(frame.begin(), frame.end()),
              (std::vector<uint8_t>{0x02, 0x54, 0x94, 0x6B, 0xB9, 0x32, 0x02, 0x03, 0x43}));
    const auto swapped = TuneFrame(851.0125, true);
    EXPECT_EQ(std::vector<uint8_t>(swapped.begin(), swapped.end()),
              (std::vector<uint8_t>{0x02, 0x54, 0x32, 0xB9, 0x6B, 0x94, 0x02, 0x03, 0x43}));

    // Truncated toward zero; nonsense is clamped rather than undefined.
    EXPECT_EQ(TuneFrame(0.0000019, false)[2], 1);
    const auto negative = TuneFrame(-5.0, false);
    EXPECT_EQ(negative[2] | negative[3] | negative[4] | negative[5], 0);
    const auto huge = TuneFrame(1e12, false);
    EXPECT_EQ(huge[2] & huge[3] & huge[4] & huge[5], 0xFF);
}

TEST(ResumeFrame, IsTheScanKey)
{
    const auto frame = ResumeFrame();
    EXPECT_EQ(std::vector<uint8_t>(frame.begin(), frame.end()), (std::vector<uint8_t>{0x02, 0x4B, 0x0F, 0x03, 0x5D}));
}
