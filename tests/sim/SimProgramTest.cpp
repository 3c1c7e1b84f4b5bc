#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <spawn.h>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

#include <sys/wait.h>

#include "input/KavriReadThread.h"
#include "input/TBSKQueue.h"
#include "platform/Files.h"
#include "sim/SystemSimulator.h"
#include "support/TemporaryFolder.h"

extern char** environ;

namespace {

using namespace std::chrono_literals;

const std::string Sim = ZEMBRANT_SIM;

struct Outcome
{
    int Status = -1;
    std::string Out;
    std::string Err;
};

// Runs zembrant-sim with the arguments (a shell word list) to its end.
Outcome RunSim(const TemporaryFolder& folder, const std::string& arguments)
{
    const std::string out = folder / "stdout", err = folder / "stderr";
    const int status = std::system((Sim + " " + arguments + " >" + out + " 2>" + err).c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadText(out), ReadText(err)};
}

// A live zembrant-sim: started with a pipe on its standard output, stopped with SIGTERM.
class LiveSim
{
public:
    explicit LiveSim(const std::vector<std::string>& arguments)
    {
        int pipeEnds[2];
        if (::pipe(pipeEnds) != 0)
            return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, pipeEnds[0]);
        std::vector<std::string> words{Sim};
        words.insert(words.end(), arguments.begin(), arguments.end());
        std::vector<char*> argv;
        for (auto& w : words)
            argv.push_back(w.data());
        argv.push_back(nullptr);
        if (posix_spawn(&m_pid, Sim.c_str(), &actions, nullptr, argv.data(), environ) != 0)
            m_pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(pipeEnds[1]);
        m_output = ::fdopen(pipeEnds[0], "r");
        char line[256] = {};
        if (m_output && std::fgets(line, sizeof line, m_output)) {
            m_slave = line;
            while (!m_slave.empty() && m_slave.back() == '\n')
                m_slave.pop_back();
        }
    }
    ~LiveSim()
    {
        Stop();
        if (m_output)
            std::fclose(m_output);
    }

    const std::string& SlavePath() const { return m_slave; }

    // The exit status after SIGTERM.
    int Stop()
    {
        if (m_pid <= 0)
            return m_status;
        ::kill(m_pid, SIGTERM);
        int status = 0;
        ::waitpid(m_pid, &status, 0);
        m_pid = -1;
        m_status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return m_status;
    }

private:
    pid_t m_pid = -1;
    int m_status = -1;
    std::FILE* m_output = nullptr;
    std::string m_slave;
};

std::vector<TsbkBlock> Made(uint64_t seed, int count)
{
    SimulatorSettings settings;
    settings.Seed = seed;
    SystemSimulator simulator(settings);
    std::vector<TsbkBlock> blocks;
    for (int i = 0; i < count; ++i)
        blocks.push_back(simulator.Next().Block);
    return blocks;
}

// Where received starts within made as one unbroken run; -1 when it is not one.
int RunStart(const std::vector<TsbkBlock>& made, const std::vector<TsbkBlock>& received)
{
    for (size_t start = 0; start + received.size() <= made.size(); ++start) {
        if (std::equal(received.begin(), received.end(), made.begin() + static_cast<long>(start)))
            return static_cast<int>(start);
    }
    return -1;
}

}

// How many of received appear in made in the same order, gaps allowed.
size_t InOrder(const std::vector<TsbkBlock>& made, const std::vector<TsbkBlock>& received)
{
    size_t matched = 0;
    auto at = made.begin();
    for (const TsbkBlock& block : received) {
        const auto found = std::find(at, made.end(), block);
        if (found != made.end()) {
            ++matched;
            at = found + 1;
        }
    }
    return matched;
}

TEST(SimProgram, HelpVersionAndBadArguments)
{
    TemporaryFolder folder;
    Outcome help = RunSim(folder, "--help");
    EXPECT_EQ(help.Status, 0);
    EXPECT_EQ(help.Out.rfind("Usage: zembrant-sim capture", 0), 0u);
    Outcome version = RunSim(folder, "--version");
    EXPECT_EQ(version.Status, 0);
    EXPECT_EQ(version.Out, std::string("zembrant-sim ") + ZEMBRANT_VERSION + "\n");

    const std::string out = " -o " + (folder / "x.txt");
    for (const std::string& bad : std::vector<std::string>{"", "replay", "capture --blocks 10" + out, "capture --kind 6 --blocks 10" + out,
                                  "capture --kind psr900 --blocks 10" + out, "capture --kind 1 --blocks -1" + out,
                                  "capture --kind 1 --blocks 10", "capture --kind 1 --blocks 10 --rate 0" + out,
                                  "capture --kind 1 --blocks 10 --colour red" + out, "capture --kind 1 --blocks",
                                  "live", "live --scanner 5", "live --scanner pro97"}) {
        const Outcome outcome = RunSim(folder, bad);
        EXPECT_EQ(outcome.Status, 2) << bad;
        EXPECT_NE(outcome.Err.find("zembrant-sim: "), std::string::npos) << bad;
    }
    EXPECT_FALSE(FileExists(folder / "x.txt"));

    const Outcome unwritable = RunSim(folder, "capture --kind 1 --blocks 10 -o " + (folder / "none/x.txt"));
    EXPECT_EQ(unwritable.Status, 1);
    EXPECT_NE(unwritable.Err.find("none/x.txt"), std::string::npos) << unwritable.Err;
}

