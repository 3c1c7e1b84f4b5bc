#pragma once
#include <future>
#include <thread>

#include "platform/NamedLock.h"

// Holds a named lock on another thread for its lifetime, so that the bounded and
// single-attempt forms of the calling thread find it busy.
class LockHolder
{
public:
    explicit LockHolder(NamedLock& lock)
    {
        std::promise<void> held;
        auto heldNow = held.get_future();
        m_thread = std::jthread([&lock, &held, release = m_release.get_future()]() mutable {
            NamedLockGuard guard(lock);
            held.set_value();
            release.wait();
        });
        heldNow.wait();
    }
    ~LockHolder()
    {
        m_release.set_value();
    }

private:
    std::promise<void> m_release;
    std::jthread m_thread;
};
