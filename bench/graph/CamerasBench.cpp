// Many cameras into one host graph: N slots, each on a loopback Motion-JPEG
// camera of its own at 25 pictures a second (mjpeg_server.py --code
// sequence: every picture carries its number), each slot's filter connected
// to a sink of its own. Per slot: samples delivered a second, camera pictures
// the reader handed to the filter a second, and camera pictures missed (a gap
// in the numbers the filter received); and the process's CPU per slot.
// A slot runs at full rate when it delivers 25 samples a second (within 1 %)
// and its filter receives every camera picture.
//
// The filter's picture entry (CFrameStore::OnFrame) is wrapped at link time
// (see CMakeLists.txt), so the count is the reader's own hand-over.
//
// Usage: cameras_bench [--cameras N] [--size WxH] [--seconds S] [--step-up MAX] [--plain]
//   default: 10 cameras at 640x480, 20 s. --step-up MAX: from 1 camera up to
//   MAX, until a step misses full rate; prints the largest that made it.
//   The cameras' pictures carry grain, so they are about as large and costly
//   to decode as a real camera's (some 60 kB at 640x480); --plain sends the
//   flat test picture instead (a few kB).
// Linux only.
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "bench/common/BenchSlot.h"
#include "bench/graph/SlotGraph.h"
#include "bench/latency/BlockCode.h"
#include "camera/FFmpeg.h"
#include "tests/fixtures/FixtureProcess.h"

namespace {

constexpr int kMaxSlots = 32;
constexpr double kFps = 25;
constexpr int kCodePictures = 50;  // the cameras' picture numbers repeat after this many

// What the filter received, per store.
struct PictureCount {
    std::atomic<const CFrameStore*> store{nullptr};
    std::atomic<uint64_t> pictures{0};  // carrying a picture number
    std::atomic<uint64_t> missed{0};    // numbers skipped between two of them
    int last = -1;                      // capture thread only
    int cameraW = 0, cameraH = 0;
};
PictureCount g_counts[kMaxSlots];

PictureCount* CountFor(const CFrameStore* store) {
    for (PictureCount& c : g_counts) {
        if (c.store.load() == store) return &c;
    }
    return nullptr;
}

}  // namespace

// The link-time wrap of CFrameStore::OnFrame(const BYTE*, LONG, LONG): the
// real one is called first, then the picture's number is read (top row
// first, rows padded to 4 bytes, as the reader hands it over).
extern "C" bool __real__ZN11CFrameStore7OnFrameEPKhii(CFrameStore* self, const BYTE* pixels, LONG w, LONG h);
extern "C" bool __wrap__ZN11CFrameStore7OnFrameEPKhii(CFrameStore* self, const BYTE* pixels, LONG w, LONG h) {
    const bool result = __real__ZN11CFrameStore7OnFrameEPKhii(self, pixels, w, h);
    PictureCount* count = CountFor(self);
    uint64_t code = 0;
    if (count && pixels &&
        ReadBlockCode24(pixels, w, h, (w * 3 + 3) & ~3, false, count->cameraW, count->cameraH, &code)) {
        const int number = int(CodeNumber(code)) % kCodePictures;
        if (count->last >= 0) {
            const int step = (number - count->last + kCodePictures) % kCodePictures;
            if (step > 1) count->missed += uint64_t(step - 1);
        }
        count->last = number;
        ++count->pictures;
    }
    return result;
}

