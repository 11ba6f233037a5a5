// What one reader's camera is doing (include/OculoStatus.h), kept for the
// reader's life, across its runs.
//
// Threads: the reader's capture thread reports (and the owner's thread, in
// Stop, once that thread has ended); any thread may Fill at any time. One
// small lock guards everything, held only to copy figures: nobody waits on
// the network while holding it. It nests inside nothing of the reader's and
// takes only the clock's lock (innermost) inside.
#pragma once

#include <cstdint>

#include "camera/CameraReason.h"
#include "platform/Mutex.h"

// A connected camera that has sent no picture for this long is shown silent
// (a camera at one picture a second stays streaming). The connection itself
// is given up only at the reader's silence limit.
constexpr uint64_t kSilentAfterMs = 3000;

class CCameraStatus {
public:
    CCameraStatus();
    CCameraStatus(const CCameraStatus&) = delete;
    CCameraStatus& operator=(const CCameraStatus&) = delete;

    void Connecting() EXCLUDES(m_lock);
    // The attempt connected; `codec` is FFmpeg's name for the stream's codec.
    void Connected(const char* codec) EXCLUDES(m_lock);
    void Picture(LONG width, LONG height) EXCLUDES(m_lock);
    // The attempt failed (`attemptFailed`) or the connection ended, for
    // `failure`; the reader now waits before it tries again, longer when the
    // login was refused.
    void Waiting(const CameraFailure& failure, bool attemptFailed) EXCLUDES(m_lock);
    void Stopped() EXCLUDES(m_lock);

    // Fills the first `status->cbSize` bytes (at most the whole structure).
    void Fill(OCULO_STATUS* status) const EXCLUDES(m_lock);

private:
    void Enter(LONG state, uint64_t now) REQUIRES(m_lock);

    mutable CMutex m_lock;
    LONG m_lState GUARDED_BY(m_lock) = OCULO_STATE_STOPPED;
    uint64_t m_ullStateSince GUARDED_BY(m_lock);
    CameraFailure m_failure GUARDED_BY(m_lock);
    ULONGLONG m_ullPictures GUARDED_BY(m_lock) = 0;
    DWORD m_dwConnections GUARDED_BY(m_lock) = 0;
    DWORD m_dwFailedAttempts GUARDED_BY(m_lock) = 0;
    LONG m_lWidth GUARDED_BY(m_lock) = 0;
    LONG m_lHeight GUARDED_BY(m_lock) = 0;
    char m_szCodec[32] GUARDED_BY(m_lock) = "";
    uint64_t m_ullLastPicture GUARDED_BY(m_lock) = 0;  // 0: none yet
    uint64_t m_ullConnectedAt GUARDED_BY(m_lock) = 0;
    // Pictures in the second (ExtendedTickCount / 1000) now counting, and in
    // the one before it.
    uint64_t m_ullSecond GUARDED_BY(m_lock) = 0;
    DWORD m_dwThisSecond GUARDED_BY(m_lock) = 0;
    DWORD m_dwSecondBefore GUARDED_BY(m_lock) = 0;
};
