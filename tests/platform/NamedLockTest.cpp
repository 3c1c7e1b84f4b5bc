#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>

#include "platform/NamedLock.h"

TEST(NamedLock, SameNameIsSameLock)
{
    EXPECT_EQ(&NamedLock::Get("TESTLOCK-A"), &NamedLock::Get("TESTLOCK-A"));
    EXPECT_NE(&NamedLock::Get("TESTLOCK-A"), &NamedLock::Get("TESTLOCK-B"));
}

TEST(NamedLock, HolderMayTakeItAgain)
{
    NamedLock& lock = NamedLock::Get("TESTLOCK-REENTRANT");
    NamedLockGuard outer(lock);
    TryNamedLockGuard inner(lock, TryNamedLockGuard::Mode::SingleAttempt);
    EXPECT_TRUE(inner.Held());
}

TEST(NamedLock, OtherThreadIsRefusedWhileHeldAndServedAfterRelease)
{
    NamedLock& lock = NamedLock::Get("TESTLOCK-EXCLUSIVE");
    bool single = true, bounded = true, afterRelease = false;
    {
        NamedLockGuard guard(lock);
        std::thread([&] {
            single = TryNamedLockGuard(lock, TryNamedLockGuard::Mode::SingleAttempt).Held();
            bounded = TryNamedLockGuard(lock, TryNamedLockGuard::Mode::Bounded).Held();
        }).join();
    }
    std::thread([&] { afterRelease = TryNamedLockGuard(lock, TryNamedLockGuard::Mode::SingleAttempt).Held(); })
        .join();
    EXPECT_FALSE(single);
    EXPECT_FALSE(bounded);
    EXPECT_TRUE(afterRelease);
}

TEST(NamedLock, GuardReleasesWhenScopeIsLeftByException)
{
    NamedLock& lock = NamedLock::Get("TESTLOCK-EXCEPTION");
    try {
        NamedLockGuard guard(lock);
        throw std::runtime_error("leave");
    } catch (const std::runtime_error&) {
    }
    bool free = false;
    std::thread([&] { free = TryNamedLockGuard(lock, TryNamedLockGuard::Mode::SingleAttempt).Held(); }).join();
    EXPECT_TRUE(free);
}

TEST(NamedLock, WaitingFormExcludesOthersForTheWholeSection)
{
    NamedLock& lock = NamedLock::Get("TESTLOCK-COUNTER");
    int counter = 0;
    auto work = [&] {
        for (int i = 0; i < 20000; ++i) {
            NamedLockGuard guard(lock);
            counter = counter + 1;
        }
    };
    std::thread a(work), b(work);
    a.join();
    b.join();
    EXPECT_EQ(counter, 40000);
}
