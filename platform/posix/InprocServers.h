// The in-process servers the runtime has loaded, and the module services
// (GetModuleFileNameA, GetModuleHandle, GetProcAddress) over them.
//
// A server is loaded once by path; its DllMain, when it has one, sees
// DLL_PROCESS_ATTACH after loading and DLL_PROCESS_DETACH before unloading,
// with its dlopen handle as HMODULE. The table's lock plays the loader
// lock's part: DllMain runs under it. Internal to the platform library.
#pragma once

#include <string>

#include "com.h"

namespace oculo::posix {

// The server's class object for clsid; CO_E_DLLNOTFOUND when the file cannot
// be loaded, CO_E_ERRORINDLL when it is not a server.
HRESULT GetServerClassObject(const std::string& path, REFCLSID clsid, REFIID iid, void** object);
// Unloads every server whose DllCanUnloadNow answers S_OK, unless the
// application or a thread of the module still holds it (LoadModule,
// ReferenceServer).
void FreeUnusedServers();
// LoadLibrary and FreeLibrary: a counted load of any module through the same
// table, so a module the application loaded and the runtime also serves is
// one module with one DllMain attach. Null (LoadModule) or false (FreeModule)
// on failure.
HMODULE LoadModule(const std::string& path);
// GetModuleHandleEx on a loaded server: one more reference, given back by
// FreeModule; false when `handle` is no server's.
bool ReferenceServer(void* handle);
bool FreeModule(HMODULE module);
// The directory that holds the platform library, with a trailing slash.
std::string PlatformDirectory();

}  // namespace oculo::posix
