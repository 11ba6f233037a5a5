// The benches' yardstick: FFmpeg alone reading a camera and decoding its
// pictures with its default decoder settings (as the reader's), and, when
// asked, converting each to BGR24 at its own size with one converter: what an
// application would do with nothing in between. Linux only.
//
// Threading: Run blocks on the calling thread. Start runs it on a thread of
// the decoder's own; Stop (or the destructor) ends that run, a read that
// waits included, and joins the thread. Start and Stop on one thread.
#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <thread>

#include "camera/FFmpeg.h"

struct BareOptions {
    std::string demuxer;     // empty: FFmpeg's probe
    bool bFindInfo = true;   // read ahead for the stream's parameters before decoding
    bool bConvert = true;    // to BGR24 before the picture is handed on
    bool bRtspOverTcp = false;
    double limitMs = 0;      // the run's bound on the monotonic clock; 0: none
};

using BarePicture = std::function<bool(const AVFrame&)>;

class CBareDecoder {
public:
    ~CBareDecoder() { Stop(); }

    // Reads url and hands each picture to onPicture until it returns false,
    // the stream ends, the limit passes or Stop; false when the stream could
    // not be opened or its decoder made.
    bool Run(const std::string& url, const BareOptions& options, const BarePicture& onPicture);
    void Start(const std::string& url, const BareOptions& options, const BarePicture& onPicture);
    // Run's answer for the started run.
    bool Stop();

private:
    static int Interrupt(void* opaque);
    bool Ended() const;

    std::atomic<bool> m_bStop{false};
    double m_endMs = 0;  // set before the run, read on its thread
    std::thread m_thread;
    bool m_bRan = false;  // the started run's answer, read once joined
};
