// The capture run of CRTSPCamera: Start, Stop, the capture thread and its
// read, decode and convert loop.
#include "camera/DecodePacket.h"
#include "camera/ExtendedTickCount.h"
#include "camera/RTSPCamera.h"
#include "camera/StreamContext.h"
#include "platform/Handle.h"

bool CRTSPCamera::Start(LPCWSTR address) {
    Stop();
    if (address) SetUrl(address);
    // A refused login's wait outlasts the run in the process's back-off, for
    // every reader; the reader's own pause begins afresh.
    m_ullNextAttempt = 0;
    m_failure = CameraFailure();
    m_hThread = CreateThread(nullptr, kCaptureStackBytes, CaptureThreadProc, this, 0, nullptr);
    WaitForFrame(kFirstFrameWaitMs);
    return true;
}

// Returns once the capture thread has ended; its blocking FFmpeg calls are cut
// short by the interrupt callback, a name lookup is left behind, and its pause
// ends at the next poll. The wait is on the thread itself, not on a sign it
// gives near its end: afterwards no code of the thread runs any more, so the
// host may unload the module.
void CRTSPCamera::Stop() {
    m_bStopRequested = true;
    if (const CHandle thread{m_hThread.exchange(nullptr)}) {
        WaitForSingleObject(thread.Get(), INFINITE);
    }
    Close();
    m_bStopRequested = false;
    m_lFrameCount = 0;
    m_status.Stopped();
}

void CRTSPCamera::WaitForFrame(DWORD timeoutMs) {
    const LONG count = m_lFrameCount.load();
    const uint64_t since = ExtendedTickCount();
    while (m_lFrameCount.load() == count) {
        // A stop asked meanwhile from another thread (a test window closed
        // before any picture came) ends the wait: the run is ending.
        if (m_bStopRequested.load() || ExtendedTickCount() - since >= timeoutMs) return;
        Sleep(kPollIntervalMs);
    }
}

DWORD WINAPI CRTSPCamera::CaptureThreadProc(LPVOID parameter) {
    static_cast<CRTSPCamera*>(parameter)->CaptureLoop();
    return 0;
}

void CRTSPCamera::CaptureLoop() {
    CFFmpegLogRoute route(&m_log);
    while (WaitForNextAttempt()) {
        m_status.Connecting();
        const bool connected = Open(nullptr);
        if (connected) {
            m_status.Connected(avcodec_get_name(m_pContext.load()->codecContext->codec_id));
            ReadFrames();
        }
        Close();
        if (m_bStopRequested.load()) break;
        ScheduleNextAttempt(connected);
    }
    m_status.Stopped();
}

// The reader's pause before its next attempt, then the login's turn, which
// another reader's refusal may have put off (that refusal then shows, unless
// the reader's own already does). False on a stop, which ends either wait.
bool CRTSPCamera::WaitForNextAttempt() {
    bool refusalShown = m_failure.lReason == OCULO_REASON_LOGIN_REFUSED;
    while (!m_bStopRequested.load()) {
        if (ExtendedTickCount() >= m_ullNextAttempt) {
            uint64_t freeAt = 0;
            CameraFailure refusal;
            if (CLoginBackOff::Shared().TryTake(m_loginKey, &freeAt, &refusal)) {
                m_bHoldsTurn = true;
                return true;
            }
            if (refusal.lReason != OCULO_REASON_NONE && !refusalShown) {
                m_status.Waiting(refusal, false);
                refusalShown = true;
            }
        }
        Sleep(kPollIntervalMs);
    }
    return false;
}

// The camera answered the login (accepted), refused it, or the attempt ended
// before it said: the turn goes to the next attempt for the login, after a
// refusal only once its pause is over. Counted whether or not a stop came.
void CRTSPCamera::EndLoginTurn(bool accepted) {
    if (!m_bHoldsTurn) return;
    m_bHoldsTurn = false;
    CLoginBackOff& table = CLoginBackOff::Shared();
    if (accepted) {
        table.Accepted(m_loginKey);
    } else if (m_failure.lReason == OCULO_REASON_LOGIN_REFUSED) {
        table.Refused(m_loginKey, m_failure);
    } else {
        table.Unanswered(m_loginKey);
    }
}

