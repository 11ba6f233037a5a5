// The slot's filter in a host's graph, created from the registered module,
// against a camera served on loopback: what arrives, how fast the graph
// stops, that the module can be unloaded after every use, and every reason a
// camera can give as a host reads it through the status interface.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "module/SlotClasses.h"
#include "platform/ComRef.h"
#include "tests/HangGuard.h"
#include "tests/SizedStatus.h"
#include "tests/fixtures/FixtureProcess.h"
#include "tests/module/ModuleTestSupport.h"
#include "tests/module/StreamGraph.h"
// After the platform: the status header needs its COM types.
#include "include/OculoStatus.h"

namespace {

const DWORD kSlot = 3;
const LONG kWidth = 160;
const LONG kHeight = 120;
const REFERENCE_TIME kFrame = 1000000;  // 10 fps
const LONG kShiftMs = -200;
const DWORD kStopBoundMs = 1500;

struct Bgr {
    int b, g, r;
};

// The picture's pixel at column x, row y from the top; the sample is bottom-up.
Bgr PixelAt(const std::vector<BYTE>& frame, LONG x, LONG y) {
    const size_t stride = (size_t(kWidth) * 3 + 3) & ~size_t(3);
    const size_t at = size_t(kHeight - 1 - y) * stride + size_t(x) * 3;
    if (at + 3 > frame.size()) return {-1, -1, -1};
    return {frame[at], frame[at + 1], frame[at + 2]};
}

bool Near(int value, int target) { return value >= target - 60 && value <= target + 60; }
bool IsColour(Bgr p, int r, int g, int b) { return Near(p.r, r) && Near(p.g, g) && Near(p.b, b); }

// What a client reads through the status interface of a filter or pin.
HRESULT ReadStatus(IUnknown* pObject, OCULO_STATUS* pStatus) {
    IOculoStatus* pInterface = nullptr;
    HRESULT hr = pObject->QueryInterface(IID_IOculoStatus, reinterpret_cast<void**>(&pInterface));
    if (FAILED(hr)) return hr;
    *pStatus = SizedStatus();
    hr = pInterface->GetStatus(pStatus);
    pInterface->Release();
    return hr;
}

DWORD MillisecondsOf(const std::function<void()>& action) {
    const auto begin = std::chrono::steady_clock::now();
    action();
    return DWORD(std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - begin).count());
}

class ModuleStream : public ModuleRegistryTest {
protected:
    explicit ModuleStream(DWORD apartment = COINIT_APARTMENTTHREADED) : m_dwApartment(apartment) {}
    void SetUp() override {
        ModuleRegistryTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, m_dwApartment)));
        m_bCom = true;
    }
    void TearDown() override {
        if (m_bCom) CoUninitialize();
        ModuleRegistryTest::TearDown();
    }
    // Slot kSlot shows the camera at port, cropped to the window whose corner
    // (a third across, a third down) is where the camera's quadrants meet.
    void ConfigureSlot(int port) {
        SlotConfig config;
        config.url = L"http://127.0.0.1:" + std::to_wstring(port) + L"/";
        config.w = kWidth;
        config.h = kHeight;
        config.fps = 10.0f;
        // The camera's 320x240 picture: columns 80..320, and (counted from
        // the bottom) rows 0..180, i.e. the lower 180 lines.
        config.crop_l = 80;
        config.crop_r = 320;
        config.crop_t = 180;
        config.crop_b = 0;
        config.tShift = kShiftMs;
        WriteSlot(kSlot, config);
        ASSERT_EQ(RegisterModule(), S_OK);
    }
    // Runs graphs through slot kSlot `cycles` times; each must leave the
    // module unloadable and, once the runtime frees unused modules, unloaded, with no
    // thread left behind.
    void CycleAndUnload(int cycles, bool bWaitForSamples) {
        int threadsAfterFirst = -1;
        for (int i = 0; i < cycles; ++i) {
            {
                CStreamGraph graph;
                ASSERT_EQ(graph.Open(kSlot), S_OK) << "cycle " << i;
                ASSERT_EQ(graph.Run(), S_OK) << "cycle " << i;
                if (bWaitForSamples) {
                    ASSERT_TRUE(graph.WaitForSamples(1, 10000)) << "cycle " << i;
                }
            }
            ASSERT_EQ(ModuleCanUnloadNow(), S_OK) << "cycle " << i;
            FreeUnusedModulesNow();
            ASSERT_FALSE(IsModuleLoaded()) << "cycle " << i;
            if (i == 0) threadsAfterFirst = ProcessThreadCount();
        }
        EXPECT_LE(SettledThreadCount(threadsAfterFirst), threadsAfterFirst);
    }
    // A thread that gave the module back (FreeLibraryAndExitThread) may not
    // have left the process yet: wait a little for the count to come down.
    static int SettledThreadCount(int target) {
        int count = ProcessThreadCount();
        for (int i = 0; i < 200 && count > target; ++i) {
            Sleep(10);
            count = ProcessThreadCount();
        }
        return count;
    }

    CFixtureProcess m_camera;
    const DWORD m_dwApartment;
    bool m_bCom = false;
    CHangGuard m_guard{240000};
};

