#include "platform/WorkerThread.h"

#include <pthread.h>
#include <sched.h>

WorkerThread::~WorkerThread()
{
    Stop();
}

void WorkerThread::Start(bool idlePriority)
{
    Stop();
    m_running = true;
    m_thread = std::jthread([this, idlePriority](std::stop_token stop) {
        if (idlePriority)
            SetCurrentThreadIdle();
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

void SetCurrentThreadIdle()
{
#ifdef SCHED_IDLE
    sched_param param{};
    param.sched_priority = 0;
    pthread_setschedparam(pthread_self(), SCHED_IDLE, &param);
#endif
}
