// The component runtime of the stand-in: initialisation modes, activation of
// a registered in-process server with its DllMain calls, unloading, the
// filter mappers and the module services. Linux-only (loads a shared object).
#include <dlfcn.h>

#include <string>
#include <vector>

#include "RegistryFixture.h"
#include "platform/RegKey.h"

// {6F1C2B0A-8E2D-4B8A-9C51-0D3E5A7B9C11}, the test server's class.
static const GUID kServerClass = {0x6f1c2b0a, 0x8e2d, 0x4b8a, {0x9c, 0x51, 0x0d, 0x3e, 0x5a, 0x7b, 0x9c, 0x11}};

static std::vector<std::string> g_events;

// Called by the test server's DllMain (found through the executable's exports).
extern "C" __attribute__((visibility("default"))) void TestServerEvent(const char* event, const char* detail) {
    g_events.push_back(std::string(event) + " " + detail);
}

namespace {

class ComTest : public RegistryFileTest {
protected:
    void SetUp() override {
        RegistryFileTest::SetUp();
        g_events.clear();
        ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
    }
    void TearDown() override {
        CoFreeUnusedLibraries();
        CoUninitialize();
        RegistryFileTest::TearDown();
    }
    void RegisterServer(const char* path) {
        WCHAR wide[MAX_PATH];
        ASSERT_GT(MultiByteToWideChar(CP_UTF8, 0, path, -1, wide, MAX_PATH), 0);
        ASSERT_EQ(RegSetValueW(HKEY_CLASSES_ROOT, L"CLSID\\{6F1C2B0A-8E2D-4B8A-9C51-0D3E5A7B9C11}\\InprocServer32",
                               REG_SZ, wide, 0),
                  ERROR_SUCCESS);
    }
};

DWORD WINAPI CreateOnOtherThread(LPVOID) {
    IUnknown* object = nullptr;
    HRESULT result = CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, (void**)&object);
    if (object) object->Release();
    return static_cast<DWORD>(result);
}

}  // namespace

TEST(PlatformCom, InitialisationIsCountedPerThreadAndModeChecked) {
    EXPECT_EQ(CoInitialize(nullptr), S_OK);
    EXPECT_EQ(CoInitialize(nullptr), S_FALSE);
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), RPC_E_CHANGED_MODE);
    CoUninitialize();
    CoUninitialize();
    IUnknown* object = reinterpret_cast<IUnknown*>(1);
    EXPECT_EQ(CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, (void**)&object),
              CO_E_NOTINITIALIZED);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED | COINIT_DISABLE_OLE1DDE), S_OK);
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_FALSE);

    // While this thread is in the multithreaded mode, an uninitialised thread may create objects.
    HANDLE thread = CreateThread(nullptr, 0, CreateOnOtherThread, nullptr, 0, nullptr);
    ASSERT_EQ(WaitForSingleObject(thread, 5000), WAIT_OBJECT_0);
    DWORD result = 1;
    GetExitCodeThread(thread, &result);
    CloseHandle(thread);
    EXPECT_EQ(static_cast<HRESULT>(result), S_OK);
    CoUninitialize();
    CoUninitialize();
}

TEST(PlatformCom, StringFromGuidUsesTheRegistryForm) {
    WCHAR text[39];
    EXPECT_EQ(StringFromGUID2(CLSID_VideoInputDeviceCategory, text, 39), 39);
    EXPECT_STREQ(text, L"{860BB310-5D01-11D0-BD3B-00A0C911CE86}");
    EXPECT_EQ(StringFromGUID2(CLSID_VideoInputDeviceCategory, text, 38), 0);
}

TEST_F(ComTest, UnregisteredOrUnloadableClassesFail) {
    IUnknown* object = nullptr;
    EXPECT_EQ(CoCreateInstance(kServerClass, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, (void**)&object),
              REGDB_E_CLASSNOTREG);
    RegisterServer("/nonexistent/libnothing.so");
    EXPECT_EQ(CoCreateInstance(kServerClass, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, (void**)&object),
              CO_E_DLLNOTFOUND);
    EXPECT_EQ(object, nullptr);
}

