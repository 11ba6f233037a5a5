#include "camera/CameraReason.h"

#include <cstdio>
#include <cstring>

#include "camera/FFmpeg.h"
#include "camera/FFmpegLog.h"

namespace {

CameraFailure Failure(LONG reason, LONG code, const char* detail = "") {
    CameraFailure failure;
    failure.lReason = reason;
    failure.lCode = code;
    std::snprintf(failure.szDetail, sizeof(failure.szDetail), "%s", detail ? detail : "");
    return failure;
}

// "HTTP 401", or "" when the code is FFmpeg's rather than the camera's.
void StatusText(const CameraFailure& failure, char* text, size_t size) {
    text[0] = 0;
    if (failure.lCode >= 100 && failure.lCode < 600 && failure.szDetail[0]) {
        std::snprintf(text, size, "%s %ld", failure.szDetail, static_cast<long>(failure.lCode));
    }
}

}  // namespace

CameraFailure StatusFailure(int status, const char* protocol) {
    if (status == 401 || status == 403) return Failure(OCULO_REASON_LOGIN_REFUSED, status, protocol);
    if (status == 404 || status == 454) return Failure(OCULO_REASON_NOT_FOUND, status, protocol);
    if (status >= 500) return Failure(OCULO_REASON_SERVER_ERROR, status, protocol);
    return Failure(OCULO_REASON_OTHER, status, protocol);
}

CameraFailure ClassifyCameraFailure(int error, const FFmpegFacts& facts, const char* protocol,
                                    bool timedOut) {
    if (facts.tooLargeWidth != 0) {
        char size[24];
        std::snprintf(size, sizeof(size), "%ux%u", facts.tooLargeWidth, facts.tooLargeHeight);
        return Failure(OCULO_REASON_PICTURE_TOO_LARGE, 0, size);
    }
    if (facts.refusedProtocol[0]) return Failure(OCULO_REASON_ADDRESS_NOT_ALLOWED, 0, facts.refusedProtocol);
    if (facts.httpStatus >= 400) return StatusFailure(facts.httpStatus, "HTTP");
    if (facts.rtspStatus >= 400) return StatusFailure(facts.rtspStatus, "RTSP");
    if (timedOut) return Failure(OCULO_REASON_NO_ANSWER, error);
    if (facts.hostNotFound) return Failure(OCULO_REASON_HOST_NOT_FOUND, error);
    switch (error) {
        case AVERROR(ECONNREFUSED):
            return Failure(OCULO_REASON_CONNECTION_REFUSED, error);
        case AVERROR(ETIMEDOUT):
            return Failure(OCULO_REASON_NO_ANSWER, error);
        case AVERROR_HTTP_BAD_REQUEST:
            return StatusFailure(400, protocol);
        case AVERROR_HTTP_UNAUTHORIZED:
            return StatusFailure(401, protocol);
        case AVERROR_HTTP_FORBIDDEN:
            return StatusFailure(403, protocol);
        case AVERROR_HTTP_NOT_FOUND:
            return StatusFailure(404, protocol);
        case AVERROR_HTTP_SERVER_ERROR:
            return Failure(OCULO_REASON_SERVER_ERROR, error);
        case AVERROR_PROTOCOL_NOT_FOUND:
            return Failure(OCULO_REASON_ADDRESS_NOT_ALLOWED, error);
        case AVERROR_INVALIDDATA:
        case AVERROR_STREAM_NOT_FOUND:
        case AVERROR_DECODER_NOT_FOUND:
        case AVERROR_DEMUXER_NOT_FOUND:
            return Failure(OCULO_REASON_NOT_VIDEO, error);
        case AVERROR_EOF:
        case AVERROR(EIO):
        case AVERROR(ECONNRESET):
        case AVERROR(EPIPE):
            return Failure(OCULO_REASON_CONNECTION_LOST, error);
        default:
            return Failure(OCULO_REASON_OTHER, error);
    }
}

void WordCameraReason(const CameraFailure& failure, WCHAR* text, size_t chars) {
    if (!text || chars == 0) return;
    char status[32];
    StatusText(failure, status, sizeof(status));
    const bool hasStatus = status[0] != 0;
    const char* detail = failure.szDetail;
    char words[160] = "";
    switch (failure.lReason) {
        case OCULO_REASON_NONE:
            break;
        case OCULO_REASON_CONNECTION_REFUSED:
            std::snprintf(words, sizeof(words), "Connection refused");
            break;
        case OCULO_REASON_NO_ANSWER:
            std::snprintf(words, sizeof(words), "No answer (time-out)");
            break;
        case OCULO_REASON_HOST_NOT_FOUND:
            std::snprintf(words, sizeof(words), "Host name not found");
            break;
        case OCULO_REASON_LOGIN_REFUSED:
            std::snprintf(words, sizeof(words), "Login refused%s%s%s: check the user name and password",
                          hasStatus ? " (" : "", status, hasStatus ? ")" : "");
            break;
        case OCULO_REASON_NOT_FOUND:
            std::snprintf(words, sizeof(words), "Not found%s%s%s: check the path", hasStatus ? " (" : "",
                          status, hasStatus ? ")" : "");
            break;
        case OCULO_REASON_SERVER_ERROR:
            std::snprintf(words, sizeof(words), "Server error%s%s%s", hasStatus ? " (" : "", status,
                          hasStatus ? ")" : "");
            break;
        case OCULO_REASON_NOT_VIDEO:
            if (detail[0]) {
                std::snprintf(words, sizeof(words), "No decoder for this video (%s)", detail);
            } else {
                std::snprintf(words, sizeof(words), "Not a video stream");
            }
            break;
        case OCULO_REASON_PICTURE_TOO_LARGE:
            std::snprintf(words, sizeof(words), "Picture too large%s%s%s", detail[0] ? " (" : "", detail,
                          detail[0] ? ")" : "");
            break;
        case OCULO_REASON_ADDRESS_NOT_ALLOWED:
            std::snprintf(words, sizeof(words), "Address not allowed (%s)",
                          detail[0] ? detail : "no camera protocol");
            break;
        case OCULO_REASON_CONNECTION_LOST:
            std::snprintf(words, sizeof(words), "Connection lost");
            break;
        default:
            if (hasStatus) {
                std::snprintf(words, sizeof(words), "Request refused (%s)", status);
            } else {
                char error[64] = "";
                if (av_strerror(int(failure.lCode), error, sizeof(error)) < 0) error[0] = 0;
                std::snprintf(words, sizeof(words), "Failed%s%s (%ld)", error[0] ? ": " : "", error,
                              static_cast<long>(failure.lCode));
            }
            break;
    }
    size_t i = 0;
    for (; i + 1 < chars && words[i]; ++i) {
        const unsigned char c = static_cast<unsigned char>(words[i]);
        text[i] = c < 0x80 ? WCHAR(c) : WCHAR(L'?');
    }
    text[i] = 0;
}
