#include "camera/FFmpegLog.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "camera/FFmpeg.h"
#include "text/CameraAddress.h"

namespace {

// Longer pieces of a line than this are kept as a line of their own: a
// message that never ends its line cannot grow without bound.
constexpr size_t kPartialLimit = 4096;

thread_local CFFmpegLog* t_pRoute = nullptr;

CMutex g_userLock;
int g_iUsers GUARDED_BY(g_userLock) = 0;

void LogCallback(void* context, int level, const char* format, va_list args) {
    CFFmpegLog* log = t_pRoute;
    if (log && format) log->Add(context, level, format, args);
}

bool StartsWith(const char* text, const char* prefix) {
    return std::strncmp(text, prefix, std::strlen(prefix)) == 0;
}

// A line cut to `chars` bytes without splitting a UTF-8 sequence.
void CutTo(std::string& line, size_t chars) {
    if (line.size() <= chars) return;
    size_t cut = chars;
    while (cut > 0 && (static_cast<unsigned char>(line[cut]) & 0xC0) == 0x80) --cut;
    line.resize(cut);
}

}  // namespace

void CFFmpegLog::Add(void* context, int level, const char* format, va_list args) {
    // A message is dropped rather than an exception let into FFmpeg.
    try {
        va_list copy;
        va_copy(copy, args);
        Note(format, copy);
        va_end(copy);
        if (level > AV_LOG_INFO) return;

        const int printPrefix = m_iPrintPrefix;
        char piece[1024];
        va_copy(copy, args);
        const int length =
            av_log_format_line2(context, level, format, copy, piece, int(sizeof(piece)), &m_iPrintPrefix);
        va_end(copy);
        if (length < 0) return;
        if (size_t(length) < sizeof(piece)) {
            m_partial += piece;
        } else {
            std::vector<char> whole(size_t(length) + 1);
            m_iPrintPrefix = printPrefix;
            va_copy(copy, args);
            av_log_format_line2(context, level, format, copy, whole.data(), length + 1, &m_iPrintPrefix);
            va_end(copy);
            m_partial += whole.data();
        }
        for (size_t end = m_partial.find('\n'); end != std::string::npos; end = m_partial.find('\n')) {
            Keep(m_partial.substr(0, end));
            m_partial.erase(0, end + 1);
        }
        if (m_partial.size() > kPartialLimit) {
            Keep(m_partial);
            m_partial.clear();
        }
    } catch (...) {
    }
}

// The messages that tell why an attempt failed, read from FFmpeg's own
// formats (the camera's words in them are never parsed).
void CFFmpegLog::Note(const char* format, va_list args) {
    if (std::strcmp(format, "HTTP error %d %s\n") == 0) {
        m_facts.httpStatus = va_arg(args, int);
    } else if (std::strcmp(format, "method %s failed: %d%s\n") == 0) {
        (void)va_arg(args, const char*);
        m_facts.rtspStatus = va_arg(args, int);
    } else if (std::strcmp(format, "http_code=%d\n") == 0) {
        const int code = va_arg(args, int);
        if (code >= 300 && code < 400) m_facts.redirectStatus = code;
    } else if (StartsWith(format, "Picture size %ux%u exceeds specified max pixel count")) {
        if (m_facts.tooLargeWidth == 0) {
            m_facts.tooLargeWidth = va_arg(args, unsigned);
            m_facts.tooLargeHeight = va_arg(args, unsigned);
        }
    } else if (std::strcmp(format, "Failed to resolve hostname %s: %s\n") == 0) {
        m_facts.hostNotFound = true;
    } else if (std::strcmp(format, "Protocol '%s' not on whitelist '%s'!\n") == 0) {
        const char* name = va_arg(args, const char*);
        std::snprintf(m_facts.refusedProtocol, sizeof(m_facts.refusedProtocol), "%s", name ? name : "");
    }
}

void CFFmpegLog::Keep(std::string line) {
    line = oculo::text::MaskCameraText(line, m_secret);
    for (char& c : line) {
        if (static_cast<unsigned char>(c) < 0x20) c = ' ';  // the camera's words may hold control characters
    }
    while (!line.empty() && line.back() == ' ') line.pop_back();
    if (line.empty()) return;
    CutTo(line, kLineChars - 1);
    CMutexLock hold(m_lock);
    std::memcpy(m_lines[m_iNext], line.c_str(), line.size() + 1);
    m_iNext = (m_iNext + 1) % kLines;
    if (m_iCount < kLines) ++m_iCount;
}

size_t CFFmpegLog::CopyRecent(char* text, size_t size) const {
    if (!text || size == 0) return 0;
    size_t written = 0;
    CMutexLock hold(m_lock);
    for (int i = 0; i < m_iCount; ++i) {
        const char* line = m_lines[(m_iNext - m_iCount + i + kLines) % kLines];
        const size_t length = std::strlen(line);
        if (written + length + 2 > size) break;
        std::memcpy(text + written, line, length);
        written += length;
        text[written++] = '\n';
    }
    text[written] = 0;
    return written;
}

CFFmpegLogRoute::CFFmpegLogRoute(CFFmpegLog* log) : m_pPrevious(t_pRoute) {
    t_pRoute = log;
}

CFFmpegLogRoute::~CFFmpegLogRoute() {
    t_pRoute = m_pPrevious;
}

CFFmpegLogUser::CFFmpegLogUser() {
    CMutexLock hold(g_userLock);
    if (g_iUsers++ == 0) av_log_set_callback(LogCallback);
}

CFFmpegLogUser::~CFFmpegLogUser() {
    CMutexLock hold(g_userLock);
    if (--g_iUsers == 0) av_log_set_callback(av_log_default_callback);
}
