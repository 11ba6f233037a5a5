// Camera-to-sample latency: a loopback camera stamps each picture with its
// send time (mjpeg_server.py --code time); the slot's filter in the host graph
// delivers samples to a sink that reads the stamp back from each sample, and
// at the same time a bare FFmpeg read-and-decode loop reads the same camera
// and reads the stamp from each decoded picture. For each picture the first
// sight counts (a sample that repeats a picture adds nothing). Prints median
// and 95th percentile of both, and whether the module's median is within one
// output frame interval of the bare loop's.
//
// Usage: latency_bench [--seconds N] [--url URL --camera-size WxH]
//                      [--bare-format auto|mjpeg|mpjpeg]
//   Without --url it starts two cameras of its own, 640x480 at 25 pictures a
//   second, one multipart (multipart/x-mixed-replace) and one raw (JPEGs back
//   to back), and measures both. --bare-format: the bare loop's demuxer
//   (auto: FFmpeg's probe; by default the one that fits the stream: mpjpeg
//   for multipart, mjpeg for raw, and auto for --url). The slot is 640x480
//   at 25 fps.
// Linux only (the fixtures' processes).
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "bench/common/BareDecoder.h"
#include "bench/common/BenchSlot.h"
#include "bench/common/QuietSink.h"
#include "bench/latency/BlockCode.h"
#include "camera/FFmpeg.h"
#include "filter/OculoStream.h"
#include "host/HostGraph.h"
#include "host/RenderSink.h"
#include "platform/ComRef.h"
#include "tests/fixtures/FixtureProcess.h"

namespace {

constexpr LONG kWidth = 640;
constexpr LONG kHeight = 480;
constexpr float kFps = 25.0f;
// The first pictures of a connection carry its setup; they are left out.
constexpr size_t kWarmupPictures = 25;

// Ages (ms) of pictures at their first sight, one reader's.
class CLatencies {
public:
    void See(uint64_t code, uint64_t nowUs) {
        std::lock_guard<std::mutex> lock(m_lock);
        if (m_bAny && code == m_lastCode) return;
        m_bAny = true;
        m_lastCode = code;
        if (++m_seen > kWarmupPictures) m_ms.push_back(CodeAgeUs(code, nowUs) / 1000.0);
    }
    std::vector<double> Sorted() {
        std::lock_guard<std::mutex> lock(m_lock);
        std::vector<double> v = m_ms;
        std::sort(v.begin(), v.end());
        return v;
    }

private:
    std::mutex m_lock;
    std::vector<double> m_ms;
    uint64_t m_lastCode = 0;
    bool m_bAny = false;
    size_t m_seen = 0;
};

// The bare loop's sight of a picture: the stamp read from its luma plane.
void SeeBare(const AVFrame& frame, int cameraW, int cameraH, CLatencies& out) {
    const uint64_t now = MonotonicUs();
    auto luma = [&frame](int x, int y) { return int(frame.data[0][int64_t(y) * frame.linesize[0] + x]); };
    uint64_t code = 0;
    if (ReadBlockCode(luma, frame.width, frame.height, cameraW, cameraH, &code)) out.See(code, now);
}

struct Figures {
    std::string camera;
    std::vector<double> module, bare;
    bool ran = false;
};

Figures Measure(const std::string& name, const std::string& url, int cameraW, int cameraH,
                const std::string& bareFormat, double seconds) {
    Figures figures;
    figures.camera = name;
    CLatencies module, bare;
    BenchSlot slot;
    slot.url.assign(url.begin(), url.end());
    slot.w = kWidth;
    slot.h = kHeight;
    slot.fps = kFps;
    CComRef<IBaseFilter> filter;
    filter.Attach(CreateSlotFilter(slot));
    CComRef<CHostGraph> graph;
    CComRef<CRenderSink> sink;
    if (!filter || FAILED(CHostGraph::Create(graph.Put())) || FAILED(CreateQuietSink(sink.Put()))) {
        return figures;
    }
    IPin* pOut = static_cast<IPin*>(static_cast<COculo*>(filter.Get())->GetPin(0));
    const int stride = (kWidth * 3 + 3) & ~3;
    sink->Recorder()->SetFrameCallback([&](const SinkFrame& frame) {
        const uint64_t now = MonotonicUs();
        uint64_t code = 0;
        if (frame.cbData >= stride * kHeight &&
            ReadBlockCode24(frame.pData, kWidth, kHeight, stride, true, cameraW, cameraH, &code)) {
            module.See(code, now);
        }
    });
    if (FAILED(graph->AddFilter(filter.Get(), L"Oculo")) || FAILED(graph->AddFilter(sink.Get(), L"Sink")) ||
        FAILED(graph->ConnectDirect(pOut, sink->InputPin(), nullptr))) {
        graph->Teardown();
        return figures;
    }
    BareOptions options;  // the stream's parameters from its first picture: no read ahead
    options.demuxer = bareFormat == "auto" ? "" : bareFormat;
    options.bFindInfo = false;
    options.bConvert = false;
    CBareDecoder reader;
    reader.Start(url, options, [&](const AVFrame& frame) {
        SeeBare(frame, cameraW, cameraH, bare);
        return true;
    });
    if (SUCCEEDED(graph->Run())) {
        std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
        graph->Stop();
        figures.ran = true;
    }
    if (!reader.Stop()) std::fprintf(stderr, "%s: the bare loop could not open %s\n", name.c_str(), url.c_str());
    graph->Teardown();
    figures.module = module.Sorted();
    figures.bare = bare.Sorted();
    return figures;
}

double Percentile(const std::vector<double>& sorted, int percent) {
    return sorted.empty() ? -1 : sorted[std::min(sorted.size() - 1, sorted.size() * percent / 100)];
}

}  // namespace

