// Threads, events, semaphores, waits, critical sections and the local time: the Windows
// semantics the framework relies on. Runs on every target.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <ctime>

#include "platform/platform.h"

namespace {

// Every test waits at most this long for something that must happen.
constexpr DWORD kBound = 5000;
// The SDK defines the wait results as long constants; compare as DWORDs.
constexpr DWORD kSignalled = WAIT_OBJECT_0;
constexpr DWORD kTimedOut = WAIT_TIMEOUT;

struct Waiter {
    HANDLE object;
    std::atomic<int> woken{0};
    std::atomic<int> waiting{0};  // about to wait, or waiting
};

DWORD WINAPI WaitOnce(LPVOID parameter) {
    Waiter* waiter = static_cast<Waiter*>(parameter);
    ++waiter->waiting;
    if (WaitForSingleObject(waiter->object, kBound) == WAIT_OBJECT_0) ++waiter->woken;
    return 7;
}

HANDLE StartWaiter(Waiter* waiter) { return CreateThread(nullptr, 0, WaitOnce, waiter, 0, nullptr); }

void JoinAll(HANDLE* threads, int count) {
    for (int i = 0; i < count; ++i) {
        ASSERT_EQ(WaitForSingleObject(threads[i], kBound), kSignalled);
        CloseHandle(threads[i]);
    }
}

}  // namespace

