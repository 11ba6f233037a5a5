// Oculo Settings (oculo-settings.exe): sets up, tries and fixes the cameras
// in a window, for both bitnesses' applications at once. Installed beside
// each bitness's module; the manifest asks for administrator rights.
//   oculo-settings.exe                        the window
//   oculo-settings.exe --start-menu add|remove  the Start menu's entry for it
//                                             (the .zip's install.cmd and
//                                             uninstall.cmd); exit code 0
//                                             done, 1 failed, 2 bad arguments
#include "platform/platform.h"
// After the platform, which brings in the SDK's base headers.
#include <commctrl.h>
#include <shellapi.h>

#include <string>

#include "tools/oculo-settings/SettingsDialogs.h"
#include "tools/oculo-settings/StartMenu.h"
#include "tools/shared/ModuleCalls.h"

namespace {

int StartMenu(const std::wstring& action) {
    std::wstring error;
    if (action == L"add") return AddStartMenuEntry(&error) ? 0 : 1;
    if (action == L"remove") return RemoveStartMenuEntry(&error) ? 0 : 1;
    return 2;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    QuietSystemErrors();
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    std::wstring option = argc > 1 ? argv[1] : L"";
    std::wstring action = argc > 2 ? argv[2] : L"";
    LocalFree(argv);
    // As regsvr32 and the shell have it, for registration and shortcuts.
    const HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    int status = 0;
    if (argc == 3 && option == L"--start-menu") {
        status = StartMenu(action);
    } else if (argc > 1) {
        status = 2;
    } else {
        INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_LISTVIEW_CLASSES | ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
        InitCommonControlsEx(&controls);
        RunSettingsWindow(instance);
    }
    if (SUCCEEDED(hr)) CoUninitialize();
    return status;
}
