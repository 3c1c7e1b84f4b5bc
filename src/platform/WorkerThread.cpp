#include "platform/WorkerThread.h"

#include <algorithm>

#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {
constexpr int LoweredBy = 10;
}

WorkerThread::~WorkerThread()
{
    Stop();
}

void WorkerThread::Start(WorkerPriority priority)
{
    Stop();
    m_running = true;
    m_thread = std::jthread([this, priority](std::stop_token stop) {
        SetCurrentThreadPriority(priority);
        Execute(stop);
        m_running = false;
        if (onEnded)
            onEnded();
    });
}

void WorkerThread::RequestStop()
{
    m_thread.request_stop();
}

void WorkerThread::Stop()
{
    if (m_thread.joinable()) {
        m_thread.request_stop();
        if (m_thread.get_id() != std::this_thread::get_id())
            m_thread.join();
        else
            m_thread.detach();
    }
}

void SetCurrentThreadPriority(WorkerPriority priority)
{
    if (priority == WorkerPriority::Lowered) {
#ifdef __linux__
        // Linux keeps the nice value per thread; lowered from wherever the program runs.
        const auto self = static_cast<id_t>(gettid());
        setpriority(PRIO_PROCESS, self, std::min(getpriority(PRIO_PROCESS, self) + LoweredBy, 19));
#endif
    } else if (priority == WorkerPriority::Idle) {
#ifdef SCHED_IDLE
        sched_param param{};
        param.sched_priority = 0;
        pthread_setschedparam(pthread_self(), SCHED_IDLE, &param);
#endif
    }
}
