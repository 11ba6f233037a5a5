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
//                      [--status-reader]
//   default: 10 cameras at 640x480, 20 s. --step-up MAX: from 1 camera up to
//   MAX, until a step misses full rate; prints the largest that made it.
//   --status-reader: four windows of S seconds in one run, the second and the
//   fourth with a thread that reads every slot's status (IOculoStatus) a
//   hundred times a second, a hundred times what a property page or
//   oculo-grab reads; the rates and CPU with and without it.
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
#include <thread>
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
    double statusReads = 0;       // a second, all slots, with a status reader
    double readerCpuPercent = 0;  // the status reader's own thread
    bool FullRate() const {
        if (!ran) return false;
        for (size_t i = 0; i < delivered.size(); ++i) {
            if (std::abs(delivered[i] / kFps - 1) > 0.01 || std::abs(received[i] / kFps - 1) > 0.01 || missed[i]) {
                return false;
            }
        }
        return true;
    }
    double MeanDelivered() const {
        double sum = 0;
        for (double d : delivered) sum += d;
        return delivered.empty() ? 0 : sum / double(delivered.size());
    }
};

bool g_texture = true;

// Reads every slot's status through its pin's IOculoStatus, from a thread of
// its own, a pass over all slots every 10 ms.
class CStatusReader {
public:
    explicit CStatusReader(const CSlotGraph& graph) : m_graph(graph) {}
    void Start() {
        m_bStop = false;
        m_thread = std::thread([this] {
            const double cpu0 = ThreadCpuMs();
            while (!m_bStop.load()) {
                for (size_t i = 0; i < m_graph.Size(); ++i) {
                    OCULO_STATUS status = {};
                    status.cbSize = sizeof(status);
                    if (static_cast<IOculoStatus*>(m_graph.Pin(i))->GetStatus(&status) == S_OK) ++m_reads;
                }
                SleepMs(10);
            }
            m_cpuMs = ThreadCpuMs() - cpu0;
        });
    }
    void Stop() {
        m_bStop = true;
        if (m_thread.joinable()) m_thread.join();
    }
    uint64_t Reads() const { return m_reads.load(); }
    double CpuMs() const { return m_cpuMs; }  // of the last run, after Stop

private:
    const CSlotGraph& m_graph;
    std::thread m_thread;
    std::atomic<bool> m_bStop{false};
    std::atomic<uint64_t> m_reads{0};
    double m_cpuMs = 0;
};

// One window of `seconds` on a running graph, with the status reader when given.
Result Measure(const CSlotGraph& graph, double seconds, CStatusReader* reader) {
    Result result;
    const size_t n = graph.Size();
    std::vector<uint64_t> samples0(n), pictures0(n), missed0(n);
    for (size_t i = 0; i < n; ++i) {
        samples0[i] = graph.Samples(i);
        pictures0[i] = g_counts[i].pictures.load();
        missed0[i] = g_counts[i].missed.load();
    }
    const uint64_t reads0 = reader ? reader->Reads() : 0;
    if (reader) reader->Start();
    const double wall0 = WallMs(), cpu0 = ProcessCpuMs();
    SleepMs(seconds * 1000);
    const double wall1 = WallMs(), cpu1 = ProcessCpuMs();
    if (reader) {
        reader->Stop();
        result.statusReads = double(reader->Reads() - reads0) / ((wall1 - wall0) / 1000);
        result.readerCpuPercent = 100 * reader->CpuMs() / (wall1 - wall0);
    }
    result.seconds = (wall1 - wall0) / 1000;
    for (size_t i = 0; i < n; ++i) {
        result.delivered.push_back(double(graph.Samples(i) - samples0[i]) / result.seconds);
        result.received.push_back(double(g_counts[i].pictures.load() - pictures0[i]) / result.seconds);
        result.missed.push_back(g_counts[i].missed.load() - missed0[i]);
    }
    result.cpuPercent = 100 * (cpu1 - cpu0) / (wall1 - wall0);
    result.ran = true;
    return result;
}