namespace {

struct Result {
    bool ran = false;
    double seconds = 0;
    double cpuPercent = 0;  // the whole process, one core = 100
    std::vector<double> delivered, received;
    std::vector<uint64_t> missed;
    bool FullRate() const {
        if (!ran) return false;
        for (size_t i = 0; i < delivered.size(); ++i) {
            if (std::abs(delivered[i] / kFps - 1) > 0.01 || std::abs(received[i] / kFps - 1) > 0.01 || missed[i]) {
                return false;
            }
        }
        return true;
    }
};

bool g_texture = true;

Result RunCameras(int n, int w, int h, double seconds) {
    Result result;
    std::vector<std::unique_ptr<CFixtureProcess>> cameras;
    std::vector<BenchSlot> slots;
    const std::string lifetime = std::to_string(int(seconds) + 120);
    for (int i = 0; i < n; ++i) {
        cameras.push_back(std::make_unique<CFixtureProcess>());
        std::vector<std::string> args{"--code",   "sequence",        "--code-pictures", std::to_string(kCodePictures),
                                      "--width",  std::to_string(w), "--height",        std::to_string(h),
                                      "--fps",    "25",              "--lifetime",      lifetime};
        if (g_texture) args.push_back("--texture");
        if (!cameras.back()->Start(MjpegServerCommand(args), 60000)) {
            std::fprintf(stderr, "camera %d did not start\n", i);
            return result;
        }
        const std::string url = "http://127.0.0.1:" + std::to_string(cameras.back()->Port()) + "/";
        BenchSlot slot;
        slot.url.assign(url.begin(), url.end());
        slot.w = w;
        slot.h = h;
        slot.fps = float(kFps);
        slots.push_back(slot);
    }
    CSlotGraph graph;
    if (!graph.Make(slots)) return result;
    for (int i = 0; i < n; ++i) {
        PictureCount& c = g_counts[i];
        c.store = nullptr;
        c.cameraW = w;
        c.cameraH = h;
        c.last = -1;
        c.store = static_cast<CFrameStore*>(graph.Pin(i));
    }
    if (FAILED(graph.Run()) || !graph.WaitForPictures(30000)) {
        graph.Stop();
        return result;
    }
    SleepMs(1000);  // past the connections' first pictures
    std::vector<uint64_t> samples0(n), pictures0(n), missed0(n);
    for (int i = 0; i < n; ++i) {
        samples0[i] = graph.Samples(i);
        pictures0[i] = g_counts[i].pictures.load();
        missed0[i] = g_counts[i].missed.load();
    }
    const double wall0 = WallMs(), cpu0 = ProcessCpuMs();
    SleepMs(seconds * 1000);
    const double wall1 = WallMs(), cpu1 = ProcessCpuMs();
    result.seconds = (wall1 - wall0) / 1000;
    for (int i = 0; i < n; ++i) {
        result.delivered.push_back(double(graph.Samples(i) - samples0[i]) / result.seconds);
        result.received.push_back(double(g_counts[i].pictures.load() - pictures0[i]) / result.seconds);
        result.missed.push_back(g_counts[i].missed.load() - missed0[i]);
    }
    result.cpuPercent = 100 * (cpu1 - cpu0) / (wall1 - wall0);
    graph.Stop();
    for (int i = 0; i < n; ++i) g_counts[i].store = nullptr;
    result.ran = true;
    return result;
}

void Print(int n, int w, int h, const Result& r) {
    if (!r.ran) {
        std::printf("%d cameras %dx%d: did not run (a camera did not start or no picture arrived)\n", n, w, h);
        return;
    }
    std::printf("%d cameras %dx%d%s over %.1f s: process CPU %.1f %% (%.1f %% a slot; one core = 100 %%)  %s\n", n, w,
                h, g_texture ? " (grain)" : " (flat)", r.seconds, r.cpuPercent, r.cpuPercent / n, r.FullRate() ? "full rate: met" : "full rate: MISSED");
    for (int i = 0; i < n; ++i) {
        std::printf("  slot %2d: delivered %6.2f/s, camera pictures received %6.2f/s, missed %llu\n", i,
                    r.delivered[i], r.received[i], static_cast<unsigned long long>(r.missed[i]));
    }
}

}  // namespace

int main(int argc, char** argv) {
    int cameras = 10, w = 640, h = 480, stepUp = 0;
    double seconds = 20;
    bool usage = false;
    for (int i = 1; i < argc; ++i) {
        const bool more = i + 1 < argc;
        if (!std::strcmp(argv[i], "--cameras") && more) {
            cameras = std::atoi(argv[++i]);
        } else if (!std::strcmp(argv[i], "--size") && more) {
            usage |= std::sscanf(argv[++i], "%dx%d", &w, &h) != 2;
        } else if (!std::strcmp(argv[i], "--seconds") && more) {
            seconds = std::atof(argv[++i]);
        } else if (!std::strcmp(argv[i], "--plain")) {
            g_texture = false;
        } else if (!std::strcmp(argv[i], "--step-up") && more) {
            stepUp = std::atoi(argv[++i]);
        } else {
            usage = true;
        }
    }
    if (usage || cameras < 1 || cameras > kMaxSlots || stepUp < 0 || stepUp > kMaxSlots || seconds <= 0 ||
        seconds > 3000 || w < kCodeBits * kCodeBlock || h < 2 * kCodeBlock || w > 4096 || h > 4096) {
        std::fprintf(stderr, "usage: cameras_bench [--cameras N<=%d] [--size WxH] [--seconds S] [--step-up MAX] [--plain]\n",
                     kMaxSlots);
        return 2;
    }
    CBenchRegistry registry;
    if (!registry.Create()) return 1;
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    av_log_set_level(AV_LOG_QUIET);

    if (!stepUp) {
        Print(cameras, w, h, RunCameras(cameras, w, h, seconds));
    } else {
        int largest = 0;
        for (int n = 1; n <= stepUp; ++n) {
            const Result r = RunCameras(n, w, h, seconds);
            Print(n, w, h, r);
            std::fflush(stdout);
            if (!r.FullRate()) break;
            largest = n;
        }
        std::printf("largest number of %dx%d cameras all at full rate: %d%s\n", w, h, largest,
                    largest == stepUp ? " (the step-up's limit)" : "");
    }
    CoUninitialize();
    return 0;
}
