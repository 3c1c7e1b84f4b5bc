// zembrant-cli's live events end to end: the real program on captures made here, a real
// mosquitto broker on a loopback port, a real FIFO for a run that does not end at once.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <map>
#include <set>
#include <sstream>

#include "support/MosquittoBroker.h"
#include "support/TemporaryFolder.h"

namespace {

using json = nlohmann::json;

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

bool IsStream(const std::string& type)
{
    return type != "identifier_tables" && type != "neighbors";
}

// "073/1-29": the source of an event file's first event with a known system.
std::string SourceOf(const std::string& events)
{
    for (const std::string& line : Lines(events)) {
        const json event = json::parse(line);
        if (!event["sysid"].is_null())
            return event["sysid"].get<std::string>() + "/" + std::to_string(event["rfss"].get<int>()) + "-" +
                   std::to_string(event["site"].get<int>());
    }
    return {};
}

// The system folder of a data directory that holds one.
std::string SystemFolder(const std::string& data)
{
    for (const auto& entry : std::filesystem::directory_iterator(data))
        if (entry.is_directory() && entry.path().filename().string().rfind("System", 0) == 0)
            return entry.path().string() + "/";
    return data;
}

// The log of a kind in a system folder ("GrantLog-129.csv").
std::string LogFile(const std::string& folder, const std::string& kind)
{
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        if (entry.path().filename().string().rfind(kind + "-", 0) == 0)
            return entry.path().string();
    return folder + kind;
}

class EventsEndToEnd : public ::testing::Test
{
protected:
    TemporaryFolder folder;

    // A simulated site's capture of the program's own dump, dated from 1700000000.
    std::string MakeCapture(int blocks, int seed = 5)
    {
        const std::string path = folder / ("capture-" + std::to_string(blocks) + ".txt");
        const std::string command = std::string(ZEMBRANT_SIM) + " capture --kind zembrantdump --blocks " +
                                    std::to_string(blocks) + " --seed " + std::to_string(seed) + " -o " + path +
                                    " > /dev/null";
        EXPECT_EQ(std::system(command.c_str()), 0);
        return path;
    }

