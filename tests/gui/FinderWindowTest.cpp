// Oculo Settings' Find cameras driven as a person would, under Wine on a
// virtual display, in the network namespace of tests/onvif/wine_onvif_test.sh
// (its Wine server, and so the search's probes, stay there) with its
// loopback ONVIF test camera: the search lists the camera; the edit
// dialog's wrong password is refused in words; the same camera typed by hand
// (Other address) with the right password typed in the finder lists its
// stream; Use this stream fills the edit dialog (the login in its own
// fields, never in the address) and Test shows the camera's pictures,
// "Streaming"; nothing is written before Save. Screenshots go to
// $OCULO_SCREENSHOTS.
#include <gtest/gtest.h>

#include <cstdlib>
#include <set>

#include "tests/gui/WindowDriver.h"
#include "tools/oculo-settings/SettingsIds.h"
#include "tools/shared/ConsoleText.h"

namespace {

const int kSlot = 7;
const WCHAR kSlotKey[] = L"SOFTWARE\\TALVO\\Oculo\\07";
// Generous: Wine, a busy machine, a camera's first picture.
const DWORD kWindowMs = 30000;
const DWORD kCameraMs = 30000;

std::wstring Env(const char* name) {
    const char* value = std::getenv(name);
    return ToWide(value ? value : "");
}
bool Contains(const std::wstring& text, const std::wstring& part) { return text.find(part) != std::wstring::npos; }

void Screenshot(HWND window, const char* name) {
    ScreenPicture picture;
    const std::wstring folder = Env("OCULO_SCREENSHOTS");
    if (!folder.empty() && CaptureWindow(window, &picture)) SavePng(picture, ToNarrow(folder.c_str()) + "\\" + name);
}

// The RTSP test camera's colour bars across the top of the preview: a
// picture drawn, not the empty preview.
bool PreviewShowsBars(HWND edit) {
    ScreenPicture picture;
    if (!CaptureWindow(GetDlgItem(edit, IDC_PREVIEW), &picture)) return false;
    std::set<DWORD> colours;
    for (int bar = 0; bar < 7; ++bar) {
        colours.insert(picture.At(picture.width * (2 * bar + 1) / 14, picture.height / 4));
    }
    return colours.size() >= 5;
}

bool SlotStored() {
    for (REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSlotKey, 0, KEY_READ | view, &key) != ERROR_SUCCESS) continue;
        RegCloseKey(key);
        return true;
    }
    return false;
}

