#include "filter/StreamPacer.h"

#include "camera/ExtendedTickCount.h"
#include "framework/BaseFilter.h"

namespace {

// Longest single wait of the sender: it looks at the state again after it.
const REFERENCE_TIME kWaitSliceMs = 100;

int64_t TicksNow() { return static_cast<int64_t>(ExtendedTickCount()); }

}  // namespace

CStreamPacer::CStreamPacer(CBaseFilter* pFilter) : m_pFilter(pFilter), m_evStateChanged(FALSE) {}

void CStreamPacer::SetPlayState(PlayState state) {
    m_state = state;
    m_evStateChanged.Set();
}

void CStreamPacer::Activate() {
    CMutexLock hold(m_cLock);
    m_rtPausedAt = 0;
    SetPlayState(kPaused);
}

// Without a clock, stream time resumes where the pause left it: restarting
// it at 0 would hold the next sample for as long as the stream had run.
void CStreamPacer::Run() {
    const int64_t now = TicksNow();
    CMutexLock hold(m_cLock);
    m_llRunStartTicks = now - m_rtPausedAt / 10000;
    SetPlayState(kRunning);
}

void CStreamPacer::Pause() {
    const REFERENCE_TIME rtNow = StreamTimeNow();
    CMutexLock hold(m_cLock);
    m_rtPausedAt = rtNow;
    SetPlayState(kPaused);
}

void CStreamPacer::Stop() {
    CMutexLock hold(m_cLock);
    SetPlayState(kStopped);
}

CStreamPacer::PlayState CStreamPacer::CurrentState() {
    CMutexLock hold(m_cLock);
    return m_state;
}

REFERENCE_TIME CStreamPacer::StreamTimeNow() {
    REFERENCE_TIME rtNow = 0;
    if (m_pFilter && SUCCEEDED(m_pFilter->StreamTime(rtNow))) {
        return rtNow;
    }
    const int64_t now = TicksNow();
    CMutexLock hold(m_cLock);
    return (now - m_llRunStartTicks) * 10000;
}

void CStreamPacer::BeginSpell(REFERENCE_TIME rtFirst) {
    m_rtNextStart = rtFirst;
    m_bCued = false;
}

void CStreamPacer::NextSample(REFERENCE_TIME rtDuration, REFERENCE_TIME* prtStart, REFERENCE_TIME* prtStop) {
    *prtStart = m_rtNextStart;
    m_rtNextStart += rtDuration;
    *prtStop = m_rtNextStart;
    WaitUntilDue(*prtStart);
    m_bCued = true;
}

// Bounded: every wait is at most one slice, and each turn either returns or
// waits; a stop ends it at the next turn at the latest (and at once through
// the event).
void CStreamPacer::WaitUntilDue(REFERENCE_TIME rtStart) {
    for (;;) {
        const PlayState state = CurrentState();
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
