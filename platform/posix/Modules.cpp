// Module services: a module's path, handles by name, exported functions.
// An HMODULE is a dlopen handle; a handle is checked against the loaded
// objects before it is used, so a bad one fails instead of crashing.
#include <dlfcn.h>
#include <link.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <cctype>
#include <string>

#include "platform/posix/InprocServers.h"

namespace {

void* MainProgram() { return dlopen(nullptr, RTLD_NOW); }

// The loaded object behind a handle (in glibc a handle is its link map), or null.
const link_map* FindObject(HMODULE module) {
    link_map* entry = nullptr;
    if (dlinfo(MainProgram(), RTLD_DI_LINKMAP, &entry) != 0) return nullptr;
    while (entry && entry->l_prev) entry = entry->l_prev;
    for (; entry; entry = entry->l_next)
        if (static_cast<void*>(entry) == static_cast<void*>(module)) return entry;
    return nullptr;
}

std::string ExecutablePath() {
    char path[4096];
    ssize_t length = readlink("/proc/self/exe", path, sizeof(path) - 1);
    return length > 0 ? std::string(path, static_cast<size_t>(length)) : std::string();
}

// The platform library itself, standing for the system's component runtime DLL.
HMODULE PlatformModule() {
    Dl_info info;
    if (!dladdr(reinterpret_cast<void*>(&GetModuleHandleW), &info) || !info.dli_fname) return nullptr;
    void* handle = dlopen(info.dli_fname, RTLD_NOW | RTLD_NOLOAD);
    if (handle) dlclose(handle);  // it stays loaded: this library is running
    return static_cast<HMODULE>(handle);
}

bool SameNameIgnoringCase(const char* a, const char* b) {
    for (; *a && *b; ++a, ++b)
        if (std::tolower(static_cast<unsigned char>(*a)) != std::tolower(static_cast<unsigned char>(*b))) return false;
    return *a == *b;
}

// Only the component runtime is known by name: the system looks up nothing else.
HMODULE ModuleByName(LPCSTR moduleName) {
    if (!moduleName) return static_cast<HMODULE>(MainProgram());
    if (SameNameIgnoringCase(moduleName, "ole32.dll") || SameNameIgnoringCase(moduleName, "ole32")) return PlatformModule();
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
}

}  // namespace

// As on Windows: the length copied without the terminator; a path that does
// not fit is cut, terminated, and reported as size with ERROR_INSUFFICIENT_BUFFER.
WINBASEAPI DWORD WINAPI GetModuleFileNameA(HMODULE module, LPSTR fileName, DWORD size) {
    std::string path;
    if (!module || module == MainProgram()) {
        path = ExecutablePath();
    } else if (const link_map* object = FindObject(module)) {
        path = object->l_name && *object->l_name ? object->l_name : ExecutablePath();
    } else {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return 0;
    }
    if (!fileName || size == 0) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    if (path.size() >= size) {
        std::memcpy(fileName, path.data(), size - 1);
        fileName[size - 1] = '\0';
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return size;
    }
    std::memcpy(fileName, path.c_str(), path.size() + 1);
    return static_cast<DWORD>(path.size());
}

WINBASEAPI HMODULE WINAPI GetModuleHandleW(LPCWSTR moduleName) {
    if (!moduleName) return ModuleByName(nullptr);
    std::string narrow;
    for (; *moduleName; ++moduleName) narrow += *moduleName < 0x80 ? static_cast<char>(*moduleName) : '?';
    return ModuleByName(narrow.c_str());
}

WINBASEAPI FARPROC WINAPI GetProcAddress(HMODULE module, LPCSTR procName) {
    if (!procName || (module != MainProgram() && !FindObject(module))) {
        SetLastError(module ? ERROR_INVALID_HANDLE : ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    void* symbol = dlsym(module, procName);
    if (!symbol) SetLastError(ERROR_PROC_NOT_FOUND);
    return reinterpret_cast<FARPROC>(symbol);
}

// Threads are never announced to modules here, so there is nothing to switch off.
WINBASEAPI BOOL WINAPI DisableThreadLibraryCalls(HMODULE) { return TRUE; }

// The object that holds `address`: a server the runtime loaded counts its
// references itself; any other shared object through dlopen's own count. The
// main program is never unloaded, so its references need no count.
WINBASEAPI BOOL WINAPI GetModuleHandleExW(DWORD flags, LPCWSTR moduleName, HMODULE* module) {
    if (module) *module = nullptr;
    if (!module || (flags & GET_MODULE_HANDLE_EX_FLAG_PIN) ||
        (flags & ~(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT))) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    HMODULE found = nullptr;
    const char* path = nullptr;
    if (flags & GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS) {
        Dl_info info;
        link_map* object = nullptr;
        if (!dladdr1(moduleName, &info, reinterpret_cast<void**>(&object), RTLD_DL_LINKMAP) || !object) {
            SetLastError(ERROR_MOD_NOT_FOUND);
            return FALSE;
        }
        const bool isMain = !object->l_name || !*object->l_name;
        found = isMain ? static_cast<HMODULE>(MainProgram()) : reinterpret_cast<HMODULE>(object);
        if (!isMain) path = object->l_name;
    } else {
        found = GetModuleHandleW(moduleName);
        if (!found) return FALSE;
        if (found != MainProgram()) path = FindObject(found) ? FindObject(found)->l_name : nullptr;
    }
    if (!(flags & GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT) && path && !oculo::posix::ReferenceServer(found)) {
        void* again = dlopen(path, RTLD_NOW | RTLD_NOLOAD);  // counts one more
        if (again != static_cast<void*>(found)) {
            if (again) dlclose(again);
            SetLastError(ERROR_MOD_NOT_FOUND);
            return FALSE;
        }
    }
    *module = found;
    return TRUE;
}

WINBASEAPI HMODULE WINAPI LoadLibraryExW(LPCWSTR fileName, HANDLE, DWORD) {
    if (!fileName || !*fileName) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    char narrow[PATH_MAX];
    if (WideCharToMultiByte(CP_UTF8, 0, fileName, -1, narrow, sizeof(narrow), nullptr, nullptr) <= 0) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    char full[PATH_MAX];
    HMODULE module = oculo::posix::LoadModule(realpath(narrow, full) ? full : narrow);
    if (!module) SetLastError(ERROR_MOD_NOT_FOUND);
    return module;
}

WINBASEAPI BOOL WINAPI FreeLibrary(HMODULE module) {
    if (module && (module == MainProgram() || oculo::posix::FreeModule(module))) return TRUE;
    if (!module || !FindObject(module)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    dlclose(module);  // a reference GetModuleHandleEx took through dlopen
    return TRUE;
}
