#include "tools/shared/StreamSlot.h"

#include <algorithm>
#include <cwchar>

namespace {

std::wstring Clamped(long long value) { return std::to_wstring(std::clamp<long long>(value, 1, kMaxSlotSide)); }

}  // namespace

bool StreamSlotSettings(const std::wstring& address, const CameraLogin& login, int width, int height, double fps,
                        std::vector<SlotSetting>* settings, std::string* error) {
    std::vector<std::pair<const char*, std::wstring>> values = {{"url", WithCameraLogin(address, login)}};
    if (width > 0 && height > 0) {
        values.emplace_back("w", Clamped(width));
        values.emplace_back("h", Clamped(height));
    }
    if (fps > 0.0) {
        wchar_t text[32];
        std::swprintf(text, 32, L"%g", std::clamp(fps, kMinFps, kMaxFps));
        values.emplace_back("fps", text);
    }
    settings->clear();
    for (const auto& value : values) {
        SlotSetting setting;
        if (!ParseSettingText(value.first, value.second, &setting, error)) return false;
        settings->push_back(setting);
    }
    return true;
}