int main(int argc, char** argv) {
    double seconds = 20;
    std::string url, bareFormat;
    int cameraW = kWidth, cameraH = kHeight;
    bool usage = false;
    for (int i = 1; i < argc; ++i) {
        const bool more = i + 1 < argc;
        if (!std::strcmp(argv[i], "--seconds") && more) {
            seconds = std::atof(argv[++i]);
        } else if (!std::strcmp(argv[i], "--url") && more) {
            url = argv[++i];
        } else if (!std::strcmp(argv[i], "--bare-format") && more) {
            bareFormat = argv[++i];
        } else if (!std::strcmp(argv[i], "--camera-size") && more) {
            usage |= std::sscanf(argv[++i], "%dx%d", &cameraW, &cameraH) != 2;
        } else {
            usage = true;
        }
    }
    if (usage || seconds <= 0 || seconds > 3000 ||
        (!bareFormat.empty() && bareFormat != "auto" && bareFormat != "mjpeg" && bareFormat != "mpjpeg")) {
        std::fprintf(stderr,
                     "usage: latency_bench [--seconds N] [--url URL --camera-size WxH] "
                     "[--bare-format auto|mjpeg|mpjpeg]\n");
        return 2;
    }
    CBenchRun run;
    if (!run.Start()) return 1;

    std::vector<Figures> all;
    if (!url.empty()) {
        all.push_back(Measure(url, url, cameraW, cameraH, bareFormat.empty() ? "auto" : bareFormat, seconds));
    } else {
        const std::string lifetime = std::to_string(int(seconds) + 60);
        for (const char* mode : {"multipart", "raw"}) {
            CFixtureProcess camera;
            if (!camera.Start(MjpegServerCommand({"--mode", mode, "--code", "time", "--width", "640", "--height",
                                                  "480", "--fps", "25", "--lifetime", lifetime}))) {
                std::fprintf(stderr, "the %s camera did not start\n", mode);
                continue;
            }
            all.push_back(Measure(std::string("http ") + mode, "http://127.0.0.1:" + std::to_string(camera.Port()) + "/",
                                  kWidth, kHeight,
                                  !bareFormat.empty() ? bareFormat : !std::strcmp(mode, "raw") ? "mjpeg" : "mpjpeg",
                                  seconds));
        }
    }

    const double intervalMs = 1000.0 / kFps;
    std::printf("latency, camera send to first sight (ms), %.0f s a camera; bare loop demuxer: %s\n", seconds,
                bareFormat.empty() ? "the stream's (mpjpeg for multipart, mjpeg for raw)" : bareFormat.c_str());
    std::printf("%-28s %9s %9s %9s   %s\n", "camera / reader", "median", "p95", "pictures", "target");
    for (const Figures& f : all) {
        if (!f.ran || f.module.empty() || f.bare.empty()) {
            std::printf("%-28s skipped (no graph run, or no stamped picture read: module %zu, bare %zu)\n",
                        f.camera.c_str(), f.module.size(), f.bare.size());
            continue;
        }
        const double gap = Percentile(f.module, 50) - Percentile(f.bare, 50);
        std::printf("%-28s %9.1f %9.1f %9zu\n", (f.camera + ", module").c_str(), Percentile(f.module, 50),
                    Percentile(f.module, 95), f.module.size());
        std::printf("%-28s %9.1f %9.1f %9zu\n", (f.camera + ", bare FFmpeg").c_str(), Percentile(f.bare, 50),
                    Percentile(f.bare, 95), f.bare.size());
        std::printf("%-28s %9.1f %19s   <= %.0f ms: %s\n", (f.camera + ", module - bare").c_str(), gap, "",
                    intervalMs, gap <= intervalMs ? "met" : "MISSED");
    }
    return 0;
}
