// Oculo Settings driven as a person (or an accessibility tool) would, under
// Wine on a virtual display, from an installed layout (x64\ and x86\ side by
// side, as the setup program leaves them; settings_gui_test.sh stages it):
// a refused value is shown and nothing is written, and the switch for the
// Windows camera apps says it needs Windows 11 (Wine has no virtual cameras,
// as Windows 10 has none); a loopback camera with a
// login is filled in and Test shows its picture upright, and "Streaming"; a
// wrong password shows the login reason; Save writes both registry views but
// registers nothing until the staged folders are recorded as installed (the
// installer's record), then the tools of both bitnesses list the device;
// Clear and Save remove it.
// Each case has an Oculo Settings of its own on an empty slot, and stands
// alone; the staged layout and the camera serve them all. Screenshots go to
// $OCULO_SCREENSHOTS.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "platform/RegKey.h"
#include "tests/fixtures/FixtureProcess.h"
#include "tests/gui/WindowDriver.h"
#include "tools/oculo-settings/SettingsIds.h"
#include "tools/shared/ConsoleText.h"

namespace {

const int kSlot = 8;
const WCHAR kSlotKey[] = L"SOFTWARE\\TALVO\\Oculo\\08";
// A name in any language (in scripts the prefix's fonts draw).
const std::wstring kName = L"Oculo GUI Cam\u00e9ra \u03a9\u03bc\u03ad\u03b3\u03b1 \u041a\u0430\u043c\u0435\u0440\u0430";
const char* const kUser = "viewer";
const char* const kPassword = "p@ss w";  // composed into the address encoded
// Generous: Wine, a busy machine and a camera's first picture.
const DWORD kWindowMs = 30000;
const DWORD kCameraMs = 30000;
const DWORD kSaveMs = 120000;
// Closing the dialog stops its camera: the reader's stop bound, and Wine's.
const DWORD kCloseMs = 3000;

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

bool Contains(const std::wstring& text, const std::wstring& part) { return text.find(part) != std::wstring::npos; }

// A value of the slot's key in one registry view; empty when missing.
std::wstring StoredText(REGSAM view, const WCHAR* name) {
    WCHAR text[2048] = {};
    DWORD bytes = sizeof(text) - sizeof(WCHAR);
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSlotKey, 0, KEY_READ | view, &key) != ERROR_SUCCESS) return L"";
    RegQueryValueExW(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(text), &bytes);
    RegCloseKey(key);
    return text;
}
// Records `folder` as the installed location, as the installer does; ""
// removes the record.
void RecordInstallation(const std::string& folder) {
    CRegKey key;
    RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\TALVO\\Oculo", 0, nullptr, 0, KEY_ALL_ACCESS | KEY_WOW64_64KEY,
                    nullptr, key.Put(), nullptr);
    if (folder.empty()) {
        RegDeleteValueW(key.Get(), L"InstallDir");
    } else {
        RegSetValueExA(key.Get(), "InstallDir", 0, REG_SZ, reinterpret_cast<const BYTE*>(folder.c_str()),
                       DWORD(folder.size() + 1));
    }
}
bool SlotStored(REGSAM view) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSlotKey, 0, KEY_READ | view, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

