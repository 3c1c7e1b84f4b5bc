#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <fstream>

#include "Blocks.h"
#include "TemporaryFolder.h"
#include "events/EventFeed.h"
#include "events/EventFile.h"
#include "events/EventJson.h"

namespace {

class Collector : public EventOutput
{
public:
    void Publish(const EventLine& line) override { Lines.push_back(line); }
    std::vector<EventLine> Lines;

    std::vector<nlohmann::json> OfType(const std::string& type) const
    {
        std::vector<nlohmann::json> found;
        for (const EventLine& line : Lines)
            if (line.Type == type)
                found.push_back(nlohmann::json::parse(line.Json));
        return found;
    }
};

class EventFeedTest : public ::testing::Test
{
protected:
    TemporaryFolder folder;
    ManualClock clock{1700000000};
    P25Class model{clock};
    EventFeed feed{model};
    std::shared_ptr<Collector> out = std::make_shared<Collector>();

    void SetUp() override
    {
        model.SetDataFolder(folder.Path());
        feed.AddOutput(out);
        Decode(MakeRfssStatus(0xC94, 1, 3));
        feed.Drain();
        out->Lines.clear();
    }
    void Decode(const TsbkBlock& block) { model.DecodeTsbk(block.data()); }
};

TsbkBlock GroupGrant(int options, int channel, int talkgroup, int radio)
{
    return MakeTsbk(0x00, 0x00,
                    {options, channel >> 8, channel & 0xFF, talkgroup >> 8, talkgroup & 0xFF, radio >> 16,
                     radio >> 8 & 0xFF, radio & 0xFF});
}

}

TEST(EventJson, StringsAreEscapedAndAlwaysUtf8)
{
    const struct
    {
        std::string text, json;
    } cases[] = {
        {"Fire \"Dispatch\"", R"("Fire \"Dispatch\"")"},
        {"a\\b\n\t\x01", R"("a\\b\n\t\u0001")"},
        {"Caf\xC3\xA9 \xE2\x82\xAC", "\"Caf\xC3\xA9 \xE2\x82\xAC\""},
        // A Latin-1 byte, a cut sequence and an overlong form each become U+FFFD.
        {"Caf\xE9", "\"Caf\xEF\xBF\xBD\""},
        {"x\xE2\x82", "\"x\xEF\xBF\xBD\xEF\xBF\xBD\""},
        {"\xC0\xAF", "\"\xEF\xBF\xBD\xEF\xBF\xBD\""},
    };
    for (const auto& c : cases) {
        std::string out;
        AppendJsonString(out, c.text);
        EXPECT_EQ(out, c.json) << c.text;
        EXPECT_TRUE(nlohmann::json::accept(out)) << c.text;
    }
}

TEST(EventJson, TimesAndFrequencies)
{
    EXPECT_EQ(IsoTime(0), "1970-01-01T00:00:00Z");
    EXPECT_EQ(IsoTime(1700000000), "2023-11-14T22:13:20Z");
    EXPECT_EQ(IsoTime(1709164800), "2024-02-29T00:00:00Z");
    EXPECT_EQ(IsoTime(253402300799), "9999-12-31T23:59:59Z");
    EXPECT_EQ(Hertz(851.0125), 851012500);
    EXPECT_EQ(Hertz(769.06875), 769068750);
    EXPECT_EQ(ChannelName(0x1006), "01-0006");
}

TEST_F(EventFeedTest, GrantTakesItsFlagsFromTheServiceOptions)
{
    const struct
    {
        int options;
        bool encrypted, emergency;
    } cases[] = {{0x00, false, false}, {0x40, true, false}, {0x80, false, true}, {0xC0, true, true}};
    int talkgroup = 100;
    for (const auto& c : cases)
        Decode(GroupGrant(c.options, 0x1006, ++talkgroup, 1234567));
    feed.Drain();
    const auto grants = out->OfType("grant");
    ASSERT_EQ(grants.size(), std::size(cases));
    for (size_t i = 0; i < grants.size(); ++i) {
        EXPECT_EQ(grants[i]["encrypted"], cases[i].encrypted) << i;
        EXPECT_EQ(grants[i]["emergency"], cases[i].emergency) << i;
    }
    const auto& g = grants[0];
    EXPECT_EQ(g["v"], 1);
    EXPECT_EQ(g["time"], "2023-11-14T22:13:20Z");
    EXPECT_EQ(g["epoch"], 1700000000);
    EXPECT_EQ(g["sysid"], "C94");
    EXPECT_EQ(g["rfss"], 1);
    EXPECT_EQ(g["site"], 3);
    EXPECT_EQ(g["kind"], "group");
    EXPECT_EQ(g["channel"], "01-0006");
    EXPECT_EQ(g["frequency"], Hertz(model.ChannelFrequency(0x1006)));
    EXPECT_EQ(g["talkgroup"], 101);
    EXPECT_EQ(g["radio"], 1234567);
    EXPECT_EQ(out->Lines[0].Source, "C94/1-3");
}

