// Events, semaphores and critical sections.
#include <new>

#include "platform/posix/KernelObject.h"

namespace oculo::posix {
namespace {

// A manual-reset event stays signalled until reset, and a set releases every
// thread waiting at that moment even if a reset follows at once. An
// auto-reset event releases one waiter per set: a set that finds threads
// waiting hands one of them the signal, so two quick sets release two
// waiters, as on Windows.
class Event final : public KernelObject {
public:
    Event(bool manualReset, bool signalled)
        : KernelObject(KernelType::Event), m_bManual(manualReset), m_bSignalled(signalled) {}

    void Set() {
        {
            std::lock_guard<std::mutex> hold(m_mutex);
            if (m_bManual) {
                m_bSignalled = true;
                ++m_cSets;
            } else if (m_cGrants < m_cWaiters) {
                ++m_cGrants;
            } else {
                m_bSignalled = true;
            }
        }
        if (m_bManual) m_signal.notify_all();
        else m_signal.notify_one();
    }
    void Reset() {
        std::lock_guard<std::mutex> hold(m_mutex);
        m_bSignalled = false;
    }

private:
    uint64_t BeginWaitLocked() override {
        ++m_cWaiters;
        return m_cSets;
    }
    void EndWaitLocked() override { --m_cWaiters; }
    bool TryAcquireLocked(uint64_t setsWhenBegun) override {
        if (m_bManual) return m_bSignalled || m_cSets != setsWhenBegun;
        if (m_cGrants > 0) {
            --m_cGrants;
            return true;
        }
        if (!m_bSignalled) return false;
        m_bSignalled = false;
        return true;
    }

    const bool m_bManual;
    bool m_bSignalled;     // guarded by m_mutex
    uint64_t m_cSets = 0;  // manual reset: sets so far; guarded by m_mutex
    int m_cWaiters = 0;    // threads inside Wait; guarded by m_mutex
    int m_cGrants = 0;     // auto reset: signals handed to waiters, <= m_cWaiters
};

class Semaphore final : public KernelObject {
public:
    Semaphore(LONG count, LONG maximum) : KernelObject(KernelType::Semaphore), m_lCount(count), m_lMaximum(maximum) {}

    // False (nothing released) when the count would pass the maximum.
    bool Release(LONG count, LONG* previous) {
        {
            std::lock_guard<std::mutex> hold(m_mutex);
            if (count > m_lMaximum - m_lCount) return false;
            if (previous) *previous = m_lCount;
            m_lCount += count;
        }
        m_signal.notify_all();
        return true;
    }

private:
    bool TryAcquireLocked(uint64_t) override {
        if (m_lCount == 0) return false;
        --m_lCount;
        return true;
    }

    LONG m_lCount;  // guarded by m_mutex
    const LONG m_lMaximum;
};

template <class T, class... Args>
HANDLE CreateObject(Args... args) {
    std::shared_ptr<T> object(new (std::nothrow) T(args...));
    if (!object) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    return RegisterHandle(object);
}

}  // namespace
}  // namespace oculo::posix

using namespace oculo::posix;

// Named objects are not shared between processes here; the system names none.
WINBASEAPI HANDLE WINAPI CreateEventW(LPSECURITY_ATTRIBUTES, BOOL manualReset, BOOL initialState, LPCWSTR) {
    return CreateObject<Event>(manualReset != FALSE, initialState != FALSE);
}

WINBASEAPI BOOL WINAPI SetEvent(HANDLE event) {
    KernelPtr object = LookupHandle(event, KernelType::Event);
    if (!object) return FALSE;
    static_cast<Event*>(object.get())->Set();
    return TRUE;
}

WINBASEAPI BOOL WINAPI ResetEvent(HANDLE event) {
    KernelPtr object = LookupHandle(event, KernelType::Event);
    if (!object) return FALSE;
    static_cast<Event*>(object.get())->Reset();
    return TRUE;
}

WINBASEAPI HANDLE WINAPI CreateSemaphoreW(LPSECURITY_ATTRIBUTES, LONG initialCount, LONG maximumCount, LPCWSTR) {
    if (maximumCount <= 0 || initialCount < 0 || initialCount > maximumCount) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return CreateObject<Semaphore>(initialCount, maximumCount);
}

WINBASEAPI BOOL WINAPI ReleaseSemaphore(HANDLE semaphore, LONG releaseCount, LPLONG previousCount) {
    KernelPtr object = LookupHandle(semaphore, KernelType::Semaphore);
    if (!object) return FALSE;
    if (releaseCount <= 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (!static_cast<Semaphore*>(object.get())->Release(releaseCount, previousCount)) {
        SetLastError(298 /* ERROR_TOO_MANY_POSTS */);
        return FALSE;
    }
    return TRUE;
}

WINBASEAPI void WINAPI InitializeCriticalSection(LPCRITICAL_SECTION section) {
    pthread_mutexattr_t attributes;
    pthread_mutexattr_init(&attributes);
    pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_RECURSIVE);
    pthread_mutex_init(&section->mutex, &attributes);
    pthread_mutexattr_destroy(&attributes);
}

WINBASEAPI void WINAPI EnterCriticalSection(LPCRITICAL_SECTION section) { pthread_mutex_lock(&section->mutex); }

WINBASEAPI void WINAPI LeaveCriticalSection(LPCRITICAL_SECTION section) { pthread_mutex_unlock(&section->mutex); }

WINBASEAPI void WINAPI DeleteCriticalSection(LPCRITICAL_SECTION section) { pthread_mutex_destroy(&section->mutex); }
