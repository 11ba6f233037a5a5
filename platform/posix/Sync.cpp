// Events, semaphores and critical sections.
#include <new>

#include "platform/posix/KernelObject.h"

namespace oculo::posix {
namespace {

// A manual-reset event stays signalled until reset; an auto-reset event
// releases one waiter and resets itself.
class Event final : public KernelObject {
public:
    Event(bool manualReset, bool signalled)
        : KernelObject(KernelType::Event), m_bManual(manualReset), m_bSignalled(signalled) {}

    void Set() {
        {
            std::lock_guard<std::mutex> hold(m_mutex);
            m_bSignalled = true;
        }
        if (m_bManual) m_signal.notify_all();
        else m_signal.notify_one();
    }
    void Reset() {
        std::lock_guard<std::mutex> hold(m_mutex);
        m_bSignalled = false;
    }

private:
    bool TryAcquireLocked() override {
        if (!m_bSignalled) return false;
        if (!m_bManual) m_bSignalled = false;
        return true;
    }

    const bool m_bManual;
    bool m_bSignalled;  // guarded by m_mutex
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
    bool TryAcquireLocked() override {
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
