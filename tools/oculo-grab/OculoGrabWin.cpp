// oculo-grab (Windows): looks at a video-input device the way a capture
// application does, through the system's own DirectShow: the system device
// enumerator finds it, ICaptureGraphBuilder2 connects its capture pin to a
// Sample Grabber taking RGB24 and a Null Renderer, the graph runs, and once
// a second a line tells what arrived. At the end the last sample is written
// as an upright PNG snapshot.
//   oculo-grab --list
//   oculo-grab [--slot N | --device NAME] [--seconds S] [--png FILE]
// Exit status: 0 the camera's picture arrived, 1 it did not (or the snapshot
// could not be written), 2 bad command line, 4 the device cannot be found,
// created or connected.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "module/SlotClasses.h"
#include "tools/oculo-grab/GrabWatch.h"
#include "tools/shared/CaptureGraph.h"
#include "tools/shared/ConsoleText.h"
#include "tools/shared/DeviceList.h"
#include "tools/shared/ModuleCalls.h"
#include "tools/shared/PngWriter.h"
#include "tools/shared/SlotEditor.h"

namespace {

const int kExitOk = 0;
const int kExitNoPicture = 1;
const int kExitUsage = 2;
const int kExitNoDevice = 4;
const int kDefaultSeconds = 5;
const int kMaxSeconds = 86400;
// A filter that hangs in its stop must not keep the tool: past this the
// tool says so and ends.
const int kStopBoundSeconds = 15;

struct GrabOptions {
    bool bList = false;
    DWORD slot = 0;
    std::string device;  // set: the device of this name instead of a slot
    int seconds = kDefaultSeconds;
    std::string png = "oculo-snapshot.png";
};

int Usage() {
    std::fprintf(stderr,
                 "usage: oculo-grab --list\n"
                 "       oculo-grab [--slot N | --device NAME] [--seconds S] [--png FILE]\n"
                 "  --list         every video-input device (Oculo's with their slot)\n"
                 "  --slot N       slot N's device (default: slot 0)\n"
                 "  --device NAME  the device of this name, any camera\n"
                 "  --seconds S    how long to look (default 5)\n"
                 "  --png FILE     the snapshot (default oculo-snapshot.png)\n");
    return kExitUsage;
}

bool ParseArguments(int argc, char** argv, GrabOptions* options, std::string* error) {
    const char* slot = nullptr;
    for (int i = 1; i < argc; ++i) {
        const std::string flag = argv[i];
        if (flag == "--list") {
            options->bList = true;
            continue;
        }
        if (i + 1 >= argc) {
            *error = "missing value after " + flag;
            return false;
        }
        const char* value = argv[++i];
        if (flag == "--slot") {
            slot = value;
        } else if (flag == "--device") {
            options->device = value;
        } else if (flag == "--seconds") {
            char* end = nullptr;
            const long seconds = std::strtol(value, &end, 10);
            if (end == value || *end != 0 || seconds < 1 || seconds > kMaxSeconds) {
                *error = "--seconds wants a whole number from 1 to " + std::to_string(kMaxSeconds);
                return false;
            }
            options->seconds = int(seconds);
        } else if (flag == "--png") {
            options->png = value;
        } else {
            *error = "unknown option " + flag;
            return false;
        }
    }
    if (options->bList && (slot != nullptr || !options->device.empty())) {
        *error = "--list stands alone";
        return false;
    }
    if (slot != nullptr && !options->device.empty()) {
        *error = "give either --slot or --device, not both";
        return false;
    }
    if (slot != nullptr && !ParseSlotIndex(slot, &options->slot)) {
        *error = std::string("slot '") + slot + "' is out of range: slots are 0 to 9";
        return false;
    }
    return true;
}

int List() {
    std::vector<CaptureDevice> devices;
    const HRESULT hr = ListVideoInputDevices(&devices);
    if (FAILED(hr)) {
        std::fprintf(stderr, "oculo-grab: cannot list the video-input devices: %s\n", ResultText(hr).c_str());
        return kExitNoDevice;
    }
    if (devices.empty()) std::printf("no video-input device\n");
    for (const CaptureDevice& device : devices) {
        const int slot = DeviceSlot(device);
        std::printf("%-6s %-32s %s\n", slot >= 0 ? ("slot " + std::to_string(slot)).c_str() : "-",
                    ToNarrow(device.friendlyName.c_str()).c_str(), ToNarrow(device.clsid.c_str()).c_str());
    }
    return kExitOk;
}

// Passes each sample to the watch; called on the source's streaming thread.
// Lives on the stack of Grab, which outlives the graph.
class CGrabberCallback final : public CGrabberCallbackBase {
public:
    explicit CGrabberCallback(CGrabWatch* pWatch) : m_pWatch(pWatch) {}
    STDMETHODIMP SampleCB(double, IMediaSample* pSample) override {
        BYTE* pData = nullptr;
        REFERENCE_TIME rtStart = 0, rtStop = 0;
        const bool bTimed = SUCCEEDED(pSample->GetTime(&rtStart, &rtStop));
        if (SUCCEEDED(pSample->GetPointer(&pData)) && pData != nullptr) {
            m_pWatch->OnSample(pData, pSample->GetActualDataLength(), bTimed, rtStart);
        }
        return S_OK;
    }

private:
    CGrabWatch* m_pWatch;
};

bool Snapshot(const CCaptureGraph& graph, const CGrabWatch& watch, const std::string& path) {
    LONG width = 0, height = 0;
    const std::vector<BYTE> last = watch.LastSample();
    std::string error = "no sample arrived";
    if (!last.empty() && !graph.ConnectedSize(&width, &height)) error = "the connection has no picture format";
    // RGB24 from the grabber is bottom-up BGR when the height is positive,
    // the layout the writer turns upright.
    if (!last.empty() && height < 0) error = "the picture is top-down, which RGB24 from a capture pin is not";
    if (!last.empty() && width > 0 && height > 0 &&
        WriteStorePng(path.c_str(), last.data(), last.size(), width, height, &error)) {
        std::printf("snapshot: %s (%ldx%ld)\n", path.c_str(), long(width), long(height));
        return true;
    }
    std::fprintf(stderr, "oculo-grab: no snapshot: %s\n", error.c_str());
    return false;
}

// Stops the graph on a thread of its own (COM is multithreaded here), so
// that a stop that never returns is noticed; false when it did not return in time.
bool StopWithin(CCaptureGraph* pGraph, int seconds) {
    auto stopped = std::make_shared<std::promise<void>>();
    std::future<void> done = stopped->get_future();
    std::thread([pGraph, stopped] {
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        pGraph->Stop();
        CoUninitialize();
        stopped->set_value();
    }).detach();
    return done.wait_for(std::chrono::seconds(seconds)) == std::future_status::ready;
}

int Grab(const GrabOptions& options) {
    IBaseFilter* pSource = nullptr;
    const std::string what =
        options.device.empty() ? "slot " + std::to_string(options.slot) : "device \"" + options.device + "\"";
    HRESULT hr = options.device.empty() ? BindSlotDevice(options.slot, &pSource)
                                        : BindNamedDevice(ToWide(options.device.c_str()), &pSource);
    if (hr == VFW_E_NOT_FOUND) {
        std::fprintf(stderr, "oculo-grab: no video-input device for %s%s (see oculo-grab --list)\n", what.c_str(),
                     options.device.empty() ? "; is the slot usable and the module registered? (oculo-config check, "
                                              "oculo-config register)"
                                            : "");
        return kExitNoDevice;
    }
    if (FAILED(hr)) {
        std::fprintf(stderr, "oculo-grab: cannot create the filter of %s: %s\n", what.c_str(), ResultText(hr).c_str());
        return kExitNoDevice;
    }
    CGrabWatch watch;
    CGrabberCallback callback(&watch);
    CCaptureGraph graph;
    hr = graph.Open(pSource, &callback);
    pSource->Release();
    if (FAILED(hr)) {
        std::fprintf(stderr, "oculo-grab: cannot connect %s to an RGB24 sink: %s\n", what.c_str(),
                     ResultText(hr).c_str());
        return kExitNoDevice;
    }
    LONG width = 0, height = 0;
    graph.ConnectedSize(&width, &height);
    std::printf("oculo-grab: %s, %ldx%ld RGB24, for %d s\n", what.c_str(), long(width), long(height),
                options.seconds);
    std::fflush(stdout);
    if (FAILED(hr = graph.Run())) {
        std::fprintf(stderr, "oculo-grab: the graph does not run: %s\n", ResultText(hr).c_str());
        return kExitNoDevice;
    }
    const uint64_t changes = watch.PrintEachSecond(options.seconds);
    if (!StopWithin(&graph, kStopBoundSeconds)) {
        std::fprintf(stderr, "oculo-grab: the graph did not stop within %d s (the filter is stuck); giving up\n",
                     kStopBoundSeconds);
        std::fflush(nullptr);
        TerminateProcess(GetCurrentProcess(), kExitNoPicture);
    }
    const bool bSnapshot = Snapshot(graph, watch, options.png);
    graph.Close();
    std::printf("%llu samples in %d s\n", static_cast<unsigned long long>(watch.Read().cSamples), options.seconds);
    if (changes == 0) std::fprintf(stderr, "oculo-grab: no picture arrived from the camera\n");
    return changes > 0 && bSnapshot ? kExitOk : kExitNoPicture;
}

}  // namespace

int main(int argc, char** argv) {
    QuietSystemErrors();
    GrabOptions options;
    std::string error;
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) return Usage();
    if (!ParseArguments(argc, argv, &options, &error)) {
        std::fprintf(stderr, "oculo-grab: %s\n", error.c_str());
        return kExitUsage;
    }
    if (FAILED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) {
        std::fprintf(stderr, "oculo-grab: COM does not initialise\n");
        return kExitNoDevice;
    }
    const int status = options.bList ? List() : Grab(options);
    CoFreeUnusedLibraries();
    CoUninitialize();
    return status;
}
