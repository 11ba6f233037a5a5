// Threads, Sleep, the tick count and the local time.
#include <time.h>

#include <atomic>
#include <new>

#include "platform/posix/KernelObject.h"

namespace oculo::posix {
namespace {

// What FreeLibraryAndExitThread leaves for the end of its thread: the module
// reference is given back once the thread's frames in that module are left.
struct ThreadExit {
    bool bExiting = false;
    DWORD dwExitCode = 0;
    HMODULE module = nullptr;

    void GiveBackModule() {
        HMODULE held = module;
        module = nullptr;
        if (held) FreeLibrary(held);
    }
    ~ThreadExit() { GiveBackModule(); }  // threads that CreateThread did not make
};
thread_local ThreadExit t_exit;

// A thread object is signalled once its routine has returned. The running
// thread holds its own reference, so closing the handle early only detaches.
class Thread final : public KernelObject {
public:
    Thread(LPTHREAD_START_ROUTINE start, LPVOID parameter)
        : KernelObject(KernelType::Thread), m_start(start), m_parameter(parameter) {}

    // A routine that ends in FreeLibraryAndExitThread is unwound to here.
    void Run() {
        struct End {
            Thread& thread;
            DWORD code;
            ~End() {
                if (t_exit.bExiting) code = t_exit.dwExitCode;
                t_exit.GiveBackModule();
                thread.Finish(code);
            }
        } end{*this, 0};
        end.code = m_start(m_parameter);
    }

    DWORD ExitCode() {
        std::lock_guard<std::mutex> hold(m_mutex);
        return m_bFinished ? m_dwExitCode : STILL_ACTIVE;
    }

private:
    void Finish(DWORD code) {
        {
            std::lock_guard<std::mutex> hold(m_mutex);
            m_dwExitCode = code;
            m_bFinished = true;
        }
        m_signal.notify_all();
    }

    bool TryAcquireLocked(uint64_t) override { return m_bFinished; }

    const LPTHREAD_START_ROUTINE m_start;
    const LPVOID m_parameter;
    bool m_bFinished = false;  // guarded by m_mutex
    DWORD m_dwExitCode = 0;    // guarded by m_mutex
};

// What the new thread receives: its own reference to the thread object.
struct StartBlock {
    std::shared_ptr<Thread> thread;
};

// Thread identifiers are handed out from a process-wide counter, never 0.
std::atomic<DWORD> g_nextThreadId{1};

DWORD NewThreadId() {
    DWORD id;
    do {
        id = g_nextThreadId.fetch_add(1);
    } while (id == 0);
    return id;
}

void* ThreadMain(void* argument) {
    StartBlock* block = static_cast<StartBlock*>(argument);
    std::shared_ptr<Thread> thread = std::move(block->thread);
    delete block;
    thread->Run();
    return nullptr;
}

// Starts a detached POSIX thread; false when the system refuses.
bool StartDetached(StartBlock* block, SIZE_T stackSize) {
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
    if (stackSize >= static_cast<SIZE_T>(PTHREAD_STACK_MIN)) pthread_attr_setstacksize(&attributes, stackSize);
    pthread_t id;
    int error = pthread_create(&id, &attributes, ThreadMain, block);
    pthread_attr_destroy(&attributes);
    return error == 0;
}

}  // namespace
}  // namespace oculo::posix

using namespace oculo::posix;

// Creation flags (suspended start) are not supported; the system passes none.
WINBASEAPI HANDLE WINAPI CreateThread(LPSECURITY_ATTRIBUTES, SIZE_T stackSize, LPTHREAD_START_ROUTINE start,
                                      LPVOID parameter, DWORD creationFlags, LPDWORD threadId) {
    if (!start || creationFlags != 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    std::shared_ptr<Thread> thread(new (std::nothrow) Thread(start, parameter));
    StartBlock* block = thread ? new (std::nothrow) StartBlock{thread} : nullptr;
    if (!block) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    HANDLE handle = RegisterHandle(thread);
    if (!handle) {
        delete block;
        return nullptr;
    }
    if (!StartDetached(block, stackSize)) {
        delete block;
        UnregisterHandle(handle);
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    if (threadId) *threadId = NewThreadId();
    return handle;
}

// pthread_exit unwinds the thread's frames (the caller's module is still
// loaded then); Thread::Run, or the thread's exit for other threads, then
// gives the module back.
WINBASEAPI void WINAPI FreeLibraryAndExitThread(HMODULE module, DWORD exitCode) {
    t_exit.bExiting = true;
    t_exit.dwExitCode = exitCode;
    t_exit.module = module;
    pthread_exit(nullptr);
}

WINBASEAPI BOOL WINAPI GetExitCodeThread(HANDLE thread, LPDWORD exitCode) {
    KernelPtr object = LookupHandle(thread, KernelType::Thread);
    if (!object) return FALSE;
    if (!exitCode) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *exitCode = static_cast<Thread*>(object.get())->ExitCode();
    return TRUE;
}

WINBASEAPI void WINAPI Sleep(DWORD milliseconds) {
    struct timespec rest = {static_cast<time_t>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1000000L};
    while (nanosleep(&rest, &rest) != 0) {
    }
}

// Milliseconds since the system started, in 32 bits: wraps after 49.7 days as on Windows.
WINBASEAPI DWORD WINAPI GetTickCount(void) {
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    uint64_t ms = static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
    return static_cast<DWORD>(ms);
}

WINBASEAPI void WINAPI GetLocalTime(LPSYSTEMTIME time) {
    struct timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    struct tm local = {};
    localtime_r(&now.tv_sec, &local);
    time->wYear = static_cast<WORD>(local.tm_year + 1900);
    time->wMonth = static_cast<WORD>(local.tm_mon + 1);
    time->wDayOfWeek = static_cast<WORD>(local.tm_wday);
    time->wDay = static_cast<WORD>(local.tm_mday);
    time->wHour = static_cast<WORD>(local.tm_hour);
    time->wMinute = static_cast<WORD>(local.tm_min);
    // A leap second shows as the minute's last second, as Windows never names a 61st.
    time->wSecond = static_cast<WORD>(local.tm_sec < 60 ? local.tm_sec : 59);
    time->wMilliseconds = static_cast<WORD>(now.tv_nsec / 1000000);
}
