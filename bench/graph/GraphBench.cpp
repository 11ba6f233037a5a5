// The slot's filter in the host graph, fed by loopback cameras, as a plain
// program that prints figures:
//  (1) samples delivered per second to a sink that never waits, against the
//      configured 25 fps (640 x 480, a live RTSP H.264 camera), and the
//      process's CPU over the run (user + system time over wall time);
//  (2) how long the graph's Stop takes in each camera state, worst and
//      median of --stops runs: connecting (a server that accepts and never
//      answers), streaming, silent (the camera stopped with SIGSTOP while
//      streaming), pausing between connections (nothing listens on the
//      port), and ten slots streaming at once in one graph (each on a
//      Motion-JPEG camera of its own, 640 x 480 at 25 pictures a second).
//      The graph's Run returns once the reader has its first picture or has
//      waited for it long enough; the stop follows about 300 ms later (or,
//      streaming, at the first camera picture in a sample). Its median is
//      printed too.
// Usage: graph_bench [--seconds N] [--stops N]
//   (length of the rate run, default 30; stops in each state, default 50)
// Linux only (getrusage, the fixtures' processes).
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "bench/common/BenchSlot.h"
#include "bench/common/QuietSink.h"
#include "bench/graph/SlotGraph.h"
#include "camera/FFmpeg.h"
#include "filter/OculoStream.h"
#include "host/HostGraph.h"
#include "host/RenderSink.h"
#include "platform/ComRef.h"
#include "tests/fixtures/FixtureProcess.h"

namespace {

constexpr int kTenSlots = 10;
int g_stops = 50;
constexpr double kStateWaitMs = 300;
constexpr double kPictureWaitMs = 15000;
constexpr double kStopTargetMs = 150;

std::wstring Url(const char* scheme, int port, const char* path) {
    const std::string s = std::string(scheme) + "://127.0.0.1:" + std::to_string(port) + path;
    return std::wstring(s.begin(), s.end());
}

// Slot 0's filter connected to a sink that never waits, in a graph of its
// own. The sink keeps no copy and no records; it only notes whether a sample
// carried a camera picture (anything but black).
class CBenchGraph {
public:
    bool Make(const BenchSlot& slot) {
        m_slot = slot;
        m_filter.Attach(CreateSlotFilter(slot));
        if (!m_filter || FAILED(CHostGraph::Create(m_graph.Put())) ||
            FAILED(CreateQuietSink(m_sink.Put()))) {
            return false;
        }
        m_pPin = static_cast<COculoStream*>(static_cast<COculo*>(m_filter.Get())->GetPin(0));
        m_sink->Recorder()->SetFrameCallback([this](const SinkFrame& frame) {
            for (LONG i = 0; i < frame.cbData && !m_bPicture.load(std::memory_order_relaxed); i += 997) {
                if (frame.pData[i] > 16) m_bPicture = true;
            }
        });
        return SUCCEEDED(m_graph->AddFilter(m_filter.Get(), L"Oculo")) &&
               SUCCEEDED(m_graph->AddFilter(m_sink.Get(), L"Sink")) &&
               SUCCEEDED(m_graph->ConnectDirect(static_cast<IPin*>(m_pPin), m_sink->InputPin(), nullptr));
    }
    ~CBenchGraph() {
        if (m_graph) m_graph->Teardown();
    }