// A tool's output (stdout and stderr), run to its end (at most a minute).
std::string RunTool(const std::string& exe, const std::string& arguments) {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    const std::string outPath = std::string(temp) + "oculo-gui-tool.txt";
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    const HANDLE out = CreateFileA(outPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = out;
    startup.hStdError = out;
    PROCESS_INFORMATION process = {};
    std::string command = "\"" + exe + "\" " + arguments;
    const bool bStarted = CreateProcessA(exe.c_str(), &command[0], nullptr, nullptr, TRUE, CREATE_NO_WINDOW,
                                         nullptr, nullptr, &startup, &process);
    CloseHandle(out);
    if (!bStarted) return "cannot run " + exe;
    if (WaitForSingleObject(process.hProcess, 60000) != WAIT_OBJECT_0) TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    std::ifstream in(outPath, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class SettingsWindow : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_stage = Env("OCULO_SETTINGS_STAGE");
        s_own = Env("OCULO_SETTINGS_OWN");
        s_screenshots = Env("OCULO_SCREENSHOTS");
        ASSERT_FALSE(s_stage.empty() || s_own.empty()) << "run through tests/gui/settings_gui_test.sh";
        ASSERT_TRUE(s_camera.Start(MjpegServerCommand({"--user", kUser, "--password", kPassword})));
    }
    static void TearDownTestSuite() {
        s_camera.Kill();
        // Nothing stays registered from the staged folders, which go next.
        RunTool(s_stage + "\\" + s_own + "\\oculo-config.exe", "unregister");
        RecordInstallation("");
    }
    // The slot starts empty in both views, the folders not recorded as installed.
    void SetUp() override {
        for (REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) RegDeleteKeyExW(HKEY_LOCAL_MACHINE, kSlotKey, view, 0);
        RecordInstallation("");
        STARTUPINFOA startup = {};
        startup.cb = sizeof(startup);
        const std::string exe = s_stage + "\\" + s_own + "\\oculo-settings.exe";
        std::string command = "\"" + exe + "\"";
        ASSERT_TRUE(CreateProcessA(exe.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                   &startup, &m_process))
            << exe;
        ASSERT_TRUE(WaitUntil(
            [&] { return (m_main = FindDialog(m_process.dwProcessId, nullptr, L"Oculo Settings")); },
            kWindowMs));
    }
    void TearDown() override {
        if (m_process.hProcess == nullptr) return;
        // An edit dialog left open goes first, and its camera with it.
        if (const HWND edit = m_main ? FindDialog(m_process.dwProcessId, m_main, L"slot 8") : nullptr) {
            PressButton(edit, IDCANCEL);
            WaitUntil([&] { return !IsWindow(edit); }, kWindowMs);
        }
        if (m_main) {
            PressButton(m_main, IDCANCEL);
            // Changes left by a failed case: not saved.
            WaitUntil(
                [&] {
                    const HWND question = FindDialog(m_process.dwProcessId, m_main, L"Oculo Settings");
                    if (question) PressButton(question, IDNO);
                    return WaitForSingleObject(m_process.hProcess, 0) == WAIT_OBJECT_0;
                },
                kWindowMs);
        }
        if (WaitForSingleObject(m_process.hProcess, 0) != WAIT_OBJECT_0) {
            ADD_FAILURE() << "Oculo Settings did not close";
            TerminateProcess(m_process.hProcess, 1);
        }
        CloseHandle(m_process.hThread);
        CloseHandle(m_process.hProcess);
        // A case that registered the staged modules leaves no device behind.
        if (m_bInstalled) RunTool(s_stage + "\\" + s_own + "\\oculo-config.exe", "unregister");
        RecordInstallation("");
    }

    HWND List() const { return GetDlgItem(m_main, IDC_SLOT_LIST); }
    // Opens the slot's edit dialog with Edit.
    HWND OpenSlot() {
        EXPECT_TRUE(SelectListRow(List(), kSlot));
        PressButton(m_main, IDC_EDIT_SLOT);
        HWND dialog = nullptr;
        EXPECT_TRUE(WaitUntil([&] { return (dialog = FindDialog(m_process.dwProcessId, m_main, L"slot 8")); },
                              kWindowMs));
        return dialog;
    }
    // The edit dialog with the camera filled in, its login included.
    HWND OpenCamera() {
        const HWND dialog = OpenSlot();
        if (!dialog) return nullptr;
        SetControlText(dialog, IDC_NAME, kName);
        SetControlText(dialog, IDC_ADDRESS, CameraAddress());
        SetControlText(dialog, IDC_USER, ToWide(kUser));
        SetControlText(dialog, IDC_PASSWORD, ToWide(kPassword));
        SetControlText(dialog, IDC_PICTURE_SIZE, L"320x240");
        SetControlText(dialog, IDC_FPS, L"15");
        return dialog;
    }
    // The camera in the list, not saved yet.
    void EditCamera() {
        const HWND dialog = OpenCamera();
        ASSERT_TRUE(dialog);
        PressButton(dialog, IDOK);
        ASSERT_TRUE(WaitUntil([&] { return !IsWindow(dialog); }, kWindowMs));
    }
    void Install() {
        RecordInstallation(s_stage);
        m_bInstalled = true;
    }
    static void Screenshot(HWND window, const char* name) {
        ScreenPicture picture;
        if (s_screenshots.empty() || !CaptureWindow(window, &picture)) return;
        SavePng(picture, s_screenshots + "\\" + name);
    }
    static std::wstring CameraAddress() { return L"http://127.0.0.1:" + std::to_wstring(s_camera.Port()) + L"/"; }
    // What the preview shows at the four quadrants' middles, as 0xRRGGBB
    // rounded to full or no colour per channel.
    static bool PreviewIsTheCameraUpright(HWND dialog) {
        ScreenPicture picture;
        if (!CaptureWindow(GetDlgItem(dialog, IDC_PREVIEW), &picture)) return false;
        auto colour = [&](int qx, int qy) {
            const DWORD c = picture.At(picture.width * qx / 4, picture.height * qy / 4);
            DWORD rounded = 0;
            for (int shift : {16, 8, 0}) {
                const DWORD channel = (c >> shift) & 0xFF;
                if (channel > 60 && channel < 190) return DWORD(0x808080);  // neither: not the camera's
                rounded |= (channel >= 190 ? 0xFFu : 0u) << shift;
            }
            return rounded;
        };
        return colour(1, 1) == 0xFF0000 && colour(3, 1) == 0x00FF00 && colour(1, 3) == 0x0000FF &&
               colour(3, 3) == 0xFFFFFF;
    }
    bool Saved() const { return Contains(ControlText(m_main, IDC_MESSAGE), L"Saved"); }
    static bool Listed(const std::string& bits) {
        const std::string out = RunTool(s_stage + "\\" + bits + "\\oculo-config.exe", "devices");
        return out.find("Oculo GUI") != std::string::npos;
    }
    static std::vector<std::string> Bitnesses() {
        std::vector<std::string> present;
        for (const char* bits : {"x64", "x86"}) {
            if (GetFileAttributesA((s_stage + "\\" + bits + "\\oculo-config.exe").c_str()) != INVALID_FILE_ATTRIBUTES) {
                present.push_back(bits);
            }
        }
        return present;
    }

    static std::string s_stage;
    static std::string s_own;
    static std::string s_screenshots;
    static CFixtureProcess s_camera;
    PROCESS_INFORMATION m_process = {};
    HWND m_main = nullptr;
    bool m_bInstalled = false;  // the case recorded the staged folders as installed
};

std::string SettingsWindow::s_stage;
std::string SettingsWindow::s_own;
std::string SettingsWindow::s_screenshots;
CFixtureProcess SettingsWindow::s_camera;

}  // namespace

