// What the rendering sink filter (CRenderSink) and its input pin share: the
// sink's one lock and where the stream stands. The filter moves the state
// (Stop, Pause, Run) and holds the clock; the pin's streaming calls read the
// state and mark flushes and the end of the stream.
//
// Threading: every member below the lock is read and written with it held.
// A Receive waiting for its time waits on stateChanged, which the filter and
// the pin signal on every state change and flush so the wait ends at once.
// The clock's GetTime is the one outside call made with the lock held.
#pragma once

#include <condition_variable>
#include <cstdint>

#include "platform/ComRef.h"
#include "platform/Mutex.h"
#include "platform/platform.h"

struct SinkStreamState {
    mutable CMutex lock;
    std::condition_variable stateChanged;  // waited on with lock

    FILTER_STATE state GUARDED_BY(lock) = State_Stopped;
    REFERENCE_TIME rtStart GUARDED_BY(lock) = 0;  // from Run
    CComRef<IReferenceClock> clock GUARDED_BY(lock);
    uint64_t cStopGeneration GUARDED_BY(lock) = 0;   // raised by Stop; a waiting Receive gives up
    uint64_t cFlushGeneration GUARDED_BY(lock) = 0;  // raised by BeginFlush; likewise
    bool bFlushing GUARDED_BY(lock) = false;
    bool bEndOfStream GUARDED_BY(lock) = false;      // until the next stop or flush
    bool bCompletePending GUARDED_BY(lock) = false;  // end of stream while paused: notify on Run

    // The stream time (clock time minus the run start); 0 without a clock.
    REFERENCE_TIME StreamTimeNow() const REQUIRES(lock) {
        REFERENCE_TIME now = 0;
        if (!clock || FAILED(clock->GetTime(&now))) return 0;
        return now - rtStart;
    }
};
