// CStreamPacer: a stream's real-time pacing. The sending thread asks for each
// sample's times in turn (one frame duration after the last) and is held
// until the sample's start time in stream time: the graph's reference clock
// minus the run start, or, when the graph has none, a monotonic clock that
// counts from the Run after a stop and stands still while paused, as a
// graph's stream time does. While paused, the first sample of a streaming
// spell leaves at once (so downstream can cue) and the next one is held until
// Run. Run, Pause and Stop end a wait at once; stopped, nothing waits.
//
// Threads: the state changes (Activate, Run, Pause, Stop) come from host
// threads one at a time (the owner's state lock); BeginSpell and NextSample
// from the one sending thread; StreamTimeNow from either. m_cLock guards the
// play state and the monotonic clock's marks and is innermost: nothing is
// taken or called under it (the graph's time and the tick count are read
// before it is taken).
#pragma once

#include <cstdint>

#include "media/AMEvent.h"
#include "platform/Mutex.h"
#include "platform/platform.h"

class CBaseFilter;

class CStreamPacer {
public:
    // pFilter: whose StreamTime is the graph's stream time (not counted: it
    // owns the pacer's owner); null for the monotonic clock alone.
    explicit CStreamPacer(CBaseFilter* pFilter);
    CStreamPacer(const CStreamPacer&) = delete;
    CStreamPacer& operator=(const CStreamPacer&) = delete;

    // Host threads. Activate: from stopped to paused, stream time at 0.
    void Activate() EXCLUDES(m_cLock);
    // Stream time resumes where the last pause left it.
    void Run() EXCLUDES(m_cLock);
    // From running to paused: stream time stops here.
    void Pause() EXCLUDES(m_cLock);
    void Stop() EXCLUDES(m_cLock);

    // Sending thread: a streaming spell starts, its first sample at rtFirst.
    void BeginSpell(REFERENCE_TIME rtFirst);
    // Sending thread: the next sample's times, rtDuration long; returns when
    // it is due (see the class comment).
    void NextSample(REFERENCE_TIME rtDuration, REFERENCE_TIME* prtStart, REFERENCE_TIME* prtStop) EXCLUDES(m_cLock);

    REFERENCE_TIME StreamTimeNow() EXCLUDES(m_cLock);

private:
    enum PlayState : int { kStopped, kPaused, kRunning };

    void SetPlayState(PlayState state) REQUIRES(m_cLock);
    PlayState CurrentState() EXCLUDES(m_cLock);
    // Holds the sender until the sample starting at rtStart is due.
    void WaitUntilDue(REFERENCE_TIME rtStart) EXCLUDES(m_cLock);

    CBaseFilter* const m_pFilter;
    CMutex m_cLock;
    PlayState m_state GUARDED_BY(m_cLock) = kStopped;
    // Without a clock: the monotonic ms at which stream time 0 falls, and the
    // stream time at the last pause from running (0 from stopped).
    int64_t m_llRunStartTicks GUARDED_BY(m_cLock) = 0;
    REFERENCE_TIME m_rtPausedAt GUARDED_BY(m_cLock) = 0;
    CAMEvent m_evStateChanged;  // automatic reset: wakes WaitUntilDue

    // The sending thread's.
    REFERENCE_TIME m_rtNextStart = 0;
    bool m_bCued = false;  // a sample went out in this spell
};
