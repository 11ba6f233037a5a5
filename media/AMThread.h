// CAMThread: a worker thread with a synchronous request/reply channel.
//
// Threads: client threads call Create, CallWorker and Close; the worker calls
// GetRequest, CheckRequest and Reply; any thread may call ThreadExists.
// Protocol: one request is outstanding at a time (the access lock serialises
// clients); every request gets exactly one Reply; a client learns the reply
// only after the worker has given it. Close does not ask the worker to stop: a
// client sends the request that makes ThreadProc return first.
// Lock order: a caller's own lock (the filter lock), then m_AccessLock. The
// worker never takes m_AccessLock, so it can always reply.
#pragma once

#include <atomic>

#include "media/AMEvent.h"
#include "media/CritSec.h"
#include "platform/platform.h"

class CAMThread {
public:
    CAMThread();
    virtual ~CAMThread();
    CAMThread(const CAMThread&) = delete;
    CAMThread& operator=(const CAMThread&) = delete;

    // The body the worker runs; its value is the thread's exit code.
    virtual DWORD ThreadProc() = 0;

    // Client: starts a worker. False when one exists, when the channel's
    // events could not be created, or when the platform refuses the thread.
    BOOL Create();
    // Client: sends a request and returns the worker's reply; E_FAIL when no
    // worker exists or the worker ended without answering.
    DWORD CallWorker(DWORD dwParam);
    // Client: waits for the worker to end and releases its handle.
    void Close();
    BOOL ThreadExists() const { return m_hThread.load() != nullptr; }

    // Worker: blocks until a request is pending; the request stays pending
    // until Reply.
    DWORD GetRequest();
    // Worker: true if a request is pending (stored in *pParam when given);
    // never blocks and does not consume the request.
    BOOL CheckRequest(DWORD* pParam);
    // Worker: answers the pending request.
    void Reply(DWORD dwReply);

    // Worker: joins the thread to the component runtime ("CoInitializeEx" of
    // an already loaded "ole32.dll", multithreaded); E_FAIL when unavailable.
    static HRESULT CoInitializeHelper();

protected:
    CAMEvent m_EventSend;      // manual reset: signalled while a request is pending
    CAMEvent m_EventComplete;  // automatic reset: the worker's reply, releases one caller
    // Written by the client under m_AccessLock before m_EventSend; the worker
    // reads it after the event without the lock, a hand-over the lock checks
    // cannot follow, so it is not marked as guarded.
    DWORD m_dwParam;
    DWORD m_dwReturnVal;       // written by the worker before m_EventComplete
    std::atomic<HANDLE> m_hThread;  // null when no worker exists; exchanged atomically by Close
    CCritSec m_AccessLock;     // serialises clients (Create, CallWorker, Close)
    CCritSec m_WorkerLock;     // for derived classes' state shared with the worker; unused here

private:
    static DWORD WINAPI InitialThreadProc(LPVOID pv);
};
