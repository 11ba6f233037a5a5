// What differs between systems, for the tools: here Windows. A 64-bit system
// has a 64-bit and a 32-bit view of HKEY_LOCAL_MACHINE\SOFTWARE (whichever
// bitness this program is); a 32-bit system has one.
#include "tools/ModuleCalls.h"
#include "tools/SlotStore.h"

namespace {

bool Is64BitSystem() {
#ifdef _WIN64
    return true;
#else
    BOOL bWow64 = FALSE;
    return IsWow64Process(GetCurrentProcess(), &bWow64) && bWow64;
#endif
}

}  // namespace

std::vector<RegistryView> SettingsViews() {
    if (!Is64BitSystem()) return {RegistryView{0, ""}};
    return {RegistryView{KEY_WOW64_64KEY, "64-bit"}, RegistryView{KEY_WOW64_32KEY, "32-bit"}};
}

void QuietSystemErrors() {
    // A module that cannot load is reported in words, never by a dialog box
    // that waits for a click (an installer runs the tools unattended).
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX | SEM_NOGPFAULTERRORBOX);
}
