#include "tools/shared/ModuleCalls.h"

#include <cstdio>

#include "tools/shared/ConsoleText.h"
#include "tools/shared/ModuleTrust.h"

namespace {

typedef HRESULT(STDAPICALLTYPE* EntryPoint)();

// What a refused registration asks for, after the reason.
const char kInstallFirst[] = "Install Oculo first: run install.cmd or the installer";

struct KnownResult {
    HRESULT code;
    const char* text;
};

const KnownResult kKnownResults[] = {
    {S_OK, "S_OK, done"},
    {S_FALSE, "S_FALSE, done with nothing to do"},
    {E_FAIL, "E_FAIL, unspecified failure"},
    {E_OUTOFMEMORY, "E_OUTOFMEMORY, out of memory"},
    {E_INVALIDARG, "E_INVALIDARG, invalid argument"},
    {E_NOINTERFACE, "E_NOINTERFACE, interface not supported"},
    {E_ACCESSDENIED, "E_ACCESSDENIED, access denied (administrator rights needed?)"},
    {HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), "file or registry key not found"},
    {HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND), "path not found"},
    {HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER), "the module's path is too long"},
    {RPC_E_CHANGED_MODE, "RPC_E_CHANGED_MODE, this thread uses another COM threading mode"},
    {CO_E_NOTINITIALIZED, "CO_E_NOTINITIALIZED, COM is not initialised"},
    {REGDB_E_CLASSNOTREG, "REGDB_E_CLASSNOTREG, class not registered"},
    {CO_E_DLLNOTFOUND, "CO_E_DLLNOTFOUND, a registered module cannot be loaded"},
};

std::string Hex(HRESULT result) {
    char text[16];
    std::snprintf(text, sizeof(text), "0x%08lX", static_cast<unsigned long>(static_cast<ULONG>(result)));
    return text;
}

std::string Directory(const std::string& path) {
    const size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string Lower(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    }
    return text;
}

// One entry point of one module: its line, or *error when it fails.
RegistrationResult CallEntry(const std::string& modulePath, int bitness, bool bRegister, std::string* line,
                             std::string* error) {
    const char* entry = bRegister ? "DllRegisterServer" : "DllUnregisterServer";
    if (bitness != OwnBitness()) {
        if (!RunSystemRegistrar(bitness, modulePath, bRegister, error)) return RegistrationResult::kNoModule;
        *line = std::string(entry) + ": " + modulePath + " (" + std::to_string(bitness) + "-bit, by regsvr32) done";
        return RegistrationResult::kDone;
    }
    HRESULT hr = E_FAIL;
    if (!CallModuleEntry(modulePath, entry, &hr, error)) return RegistrationResult::kNoModule;
    if (FAILED(hr)) {
        *error = std::string(entry) + " in " + modulePath + " failed: " + ResultText(hr);
        return RegistrationResult::kFailed;
    }
    *line = std::string(entry) + ": " + modulePath + " " + ResultText(hr);
    return RegistrationResult::kDone;
}

// Before registering: every module is there and, when installed ones are
// registered, each may be registered from where it lies (by its real path
// then). Nothing is registered until all are judged.
RegistrationResult CheckModules(std::vector<std::string>* modules, ModuleChoice choice,
                                std::vector<std::string>* lines, std::string* error) {
    for (std::string& modulePath : *modules) {
        if (ModuleBitness(modulePath, error) == 0) {
            *error += "; not registered";
            return RegistrationResult::kNoModule;
        }
        if (choice == ModuleChoice::kNamed) {
            const std::string note = UncheckedModuleNote(modulePath);
            if (!note.empty()) lines->push_back(note);
            continue;
        }
        std::string registeredPath;
        const std::string refusal = WhyNotRegistrable(modulePath, &registeredPath);
        if (!refusal.empty()) {
            *error = modulePath + " is not registered: " + refusal + ". " + kInstallFirst;
            return RegistrationResult::kRefused;
        }
        modulePath = registeredPath;
    }
    return RegistrationResult::kDone;
}

}  // namespace

