#include "tools/shared/StreamSlot.h"

#include <algorithm>
#include <cwchar>

namespace {

// The value clamped to its row's limits, as the slot stores it.
std::wstring Clamped(const wchar_t* name, double value) {
    const SettingRow* row = FindSettingRow(name);
    wchar_t text[32];
    std::swprintf(text, 32, L"%g", std::clamp(value, row->minimum, row->maximum));
    return text;
}

}  // namespace

StreamSlotValues StreamValues(int width, int height, double fps) {
    StreamSlotValues values;
    if (width > 0 && height > 0) {
        values.w = Clamped(L"w", width);
        values.h = Clamped(L"h", height);
    }
    if (fps > 0.0) values.fps = Clamped(L"fps", fps);
    return values;
}

bool StreamSlotSettings(const std::wstring& address, const oculo::text::CameraLogin& login, int width, int height,
                        double fps, std::vector<SlotSetting>* settings, std::string* error) {
    const StreamSlotValues values = StreamValues(width, height, fps);
    const std::pair<const char*, std::wstring> texts[] = {
        {"url", oculo::text::WithCameraLogin(address, login)}, {"w", values.w}, {"h", values.h}, {"fps", values.fps}};
    settings->clear();
    for (const auto& text : texts) {
        if (text.second.empty()) continue;
        SlotSetting setting;
        if (!ParseSettingText(text.first, text.second, &setting, error)) return false;
        settings->push_back(setting);
    }
    return true;
}
