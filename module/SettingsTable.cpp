#include "module/SettingsTable.h"

#include <cwchar>

namespace {

wchar_t Lower(wchar_t c) {
    return c >= L'A' && c <= L'Z' ? wchar_t(c - L'A' + L'a') : c;
}

bool SameName(LPCWSTR name, std::wstring_view other) {
    size_t i = 0;
    for (; i < other.size() && name[i] != 0; ++i) {
        if (Lower(name[i]) != Lower(other[i])) return false;
    }
    return i == other.size() && name[i] == 0;
}

}  // namespace

const SettingRow* FindSettingRow(std::wstring_view name) {
    for (const SettingRow& row : kSettingRows) {
        if (SameName(row.name, name)) return &row;
    }
    return nullptr;
}

InstanceSettings DefaultSettings() {
    InstanceSettings settings = {};
    for (const SettingRow& row : kSettingRows) {
        switch (row.kind) {
            case SettingKind::kText:
                break;  // empty
            case SettingKind::kDword:
                settings.*row.number = static_cast<LONG>(row.defaultValue);
                break;
            case SettingKind::kFps:
                settings.*row.fps = static_cast<float>(row.defaultValue);
                break;
        }
    }
    return settings;
}

bool SameSettings(const InstanceSettings& a, const InstanceSettings& b) {
    for (const SettingRow& row : kSettingRows) {
        switch (row.kind) {
            case SettingKind::kText:
                if (std::wcscmp(a.*row.text, b.*row.text) != 0) return false;
                break;
            case SettingKind::kDword:
                if (a.*row.number != b.*row.number) return false;
                break;
            case SettingKind::kFps:
                if (a.*row.fps != b.*row.fps) return false;
                break;
        }
    }
    return true;
}
