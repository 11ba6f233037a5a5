// The whole path's CPU against a bare FFmpeg loop on the same camera, in one
// run: for a 640x480 Motion-JPEG camera over HTTP and a 1280x720 H.264 camera
// over RTSP (both at 25 pictures a second, as large as real cameras' are),
// windows alternate between
//   the whole path: camera -> reader -> filter -> pin -> host graph -> sink,
//     the slot at the camera's own size and rate, and
//   a bare loop: read, decode (FFmpeg's default decoder settings, as the
//     reader's) and convert to BGR24 at the picture's size with one converter,
// each alone in the process. A window's figure is the process's CPU time per
// camera picture (the whole path's pictures counted by its status interface).
// Prints every window, the load average, and whole path / bare for each
// camera from the sums of its windows (target at most 1.15).
//
// Usage: path_bench [--seconds S] [--rounds N]
//   S seconds a window (default 10), N rounds of both (default 3); the order
//   of the two turns each round.
// Linux only.
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "bench/common/BareDecoder.h"
#include "bench/common/BenchSlot.h"
#include "bench/common/CameraStream.h"
#include "bench/graph/SlotGraph.h"
#include "camera/FFmpeg.h"
#include "tests/fixtures/FixtureProcess.h"

namespace {

constexpr double kFps = 25;
constexpr double kWarmUpMs = 1000;      // past a connection's first pictures
constexpr double kFirstPictureMs = 30000;

struct Window {
    bool ran = false;
    double cpuMs = 0;
    double wallMs = 0;
    uint64_t pictures = 0;
};

// Waits, bounded, until count() has grown by `pictures`.
template <class Count>
bool WaitForPictures(Count count, uint64_t pictures, double timeoutMs) {
    const uint64_t start = count();
    const double deadline = WallMs() + timeoutMs;
    while (count() - start < pictures) {
        if (WallMs() > deadline) return false;
        SleepMs(10);
    }
    return true;
}

// One window of `seconds` once `count` says pictures arrive.
template <class Count>
Window Measure(Count count, double seconds) {
    Window window;
    if (!WaitForPictures(count, 1, kFirstPictureMs)) return window;
    SleepMs(kWarmUpMs);
    const uint64_t pictures0 = count();
    const double wall0 = WallMs(), cpu0 = ProcessCpuMs();
    SleepMs(seconds * 1000);
    window.wallMs = WallMs() - wall0;
    window.cpuMs = ProcessCpuMs() - cpu0;
    window.pictures = count() - pictures0;
    window.ran = window.pictures > 0;
    return window;
}

Window WholePath(CSlotGraph& graph, double seconds) {
    auto pictures = [&graph] {
        OCULO_STATUS status = {};
        status.cbSize = sizeof(status);
        static_cast<IOculoStatus*>(graph.Pin(0))->GetStatus(&status);
        return uint64_t(status.ullPictures);
    };
    Window window;
    if (SUCCEEDED(graph.Run())) window = Measure(pictures, seconds);
    graph.Stop();
    return window;
}

Window BareLoop(const std::string& url, double seconds) {
    std::atomic<uint64_t> pictures{0};
    BareOptions options;
    options.bRtspOverTcp = true;  // as the camera serves
    CBareDecoder bare;
    bare.Start(url, options, [&pictures](const AVFrame&) {
        ++pictures;
        return true;
    });
    const Window window = Measure([&pictures] { return pictures.load(); }, seconds);
    bare.Stop();
    return window;
}

std::string LoadAverage() {
    std::ifstream in("/proc/loadavg");
    std::string one, five, fifteen;
    in >> one >> five >> fifteen;
    return one + " " + five + " " + fifteen;
}

void PrintWindow(const char* what, int round, const Window& w) {
    if (!w.ran) {
        std::printf("  round %d, %-10s: no picture\n", round, what);
        return;
    }
    std::printf("  round %d, %-10s: %6.2f pictures/s, CPU %5.1f %% of a core, %.3f ms a picture\n", round, what,
                double(w.pictures) * 1000 / w.wallMs, 100 * w.cpuMs / w.wallMs, w.cpuMs / double(w.pictures));
}

// Alternates the whole path and the bare loop on one camera.
void Compare(const char* name, const std::string& url, LONG width, LONG height, double seconds, int rounds) {
    BenchSlot slot;
    slot.url.assign(url.begin(), url.end());
    slot.w = width;
    slot.h = height;
    slot.fps = float(kFps);
    CSlotGraph graph;
    if (!graph.Make({slot})) {
        std::printf("%s: the graph could not be made\n", name);
        return;
    }
    std::printf("%s, %ldx%ld slot, load average %s\n", name, long(width), long(height), LoadAverage().c_str());
    std::fflush(stdout);
    double pathCpu = 0, bareCpu = 0;
    uint64_t pathPictures = 0, barePictures = 0;
    for (int round = 1; round <= rounds; ++round) {
        for (int turn = 0; turn < 2; ++turn) {
            const bool path = (turn == 0) == (round % 2 == 1);
            const Window w = path ? WholePath(graph, seconds) : BareLoop(url, seconds);
            PrintWindow(path ? "whole path" : "bare loop", round, w);
            std::fflush(stdout);
            if (!w.ran) return;
            (path ? pathCpu : bareCpu) += w.cpuMs;
            (path ? pathPictures : barePictures) += w.pictures;
        }
    }
    const double pathMs = pathCpu / double(pathPictures), bareMs = bareCpu / double(barePictures);
    std::printf("  %s: whole path %.3f ms a picture, bare loop %.3f ms: ratio %.3f (target <= 1.15: %s); load "
                "average now %s\n",
                name, pathMs, bareMs, pathMs / bareMs, pathMs / bareMs <= 1.15 ? "met" : "MISSED",
                LoadAverage().c_str());
}

}  // namespace

