// The reader's object, its connection (Open) and Close. The capture run is in
// CaptureThread.cpp.
#include "camera/RTSPCamera.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "camera/ConnectProbe.h"
#include "camera/ExtendedTickCount.h"
#include "camera/HostLookup.h"
#include "camera/StreamContext.h"

namespace {

// A new reader reports a minute since its last picture.
constexpr uint64_t kNoPictureYetMs = 60000;
// A narrow address: every WCHAR of the url may take up to 4 bytes in UTF-8.
constexpr int kNarrowUrlBytes = kUrlChars * 4;

bool StartsWithHttp(LPCWSTR url) {
    static const char kHttp[] = "http";
    for (int i = 0; i < 4; ++i) {
        WCHAR c = url[i];
        if (c >= L'A' && c <= L'Z') c = WCHAR(c - L'A' + L'a');
        if (c != WCHAR(kHttp[i])) return false;  // also stops at the terminator
    }
    return true;
}

bool IsSchemeCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '+' ||
           c == '-' || c == '.';
}

// FFmpeg's protocol names are case-sensitive; the scheme is not. Only a real
// scheme is touched: an address without one (a path that holds "://" further
// on) stays as it is.
void LowerCaseScheme(char* url) {
    const char* separator = std::strstr(url, "://");
    if (!separator || separator == url) return;
    for (const char* c = url; c < separator; ++c) {
        if (!IsSchemeCharacter(*c)) return;
    }
    for (char* c = url; c < separator; ++c) {
        if (*c >= 'A' && *c <= 'Z') *c = char(*c - 'A' + 'a');
    }
}

}  // namespace

CRTSPCamera::CRTSPCamera(CIPCameraCallback* callback)
    : m_pCallback(callback), m_ullLastFrameTime(ExtendedTickCount() - kNoPictureYetMs) {
    avdevice_register_all();
    avformat_network_init();
}

// A reader destroyed while its capture thread runs would be used after it is
// freed: stop the run first (quick when none is running), which also closes.
CRTSPCamera::~CRTSPCamera() {
    CRTSPCamera::Stop();
    avformat_network_deinit();
}

void CRTSPCamera::Close() {
    StreamContext* context = m_pContext.exchange(nullptr);
    if (!context) return;
    // A stop request cuts every other call short, and FFmpeg would drop the
    // TEARDOWN: the camera would keep the session (and, over UDP, keep
    // sending) until its own time-out. The close gets a short deadline of its
    // own instead, so that Stop stays prompt when the camera does not answer.
    m_bClosing = true;
    ArmDeadline(kCloseLimitMs);
    delete context;
    m_bClosing = false;
}

int64_t CRTSPCamera::GetTimeSinceLastFrame() {
    return int64_t(ExtendedTickCount() - m_ullLastFrameTime.load());
}

void CRTSPCamera::SetUrl(LPCWSTR address) {
    int i = 0;
    for (; i < kUrlChars - 1 && address[i]; ++i) m_szUrl[i] = address[i];
    m_szUrl[i] = 0;
}

void CRTSPCamera::ArmDeadline(uint64_t limitMs) {
    m_ullDeadline = ExtendedTickCount() + limitMs;
}

// Runs inside FFmpeg's blocking calls on the capture thread (and in Close):
// a stop request (outside a close) or an expired limit abort the call.
int CRTSPCamera::InterruptCallback(void* opaque) {
    CRTSPCamera* self = static_cast<CRTSPCamera*>(opaque);
    if (self->m_bStopRequested.load() && !self->m_bClosing.load()) return 1;
    return ExtendedTickCount() >= self->m_ullDeadline.load() ? 1 : 0;
}

bool CRTSPCamera::KeepWaiting(void* opaque) {
    CRTSPCamera* self = static_cast<CRTSPCamera*>(opaque);
    return !self->m_bStopRequested.load() && ExtendedTickCount() < self->m_ullDeadline.load();
}

// FFmpeg looks names up itself, where neither a stop nor the open limit can
// cut the lookup short. The reader looks the camera's name up first, where it
// can walk away from it (HostLookup.h), and hands RTSP and HTTP the number:
// RTSP requests carry the address as given to FFmpeg, HTTP keeps the name in
// its Host header. Other protocols (TLS needs the name) keep the name and
// look it up again themselves. RTSP and HTTP ports are tried once first
// (PortRefuses). False: no usable address, a refused port, or a stop.
bool CRTSPCamera::ResolveHost(char* url, size_t size, AVDictionary** options) {
    char scheme[16], auth[256], host[256], path[kNarrowUrlBytes];
    int port = -1;
    av_url_split(scheme, sizeof(scheme), auth, sizeof(auth), host, sizeof(host), &port, path, sizeof(path), url);
    if (!host[0]) return true;
    const bool http = std::strcmp(scheme, "http") == 0;
    const bool resolved = http || std::strcmp(scheme, "rtsp") == 0;
    if (IsNumericHost(host)) return !resolved || !PortRefuses(host, port, http);
    char numeric[64];
    if (LookUpHost(host, numeric, sizeof(numeric), KeepWaiting, this) != HostLookup::Found) return false;
    if (!resolved) return true;
    if (PortRefuses(numeric, port, http)) return false;
    if (http) {
        char header[300];
        const int length = port >= 0 ? std::snprintf(header, sizeof(header), "Host: %s:%d\r\n", host, port)
                                     : std::snprintf(header, sizeof(header), "Host: %s\r\n", host);
        if (length >= int(sizeof(header))) return false;
        av_dict_set(options, "headers", header, 0);
    }
    char portText[16] = "";
    if (port >= 0) std::snprintf(portText, sizeof(portText), ":%d", port);
    const bool v6 = std::strchr(numeric, ':') != nullptr;
    char rebuilt[kNarrowUrlBytes];
    const int length = std::snprintf(rebuilt, sizeof(rebuilt), "%s://%s%s%s%s%s%s%s", scheme, auth,
                                     auth[0] ? "@" : "", v6 ? "[" : "", numeric, v6 ? "]" : "", portText, path);
    if (length < 0 || size_t(length) >= size) return false;
    std::memcpy(url, rebuilt, size_t(length) + 1);
    return true;
}

