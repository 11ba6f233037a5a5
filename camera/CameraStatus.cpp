#include "camera/CameraStatus.h"

#include <cstdio>

#include "camera/ExtendedTickCount.h"
#include "status/StatusText.h"

CCameraStatus::CCameraStatus() : m_ullStateSince(ExtendedTickCount()) {}

void CCameraStatus::Enter(LONG state, uint64_t now) {
    m_lState = state;
    m_ullStateSince = now;
}

void CCameraStatus::Connecting() {
    const uint64_t now = ExtendedTickCount();
    CMutexLock hold(m_lock);
    Enter(OCULO_STATE_CONNECTING, now);
}

void CCameraStatus::Connected(const char* codec) {
    const uint64_t now = ExtendedTickCount();
    CMutexLock hold(m_lock);
    ++m_dwConnections;
    m_ullConnectedAt = now;
    std::snprintf(m_szCodec, sizeof(m_szCodec), "%s", codec ? codec : "");
    Enter(OCULO_STATE_STREAMING, now);
}

void CCameraStatus::Picture(LONG width, LONG height) {
    const uint64_t now = ExtendedTickCount();
    CMutexLock hold(m_lock);
    const uint64_t lastSign = m_ullLastPicture > m_ullConnectedAt ? m_ullLastPicture : m_ullConnectedAt;
    if (m_lState != OCULO_STATE_STREAMING || now - lastSign >= kSilentAfterMs) {
        Enter(OCULO_STATE_STREAMING, now);
    }
    // The camera works: what failed before no longer explains anything.
    m_failure = CameraFailure();
    ++m_ullPictures;
    m_ullLastPicture = now;
    m_lWidth = width;
    m_lHeight = height;
    const uint64_t second = now / 1000;
    if (second != m_ullSecond) {
        m_dwSecondBefore = second == m_ullSecond + 1 ? m_dwThisSecond : 0;
        m_dwThisSecond = 0;
        m_ullSecond = second;
    }
    ++m_dwThisSecond;
}

void CCameraStatus::Waiting(const CameraFailure& failure, bool attemptFailed) {
    const uint64_t now = ExtendedTickCount();
    CMutexLock hold(m_lock);
    m_failure = failure;
    if (attemptFailed) ++m_dwFailedAttempts;
    Enter(failure.lReason == OCULO_REASON_LOGIN_REFUSED ? OCULO_STATE_LOGIN_REFUSED : OCULO_STATE_WAITING,
          now);
}

void CCameraStatus::Stopped() {
    const uint64_t now = ExtendedTickCount();
    CMutexLock hold(m_lock);
    Enter(OCULO_STATE_STOPPED, now);
}

void CCameraStatus::Fill(OCULO_STATUS* status) const {
    if (!status) return;
    OCULO_STATUS s = {};
    s.cbSize = sizeof(s);
    s.dwVersion = OCULO_STATUS_VERSION;
    CameraFailure failure;
    {
        CMutexLock hold(m_lock);
        // Read under the lock: no figure written before can be later than it.
        const uint64_t now = ExtendedTickCount();
        s.lState = m_lState;
        uint64_t since = m_ullStateSince;
        const uint64_t lastSign = m_ullLastPicture > m_ullConnectedAt ? m_ullLastPicture : m_ullConnectedAt;
        if (m_lState == OCULO_STATE_STREAMING && now - lastSign >= kSilentAfterMs) {
            s.lState = OCULO_STATE_SILENT;
            since = lastSign + kSilentAfterMs;
        }
        s.ullMsInState = now > since ? now - since : 0;
        failure = m_failure;
        s.ullPictures = m_ullPictures;
        const uint64_t second = now / 1000;
        s.dwPicturesLastSecond = second == m_ullSecond       ? m_dwSecondBefore
                                 : second == m_ullSecond + 1 ? m_dwThisSecond
                                                             : 0;
        s.dwConnections = m_dwConnections;
        s.dwFailedAttempts = m_dwFailedAttempts;
        s.lWidth = m_lWidth;
        s.lHeight = m_lHeight;
        for (size_t i = 0; i + 1 < sizeof(s.szCodec) / sizeof(s.szCodec[0]) && m_szCodec[i]; ++i) {
            s.szCodec[i] = WCHAR(static_cast<unsigned char>(m_szCodec[i]));
        }
        s.ullMsSinceLastPicture = m_ullLastPicture ? now - m_ullLastPicture : OCULO_NO_PICTURE_YET;
    }
    s.lReason = failure.lReason;
    s.lReasonCode = failure.lCode;
    WordCameraReason(failure, s.szReason, sizeof(s.szReason) / sizeof(s.szReason[0]));
    CopyStatusCut(s, status);
}
