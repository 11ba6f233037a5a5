#include "media/AMThread.h"

#include "platform/Handle.h"

namespace {

// How long CallWorker waits for a reply before checking that the worker still
// lives; only matters when a worker ends without answering.
const DWORD kReplyPollMs = 20;

typedef HRESULT(STDAPICALLTYPE* PFN_COINITIALIZEEX)(LPVOID, DWORD);

bool WorkerHasEnded(HANDLE hThread) { return WaitForSingleObject(hThread, 0) == WAIT_OBJECT_0; }

}  // namespace

CAMThread::CAMThread()
    : m_EventSend(TRUE), m_EventComplete(FALSE), m_dwParam(0), m_dwReturnVal(0), m_hThread(nullptr) {}

CAMThread::~CAMThread() { Close(); }

DWORD WINAPI CAMThread::InitialThreadProc(LPVOID pv) {
    CAMThread* pThread = static_cast<CAMThread*>(pv);
    HRESULT hrCoInit = CoInitializeHelper();
    DWORD dwResult = pThread->ThreadProc();
    if (SUCCEEDED(hrCoInit)) {
        CoUninitialize();
    }
    return dwResult;
}

BOOL CAMThread::Create() {
    CAutoLock lock(&m_AccessLock);
    if (ThreadExists()) {
        return FALSE;
    }
    // Without both events no request could ever reach the worker or be
    // answered: refuse rather than start an unreachable thread.
    if (!m_EventSend.IsValid() || !m_EventComplete.IsValid()) {
        return FALSE;
    }
    DWORD dwThreadId = 0;
    HANDLE hThread = CreateThread(nullptr, 0, InitialThreadProc, this, 0, &dwThreadId);
    if (hThread == nullptr) {
        return FALSE;
    }
    m_hThread.store(hThread);
    return TRUE;
}

DWORD CAMThread::CallWorker(DWORD dwParam) {
    CAutoLock lock(&m_AccessLock);
    // Close takes the access lock too, so the handle stays open while we use it.
    HANDLE hThread = m_hThread.load();
    if (hThread == nullptr) {
        return static_cast<DWORD>(E_FAIL);
    }
    m_dwParam = dwParam;
    m_EventSend.Set();
    // Wait for the reply, but do not wait forever on a worker that has ended
    // without answering (a worker whose start-up failed, say).
    for (;;) {
        if (m_EventComplete.Wait(kReplyPollMs)) {
            return m_dwReturnVal;
        }
        if (WorkerHasEnded(hThread)) {
            // It may have answered just before ending.
            if (m_EventComplete.Check()) {
                return m_dwReturnVal;
            }
            m_EventSend.Reset();
            return static_cast<DWORD>(E_FAIL);
        }
    }
}

DWORD CAMThread::GetRequest() {
    m_EventSend.Wait();
    return m_dwParam;
}

BOOL CAMThread::CheckRequest(DWORD* pParam) {
    if (!m_EventSend.Check()) {
        return FALSE;
    }
    if (pParam != nullptr) {
        *pParam = m_dwParam;
    }
    return TRUE;
}

void CAMThread::Reply(DWORD dwReply) {
    m_dwReturnVal = dwReply;
    m_EventSend.Reset();
    m_EventComplete.Set();
}

void CAMThread::Close() {
    CAutoLock lock(&m_AccessLock);
    const CHandle thread(m_hThread.exchange(nullptr));
    if (thread) {
        WaitForSingleObject(thread.Get(), INFINITE);
    }
}

HRESULT CAMThread::CoInitializeHelper() {
    HMODULE hOle = GetModuleHandleW(L"ole32.dll");
    if (hOle == nullptr) {
        return E_FAIL;
    }
    FARPROC proc = GetProcAddress(hOle, "CoInitializeEx");
    if (proc == nullptr) {
        return E_FAIL;
    }
    // Through the generic function type, which the compiler accepts for any target.
    PFN_COINITIALIZEEX pfnCoInitializeEx = reinterpret_cast<PFN_COINITIALIZEEX>(reinterpret_cast<void (*)()>(proc));
    return pfnCoInitializeEx(nullptr, COINIT_DISABLE_OLE1DDE);
}