TEST_F(ComTest, RegisteredServerIsLoadedOnceAndUnloadedWhenUnused) {
    RegisterServer(OCULO_TEST_SERVER);
    IPersist* first = nullptr;
    IPersist* second = nullptr;
    ASSERT_EQ(CoCreateInstance(kServerClass, nullptr, CLSCTX_INPROC_SERVER, IID_IPersist, (void**)&first), S_OK);
    ASSERT_EQ(CoCreateInstance(kServerClass, nullptr, CLSCTX_INPROC_SERVER, IID_IPersist, (void**)&second), S_OK);
    CLSID id;
    EXPECT_EQ(first->GetClassID(&id), S_OK);
    EXPECT_EQ(id, kServerClass);
    ASSERT_EQ(g_events.size(), 1u);
    EXPECT_EQ(g_events[0], std::string("attach ") + OCULO_TEST_SERVER);  // its own path through its HMODULE

    first->Release();
    CoFreeUnusedLibraries();  // one object still lives: stays loaded
    EXPECT_EQ(g_events.size(), 1u);
    EXPECT_EQ(second->Release(), 0u);
    CoFreeUnusedLibraries();
    ASSERT_EQ(g_events.size(), 2u);
    EXPECT_EQ(g_events[1].rfind("detach ", 0), 0u);
    void* still = dlopen(OCULO_TEST_SERVER, RTLD_NOW | RTLD_NOLOAD);
    EXPECT_EQ(still, nullptr);
    if (still) dlclose(still);

    // Loading again runs DllMain again.
    ASSERT_EQ(CoCreateInstance(kServerClass, nullptr, CLSCTX_INPROC_SERVER, IID_IPersist, (void**)&first), S_OK);
    EXPECT_EQ(g_events.size(), 3u);
    first->Release();
}

TEST_F(ComTest, AThreadHoldingTheServerKeepsItLoadedUntilItEnds) {
    RegisterServer(OCULO_TEST_SERVER);
    IPersist* object = nullptr;
    ASSERT_EQ(CoCreateInstance(kServerClass, nullptr, CLSCTX_INPROC_SERVER, IID_IPersist, (void**)&object), S_OK);
    void* handle = dlopen(OCULO_TEST_SERVER, RTLD_NOW | RTLD_NOLOAD);
    ASSERT_NE(handle, nullptr);
    auto start = reinterpret_cast<HANDLE (*)(HANDLE)>(dlsym(handle, "StartHeldThread"));
    dlclose(handle);
    ASSERT_NE(start, nullptr);
    HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE thread = start(release);
    ASSERT_NE(thread, nullptr);
    object->Release();
    CoFreeUnusedLibraries();  // unused, but its thread holds it: no detach
    EXPECT_EQ(g_events.size(), 1u);

    SetEvent(release);
    ASSERT_EQ(WaitForSingleObject(thread, 10000), WAIT_OBJECT_0);
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeThread(thread, &code));
    EXPECT_EQ(code, 7u);
    ASSERT_EQ(g_events.size(), 2u);  // the last reference went with the thread
    EXPECT_EQ(g_events[1].rfind("detach ", 0), 0u);
    void* still = dlopen(OCULO_TEST_SERVER, RTLD_NOW | RTLD_NOLOAD);
    EXPECT_EQ(still, nullptr);
    if (still) dlclose(still);
    CloseHandle(thread);
    CloseHandle(release);
}

TEST_F(ComTest, FilterMapper2WritesAndRemovesTheDeviceEntry) {
    IFilterMapper2* mapper = nullptr;
    ASSERT_EQ(CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper2, (void**)&mapper),
              S_OK);
    const REGPINTYPES type = {&MEDIATYPE_Video, &GUID_NULL};
    REGFILTERPINS pin = {const_cast<LPWSTR>(L"Output"), FALSE, TRUE, FALSE, FALSE, &CLSID_NULL, nullptr, 1, &type};
    REGFILTER2 filter = {};
    filter.dwVersion = 1;
    filter.dwMerit = MERIT_DO_NOT_USE;
    filter.cPins = 1;
    filter.rgPins = &pin;
    IMoniker* moniker = nullptr;
    ASSERT_EQ(mapper->RegisterFilter(kServerClass, L"Oculo 01", &moniker, &CLSID_VideoInputDeviceCategory, nullptr, &filter),
              S_OK);
    EXPECT_EQ(moniker, nullptr);

    CRegKey key;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CLASSES_ROOT,
                            L"CLSID\\{860BB310-5D01-11D0-BD3B-00A0C911CE86}\\Instance\\"
                            L"{6F1C2B0A-8E2D-4B8A-9C51-0D3E5A7B9C11}",
                            0, KEY_READ, key.Put()),
              ERROR_SUCCESS);
    WCHAR text[64];
    DWORD size = sizeof(text);
    EXPECT_EQ(RegQueryValueExW(key.Get(), L"FriendlyName", nullptr, nullptr, reinterpret_cast<BYTE*>(text), &size), ERROR_SUCCESS);
    EXPECT_STREQ(text, L"Oculo 01");
    size = sizeof(text);
    EXPECT_EQ(RegQueryValueExW(key.Get(), L"CLSID", nullptr, nullptr, reinterpret_cast<BYTE*>(text), &size), ERROR_SUCCESS);
    EXPECT_STREQ(text, L"{6F1C2B0A-8E2D-4B8A-9C51-0D3E5A7B9C11}");
    DWORD data[64];
    DWORD type2 = 0;
    size = sizeof(data);
    EXPECT_EQ(RegQueryValueExW(key.Get(), L"FilterData", nullptr, &type2, reinterpret_cast<BYTE*>(data), &size), ERROR_SUCCESS);
    EXPECT_EQ(type2, REG_BINARY);
    EXPECT_EQ(size, 3 * 4 + 2 * 4 + 16 + 2 * 16u);  // header, one pin, one media type
    EXPECT_EQ(data[0], 1u);
    EXPECT_EQ(data[1], static_cast<DWORD>(MERIT_DO_NOT_USE));
    EXPECT_EQ(data[3], 2u);  // an output pin

    EXPECT_EQ(mapper->UnregisterFilter(&CLSID_VideoInputDeviceCategory, nullptr, kServerClass), S_OK);
    EXPECT_EQ(mapper->UnregisterFilter(&CLSID_VideoInputDeviceCategory, nullptr, kServerClass),
              HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
    filter.dwVersion = 7;
    EXPECT_EQ(mapper->RegisterFilter(kServerClass, L"x", nullptr, nullptr, nullptr, &filter), E_INVALIDARG);
    EXPECT_EQ(mapper->Release(), 0u);
}