    // Runs zembrant-cli replay; its standard error goes to err. Returns the exit status.
    int Replay(const std::string& capture, const std::string& data, const std::string& extra,
               const std::string& err = "/dev/null")
    {
        const std::string command = "TZ=UTC " + std::string(ZEMBRANT_CLI) + " replay " + capture +
                                    " --format zembrantdump --data-dir " + data + " --logs all " + extra +
                                    " > " + folder / "out.json" + " 2> " + err;
        const int status = std::system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    std::string Mqtt(int port, const std::string& login = {})
    {
        return " --mqtt mqtt://" + login + "127.0.0.1:" + std::to_string(port) + "/zembrant";
    }
};

size_t CsvRows(const std::string& path)
{
    const auto lines = Lines(ReadFile(path));
    return lines.empty() ? 0 : lines.size() - 1;
}

}

TEST_F(EventsEndToEnd, EventFileParsesLineByLineAndRepeatsExactly)
{
    const std::string capture = MakeCapture(20000);
    const std::string clock = " --json --clock-start 1700000000 --events ";
    ASSERT_EQ(Replay(capture, folder / "a", clock + folder / "a.ndjson"), 0);
    ASSERT_EQ(Replay(capture, folder / "b", clock + folder / "b.ndjson"), 0);
    const std::string first = ReadFile(folder / "a.ndjson");
    ASSERT_FALSE(first.empty());
    EXPECT_EQ(first, ReadFile(folder / "b.ndjson"));

    std::map<std::string, size_t> counts;
    size_t groupGrants = 0;
    for (const std::string& line : Lines(first)) {
        const json event = json::parse(line);
        ASSERT_EQ(event["v"], 1);
        ++counts[event["type"].get<std::string>()];
        if (event["type"] == "grant" && event["kind"] == "group")
            ++groupGrants;
    }
    // The logs of the same run agree: every grant, accepted affiliation and patch once.
    const std::string site = SystemFolder(folder / "a");
    const std::string grantLog = ReadFile(LogFile(site, "GrantLog"));
    size_t grantRows = 0;
    for (const std::string& row : Lines(grantLog))
        if (row.find("\"Queued\"") == std::string::npos && row.find("\"Alert\"") == std::string::npos)
            ++grantRows;
    EXPECT_EQ(counts["grant"], grantRows - 1);
    EXPECT_GT(groupGrants, 0u);
    EXPECT_EQ(counts["patch"], CsvRows(LogFile(site, "PatchLog")));
    EXPECT_GT(counts["rate"], 0u);
    EXPECT_GT(counts["system"], 0u);
    EXPECT_EQ(json::parse(ReadFile(folder / "out.json"))["counters"]["eventsPublished"], Lines(first).size());
}

TEST_F(EventsEndToEnd, BrokerGetsEveryEventOnceAndKeepsTheStateForNewcomers)
{
    MosquittoBroker broker;
    MqttCollector live(broker.Port());
    ASSERT_TRUE(live.WaitUntilSubscribed());
    const std::string capture = MakeCapture(20000);
    ASSERT_EQ(Replay(capture, folder / "d", Mqtt(broker.Port()) + " --events " + folder / "e.ndjson"), 0);

    // The stream as the file has it, in its order, each once.
    std::vector<std::string> expected;
    for (const std::string& line : Lines(ReadFile(folder / "e.ndjson")))
        expected.push_back(line);
    std::vector<std::string> streamed;
    ASSERT_TRUE(live.WaitFor([&](const MqttCollector::Messages& messages) {
        streamed.clear();
        for (const MQTTMESSAGE& m : messages)
            if (m.Topic.rfind("zembrant/status/", 0) != 0 && IsStream(json::parse(m.Payload)["type"]))
                streamed.push_back(m.Payload);
        return streamed.size() >= expected.size();
    }));
    // The retained states go at QoS 1 and may overtake the stream: the same events, each once.
    std::sort(streamed.begin(), streamed.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_TRUE(streamed == expected) << streamed.size() << " streamed, " << expected.size() << " in the file";
    const std::string topic = "zembrant/" + SourceOf(ReadFile(folder / "e.ndjson")) + "/";
    for (const MQTTMESSAGE& m : live.Received()) {
        if (m.Topic.rfind("zembrant/status/", 0) == 0)
            continue;
        const json event = json::parse(m.Payload);
        const std::string type = event["type"];
        EXPECT_EQ(m.Topic, topic + type);
        const bool state = type == "system" || type == "rate" || !IsStream(type);
        EXPECT_EQ(m.Retained, state) << m;
        EXPECT_EQ(m.Qos, state ? 1 : 0) << m;
    }

    MqttCollector late(broker.Port());
    std::map<std::string, std::string> retained;
    ASSERT_TRUE(late.WaitFor([&](const MqttCollector::Messages& messages) {
        for (const MQTTMESSAGE& m : messages)
            retained[m.Topic] = m.Payload;
        return retained.size() >= 5;
    }));
    for (const char* type : {"system", "rate", "identifier_tables", "neighbors"})
        EXPECT_EQ(retained.count(topic + type), 1u) << type;
    EXPECT_FALSE(json::parse(retained[topic + "identifier_tables"])["tables"].empty());
    bool offline = false;
    for (const auto& [topic, payload] : retained)
        offline |= topic.rfind("zembrant/status/", 0) == 0 && json::parse(payload)["status"] == "offline";
    EXPECT_TRUE(offline);
}

TEST_F(EventsEndToEnd, BrokerAwayMidRunCostsOnlyTheCountedEvents)
{
    MosquittoBroker broker;
    MqttCollector live(broker.Port());
    ASSERT_TRUE(live.WaitUntilSubscribed());
    const std::vector<std::string> lines = Lines(ReadFile(MakeCapture(170000)));
    const std::string fifo = folder / "feed";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string err = folder / "err.txt";
    auto run = std::async(std::launch::async, [&] {
        return Replay(fifo, folder / "d", Mqtt(broker.Port()) + " --json --events " + folder / "e.ndjson", err);
    });
    // Close-on-exec: the broker started again later must not hold the feed open.
    const int feed = ::open(fifo.c_str(), O_WRONLY | O_CLOEXEC);
    ASSERT_GE(feed, 0);
    const auto write = [&](size_t from, size_t to) {
        std::string text;
        for (size_t i = from; i < to; ++i)
            text += lines[i] + "\n";
        for (size_t done = 0; done < text.size();) {
            const ssize_t n = ::write(feed, text.data() + done, text.size() - done);
            ASSERT_GT(n, 0);
            done += static_cast<size_t>(n);
        }
    };
    const auto stderrSays = [&](const std::string& words) {
        for (int i = 0; i < 500; ++i) {
            if (ReadFile(err).find(words) != std::string::npos)
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    };
    write(0, 5000);
    ASSERT_TRUE(live.WaitForCount(100));
    broker.Stop();
    // Far more events than the queue keeps arrive while the broker is away.
    write(5000, 160000);
    EXPECT_TRUE(stderrSays("lost"));
    ASSERT_TRUE(broker.Start());
    EXPECT_TRUE(stderrSays("again"));
    write(160000, lines.size());
    ::close(feed);
    ASSERT_EQ(run.get(), 0) << ReadFile(err);

    const json counters = json::parse(ReadFile(folder / "out.json"))["counters"];
    const size_t fileLines = Lines(ReadFile(folder / "e.ndjson")).size();
    EXPECT_EQ(counters["eventsPublished"], fileLines);
    const uint64_t dropped = counters["eventsDropped"];
    EXPECT_GT(dropped, 0u);
    EXPECT_EQ(counters["blocksRead"], lines.size());
    // What the broker took after its return all arrives; nothing comes twice. (Events the
    // socket held when the broker went down are lost with it, as QoS 0 allows.)
    const std::vector<std::string> file = Lines(ReadFile(folder / "e.ndjson"));
    std::multiset<std::string> streamed;
    live.WaitFor([&](const MqttCollector::Messages& messages) {
        streamed.clear();
        for (const MQTTMESSAGE& m : messages)
            if (m.Topic.rfind("zembrant/status/", 0) != 0 && IsStream(json::parse(m.Payload)["type"]))
                streamed.insert(m.Payload);
        return streamed.count(file.back()) > 0;
    });
    EXPECT_LE(streamed.size() + dropped, fileLines);
    // A live feed runs on the live clock: equal events of one second are equal lines.
    const std::multiset<std::string> written(file.begin(), file.end());
    for (size_t i = file.size() - 50; i < file.size(); ++i) {
        EXPECT_GE(streamed.count(file[i]), 1u) << file[i];
        EXPECT_LE(streamed.count(file[i]), written.count(file[i])) << file[i];
    }
    // Said once each, however long the broker was away.
    const std::string said = ReadFile(err);
    const auto times = [&](const std::string& words) {
        size_t n = 0;
        for (size_t at = said.find(words); at != std::string::npos; at = said.find(words, at + 1))
            ++n;
        return n;
    };
    EXPECT_EQ(times("events: lost the MQTT broker"), 1u) << said;
    EXPECT_EQ(times("again"), 1u) << said;
}

TEST_F(EventsEndToEnd, WrongPasswordIsOneClearMessageAndNoHang)
{
    MosquittoBroker broker("station", "right");
    const std::string capture = MakeCapture(2000);
    const std::string err = folder / "err.txt";
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Replay(capture, folder / "d", Mqtt(broker.Port(), "station:wrong@"), err), 1);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(8));
    const std::vector<std::string> said = Lines(ReadFile(err));
    ASSERT_EQ(said.size(), 1u) << ReadFile(err);
    EXPECT_NE(said[0].find("refused the login of station"), std::string::npos) << said[0];
    // The decoding itself was saved.
    EXPECT_TRUE(std::ifstream(SystemFolder(folder / "d") + "System.ini").good());
}
