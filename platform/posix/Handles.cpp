// The handle table, CloseHandle and WaitForSingleObject.
#include <unordered_map>

#include "platform/posix/KernelObject.h"

namespace oculo::posix {
namespace {

// Guards the table; held only for look-ups, never while waiting.
std::mutex g_tableLock;
std::unordered_map<HANDLE, KernelPtr>& Table() {
    static auto* table = new std::unordered_map<HANDLE, KernelPtr>();  // outlives static destructors
    return *table;
}

}  // namespace

DWORD KernelObject::Wait(DWORD milliseconds) {
    std::unique_lock<std::mutex> hold(m_mutex);
    const uint64_t ticket = BeginWaitLocked();
    bool acquired;
    if (milliseconds == INFINITE) {
        m_signal.wait(hold, [this, ticket] { return TryAcquireLocked(ticket); });
        acquired = true;
    } else {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
        acquired = m_signal.wait_until(hold, deadline, [this, ticket] { return TryAcquireLocked(ticket); });
    }
    EndWaitLocked();
    return acquired ? WAIT_OBJECT_0 : WAIT_TIMEOUT;
}

HANDLE RegisterHandle(const KernelPtr& object) {
    try {
        std::lock_guard<std::mutex> hold(g_tableLock);
        HANDLE handle = object.get();
        Table().emplace(handle, object);
        return handle;
    } catch (...) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
}

KernelPtr LookupHandle(HANDLE handle) {
    {
        std::lock_guard<std::mutex> hold(g_tableLock);
        auto found = Table().find(handle);
        if (found != Table().end()) return found->second;
    }
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
}

KernelPtr LookupHandle(HANDLE handle, KernelType type) {
    KernelPtr object = LookupHandle(handle);
    if (object && object->Type() == type) return object;
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
}

bool UnregisterHandle(HANDLE handle) {
    KernelPtr last;  // destroyed after the table lock is released
    {
        std::lock_guard<std::mutex> hold(g_tableLock);
        auto found = Table().find(handle);
        if (found != Table().end()) {
            last = std::move(found->second);
            Table().erase(found);
            return true;
        }
    }
    SetLastError(ERROR_INVALID_HANDLE);
    return false;
}

}  // namespace oculo::posix

using namespace oculo::posix;

WINBASEAPI DWORD WINAPI WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
    KernelPtr object = LookupHandle(handle);
    if (!object) return WAIT_FAILED;
    return object->Wait(milliseconds);
}

WINBASEAPI BOOL WINAPI CloseHandle(HANDLE handle) { return UnregisterHandle(handle) ? TRUE : FALSE; }
