// What differs between systems, for the tools: here Windows. A 64-bit system
// has a 64-bit and a 32-bit view of HKEY_LOCAL_MACHINE\SOFTWARE (whichever
// bitness this program is); a 32-bit system has one.
#include <string>

#include "tools/shared/ConsoleText.h"
#include "tools/shared/ModuleCalls.h"
#include "tools/shared/SlotStore.h"

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

// Never from the environment: a user's own variables reach the programs
// that user runs as administrator.
std::string ConfiguredModulePath() { return std::string(); }

bool SystemRunsBitness(int bitness) { return bitness == 32 || (bitness == 64 && Is64BitSystem()); }

void QuietSystemErrors() {
    // A module that cannot load is reported in words, never by a dialog box
    // that waits for a click (an installer runs the tools unattended).
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX | SEM_NOGPFAULTERRORBOX);
}

bool RunSystemRegistrar(int bitness, const std::string& modulePath, bool bRegister, std::string* error) {
    if (bitness == 64 && !Is64BitSystem()) {
        *error = modulePath + " is a 64-bit module: this 32-bit system cannot use it";
        return false;
    }
    WCHAR windows[MAX_PATH];
    WCHAR full[MAX_PATH];
    const std::wstring wide = ToWide(modulePath.c_str());
    const UINT cchWindows = GetSystemWindowsDirectoryW(windows, MAX_PATH);
    if (cchWindows == 0 || cchWindows >= MAX_PATH) {
        *error = "cannot find the system's registrar for " + modulePath;
        return false;
    }
    // A full path that does not fit is not written at all (the size it
    // needs comes back): the module's path is too long to register.
    const DWORD cchFull = wide.empty() ? 0 : GetFullPathNameW(wide.c_str(), MAX_PATH, full, nullptr);
    if (cchFull == 0 || cchFull >= MAX_PATH) {
        *error = "the path of " + modulePath + " is too long (or not a path), so it cannot be registered";
        return false;
    }
    // A 64-bit program finds the 32-bit regsvr32 in SysWOW64; a 32-bit one
    // reaches the 64-bit regsvr32 through Sysnative (System32 is redirected
    // for it).
    const WCHAR* folder = bitness == 32 ? (Is64BitSystem() ? L"SysWOW64" : L"System32")
                                        : (OwnBitness() == 32 ? L"Sysnative" : L"System32");
    const std::wstring exe = std::wstring(windows) + L"\\" + folder + L"\\regsvr32.exe";
    std::wstring command = L"\"" + exe + L"\" /s " + (bRegister ? L"" : L"/u ") + L"\"" + full + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(exe.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        *error = "cannot run " + ToNarrow(exe.c_str()) + " (error " + std::to_string(GetLastError()) + ")";
        return false;
    }
    CloseHandle(process.hThread);
    DWORD code = 1;
    const bool bEnded = WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0;
    if (!bEnded) TerminateProcess(process.hProcess, 1);
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hProcess);
    const std::string what = std::to_string(bitness) + "-bit regsvr32" + (bRegister ? "" : " /u") + " " + modulePath;
    if (!bEnded) {
        *error = what + " did not finish within a minute";
        return false;
    }
    switch (code) {
        case 0: return true;
        case 3: *error = what + ": the module cannot be loaded (are the FFmpeg libraries beside it?)"; return false;
        case 4: *error = what + ": no registration entry point, not an Oculo module"; return false;
        case 5: *error = what + ": the registration failed (administrator rights needed?)"; return false;
        default: *error = what + " failed with exit code " + std::to_string(code); return false;
    }
}
