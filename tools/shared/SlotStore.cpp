#include "tools/shared/SlotStore.h"

#include <cstring>
#include <cwchar>

#include "platform/RegKey.h"
#include "tools/shared/ConsoleText.h"

namespace {

std::wstring SlotName(DWORD slot) {
    const std::wstring path = SlotKeyPath(slot);
    return path.substr(path.find_last_of(L'\\') + 1);
}

std::string ViewText(const RegistryView& view) {
    return view.name[0] ? std::string(" (") + view.name + " view)" : std::string();
}

std::string ErrorText(LONG error) {
    if (error == ERROR_ACCESS_DENIED) return "access denied: run as administrator";
    return "registry error " + std::to_string(error);
}

LONG DeleteSlotKey(DWORD slot, const RegistryView& view) {
    CRegKey parent;
    LONG result =
        RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSlotsKeyPath, 0, KEY_READ | KEY_WRITE | view.flag, parent.Put());
    if (result == ERROR_FILE_NOT_FOUND) return ERROR_SUCCESS;
    if (result != ERROR_SUCCESS) return result;
    result = RegDeleteKeyW(parent.Get(), SlotName(slot).c_str());
    return result == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : result;
}

LONG SetRaw(HKEY key, const std::wstring& name, DWORD type, const BYTE* data, DWORD size) {
    return RegSetValueExW(key, name.c_str(), 0, type, data, size);
}

LONG SetText(HKEY key, LPCWSTR name, const std::wstring& text) {
    return SetRaw(key, name, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                  DWORD((text.size() + 1) * sizeof(WCHAR)));
}

// Writes settings into the slot's key, created when missing.
LONG WriteSlot(const SlotChange& change, const RegistryView& view) {
    CRegKey key;
    LONG result = RegCreateKeyExW(HKEY_LOCAL_MACHINE, SlotKeyPath(change.slot).c_str(), 0, nullptr,
                                  REG_OPTION_NON_VOLATILE, KEY_READ | KEY_WRITE | view.flag, nullptr, key.Put(),
                                  nullptr);
    for (size_t i = 0; result == ERROR_SUCCESS && i < change.settings.size(); ++i) {
        const SlotSetting& setting = change.settings[i];
        const LPCWSTR name = setting.row->name;
        switch (setting.row->kind) {
            case SettingKind::kText:
                result = SetText(key.Get(), name, setting.text);
                break;
            case SettingKind::kDword:
                result = SetRaw(key.Get(), name, REG_DWORD, reinterpret_cast<const BYTE*>(&setting.number),
                                sizeof(DWORD));
                break;
            case SettingKind::kFps: {
                // The form the module's reader takes (as RegWriteFloat stores it).
                WCHAR text[kFloatTextChars];
                FormatRegFloat(setting.fps, text);
                result = SetText(key.Get(), name, text);
                break;
            }
        }
    }
    return result;
}

// Puts the slot's key back as the record had it.
LONG Restore(DWORD slot, const RegistryView& view, const SlotRecord& record) {
    SlotRecord now;
    if (ReadSlotRecord(slot, view, &now) == ERROR_SUCCESS && now == record) return ERROR_SUCCESS;
    LONG result = DeleteSlotKey(slot, view);
    if (result != ERROR_SUCCESS || !record.bExists) return result;
    CRegKey key;
    result = RegCreateKeyExW(HKEY_LOCAL_MACHINE, SlotKeyPath(slot).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                             KEY_WRITE | view.flag, nullptr, key.Put(), nullptr);
    for (size_t i = 0; result == ERROR_SUCCESS && i < record.values.size(); ++i) {
        const StoredValue& value = record.values[i];
        result = SetRaw(key.Get(), value.name, value.type, value.data.data(), DWORD(value.data.size()));
    }
    return result;
}

// Whether this process may write under the slots' key in the view, asked of
// the nearest key that exists, so that nothing is created by asking.
LONG CheckWriteAccess(const RegistryView& view) {
    const WCHAR* const paths[] = {kSlotsKeyPath, L"SOFTWARE\\TALVO", L"SOFTWARE"};
    for (const WCHAR* path : paths) {
        CRegKey key;
        const LONG result = RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_WRITE | view.flag, key.Put());
        if (result != ERROR_FILE_NOT_FOUND) return result;
    }
    return ERROR_SUCCESS;
}

}  // namespace

bool StoredValue::operator==(const StoredValue& other) const {
    return name == other.name && type == other.type && data == other.data;
}

