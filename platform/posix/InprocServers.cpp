// Loading and unloading in-process servers.
#include <dlfcn.h>

#include <mutex>
#include <new>
#include <vector>

#include "platform/posix/InprocServers.h"

namespace oculo::posix {
namespace {

typedef BOOL(WINAPI* DllMainFunction)(HINSTANCE, DWORD, LPVOID);

struct Server {
    std::string path;
    void* handle;
    LPFNGETCLASSOBJECT getClassObject;
    LPFNCANUNLOADNOW canUnloadNow;  // may be null: such a server stays loaded
    DllMainFunction dllMain;        // may be null
    int busy;                       // calls in progress outside the lock
    bool byRuntime;                 // the runtime's own reference: from a class object to CoFreeUnusedLibraries
    int loads;                      // LoadLibrary and GetModuleHandleEx references not yet given back
};

std::recursive_mutex g_serverLock;  // guards Servers(); held while DllMain runs
std::vector<Server*>& Servers() {
    static auto* servers = new std::vector<Server*>();
    return *servers;
}

Server* FindLoaded(const std::string& path, void* handle) {
    for (Server* server : Servers())
        if (server->path == path || server->handle == handle) return server;
    return nullptr;
}

// Loads a server and runs its attach; null with the failure in *result.
Server* Load(const std::string& path, bool requireServer, HRESULT* result) {
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    *result = CO_E_DLLNOTFOUND;
    if (!handle) return nullptr;
    if (Server* loaded = FindLoaded(path, handle)) {  // the same file under another name
        dlclose(handle);
        return loaded;
    }
    Server* server = new (std::nothrow) Server{path, handle,
        reinterpret_cast<LPFNGETCLASSOBJECT>(dlsym(handle, "DllGetClassObject")),
        reinterpret_cast<LPFNCANUNLOADNOW>(dlsym(handle, "DllCanUnloadNow")),
        reinterpret_cast<DllMainFunction>(dlsym(handle, "DllMain")), 0, false, 0};
    if (!server || (!server->getClassObject && requireServer)) {
        *result = server ? CO_E_ERRORINDLL : E_OUTOFMEMORY;
        delete server;
        dlclose(handle);
        return nullptr;
    }
    try {
        Servers().push_back(server);
    } catch (...) {
        *result = E_OUTOFMEMORY;
        delete server;
        dlclose(handle);
        return nullptr;
    }
    if (server->dllMain && !server->dllMain(static_cast<HINSTANCE>(handle), DLL_PROCESS_ATTACH, nullptr)) {
        Servers().pop_back();
        delete server;
        dlclose(handle);  // a module that refuses to attach is not loaded, as on Windows
        return nullptr;
    }
    *result = S_OK;
    return server;
}

// Runs the detach and unloads; the server is gone afterwards. REQUIRES: g_serverLock held.
void Unload(Server* server) {
    std::vector<Server*>& servers = Servers();
    for (size_t i = 0; i < servers.size(); ++i) {
        if (servers[i] != server) continue;
        if (server->dllMain) server->dllMain(static_cast<HINSTANCE>(server->handle), DLL_PROCESS_DETACH, nullptr);
        dlclose(server->handle);
        servers.erase(servers.begin() + i);
        delete server;
        return;
    }
}

}  // namespace

HRESULT GetServerClassObject(const std::string& path, REFCLSID clsid, REFIID iid, void** object) {
    Server* server = nullptr;
    {
        std::lock_guard<std::recursive_mutex> hold(g_serverLock);
        server = FindLoaded(path, nullptr);
        HRESULT result = S_OK;
        if (!server) server = Load(path, true, &result);
        if (!server) return result;
        if (!server->getClassObject) return CO_E_ERRORINDLL;  // loaded by LoadLibrary, not a server
        server->byRuntime = true;
        ++server->busy;  // keeps it loaded while its class object is fetched
    }
    HRESULT result = server->getClassObject(clsid, iid, object);
    std::lock_guard<std::recursive_mutex> hold(g_serverLock);
    --server->busy;
    return result;
}

void FreeUnusedServers() {
    std::lock_guard<std::recursive_mutex> hold(g_serverLock);
    std::vector<Server*>& servers = Servers();
    for (size_t i = 0; i < servers.size();) {
        Server* server = servers[i];
        if (!server->byRuntime || server->busy > 0 || !server->canUnloadNow || server->canUnloadNow() != S_OK) {
            ++i;
            continue;
        }
        server->byRuntime = false;
        if (server->loads > 0) {
            ++i;  // held through LoadLibrary or by a thread of the module
            continue;
        }
        Unload(server);
    }
}

bool ReferenceServer(void* handle) {
    std::lock_guard<std::recursive_mutex> hold(g_serverLock);
    Server* server = FindLoaded(std::string(), handle);
    if (!server) return false;
    ++server->loads;
    return true;
}

HMODULE LoadModule(const std::string& path) {
    std::lock_guard<std::recursive_mutex> hold(g_serverLock);
    Server* server = FindLoaded(path, nullptr);
    HRESULT result = S_OK;
    if (!server) server = Load(path, false, &result);
    if (!server) return nullptr;
    ++server->loads;
    return static_cast<HMODULE>(server->handle);
}

bool FreeModule(HMODULE module) {
    std::lock_guard<std::recursive_mutex> hold(g_serverLock);
    for (Server* server : Servers()) {
        if (server->handle != static_cast<void*>(module)) continue;
        // One reference more than was taken is not the runtime's to lose.
        if (server->loads > 0 && --server->loads == 0 && !server->byRuntime) Unload(server);
        return true;
    }
    return false;
}

std::string PlatformDirectory() {
    Dl_info info;
    if (!dladdr(reinterpret_cast<void*>(&PlatformDirectory), &info) || !info.dli_fname) return std::string();
    std::string path = info.dli_fname;
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

}  // namespace oculo::posix