TEST_F(EventFeedTest, EveryRecordReachesTheFeedWhateverTheListsShowOrHold)
{
    model.SetGrantsVisible(false);
    constexpr int Count = 300;
    for (int i = 0; i < Count; ++i) {
        Decode(GroupGrant(0, 0x1001 + i % 20, 200 + i, 5000 + i));
        model.RecordAffiliation('A', 9000 + i, "Affiliate", 300);
    }
    feed.Drain();
    EXPECT_EQ(out->OfType("grant").size(), static_cast<size_t>(Count));
    EXPECT_EQ(out->OfType("affiliation").size(), static_cast<size_t>(Count));
    // The affiliation log's queue was full all along; the log itself keeps its capacity.
    EXPECT_GT(model.DroppedLogRecords(), 0u);
    EXPECT_EQ(feed.Dropped(), 0u);
}

TEST_F(EventFeedTest, AffiliationKindsAndRepeats)
{
    model.RecordAffiliation('A', 42, "Affiliate", 300);
    model.RecordAffiliation('A', 42, "Affiliate", 300);
    model.RecordAffiliation('D', 43, "Denied", 301);
    model.RecordAffiliation('A', 44, "Affiliate", 302, true);
    model.RecordAffiliation('U', 42, "Unaffiliate", 0);
    feed.Drain();
    std::vector<std::string> types;
    for (const EventLine& line : out->Lines)
        types.push_back(line.Type);
    EXPECT_EQ(types, (std::vector<std::string>{"affiliation", "affiliation", "registration", "deregistration"}));
    const auto denied = nlohmann::json::parse(out->Lines[1].Json);
    EXPECT_EQ(denied["accepted"], false);
    EXPECT_EQ(denied["result"], "Denied");
    EXPECT_TRUE(nlohmann::json::parse(out->Lines[3].Json)["talkgroup"].is_null());
}

TEST_F(EventFeedTest, PatchesCarryTheirMembers)
{
    model.AddPatch(10, 500);
    model.AddPatch(11, 500);
    model.RemovePatch(500);
    feed.Drain();
    const auto patches = out->OfType("patch");
    ASSERT_EQ(patches.size(), 4u);
    EXPECT_EQ(patches[1]["members"], nlohmann::json::parse("[10,11]"));
    EXPECT_EQ(patches[2]["action"], "removed");
    EXPECT_EQ(patches[3]["members"], nlohmann::json::array());
}

TEST_F(EventFeedTest, NoOutputNoTap)
{
    const uint64_t before = feed.Published();
    feed.RemoveOutputs();
    Decode(GroupGrant(0, 0x1001, 100, 1));
    feed.Drain();
    EXPECT_TRUE(out->Lines.empty());
    EXPECT_EQ(feed.Published(), before);
}

TEST_F(EventFeedTest, ReplayRateFollowsTheReplayClock)
{
    // Blocks 1-40 in the first second (two failed their CRC), 41-50 in the next.
    for (uint64_t taken = 1; taken <= 50; ++taken) {
        if (taken == 41)
            clock.Advance(1);
        feed.ReplayBlock(taken, taken > 40 ? 2 : taken / 20);
    }
    feed.EndReplay(50, 3);
    const auto rates = out->OfType("rate");
    ASSERT_EQ(rates.size(), 2u);
    EXPECT_EQ(rates[0]["epoch"], 1700000000);
    EXPECT_EQ(rates[0]["expected"], 40);
    EXPECT_EQ(rates[0]["received"], 38);
    EXPECT_EQ(rates[1]["expected"], 10);
    EXPECT_EQ(rates[1]["crc_failures"], 1);
    EXPECT_FALSE(rates[0].contains("queue_free"));
    EXPECT_TRUE(out->Lines.back().Retained);
}

TEST(EventFile, AppendsWholeLinesAndSaysOnceWhenItCannotWrite)
{
    TemporaryFolder folder;
    const std::string path = folder / "events.ndjson";
    std::ofstream(path) << "{\"earlier\":1}\n";
    std::string error;
    {
        EventFile file;
        ASSERT_TRUE(file.Open(path, error));
        file.Publish({"grant", "{\"a\":1}", "", false, false});
        file.Publish({"neighbors", "{\"state\":1}", "", true, true});
        file.Publish({"rate", "{\"b\":2}", "", true, false});
    }
    std::ifstream in(path);
    std::string text((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(text, "{\"earlier\":1}\n{\"a\":1}\n{\"b\":2}\n");

    EventFile full;
    ASSERT_TRUE(full.Open("/dev/full", error));
    for (int i = 0; i < 3; ++i) {
        full.Publish({"grant", "{}", "", false, false});
        full.Close();
        ASSERT_TRUE(full.Open("/dev/full", error));
    }
    EXPECT_EQ(full.Dropped(), 3u);
    EXPECT_EQ(full.TakeNotices().size(), 1u);
    EXPECT_FALSE(EventFile().Open(folder / "missing/events", error));
    EXPECT_NE(error.find("missing/events"), std::string::npos);
}
