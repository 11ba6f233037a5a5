#include "tools/shared/DeviceList.h"

#include <cwctype>

#include "module/SlotClasses.h"

namespace {

bool SameTextIgnoringCase(const std::wstring& a, const WCHAR* b) {
    size_t i = 0;
    for (; i < a.size() && b[i] != 0; ++i) {
        if (std::towupper(static_cast<wint_t>(a[i])) != std::towupper(static_cast<wint_t>(b[i]))) return false;
    }
    return i == a.size() && b[i] == 0;
}

}  // namespace

int DeviceSlot(const CaptureDevice& device) {
    for (DWORD slot = 0; slot < g_cSlots; ++slot) {
        WCHAR text[39];
        StringFromGUID2(g_SlotClsids[slot], text, 39);
        if (SameTextIgnoringCase(device.clsid, text)) return static_cast<int>(slot);
    }
    return -1;
}

const CaptureDevice* FindDeviceByName(const std::vector<CaptureDevice>& devices, const std::wstring& name) {
    for (const CaptureDevice& device : devices) {
        if (SameTextIgnoringCase(device.friendlyName, name.c_str())) return &device;
    }
    return nullptr;
}