TEST_F(SettingsWindow, RefusedValuesAreShownBesideTheirFieldsAndNothingIsWritten) {
    const HWND dialog = OpenSlot();
    ASSERT_TRUE(dialog);
    SetControlText(dialog, IDC_NAME, kName);
    SetControlText(dialog, IDC_ADDRESS, L"http://" + std::wstring(1093, L'a'));  // 1100 characters
    SetControlText(dialog, IDC_PICTURE_SIZE, L"0x480");
    PressButton(dialog, IDOK);
    ASSERT_TRUE(WaitUntil([&] { return !ControlText(dialog, IDC_PICTURE_SIZE_ERROR).empty(); }, kWindowMs));
    EXPECT_TRUE(Contains(ControlText(dialog, IDC_ADDRESS_ERROR), L"6 to 1023 characters (it has 1100)"))
        << ToNarrow(ControlText(dialog, IDC_ADDRESS_ERROR).c_str());
    EXPECT_EQ(ControlText(dialog, IDC_PICTURE_SIZE_ERROR), L"w must be 1 to 16384 (not 0)");
    EXPECT_TRUE(ControlText(dialog, IDC_NAME_ERROR).empty());
    EXPECT_EQ(ControlText(dialog, IDC_CAMERA_APPS), L"Also for the Windows Camera app and Store apps: needs Windows 11");
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, IDC_CAMERA_APPS)));
    Screenshot(dialog, "settings-refused-values.png");
    EXPECT_TRUE(IsWindow(dialog)) << "OK closed the dialog with a refused value";

    PressButton(dialog, IDCANCEL);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(dialog); }, kWindowMs));
    EXPECT_FALSE(SlotStored(KEY_WOW64_64KEY) || SlotStored(KEY_WOW64_32KEY));
    EXPECT_EQ(ListCell(List(), kSlot, 5), L"empty");
}

TEST_F(SettingsWindow, TestShowsTheCamerasPictureUprightAndItsState) {
    const HWND dialog = OpenCamera();
    ASSERT_TRUE(dialog);
    PressButton(dialog, IDC_TEST);
    EXPECT_TRUE(
        WaitUntil([&] { return Contains(ControlText(dialog, IDC_CAMERA_STATUS), L"Streaming"); }, kCameraMs))
        << ToNarrow(ControlText(dialog, IDC_CAMERA_STATUS).c_str());
    EXPECT_TRUE(WaitUntil([&] { return PreviewIsTheCameraUpright(dialog); }, kCameraMs));
    EXPECT_EQ(ControlText(dialog, IDC_TEST), L"Sto&p test");
    Screenshot(dialog, "settings-edit-test.png");
}

