// The network stream reader: RTSP, or Motion-JPEG over HTTP, through FFmpeg.
#pragma once

#include <atomic>
#include <cstdint>

#include "camera/IPCameraBase.h"
#include "camera/IPCameraCallback.h"

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
// A connection that delivers no video for this long counts as failed.
constexpr uint64_t kSilenceLimitMs = 10000;
// Closing a connection may still talk to the camera (RTSP's TEARDOWN, which
// ends its session there), also after a stop request: for this long at most.
constexpr uint64_t kCloseLimitMs = 300;
constexpr int kUrlChars = 1024;

// Threads: the owner calls Start, Stop, Close, IsOpen, IsRunning and the time
// accessors; the capture thread runs Open, ReadFrames, Close and the callback.
// Fields are single-writer (see each); those read across threads are atomic.
// While a run lasts only the capture thread touches m_pContext and m_szUrl;
// Start writes m_szUrl before the thread exists, Stop closes after it ended.
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
    // Connects; on false the reader is closed. Null address keeps the one held.
    virtual bool Open(LPCWSTR address);

    // Returns as soon as one more picture has been counted, or after `timeoutMs`.
    void WaitForFrame(DWORD timeoutMs);
    LONG GetFrameCount() const { return m_lFrameCount.load(); }
    LPCWSTR GetUrl() const { return m_szUrl; }

protected:
    // A reader over another byte source (the fuzzing harness serves bytes
    // from memory) opens its own input into m_pContext in Open, then uses the
    // reader's own decoder set-up and read loop.
    bool OpenDecoder();
    void ReadFrames();
    // Owned; see the class comment for who touches it. Atomic so that the
    // owner's IsOpen may look while the capture thread connects.
    std::atomic<StreamContext*> m_pContext{nullptr};

private:
    static DWORD WINAPI CaptureThreadProc(LPVOID parameter);
    static int InterruptCallback(void* opaque);
    void CaptureLoop();
    bool HandlePicture();
    void PauseBeforeReconnect();
    void SetUrl(LPCWSTR address);
    bool ResolveHost(char* url, size_t size, AVDictionary** options);
    static bool KeepWaiting(void* opaque);
    bool PortRefuses(const char* numeric, int port, bool http);
    bool OpenInput();
    const AVInputFormat* OpenHttp(StreamContext& c, const char* url);
    void ArmDeadline(uint64_t limitMs);

    CIPCameraCallback* const m_pCallback;      // not owned
    std::atomic<uint64_t> m_ullLastFrameTime;  // written by the capture thread (Open, pictures)
    std::atomic<LONG> m_lFrameCount{0};        // capture thread +1; Stop resets
    WCHAR m_szUrl[kUrlChars] = {};
    std::atomic<bool> m_bStopRequested{false};  // written by RequestStop and Stop
    std::atomic<HANDLE> m_hThread{nullptr};     // written by Start and Stop (which waits for the thread's end)
    // When the current blocking FFmpeg call gives up (ExtendedTickCount ms),
    // and whether a close is under way (a stop request then leaves it its own
    // deadline). Written by the thread that opens or closes (see the class
    // comment), read by FFmpeg's interrupt callback on that thread.
    std::atomic<uint64_t> m_ullDeadline{UINT64_MAX};
    std::atomic<bool> m_bClosing{false};
};