// Graphs run side by side from threads of their own: all in the
// multithreaded apartment, where any thread may call any of them.
class ModuleReasons : public ModuleStream {
protected:
    ModuleReasons() : ModuleStream(COINIT_MULTITHREADED) {}
};

TEST_F(ModuleStream, DeliversTheSlotsPictureUprightCroppedAndTimed) {
    ASSERT_TRUE(m_camera.Start(MjpegServerCommand({"--width", "320", "--height", "240", "--fps", "15"})));
    ConfigureSlot(m_camera.Port());
    CStreamGraph graph;
    ASSERT_EQ(graph.Open(kSlot), S_OK);

    LONG width = 0, height = 0;
    ASSERT_TRUE(graph.ConnectedSize(&width, &height));
    EXPECT_EQ(width, kWidth);
    EXPECT_EQ(height, kHeight);
    IAMStreamConfig* pConfig = nullptr;
    ASSERT_EQ(graph.FindStreamConfig(&pConfig), S_OK);
    pConfig->Release();
    IPin* pPin = graph.CapturePin();
    ASSERT_NE(pPin, nullptr);
    IKsPropertySet* pProperties = nullptr;
    ASSERT_EQ(pPin->QueryInterface(IID_IKsPropertySet, reinterpret_cast<void**>(&pProperties)), S_OK);
    GUID category = GUID_NULL;
    DWORD returned = 0;
    EXPECT_EQ(pProperties->Get(AMPROPSETID_Pin, AMPROPERTY_PIN_CATEGORY, nullptr, 0, &category, sizeof(category), &returned),
              S_OK);
    EXPECT_TRUE(IsEqualGUID(category, PIN_CATEGORY_CAPTURE));
    pProperties->Release();
    // The camera status, from the capture pin and from its filter: stopped
    // before the first run.
    PIN_INFO info = {};
    ASSERT_EQ(pPin->QueryPinInfo(&info), S_OK);
    for (IUnknown* pObject : {static_cast<IUnknown*>(pPin), static_cast<IUnknown*>(info.pFilter)}) {
        OCULO_STATUS status;
        EXPECT_EQ(ReadStatus(pObject, &status), S_OK);
        EXPECT_EQ(status.cbSize, sizeof(status));
        EXPECT_EQ(status.dwVersion, DWORD(OCULO_STATUS_VERSION));
        EXPECT_EQ(status.lState, OCULO_STATE_STOPPED);
        EXPECT_EQ(status.ullMsSinceLastPicture, OCULO_NO_PICTURE_YET);
    }
    info.pFilter->Release();
    pPin->Release();

    ASSERT_EQ(graph.Run(), S_OK);
    // The first samples may precede the camera's first picture.
    std::vector<BYTE> frame;
    for (int tries = 0; tries < 100 && !IsColour(PixelAt(frame, 10, 10), 255, 0, 0); ++tries) {
        graph.WaitForSamples(SIZE_MAX, 100);
        frame = graph.LastFrame();
    }
    // Upright and cropped: red, green, blue and white meet a third of the way
    // across and down (uncropped they would meet in the middle).
    EXPECT_TRUE(IsColour(PixelAt(frame, 10, 10), 255, 0, 0));
    EXPECT_TRUE(IsColour(PixelAt(frame, 80, 20), 0, 255, 0));
    EXPECT_TRUE(IsColour(PixelAt(frame, 20, 100), 0, 0, 255));
    EXPECT_TRUE(IsColour(PixelAt(frame, 80, 100), 255, 255, 255));
    ASSERT_TRUE(graph.WaitForSamples(4, 5000));
    EXPECT_LT(MillisecondsOf([&] { EXPECT_EQ(graph.Stop(), S_OK); }), kStopBoundMs);

    const std::vector<DeliveredSample> samples = graph.Samples();
    ASSERT_GE(samples.size(), 3u);
    for (size_t i = 0; i < samples.size(); ++i) {
        const REFERENCE_TIME start = REFERENCE_TIME(kShiftMs) * 10000 + REFERENCE_TIME(i) * kFrame;
        ASSERT_TRUE(samples[i].bTimed) << i;
        ASSERT_EQ(samples[i].rtStart, start) << i;
        ASSERT_EQ(samples[i].rtStop, start + kFrame) << i;
        ASSERT_EQ(samples[i].bDiscontinuity, start < 0) << i;
        ASSERT_EQ(samples[i].bSyncPoint, start >= 0) << i;
    }
}

