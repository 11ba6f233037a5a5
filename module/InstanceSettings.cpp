#include "module/InstanceSettings.h"

#include <cwchar>

#include "module/SettingsTable.h"
#include "module/SlotClasses.h"
#include "platform/RegKey.h"

namespace {

const DWORD kDefaultTextChars = 256;

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

// Reads one value into its field; a missing or unreadable one takes its
// default.
void ReadSetting(LPCWSTR path, const SettingRow& row, InstanceSettings* settings) {
    switch (row.kind) {
        case SettingKind::kText: {
            WCHAR(&text)[kSettingsTextChars] = settings->*row.text;
            // A read of no bytes counts as missing too: an empty value names nothing.
            if (RegReadString(path, row.name, text, sizeof(text)) <= 0 && row.defaultText) {
                static_assert(kDefaultTextChars <= kSettingsTextChars, "a default text fits the record");
                wsprintfW(text, row.defaultText, settings->slot + 1);
            }
            return;
        }
        case SettingKind::kDword:
            settings->*row.number = RegReadDword(path, row.name, static_cast<LONG>(row.defaultValue));
            return;
        case SettingKind::kFps:
            settings->*row.fps = RegReadFloat(path, row.name, static_cast<float>(row.defaultValue));
            return;
    }
}

}  // namespace

void FormatSlotKeyPath(DWORD slot, WCHAR (&path)[kSlotKeyPathChars]) {
    wsprintfW(path, L"%ls\\%0.2u", kSlotsKeyPath, slot);
}

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

void FormatRegFloat(float value, WCHAR (&text)[kFloatTextChars]) {
    swprintf(text, kFloatTextChars, L"%g", static_cast<double>(value));
}

LONG RegWriteFloat(LPCWSTR keyPath, LPCWSTR valueName, float value) {
    WCHAR text[kFloatTextChars];
    FormatRegFloat(value, text);
    return RegWriteString(keyPath, valueName, text);
}

InstanceSettings LoadInstanceSettings(DWORD slot) {
    WCHAR path[kSlotKeyPathChars];
    FormatSlotKeyPath(slot, path);

    InstanceSettings settings;
    settings.slot = slot;
    settings.clsid = slot < g_cSlots ? &g_SlotClsids[slot] : nullptr;
    const int cRows = static_cast<int>(sizeof(kSettingRows) / sizeof(kSettingRows[0]));
    for (int order = 0; order < cRows; ++order) {
        for (const SettingRow& row : kSettingRows) {
            if (row.readOrder == order) ReadSetting(path, row, &settings);
        }
    }
    return settings;
}

std::string_view UnusableReason(const InstanceSettings& settings) {
    static_assert(kMinUrlChars == 6 && kMaxUrlChars == 1023, "the reasons name the address's limits");
    const size_t urlChars = wcslen(settings.url);
    if (settings.enable == 0) return "not enabled (enable=0)";
    if (urlChars < kMinUrlChars) return "no camera address (url shorter than 6 characters)";
    if (urlChars > kMaxUrlChars) return "camera address longer than 1023 characters";
    if (settings.name[0] == 0) return "empty name";
    if (settings.w <= 0 || settings.h <= 0) return "picture size not positive";
    if (!(settings.fps > 0.0f)) return "frame rate not positive";
    return std::string_view();
}

bool IsInstanceUsable(const InstanceSettings& settings) {
    return UnusableReason(settings).empty();
}

bool IsSlotUsable(DWORD slot) { return IsInstanceUsable(LoadInstanceSettings(slot)); }
