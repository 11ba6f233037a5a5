// What the module's tests share: the module as a host finds it (its file,
// registered through its own entry points, never linked into the test), a
// registry of the test's own, slot settings, and what a host lists.
//
// On Linux each test gets a fresh registry file. On Windows (under Wine) the
// tests use the real registry: they skip when a slot is already configured
// there, and remove every slot key and registration they made.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "platform/platform.h"
#include "tests/platform/RegistryFixture.h"

// The module file the build made (Oculo.so or Oculo.ax in bin/).
std::string ModulePath();
// DllRegisterServer / DllUnregisterServer of a freshly loaded module.
HRESULT RegisterModule();
HRESULT UnregisterModule();

struct SlotConfig {
    std::wstring name = L"Test camera";
    std::wstring url = L"rtsp://127.0.0.1:9/none";
    DWORD enable = 1;
    LONG w = 160;
    LONG h = 120;
    float fps = 10.0f;
    LONG crop_l = 0, crop_t = 0, crop_r = 0, crop_b = 0;
    LONG tShift = 0;
    DWORD status = 1;  // the status card
};
void WriteSlot(DWORD slot, const SlotConfig& config);

// Our devices in the video-input category as a host lists them: slot -> name.
std::map<int, std::wstring> ListedSlots();
// HKCR\CLSID\{slot's class} exists.
bool ClassKeyExists(DWORD slot);
// A text value under HKEY_CLASSES_ROOT; empty when missing.
std::wstring ClassesRootText(const std::wstring& path, LPCWSTR value);
// The merit in the slot's device entry (its FilterData); 0 when unreadable.
DWORD DeviceMerit(DWORD slot);
std::wstring ClassKeyPath(DWORD slot);
// HKCR\CLSID\{the slots' property page's class}.
std::wstring PageClassKeyPath();

// A test with a registry of its own and nothing of ours registered in it.
class ModuleRegistryTest : public RegistryFileTest {
protected:
    void SetUp() override;
    void TearDown() override;

private:
    bool m_bParentExisted[2] = {};
    bool m_bOwnKeys = false;
};