TEST(SimProgram, SameSeedSameFileAndKindsByIndexOrName)
{
    TemporaryFolder folder;
    const std::string common = " --blocks 4000 --seed 77 --start 1600000000 -o ";
    ASSERT_EQ(RunSim(folder, "capture --kind 4" + common + (folder / "a")).Status, 0);
    ASSERT_EQ(RunSim(folder, "capture --kind ZembrantDump" + common + (folder / "b")).Status, 0);
    ASSERT_EQ(RunSim(folder, "capture --kind 'Zembrant Data Dump File'" + common + (folder / "c")).Status, 0);
    ASSERT_EQ(RunSim(folder, "capture --kind 4 --seed 78" + common + (folder / "d") + " --seed 78").Status, 0);
    const std::string a = ReadText(folder / "a");
    EXPECT_GT(a.size(), 4000u * 60);
    EXPECT_EQ(a, ReadText(folder / "b"));
    EXPECT_EQ(a, ReadText(folder / "c"));
    EXPECT_NE(a, ReadText(folder / "d"));
    ASSERT_EQ(RunSim(folder, "capture --kind 0 --blocks 3 -o " + (folder / "e")).Status, 0);
    const std::string anritsu = ReadText(folder / "e");
    EXPECT_EQ(anritsu.rfind("<APP_DATA>\r\n", 0), 0u);
    EXPECT_EQ(anritsu.substr(anritsu.size() - 16), "<APP_DATA_END>\r\n");
}

// Each scanner type over a real pseudo-terminal, read by the program's own reader. The
// text types stream from the start, so the reader gets an unbroken run of the blocks made
// from where it began to listen. The Pro-96 sends only when polled, so the reader gets the
// blocks from the first on, in order; a response that comes after the reader's wait has
// run out is lost (a heavily loaded machine), so a few gaps are allowed there.
TEST(SimProgram, LiveScannersAreReadByTheReader)
{
    constexpr int Wanted = 120;
    const auto made = Made(3, 20000);
    const std::pair<int, const char*> types[] = {{ScannerTypes::Pro96, "0"},
                                                  {ScannerTypes::Psr500, "psr500"},
                                                  {ScannerTypes::Bcd396xt, "2"},
                                                  {ScannerTypes::AnritsuS412d, "anritsus412d"},
                                                  {ScannerTypes::Psr800, "Psr800"}};
    for (const auto& [type, name] : types) {
        LiveSim sim({"live", "--scanner", name, "--rate", "400", "--seed", "3", "--duration", "60"});
        ASSERT_FALSE(sim.SlavePath().empty()) << name;
        TBSKQueue queue;
        ReceiveCounters counters;
        KavriSettings settings;
        settings.Port = sim.SlavePath();
        settings.ScannerType = type;
        settings.Latency = 1;
        auto reader = std::make_unique<TKavri>(queue, counters, settings);
        reader->Start(false);
        std::vector<TsbkBlock> received;
        const auto deadline = std::chrono::steady_clock::now() + 20s;
        while (received.size() < Wanted && std::chrono::steady_clock::now() < deadline) {
            TsbkBlock block;
            if (queue.Pop(block.data()))
                received.push_back(block);
            else
                std::this_thread::sleep_for(2ms);
        }
        reader->Stop();
        EXPECT_EQ(sim.Stop(), 0) << name;
        ASSERT_EQ(received.size(), static_cast<size_t>(Wanted)) << name;
        if (type == ScannerTypes::Pro96) {
            EXPECT_EQ(received[0], made[0]);
            EXPECT_GE(InOrder(made, received), static_cast<size_t>(Wanted - 10));
        } else {
            EXPECT_GE(RunStart(made, received), 0) << name;
        }
    }
}
