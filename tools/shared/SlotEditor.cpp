#include "tools/shared/SlotEditor.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>

#include "module/SlotClasses.h"
#include "text/CameraAddress.h"
#include "text/Unicode.h"
#include "tools/shared/ConsoleText.h"

namespace {

// The row's name as messages and `set` spell it (plain ASCII).
std::string Key(const SettingRow& row) {
    std::string key;
    for (LPCWSTR c = row.name; *c; ++c) key += char(*c);
    return key;
}

// The row a key names, in any case; null for none. A byte beyond ASCII
// matches no row.
const SettingRow* FindRow(const char* key, size_t keyLength) {
    std::wstring wide;
    for (size_t i = 0; i < keyLength; ++i) wide += wchar_t(static_cast<unsigned char>(key[i]));
    return FindSettingRow(wide);
}

// A whole decimal number, optionally signed, nothing else.
bool ParseWhole(const char* text, long long* value) {
    const char* digits = (text[0] == '-' || text[0] == '+') ? text + 1 : text;
    if (digits[0] < '0' || digits[0] > '9') return false;
    errno = 0;
    char* end = nullptr;
    *value = std::strtoll(text, &end, 10);
    return errno == 0 && end != nullptr && *end == 0;
}

// A plain decimal number ("12.5", "30", "2.5e1"); no hex, inf or nan.
bool ParseDecimal(const char* text, double* value) {
    if (text[0] == 0 || std::strspn(text, "0123456789.eE+-") != std::strlen(text)) return false;
    errno = 0;
    char* end = nullptr;
    *value = std::strtod(text, &end);
    return errno == 0 && end != nullptr && *end == 0 && std::isfinite(*value);
}

// Wide text as a message may quote it: ASCII as is, anything else as '?'.
std::string Quotable(const std::wstring& text) {
    std::string narrow;
    for (wchar_t c : text) narrow += (c >= 0x20 && c < 0x7F) ? char(c) : '?';
    return narrow;
}

std::string Range(double minimum, double maximum) {
    return std::to_string(static_cast<long long>(minimum)) + " to " +
           std::to_string(static_cast<long long>(maximum));
}

std::string Decimal(double value) {
    char text[32];
    std::snprintf(text, sizeof(text), "%g", value);
    return text;
}

bool CheckTextLength(const SettingRow& row, SlotSetting* setting, std::string* error) {
    const double length = static_cast<double>(setting->text.size());
    if (length < row.minimum || length > row.maximum) {
        *error = Key(row) + " must have " + Range(row.minimum, row.maximum) + " characters (it has " +
                 std::to_string(setting->text.size()) + ")";
        return false;
    }
    return true;
}

bool ParseText(const SettingRow& row, const char* value, SlotSetting* setting, std::string* error) {
    setting->text = ToWide(value);
    if (value[0] != 0 && setting->text.empty()) {
        *error = Key(row) + ": the text is not valid in this system's character set";
        return false;
    }
    return CheckTextLength(row, setting, error);
}

bool ParseNumber(const SettingRow& row, const char* value, SlotSetting* setting, std::string* error) {
    long long number = 0;
    if (!ParseWhole(value, &number)) {
        *error = Key(row) + ": '" + value + "' is not a whole number";
        return false;
    }
    if (double(number) < row.minimum || double(number) > row.maximum) {
        *error = Key(row) + " must be " + Range(row.minimum, row.maximum) + " (not " + value + ")";
        return false;
    }
    setting->number = static_cast<DWORD>(static_cast<LONG>(number));
    return true;
}

bool ParseFps(const SettingRow& row, const char* value, SlotSetting* setting, std::string* error) {
    double fps = 0.0;
    if (!ParseDecimal(value, &fps)) {
        *error = Key(row) + ": '" + value + "' is not a number (write it like 25 or 12.5)";
        return false;
    }
    if (fps < row.minimum || fps > row.maximum) {
        *error = Key(row) + " must be from " + Decimal(row.minimum) + " to " + Decimal(row.maximum) +
                 " (not " + value + ")";
        return false;
    }
    setting->fps = static_cast<float>(fps);
    return true;
}

// A setting of the row's value, the value itself still to be parsed.
SlotSetting SettingFor(const SettingRow& row) {
    SlotSetting setting;
    setting.row = &row;
    return setting;
}

// A value given as narrow text, parsed by its kind.
bool ParseValue(const SettingRow& row, const char* value, SlotSetting* setting, std::string* error) {
    switch (row.kind) {
        case SettingKind::kText:
            return ParseText(row, value, setting, error);
        case SettingKind::kDword:
            return ParseNumber(row, value, setting, error);
        case SettingKind::kFps:
            return ParseFps(row, value, setting, error);
    }
    return false;
}

// A value given as wide text: text as it is, a number or rate parsed from it.
bool ParseWideValue(const SettingRow& row, const std::wstring& value, SlotSetting* setting,
                    std::string* error) {
    if (row.kind == SettingKind::kText) {
        setting->text = value;
        return CheckTextLength(row, setting, error);
    }
    return ParseValue(row, Quotable(value).c_str(), setting, error);
}

// A value a user types is checked for its shape too: an address must say how
// the camera is reached (the reader opens no camera otherwise). Stored values
// are read back as the module reads them, by the rows' limits alone.
bool CheckTyped(const SettingRow& row, const SlotSetting& setting, std::string* error) {
    if (row.text != &InstanceSettings::url) return true;
    const std::string address = oculo::text::WideToUtf8(setting.text);
    const std::string scheme = oculo::text::CameraAddressScheme(address);
    const bool bCamera = scheme == "rtsp" || scheme == "rtsps" || scheme == "http" || scheme == "https";
    if (bCamera && oculo::text::SplitCameraAddress(address).separator == "://" && address.size() > scheme.size() + 3) {
        return true;
    }
    *error = "url must look like rtsp://host[:port]/path or http://host[:port]/path (or rtsps://, https://)";
    return false;
}

}  // namespace

