// oculo-grab: looks at a camera the way a capture application does, on every
// system: the system's graph around the camera's filter (GrabGraph.h) runs,
// a line a second tells what arrived and what the camera says it did, and at
// the end the last sample is written as an upright PNG snapshot and the
// verdict given (GrabWatch.h). The command line and exit statuses are
// GrabOptions.h's (and --help's).
#include <chrono>
#include <cstdio>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "module/InstanceSettings.h"
#include "tools/oculo-grab/GrabGraph.h"
#include "tools/oculo-grab/GrabInterrupt.h"
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

// Standard output first: a complaint comes after the lines before it, also
// where both go to one file.
void Complain(const std::string& what) {
    std::fflush(stdout);
    std::fprintf(stderr, "oculo-grab: %s\n", what.c_str());
}

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
    const std::string reason(UnusableReason(settings));
    if (reason.empty()) return true;
    std::fprintf(stderr, "oculo-grab: slot %u is not usable (%s); see oculo-config show %u\n",
                 unsigned(settings.slot), reason.c_str(), unsigned(settings.slot));
    return false;
}

void PrintHeading(const GrabOptions& options, const InstanceSettings* pSettings) {
    const std::string span = options.bWatch ? "until Ctrl+C" : "for " + std::to_string(options.seconds) + " s";
    if (pSettings == nullptr) {
        std::printf("oculo-grab: device \"%s\", %s\n", options.device.c_str(), span.c_str());
    } else {
        std::printf("oculo-grab: slot %u \"%s\", %s, %ldx%ld at %g fps, %s\n", unsigned(pSettings->slot),
                    ToNarrow(pSettings->name).c_str(), ShownAddress(pSettings->url).c_str(), long(pSettings->w),
                    long(pSettings->h), double(pSettings->fps), span.c_str());
    }
    std::fflush(stdout);
}

// Writes the last sample; *outcome says where, or why it could not.
bool Snapshot(const CGrabGraph& graph, const CGrabWatch& watch, const std::string& path, std::string* outcome) {
    LONG width = 0, height = 0;
    const std::vector<BYTE> last = watch.LastSample();
    *outcome = "no sample arrived";
    if (!last.empty() && !graph.ConnectedSize(&width, &height)) *outcome = "the connection has no picture format";
    // RGB24 from a capture pin is bottom-up BGR (a positive height), the
    // layout the writer turns upright.
    if (!last.empty() && height < 0) *outcome = "the picture is top-down, which RGB24 from a capture pin is not";
    if (!last.empty() && width > 0 && height > 0 &&
        WriteStorePng(path.c_str(), last.data(), last.size(), width, height, outcome)) {
        *outcome = "snapshot: " + path + " (" + std::to_string(width) + "x" + std::to_string(height) + ")";
        return true;
    }
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
    const GrabVerdict verdict =
        watch.PrintEachSecond(options.bWatch ? 0 : options.seconds,
                              [&graph](OCULO_STATUS* pStatus) { return graph.ReadStatus(pStatus); }, Interrupted);
    StopWithin(&graph, kStopBoundSeconds);
    std::string snapshot;
    const bool bSnapshot = Snapshot(graph, watch, options.png, &snapshot);
    graph.Close();
    // The reason the run failed comes last.
    std::printf("%llu samples in %.1f s%s\n", static_cast<unsigned long long>(watch.Read().cSamples),
                verdict.seconds, verdict.bStopped ? " (ended by Ctrl+C)" : "");
    if (bSnapshot) {
        std::printf("%s\n", snapshot.c_str());
    } else {
        Complain("no snapshot: " + snapshot);
    }
    if (!verdict.bPictures) Complain("no picture from the camera: " + verdict.reason);
    std::fflush(stdout);
    return verdict.bPictures && bSnapshot ? kGrabOk : kGrabNoPicture;
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
    if (!options.bList) CatchInterrupt();
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
