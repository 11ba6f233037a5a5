#include "tools/shared/SlotEditor.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <cwchar>

#include "module/SlotClasses.h"
#include "text/CameraAddress.h"
#include "text/Unicode.h"
#include "tools/shared/ConsoleText.h"

namespace {

struct SettingRule {
    const char* name;
    LPCWSTR valueName;
    SettingKind kind;
    long long minimum;  // characters for text, the value for numbers
    long long maximum;
};

const long long kLongMin = -2147483647LL - 1;
const long long kLongMax = 2147483647LL;

// Crop bounds and the time shift may be negative (the pin orders and clamps
// the bounds; a negative shift starts the stream early).
const SettingRule kRules[] = {
    {"enable", L"enable", SettingKind::kDword, 0, 1},
    {"url", L"url", SettingKind::kText, kMinUrlChars, kMaxUrlChars},
    {"name", L"name", SettingKind::kText, 1, kMaxNameChars},
    {"fps", L"fps", SettingKind::kFps, 0, 0},
    {"w", L"w", SettingKind::kDword, 1, kMaxSlotSide},
    {"h", L"h", SettingKind::kDword, 1, kMaxSlotSide},
    {"crop_l", L"crop_l", SettingKind::kDword, kLongMin, kLongMax},
    {"crop_t", L"crop_t", SettingKind::kDword, kLongMin, kLongMax},
    {"crop_r", L"crop_r", SettingKind::kDword, kLongMin, kLongMax},
    {"crop_b", L"crop_b", SettingKind::kDword, kLongMin, kLongMax},
    {"tShift", L"tShift", SettingKind::kDword, kLongMin, kLongMax},
    {"status", L"status", SettingKind::kDword, 0, 1},
};

bool SameNameIgnoringCase(const char* a, const char* b, size_t bLength) {
    size_t i = 0;
    for (; i < bLength && a[i]; ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = char(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = char(y - 'A' + 'a');
        if (x != y) return false;
    }
    return i == bLength && a[i] == 0;
}

const SettingRule* FindRule(const char* key, size_t keyLength) {
    for (const SettingRule& rule : kRules) {
        if (SameNameIgnoringCase(rule.name, key, keyLength)) return &rule;
    }
    return nullptr;
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

std::string Range(long long minimum, long long maximum) {
    return std::to_string(minimum) + " to " + std::to_string(maximum);
}

bool CheckTextLength(const SettingRule& rule, SlotSetting* setting, std::string* error) {
    const long long length = static_cast<long long>(setting->text.size());
    if (length < rule.minimum || length > rule.maximum) {
        *error = std::string(rule.name) + " must have " + Range(rule.minimum, rule.maximum) + " characters (it has " +
                 std::to_string(length) + ")";
        return false;
    }
    return true;
}

bool ParseText(const SettingRule& rule, const char* value, SlotSetting* setting, std::string* error) {
    setting->text = ToWide(value);
    if (value[0] != 0 && setting->text.empty()) {
        *error = std::string(rule.name) + ": the text is not valid in this system's character set";
        return false;
    }
    return CheckTextLength(rule, setting, error);
}

bool ParseNumber(const SettingRule& rule, const char* value, SlotSetting* setting, std::string* error) {
    long long number = 0;
    if (!ParseWhole(value, &number)) {
        *error = std::string(rule.name) + ": '" + value + "' is not a whole number";
        return false;
    }
    if (number < rule.minimum || number > rule.maximum) {
        *error = std::string(rule.name) + " must be " + Range(rule.minimum, rule.maximum) + " (not " + value + ")";
        return false;
    }
    setting->number = static_cast<DWORD>(static_cast<LONG>(number));
    return true;
}

bool ParseFps(const char* value, SlotSetting* setting, std::string* error) {
    double fps = 0.0;
    if (!ParseDecimal(value, &fps)) {
        *error = std::string("fps: '") + value + "' is not a number (write it like 25 or 12.5)";
        return false;
    }
    if (fps < kMinFps || fps > kMaxFps) {
        *error = std::string("fps must be from 0.01 to 1000 (not ") + value + ")";
        return false;
    }
    setting->fps = static_cast<float>(fps);
    return true;
}

// A setting of the rule's value, the value itself still to be parsed.
SlotSetting SettingFor(const SettingRule& rule) {
    SlotSetting setting;
    setting.valueName = rule.valueName;
    setting.kind = rule.kind;
    return setting;
}

// A value given as wide text: text as it is, a number or rate parsed from it.
bool ParseWideValue(const SettingRule& rule, const std::wstring& value, SlotSetting* setting, std::string* error) {
    if (rule.kind == SettingKind::kText) {
        setting->text = value;
        return CheckTextLength(rule, setting, error);
    }
    const std::string number = Quotable(value);
    return rule.kind == SettingKind::kDword ? ParseNumber(rule, number.c_str(), setting, error)
                                            : ParseFps(number.c_str(), setting, error);
}

// A value a user types is checked for its shape too: an address must say how
// the camera is reached (the reader opens no camera otherwise). Stored values
// are read back as the module reads them, by the rules above alone.
bool CheckTyped(const SettingRule& rule, const SlotSetting& setting, std::string* error) {
    if (std::strcmp(rule.name, "url") != 0) return true;
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
    const SettingRule* rule = FindRule(assignment, size_t(equals - assignment));
    if (rule == nullptr) {
        const std::string key(assignment, size_t(equals - assignment));
        *error = "unknown key '" + ShownAddress(key.c_str()) + "' (keys: " + SettingNames() + ")";
        return false;
    }
    *setting = SettingFor(*rule);
    const char* value = equals + 1;
    switch (rule->kind) {
        case SettingKind::kText: return ParseText(*rule, value, setting, error) && CheckTyped(*rule, *setting, error);
        case SettingKind::kDword: return ParseNumber(*rule, value, setting, error);
        case SettingKind::kFps: return ParseFps(value, setting, error);
    }
    return false;
}

bool ParseSettingText(const char* key, const std::wstring& value, SlotSetting* setting, std::string* error) {
    const SettingRule* rule = FindRule(key, std::strlen(key));
    if (rule == nullptr) {
        *error = std::string("unknown key '") + key + "' (keys: " + SettingNames() + ")";
        return false;
    }
    *setting = SettingFor(*rule);
    return ParseWideValue(*rule, value, setting, error) && CheckTyped(*rule, *setting, error);
}

bool ParseStoredSetting(const std::wstring& name, bool bText, const std::wstring& text, DWORD number,
                        SlotSetting* setting, std::string* error) {
    std::string narrowName;
    for (wchar_t c : name) narrowName += (c > 0x20 && c < 0x7F) ? char(c) : '?';
    const SettingRule* rule = FindRule(narrowName.c_str(), narrowName.size());
    if (rule == nullptr) {
        *error = "unknown value name '" + narrowName + "' (names: " + SettingNames() + ")";
        return false;
    }
    const bool bWantText = rule->kind != SettingKind::kDword;
    if (bText != bWantText) {
        *error = std::string(rule->name) + " must be " + (bWantText ? "a string (\"...\")" : "a dword (dword:XXXXXXXX)");
        return false;
    }
    *setting = SettingFor(*rule);
    if (rule->kind == SettingKind::kDword) {
        return ParseNumber(*rule, std::to_string(static_cast<LONG>(number)).c_str(), setting, error);
    }
    return ParseWideValue(*rule, text, setting, error);
}

LONG WriteSetting(DWORD slot, const SlotSetting& setting) {
    const std::wstring path = SlotKeyPath(slot);
    switch (setting.kind) {
        case SettingKind::kText: return RegWriteString(path.c_str(), setting.valueName, setting.text.c_str());
        case SettingKind::kDword: return RegWriteDword(path.c_str(), setting.valueName, setting.number);
        case SettingKind::kFps: return RegWriteFloat(path.c_str(), setting.valueName, setting.fps);
    }
    return kRegWriteCannotSet;
}

LONG ClearSlot(DWORD slot) {
    return RegDeleteKeyW(HKEY_LOCAL_MACHINE, SlotKeyPath(slot).c_str());
}

std::wstring SlotKeyPath(DWORD slot) {
    std::wstring path = L"SOFTWARE\\TALVO\\Oculo\\";
    path += WCHAR(L'0' + (slot / 10) % 10);
    path += WCHAR(L'0' + slot % 10);
    return path;
}

std::string UnusableReason(const InstanceSettings& settings) {
    const size_t urlChars = std::wcslen(settings.url);
    if (settings.enable == 0) return "not enabled (enable=0)";
    if (urlChars < kMinUrlChars) return "no camera address (url shorter than 6 characters)";
    if (urlChars > kMaxUrlChars) return "camera address longer than 1023 characters";
    if (settings.name[0] == 0) return "empty name";
    if (settings.w <= 0 || settings.h <= 0) return "picture size not positive";
    if (!(settings.fps > 0.0f)) return "frame rate not positive";
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
        for (const SettingRule& rule : kRules) {
            if (!list.empty()) list += ' ';
            list += rule.name;
        }
        return list;
    }();
    return names.c_str();
}
