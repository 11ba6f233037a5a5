// The reader's object, its connection (Open) and Close. The capture run is in
// CaptureThread.cpp.
#include "camera/RTSPCamera.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include "camera/ConnectProbe.h"
#include "camera/ExtendedTickCount.h"
#include "camera/HostLookup.h"
#include "camera/StreamContext.h"
#include "text/CameraAddress.h"

namespace {

// A new reader reports a minute since its last picture.
constexpr uint64_t kNoPictureYetMs = 60000;
// A narrow address: every WCHAR of the url may take up to 4 bytes in UTF-8.
constexpr int kNarrowUrlBytes = kUrlChars * 4;

// What FFmpeg may open for a camera, inside too: RTSP's control connection
// and its RTP over UDP, HTTP with TLS and a proxy. Never a file, never a
// protocol that reads another address's bytes.
constexpr const char* kCameraProtocols = "http,https,tls,tcp,udp,rtp,httpproxy";
// The schemes an address may begin with.
constexpr const char* kCameraSchemes[] = {"rtsp", "rtsps", "http", "https", "rtp", "udp", "tcp"};

// Held as text: the decoder's pixel limit goes in as an option.
constexpr const char* kMaxPicturePixelsText = "33177600";
static_assert(kMaxPicturePixels == 33177600, "kMaxPicturePixelsText");

bool StartsWithHttp(const char* url) {
    return std::strncmp(url, "http", 4) == 0;  // http and https; the scheme is lower case here
}

bool IsCameraScheme(const std::string& scheme) {
    for (const char* allowed : kCameraSchemes) {
        if (scheme == allowed) return true;
    }
    return false;
}

// The parts of an address as FFmpeg itself splits it, for the address the
// reader rebuilds for FFmpeg (text/CameraAddress.h splits it for showing,
// more widely); every part may be as long as the whole address.
struct UrlParts {
    char scheme[16] = "";
    char auth[kNarrowUrlBytes] = "";
    char host[kNarrowUrlBytes] = "";
    char path[kNarrowUrlBytes] = "";
    int port = -1;
};

void SplitUrl(const char* url, UrlParts& u) {
    av_url_split(u.scheme, sizeof(u.scheme), u.auth, sizeof(u.auth), u.host, sizeof(u.host), &u.port, u.path,
                 sizeof(u.path), url);
}

// The camera and login `address` names, split as OpenInput splits it (FFmpeg
// takes addresses in UTF-8 on every platform); one that cannot be split
// reaches no camera and gets the empty key.
LoginKey LoginKeyOf(const WCHAR* address) {
    char url[kNarrowUrlBytes];
    std::unique_ptr<UrlParts> parts(new (std::nothrow) UrlParts);
    if (!parts || WideCharToMultiByte(CP_UTF8, 0, address, -1, url, sizeof(url), nullptr, nullptr) <= 0) {
        return LoginKey();
    }
    SplitUrl(url, *parts);
    return MakeLoginKey(parts->scheme, parts->host, parts->port, parts->auth);
}

// A no_proxy entry against a host name, as FFmpeg matches it ("*", the name,
// or a domain the name is in; a leading "*." or "." is the same), ignoring case.
bool MatchesHostPattern(const char* pattern, size_t length, const char* host) {
    if (length == 1 && pattern[0] == '*') return true;
    if (length > 0 && pattern[0] == '*') ++pattern, --length;
    if (length > 0 && pattern[0] == '.') ++pattern, --length;
    const size_t hostLength = std::strlen(host);
    if (length == 0 || length > hostLength) return false;
    const char* tail = host + hostLength - length;
    if (av_strncasecmp(tail, pattern, length) != 0) return false;
    return tail == host || tail[-1] == '.';
}

// FFmpeg's HTTP goes through the proxy in http_proxy unless no_proxy names
// the host. It would judge the number the reader hands it; the user named
// the camera, and the name is what counts.
bool ProxyApplies(const char* host) {
    const char* proxy = std::getenv("http_proxy");
    if (!proxy || std::strncmp(proxy, "http://", 7) != 0) return false;
    const char* list = std::getenv("no_proxy");
    for (const char* at = list; at && *at;) {
        at += std::strspn(at, " ,");
        const size_t length = std::strcspn(at, " ,");
        if (length > 0 && MatchesHostPattern(at, length, host)) return false;
        at += length;
    }
    return true;
}

// Whether a failed try reached no camera at all, so that another address
// of the same name may still reach it.
bool ReachedNobody(const CameraFailure& failure) {
    switch (failure.lReason) {
        case OCULO_REASON_CONNECTION_REFUSED:
        case OCULO_REASON_NO_ANSWER:
            return true;
        case OCULO_REASON_OTHER:
            return failure.lCode == AVERROR(EHOSTUNREACH) || failure.lCode == AVERROR(ENETUNREACH) ||
                   failure.lCode == AVERROR(EADDRNOTAVAIL) || failure.lCode == AVERROR(EAFNOSUPPORT);
        default:
            return false;
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
    CFFmpegLogRoute route(&m_log);
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

// Another address may be another login, with a back-off of its own.
void CRTSPCamera::SetUrl(LPCWSTR address) {
    int i = 0;
    for (; i < kUrlChars - 1 && address[i]; ++i) m_szUrl[i] = address[i];
    m_szUrl[i] = 0;
    m_loginKey = LoginKeyOf(m_szUrl);
}

void CRTSPCamera::ArmDeadline(uint64_t limitMs) {
    m_ullDeadline = ExtendedTickCount() + limitMs;
}

// Runs inside FFmpeg's blocking calls on the capture thread (and in Close):
// a stop request (outside a close) or an expired limit abort the call.
// So does a picture that passes the byte limit (never while closing: the
// input may be half torn down).
int CRTSPCamera::InterruptCallback(void* opaque) {
    CRTSPCamera* self = static_cast<CRTSPCamera*>(opaque);
    if (!self->m_bClosing.load() && (self->m_bStopRequested.load() || self->PictureOverLimit())) return 1;
    return ExtendedTickCount() >= self->m_ullDeadline.load() ? 1 : 0;
}

// FFmpeg calls this before every read from the network, so the bytes of the
// picture on its way are counted as they arrive: what the input brought
// since the last packet came out (a multipart part grows as it comes,
// whatever its Content-Length says), and what a stream's parser holds of a
// picture it has not finished (RTSP's reassembly, a raw picture that never
// ends).
bool CRTSPCamera::PictureOverLimit() {
    const StreamContext* c = m_pContext.load();
    if (m_bPictureOverLimit || !c || !c->formatContext) return m_bPictureOverLimit;
    const AVFormatContext* input = c->formatContext;
    int64_t held = input->pb ? input->pb->bytes_read - m_llPictureStart : 0;
    for (unsigned i = 0; i < input->nb_streams; ++i) {
        if (const AVCodecParserContext* parser = av_stream_get_parser(input->streams[i])) {
            held = std::max(held, parser->cur_offset - parser->next_frame_offset);
        }
    }
    m_bPictureOverLimit = held > kMaxPictureBytes;
    return m_bPictureOverLimit;
}

bool CRTSPCamera::KeepWaiting(void* opaque) {
    CRTSPCamera* self = static_cast<CRTSPCamera*>(opaque);
    return !self->m_bStopRequested.load() && ExtendedTickCount() < self->m_ullDeadline.load();
}

bool CRTSPCamera::TimedOut() const {
    return !m_bStopRequested.load() && ExtendedTickCount() >= m_ullDeadline.load();
}

bool CRTSPCamera::Fail(LONG reason, LONG code, const char* detail) {
    m_failure = CameraFailure();
    m_failure.lReason = reason;
    m_failure.lCode = code;
    std::snprintf(m_failure.szDetail, sizeof(m_failure.szDetail), "%s", detail);
    return false;
}

bool CRTSPCamera::FailWith(int error) {
    if (m_bPictureOverLimit) {
        char limit[24];
        std::snprintf(limit, sizeof(limit), "over %d MB", int(kMaxPictureBytes >> 20));
        return Fail(OCULO_REASON_PICTURE_TOO_LARGE, 0, limit);
    }
    m_failure = ClassifyCameraFailure(error, m_log.Facts(), m_pProtocol, TimedOut());
    return false;
}

bool CRTSPCamera::PictureTooLarge(int width, int height) {
    if (width <= kMaxPictureSide && height <= kMaxPictureSide &&
        int64_t(width) * height <= kMaxPicturePixels) {
        return false;
    }
    char size[24];
    std::snprintf(size, sizeof(size), "%dx%d", width, height);
    Fail(OCULO_REASON_PICTURE_TOO_LARGE, 0, size);
    return true;
}

// Where FFmpeg's connect cannot see a refused connection (Windows), it waits
// out its whole connect time-out (ConnectProbe.h), so a camera that restarts
// would come back seconds late; the probe tells at once. Elsewhere it tries
// nothing.
bool CRTSPCamera::PortRefuses(const char* numeric, int port, bool http) {
    if (port < 0) port = http ? 80 : 554;
    switch (ProbeConnect(numeric, port, KeepWaiting, this)) {
        case ConnectProbe::Refused:
            return !Fail(OCULO_REASON_CONNECTION_REFUSED, AVERROR(ECONNREFUSED));
        case ConnectProbe::NoAnswer:
            return !Fail(OCULO_REASON_NO_ANSWER, AVERROR(ETIMEDOUT));
        default:
            return false;
    }
}

bool CRTSPCamera::Open(LPCWSTR address) {
    Close();
    if (address) SetUrl(address);
    m_ullLastFrameTime = ExtendedTickCount();
    m_failure = CameraFailure();
    m_pContext = new (std::nothrow) StreamContext;
    const bool opened = m_pContext.load() ? OpenInput() : Fail(OCULO_REASON_OTHER, AVERROR(ENOMEM));
    // The camera has answered the login (an open input accepted it): the
    // next reader need not wait for the stream's probe.
    EndLoginTurn(opened);
    if (!opened || !ProbeStreams() || !OpenDecoder()) {
        if (m_failure.lReason == OCULO_REASON_NONE) Fail(OCULO_REASON_OTHER, AVERROR_UNKNOWN);
        Close();
        return false;
    }
    ArmDeadline(kSilenceLimitMs);
    return true;
}

// FFmpeg looks names up itself, where neither a stop nor the open limit can
// cut the lookup short. The reader looks the camera's name up first, where it
// can walk away from it (HostLookup.h), and hands RTSP and HTTP each of the
// name's numbers in turn until one answers: RTSP requests carry the address
// as given to FFmpeg, HTTP names the host in its Host header. Other
// protocols (TLS needs the name), and HTTP through a proxy (which looks the
// name up itself), keep the name. Windows tries RTSP and HTTP ports first
// (PortRefuses).
bool CRTSPCamera::OpenInput() {
    ArmDeadline(kOpenLimitMs);
    char url[kNarrowUrlBytes];
    if (WideCharToMultiByte(CP_UTF8, 0, m_szUrl, -1, url, sizeof(url), nullptr, nullptr) <= 0) {
        return Fail(OCULO_REASON_ADDRESS_NOT_ALLOWED, AVERROR(EINVAL));
    }
    // FFmpeg's protocol names are case-sensitive; the scheme is not.
    const std::string scheme = oculo::text::CameraAddressScheme(url);
    std::memcpy(url, scheme.data(), scheme.size());
    if (!IsCameraScheme(scheme)) {
        return Fail(OCULO_REASON_ADDRESS_NOT_ALLOWED, AVERROR_PROTOCOL_NOT_FOUND, scheme.c_str());
    }
    const bool http = scheme == "http";
    const bool rtsp = scheme == "rtsp";
    m_pProtocol = StartsWithHttp(scheme.c_str()) ? "HTTP" : "RTSP";

    std::unique_ptr<UrlParts> parts(new (std::nothrow) UrlParts);
    if (!parts) return Fail(OCULO_REASON_OTHER, AVERROR(ENOMEM));
    UrlParts& u = *parts;
    SplitUrl(url, u);
    // The password as the address's shown forms hide it: all of it, even
    // where FFmpeg's own split would cut it short.
    m_log.SetSecret(oculo::text::SplitCameraAddress(url).password);

    if (!u.host[0]) return TryInput(url, nullptr);
    if (IsNumericHost(u.host)) {
        if ((http || rtsp) && PortRefuses(u.host, u.port, http)) return false;
        return TryInput(url, nullptr);
    }
    if (http && ProxyApplies(u.host)) return TryInput(url, nullptr);
    HostAddresses found;
    switch (LookUpHost(u.host, &found, KeepWaiting, this)) {
        case HostLookup::Found:
            break;
        case HostLookup::Unknown:
            return Fail(OCULO_REASON_HOST_NOT_FOUND, 0);
        case HostLookup::Abandoned:
            return Fail(OCULO_REASON_HOST_NOT_FOUND, AVERROR(ETIMEDOUT));
    }
    if (!http && !rtsp) return TryInput(url, nullptr);

    char host[300] = "";
    if (http) {
        const int length = u.port >= 0 ? std::snprintf(host, sizeof(host), "Host: %s:%d\r\n", u.host, u.port)
                                       : std::snprintf(host, sizeof(host), "Host: %s\r\n", u.host);
        if (length < 0 || length >= int(sizeof(host))) {
            return Fail(OCULO_REASON_HOST_NOT_FOUND, AVERROR(EINVAL));
        }
    }
    char port[16] = "";
    if (u.port >= 0) std::snprintf(port, sizeof(port), ":%d", u.port);
    for (int i = 0; i < found.count && !m_bStopRequested.load(); ++i) {
        const char* numeric = found.numeric[i];
        if (PortRefuses(numeric, u.port, http)) continue;
        const bool v6 = std::strchr(numeric, ':') != nullptr;
        char rebuilt[kNarrowUrlBytes];
        const int length =
            std::snprintf(rebuilt, sizeof(rebuilt), "%s://%s%s%s%s%s%s%s", u.scheme, u.auth,
                          u.auth[0] ? "@" : "", v6 ? "[" : "", numeric, v6 ? "]" : "", port, u.path);
        if (length < 0 || length >= int(sizeof(rebuilt))) return Fail(OCULO_REASON_OTHER, AVERROR(EINVAL));
        if (TryInput(rebuilt, http ? host : nullptr)) return true;
        // The Host header the reader adds would name the first host in every
        // request after a redirect: FFmpeg follows it with the names instead,
        // and looks them up itself.
        if (http && m_log.Facts().redirectStatus != 0) return TryInput(url, nullptr);
        if (!ReachedNobody(m_failure)) return false;
    }
    return false;
}

// One try to open `url`. `hostHeader`: the Host header an HTTP request to a
// number carries instead of the number ("Host: name:port\r\n"); FFmpeg
// then follows no redirect.
bool CRTSPCamera::TryInput(const char* url, const char* hostHeader) {
    StreamContext& c = *m_pContext.load();
    c.CloseInput();
    m_log.ClearFacts();
    ArmDeadline(kOpenLimitMs);
    c.formatContext = avformat_alloc_context();
    if (!c.formatContext) return Fail(OCULO_REASON_OTHER, AVERROR(ENOMEM));
    c.formatContext->interrupt_callback.callback = InterruptCallback;
    c.formatContext->interrupt_callback.opaque = this;
    m_llPictureStart = 0;
    m_bPictureOverLimit = false;
    c.formatContext->protocol_whitelist = av_strdup(kCameraProtocols);
    if (!c.formatContext->protocol_whitelist) return Fail(OCULO_REASON_OTHER, AVERROR(ENOMEM));

    const bool http = StartsWithHttp(url);
    if (http) av_dict_set(&c.options, "input_format", "mjpeg", 0);
    av_dict_set(&c.options, "timeout", "-1", 0);
    av_dict_set(&c.options, "stimeout", "-1", 0);
    av_dict_set(&c.options, "protocol_whitelist", kCameraProtocols, 0);
    if (hostHeader) {
        av_dict_set(&c.options, "headers", hostHeader, 0);
        av_dict_set(&c.options, "max_redirects", "0", 0);
        av_dict_set(&c.options, "http_proxy", "", 0);  // the name was judged against no_proxy already
    }

    const AVInputFormat* inputFormat = nullptr;
    if (http) {
        // A part the limit (or the camera) cut short is dropped, never decoded.
        c.formatContext->flags |= AVFMT_FLAG_DISCARD_CORRUPT;
        const int opened = OpenHttp(c, url, &inputFormat);
        if (opened < 0) return FailWith(opened);
    }
    // On failure FFmpeg frees the format context and nulls our pointer (the
    // connection opened for HTTP stays ours).
    const int opened = avformat_open_input(&c.formatContext, url, inputFormat, &c.options);
    return opened == 0 || FailWith(opened);
}

// Motion-JPEG over HTTP comes in two shapes, told apart by the answer's
// Content-Type: multipart parts, which the part-cutting demuxer hands over as
// soon as each has arrived, and bare pictures back to back, which only the
// raw demuxer reads (a picture then goes out once the next one begins). The
// reader connects itself to see the answer, then reads on that connection.
int CRTSPCamera::OpenHttp(StreamContext& c, const char* url, const AVInputFormat** format) {
    const int opened =
        avio_open2(&c.io, url, AVIO_FLAG_READ, &c.formatContext->interrupt_callback, &c.options);
    if (opened < 0) return opened;
    c.formatContext->pb = c.io;
    uint8_t* contentType = nullptr;
    av_opt_get(c.io, "mime_type", AV_OPT_SEARCH_CHILDREN, &contentType);
    static const char kMultipart[] = "multipart/x-mixed-replace";
    const bool multipart = contentType && av_strncasecmp(reinterpret_cast<const char*>(contentType),
                                                         kMultipart, sizeof(kMultipart) - 1) == 0;
    av_free(contentType);
    *format = av_find_input_format(multipart ? "mpjpeg" : "mjpeg");
    return *format ? 0 : AVERROR_DEMUXER_NOT_FOUND;
}

// The stream's description, with the decoders the probe opens held to the
// picture limit: a picture's header alone may claim gigabytes.
bool CRTSPCamera::ProbeStreams() {
    StreamContext& c = *m_pContext.load();
    const unsigned count = c.formatContext->nb_streams;
    std::unique_ptr<AVDictionary*[]> options(new (std::nothrow) AVDictionary*[count + 1]());
    if (!options) return Fail(OCULO_REASON_OTHER, AVERROR(ENOMEM));
    for (unsigned i = 0; i < count; ++i) av_dict_set(&options[i], "max_pixels", kMaxPicturePixelsText, 0);
    const int probed = avformat_find_stream_info(c.formatContext, options.get());
    for (unsigned i = 0; i < count; ++i) av_dict_free(&options[i]);
    // A probe that a limit cut short may still have found the stream.
    if (probed < 0 || m_log.Facts().tooLargeWidth != 0 || m_bPictureOverLimit) return FailWith(probed);
    // Goes to this reader's own log, passwords masked, like every FFmpeg message.
    av_dump_format(c.formatContext, 0, c.formatContext->url, 0);
    return true;
}

bool CRTSPCamera::OpenDecoder() {
    StreamContext& c = *m_pContext.load();
    for (unsigned i = 0; i < c.formatContext->nb_streams; ++i) {
        if (c.formatContext->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_VIDEO) {
            c.videoStreamIndex = int(i);
            break;
        }
    }
    if (c.videoStreamIndex < 0) return Fail(OCULO_REASON_NOT_VIDEO, AVERROR_STREAM_NOT_FOUND);
    const AVCodecParameters* parameters = c.formatContext->streams[c.videoStreamIndex]->codecpar;
    if (PictureTooLarge(parameters->width, parameters->height)) return false;
    const char* codec = avcodec_get_name(parameters->codec_id);
    c.decoder = avcodec_find_decoder(parameters->codec_id);
    if (!c.decoder) return Fail(OCULO_REASON_NOT_VIDEO, AVERROR_DECODER_NOT_FOUND, codec);
    c.codecContext = avcodec_alloc_context3(c.decoder);
    if (!c.codecContext) return Fail(OCULO_REASON_OTHER, AVERROR(ENOMEM));
    const int copied = avcodec_parameters_to_context(c.codecContext, parameters);
    if (copied < 0) return Fail(OCULO_REASON_NOT_VIDEO, copied);
    c.codecContext->max_pixels = kMaxPicturePixels;
    const int opened = avcodec_open2(c.codecContext, c.decoder, nullptr);
    if (opened < 0) return Fail(OCULO_REASON_NOT_VIDEO, opened);
    c.decodedFrame = av_frame_alloc();
    c.convertedFrame = av_frame_alloc();
    if (!c.decodedFrame || !c.convertedFrame) return Fail(OCULO_REASON_OTHER, AVERROR(ENOMEM));
    // A probe that found no size is no failure: the first picture sizes the target.
    if (c.codecContext->width > 0 && c.codecContext->height > 0 &&
        !c.AllocateImage(c.codecContext->width, c.codecContext->height)) {
        return Fail(OCULO_REASON_OTHER, AVERROR(ENOMEM));
    }
    return true;
}
