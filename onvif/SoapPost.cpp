#include "onvif/SoapPost.h"

#include <memory>

#include "onvif/OnvifXml.h"

extern "C" {
#include <libavformat/avio.h>
#include <libavutil/dict.h>
#include <libavutil/error.h>
#include <libavutil/log.h>
}

namespace {

// Only plain and encrypted HTTP, and a proxy the environment names.
constexpr const char* kProtocols = "http,https,tcp,tls,httpproxy";
constexpr int kReadChunk = 16384;

struct Interrupt {
    const CDeadline* deadline;
    const COnvifCancel* cancel;
};

int InterruptCallback(void* opaque) {
    const Interrupt* i = static_cast<const Interrupt*>(opaque);
    return i->cancel->IsCancelled() || i->deadline->Passed() ? 1 : 0;
}

std::string Hex(const std::string& bytes) {
    static const char kHex[] = "0123456789abcdef";
    std::string text;
    text.reserve(bytes.size() * 2);
    for (unsigned char c : bytes) {
        text += kHex[c >> 4];
        text += kHex[c & 15];
    }
    return text;
}

struct DictionaryFree {
    void operator()(AVDictionary* d) const { av_dict_free(&d); }
};
struct ContextClose {
    void operator()(AVIOContext* c) const { avio_closep(&c); }
};

PostResult Failed(int error, const Interrupt& interrupt) {
    PostResult result;
    switch (error) {
        case AVERROR_HTTP_UNAUTHORIZED: result.status = 401; break;
        case AVERROR_HTTP_FORBIDDEN: result.status = 403; break;
        case AVERROR_HTTP_BAD_REQUEST: result.status = 400; break;
        case AVERROR_HTTP_NOT_FOUND: result.status = 404; break;
        case AVERROR_HTTP_OTHER_4XX: result.status = 499; break;
        case AVERROR_HTTP_SERVER_ERROR: result.status = 500; break;
        default: break;
    }
    if (result.status == 401 || result.status == 403) {
        result.outcome = PostOutcome::kRefused;
    } else if (result.status != 0) {
        result.outcome = PostOutcome::kHttpError;
    } else if (interrupt.cancel->IsCancelled()) {
        result.outcome = PostOutcome::kCancelled;
    } else if (error == AVERROR_EXIT || interrupt.deadline->Passed() || error == AVERROR(ETIMEDOUT)) {
        result.outcome = PostOutcome::kNoAnswer;
    } else {
        result.outcome = PostOutcome::kUnreachable;
    }
    return result;
}

}  // namespace

PostResult PostSoap(const std::string& address, const std::string& envelope, const CDeadline& deadline,
                    const COnvifCancel& cancel) {
    Interrupt interrupt{&deadline, &cancel};
    const AVIOInterruptCB callback{InterruptCallback, &interrupt};
    AVDictionary* raw = nullptr;
    av_dict_set(&raw, "method", "POST", 0);
    av_dict_set(&raw, "post_data", Hex(envelope).c_str(), 0);  // a binary option: given as hex
    av_dict_set(&raw, "content_type", "application/soap+xml; charset=utf-8", 0);
    av_dict_set(&raw, "user_agent", "Oculo", 0);
    av_dict_set(&raw, "icy", "0", 0);
    av_dict_set(&raw, "seekable", "0", 0);
    av_dict_set(&raw, "protocol_whitelist", kProtocols, 0);
    std::unique_ptr<AVDictionary, DictionaryFree> options(raw);

    AVIOContext* opened = nullptr;
    raw = options.release();
    const int error = avio_open2(&opened, address.c_str(), AVIO_FLAG_READ, &callback, &raw);
    options.reset(raw);
    if (error < 0) return Failed(error, interrupt);
    std::unique_ptr<AVIOContext, ContextClose> context(opened);

    PostResult result;
    std::string buffer(kReadChunk, '\0');
    for (;;) {
        const int read = avio_read(context.get(), reinterpret_cast<unsigned char*>(&buffer[0]), kReadChunk);
        if (read == AVERROR_EOF || read == 0) break;
        // A clean end of an HTTP answer reads as EIO once the body is done.
        if (read == AVERROR(EIO) && !deadline.Passed() && !cancel.IsCancelled()) break;
        if (read < 0) return Failed(read, interrupt);
        result.body.append(buffer, 0, size_t(read));
        if (result.body.size() > kMaxAnswerBytes) {
            result.outcome = PostOutcome::kTooLarge;
            result.body.clear();
            return result;
        }
    }
    result.outcome = PostOutcome::kAnswered;
    result.status = 200;
    return result;
}

void QuietNetworkMessages() { av_log_set_level(AV_LOG_QUIET); }
