// Reads HKCR\CLSID\{video input category}\Instance\*: FriendlyName and CLSID,
// the entries the system device enumerator lists for registered filters.
#include "tools/shared/DeviceList.h"

namespace {

const WCHAR kInstanceKey[] = L"CLSID\\{860BB310-5D01-11D0-BD3B-00A0C911CE86}\\Instance";
const DWORD kMaxText = 512;

bool ReadText(HKEY key, LPCWSTR name, std::wstring* text) {
    WCHAR buffer[kMaxText] = {};
    DWORD size = sizeof(buffer) - sizeof(WCHAR);  // room for a terminator the data may lack
    DWORD type = 0;
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) != ERROR_SUCCESS ||
        type != REG_SZ) {
        return false;
    }
    *text = buffer;
    return true;
}

}  // namespace

HRESULT ListRegisteredVideoInputs(REGSAM view, std::vector<CaptureDevice>* devices) {
    devices->clear();
    HKEY category = nullptr;
    LONG status = RegOpenKeyExW(HKEY_CLASSES_ROOT, kInstanceKey, 0, KEY_READ | view, &category);
    if (status == ERROR_FILE_NOT_FOUND) return S_OK;  // no device was ever registered
    if (status != ERROR_SUCCESS) return HRESULT_FROM_WIN32(status);
    for (DWORD index = 0;; ++index) {
        WCHAR name[kMaxText];
        DWORD cch = kMaxText;
        status = RegEnumKeyExW(category, index, name, &cch, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_MORE_DATA) continue;
        if (status != ERROR_SUCCESS) break;
        HKEY entry = nullptr;
        if (RegOpenKeyExW(category, name, 0, KEY_READ | view, &entry) != ERROR_SUCCESS) continue;
        CaptureDevice device;
        // As a host: an entry without a friendly name is not listed.
        if (ReadText(entry, L"FriendlyName", &device.friendlyName)) {
            ReadText(entry, L"CLSID", &device.clsid);
            devices->push_back(device);
        }
        RegCloseKey(entry);
    }
    RegCloseKey(category);
    return S_OK;
}