bool SelectView(const char* text, std::vector<RegistryView>* views, std::string* error) {
    const std::string wanted = std::string(text ? text : "") + "-bit";
    for (const RegistryView& view : *views) {
        if (wanted == view.name) {
            *views = {view};
            return true;
        }
    }
    *error = std::string("this system has no ") + wanted + " registry view" +
             (views->size() == 1 ? " (it has one view only; leave out --view)" : " (use --view 32 or --view 64)");
    return false;
}

LONG ReadSlotRecord(DWORD slot, const RegistryView& view, SlotRecord* record) {
    *record = SlotRecord();
    CRegKey key;
    LONG result = RegOpenKeyExW(HKEY_LOCAL_MACHINE, SlotKeyPath(slot).c_str(), 0, KEY_READ | view.flag, key.Put());
    if (result == ERROR_FILE_NOT_FOUND) return ERROR_SUCCESS;
    if (result != ERROR_SUCCESS) return result;
    record->bExists = true;
    for (const SettingRow& row : kSettingRows) {
        const LPCWSTR name = row.name;
        DWORD type = 0;
        DWORD size = 0;
        result = RegQueryValueExW(key.Get(), name, nullptr, &type, nullptr, &size);
        if (result == ERROR_FILE_NOT_FOUND) continue;
        if (result != ERROR_SUCCESS) return result;
        StoredValue value{name, type, std::vector<BYTE>(size)};
        result = RegQueryValueExW(key.Get(), name, nullptr, &type, value.data.data(), &size);
        if (result != ERROR_SUCCESS) return result;
        value.data.resize(size);
        value.type = type;
        record->values.push_back(value);
    }
    return ERROR_SUCCESS;
}

std::string StoredValueText(const StoredValue& value) {
    if (value.type == REG_DWORD && value.data.size() == sizeof(DWORD)) {
        DWORD number;
        std::memcpy(&number, value.data.data(), sizeof(number));
        return std::to_string(static_cast<LONG>(number));
    }
    if (value.type == REG_SZ || value.type == REG_EXPAND_SZ) {
        std::wstring text(value.data.size() / sizeof(WCHAR), L'\0');
        if (!text.empty()) std::memcpy(&text[0], value.data.data(), text.size() * sizeof(WCHAR));
        return ToNarrow(text.c_str());
    }
    return "(" + std::to_string(value.data.size()) + " bytes of type " + std::to_string(value.type) + ")";
}

LONG ApplySlotChanges(const std::vector<SlotChange>& changes, const std::vector<RegistryView>& views,
                      std::string* error) {
    for (const RegistryView& view : views) {
        const LONG result = CheckWriteAccess(view);
        if (result != ERROR_SUCCESS) {
            *error = "cannot change the settings" + ViewText(view) + ": " + ErrorText(result) + "; nothing changed";
            return result;
        }
    }
    // What each slot held before, to put back when a write fails part way.
    std::vector<std::vector<SlotRecord>> before(views.size(), std::vector<SlotRecord>(changes.size()));
    for (size_t v = 0; v < views.size(); ++v) {
        for (size_t c = 0; c < changes.size(); ++c) {
            const LONG result = ReadSlotRecord(changes[c].slot, views[v], &before[v][c]);
            if (result != ERROR_SUCCESS) {
                *error = "cannot read slot " + std::to_string(changes[c].slot) + ViewText(views[v]) + ": " +
                         ErrorText(result) + "; nothing changed";
                return result;
            }
        }
    }
    for (size_t v = 0; v < views.size(); ++v) {
        for (size_t c = 0; c < changes.size(); ++c) {
            const SlotChange& change = changes[c];
            LONG result = (change.bRemove || change.bReplace) ? DeleteSlotKey(change.slot, views[v]) : ERROR_SUCCESS;
            if (result == ERROR_SUCCESS && !change.bRemove) result = WriteSlot(change, views[v]);
            if (result == ERROR_SUCCESS) continue;
            // Undo in reverse, up to and including the change that failed.
            bool bRestored = true;
            for (size_t uv = v + 1; uv-- > 0;) {
                for (size_t uc = (uv == v ? c + 1 : changes.size()); uc-- > 0;) {
                    if (Restore(changes[uc].slot, views[uv], before[uv][uc]) != ERROR_SUCCESS) bRestored = false;
                }
            }
            *error = "cannot change slot " + std::to_string(change.slot) + ViewText(views[v]) + ": " +
                     ErrorText(result) +
                     (bRestored ? "; nothing changed" : "; the previous settings could not all be restored");
            return result;
        }
    }
    return ERROR_SUCCESS;
}