// Every failure is tried again after the reconnect pause, a refused login
// once the process's back-off allows it too (WaitForNextAttempt).
void CRTSPCamera::ScheduleNextAttempt(bool connected) {
    m_ullNextAttempt = ExtendedTickCount() + kReconnectPauseMs;
    m_status.Waiting(m_failure, !connected);
}

// Reads until the connection ends, then says why (m_failure), unless the
// reader was asked to stop.
void CRTSPCamera::ReadFrames() {
    StreamContext& c = *m_pContext.load();
    AVPacket* packet = av_packet_alloc();
    if (!packet) {
        Fail(OCULO_REASON_OTHER, AVERROR(ENOMEM));
        return;
    }
    m_log.ClearFacts();
    int read = 0;
    // A connection whose video has not decoded for the silence limit is no
    // camera's either, however much of it comes.
    uint64_t lastPicture = ExtendedTickCount();
    while (!m_bStopRequested.load()) {
        read = av_read_frame(c.formatContext, packet);
        if (read < 0 || m_bPictureOverLimit) break;  // error, end of stream, or a limit
        if (c.formatContext->pb) m_llPictureStart = c.formatContext->pb->bytes_read;
        bool bEndConnection = false;
        if (packet->stream_index == c.videoStreamIndex) {
            // Only video is a sign of life: a camera whose audio goes on
            // while its pictures stopped is as good as silent. A picture
            // that FFmpeg's parser gives up only once the limit cut the read
            // short is no sign of life either: the connection still ends.
            if (ExtendedTickCount() < m_ullDeadline.load()) ArmDeadline(kSilenceLimitMs);
            bool gotPicture = false;
            // Failures skip the packet; a picture over the limit ends the
            // connection (the decoder refuses it and says so).
            const bool failed = DecodePacket(c.codecContext, c.decodedFrame, &gotPicture, packet) < 0;
            if (m_log.Facts().tooLargeWidth != 0) {
                bEndConnection = !FailWith(AVERROR(EINVAL));
            } else if (gotPicture) {
                bEndConnection = !HandlePicture();
                if (!bEndConnection) lastPicture = ExtendedTickCount();
            } else if (failed && ExtendedTickCount() - lastPicture >= kSilenceLimitMs) {
                bEndConnection = !Fail(OCULO_REASON_NOT_VIDEO, AVERROR_INVALIDDATA);
            }
            av_frame_unref(c.decodedFrame);
        }
        av_packet_unref(packet);
        if (bEndConnection) break;
    }
    av_packet_free(&packet);
    if (m_bStopRequested.load()) return;
    if (m_bPictureOverLimit) {
        FailWith(read);
    } else if (read < 0) {
        Fail(TimedOut() ? OCULO_REASON_NO_ANSWER : OCULO_REASON_CONNECTION_LOST, read);
    }
}

// False when the picture's size cannot be held (the connection then ends).
bool CRTSPCamera::HandlePicture() {
    StreamContext& c = *m_pContext.load();
    const AVFrame* picture = c.decodedFrame;
    // The decoder's size rules, not the probe's: a camera that switches its
    // resolution (or one whose probe found no size) is followed in place.
    if (picture->width != c.width || picture->height != c.height) {
        if (PictureTooLarge(picture->width, picture->height)) return false;
        if (!c.AllocateImage(picture->width, picture->height)) {
            return Fail(OCULO_REASON_OTHER, AVERROR(ENOMEM));
        }
    }
    if (!c.scaler.Convert(picture, c.convertedFrame)) return true;  // skipped, not counted
    ++m_lFrameCount;
    m_ullLastFrameTime = ExtendedTickCount();
    m_status.Picture(c.width, c.height);
    if (m_pCallback) m_pCallback->OnFrame(c.pixels, c.width, c.height);
    return true;
}
