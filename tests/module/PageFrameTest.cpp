// The slot's property page as applications show it: their "camera settings"
// button opens the system's property frame on the running slot's filter. The
// frame is modal, so another thread reads the page's window as a person
// would, asks for a screenshot (scripts/wine-gui-run.sh takes it) and closes
// the frame; the graph must run on untouched, and the page let go of the
// filter. Windows only (run on a virtual display under Wine).
#include <atomic>
#include <string>
#include <thread>

#include "filter/OculoPageIds.h"
#include "module/SlotClasses.h"
#include "tests/fixtures/FixtureProcess.h"
#include "tests/module/ModuleTestSupport.h"
#include "tests/module/StreamGraph.h"
// After the platform, which brings in windows.h.
#include <olectl.h>

#include "include/OculoStatus.h"

namespace {

const DWORD kSlot = 6;
const DWORD kWaitMs = 30000;
// A name in more than one script, and a login that must never be shown.
const WCHAR kSlotName[] = L"Caméra d'entrée \u6771\u4EAC";
const char kPassword[] = "s3cret";

std::wstring TextOf(HWND hwnd) {
    WCHAR text[1024] = {};
    GetWindowTextW(hwnd, text, 1024);
    return text;
}

// A window of this process, anywhere below a top-level one, with this control id.
struct ControlSearch {
    int id;
    HWND found;
};

BOOL CALLBACK MatchControl(HWND child, LPARAM param) {
    ControlSearch* search = reinterpret_cast<ControlSearch*>(param);
    if (GetDlgCtrlID(child) != search->id) return TRUE;
    search->found = child;
    return FALSE;
}

BOOL CALLBACK SearchTopLevel(HWND top, LPARAM param) {
    DWORD pid = 0;
    GetWindowThreadProcessId(top, &pid);
    if (pid == GetCurrentProcessId()) EnumChildWindows(top, MatchControl, param);
    return reinterpret_cast<ControlSearch*>(param)->found == nullptr;
}

HWND FindControl(int id) {
    ControlSearch search = {id, nullptr};
    EnumWindows(SearchTopLevel, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// Every text in a window's children, one a line (a message box's text, say).
BOOL CALLBACK AppendText(HWND child, LPARAM param) {
    *reinterpret_cast<std::wstring*>(param) += TextOf(child) + L"\n";
    return TRUE;
}

std::wstring TextsWithin(HWND hwnd) {
    std::wstring texts;
    EnumChildWindows(hwnd, AppendText, reinterpret_cast<LPARAM>(&texts));
    return texts;
}

template <class Done>
bool WaitFor(Done done, DWORD ms = kWaitMs) {
    for (DWORD waited = 0; waited < ms; waited += 50) {
        if (done()) return true;
        Sleep(50);
    }
    return done();
}

// Asks the script that runs this test for a screenshot and waits until it
// is taken; nothing when the test runs without the script.
void TakeScreenshot() {
    const char* request = std::getenv("OCULO_SCREENSHOT_REQUEST");
    if (!request || !*request) return;
    HANDLE file = CreateFileA(request, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    CloseHandle(file);
    EXPECT_TRUE(WaitFor([&] { return GetFileAttributesA(request) == INVALID_FILE_ATTRIBUTES; }))
        << "no screenshot taken";
}

// What the watching thread saw of the page.
struct PageSeen {
    std::wstring name, address, picture, status;
    std::wstring settingsMessage;  // the message for a missing settings program
    bool bFrameClosed = false;
};

class PageFrame : public ModuleRegistryTest {
protected:
    void SetUp() override {
        ModuleRegistryTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
        m_bCom = true;
    }
    void TearDown() override {
        if (m_bCom) CoUninitialize();
        ModuleRegistryTest::TearDown();
    }

    // Runs on its own thread while the frame is open; closes the frame.
    static void WatchPage(const std::wstring& expectedState, PageSeen* seen) {
        HWND status = nullptr;
        EXPECT_TRUE(WaitFor([&] { return (status = FindControl(IDC_OCULO_STATUS)) != nullptr; })) << "no page";
        if (!status) {
            // A frame without our page still ends, so the test does not hang.
            if (HWND frame = FindWindowW(L"#32770", nullptr)) PostMessageW(frame, WM_CLOSE, 0, 0);
            return;
        }
        HWND page = GetParent(status);
        HWND frame = GetAncestor(page, GA_ROOT);
        EXPECT_TRUE(WaitFor([&] { return TextOf(status).rfind(expectedState, 0) == 0; }))
            << "the page shows: " << std::string(TextOf(status).begin(), TextOf(status).end());
        seen->status = TextOf(status);
        seen->name = TextOf(GetDlgItem(page, IDC_OCULO_NAME));
        seen->address = TextOf(GetDlgItem(page, IDC_OCULO_ADDRESS));
        seen->picture = TextOf(GetDlgItem(page, IDC_OCULO_PICTURE));
        TakeScreenshot();
        // The settings program is built beside the module by another part of
        // the tree; without it the button must explain, not fail silently.
        const std::string program = ModulePath().substr(0, ModulePath().find_last_of("/\\") + 1) + "oculo-settings.exe";
        if (GetFileAttributesA(program.c_str()) == INVALID_FILE_ATTRIBUTES) {
            PostMessageW(GetDlgItem(page, IDC_OCULO_CHANGE), BM_CLICK, 0, 0);
            HWND message = nullptr;
            EXPECT_TRUE(WaitFor([&] { return (message = FindWindowW(L"#32770", L"Oculo")) != nullptr; }));
            if (message) {
                seen->settingsMessage = TextsWithin(message);
                PostMessageW(message, WM_COMMAND, IDOK, 0);
                EXPECT_TRUE(WaitFor([&] { return !IsWindow(message); }));
            }
        }
        PostMessageW(frame, WM_COMMAND, IDOK, 0);
        seen->bFrameClosed = WaitFor([&] { return !IsWindow(frame); });
    }

    bool m_bCom = false;
};

TEST_F(PageFrame, ShowsTheRunningSlotAndLeavesTheGraphRunning) {
    CFixtureProcess camera;
    ASSERT_TRUE(camera.Start(MjpegServerCommand({"--width", "320", "--height", "240", "--fps", "15"})));
    SlotConfig config;
    config.name = kSlotName;
    config.url = L"http://viewer:" + std::wstring(kPassword, kPassword + sizeof(kPassword) - 1) + L"@127.0.0.1:" +
                 std::to_wstring(camera.Port()) + L"/";
    WriteSlot(kSlot, config);
    ASSERT_EQ(RegisterModule(), S_OK);

    CStreamGraph graph;
    ASSERT_EQ(graph.Open(kSlot), S_OK);
    ASSERT_EQ(graph.Run(), S_OK);
    ASSERT_TRUE(graph.WaitForSamples(3, kWaitMs));
    IPin* pPin = graph.CapturePin();
    ASSERT_NE(pPin, nullptr);
    PIN_INFO info = {};
    ASSERT_EQ(pPin->QueryPinInfo(&info), S_OK);
    pPin->Release();
    IBaseFilter* pFilter = info.pFilter;  // our reference, released below
    ISpecifyPropertyPages* pSpecify = nullptr;
    ASSERT_EQ(pFilter->QueryInterface(IID_ISpecifyPropertyPages, reinterpret_cast<void**>(&pSpecify)), S_OK);
    CAUUID pages = {};
    ASSERT_EQ(pSpecify->GetPages(&pages), S_OK);
    pSpecify->Release();
    ASSERT_EQ(pages.cElems, 1u);

    const std::wstring expectedState = L"Streaming";
    pFilter->AddRef();
    const ULONG refsBefore = pFilter->Release();
    PageSeen seen;
    std::thread watcher([&] { WatchPage(expectedState, &seen); });
    IUnknown* objects[] = {pFilter};
    const HRESULT hr =
        OleCreatePropertyFrame(nullptr, 40, 40, L"Camera settings", 1, objects, pages.cElems, pages.pElems, 0, 0, nullptr);
    watcher.join();
    CoTaskMemFree(pages.pElems);
    EXPECT_EQ(hr, S_OK);
    EXPECT_TRUE(seen.bFrameClosed);

    EXPECT_EQ(seen.name, kSlotName);
    EXPECT_EQ(seen.address, L"127.0.0.1:" + std::to_wstring(camera.Port()));
    EXPECT_EQ(seen.picture, L"160 x 120, 10 frames a second");
    EXPECT_EQ(seen.status.rfind(expectedState, 0), 0u);
    if (!seen.settingsMessage.empty()) {
        EXPECT_NE(seen.settingsMessage.find(L"oculo-settings.exe"), std::wstring::npos);
        EXPECT_NE(seen.settingsMessage.find(L"not found"), std::wstring::npos);
    }

    // The graph runs on, and the frame's page holds nothing of the filter.
    FILTER_STATE state = State_Stopped;
    EXPECT_EQ(pFilter->GetState(0, &state), S_OK);
    EXPECT_EQ(state, State_Running);
    const size_t delivered = graph.Samples().size();
    EXPECT_TRUE(graph.WaitForSamples(delivered + 5, kWaitMs));
    pFilter->AddRef();
    EXPECT_EQ(pFilter->Release(), refsBefore);
    pFilter->Release();
    graph.Close();
    EXPECT_EQ(ModuleCanUnloadNow(), S_OK);  // no page and no filter left in the module
}

}  // namespace
