#pragma once
#include <atomic>
#include <functional>
#include <stop_token>
#include <thread>

// Base of the worker threads (processing, reader, screen, backup). Execute checks its
// stop token once per cycle. A derived class must call Stop() in its own destructor,
// because Execute may still be running when the base part is destroyed.
// Idle: SCHED_IDLE, the processor only when nothing else wants it. Lowered: nice 10, a
// small fair share, for a worker that is busy all the time and holds locks the window
// needs: under SCHED_IDLE it could wait a long time for the processor while holding them.
enum class WorkerPriority { Normal, Lowered, Idle };

class WorkerThread
{
public:
    virtual ~WorkerThread();

    // idlePriority: run under SCHED_IDLE where the system allows it.
    void Start(bool idlePriority) { Start(idlePriority ? WorkerPriority::Idle : WorkerPriority::Normal); }
    void Start(WorkerPriority priority);
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

// Lowers the calling thread; stays at normal priority where refused. Threads it starts
// inherit the priority.
void SetCurrentThreadPriority(WorkerPriority priority);
