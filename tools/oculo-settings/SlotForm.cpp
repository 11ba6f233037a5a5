#include "tools/oculo-settings/SlotForm.h"

#include <cwctype>

#include "platform/RegKey.h"
#include "text/CameraAddress.h"
#include "tools/shared/ConsoleText.h"

using oculo::text::CameraAddressLogin;
using oculo::text::CameraAddressWithoutLogin;
using oculo::text::CameraLogin;
using oculo::text::WithCameraLogin;

namespace {

std::wstring Trim(const std::wstring& text) {
    size_t first = 0;
    size_t last = text.size();
    while (first < last && std::iswspace(static_cast<wint_t>(text[first]))) ++first;
    while (last > first && std::iswspace(static_cast<wint_t>(text[last - 1]))) --last;
    return text.substr(first, last - first);
}

std::wstring Number(LONG value) { return std::to_wstring(value); }

std::wstring FpsText(float fps) {
    WCHAR text[32];
    swprintf(text, 32, L"%g", static_cast<double>(fps));
    return text;
}

std::wstring SizeText(LONG w, LONG h) { return Number(w) + L"x" + Number(h); }

// The fields' checks, in the dialog's order; each keeps its first refusal.
class CFormCheck {
public:
    explicit CFormCheck(std::vector<SlotSetting>* settings) : m_settings(settings) {}

    // The setting's parsed value, or null (with *error set, unless an earlier
    // check of the same field set it) when refused.
    const SlotSetting* Check(const char* key, const std::wstring& text, std::string* error) {
        SlotSetting setting;
        std::string refusal;
        if (!ParseSettingText(key, text, &setting, &refusal)) {
            if (error->empty()) *error = refusal;
            m_bRefused = true;
            return nullptr;
        }
        m_settings->push_back(setting);
        return &m_settings->back();
    }
    LONG Whole(const char* key, const std::wstring& text, std::string* error, LONG fallback) {
        const SlotSetting* setting = Check(key, Trim(text), error);
        return setting ? static_cast<LONG>(setting->number) : fallback;
    }
    bool Refused() const { return m_bRefused; }

private:
    std::vector<SlotSetting>* m_settings;
    bool m_bRefused = false;
};

}  // namespace

bool SlotValues::operator==(const SlotValues& o) const {
    return bStored == o.bStored && enable == o.enable && url == o.url && name == o.name && fps == o.fps && w == o.w &&
           h == o.h && crop_l == o.crop_l && crop_t == o.crop_t && crop_r == o.crop_r && crop_b == o.crop_b &&
           tShift == o.tShift && status == o.status;
}

bool SlotFormErrors::Any() const {
    return !name.empty() || !address.empty() || !login.empty() || !size.empty() || !fps.empty() || !crop.empty() ||
           !shift.empty();
}

SlotValues LoadSlotValues(DWORD slot) {
    const InstanceSettings s = LoadInstanceSettings(slot);
    CRegKey key;
    SlotValues values;
    values.bStored =
        RegOpenKeyExW(HKEY_LOCAL_MACHINE, SlotKeyPath(slot).c_str(), 0, KEY_READ, key.Put()) == ERROR_SUCCESS;
    values.enable = s.enable;
    values.url = s.url;
    values.name = s.name;
    values.fps = s.fps;
    values.w = s.w;
    values.h = s.h;
    values.crop_l = s.crop_l;
    values.crop_t = s.crop_t;
    values.crop_r = s.crop_r;
    values.crop_b = s.crop_b;
    values.tShift = s.tShift;
    values.status = s.status;
    return values;
}

std::string SlotUnusableReason(const SlotValues& values) {
    InstanceSettings s;
    std::memset(&s, 0, sizeof(s));
    s.enable = values.enable;
    lstrcpynW(s.url, values.url.c_str(), int(kSettingsTextChars));
    lstrcpynW(s.name, values.name.c_str(), int(kSettingsTextChars));
    s.fps = values.fps;
    s.w = values.w;
    s.h = values.h;
    return UnusableReason(s);
}

const std::vector<std::wstring>& CommonPictureSizes() {
    static const std::vector<std::wstring> sizes = {L"640x480",  L"1280x720", L"1920x1080", L"320x240",
                                                    L"800x600",  L"1024x768", L"1280x960",  L"1600x1200",
                                                    L"2560x1440", L"3840x2160"};
    return sizes;
}

