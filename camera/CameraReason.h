// Why a camera could not be reached, or stopped sending: the reason of the
// camera status (include/OculoStatus.h), found from what FFmpeg returned and
// said, and worded for people. Pure functions; any thread.
#pragma once

#include "platform/platform.h"
// After the platform: the status header needs its COM types.
#include "include/OculoStatus.h"

struct FFmpegFacts;

struct CameraFailure {
    LONG lReason = OCULO_REASON_NONE;  // OCULO_CAMERA_REASON
    // The HTTP or RTSP status when the camera answered with one, else
    // FFmpeg's error code, else 0.
    LONG lCode = 0;
    // What the words name besides the code: "HTTP" or "RTSP" with a status,
    // the scheme of an address not allowed, "16000x16000" for a picture too
    // large, the codec that has no decoder. Plain ASCII.
    char szDetail[24] = "";
};

// A failure worded into `text` (at most `chars` WCHARs, terminated), e.g.
// "Login refused (HTTP 401): check the user name and password", "Not found
// (RTSP 454): check the path", "Picture too large (16000x16000)". Empty for
// OCULO_REASON_NONE.
void WordCameraReason(const CameraFailure& failure, WCHAR* text, size_t chars);

// The failure behind FFmpeg's `error` from opening or reading a camera's
// stream, with what its messages said (`facts`); `protocol` ("HTTP",
// "RTSP") names a status the camera answered with. `timedOut`: the reader's
// own limit cut the call short.
CameraFailure ClassifyCameraFailure(int error, const FFmpegFacts& facts, const char* protocol, bool timedOut);

// A failure with an HTTP or RTSP status (401, 404, 454, 503, ...).
CameraFailure StatusFailure(int status, const char* protocol);