// Only on Windows: there FFmpeg's connect cannot see a refused connection
// and waits out its whole connect time-out (ConnectProbe.h), so a camera that
// restarts would come back seconds late. Elsewhere FFmpeg sees the refusal
// at once, and a probe would only add a connection.
bool CRTSPCamera::PortRefuses(const char* numeric, int port, bool http) {
#ifdef _WIN32
    if (port < 0) port = http ? 80 : 554;
    return ConnectFails(numeric, port, KeepWaiting, this);
#else
    (void)numeric, (void)port, (void)http;
    return false;
#endif
}

bool CRTSPCamera::Open(LPCWSTR address) {
    Close();
    if (address) SetUrl(address);
    m_ullLastFrameTime = ExtendedTickCount();
    m_pContext = new (std::nothrow) StreamContext;
    if (!m_pContext.load()) return false;
    if (!OpenInput() || !OpenDecoder()) {
        Close();
        return false;
    }
    ArmDeadline(kSilenceLimitMs);
    return true;
}

bool CRTSPCamera::OpenInput() {
    StreamContext& c = *m_pContext.load();
    c.formatContext = avformat_alloc_context();
    if (!c.formatContext) return false;
    c.formatContext->interrupt_callback.callback = InterruptCallback;
    c.formatContext->interrupt_callback.opaque = this;
    ArmDeadline(kOpenLimitMs);

    const bool http = StartsWithHttp(m_szUrl);
    if (http) av_dict_set(&c.options, "input_format", "mjpeg", 0);
    av_dict_set(&c.options, "timeout", "-1", 0);
    av_dict_set(&c.options, "stimeout", "-1", 0);

    // FFmpeg takes addresses in UTF-8 on every platform.
    char narrow[kNarrowUrlBytes];
    if (WideCharToMultiByte(CP_UTF8, 0, m_szUrl, -1, narrow, sizeof(narrow), nullptr, nullptr) <= 0) {
        return false;
    }
    LowerCaseScheme(narrow);
    if (!ResolveHost(narrow, sizeof(narrow), &c.options)) return false;

    const AVInputFormat* inputFormat = nullptr;
    if (http && !(inputFormat = OpenHttp(c, narrow))) return false;
    // On failure FFmpeg frees the format context and nulls our pointer (the
    // connection opened for HTTP stays ours).
    if (avformat_open_input(&c.formatContext, narrow, inputFormat, &c.options) != 0) return false;
    if (avformat_find_stream_info(c.formatContext, nullptr) < 0) return false;
    av_dump_format(c.formatContext, 0, narrow, 0);
    return true;
}

// Motion-JPEG over HTTP comes in two shapes, told apart by the answer's
// Content-Type: multipart parts, which the part-cutting demuxer hands over as
// soon as each has arrived, and bare pictures back to back, which only the
// raw demuxer reads (a picture then goes out once the next one begins). The
// reader connects itself to see the answer, then reads on that connection.
const AVInputFormat* CRTSPCamera::OpenHttp(StreamContext& c, const char* url) {
    if (avio_open2(&c.io, url, AVIO_FLAG_READ, &c.formatContext->interrupt_callback, &c.options) < 0) {
        return nullptr;
    }
    c.formatContext->pb = c.io;
    uint8_t* contentType = nullptr;
    av_opt_get(c.io, "mime_type", AV_OPT_SEARCH_CHILDREN, &contentType);
    static const char kMultipart[] = "multipart/x-mixed-replace";
    const bool multipart = contentType && av_strncasecmp(reinterpret_cast<const char*>(contentType), kMultipart,
                                                         sizeof(kMultipart) - 1) == 0;
    av_free(contentType);
    return av_find_input_format(multipart ? "mpjpeg" : "mjpeg");
}

bool CRTSPCamera::OpenDecoder() {
    StreamContext& c = *m_pContext.load();
    for (unsigned i = 0; i < c.formatContext->nb_streams; ++i) {
        if (c.formatContext->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_VIDEO) {
            c.videoStreamIndex = int(i);
            break;
        }
    }
    if (c.videoStreamIndex < 0) return false;
    const AVCodecParameters* parameters = c.formatContext->streams[c.videoStreamIndex]->codecpar;
    c.decoder = avcodec_find_decoder(parameters->codec_id);
    if (!c.decoder) return false;
    c.codecContext = avcodec_alloc_context3(c.decoder);
    if (!c.codecContext) return false;
    if (avcodec_parameters_to_context(c.codecContext, parameters) < 0) return false;
    if (avcodec_open2(c.codecContext, c.decoder, nullptr) < 0) return false;
    c.decodedFrame = av_frame_alloc();
    c.convertedFrame = av_frame_alloc();
    if (!c.decodedFrame || !c.convertedFrame) return false;
    // A probe that found no size is no failure: the first picture sizes the target.
    if (c.codecContext->width > 0 && c.codecContext->height > 0) {
        return c.AllocateImage(c.codecContext->width, c.codecContext->height);
    }
    return true;
}