SlotForm FormFromValues(const SlotValues& values) {
    SlotForm form;
    if (values.bStored) {
        form.name = values.name;
        form.address = CameraAddressWithoutLogin(values.url);
        const CameraLogin login = CameraAddressLogin(values.url);
        form.user = login.user;
        form.password = login.password;
        form.bEnabled = values.enable != 0;
    }
    form.size = SizeText(values.w, values.h);
    form.fps = FpsText(values.fps);
    form.cropLeft = Number(values.crop_l);
    form.cropTop = Number(values.crop_t);
    form.cropRight = Number(values.crop_r);
    form.cropBottom = Number(values.crop_b);
    form.shift = Number(values.tShift);
    form.bStatusCard = values.status != 0;
    return form;
}

bool MoveLoginToFields(SlotForm* form) {
    if (!oculo::text::HasCameraLogin(form->address)) return false;
    const CameraLogin login = CameraAddressLogin(form->address);
    form->user = login.user;
    form->password = login.password;
    form->address = CameraAddressWithoutLogin(form->address);
    return true;
}

bool CheckForm(const SlotForm& typed, const SlotValues& before, SlotValues* values, std::vector<SlotSetting>* settings,
               SlotFormErrors* errors) {
    SlotForm form = typed;
    MoveLoginToFields(&form);
    form.address = Trim(form.address);
    *errors = SlotFormErrors();
    std::vector<SlotSetting> checked;
    CFormCheck check(&checked);
    SlotValues v;
    v.bStored = true;

    if (const SlotSetting* name = check.Check("name", form.name, &errors->name)) v.name = name->text;

    const CameraLogin login{form.user, form.password};
    const bool bLogin = !login.user.empty() || !login.password.empty();
    if (bLogin && !form.address.empty() && form.address.find(L"://") == std::wstring::npos) {
        errors->login = "a login needs an address that starts like rtsp:// or http://";
    }
    // Unchanged parts keep the stored spelling of the login (its encoding).
    const bool bSameAddress = before.bStored && CameraAddressWithoutLogin(before.url) == form.address &&
                              CameraAddressLogin(before.url) == login;
    const std::wstring url = bSameAddress ? before.url : WithCameraLogin(form.address, login);
    if (const SlotSetting* address = check.Check("url", url, &errors->address)) v.url = address->text;

    const std::wstring size = Trim(form.size);
    const size_t times = size.find_first_of(L"xX\u00D7");
    if (times == std::wstring::npos) {
        errors->size = "size: write it as width x height, like 1280x720";
    } else {
        v.w = check.Whole("w", size.substr(0, times), &errors->size, v.w);
        v.h = check.Whole("h", size.substr(times + 1), &errors->size, v.h);
    }
    if (const SlotSetting* fps = check.Check("fps", Trim(form.fps), &errors->fps)) v.fps = fps->fps;
    v.crop_l = check.Whole("crop_l", form.cropLeft, &errors->crop, 0);
    v.crop_t = check.Whole("crop_t", form.cropTop, &errors->crop, 0);
    v.crop_r = check.Whole("crop_r", form.cropRight, &errors->crop, 0);
    v.crop_b = check.Whole("crop_b", form.cropBottom, &errors->crop, 0);
    v.tShift = check.Whole("tShift", form.shift, &errors->shift, 0);
    std::string never;  // a check box holds an accepted value
    v.enable = check.Whole("enable", form.bEnabled ? L"1" : L"0", &never, 0);
    v.status = check.Whole("status", form.bStatusCard ? L"1" : L"0", &never, 1);

    if (check.Refused() || errors->Any()) return false;
    *values = v;
    *settings = checked;
    return true;
}

SlotRow RowForSlot(DWORD slot, const SlotValues& values, bool bUnsaved, bool bViewsDiffer) {
    SlotRow row;
    row.slot = Number(LONG(slot));
    if (values.bStored) {
        row.name = values.name;
        row.address = oculo::text::MaskCameraAddress(values.url);
        row.size = SizeText(values.w, values.h);
        row.fps = FpsText(values.fps);
        const std::string reason = SlotUnusableReason(values);
        row.state = reason.empty() ? L"usable" : L"not usable: " + ToWide(reason.c_str());
    } else {
        row.state = L"empty";
    }
    if (bUnsaved) {
        row.state += L" (not saved)";
    } else if (bViewsDiffer) {
        row.state += L" (32-bit and 64-bit applications see different settings)";
    }
    return row;
}

bool DevicesDiffer(const std::vector<SlotValues>& before, const std::vector<SlotValues>& after) {
    for (size_t slot = 0; slot < before.size() && slot < after.size(); ++slot) {
        const bool bWas = before[slot].bStored && SlotUnusableReason(before[slot]).empty();
        const bool bIs = after[slot].bStored && SlotUnusableReason(after[slot]).empty();
        if (bWas != bIs || (bIs && before[slot].name != after[slot].name)) return true;
    }
    return before.size() != after.size();
}
