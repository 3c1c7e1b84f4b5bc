#pragma once
#include <mutex>
#include <string>
#include <string_view>

// A process-wide lock known by its name, re-entrant for the thread that holds it.
// The registry hands out one object per name for the life of the process, so a
// reference taken once (as model/Locks.h does) stays valid.
class NamedLock
{
public:
    static NamedLock& Get(std::string_view name);

    const std::string& Name() const { return m_name; }

    void Lock() { m_mutex.lock(); }
    bool TryLock() { return m_mutex.try_lock(); }
    // Gives up after BoundedLockAttempts failed attempts, yielding between them.
    bool TryLockBounded();
    void Unlock() { m_mutex.unlock(); }

    explicit NamedLock(std::string name) : m_name(std::move(name)) {}
    NamedLock(const NamedLock&) = delete;
    NamedLock& operator=(const NamedLock&) = delete;

private:
    std::string m_name;
    std::recursive_mutex m_mutex;
};

constexpr int BoundedLockAttempts = 1000;

// The waiting form: holds the lock for the guard's scope.
class NamedLockGuard
{
public:
    explicit NamedLockGuard(NamedLock& lock) : m_lock(lock) { m_lock.Lock(); }
    ~NamedLockGuard() { m_lock.Unlock(); }
    NamedLockGuard(const NamedLockGuard&) = delete;
    NamedLockGuard& operator=(const NamedLockGuard&) = delete;

private:
    NamedLock& m_lock;
};

// The single-attempt and bounded forms: test Held() before touching the list.
class TryNamedLockGuard
{
public:
    enum class Mode { SingleAttempt, Bounded };

    TryNamedLockGuard(NamedLock& lock, Mode mode)
        : m_lock(lock), m_held(mode == Mode::SingleAttempt ? lock.TryLock() : lock.TryLockBounded())
    {
    }
    ~TryNamedLockGuard()
    {
        if (m_held)
            m_lock.Unlock();
    }
    TryNamedLockGuard(const TryNamedLockGuard&) = delete;
    TryNamedLockGuard& operator=(const TryNamedLockGuard&) = delete;

    bool Held() const { return m_held; }

private:
    NamedLock& m_lock;
    bool m_held;
};