TEST(FinderWindow, FindsTheCameraAndItsStreamFillsTheEditDialog) {
    const std::wstring exe = Env("OCULO_FINDER_SETTINGS");
    const std::wstring stream = Env("OCULO_FINDER_STREAM");
    const std::wstring password = Env("OCULO_FINDER_PASSWORD");
    ASSERT_FALSE(exe.empty() || stream.empty() || password.empty()) << "run through tests/onvif/wine_onvif_test.sh";
    for (REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) RegDeleteKeyExW(HKEY_LOCAL_MACHINE, kSlotKey, view, 0);

    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    std::wstring command = L"\"" + exe + L"\"";
    ASSERT_TRUE(CreateProcessW(exe.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                               &process));
    HWND main = nullptr, edit = nullptr, finder = nullptr;
    [&] {
        ASSERT_TRUE(WaitUntil([&] { return (main = FindDialog(process.dwProcessId, nullptr, L"Oculo Settings")); },
                              kWindowMs));
        ASSERT_TRUE(SelectListRow(GetDlgItem(main, IDC_SLOT_LIST), kSlot));
        PressButton(main, IDC_EDIT_SLOT);
        ASSERT_TRUE(
            WaitUntil([&] { return (edit = FindDialog(process.dwProcessId, main, L"slot 7")); }, kWindowMs));
        SetControlText(edit, IDC_NAME, L"Front door");
        SetControlText(edit, IDC_USER, L"admin");
        SetControlText(edit, IDC_PASSWORD, L"wrong");

        // The search starts at once and lists the camera by its scopes.
        PressButton(edit, IDC_FIND_CAMERAS);
        ASSERT_TRUE(WaitUntil([&] { return (finder = FindDialog(process.dwProcessId, edit, L"Find cameras")); },
                              kWindowMs));
        const HWND cameras = GetDlgItem(finder, IDC_FINDER_CAMERAS);
        ASSERT_TRUE(WaitUntil([&] { return Contains(ControlText(finder, IDC_FINDER_STATUS), L"1 camera found"); },
                              kWindowMs))
            << ToNarrow(ControlText(finder, IDC_FINDER_STATUS).c_str());
        EXPECT_EQ(ListCell(cameras, 0, 0) + L" / " + ListCell(cameras, 0, 1) + L" / " + ListCell(cameras, 0, 2),
                  L"Front Door / Oculo Test 1 / 127.0.0.2");
        EXPECT_EQ(ControlText(finder, IDC_FINDER_PASSWORD), L"wrong") << "the edit dialog's login";

        // The dialog's wrong password is refused in words; the right one,
        // typed here, lists the stream of the camera typed by hand, which
        // is the one found.
        PressButton(finder, IDC_FINDER_ASK);
        EXPECT_TRUE(WaitUntil(
            [&] { return Contains(ControlText(finder, IDC_FINDER_STATUS), L"refused the login: check"); }, kWindowMs))
            << ToNarrow(ControlText(finder, IDC_FINDER_STATUS).c_str());
        SetControlText(finder, IDC_FINDER_PASSWORD, password);
        PressButton(finder, IDC_FINDER_OTHER);
        HWND other = nullptr;
        ASSERT_TRUE(WaitUntil([&] { return (other = FindDialog(process.dwProcessId, finder, L"Other address")); },
                              kWindowMs));
        SetControlText(other, IDC_OTHER_ADDRESS, Env("OCULO_FINDER_CAMERA"));
        PressButton(other, IDOK);
        const HWND streams = GetDlgItem(finder, IDC_FINDER_STREAMS);
        ASSERT_TRUE(WaitUntil([&] { return ListCell(streams, 0, 0) == L"Main: H.264 640x480 25 fps"; }, kWindowMs))
            << ToNarrow(ControlText(finder, IDC_FINDER_STATUS).c_str());
        EXPECT_EQ(ListCell(streams, 0, 1), stream);
        EXPECT_EQ(ListCell(cameras, 1, 2), L"") << "the camera typed by hand is listed once";
        Screenshot(finder, "finder-cameras.png");

        PressButton(finder, IDOK);
        ASSERT_TRUE(WaitUntil([&] { return !IsWindow(finder); }, kWindowMs));
        EXPECT_EQ(ControlText(edit, IDC_ADDRESS), stream);
        EXPECT_EQ(ControlText(edit, IDC_PICTURE_SIZE) + L" " + ControlText(edit, IDC_FPS), L"640x480 25");
        EXPECT_EQ(ControlText(edit, IDC_USER), L"admin");
        EXPECT_EQ(ControlText(edit, IDC_PASSWORD), password);

        PressButton(edit, IDC_TEST);
        EXPECT_TRUE(WaitUntil(
            [&] {
                const std::wstring status = ControlText(edit, IDC_CAMERA_STATUS);
                return Contains(status, L"Streaming") && Contains(status, L"Pictures: ") &&
                       !Contains(status, L"none yet") && PreviewShowsBars(edit);
            },
            kCameraMs))
            << ToNarrow(ControlText(edit, IDC_CAMERA_STATUS).c_str());
        Screenshot(edit, "finder-filled-edit.png");
    }();

    // Cancel, Cancel and Close: nothing was saved.
    for (HWND window : {finder, edit, main}) {
        if (!window || !IsWindow(window)) continue;
        PressButton(window, IDCANCEL);
        WaitUntil([&] { return !IsWindow(window); }, kWindowMs);
    }
    EXPECT_EQ(WaitForSingleObject(process.hProcess, kWindowMs), WAIT_OBJECT_0) << "Oculo Settings did not close";
    TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    EXPECT_FALSE(SlotStored()) << "written before Save";
}

}  // namespace
