// The capture run of CRTSPCamera: Start, Stop, the capture thread and its
// read, decode and convert loop.
#include "camera/DecodePacket.h"
#include "camera/ExtendedTickCount.h"
#include "camera/RTSPCamera.h"
#include "camera/StreamContext.h"

bool CRTSPCamera::Start(LPCWSTR address) {
    Stop();
    if (address) SetUrl(address);
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
    if (const HANDLE thread = m_hThread.exchange(nullptr)) {
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
    }
    Close();
    m_bStopRequested = false;
    m_lFrameCount = 0;
}

void CRTSPCamera::WaitForFrame(DWORD timeoutMs) {
    const LONG count = m_lFrameCount.load();
    const uint64_t since = ExtendedTickCount();
    while (m_lFrameCount.load() == count) {
        if (ExtendedTickCount() - since >= timeoutMs) return;
        Sleep(kPollIntervalMs);
    }
}

DWORD WINAPI CRTSPCamera::CaptureThreadProc(LPVOID parameter) {
    static_cast<CRTSPCamera*>(parameter)->CaptureLoop();
    return 0;
}

void CRTSPCamera::CaptureLoop() {
    while (!m_bStopRequested.load()) {
        if (Open(nullptr)) ReadFrames();
        Close();
        if (!m_bStopRequested.load()) PauseBeforeReconnect();
    }
}

// The pause between connections, ended early by a stop request.
void CRTSPCamera::PauseBeforeReconnect() {
    const uint64_t since = ExtendedTickCount();
    while (!m_bStopRequested.load() && ExtendedTickCount() - since < kReconnectPauseMs) {
        Sleep(kPollIntervalMs);
    }
}

void CRTSPCamera::ReadFrames() {
    StreamContext& c = *m_pContext.load();
    AVPacket* packet = av_packet_alloc();
    if (!packet) return;
    while (!m_bStopRequested.load()) {
        if (av_read_frame(c.formatContext, packet) < 0) break;  // error, end of stream, or limit
        ArmDeadline(kSilenceLimitMs);
        bool bEndConnection = false;
        if (packet->stream_index == c.videoStreamIndex) {
            bool gotPicture = false;
            DecodePacket(c.codecContext, c.decodedFrame, &gotPicture, packet);  // failures skip the packet
            if (gotPicture) {
                // The image buffer was sized in Open: a new size needs a new connection.
                if (c.decodedFrame->width != c.width || c.decodedFrame->height != c.height) {
                    bEndConnection = true;
                } else {
                    HandlePicture();
                }
            }
            av_frame_unref(c.decodedFrame);
        }
        av_packet_unref(packet);
        if (bEndConnection) break;
    }
    av_packet_free(&packet);
}

void CRTSPCamera::HandlePicture() {
    StreamContext& c = *m_pContext.load();
    if (!c.scaler.Convert(c.decodedFrame, c.convertedFrame)) return;  // skipped, not counted
    ++m_lFrameCount;
    m_ullLastFrameTime = ExtendedTickCount();
    if (m_pCallback) m_pCallback->OnFrame(c.pixels, c.width, c.height);
}
