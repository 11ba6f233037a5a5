// Oculo Settings (oculo-settings.exe): sets up, tries and fixes the cameras
// in a window, for both bitnesses' applications at once. Installed beside
// each bitness's module; the manifest asks for administrator rights.
#include "platform/platform.h"
// After the platform, which brings in the SDK's base headers.
#include <commctrl.h>

#include "tools/oculo-settings/SettingsDialogs.h"
#include "tools/shared/ModuleCalls.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    QuietSystemErrors();
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    // As regsvr32 has it, for the modules' registration.
    const HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    RunSettingsWindow(instance);
    if (SUCCEEDED(hr)) CoUninitialize();
    return 0;
}