TEST_F(ComTest, FilterMapperRecordsTheFilterAndItsMerit) {
    IFilterMapper* mapper = nullptr;
    ASSERT_EQ(CoCreateInstance(CLSID_FilterMapper, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper, (void**)&mapper), S_OK);
    EXPECT_EQ(mapper->UnregisterFilter(kServerClass), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(mapper->RegisterFilter(kServerClass, L"Oculo", MERIT_DO_NOT_USE), S_OK);
    CRegKey key;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CLASSES_ROOT, L"CLSID\\{6F1C2B0A-8E2D-4B8A-9C51-0D3E5A7B9C11}", 0, KEY_READ, key.Put()),
              ERROR_SUCCESS);
    DWORD merit = 0, size = sizeof(merit);
    EXPECT_EQ(RegQueryValueExW(key.Get(), L"Merit", nullptr, nullptr, reinterpret_cast<BYTE*>(&merit), &size), ERROR_SUCCESS);
    EXPECT_EQ(merit, static_cast<DWORD>(MERIT_DO_NOT_USE));
    EXPECT_EQ(mapper->UnregisterFilter(kServerClass), S_OK);
    size = sizeof(merit);
    EXPECT_EQ(RegQueryValueExW(key.Get(), L"Merit", nullptr, nullptr, reinterpret_cast<BYTE*>(&merit), &size),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(mapper->RegisterPin(kServerClass, L"Output", FALSE, TRUE, FALSE, FALSE, CLSID_NULL, nullptr), E_NOTIMPL);
    mapper->Release();
}

TEST_F(ComTest, MemoryAllocatorComesFromThePlatformsOwnModule) {
    IMemAllocator* allocator = nullptr;
    HRESULT result = CoCreateInstance(CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER, IID_IMemAllocator,
                                      (void**)&allocator);
    // Either the module is built beside the platform library, or the class is not there.
    if (result == REGDB_E_CLASSNOTREG) {
        EXPECT_EQ(allocator, nullptr);
        return;
    }
    ASSERT_EQ(result, S_OK);
    ALLOCATOR_PROPERTIES properties = {};
    EXPECT_EQ(allocator->GetProperties(&properties), S_OK);
    allocator->Release();
}

TEST(PlatformModules, Ole32IsThePlatformLibraryAndFindsItsFunctions) {
    HMODULE ole32 = GetModuleHandleW(L"OLE32.DLL");
    ASSERT_NE(ole32, nullptr);
    typedef HRESULT(STDAPICALLTYPE * InitializeFunction)(LPVOID, DWORD);
    auto initialize = reinterpret_cast<InitializeFunction>(reinterpret_cast<void*>(GetProcAddress(ole32, "CoInitializeEx")));
    ASSERT_EQ(reinterpret_cast<void*>(initialize), reinterpret_cast<void*>(&CoInitializeEx));
    EXPECT_EQ(GetProcAddress(ole32, "NoSuchFunction"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PROC_NOT_FOUND));
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(ole32, path, MAX_PATH);
    ASSERT_GT(length, 0u);
    EXPECT_NE(std::string(path).find("liboculo_platform.so"), std::string::npos);
    EXPECT_TRUE(DisableThreadLibraryCalls(ole32));
}

TEST(PlatformModules, ModuleFileNameCutsAndReportsShortBuffers) {
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    ASSERT_GT(length, 4u);
    EXPECT_NE(std::string(path).find("platform_com_tests"), std::string::npos);
    char small[4];
    EXPECT_EQ(GetModuleFileNameA(nullptr, small, 4), 4u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(small[3], '\0');
    int local = 0;
    EXPECT_EQ(GetModuleFileNameA(reinterpret_cast<HMODULE>(&local), path, MAX_PATH), 0u);  // not a module
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
}
