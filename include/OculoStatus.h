// OculoStatus.h: what an Oculo camera is doing, for applications and tools.
//
// Every Oculo filter, and its output pin, answers QueryInterface for
// IID_IOculoStatus. GetStatus fills an OCULO_STATUS from figures the camera's
// capture thread keeps; it never waits on the network, and may be called from
// any thread, in any state of the graph.
//
// Include <windows.h> and <objbase.h> (or anything that declares IUnknown)
// before this header. The structure is versioned: set cbSize to
// sizeof(OCULO_STATUS) before the call. Later versions only add fields at the
// end, and fill no more than cbSize bytes, so code built against this version
// keeps working.
//
// The reason text is plain words with its code, for people to read, for
// example "Login refused (HTTP 401): check the user name and password". It
// never holds a user name or password.
#pragma once

// {5D1B7E0A-3C42-4E8B-9A61-2F7C0D4B8E15}
static const IID IID_IOculoStatus = {0x5d1b7e0a, 0x3c42, 0x4e8b, {0x9a, 0x61, 0x2f, 0x7c, 0x0d, 0x4b, 0x8e, 0x15}};

// What the camera is doing now.
enum OCULO_CAMERA_STATE {
    OCULO_STATE_STOPPED = 0,        // no capture run: the graph is stopped
    OCULO_STATE_CONNECTING = 1,     // an attempt to connect is under way
    OCULO_STATE_STREAMING = 2,      // pictures are arriving
    OCULO_STATE_SILENT = 3,         // connected, but no picture within the silence limit
    OCULO_STATE_WAITING = 4,        // waiting to reconnect after a failed attempt
    OCULO_STATE_LOGIN_REFUSED = 5,  // the camera refused the login; waiting longer each time
};

// Why the last attempt failed (OCULO_REASON_NONE while none has failed).
enum OCULO_CAMERA_REASON {
    OCULO_REASON_NONE = 0,
    OCULO_REASON_CONNECTION_REFUSED = 1,   // nothing listens at the camera's port
    OCULO_REASON_NO_ANSWER = 2,            // time-out: the camera did not answer
    OCULO_REASON_HOST_NOT_FOUND = 3,       // the camera's name is not known
    OCULO_REASON_LOGIN_REFUSED = 4,        // HTTP 401/403, RTSP 401
    OCULO_REASON_NOT_FOUND = 5,            // HTTP 404, RTSP 404/454: a wrong path
    OCULO_REASON_SERVER_ERROR = 6,         // HTTP or RTSP 5xx
    OCULO_REASON_NOT_VIDEO = 7,            // not a video stream, or no decoder for it
    OCULO_REASON_PICTURE_TOO_LARGE = 8,    // larger than a camera picture may be
    OCULO_REASON_ADDRESS_NOT_ALLOWED = 9,  // not a camera's protocol (file:, ...)
    OCULO_REASON_CONNECTION_LOST = 10,     // the stream ended or the connection broke
    OCULO_REASON_OTHER = 11,               // anything else; the code tells more
};

#define OCULO_STATUS_VERSION 1
#define OCULO_NO_PICTURE_YET ((ULONGLONG)-1)

typedef struct OCULO_STATUS {
    DWORD cbSize;     // in: sizeof(OCULO_STATUS); out: the bytes filled
    DWORD dwVersion;  // out: OCULO_STATUS_VERSION
    LONG lState;      // OCULO_CAMERA_STATE
    LONG lReason;     // OCULO_CAMERA_REASON of the last failed attempt
    // The code behind the reason: the HTTP or RTSP status (401, 404, 503, ...)
    // when the camera answered with one, else the FFmpeg error code, else 0.
    LONG lReasonCode;
    WCHAR szReason[160];            // the reason in words, with its code; empty when none
    ULONGLONG ullPictures;          // pictures received since the filter was made
    DWORD dwPicturesLastSecond;     // pictures received in the last whole second
    DWORD dwConnections;            // connections made since the filter was made
    DWORD dwFailedAttempts;         // attempts that failed since the filter was made
    LONG lWidth;                    // the camera's picture size; 0 before the first picture
    LONG lHeight;
    WCHAR szCodec[32];              // the camera's codec ("mjpeg", "h264", ...); empty before one
    ULONGLONG ullMsSinceLastPicture;  // OCULO_NO_PICTURE_YET before the first picture
    ULONGLONG ullMsInState;           // how long the current state has lasted
} OCULO_STATUS;

#ifdef __cplusplus
struct IOculoStatus : public IUnknown {
    // S_OK; E_POINTER for a null pointer; E_INVALIDARG when cbSize is smaller
    // than the first version's structure.
    virtual HRESULT STDMETHODCALLTYPE GetStatus(OCULO_STATUS* pStatus) = 0;
};
#endif
