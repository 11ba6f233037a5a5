// Waitable kernel objects of the stand-in (events, semaphores, threads) and
// the handle table that maps HANDLE values to them.
//
// A HANDLE is the address of its object, valid while the table holds it.
// Every call looks the handle up and keeps the object alive for its own
// duration, so CloseHandle on one thread never frees an object that another
// thread is waiting on. Internal to the platform library.
#pragma once

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>

#include "winapi.h"

namespace oculo::posix {

enum class KernelType { Event, Semaphore, Thread };

// One waitable object. m_mutex guards the derived class's state; m_signal is
// notified whenever that state may have become signalled.
class KernelObject {
public:
    explicit KernelObject(KernelType type) : m_type(type) {}
    virtual ~KernelObject() = default;
    KernelObject(const KernelObject&) = delete;
    KernelObject& operator=(const KernelObject&) = delete;

    KernelType Type() const { return m_type; }

    // Waits until signalled (consuming the signal where the object's kind
    // says so) or until the time-out: WAIT_OBJECT_0 or WAIT_TIMEOUT.
    DWORD Wait(DWORD milliseconds);

protected:
    // Called with m_mutex held: true when signalled, having consumed it.
    // `ticket` is what BeginWaitLocked returned for this wait.
    virtual bool TryAcquireLocked(uint64_t ticket) = 0;
    // Called with m_mutex held when a wait starts and when it ends, so that
    // an object can release the threads that were already waiting.
    virtual uint64_t BeginWaitLocked() { return 0; }
    virtual void EndWaitLocked() {}

    std::mutex m_mutex;
    std::condition_variable m_signal;

private:
    const KernelType m_type;
};

using KernelPtr = std::shared_ptr<KernelObject>;

// Enters an object in the table; null (with the last error set) when memory runs out.
HANDLE RegisterHandle(const KernelPtr& object);
// The object behind a handle, or null with ERROR_INVALID_HANDLE.
KernelPtr LookupHandle(HANDLE handle);
// The object behind a handle if it is of the given kind, else null with ERROR_INVALID_HANDLE.
KernelPtr LookupHandle(HANDLE handle, KernelType type);
// Removes a handle from the table; false with ERROR_INVALID_HANDLE when unknown.
bool UnregisterHandle(HANDLE handle);

}  // namespace oculo::posix