TEST_F(ModuleStream, StopsPromptlyInEveryCameraState) {
    // Connecting: the camera accepts and never answers.
    CFixtureProcess silent;
    ASSERT_TRUE(silent.Start(MjpegServerCommand({"--hang"})));
    ConfigureSlot(silent.Port());
    {
        CStreamGraph graph;
        ASSERT_EQ(graph.Open(kSlot), S_OK);
        ASSERT_EQ(graph.Run(), S_OK);
        EXPECT_LT(MillisecondsOf([&] { graph.Stop(); }), kStopBoundMs) << "connecting";
    }
    // Streaming, then silent (the camera drops off the network).
    ASSERT_TRUE(m_camera.Start(MjpegServerCommand({})));
    ConfigureSlot(m_camera.Port());
    CStreamGraph graph;
    ASSERT_EQ(graph.Open(kSlot), S_OK);
    ASSERT_EQ(graph.Run(), S_OK);
    ASSERT_TRUE(graph.WaitForSamples(3, 10000));
    EXPECT_LT(MillisecondsOf([&] { graph.Stop(); }), kStopBoundMs) << "streaming";
    ASSERT_EQ(graph.Run(), S_OK);
    ASSERT_TRUE(m_camera.Freeze());
    Sleep(300);
    EXPECT_LT(MillisecondsOf([&] { graph.Stop(); }), kStopBoundMs) << "silent";
    m_camera.Thaw();
}

TEST_F(ModuleStream, UnloadsAfterEveryUseWithALiveCamera) {
    ASSERT_TRUE(m_camera.Start(MjpegServerCommand({"--lifetime", "600"})));
    ConfigureSlot(m_camera.Port());
    CycleAndUnload(100, true);
}

TEST_F(ModuleStream, UnloadsAfterEveryUseWithASilentCamera) {
    ASSERT_TRUE(m_camera.Start(MjpegServerCommand({"--hang", "--lifetime", "600"})));
    ConfigureSlot(m_camera.Port());
    // Each run waits the reader's 2 s for a first picture that never comes.
    CycleAndUnload(30, false);
}

struct ReasonCase {
    const char* what;
    std::vector<std::string> fixture;  // empty: none; "rtsp" first: the RTSP camera
    const char* address;               // %d: the fixture's port (a free one without)
    LONG reason;                       // OCULO_REASON_NONE: the camera streams
    const char* text;
};

bool Reached(const ReasonCase& c, const OCULO_STATUS& status) {
    return c.reason == OCULO_REASON_NONE ? status.lState == OCULO_STATE_STREAMING : status.lReason == c.reason;
}

std::string Narrow(const WCHAR* text) {
    std::string narrow;
    for (; *text; ++text) narrow += char(*text);
    return narrow;
}

