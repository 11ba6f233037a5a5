#include "tests/module/ModuleTestSupport.h"

#include <cstring>

#include "filter/OculoPage.h"
#include "module/InstanceSettings.h"
#include "module/SlotClasses.h"
#include "tools/shared/DeviceList.h"
#include "tools/shared/ModuleCalls.h"
#include "tools/shared/SlotEditor.h"

namespace {

const WCHAR* const kParents[] = {L"SOFTWARE\\TALVO\\Oculo", L"SOFTWARE\\TALVO"};
// Marks the slot keys these tests write, so a run that was killed before its
// clean-up is recognised and cleared by the next one.
const WCHAR kTestMark[] = L"written_by_module_tests";

HRESULT CallModule(const char* entry) {
    HRESULT hr = E_FAIL;
    std::string error;
    EXPECT_TRUE(CallModuleEntry(ModulePath(), entry, &hr, &error)) << error;
    return hr;
}

std::wstring GuidText(REFGUID guid) {
    WCHAR text[39];
    StringFromGUID2(guid, text, 39);
    return text;
}

// Removes whatever of ours a module under test left registered, without the module.
void RemoveOurRegistrations() {
    for (DWORD slot = 0; slot < g_cSlots; ++slot) {
        const std::wstring clsid = GuidText(g_SlotClsids[slot]);
        RegDeleteKeyW(HKEY_CLASSES_ROOT,
                      (L"CLSID\\" + GuidText(CLSID_VideoInputDeviceCategory) + L"\\Instance\\" + clsid).c_str());
        RegDeleteKeyW(HKEY_CLASSES_ROOT, (L"CLSID\\" + clsid + L"\\InprocServer32").c_str());
        RegDeleteKeyW(HKEY_CLASSES_ROOT, (L"CLSID\\" + clsid).c_str());
        const std::wstring source = GuidText(g_MediaSourceClsids[slot]);
        RegDeleteKeyW(HKEY_CLASSES_ROOT, (L"CLSID\\" + source + L"\\InprocServer32").c_str());
        RegDeleteKeyW(HKEY_CLASSES_ROOT, (L"CLSID\\" + source).c_str());
    }
    RegDeleteKeyW(HKEY_CLASSES_ROOT, (PageClassKeyPath() + L"\\InprocServer32").c_str());
    RegDeleteKeyW(HKEY_CLASSES_ROOT, PageClassKeyPath().c_str());
}

}  // namespace

std::string ModulePath() { return OCULO_MODULE_PATH; }
HRESULT RegisterModule() { return CallModule("DllRegisterServer"); }
HRESULT UnregisterModule() { return CallModule("DllUnregisterServer"); }

void WriteSlot(DWORD slot, const SlotConfig& c) {
    const std::wstring key = SlotKeyPath(slot);
    const LPCWSTR k = key.c_str();
    ASSERT_EQ(RegWriteDword(k, L"enable", c.enable), kRegWriteOk);
    ASSERT_EQ(RegWriteString(k, L"url", c.url.c_str()), kRegWriteOk);
    ASSERT_EQ(RegWriteString(k, L"name", c.name.c_str()), kRegWriteOk);
    ASSERT_EQ(RegWriteDword(k, L"w", DWORD(c.w)), kRegWriteOk);
    ASSERT_EQ(RegWriteDword(k, L"h", DWORD(c.h)), kRegWriteOk);
    ASSERT_EQ(RegWriteFloat(k, L"fps", c.fps), kRegWriteOk);
    ASSERT_EQ(RegWriteDword(k, L"crop_l", DWORD(c.crop_l)), kRegWriteOk);
    ASSERT_EQ(RegWriteDword(k, L"crop_t", DWORD(c.crop_t)), kRegWriteOk);
    ASSERT_EQ(RegWriteDword(k, L"crop_r", DWORD(c.crop_r)), kRegWriteOk);
    ASSERT_EQ(RegWriteDword(k, L"crop_b", DWORD(c.crop_b)), kRegWriteOk);
    ASSERT_EQ(RegWriteDword(k, L"tShift", DWORD(c.tShift)), kRegWriteOk);
    ASSERT_EQ(RegWriteDword(k, L"status", c.status), kRegWriteOk);
    ASSERT_EQ(RegWriteDword(k, kTestMark, 1), kRegWriteOk);
}

