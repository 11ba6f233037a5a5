// oculo-grab: looks at a camera the way a capture application does, on every
// system: the system's graph around the camera's filter (GrabGraph.h) runs,
// a line a second tells what arrived, and at the end the last sample is
// written as an upright PNG snapshot. The command line and exit statuses are
// GrabOptions.h's (and --help's).
#include <chrono>
#include <cstdio>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "module/InstanceSettings.h"
#include "tools/oculo-grab/GrabGraph.h"
#include "tools/oculo-grab/GrabOptions.h"
#include "tools/oculo-grab/GrabWatch.h"
#include "tools/oculo-grab/ThrowawaySlot.h"
#include "tools/shared/ConsoleText.h"
#include "tools/shared/DeviceList.h"
#include "tools/shared/ModuleCalls.h"
#include "tools/shared/PngWriter.h"
#include "tools/shared/SlotEditor.h"

namespace {

// A filter that hangs in its stop must not keep the tool: past this the
// tool says so and ends.
const int kStopBoundSeconds = 15;

void Complain(const std::string& what) { std::fprintf(stderr, "oculo-grab: %s\n", what.c_str()); }

int List() {
    std::vector<CaptureDevice> devices;
    const HRESULT hr = ListVideoInputDevices(&devices);
    if (FAILED(hr)) {
        Complain("cannot list the video-input devices: " + ResultText(hr));
        return kGrabNoCamera;
    }
    if (devices.empty()) std::printf("no video-input device\n");
    for (const CaptureDevice& device : devices) {
        const int slot = DeviceSlot(device);
        std::printf("%-6s %-32s %s\n", slot >= 0 ? ("slot " + std::to_string(slot)).c_str() : "-",
                    ToNarrow(device.friendlyName.c_str()).c_str(), ToNarrow(device.clsid.c_str()).c_str());
    }
    return kGrabOk;
}

// Whether a slot can be watched, as oculo-config check judges it; says why not.
bool SlotUsable(const InstanceSettings& settings) {
    if (IsInstanceUsable(settings)) return true;
    const std::string reason = UnusableReason(settings);
    std::fprintf(stderr, "oculo-grab: slot %u is not usable (%s); see oculo-config show %u\n",
                 unsigned(settings.slot), reason.empty() ? "settings" : reason.c_str(),
                 unsigned(settings.slot));
    return false;
}

void PrintHeading(const GrabOptions& options, const InstanceSettings* pSettings) {
    if (pSettings == nullptr) {
        std::printf("oculo-grab: device \"%s\", for %d s\n", options.device.c_str(), options.seconds);
    } else {
        std::printf("oculo-grab: slot %u \"%s\", %s, %ldx%ld at %g fps, for %d s\n", unsigned(pSettings->slot),
                    ToNarrow(pSettings->name).c_str(), ShownAddress(pSettings->url).c_str(), long(pSettings->w),
                    long(pSettings->h), double(pSettings->fps), options.seconds);
    }
    std::fflush(stdout);
}

bool Snapshot(const CGrabGraph& graph, const CGrabWatch& watch, const std::string& path) {
    LONG width = 0, height = 0;
    const std::vector<BYTE> last = watch.LastSample();
    std::string error = "no sample arrived";
    if (!last.empty() && !graph.ConnectedSize(&width, &height)) error = "the connection has no picture format";
    // RGB24 from a capture pin is bottom-up BGR (a positive height), the
    // layout the writer turns upright.
    if (!last.empty() && height < 0) error = "the picture is top-down, which RGB24 from a capture pin is not";
    if (!last.empty() && width > 0 && height > 0 &&
        WriteStorePng(path.c_str(), last.data(), last.size(), width, height, &error)) {
        std::printf("snapshot: %s (%ldx%ld)\n", path.c_str(), long(width), long(height));
        return true;
    }
    Complain("no snapshot: " + error);
    return false;
}

// Stops the graph on a thread of its own, so that a stop that never returns
// is noticed: then the tool says so and ends at once.
void StopWithin(CGrabGraph* pGraph, int seconds) {
    std::promise<void> stopped;
    std::future<void> done = stopped.get_future();
    std::thread stopper([pGraph, &stopped] {
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        pGraph->Stop();
        CoUninitialize();
        stopped.set_value();
    });
    if (done.wait_for(std::chrono::seconds(seconds)) == std::future_status::ready) {
        stopper.join();
        return;
    }
    Complain("the graph did not stop within " + std::to_string(seconds) +
             " s (the filter is stuck); giving up");
    std::fflush(nullptr);
    CGrabGraph::Abandon(kGrabNoPicture);
}

// Builds, runs and watches the graph; the exit status.
int Watch(const GrabOptions& options) {
    CGrabWatch watch;
    CGrabGraph graph(&watch);
    std::string error;
    const int opened = graph.Open(options, &error);
    if (opened != kGrabOk) {
        Complain(error);
        return opened;
    }
    LONG width = 0, height = 0;
    if (graph.ConnectedSize(&width, &height)) {
        std::printf("path: %s (%ldx%ld RGB24)\n", CGrabGraph::Path(), long(width),
                    long(height < 0 ? -height : height));
    } else {
        std::printf("path: %s\n", CGrabGraph::Path());
    }
    std::fflush(stdout);
    const HRESULT hr = graph.Run();
    if (FAILED(hr)) {
        Complain("the graph does not run: " + ResultText(hr));
        return kGrabNoCamera;
    }
    const uint64_t changes = watch.PrintEachSecond(options.seconds);
    StopWithin(&graph, kStopBoundSeconds);
    const bool bSnapshot = Snapshot(graph, watch, options.png);
    graph.Close();
    const unsigned long long samples = watch.Read().cSamples;
    std::printf("%llu samples in %d s\n", samples, options.seconds);
    if (changes == 0) Complain("no picture arrived from the camera");
    return changes > 0 && bSnapshot ? kGrabOk : kGrabNoPicture;
}

int Grab(const GrabOptions& options, CThrowawaySlot* pThrowaway) {
    std::string error;
    const std::string module = options.module.empty() ? DefaultModulePath() : options.module;
    if (!options.url.empty() && !pThrowaway->Configure(options.url, module, &error)) {
        Complain(error);
        return kGrabNoCamera;
    }
    if (!options.device.empty()) {
        PrintHeading(options, nullptr);
        return Watch(options);
    }
    const InstanceSettings settings = LoadInstanceSettings(options.slot);
    if (!SlotUsable(settings)) return kGrabUnusableSlot;
    PrintHeading(options, &settings);
    return Watch(options);
}

}  // namespace

int main(int argc, char** argv) {
    QuietSystemErrors();
    GrabOptions options;
    std::string error;
    if (!ParseGrabArguments(argc, argv, &options, &error)) {
        Complain(error + " (see oculo-grab --help)");
        return kGrabUsage;
    }
    if (options.bHelp) {
        std::fputs(GrabUsage(DefaultModulePath()).c_str(), stdout);
        return kGrabOk;
    }
    CThrowawaySlot throwaway;
    if (!options.url.empty() && !throwaway.Create(&error)) {
        Complain(error);
        return kGrabUsage;
    }
    if (FAILED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) {
        Complain("COM does not initialise");
        return kGrabNoCamera;
    }
    const int status = options.bList ? List() : Grab(options, &throwaway);
    CoFreeUnusedLibraries();
    CoUninitialize();
    return status;
}
