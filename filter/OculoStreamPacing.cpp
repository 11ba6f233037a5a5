// The pin's real-time pacing: the worker holds each sample until its start
// time in stream time; the state changes wake it.
#include "camera/ExtendedTickCount.h"
#include "filter/Oculo.h"
#include "filter/OculoStream.h"

namespace {

// Longest single wait of the worker: it looks at the state again after it.
const REFERENCE_TIME kWaitSliceMs = 100;

}  // namespace

void COculoStream::SetPlayState(PlayState state) {
    m_iPlayState = state;
    m_evStateChanged.Set();
}

HRESULT COculoStream::Active() {
    m_rtPausedAt = 0;
    SetPlayState(kPaused);
    return CSourceStream::Active();
}

HRESULT COculoStream::Inactive() {
    // Before the base waits for the worker: a sample waiting for its time
    // must not keep the stop waiting.
    SetPlayState(kStopped);
    return CSourceStream::Inactive();
}

// Without a clock, stream time resumes where the pause left it: restarting
// it at 0 would hold the next sample for as long as the filter had run.
HRESULT COculoStream::Run(REFERENCE_TIME tStart) {
    m_llRunStartTicks = static_cast<int64_t>(ExtendedTickCount()) - m_rtPausedAt.load() / 10000;
    SetPlayState(kRunning);
    return CSourceStream::Run(tStart);
}

void COculoStream::OnPause() {
    m_rtPausedAt = StreamTimeNow();
    SetPlayState(kPaused);
}

REFERENCE_TIME COculoStream::StreamTimeNow() {
    REFERENCE_TIME rtNow = 0;
    if (SUCCEEDED(m_pParentFilter->StreamTime(rtNow))) {
        return rtNow;
    }
    return (static_cast<int64_t>(ExtendedTickCount()) - m_llRunStartTicks.load()) * 10000;
}

// Bounded: every wait is at most one slice, and each turn either returns or
// waits; a stop ends it at the next turn at the latest (and at once through
// the event).
void COculoStream::WaitUntilDue(REFERENCE_TIME rtStart) {
    for (;;) {
        const int state = m_iPlayState.load();
        if (state == kStopped) {
            return;
        }
        REFERENCE_TIME msWait = kWaitSliceMs;
        if (state == kPaused) {
            if (!m_bCued) {
                return;  // the first sample of the spell lets downstream cue
            }
        } else {
            const REFERENCE_TIME rtLeft = rtStart - StreamTimeNow();
            if (rtLeft <= 0) {
                return;
            }
            const REFERENCE_TIME msLeft = (rtLeft + 9999) / 10000;
            msWait = msLeft < kWaitSliceMs ? msLeft : kWaitSliceMs;
        }
        m_evStateChanged.Wait(static_cast<DWORD>(msWait));
    }
}
