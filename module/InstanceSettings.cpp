#include "module/InstanceSettings.h"

#include <cwchar>

#include "module/SlotClasses.h"
#include "platform/RegKey.h"

namespace {

const float kDefaultFps = 25.0f;
const LONG kDefaultWidth = 640;
const LONG kDefaultHeight = 480;
const DWORD kKeyPathChars = 256;
const DWORD kDefaultNameChars = 256;
const size_t kMinUrlChars = 6;

bool OpenForReading(LPCWSTR keyPath, CRegKey& key) {
    return RegOpenKeyExW(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_READ, key.Put()) == ERROR_SUCCESS;
}

// Stores data of type/cbData under keyPath\valueName; the write helpers' result codes.
LONG WriteValue(LPCWSTR keyPath, LPCWSTR valueName, DWORD type, const BYTE* data, DWORD cbData) {
    CRegKey key;
    DWORD disposition = 0;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, keyPath, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr,
                        key.Put(), &disposition) != ERROR_SUCCESS) {
        return kRegWriteCannotOpen;
    }
    if (disposition != REG_CREATED_NEW_KEY && disposition != REG_OPENED_EXISTING_KEY) {
        return kRegWriteBadDisposition;
    }
    if (RegSetValueExW(key.Get(), valueName, 0, type, data, cbData) != ERROR_SUCCESS) {
        return kRegWriteCannotSet;
    }
    return key.Close() == ERROR_SUCCESS ? kRegWriteOk : kRegWriteCannotClose;
}

void FormatSlotKeyPath(DWORD slot, WCHAR (&path)[kKeyPathChars]) {
    wsprintfW(path, L"SOFTWARE\\TALVO\\Oculo\\%0.2u", slot);
}

}  // namespace

LONG RegReadString(LPCWSTR keyPath, LPCWSTR valueName, WCHAR* buffer, DWORD cbBuffer) {
    const DWORD capacity = cbBuffer / sizeof(WCHAR);
    if (capacity == 0) {
        return -1;  // no room even for the empty string
    }
    buffer[0] = 0;
    CRegKey key;
    if (!OpenForReading(keyPath, key)) {
        return -1;
    }
    DWORD cbData = capacity * sizeof(WCHAR);
    if (RegQueryValueExW(key.Get(), valueName, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &cbData) !=
        ERROR_SUCCESS) {
        buffer[0] = 0;
        return -1;
    }
    // The data need not be text nor terminated: end it after the last whole
    // unit read, and never beyond the buffer's last unit.
    DWORD end = cbData / sizeof(WCHAR);
    buffer[end < capacity ? end : capacity - 1] = 0;
    if (key.Close() != ERROR_SUCCESS) {
        return -1;
    }
    return static_cast<LONG>(cbData);
}

LONG RegReadDword(LPCWSTR keyPath, LPCWSTR valueName, LONG defaultValue) {
    CRegKey key;
    if (!OpenForReading(keyPath, key)) {
        return defaultValue;
    }
    DWORD value = 0;  // a shorter value leaves the remaining bytes 0
    DWORD cbData = sizeof(value);
    if (RegQueryValueExW(key.Get(), valueName, nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &cbData) !=
        ERROR_SUCCESS) {
        return defaultValue;
    }
    if (key.Close() != ERROR_SUCCESS) {
        return defaultValue;
    }
    return static_cast<LONG>(value);
}

float RegReadFloat(LPCWSTR keyPath, LPCWSTR valueName, float defaultValue) {
    WCHAR text[kFpsTextChars];
    if (RegReadString(keyPath, valueName, text, sizeof(text)) < 0) {
        return defaultValue;
    }
    return static_cast<float>(_wtof(text));
}

LONG RegWriteString(LPCWSTR keyPath, LPCWSTR valueName, LPCWSTR text) {
    DWORD cbText = static_cast<DWORD>((lstrlenW(text) + 1) * sizeof(WCHAR));
    return WriteValue(keyPath, valueName, REG_SZ, reinterpret_cast<const BYTE*>(text), cbText);
}

LONG RegWriteDword(LPCWSTR keyPath, LPCWSTR valueName, DWORD value) {
    return WriteValue(keyPath, valueName, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
}

LONG RegWriteFloat(LPCWSTR keyPath, LPCWSTR valueName, float value) {
    WCHAR text[64];
    swprintf(text, 64, L"%g", static_cast<double>(value));
    return RegWriteString(keyPath, valueName, text);
}

InstanceSettings LoadInstanceSettings(DWORD slot) {
    WCHAR path[kKeyPathChars];
    FormatSlotKeyPath(slot, path);

    InstanceSettings settings;
    settings.slot = slot;
    settings.clsid = slot < g_cSlots ? &g_SlotClsids[slot] : nullptr;
    settings.fps = RegReadFloat(path, L"fps", kDefaultFps);
    settings.w = RegReadDword(path, L"w", kDefaultWidth);
    settings.h = RegReadDword(path, L"h", kDefaultHeight);
    settings.enable = RegReadDword(path, L"enable", 0);
    settings.crop_l = RegReadDword(path, L"crop_l", 0);
    settings.crop_r = RegReadDword(path, L"crop_r", 0);
    settings.crop_t = RegReadDword(path, L"crop_t", 0);
    settings.crop_b = RegReadDword(path, L"crop_b", 0);
    settings.tShift = RegReadDword(path, L"tShift", 0);
    settings.status = RegReadDword(path, L"status", 1);
    RegReadString(path, L"url", settings.url, sizeof(settings.url));  // stays empty on failure
    if (RegReadString(path, L"name", settings.name, sizeof(settings.name)) <= 0) {
        static_assert(kDefaultNameChars <= kSettingsTextChars, "default name fits the record");
        wsprintfW(settings.name, L"Oculo %0.2u", slot + 1);
    }
    return settings;
}

bool IsInstanceUsable(const InstanceSettings& settings) {
    if (settings.enable == 0) {
        return false;
    }
    size_t urlChars = wcslen(settings.url);
    if (urlChars < kMinUrlChars || urlChars > kMaxUrlChars) {
        return false;
    }
    if (settings.name[0] == 0) {
        return false;
    }
    if (settings.w <= 0 || settings.h <= 0) {
        return false;
    }
    return settings.fps > 0.0f;
}

bool IsSlotUsable(DWORD slot) { return IsInstanceUsable(LoadInstanceSettings(slot)); }
