// CSamplePacer: answers a stream's sample requests at its frame rate. Each
// request carries a token (a COM object of the caller's, or none) that its
// answer must carry back; the pacer keeps the tokens in the order they came
// and hands the oldest to its sink at each frame tick.
//
// Ticks: Start puts tick 0 at the clock's now, tick k at k frames later. A
// waiting request is answered at the tick after the last one answered, or,
// when that one is more than a frame gone (nobody asked meanwhile), at the
// latest tick gone: as with a camera, frames nobody asked for are dropped, so
// an answer is never early, never more than a frame behind, and its time
// (the tick's) steps by whole frames.
//
// Threads: Start, Request and Stop from any thread; the pacer's own thread
// calls the sink, holding no lock of the pacer. Stop waits for that thread,
// and so for a call to the sink under way: its caller must hold no lock the
// sink takes, and the sink must not call Stop. The thread's waits are short
// slices; Stop wakes it at once.
// Locks, outermost first: m_control (Start and Stop), m_lock (innermost).
#pragma once

#include <condition_variable>
#include <deque>

#include "platform/ComRef.h"
#include "platform/Handle.h"
#include "platform/Mutex.h"
#include "platform/platform.h"

class CPacerSink {
public:
    // A request is due: `token` is its token (null when it had none),
    // `time` the tick's time on the pacer's clock. The pacer's thread.
    virtual void OnSampleDue(IUnknown* token, LONGLONG time) = 0;

protected:
    ~CPacerSink() = default;
};

class CSamplePacer {
public:
    // 100-ns units, never going back.
    typedef LONGLONG (*Clock)();
    static LONGLONG SteadyClock();

    // sink: not owned; outlives the pacer.
    explicit CSamplePacer(CPacerSink* sink, Clock clock = SteadyClock);
    ~CSamplePacer();  // Stop()
    CSamplePacer(const CSamplePacer&) = delete;
    CSamplePacer& operator=(const CSamplePacer&) = delete;

    // Ticks every `duration` (100 ns) from now; tokens already queued stay.
    // E_INVALIDARG for a duration that is not positive; E_OUTOFMEMORY when
    // the thread cannot be made.
    HRESULT Start(LONGLONG duration) EXCLUDES(m_control, m_lock);
    // Queues token (which may be null) for the next tick; false, keeping
    // nothing, when the pacer is not started.
    bool Request(IUnknown* token) EXCLUDES(m_lock);
    // Drops the queued tokens and ends the thread; returns once it has ended.
    void Stop() EXCLUDES(m_control, m_lock);

private:
    static DWORD WINAPI ThreadProc(LPVOID parameter);
    // Waits for the oldest token's tick; false when stopped.
    bool NextDue(CComRef<IUnknown>* token, LONGLONG* time) EXCLUDES(m_lock);

    CPacerSink* const m_pSink;
    const Clock m_clock;

    CMutex m_control;
    CHandle m_hThread GUARDED_BY(m_control);

    CMutex m_lock;
    std::condition_variable m_wake;  // a request, a start or a stop
    std::deque<CComRef<IUnknown>> m_tokens GUARDED_BY(m_lock);
    bool m_bRunning GUARDED_BY(m_lock) = false;
    LONGLONG m_llDuration GUARDED_BY(m_lock) = 0;
    LONGLONG m_llTickZero GUARDED_BY(m_lock) = 0;  // the clock at tick 0
    LONGLONG m_llNextTick GUARDED_BY(m_lock) = 0;  // the first tick not yet answered
};