bool ParseSlotIndex(const char* text, DWORD* slot) {
    if (text == nullptr || text[0] < '0' || text[0] > '9' || text[1] != 0) return false;
    *slot = DWORD(text[0] - '0');
    return *slot < g_cSlots;
}

bool ParseSetting(const char* assignment, SlotSetting* setting, std::string* error) {
    const char* equals = std::strchr(assignment, '=');
    if (equals == nullptr) {
        *error = "'" + ShownAddress(assignment) + "' is not key=value";
        return false;
    }
    const SettingRow* row = FindRow(assignment, size_t(equals - assignment));
    if (row == nullptr) {
        const std::string key(assignment, size_t(equals - assignment));
        *error = "unknown key '" + ShownAddress(key.c_str()) + "' (keys: " + SettingNames() + ")";
        return false;
    }
    *setting = SettingFor(*row);
    return ParseValue(*row, equals + 1, setting, error) && CheckTyped(*row, *setting, error);
}

bool ParseSettingText(const char* key, const std::wstring& value, SlotSetting* setting, std::string* error) {
    const SettingRow* row = FindRow(key, std::strlen(key));
    if (row == nullptr) {
        *error = std::string("unknown key '") + key + "' (keys: " + SettingNames() + ")";
        return false;
    }
    *setting = SettingFor(*row);
    return ParseWideValue(*row, value, setting, error) && CheckTyped(*row, *setting, error);
}

bool ParseStoredSetting(const std::wstring& name, bool bText, const std::wstring& text, DWORD number,
                        SlotSetting* setting, std::string* error) {
    std::string narrowName;
    for (wchar_t c : name) narrowName += (c > 0x20 && c < 0x7F) ? char(c) : '?';
    const SettingRow* row = FindRow(narrowName.c_str(), narrowName.size());
    if (row == nullptr) {
        *error = "unknown value name '" + narrowName + "' (names: " + SettingNames() + ")";
        return false;
    }
    const bool bWantText = row->kind != SettingKind::kDword;
    if (bText != bWantText) {
        *error = Key(*row) + " must be " + (bWantText ? "a string (\"...\")" : "a dword (dword:XXXXXXXX)");
        return false;
    }
    *setting = SettingFor(*row);
    if (row->kind == SettingKind::kDword) {
        return ParseNumber(*row, std::to_string(static_cast<LONG>(number)).c_str(), setting, error);
    }
    return ParseWideValue(*row, text, setting, error);
}

LONG WriteSetting(DWORD slot, const SlotSetting& setting) {
    const std::wstring path = SlotKeyPath(slot);
    const LPCWSTR name = setting.row->name;
    switch (setting.row->kind) {
        case SettingKind::kText:
            return RegWriteString(path.c_str(), name, setting.text.c_str());
        case SettingKind::kDword:
            return RegWriteDword(path.c_str(), name, setting.number);
        case SettingKind::kFps:
            return RegWriteFloat(path.c_str(), name, setting.fps);
    }
    return kRegWriteCannotSet;
}

LONG ClearSlot(DWORD slot) {
    return RegDeleteKeyW(HKEY_LOCAL_MACHINE, SlotKeyPath(slot).c_str());
}

std::wstring SlotKeyPath(DWORD slot) {
    WCHAR path[kSlotKeyPathChars];
    FormatSlotKeyPath(slot, path);
    return path;
}

SlotSetting SettingOf(const SettingRow& row, const InstanceSettings& settings) {
    SlotSetting setting = SettingFor(row);
    switch (row.kind) {
        case SettingKind::kText:
            setting.text = settings.*row.text;
            break;
        case SettingKind::kDword:
            setting.number = static_cast<DWORD>(settings.*row.number);
            break;
        case SettingKind::kFps:
            setting.fps = settings.*row.fps;
            break;
    }
    return setting;
}

void ApplySetting(const SlotSetting& setting, InstanceSettings* settings) {
    const SettingRow& row = *setting.row;
    switch (row.kind) {
        case SettingKind::kText:
            lstrcpynW(settings->*row.text, setting.text.c_str(), int(kSettingsTextChars));
            break;
        case SettingKind::kDword:
            settings->*row.number = static_cast<LONG>(setting.number);
            break;
        case SettingKind::kFps:
            settings->*row.fps = setting.fps;
            break;
    }
}

std::string SettingText(const SettingRow& row, const InstanceSettings& settings) {
    switch (row.kind) {
        case SettingKind::kText:
            return ToNarrow(settings.*row.text);
        case SettingKind::kDword:
            return std::to_string(settings.*row.number);
        case SettingKind::kFps:
            return Decimal(settings.*row.fps);
    }
    return std::string();
}

const char* RegWriteResultText(LONG result) {
    switch (result) {
        case kRegWriteOk: return "stored";
        case kRegWriteCannotOpen: return "cannot create or open the slot's key (administrator rights needed?)";
        case kRegWriteBadDisposition: return "the registry reported an unexpected disposition";
        case kRegWriteCannotSet: return "cannot store the value";
        case kRegWriteCannotClose: return "cannot close the key";
        default: return "unknown failure";
    }
}

const char* SettingNames() {
    static const std::string names = [] {
        std::string list;
        for (const SettingRow& row : kSettingRows) {
            if (!list.empty()) list += ' ';
            list += Key(row);
        }
        return list;
    }();
    return names.c_str();
}