TEST(PlatformSync, ManualResetEventReleasesEveryWaiterAndStaysSet) {
    Waiter waiter{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    ASSERT_NE(waiter.object, nullptr);
    EXPECT_EQ(WaitForSingleObject(waiter.object, 0), kTimedOut);
    HANDLE threads[3];
    for (HANDLE& thread : threads) thread = StartWaiter(&waiter);
    EXPECT_TRUE(SetEvent(waiter.object));
    JoinAll(threads, 3);
    EXPECT_EQ(waiter.woken.load(), 3);
    EXPECT_EQ(WaitForSingleObject(waiter.object, 0), kSignalled);
    EXPECT_TRUE(ResetEvent(waiter.object));
    EXPECT_EQ(WaitForSingleObject(waiter.object, 0), kTimedOut);
    CloseHandle(waiter.object);
}

TEST(PlatformSync, AutoResetEventReleasesExactlyOneWaiterPerSet) {
    Waiter waiter{CreateEventW(nullptr, FALSE, TRUE, nullptr)};
    EXPECT_EQ(WaitForSingleObject(waiter.object, 0), kSignalled);
    EXPECT_EQ(WaitForSingleObject(waiter.object, 0), kTimedOut);  // consumed by the first wait
    HANDLE threads[2];
    for (HANDLE& thread : threads) thread = StartWaiter(&waiter);
    // Both about to wait; one that is not quite waiting yet finds the signal kept.
    for (int i = 0; i < 500 && waiter.waiting.load() < 2; ++i) Sleep(10);
    SetEvent(waiter.object);
    for (int i = 0; i < 500 && waiter.woken.load() == 0; ++i) Sleep(10);
    // A second waiter released by the same set would have woken with the
    // first; 100 ms more is ample for it to count itself.
    Sleep(100);
    EXPECT_EQ(waiter.woken.load(), 1);  // the other waiter is still blocked
    SetEvent(waiter.object);
    JoinAll(threads, 2);
    EXPECT_EQ(waiter.woken.load(), 2);
    CloseHandle(waiter.object);
}

TEST(PlatformSync, WaitTimesOutAfterRoughlyTheTimeGiven) {
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    DWORD start = GetTickCount();
    EXPECT_EQ(WaitForSingleObject(event, 100), kTimedOut);
    DWORD elapsed = GetTickCount() - start;
    EXPECT_GE(elapsed, 80u);  // the tick count moves in steps of up to ~16 ms (Windows, Wine)
    EXPECT_LT(elapsed, 2000u);
    CloseHandle(event);
}

TEST(PlatformSync, SemaphoreCountsAndRefusesToPassItsMaximum) {
    HANDLE semaphore = CreateSemaphoreW(nullptr, 1, 2, nullptr);
    ASSERT_NE(semaphore, nullptr);
    EXPECT_EQ(WaitForSingleObject(semaphore, 0), kSignalled);
    EXPECT_EQ(WaitForSingleObject(semaphore, 10), kTimedOut);
    LONG previous = -1;
    EXPECT_TRUE(ReleaseSemaphore(semaphore, 2, &previous));
    EXPECT_EQ(previous, 0);
    EXPECT_FALSE(ReleaseSemaphore(semaphore, 1, nullptr));  // would pass the maximum
    EXPECT_EQ(WaitForSingleObject(semaphore, 0), kSignalled);
    EXPECT_EQ(WaitForSingleObject(semaphore, 0), kSignalled);
    EXPECT_EQ(WaitForSingleObject(semaphore, 0), kTimedOut);
    EXPECT_EQ(CreateSemaphoreW(nullptr, 3, 2, nullptr), nullptr);
    CloseHandle(semaphore);
}

TEST(PlatformSync, SemaphoreWakesABlockedWaiter) {
    Waiter waiter{CreateSemaphoreW(nullptr, 0, 1, nullptr)};
    HANDLE thread = StartWaiter(&waiter);
    ReleaseSemaphore(waiter.object, 1, nullptr);
    JoinAll(&thread, 1);
    EXPECT_EQ(waiter.woken.load(), 1);
    CloseHandle(waiter.object);
}

namespace {
DWORD WINAPI WaitAtGate(LPVOID parameter) {
    return WaitForSingleObject(static_cast<HANDLE>(parameter), kBound) == WAIT_OBJECT_0 ? 42 : 1;
}
}  // namespace

TEST(PlatformSync, ThreadReportsItsExitCodeAndStaysSignalled) {
    HANDLE gate = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE thread = CreateThread(nullptr, 0, WaitAtGate, gate, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeThread(thread, &code));
    EXPECT_EQ(code, STILL_ACTIVE);
    SetEvent(gate);
    ASSERT_EQ(WaitForSingleObject(thread, kBound), kSignalled);
    EXPECT_EQ(WaitForSingleObject(thread, 0), kSignalled);  // stays signalled
    EXPECT_TRUE(GetExitCodeThread(thread, &code));
    EXPECT_EQ(code, 42u);
    CloseHandle(thread);
    CloseHandle(gate);
}

TEST(PlatformSync, ClosingARunningThreadsHandleLetsItFinish) {
    Waiter waiter{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    HANDLE thread = StartWaiter(&waiter);
    EXPECT_TRUE(CloseHandle(thread));
    SetEvent(waiter.object);
    for (int i = 0; i < 500 && waiter.woken.load() == 0; ++i) Sleep(10);
    EXPECT_EQ(waiter.woken.load(), 1);
    CloseHandle(waiter.object);
}

TEST(PlatformSync, ClosedOrForeignHandlesAreRefused) {
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    EXPECT_TRUE(CloseHandle(event));
    HANDLE semaphore = CreateSemaphoreW(nullptr, 0, 1, nullptr);
    EXPECT_FALSE(SetEvent(semaphore));  // wrong kind of object
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_TRUE(CloseHandle(semaphore));
    EXPECT_FALSE(CloseHandle(semaphore));
}

namespace {
struct Shared {
    CRITICAL_SECTION lock;
    long counter = 0;
};

DWORD WINAPI CountUnderLock(LPVOID parameter) {
    Shared* shared = static_cast<Shared*>(parameter);
    for (int i = 0; i < 10000; ++i) {
        EnterCriticalSection(&shared->lock);
        EnterCriticalSection(&shared->lock);  // re-entry by the owner
        ++shared->counter;
        LeaveCriticalSection(&shared->lock);
        LeaveCriticalSection(&shared->lock);
    }
    return 0;
}

struct Entry {
    CRITICAL_SECTION* lock;
    HANDLE entered;
};

DWORD WINAPI EnterFromOtherThread(LPVOID parameter) {
    Entry* entry = static_cast<Entry*>(parameter);
    EnterCriticalSection(entry->lock);
    SetEvent(entry->entered);
    LeaveCriticalSection(entry->lock);
    return 0;
}
}  // namespace

TEST(PlatformSync, CriticalSectionIsRecursiveAndExclusive) {
    Shared shared;
    InitializeCriticalSection(&shared.lock);
    HANDLE threads[2];
    for (HANDLE& thread : threads) thread = CreateThread(nullptr, 0, CountUnderLock, &shared, 0, nullptr);
    JoinAll(threads, 2);
    EXPECT_EQ(shared.counter, 20000);
    DeleteCriticalSection(&shared.lock);
}

TEST(PlatformSync, CriticalSectionTakenTwiceIsFreedOnlyByTheSecondLeave) {
    CRITICAL_SECTION lock;
    InitializeCriticalSection(&lock);
    Entry entry{&lock, CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    EnterCriticalSection(&lock);
    EnterCriticalSection(&lock);
    HANDLE other = CreateThread(nullptr, 0, EnterFromOtherThread, &entry, 0, nullptr);
    // Entering a free lock takes microseconds: 50 ms is ample to see a lock
    // freed too early, and a slow machine can only hide that, never fake it.
    EXPECT_EQ(WaitForSingleObject(entry.entered, 50), kTimedOut);
    LeaveCriticalSection(&lock);
    EXPECT_EQ(WaitForSingleObject(entry.entered, 50), kTimedOut);  // still held once
    LeaveCriticalSection(&lock);
    EXPECT_EQ(WaitForSingleObject(entry.entered, kBound), kSignalled);
    JoinAll(&other, 1);
    CloseHandle(entry.entered);
    DeleteCriticalSection(&lock);
}

namespace {
DWORD WINAPI SwapLastError(LPVOID) {
    DWORD seen = GetLastError();
    SetLastError(99);
    return seen;
}
}  // namespace

TEST(PlatformSync, LastErrorIsPerThread) {
    SetLastError(1234);
    HANDLE thread = CreateThread(nullptr, 0, SwapLastError, nullptr, 0, nullptr);
    ASSERT_EQ(WaitForSingleObject(thread, kBound), kSignalled);
    DWORD seen = 1;
    GetExitCodeThread(thread, &seen);
    CloseHandle(thread);
    EXPECT_EQ(seen, 0u);
    EXPECT_EQ(GetLastError(), 1234u);
}

// The wall clock that pictures show: the system's local time, as the C library has it.
TEST(PlatformSync, LocalTimeIsTheCLibrarysLocalTime) {
    SYSTEMTIME st = {};
    GetLocalTime(&st);
    std::time_t now = std::time(nullptr);
    std::tm local = *std::localtime(&now), system = local;
    system.tm_year = st.wYear - 1900, system.tm_mon = st.wMonth - 1, system.tm_mday = st.wDay;
    system.tm_hour = st.wHour, system.tm_min = st.wMinute, system.tm_sec = st.wSecond;
    EXPECT_LE(std::fabs(std::difftime(std::mktime(&local), std::mktime(&system))), 2.0);
    EXPECT_LT(st.wMilliseconds, 1000);
}