std::string DefaultModulePath() {
    const std::string configured = ConfiguredModulePath();
    if (!configured.empty()) return configured;
    char self[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, self, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return OCULO_MODULE_FILE_NAME;
    return Directory(self) + OCULO_MODULE_FILE_NAME;
}

bool CallModuleEntry(const std::string& modulePath, const char* entry, HRESULT* result, std::string* error) {
    // As regsvr32: the module's own folder is searched for the DLLs it imports.
    const std::wstring wide = ToWide(modulePath.c_str());
    HMODULE module = wide.empty() ? nullptr : LoadLibraryExW(wide.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (module == nullptr) {
        *error = "cannot load the module " + modulePath + " (error " + std::to_string(GetLastError()) +
                 "; is the path right and are the FFmpeg libraries beside it?)";
        return false;
    }
    EntryPoint call = reinterpret_cast<EntryPoint>(reinterpret_cast<void*>(GetProcAddress(module, entry)));
    if (call == nullptr) {
        *error = modulePath + " has no entry point " + entry + ": not an Oculo module";
        FreeLibrary(module);
        return false;
    }
    *result = call();
    FreeLibrary(module);
    return true;
}

std::string OtherBitnessModulePath(const std::string& modulePath) {
    const size_t file = modulePath.find_last_of("/\\");
    if (file == std::string::npos || file == 0) return std::string();
    const size_t parent = modulePath.find_last_of("/\\", file - 1);
    const size_t folder = parent == std::string::npos ? 0 : parent + 1;
    const std::string name = Lower(modulePath.substr(folder, file - folder));
    const char* other = name == "x64" ? "x86" : name == "x86" ? "x64" : nullptr;
    if (other == nullptr) return std::string();
    return modulePath.substr(0, folder) + other + modulePath.substr(file);
}

std::vector<std::string> InstalledModules() {
    const std::string configured = ConfiguredModulePath();
    if (!configured.empty()) return {configured};
    std::vector<std::string> modules{DefaultModulePath()};
    const std::string other = OtherBitnessModulePath(modules[0]);
    std::string error;
    const int bitness = other.empty() ? 0 : ModuleBitness(other, &error);
    if (bitness != 0 && SystemRunsBitness(bitness)) modules.push_back(other);
    return modules;
}

RegistrationResult RegisterModules(const std::vector<std::string>& modules, bool bRegister, ModuleChoice choice,
                                   std::vector<std::string>* lines, std::string* error) {
    std::vector<std::string> paths = modules;
    if (bRegister) {
        const RegistrationResult checked = CheckModules(&paths, choice, lines, error);
        if (checked != RegistrationResult::kDone) return checked;
    }
    for (const std::string& modulePath : paths) {
        const int bitness = ModuleBitness(modulePath, error);
        if (bitness == 0) {
            *error += bRegister ? "; not registered" : "; not unregistered";
            return RegistrationResult::kNoModule;
        }
        std::string line;
        RegistrationResult result = CallEntry(modulePath, bitness, false, &line, error);
        if (result == RegistrationResult::kDone && bRegister) {
            result = CallEntry(modulePath, bitness, true, &line, error);
        }
        if (result != RegistrationResult::kDone) return result;
        lines->push_back(line);
    }
    return RegistrationResult::kDone;
}

int ModuleBitness(const std::string& modulePath, std::string* error) {
    std::FILE* file = std::fopen(modulePath.c_str(), "rb");
    if (file == nullptr) {
        *error = "the module " + modulePath + " is missing (or cannot be read)";
        return 0;
    }
    unsigned char head[4096] = {};
    const size_t got = std::fread(head, 1, sizeof(head), file);
    std::fclose(file);
    auto at32 = [&](size_t at) { return at + 4 <= got ? unsigned(head[at]) | unsigned(head[at + 1]) << 8 |
                                                         unsigned(head[at + 2]) << 16 | unsigned(head[at + 3]) << 24
                                                       : 0u; };
    if (got >= 5 && head[0] == 0x7F && head[1] == 'E' && head[2] == 'L' && head[3] == 'F') {
        return head[4] == 2 ? 64 : head[4] == 1 ? 32 : 0;
    }
    if (got >= 0x40 && head[0] == 'M' && head[1] == 'Z') {
        const size_t pe = at32(0x3C);
        if (pe + 6 <= got && at32(pe) == 0x00004550u) {  // "PE\0\0"
            const unsigned machine = unsigned(head[pe + 4]) | unsigned(head[pe + 5]) << 8;
            if (machine == 0x014C) return 32;  // x86
            if (machine == 0x8664) return 64;  // x64
        }
    }
    *error = modulePath + " is not a module this system can load";
    return 0;
}

std::string ResultText(HRESULT result) {
    for (const KnownResult& known : kKnownResults) {
        if (known.code == result) return known.text + std::string(" (") + Hex(result) + ")";
    }
    return std::string(SUCCEEDED(result) ? "success " : "failure ") + Hex(result);
}
