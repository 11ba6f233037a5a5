// The network stream reader: RTSP, or Motion-JPEG over HTTP, through FFmpeg.
#pragma once

#include <atomic>
#include <cstdint>

#include "camera/CameraReason.h"
#include "camera/CameraStatus.h"
#include "camera/FFmpegLog.h"
#include "camera/IPCameraBase.h"
#include "camera/IPCameraCallback.h"
#include "camera/LoginBackOff.h"

struct AVDictionary;
struct AVInputFormat;
struct StreamContext;

// Constants of a capture run.
constexpr SIZE_T kCaptureStackBytes = 0x800000;
constexpr DWORD kFirstFrameWaitMs = 2000;
constexpr DWORD kPollIntervalMs = 10;
constexpr DWORD kReconnectPauseMs = 500;
// A connection attempt that has not opened after this long counts as failed.
constexpr uint64_t kOpenLimitMs = 10000;
static_assert(kOpenLimitMs < kLoginTurnLimitMs, "a login's turn outlasts an attempt's open limit");
// A connection that delivers no video for this long counts as failed.
constexpr uint64_t kSilenceLimitMs = 10000;
// Closing a connection may still talk to the camera (RTSP's TEARDOWN, which
// ends its session there), also after a stop request: for this long at most.
constexpr uint64_t kCloseLimitMs = 300;
constexpr int kUrlChars = 1024;
// The largest picture a camera may send (8K UHD; neither side over 8192):
// one slot must not take gigabytes for a picture whose header says so.
constexpr int kMaxPictureSide = 8192;
constexpr int64_t kMaxPicturePixels = int64_t(7680) * 4320;
// The most compressed data one picture may bring, counted as it arrives
// whatever the camera announces: a part that claims 300 MB, or never ends,
// must not take the memory either. FFmpeg may hold up to twice as much for
// a moment (it copies a parser's unfinished picture when the connection
// ends, and grows a long part in 50 MB steps, copying the first), so that a
// slot stays under 100 MB; no camera's picture comes near it.
constexpr int64_t kMaxPictureBytes = int64_t(32) << 20;

// Threads: the owner calls Start, Stop, Close, IsOpen, IsRunning and the time
// accessors; the capture thread runs Open, ReadFrames, Close and the callback.
// Any thread may call GetStatus and CopyRecentLog.
// Fields are single-writer (see each); those read across threads are atomic
// or behind the status's and the log's own locks. While a run lasts only the
// capture thread touches m_pContext, m_szUrl, the failure and the login's
// turn; Start writes them before the thread exists, Stop after it ended.
class CRTSPCamera : public CIPCameraBase {
public:
    // `callback` is not owned and must outlive the capture thread; null means
    // pictures are decoded and counted but handed to nobody.
    explicit CRTSPCamera(CIPCameraCallback* callback);
    ~CRTSPCamera() override;  // stops any run, then closes
    CRTSPCamera(const CRTSPCamera&) = delete;
    CRTSPCamera& operator=(const CRTSPCamera&) = delete;

    void Close() override;
    bool IsOpen() override { return m_pContext.load() != nullptr; }
    // A run asked to stop no longer counts, though its thread may still end.
    bool IsRunning() override { return m_hThread.load() != nullptr && !m_bStopRequested.load(); }
    bool Start(LPCWSTR address) override;
    void Stop() override;
    void RequestStop() override { m_bStopRequested = true; }
    uint64_t GetLastFrameTime() override { return m_ullLastFrameTime.load(); }
    int64_t GetTimeSinceLastFrame() override;
    void GetStatus(OCULO_STATUS* status) override { m_status.Fill(status); }
    // FFmpeg's last messages about this camera (see CFFmpegLog::CopyRecent);
    // no password is ever among them.
    size_t CopyRecentLog(char* text, size_t size) const { return m_log.CopyRecent(text, size); }
    // Connects; on false the reader is closed. Null address keeps the one held.
    virtual bool Open(LPCWSTR address);

    // Returns as soon as one more picture has been counted, a stop is asked,
    // or `timeoutMs` has passed.
    void WaitForFrame(DWORD timeoutMs);
    LONG GetFrameCount() const { return m_lFrameCount.load(); }
    LPCWSTR GetUrl() const { return m_szUrl; }

protected:
    // A reader over another byte source (the fuzzing harness serves bytes
    // from memory) opens its own input into m_pContext in Open, then uses the
    // reader's own decoder set-up and read loop.
    bool OpenDecoder();
    void ReadFrames();
    // Records why the attempt or the connection failed, for the status;
    // returns false.
    bool Fail(LONG reason, LONG code, const char* detail = "");
    // Owned; see the class comment for who touches it. Atomic so that the
    // owner's IsOpen may look while the capture thread connects.
    std::atomic<StreamContext*> m_pContext{nullptr};

private:
    static DWORD WINAPI CaptureThreadProc(LPVOID parameter);
    static int InterruptCallback(void* opaque);
    void CaptureLoop();
    bool HandlePicture();
    bool WaitForNextAttempt();
    void EndLoginTurn(bool accepted);
    void ScheduleNextAttempt(bool connected);
    void SetUrl(LPCWSTR address);
    static bool KeepWaiting(void* opaque);
    bool TimedOut() const;
    bool FailWith(int error);
    bool PictureTooLarge(int width, int height);
    bool PictureOverLimit();
    bool PortRefuses(const char* numeric, int port, bool http);
    bool OpenInput();
    bool TryInput(const char* url, const char* hostHeader);
    int OpenHttp(StreamContext& c, const char* url, const AVInputFormat** format);
    bool ProbeStreams();
    void ArmDeadline(uint64_t limitMs);

    // First: FFmpeg's log is ours before any FFmpeg call of this reader.
    CFFmpegLogUser m_logUser;
    CFFmpegLog m_log;
    CCameraStatus m_status;
    CIPCameraCallback* const m_pCallback;      // not owned
    std::atomic<uint64_t> m_ullLastFrameTime;  // written by the capture thread (Open, pictures)
    std::atomic<LONG> m_lFrameCount{0};        // capture thread +1; Stop resets
    WCHAR m_szUrl[kUrlChars] = {};
    std::atomic<bool> m_bStopRequested{false};  // written by RequestStop and Stop
    std::atomic<HANDLE> m_hThread{nullptr};  // written by Start and Stop (which waits for the thread's end)
    // When the current blocking FFmpeg call gives up (ExtendedTickCount ms),
    // and whether a close is under way (a stop request then leaves it its own
    // deadline). Written by the thread that opens or closes (see the class
    // comment), read by FFmpeg's interrupt callback on that thread.
    std::atomic<uint64_t> m_ullDeadline{UINT64_MAX};
    std::atomic<bool> m_bClosing{false};
    // The capture thread's (see the class comment): why the current attempt
    // or connection failed; the protocol whose status it may carry.
    CameraFailure m_failure;
    const char* m_pProtocol = "";
    // The thread that opens and reads (see the class comment), in FFmpeg's
    // interrupt callback too: the input's byte count when the last packet
    // came out, and whether the picture on its way passed kMaxPictureBytes.
    int64_t m_llPictureStart = 0;
    bool m_bPictureOverLimit = false;
    // When the reader's next attempt may begin (ExtendedTickCount ms), once
    // its login's turn comes (LoginBackOff.h); the camera and login of
    // m_szUrl; whether the reader holds the turn.
    uint64_t m_ullNextAttempt = 0;
    LoginKey m_loginKey;
    bool m_bHoldsTurn = false;
};