    // Stopped only: the store goes black, so the next camera picture shows
    // in a sample (the reader is stopped, nothing else writes the store).
    HRESULT Run() {
        std::vector<BYTE> black(size_t(CFrameStore::StoreBytes(m_slot.w, m_slot.h)));
        m_pPin->OnFrame(black.data(), m_slot.w, m_slot.h);
        m_bPicture = false;
        return m_graph->Run();
    }
    // Waits, bounded, until a sample carried a camera picture.
    bool WaitForPicture() const {
        const double deadline = WallMs() + kPictureWaitMs;
        while (!m_bPicture.load() && WallMs() < deadline) SleepMs(5);
        return m_bPicture.load();
    }
    double TimedStopMs() {
        const double t0 = WallMs();
        m_graph->Stop();
        return WallMs() - t0;
    }
    uint64_t Samples() const { return m_sink->Recorder()->SampleCount(); }

private:
    BenchSlot m_slot;
    CComRef<IBaseFilter> m_filter;
    COculoStream* m_pPin = nullptr;  // the filter's, no reference
    CComRef<CHostGraph> m_graph;
    CComRef<CRenderSink> m_sink;
    std::atomic<bool> m_bPicture{false};
};

struct StopFigures {
    const char* state;
    double worstMs = -1;
    double medianMs = -1;
    double runMedianMs = -1;  // the graph's Run (it waits a while for the first picture)
    int reached = 0;          // runs in which the camera reached the state
    int runs = 0;
};

void Summarise(StopFigures& figures, std::vector<double> times, std::vector<double> runs) {
    figures.runs = int(times.size());
    if (times.empty()) return;
    std::sort(times.begin(), times.end());
    figures.worstMs = times.back();
    figures.medianMs = times[times.size() / 2];
    std::sort(runs.begin(), runs.end());
    figures.runMedianMs = runs[runs.size() / 2];
}

// g_stops runs of the graph: each Run is followed by `reach`, which brings the
// camera into the state and says whether it got there; then the graph's Stop
// is timed and `after` runs.
StopFigures TimeStops(
    const char* state, const std::wstring& url, const std::function<bool(CBenchGraph&)>& reach,
    const std::function<void()>& after = [] {}) {
    StopFigures figures{state};
    CBenchGraph graph;
    BenchSlot slot;
    slot.url = url;
    if (!graph.Make(slot)) return figures;
    std::vector<double> times, runs;
    for (int i = 0; i < g_stops; ++i) {
        const double runStart = WallMs();
        if (FAILED(graph.Run())) break;
        runs.push_back(WallMs() - runStart);
        if (reach(graph)) ++figures.reached;
        times.push_back(graph.TimedStopMs());
        after();
    }
    Summarise(figures, times, runs);
    return figures;
}

// Ten slots streaming in one graph: each run waits until every slot showed a
// camera picture, then the graph's Stop is timed.
StopFigures TimeTenSlotStops() {
    StopFigures figures{"10 slots streaming"};
    std::vector<std::unique_ptr<CFixtureProcess>> cameras;
    std::vector<BenchSlot> slots;
    for (int i = 0; i < kTenSlots; ++i) {
        cameras.push_back(std::make_unique<CFixtureProcess>());
        if (!cameras.back()->Start(MjpegServerCommand({"--width", "640", "--height", "480", "--fps", "25",
                                                       "--lifetime", std::to_string(60 + 30 * g_stops)}))) {
            return figures;
        }
        BenchSlot slot;
        slot.url = Url("http", cameras.back()->Port(), "/");
        slots.push_back(slot);
    }
    CSlotGraph graph;
    if (!graph.Make(slots)) return figures;
    std::vector<double> times, runs;
    for (int i = 0; i < g_stops; ++i) {
        const double runStart = WallMs();
        if (FAILED(graph.Run())) break;
        runs.push_back(WallMs() - runStart);
        if (graph.WaitForPictures(kPictureWaitMs)) ++figures.reached;
        const double t0 = WallMs();
        graph.Stop();
        times.push_back(WallMs() - t0);
    }
    Summarise(figures, times, runs);
    return figures;
}

std::vector<StopFigures> StopTimes() {
    std::vector<StopFigures> all;
    auto waitOnly = [](CBenchGraph&) {
        SleepMs(kStateWaitMs);
        return true;
    };

    // Connecting: every run makes a connection that is never answered.
    CFixtureProcess hang;
    const std::string log = TempFileName("graph-connects");
    if (hang.Start(MjpegServerCommand({"--hang", "--log", log}))) {
        int connections = 0;
        all.push_back(TimeStops("connecting", Url("http", hang.Port(), "/"), [&](CBenchGraph&) {
            SleepMs(kStateWaitMs);
            const int now = CountLines(log, "connect");
            const bool connected = now > connections;
            connections = now;
            return connected;
        }));
        hang.Kill();
        std::remove(log.c_str());
    }

    CFixtureProcess camera;
    if (camera.Start(RtspServerCommand({}))) {
        const std::wstring url = Url("rtsp", camera.Port(), "/h264");
        all.push_back(TimeStops("streaming", url, [](CBenchGraph& g) { return g.WaitForPicture(); }));
        // Silent: the camera drops off the network while the reader streams.
        all.push_back(TimeStops(
            "silent", url,
            [&](CBenchGraph& g) {
                const bool streaming = g.WaitForPicture();
                const bool frozen = camera.Freeze();
                SleepMs(kStateWaitMs);
                return streaming && frozen;
            },
            [&] { camera.Thaw(); }));
        camera.Kill();
    }
    // Streaming from a Motion-JPEG camera over HTTP (the ten-slot case's kind).
    CFixtureProcess http;
    if (http.Start(MjpegServerCommand({"--width", "640", "--height", "480", "--fps", "25", "--lifetime",
                                       std::to_string(60 + 10 * g_stops)}))) {
        all.push_back(TimeStops("streaming, HTTP MJPEG", Url("http", http.Port(), "/"),
                                [](CBenchGraph& g) { return g.WaitForPicture(); }));
        http.Kill();
    }

    // Refused at once, the reader waits before it tries again. Nothing shows
    // the pause from outside: these runs count as having reached it.
    all.push_back(TimeStops("pausing", Url("rtsp", FreeLoopbackPort(), "/h264"), waitOnly));
    all.push_back(TimeTenSlotStops());
    return all;
}

struct RateFigures {
    double rate = -1;  // samples per second
    double cpuPercent = -1;
    double seconds = 0;
};

// Samples and CPU are counted from the camera's first picture on, so the
// figures cover streaming, not the connection.
RateFigures DeliveredRate(double seconds) {
    RateFigures figures;
    CFixtureProcess camera;
    // The camera outlives the run.
    const std::string lifetime = std::to_string(int(seconds) + 60);
    if (!camera.Start(RtspServerCommand(
            {"--lifetime", lifetime, "--width", "640", "--height", "480", "--fps", "25"}))) {
        return figures;
    }
    CBenchGraph graph;
    BenchSlot slot;
    slot.url = Url("rtsp", camera.Port(), "/h264");
    if (!graph.Make(slot) || FAILED(graph.Run()) || !graph.WaitForPicture()) return figures;
    const uint64_t count0 = graph.Samples();
    const double wall0 = WallMs();
    const double cpu0 = ProcessCpuMs();
    SleepMs(seconds * 1000);
    const uint64_t count1 = graph.Samples();
    const double wall1 = WallMs();
    const double cpu1 = ProcessCpuMs();
    graph.TimedStopMs();
    figures.seconds = (wall1 - wall0) / 1000;
    figures.rate = double(count1 - count0) / figures.seconds;
    figures.cpuPercent = 100 * (cpu1 - cpu0) / (wall1 - wall0);
    return figures;
}

}  // namespace

