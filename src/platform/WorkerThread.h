#pragma once
#include <atomic>
#include <functional>
#include <stop_token>
#include <thread>

// Base of the worker threads (processing, reader, screen, backup). Execute checks its
// stop token once per cycle. A derived class must call Stop() in its own destructor,
// because Execute may still be running when the base part is destroyed.
class WorkerThread
{
public:
    virtual ~WorkerThread();

    // idlePriority: run under SCHED_IDLE where the system allows it.
    void Start(bool idlePriority);
    void RequestStop();
    // Requests the stop and waits for Execute to return.
    void Stop();
    bool IsRunning() const { return m_running.load(); }

    // Called on the worker thread after Execute returns; a front end queues its own
    // notice from here.
    std::function<void()> onEnded;

protected:
    virtual void Execute(std::stop_token stop) = 0;

private:
    std::jthread m_thread;
    std::atomic<bool> m_running{false};
};

// Lowers the calling thread to SCHED_IDLE; stays at normal priority where refused.
void SetCurrentThreadIdle();