// One camera for every slot, each failing its own way but the last, a still
// camera. They run side by side; one bounded wait sees every slot's status.
TEST_F(ModuleReasons, EveryReasonReachesAHostThroughTheStatusInterface) {
    // clang-format off
    const std::vector<ReasonCase> cases = {
        {"refused port", {}, "http://127.0.0.1:%d/", OCULO_REASON_CONNECTION_REFUSED, "Connection refused"},
        {"never answers", {"--hang"}, "http://127.0.0.1:%d/", OCULO_REASON_NO_ANSWER, "No answer (time-out)"},
        {"unknown name", {}, "http://nothing.invalid:%d/", OCULO_REASON_HOST_NOT_FOUND, "Host name not found"},
        {"RTSP 401", {"rtsp", "--user", "u", "--password", "p"}, "rtsp://127.0.0.1:%d/h264",
         OCULO_REASON_LOGIN_REFUSED, "Login refused (RTSP 401): check the user name and password"},
        {"HTTP 404", {"--status", "404"}, "http://127.0.0.1:%d/", OCULO_REASON_NOT_FOUND,
         "Not found (HTTP 404): check the path"},
        {"HTTP 503", {"--status", "503"}, "http://127.0.0.1:%d/", OCULO_REASON_SERVER_ERROR, "Server error (HTTP 503)"},
        // Sent fast, so that FFmpeg's probe has read enough of it soon.
        {"not a picture", {"--fault", "garbage", "--fault-count", "100000", "--fps", "200"}, "http://127.0.0.1:%d/",
         OCULO_REASON_NOT_VIDEO, "Not a video stream"},
        {"wide picture", {"--plain", "--width", "8200", "--height", "16"}, "http://127.0.0.1:%d/",
         OCULO_REASON_PICTURE_TOO_LARGE, "Picture too large (8200x16)"},
        {"a file", {}, "file:///etc/passwd", OCULO_REASON_ADDRESS_NOT_ALLOWED, "Address not allowed (file)"},
        {"still camera", {"--fps", "15"}, "http://127.0.0.1:%d/", OCULO_REASON_NONE, ""},
    };
    // clang-format on
    ASSERT_EQ(cases.size(), size_t(g_cSlots));
    std::vector<std::unique_ptr<CFixtureProcess>> servers;
    for (DWORD slot = 0; slot < g_cSlots; ++slot) {
        const ReasonCase& c = cases[slot];
        servers.emplace_back(new CFixtureProcess);
        int port = FreeLoopbackPort();
        if (!c.fixture.empty()) {
            const bool rtsp = c.fixture[0] == "rtsp";
            const std::vector<std::string> args(c.fixture.begin() + (rtsp ? 1 : 0), c.fixture.end());
            ASSERT_TRUE(servers.back()->Start(rtsp ? RtspServerCommand(args) : MjpegServerCommand(args))) << c.what;
            port = servers.back()->Port();
        }
        char address[64];
        std::snprintf(address, sizeof(address), c.address, port);
        SlotConfig config;
        config.url = std::wstring(address, address + std::strlen(address));
        WriteSlot(slot, config);
    }
    ASSERT_EQ(RegisterModule(), S_OK);

    std::vector<std::unique_ptr<CStreamGraph>> graphs;
    std::vector<CComRef<IOculoStatus>> statuses(g_cSlots);
    for (DWORD slot = 0; slot < g_cSlots; ++slot) {
        graphs.emplace_back(new CStreamGraph);
        ASSERT_EQ(graphs.back()->Open(slot), S_OK) << cases[slot].what;
        CComRef<IPin> pin;
        pin.Attach(graphs.back()->CapturePin());
        ASSERT_EQ(pin.As(IID_IOculoStatus, &statuses[slot]), S_OK) << cases[slot].what;
    }
    // Each run waits a while for a first picture: side by side, not in turn.
    std::vector<HRESULT> ran(g_cSlots, E_FAIL);
    std::vector<std::thread> runs;
    for (DWORD slot = 0; slot < g_cSlots; ++slot) {
        runs.emplace_back([&, slot] {
            CoInitializeEx(nullptr, COINIT_MULTITHREADED);
            ran[slot] = graphs[slot]->Run();
            CoUninitialize();
        });
    }
    for (std::thread& run : runs) run.join();
    for (DWORD slot = 0; slot < g_cSlots; ++slot) ASSERT_EQ(ran[slot], S_OK) << cases[slot].what;

    std::vector<OCULO_STATUS> seen(g_cSlots);
    const auto allReached = [&] {
        bool all = true;
        for (DWORD slot = 0; slot < g_cSlots; ++slot) {
            seen[slot] = SizedStatus();
            all = statuses[slot]->GetStatus(&seen[slot]) == S_OK && Reached(cases[slot], seen[slot]) && all;
        }
        return all;
    };
    // The slowest is the camera that never answers: the reader's open limit.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!allReached() && std::chrono::steady_clock::now() < deadline) Sleep(50);
    for (DWORD slot = 0; slot < g_cSlots; ++slot) {
        const ReasonCase& c = cases[slot];
        const OCULO_STATUS& status = seen[slot];
        SCOPED_TRACE(c.what);
        EXPECT_EQ(status.lReason, c.reason) << Narrow(status.szReason);
        EXPECT_EQ(Narrow(status.szReason), c.text);
        if (c.reason == OCULO_REASON_NONE) {
            EXPECT_EQ(status.lState, OCULO_STATE_STREAMING);
            EXPECT_GT(status.ullPictures, 0u);
            EXPECT_TRUE(status.lWidth == 320 && status.lHeight == 240) << status.lWidth << "x" << status.lHeight;
        } else {
            EXPECT_EQ(status.ullPictures, 0u);
        }
    }
}

}  // namespace