std::map<int, std::wstring> ListedSlots() {
    // The host's view needs COM; a thread already in another mode keeps it.
    const HRESULT init = CoInitialize(nullptr);
    std::vector<CaptureDevice> devices;
    EXPECT_EQ(ListVideoInputDevices(&devices), S_OK);
    if (SUCCEEDED(init)) CoUninitialize();
    std::map<int, std::wstring> listed;
    for (const CaptureDevice& device : devices) {
        const int slot = DeviceSlot(device);
        if (slot >= 0) {
            EXPECT_EQ(listed.count(slot), 0u) << "slot " << slot << " listed twice";
            listed[slot] = device.friendlyName;
        }
    }
    return listed;
}

std::wstring ClassKeyPath(DWORD slot) { return L"CLSID\\" + GuidText(g_SlotClsids[slot]); }

std::wstring PageClassKeyPath() { return L"CLSID\\" + GuidText(CLSID_OculoPage); }

bool ClassKeyExists(DWORD slot) { return KeyExists(HKEY_CLASSES_ROOT, ClassKeyPath(slot).c_str()); }

std::wstring ClassesRootText(const std::wstring& path, LPCWSTR value) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return std::wstring();
    WCHAR text[1024] = {};
    DWORD size = sizeof(text) - sizeof(WCHAR);
    const LONG status = RegQueryValueExW(key, value, nullptr, nullptr, reinterpret_cast<BYTE*>(text), &size);
    RegCloseKey(key);
    return status == ERROR_SUCCESS ? std::wstring(text) : std::wstring();
}

DWORD DeviceMerit(DWORD slot) {
    const std::wstring path =
        L"CLSID\\" + GuidText(CLSID_VideoInputDeviceCategory) + L"\\Instance\\" + GuidText(g_SlotClsids[slot]);
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return 0;
    BYTE data[1024];
    DWORD size = sizeof(data);
    const LONG status = RegQueryValueExW(key, L"FilterData", nullptr, nullptr, data, &size);
    RegCloseKey(key);
    DWORD merit = 0;
    // Version, then merit: the filter data's header on every platform.
    if (status == ERROR_SUCCESS && size >= 8) std::memcpy(&merit, data + 4, sizeof(merit));
    return merit;
}

void ModuleRegistryTest::SetUp() {
    RegistryFileTest::SetUp();
    for (DWORD slot = 0; slot < g_cSlots; ++slot) {
        const std::wstring key = SlotKeyPath(slot);
        if (RegReadDword(key.c_str(), kTestMark, 0) == 1) ClearSlot(slot);
        if (KeyExists(HKEY_LOCAL_MACHINE, key.c_str())) {
            GTEST_SKIP() << "slot " << slot << " is configured here";
        }
    }
    RemoveOurRegistrations();  // a failed earlier run's, in the test prefix
    ASSERT_TRUE(ListedSlots().empty()) << "a device of ours is still listed";
    for (int i = 0; i < 2; ++i) m_bParentExisted[i] = KeyExists(HKEY_LOCAL_MACHINE, kParents[i]);
    m_bOwnKeys = true;
}

void ModuleRegistryTest::TearDown() {
    if (m_bOwnKeys) {
        for (DWORD slot = 0; slot < g_cSlots; ++slot) ClearSlot(slot);
        UnregisterModule();  // every slot's entries, whatever the settings now say
        RemoveOurRegistrations();  // and whatever a failing module left
        for (int i = 0; i < 2; ++i) {
            if (!m_bParentExisted[i]) RegDeleteKeyW(HKEY_LOCAL_MACHINE, kParents[i]);
        }
    }
    RegistryFileTest::TearDown();
}
