#include "platform/NamedLock.h"

#include <map>
#include <memory>
#include <thread>

NamedLock& NamedLock::Get(std::string_view name)
{
    static std::mutex registryMutex;
    static std::map<std::string, std::unique_ptr<NamedLock>, std::less<>> registry;

    std::lock_guard guard(registryMutex);
    auto it = registry.find(name);
    if (it == registry.end())
        it = registry.emplace(std::string(name), std::make_unique<NamedLock>(std::string(name))).first;
    return *it->second;
}

bool NamedLock::TryLockBounded()
{
    for (int attempt = 0; attempt < BoundedLockAttempts; ++attempt) {
        if (m_mutex.try_lock())
            return true;
        std::this_thread::yield();
    }
    return false;
}
