// A minimal in-process server for the runtime's tests: one class whose
// objects answer IPersist with their class id. It reports its DllMain calls
// and its module path to the test program through TestServerEvent, which the
// test executable exports.
#include <dlfcn.h>

#include <atomic>
#include <new>

#include "platform/ComObject.h"
#include "platform/ComRef.h"

// {6F1C2B0A-8E2D-4B8A-9C51-0D3E5A7B9C11}
extern "C" __attribute__((visibility("default"))) const GUID CLSID_TestServerObject = {
    0x6f1c2b0a, 0x8e2d, 0x4b8a, {0x9c, 0x51, 0x0d, 0x3e, 0x5a, 0x7b, 0x9c, 0x11}};

namespace {

std::atomic<LONG> g_objects{0};
std::atomic<LONG> g_locks{0};

void Report(const char* event, const char* detail) {
    typedef void (*EventFunction)(const char*, const char*);
    auto report = reinterpret_cast<EventFunction>(dlsym(RTLD_DEFAULT, "TestServerEvent"));
    if (report) report(event, detail);
}

class Object final : public CComObject<ComInterface<IPersist, IID_IPersist>> {
public:
    Object() { ++g_objects; }
    STDMETHODIMP GetClassID(CLSID* id) override {
        *id = CLSID_TestServerObject;
        return S_OK;
    }

private:
    ~Object() override { --g_objects; }
};

class Factory final : public IClassFactory {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** object) override {
        *object = (riid == IID_IUnknown || riid == IID_IClassFactory) ? static_cast<IClassFactory*>(this) : nullptr;
        if (!*object) return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++g_locks; }
    STDMETHODIMP_(ULONG) Release() override { return --g_locks; }
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** object) override {
        if (outer) return CLASS_E_NOAGGREGATION;
        CComRef<Object> created;
        created.Attach(new (std::nothrow) Object());
        if (!created) return E_OUTOFMEMORY;
        return created->QueryInterface(riid, object);
    }
    STDMETHODIMP LockServer(BOOL lock) override {
        if (lock) ++g_locks;
        else --g_locks;
        return S_OK;
    }
};

Factory g_factory;

}  // namespace

extern "C" __attribute__((visibility("default"))) BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) {
    char path[MAX_PATH] = "";
    GetModuleFileNameA(module, path, MAX_PATH);
    Report(reason == DLL_PROCESS_ATTACH ? "attach" : reason == DLL_PROCESS_DETACH ? "detach" : "other", path);
    return TRUE;
}

extern "C" __attribute__((visibility("default"))) HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID riid,
                                                                                          LPVOID* object) {
    if (clsid != CLSID_TestServerObject) return CLASS_E_CLASSNOTAVAILABLE;
    return g_factory.QueryInterface(riid, object);
}

extern "C" __attribute__((visibility("default"))) HRESULT STDAPICALLTYPE DllCanUnloadNow() {
    return g_objects.load() == 0 && g_locks.load() == 0 ? S_OK : S_FALSE;
}

// A thread of the server's own that holds the module until `release` is set,
// then gives it back and ends with exit code 7, as a thread the server leaves
// behind does.
namespace {

HMODULE g_heldModule = nullptr;

DWORD WINAPI HeldThread(LPVOID release) {
    WaitForSingleObject(static_cast<HANDLE>(release), 10000);
    FreeLibraryAndExitThread(g_heldModule, 7);
}

}  // namespace

extern "C" __attribute__((visibility("default"))) HANDLE StartHeldThread(HANDLE release) {
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&HeldThread),
                            &g_heldModule)) {
        return nullptr;
    }
    HANDLE thread = CreateThread(nullptr, 0, HeldThread, release, 0, nullptr);
    if (!thread) FreeLibrary(g_heldModule);
    return thread;
}