int main(int argc, char** argv) {
    double seconds = 10;
    int rounds = 3;
    bool usage = false;
    for (int i = 1; i < argc; ++i) {
        const bool more = i + 1 < argc;
        if (!std::strcmp(argv[i], "--seconds") && more) {
            seconds = std::atof(argv[++i]);
        } else if (!std::strcmp(argv[i], "--rounds") && more) {
            rounds = std::atoi(argv[++i]);
        } else {
            usage = true;
        }
    }
    if (usage || seconds <= 0 || seconds > 600 || rounds < 1 || rounds > 20) {
        std::fprintf(stderr, "usage: path_bench [--seconds S] [--rounds N]\n");
        return 2;
    }
    CBenchRun run;
    if (!run.Start()) return 1;
    const std::string lifetime = std::to_string(int(2 * rounds * (seconds + 5)) + 120);

    CFixtureProcess mjpeg;
    if (mjpeg.Start(MjpegServerCommand({"--code", "sequence", "--texture", "--width", "640", "--height", "480",
                                        "--fps", "25", "--lifetime", lifetime}),
                    60000)) {
        Compare("640x480 Motion-JPEG over HTTP", "http://127.0.0.1:" + std::to_string(mjpeg.Port()) + "/", 640,
                480, seconds, rounds);
        mjpeg.Kill();
    } else {
        std::printf("640x480 Motion-JPEG: the camera did not start\n");
    }

    const std::string file = TempFileName("path-bench") + ".h264";
    CFixtureProcess rtsp;
    if (!MakeCameraStream(file, 1280, 720, 2000)) {  // about 2 Mbit/s, as a 720p camera sends
        std::printf("1280x720 H.264: could not encode the stream\n");
    } else if (!rtsp.Start(RtspServerCommand({"--file", file, "--fps", "25", "--tcp-only", "--lifetime", lifetime}))) {
        std::printf("1280x720 H.264: the camera did not start\n");
    } else {
        Compare("1280x720 H.264 over RTSP", "rtsp://127.0.0.1:" + std::to_string(rtsp.Port()) + "/file", 1280, 720,
                seconds, rounds);
        rtsp.Kill();
    }
    std::remove(file.c_str());
    return 0;
}