int main(int argc, char** argv) {
    double seconds = 30;
    bool usage = false;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--seconds") && i + 1 < argc) {
            seconds = std::atof(argv[++i]);
        } else if (!std::strcmp(argv[i], "--stops") && i + 1 < argc) {
            g_stops = std::atoi(argv[++i]);
        } else {
            usage = true;
        }
    }
    if (usage || seconds <= 0 || seconds > 3000 || g_stops < 1 || g_stops > 1000) {
        std::fprintf(stderr,
                     "usage: graph_bench [--seconds N] [--stops N]   (0 < seconds <= 3000, default 30; "
                     "1 <= stops <= 1000, default 50)\n");
        return 2;
    }
    CBenchRun run;
    if (!run.Start()) return 1;

    const RateFigures rate = DeliveredRate(seconds);
    const std::vector<StopFigures> stops = StopTimes();

    std::printf("%-34s %16s   %s\n", "figure", "measured", "target");
    if (rate.rate < 0) {
        std::printf("delivered rate: skipped (the camera did not start or stream)\n");
    } else {
        const double ratio = rate.rate / 25.0;
        std::printf("%-34s %9.3f / 25    \n", "delivered rate (samples/s)", rate.rate);
        std::printf("%-34s %16.4f   within 1 %%: %s\n", "delivered / configured", ratio,
                    std::abs(ratio - 1) <= 0.01 ? "met" : "MISSED");
        std::printf("%-34s %15.1f%%   (one core = 100 %%, over %.1f s)\n", "process CPU (user+sys / wall)",
                    rate.cpuPercent, rate.seconds);
    }
    for (const StopFigures& s : stops) {
        if (s.worstMs < 0) {
            std::printf("Stop, %-28s skipped (no graph or no run)\n", s.state);
            continue;
        }
        const std::string name = std::string("Stop, ") + s.state;
        std::printf(
            "%-34s %7.1f / %5.1f ms   < %.0f ms: %s   (worst / median; state reached %d of %d; Run median %.0f ms)\n",
            name.c_str(), s.worstMs, s.medianMs, kStopTargetMs, s.worstMs < kStopTargetMs ? "met" : "MISSED",
            s.reached, s.runs, s.runMedianMs);
    }
    return 0;
}
