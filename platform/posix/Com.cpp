// The component runtime: per-thread initialisation, GUID text and activation.
#include <atomic>
#include <string>

#include "platform/ComRef.h"
#include "platform/RegKey.h"
#include "platform/posix/FilterMapper.h"
#include "platform/posix/InprocServers.h"
#include "text/Unicode.h"

namespace oculo::posix {
namespace {

// The calling thread's initialisations and their mode.
struct ThreadState {
    ULONG count = 0;
    bool apartment = false;
};
thread_local ThreadState t_com;

// Threads initialised for the multithreaded mode; while there is one, every
// thread of the process may create objects, as in Windows' implicit MTA.
std::atomic<LONG> g_multithreaded{0};

bool CanActivate() { return t_com.count > 0 || g_multithreaded.load() > 0; }

// The server path registered for a class, or empty.
std::string RegisteredServer(REFCLSID clsid) {
    const std::wstring key = L"CLSID\\" + GuidText(clsid) + L"\\InprocServer32";
    CRegKey server;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_QUERY_VALUE, server.Put()) != ERROR_SUCCESS)
        return std::string();
    WCHAR path[4096] = {};
    DWORD size = sizeof(path) - sizeof(WCHAR), type = 0;
    LONG status = RegQueryValueExW(server.Get(), nullptr, nullptr, &type, reinterpret_cast<BYTE*>(path), &size);
    server.Close();
    if (status != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return std::string();
    return text::WideToUtf8(path);  // terminated: the buffer has one WCHAR to spare
}

HRESULT GetClassObject(REFCLSID clsid, IClassFactory** factory) {
    if (clsid == CLSID_FilterMapper2) return FilterMapper2Factory()->QueryInterface(IID_IClassFactory, (void**)factory);
    if (clsid == CLSID_FilterMapper) return FilterMapperFactory()->QueryInterface(IID_IClassFactory, (void**)factory);
    std::string path = clsid == CLSID_MemoryAllocator ? PlatformDirectory() + "liboculo_quartz.so" : RegisteredServer(clsid);
    if (path.empty()) return REGDB_E_CLASSNOTREG;
    HRESULT result = GetServerClassObject(path, clsid, IID_IClassFactory, reinterpret_cast<void**>(factory));
    // The platform's own allocator module is part of the platform: when it is absent the class is not there.
    if (result == CO_E_DLLNOTFOUND && clsid == CLSID_MemoryAllocator) return REGDB_E_CLASSNOTREG;
    return result;
}

}  // namespace
}  // namespace oculo::posix

using namespace oculo::posix;

WINOLEAPI CoInitializeEx(LPVOID, DWORD coInit) {
    const bool apartment = (coInit & COINIT_APARTMENTTHREADED) != 0;
    if (t_com.count > 0) {
        if (t_com.apartment != apartment) return RPC_E_CHANGED_MODE;
        ++t_com.count;
        return S_FALSE;
    }
    t_com.count = 1;
    t_com.apartment = apartment;
    if (!apartment) ++g_multithreaded;
    return S_OK;
}

WINOLEAPI CoInitialize(LPVOID reserved) { return CoInitializeEx(reserved, COINIT_APARTMENTTHREADED); }

WINOLEAPI_(void) CoUninitialize(void) {
    if (t_com.count == 0) return;
    if (--t_com.count == 0 && !t_com.apartment) --g_multithreaded;
}

WINOLEAPI_(int) StringFromGUID2(REFGUID rguid, LPOLESTR buffer, int cchMax) {
    if (!buffer || cchMax < 39) return 0;
    FormatGuid(rguid, buffer);
    return 39;
}

WINOLEAPI CoCreateInstance(REFCLSID rclsid, LPUNKNOWN pUnkOuter, DWORD clsContext, REFIID riid, LPVOID* ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (!CanActivate()) return CO_E_NOTINITIALIZED;
    if ((clsContext & CLSCTX_INPROC_SERVER) == 0) return REGDB_E_CLASSNOTREG;
    if (pUnkOuter && riid != IID_IUnknown) return CLASS_E_NOAGGREGATION;  // an aggregate hands out only its inner IUnknown
    CComRef<IClassFactory> factory;
    HRESULT result;
    try {
        result = GetClassObject(rclsid, factory.Put());
    } catch (...) {  // out of memory while finding the server
        return E_OUTOFMEMORY;
    }
    if (FAILED(result)) return result;
    return factory->CreateInstance(pUnkOuter, riid, ppv);
}

WINOLEAPI_(void) CoFreeUnusedLibraries(void) { FreeUnusedServers(); }