// n cameras into one graph; one window, or with `statusReader` four windows,
// the second and fourth with the status reader. Empty when a camera did not
// start or no picture arrived.
std::vector<Result> RunCameras(int n, int w, int h, double seconds, bool statusReader) {
    std::vector<std::unique_ptr<CFixtureProcess>> cameras;
    std::vector<BenchSlot> slots;
    const int windows = statusReader ? 4 : 1;
    const std::string lifetime = std::to_string(int(seconds * windows) + 120);
    for (int i = 0; i < n; ++i) {
        cameras.push_back(std::make_unique<CFixtureProcess>());
        std::vector<std::string> args{"--code",   "sequence",        "--code-pictures", std::to_string(kCodePictures),
                                      "--width",  std::to_string(w), "--height",        std::to_string(h),
                                      "--fps",    "25",              "--lifetime",      lifetime};
        if (g_texture) args.push_back("--texture");
        if (!cameras.back()->Start(MjpegServerCommand(args), 60000)) {
            std::fprintf(stderr, "camera %d did not start\n", i);
            return {};
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
    if (!graph.Make(slots)) return {};
    for (int i = 0; i < n; ++i) {
        PictureCount& c = g_counts[i];
        c.store = nullptr;
        c.cameraW = w;
        c.cameraH = h;
        c.last = -1;
        c.store = &graph.Pin(i)->Store();
    }
    std::vector<Result> results;
    if (SUCCEEDED(graph.Run()) && graph.WaitForPictures(30000)) {
        SleepMs(1000);  // past the connections' first pictures
        CStatusReader reader(graph);
        for (int i = 0; i < windows; ++i) results.push_back(Measure(graph, seconds, i % 2 ? &reader : nullptr));
    }
    graph.Stop();
    for (int i = 0; i < n; ++i) g_counts[i].store = nullptr;
    return results;
}

void Print(int n, int w, int h, const std::vector<Result>& results) {
    if (results.empty()) {
        std::printf("%d cameras %dx%d: did not run (a camera did not start or no picture arrived)\n", n, w, h);
        return;
    }
    const Result& r = results.front();
    std::printf("%d cameras %dx%d%s over %.1f s: process CPU %.1f %% (%.1f %% a slot; one core = 100 %%)  %s\n", n, w,
                h, g_texture ? " (grain)" : " (flat)", r.seconds, r.cpuPercent, r.cpuPercent / n,
                r.FullRate() ? "full rate: met" : "full rate: MISSED");
    for (int i = 0; i < n; ++i) {
        std::printf("  slot %2d: delivered %6.2f/s, camera pictures received %6.2f/s, missed %llu\n", i,
                    r.delivered[i], r.received[i], static_cast<unsigned long long>(r.missed[i]));
    }
}

// The status reader's windows against the others, same run.
void PrintStatusReader(int n, int w, int h, const std::vector<Result>& results) {
    if (results.size() != 4) {
        Print(n, w, h, {});
        return;
    }
    double cpu[2] = {}, delivered[2] = {}, reads = 0, readerCpu = 0;
    for (size_t i = 0; i < results.size(); ++i) {
        const Result& r = results[i];
        std::printf("window %zu, %s: process CPU %.2f %% a slot, delivered %.2f/s a slot, %s", i + 1,
                    i % 2 ? "status read" : "no status read", r.cpuPercent / n, r.MeanDelivered(),
                    r.FullRate() ? "full rate: met" : "full rate: MISSED");
        if (i % 2) std::printf(", %.0f reads/s, the reader's thread %.2f %% of a core", r.statusReads, r.readerCpuPercent);
        std::printf("\n");
        cpu[i % 2] += r.cpuPercent / n / 2;
        delivered[i % 2] += r.MeanDelivered() / 2;
        if (i % 2) {
            reads += r.statusReads / 2;
            readerCpu += r.readerCpuPercent / 2;
        }
    }
    const double readerPerSlot = readerCpu / n;
    std::printf("%d cameras %dx%d, CPU a slot: %.2f %% without status reads, %.2f %% with (%+.2f: the reading "
                "thread %.2f, the slots %+.2f); delivered %.2f/s and %.2f/s a slot; %.0f status reads a second\n",
                n, w, h, cpu[0], cpu[1], cpu[1] - cpu[0], readerPerSlot, cpu[1] - cpu[0] - readerPerSlot,
                delivered[0], delivered[1], reads);
}

}  // namespace

int main(int argc, char** argv) {
    int cameras = 10, w = 640, h = 480, stepUp = 0;
    double seconds = 20;
    bool usage = false, statusReader = false;
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
        } else if (!std::strcmp(argv[i], "--status-reader")) {
            statusReader = true;
        } else {
            usage = true;
        }
    }
    if (usage || cameras < 1 || cameras > kMaxSlots || stepUp < 0 || stepUp > kMaxSlots || seconds <= 0 ||
        seconds > 3000 || w < kCodeBits * kCodeBlock || h < 2 * kCodeBlock || w > 4096 || h > 4096 ||
        (stepUp && statusReader)) {
        std::fprintf(stderr,
                     "usage: cameras_bench [--cameras N<=%d] [--size WxH] [--seconds S] [--step-up MAX | "
                     "--status-reader] [--plain]\n",
                     kMaxSlots);
        return 2;
    }
    CBenchRun run;
    if (!run.Start()) return 1;

    if (statusReader) {
        PrintStatusReader(cameras, w, h, RunCameras(cameras, w, h, seconds, true));
    } else if (!stepUp) {
        Print(cameras, w, h, RunCameras(cameras, w, h, seconds, false));
    } else {
        int largest = 0;
        for (int n = 1; n <= stepUp; ++n) {
            const std::vector<Result> r = RunCameras(n, w, h, seconds, false);
            Print(n, w, h, r);
            std::fflush(stdout);
            if (r.empty() || !r.front().FullRate()) break;
            largest = n;
        }
        std::printf("largest number of %dx%d cameras all at full rate: %d%s\n", w, h, largest,
                    largest == stepUp ? " (the step-up's limit)" : "");
    }
    return 0;
}
