// Threads, events, semaphores, waits and critical sections: the Windows
// semantics the framework relies on. Runs on every target.
#include <gtest/gtest.h>

#include <atomic>

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
};

DWORD WINAPI WaitOnce(LPVOID parameter) {
    Waiter* waiter = static_cast<Waiter*>(parameter);
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

TEST(PlatformSync, AutoResetEventReleasesOneWaiterPerSet) {
    Waiter waiter{CreateEventW(nullptr, FALSE, TRUE, nullptr)};
    EXPECT_EQ(WaitForSingleObject(waiter.object, 0), kSignalled);
    EXPECT_EQ(WaitForSingleObject(waiter.object, 0), kTimedOut);  // consumed by the first wait
    HANDLE threads[2];
    for (HANDLE& thread : threads) thread = StartWaiter(&waiter);
    SetEvent(waiter.object);
    SetEvent(waiter.object);  // may coincide with the first if no waiter has woken yet
    for (int i = 0; i < 100 && waiter.woken.load() == 0; ++i) Sleep(10);
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
    EXPECT_GE(elapsed, 90u);  // the tick count may lag a tick behind the wait
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
    EXPECT_EQ(WaitForSingleObject(thread, 50), kTimedOut);
    ReleaseSemaphore(waiter.object, 1, nullptr);
    JoinAll(&thread, 1);
    EXPECT_EQ(waiter.woken.load(), 1);
    CloseHandle(waiter.object);
}

namespace {
struct Gate {
    HANDLE release;
    DWORD threadId = 0;
};

DWORD WINAPI WaitAtGate(LPVOID parameter) {
    Gate* gate = static_cast<Gate*>(parameter);
    gate->threadId = GetCurrentThreadId();
    return WaitForSingleObject(gate->release, kBound) == WAIT_OBJECT_0 ? 42 : 1;
}
}  // namespace

TEST(PlatformSync, ThreadReportsItsExitCodeAndIdentifier) {
    Gate gate{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    DWORD id = 0;
    HANDLE thread = CreateThread(nullptr, 0, WaitAtGate, &gate, 0, &id);
    ASSERT_NE(thread, nullptr);
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeThread(thread, &code));
    EXPECT_EQ(code, STILL_ACTIVE);
    EXPECT_EQ(WaitForSingleObject(thread, 20), kTimedOut);
    SetEvent(gate.release);
    ASSERT_EQ(WaitForSingleObject(thread, kBound), kSignalled);
    EXPECT_EQ(WaitForSingleObject(thread, 0), kSignalled);  // stays signalled
    EXPECT_TRUE(GetExitCodeThread(thread, &code));
    EXPECT_EQ(code, 42u);
    EXPECT_EQ(gate.threadId, id);
    EXPECT_NE(id, GetCurrentThreadId());
    CloseHandle(thread);
    CloseHandle(gate.release);
}

TEST(PlatformSync, ClosingARunningThreadsHandleLetsItFinish) {
    Waiter waiter{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    HANDLE thread = StartWaiter(&waiter);
    EXPECT_TRUE(CloseHandle(thread));
    SetEvent(waiter.object);
    for (int i = 0; i < 500 && waiter.woken.load() == 0; ++i) Sleep(10);
    EXPECT_EQ(waiter.woken.load(), 1);
    Sleep(20);  // let the thread return before the event goes
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

DWORD WINAPI TryFromOtherThread(LPVOID parameter) {
    Shared* shared = static_cast<Shared*>(parameter);
    BOOL entered = TryEnterCriticalSection(&shared->lock);
    if (entered) LeaveCriticalSection(&shared->lock);
    return entered ? 1 : 0;
}
}  // namespace

TEST(PlatformSync, CriticalSectionIsRecursiveAndExclusive) {
    Shared shared;
    InitializeCriticalSection(&shared.lock);
    HANDLE threads[2];
    for (HANDLE& thread : threads) thread = CreateThread(nullptr, 0, CountUnderLock, &shared, 0, nullptr);
    JoinAll(threads, 2);
    EXPECT_EQ(shared.counter, 20000);

    EnterCriticalSection(&shared.lock);
    EXPECT_TRUE(TryEnterCriticalSection(&shared.lock));
    HANDLE other = CreateThread(nullptr, 0, TryFromOtherThread, &shared, 0, nullptr);
    ASSERT_EQ(WaitForSingleObject(other, kBound), kSignalled);
    DWORD entered = 1;
    GetExitCodeThread(other, &entered);
    EXPECT_EQ(entered, 0u);
    CloseHandle(other);
    LeaveCriticalSection(&shared.lock);
    LeaveCriticalSection(&shared.lock);
    DeleteCriticalSection(&shared.lock);
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
