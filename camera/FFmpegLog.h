// FFmpeg's messages, kept by the reader they concern and never written to
// the host's console: the module lives in other people's programs, and
// FFmpeg's own log would print each camera's address, password and all.
//
// FFmpeg has one log callback per process. While any reader lives it is ours
// (CFFmpegLogUser); when the last one ends, FFmpeg's default is back, so no
// callback into a module that may be unloaded remains. A reader's FFmpeg calls
// run on one thread at a time (its capture thread; the owner's in Stop, once
// that thread has ended), and that thread names the reader's log while it
// works for it (CFFmpegLogRoute). A message goes to the log its thread names,
// or nowhere.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <string>

#include "platform/Mutex.h"

// What FFmpeg's messages said about one connection attempt, in the reader's
// terms. Zero, false or empty: nothing said.
struct FFmpegFacts {
    int httpStatus = 0;          // an HTTP answer FFmpeg gave up on (4xx, 5xx)
    int rtspStatus = 0;          // an RTSP request the camera turned down (4xx, 5xx)
    int redirectStatus = 0;      // an HTTP redirect (3xx) in an answer
    unsigned tooLargeWidth = 0;  // a picture over the decoder's pixel limit
    unsigned tooLargeHeight = 0;
    bool hostNotFound = false;      // FFmpeg's own name lookup failed
    char refusedProtocol[16] = "";  // a protocol the reader does not allow
};

// One reader's log. Threads: the routed thread (see above) adds messages and
// owns the facts and the secret; any thread may copy the recent lines.
class CFFmpegLog {
public:
    static constexpr int kLines = 16;
    static constexpr size_t kLineChars = 256;

    CFFmpegLog() = default;
    CFFmpegLog(const CFFmpegLog&) = delete;
    CFFmpegLog& operator=(const CFFmpegLog&) = delete;

    // Text that is never kept (the camera's password), besides what every
    // line has masked anyway (MaskCameraText: each address's password and
    // secret key=value pairs). Empty: none.
    void SetSecret(const std::string& secret) { m_secret = secret; }
    const FFmpegFacts& Facts() const { return m_facts; }
    void ClearFacts() { m_facts = FFmpegFacts(); }

    // The last lines of level "info" or more severe, oldest first, each
    // ending in '\n', as many whole lines as fit in `size` (terminated).
    // Returns the characters written. Any thread.
    size_t CopyRecent(char* text, size_t size) const EXCLUDES(m_lock);

    // One message as FFmpeg hands it to its log callback; the routed thread.
    void Add(void* context, int level, const char* format, va_list args) EXCLUDES(m_lock);

private:
    void Note(const char* format, va_list args);
    void Keep(std::string line) EXCLUDES(m_lock);

    // The routed thread's alone.
    FFmpegFacts m_facts;
    std::string m_secret;
    std::string m_partial;  // a line FFmpeg has not ended yet
    int m_iPrintPrefix = 1;

    mutable CMutex m_lock;
    char m_lines[kLines][kLineChars] GUARDED_BY(m_lock) = {};
    int m_iNext GUARDED_BY(m_lock) = 0;
    int m_iCount GUARDED_BY(m_lock) = 0;
};

// For its scope, the calling thread's FFmpeg messages go to `log` (null:
// nowhere); the thread's earlier route is back afterwards.
class CFFmpegLogRoute {
public:
    explicit CFFmpegLogRoute(CFFmpegLog* log);
    ~CFFmpegLogRoute();
    CFFmpegLogRoute(const CFFmpegLogRoute&) = delete;
    CFFmpegLogRoute& operator=(const CFFmpegLogRoute&) = delete;

private:
    CFFmpegLog* const m_pPrevious;
};

// FFmpeg's log callback is ours from the first live user to the end of the
// last. Any thread.
class CFFmpegLogUser {
public:
    CFFmpegLogUser();
    ~CFFmpegLogUser();
    CFFmpegLogUser(const CFFmpegLogUser&) = delete;
    CFFmpegLogUser& operator=(const CFFmpegLogUser&) = delete;
};
