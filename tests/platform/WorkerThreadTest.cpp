#include <gtest/gtest.h>

#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <future>
#include <thread>

#include "platform/WorkerThread.h"

namespace {

struct Seen
{
    int Policy = -1;
    int Nice = -100;
    // A thread the worker starts: the replay's processing thread is one.
    int ChildPolicy = -1;
    int ChildNice = -100;
};

Seen Observe()
{
    return {sched_getscheduler(0), getpriority(PRIO_PROCESS, static_cast<id_t>(gettid()))};
}

class Probe : public WorkerThread
{
public:
    ~Probe() override { Stop(); }
    std::promise<Seen> seen;

protected:
    void Execute(std::stop_token) override
    {
        Seen here = Observe();
        std::thread([&here] {
            const Seen child = Observe();
            here.ChildPolicy = child.Policy;
            here.ChildNice = child.Nice;
        }).join();
        seen.set_value(here);
    }
};

} // namespace

TEST(WorkerThread, PriorityReachesTheWorkerAndWhatItStarts)
{
    const int ownNice = getpriority(PRIO_PROCESS, static_cast<id_t>(gettid()));
    const struct {
        WorkerPriority priority;
        int policy;
        int nice;
    } cases[] = {
        {WorkerPriority::Normal, SCHED_OTHER, ownNice},
        {WorkerPriority::Lowered, SCHED_OTHER, std::min(ownNice + 10, 19)},
        {WorkerPriority::Idle, SCHED_IDLE, ownNice},
    };
    for (const auto& c : cases) {
        Probe probe;
        auto result = probe.seen.get_future();
        probe.Start(c.priority);
        const Seen seen = result.get();
        EXPECT_EQ(seen.Policy, c.policy) << static_cast<int>(c.priority);
        EXPECT_EQ(seen.ChildPolicy, c.policy) << static_cast<int>(c.priority);
        EXPECT_EQ(seen.ChildNice, seen.Nice) << static_cast<int>(c.priority);
        EXPECT_EQ(seen.Nice, c.nice) << static_cast<int>(c.priority);
    }
}
