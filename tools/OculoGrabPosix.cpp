// oculo-grab: looks at one slot's camera the way a capture application does:
// creates the slot's filter through the COM runtime from the registered
// module, connects its pin to the host graph's rendering sink, runs the graph
// and, once a second, prints what the sink received. At the end it writes the
// last delivered sample as a PNG snapshot.
//   oculo-grab [--slot N | --url URL] [--seconds S] [--png FILE] [--module PATH]
// --url configures slot 0 in a throwaway registry (OCULO_REGISTRY pointed at
// a temporary file) and registers the module there, so the user's own
// settings and registrations are never touched.
// Exit status: 0 the camera's picture arrived, 1 it did not (or the snapshot
// could not be written), 2 bad command line or unusable slot, 4 the slot's
// filter cannot be created or connected.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "host/HostGraph.h"
#include "host/RenderSink.h"
#include "module/InstanceSettings.h"
#include "module/SlotClasses.h"
#include "tools/ConsoleText.h"
#include "tools/GrabWatch.h"
#include "tools/ModuleCalls.h"
#include "tools/PngWriter.h"
#include "tools/SlotEditor.h"

namespace {

const int kExitOk = 0;
const int kExitNoPicture = 1;
const int kExitUsage = 2;
const int kExitNoFilter = 4;
const int kDefaultSeconds = 5;
const int kMaxSeconds = 86400;
const DWORD kUrlSlot = 0;
const DWORD kUrlWidth = 640;
const DWORD kUrlHeight = 480;
const float kUrlFps = 25.0f;

struct GrabOptions {
    DWORD slot = 0;
    std::string url;  // set: a throwaway registry with this camera in kUrlSlot
    int seconds = kDefaultSeconds;
    std::string png = "oculo-snapshot.png";
    std::string module;
};

int Usage() {
    std::fprintf(stderr,
                 "usage: oculo-grab [--slot N | --url URL] [--seconds S] [--png FILE] [--module PATH]\n"
                 "  --slot N       slot N's registered filter (default: slot 0)\n"
                 "  --url URL      a camera address, shown at 640x480, 25 fps, through a throwaway\n"
                 "                 registry (your settings are not touched)\n"
                 "  --seconds S    how long to look (default 5)\n"
                 "  --png FILE     the snapshot (default oculo-snapshot.png)\n"
                 "  --module PATH  the module to register for --url (default %s)\n",
                 DefaultModulePath().c_str());
    return kExitUsage;
}

bool ParseSeconds(const char* text, int* seconds) {
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (end == text || *end != 0 || value < 1 || value > kMaxSeconds) return false;
    *seconds = int(value);
    return true;
}

bool ParseArguments(int argc, char** argv, GrabOptions* options, std::string* error) {
    const char* slot = nullptr;
    options->module = DefaultModulePath();
    for (int i = 1; i < argc; ++i) {
        const std::string flag = argv[i];
        if (i + 1 >= argc) {
            *error = "missing value after " + flag;
            return false;
        }
        const char* value = argv[++i];
        if (flag == "--slot") {
            slot = value;
        } else if (flag == "--url") {
            options->url = value;
        } else if (flag == "--seconds") {
            if (!ParseSeconds(value, &options->seconds)) {
                *error = std::string("--seconds wants a whole number from 1 to ") + std::to_string(kMaxSeconds);
                return false;
            }
        } else if (flag == "--png") {
            options->png = value;
        } else if (flag == "--module") {
            options->module = value;
        } else {
            *error = "unknown option " + flag;
            return false;
        }
    }
    if (slot != nullptr && !options->url.empty()) {
        *error = "give either --slot or --url, not both";
        return false;
    }
    if (!options->url.empty()) {
        const std::wstring wide = ToWide(options->url.c_str());
        if (wide.size() < kMinUrlChars || wide.size() > kMaxUrlChars) {
            *error = "the address must have 6 to 1023 characters";
            return false;
        }
        options->slot = kUrlSlot;
        return true;
    }
    if (slot != nullptr && !ParseSlotIndex(slot, &options->slot)) {
        *error = std::string("slot '") + slot + "' is out of range: slots are 0 to 9";
        return false;
    }
    return true;
}

// A registry of this run's own, removed when the run ends.
class CThrowawayRegistry {
public:
    ~CThrowawayRegistry() {
        std::error_code ignored;
        if (!m_folder.empty()) std::filesystem::remove_all(m_folder, ignored);
    }
    // Points this process's registry at a new empty file; before any registry use.
    bool Create(std::string* error) {
        char pattern[] = "/tmp/oculo-grab-XXXXXX";
        if (mkdtemp(pattern) == nullptr) {
            *error = "cannot make a temporary folder for the registry";
            return false;
        }
        m_folder = pattern;
        setenv("OCULO_REGISTRY", (m_folder + "/registry.reg").c_str(), 1);
        return true;
    }

private:
    std::string m_folder;
};

// Slot kUrlSlot of the throwaway registry shows url; the module registers it.
bool ConfigureUrlSlot(const GrabOptions& options, std::string* error) {
    const std::wstring key = SlotKeyPath(kUrlSlot);
    const std::wstring url = ToWide(options.url.c_str());
    const bool stored = RegWriteDword(key.c_str(), L"enable", 1) == kRegWriteOk &&
                        RegWriteString(key.c_str(), L"url", url.c_str()) == kRegWriteOk &&
                        RegWriteString(key.c_str(), L"name", L"oculo-grab") == kRegWriteOk &&
                        RegWriteDword(key.c_str(), L"w", kUrlWidth) == kRegWriteOk &&
                        RegWriteDword(key.c_str(), L"h", kUrlHeight) == kRegWriteOk &&
                        RegWriteFloat(key.c_str(), L"fps", kUrlFps) == kRegWriteOk;
    if (!stored) {
        *error = "cannot write the temporary registry";
        return false;
    }
    HRESULT hr = E_FAIL;
    if (!CallModuleEntry(options.module, "DllRegisterServer", &hr, error)) return false;
    if (FAILED(hr)) {
        *error = "registering the module failed: " + ResultText(hr);
        return false;
    }
    return true;
}

bool Snapshot(const CRenderSinkPin& pin, const CGrabWatch& watch, const std::string& path) {
    AM_MEDIA_TYPE type = {};
    std::vector<BYTE> format;
    const std::vector<BYTE> last = watch.LastSample();
    std::string error = "no sample arrived";
    if (!last.empty() && pin.GetConnectedType(&type, &format) && format.size() >= sizeof(VIDEOINFOHEADER)) {
        VIDEOINFOHEADER header;
        std::memcpy(&header, format.data(), sizeof(header));
        // The pin's type is bottom-up RGB24 (BGR bytes), the layout the writer takes.
        if (WriteStorePng(path.c_str(), last.data(), last.size(), header.bmiHeader.biWidth, header.bmiHeader.biHeight,
                          &error)) {
            std::printf("snapshot: %s (%ldx%ld)\n", path.c_str(), long(header.bmiHeader.biWidth),
                        long(header.bmiHeader.biHeight));
            return true;
        }
    }
    std::fprintf(stderr, "oculo-grab: no snapshot: %s\n", error.c_str());
    return false;
}

// Creates, connects and runs the slot's filter; the exit status.
int Grab(const GrabOptions& options, const InstanceSettings& settings) {
    IBaseFilter* pFilter = nullptr;
    HRESULT hr = CoCreateInstance(g_SlotClsids[options.slot], nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                  reinterpret_cast<void**>(&pFilter));
    if (FAILED(hr)) {
        std::fprintf(stderr, "oculo-grab: cannot create slot %u's filter: %s%s\n", unsigned(options.slot),
                     ResultText(hr).c_str(),
                     hr == REGDB_E_CLASSNOTREG ? "; register the module first: oculo-config register" : "");
        return kExitNoFilter;
    }
    CHostGraph* pGraph = nullptr;
    CRenderSink* pSink = nullptr;
    IPin* pOut = nullptr;
    CGrabWatch watch;
    int status = kExitNoFilter;
    if (FAILED(hr = CHostGraph::Create(&pGraph)) || FAILED(hr = CRenderSink::Create(&pSink))) {
        std::fprintf(stderr, "oculo-grab: cannot make the host graph: %s\n", ResultText(hr).c_str());
    } else if (FAILED(hr = pGraph->AddFilter(pFilter, settings.name)) ||
               FAILED(hr = pGraph->AddFilter(pSink, L"Sink")) || (pOut = FindOutputPin(pFilter)) == nullptr ||
               FAILED(hr = pGraph->ConnectDirect(pOut, pSink->InputPin(), nullptr))) {
        std::fprintf(stderr, "oculo-grab: cannot connect the filter to the sink: %s\n", ResultText(hr).c_str());
    } else {
        pSink->Recorder()->SetFrameCallback([&watch](const SinkFrame& frame) {
            watch.OnSample(frame.pData, frame.cbData,
                           frame.pInfo->hrTime == S_OK || frame.pInfo->hrTime == VFW_S_NO_STOP_TIME,
                           frame.pInfo->rtStart);
        });
        if (FAILED(hr = pGraph->Run())) {
            std::fprintf(stderr, "oculo-grab: the graph does not run: %s\n", ResultText(hr).c_str());
        } else {
            const uint64_t changes = watch.PrintEachSecond(options.seconds);
            pGraph->Stop();
            const bool snapshot = Snapshot(*pSink->Pin(), watch, options.png);
            const CGrabWatch::Snapshot total = watch.Read();
            std::printf("%llu samples in %d s\n", static_cast<unsigned long long>(total.cSamples), options.seconds);
            if (changes == 0) std::fprintf(stderr, "oculo-grab: no picture arrived from the camera\n");
            status = changes > 0 && snapshot ? kExitOk : kExitNoPicture;
        }
    }
    if (pOut != nullptr) pOut->Release();
    if (pGraph != nullptr) {
        pGraph->Teardown();  // stops, disconnects and releases the member filters
        pGraph->Release();
    }
    if (pSink != nullptr) pSink->Release();
    pFilter->Release();
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    GrabOptions options;
    std::string error;
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) return Usage();
    if (!ParseArguments(argc, argv, &options, &error)) {
        std::fprintf(stderr, "oculo-grab: %s\n", error.c_str());
        return kExitUsage;
    }
    CThrowawayRegistry registry;
    if (!options.url.empty() && !registry.Create(&error)) {
        std::fprintf(stderr, "oculo-grab: %s\n", error.c_str());
        return kExitUsage;
    }
    if (FAILED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) {
        std::fprintf(stderr, "oculo-grab: COM does not initialise\n");
        return kExitNoFilter;
    }
    int status = kExitUsage;
    if (!options.url.empty() && !ConfigureUrlSlot(options, &error)) {
        std::fprintf(stderr, "oculo-grab: %s\n", error.c_str());
        status = kExitNoFilter;
    } else {
        const InstanceSettings settings = LoadInstanceSettings(options.slot);
        if (!IsInstanceUsable(settings)) {
            const std::string reason = UnusableReason(settings);
            std::fprintf(stderr, "oculo-grab: slot %u is not usable (%s); see oculo-config show %u\n",
                         unsigned(options.slot), reason.empty() ? "settings" : reason.c_str(), unsigned(options.slot));
        } else {
            std::printf("oculo-grab: slot %u \"%s\", %s, %ldx%ld at %g fps, for %d s\n", unsigned(options.slot),
                        ToNarrow(settings.name).c_str(), ToNarrow(settings.url).c_str(), long(settings.w),
                        long(settings.h), double(settings.fps), options.seconds);
            std::printf("path: camera -> reader -> filter -> pin -> graph -> snapshot\n");
            std::fflush(stdout);
            status = Grab(options, settings);
        }
    }
    CoFreeUnusedLibraries();
    CoUninitialize();
    return status;
}