TEST_F(SettingsWindow, AWrongPasswordShowsTheLoginReason) {
    const HWND dialog = OpenCamera();
    ASSERT_TRUE(dialog);
    // A run with the right password leaves its picture for the next to hide.
    PressButton(dialog, IDC_TEST);
    ASSERT_TRUE(WaitUntil([&] { return PreviewIsTheCameraUpright(dialog); }, kCameraMs));
    PressButton(dialog, IDC_TEST);  // stops the test
    ASSERT_TRUE(WaitUntil([&] { return ControlText(dialog, IDC_TEST) == L"&Test"; }, kWindowMs));
    SetControlText(dialog, IDC_PASSWORD, L"wrong");
    PressButton(dialog, IDC_TEST);
    EXPECT_TRUE(WaitUntil([&] { return Contains(ControlText(dialog, IDC_CAMERA_STATUS), L"Login refused"); },
                          kCameraMs))
        << ToNarrow(ControlText(dialog, IDC_CAMERA_STATUS).c_str());
    EXPECT_TRUE(Contains(ControlText(dialog, IDC_CAMERA_STATUS), L"401"));
    EXPECT_FALSE(PreviewIsTheCameraUpright(dialog)) << "an earlier test's picture";
    Screenshot(dialog, "settings-login-refused.png");

    // The right password, streaming again; OK closes the dialog and its
    // camera within the stop bound.
    SetControlText(dialog, IDC_PASSWORD, ToWide(kPassword));
    PressButton(dialog, IDC_TEST);
    ASSERT_TRUE(WaitUntil([&] { return ControlText(dialog, IDC_TEST) == L"&Test"; }, kWindowMs));
    PressButton(dialog, IDC_TEST);
    EXPECT_TRUE(WaitUntil([&] { return PreviewIsTheCameraUpright(dialog); }, kCameraMs));
    const DWORD since = GetTickCount();
    PressButton(dialog, IDOK);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(dialog); }, kWindowMs));
    EXPECT_LT(GetTickCount() - since, kCloseMs);
}

TEST_F(SettingsWindow, SaveWritesBothViewsAndBothBitnessesListTheDeviceOnceInstalled) {
    ASSERT_NO_FATAL_FAILURE(EditCamera());
    EXPECT_EQ(ListCell(List(), kSlot, 1), kName);
    const std::wstring address = CameraAddress();
    EXPECT_EQ(ListCell(List(), kSlot, 2), L"http://viewer:***@" + address.substr(7));
    EXPECT_EQ(ListCell(List(), kSlot, 5), L"usable (not saved)");
    EXPECT_FALSE(SlotStored(KEY_WOW64_64KEY) || SlotStored(KEY_WOW64_32KEY)) << "written before Save";

    // The staged folders, which this user may change, are not registered
    // until recorded as installed; the settings are saved either way.
    PressButton(m_main, IDC_SAVE);
    ASSERT_TRUE(WaitUntil([&] { return Contains(ControlText(m_main, IDC_MESSAGE), L"Install Oculo first"); },
                          kSaveMs))
        << ToNarrow(ControlText(m_main, IDC_MESSAGE).c_str());
    HWND warning = nullptr;
    ASSERT_TRUE(WaitUntil(
        [&] { return (warning = FindDialog(m_process.dwProcessId, m_main, L"Oculo Settings")); }, kWindowMs));
    PressButton(warning, IDOK);
    for (const std::string& bits : Bitnesses()) EXPECT_FALSE(Listed(bits)) << bits << "'s oculo-config devices";
    Install();
    PressButton(m_main, IDC_SAVE);
    ASSERT_TRUE(WaitUntil([&] { return Contains(ControlText(m_main, IDC_MESSAGE), L"now list"); }, kSaveMs))
        << ToNarrow(ControlText(m_main, IDC_MESSAGE).c_str());
    EXPECT_EQ(ListCell(List(), kSlot, 5), L"usable");
    for (REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
        EXPECT_EQ(StoredText(view, L"name"), kName);
        EXPECT_EQ(StoredText(view, L"url"), L"http://viewer:p%40ss%20w@" + address.substr(7));
    }
    for (const std::string& bits : Bitnesses()) EXPECT_TRUE(Listed(bits)) << bits << "'s oculo-config devices";
    Screenshot(m_main, "settings-list.png");
}

TEST_F(SettingsWindow, ClearAndSaveRemoveTheSlotAndItsDevice) {
    ASSERT_NO_FATAL_FAILURE(EditCamera());
    Install();
    PressButton(m_main, IDC_SAVE);
    ASSERT_TRUE(WaitUntil([&] { return ListCell(List(), kSlot, 5) == L"usable"; }, kSaveMs));
    ASSERT_TRUE(SelectListRow(List(), kSlot));
    PressButton(m_main, IDC_CLEAR_SLOT);
    ASSERT_TRUE(WaitUntil([&] { return ListCell(List(), kSlot, 5) == L"empty (not saved)"; }, kWindowMs));
    PressButton(m_main, IDC_SAVE);
    ASSERT_TRUE(WaitUntil([&] { return Saved(); }, kSaveMs))
        << ToNarrow(ControlText(m_main, IDC_MESSAGE).c_str());
    EXPECT_FALSE(SlotStored(KEY_WOW64_64KEY) || SlotStored(KEY_WOW64_32KEY));
    for (const std::string& bits : Bitnesses()) EXPECT_FALSE(Listed(bits)) << bits << "'s oculo-config devices";
    EXPECT_EQ(Bitnesses().size(), 2u) << "build both Windows presets to check both bitnesses' device lists";
}
