#include "tools/oculo-settings/SlotForm.h"

#include <cwchar>
#include <cwctype>

#include "platform/RegKey.h"
#include "text/CameraAddress.h"
#include "tools/shared/ConsoleText.h"
#include "tools/shared/StreamSlot.h"

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
// An accepted value goes into the values the slot then holds, and into the
// settings Save writes.
class CFormCheck {
public:
    CFormCheck(SlotValues* values, std::vector<SlotSetting>* settings)
        : m_values(values), m_settings(settings) {}

    // Checks a field's text as `set` would; on a refusal sets *error, unless
    // an earlier check of the same field set it.
    void Check(const char* key, const std::wstring& text, std::string* error) {
        SlotSetting setting;
        std::string refusal;
        if (!ParseSettingText(key, text, &setting, &refusal)) {
            if (error->empty()) *error = refusal;
            m_bRefused = true;
            return;
        }
        Keep(setting);
    }
    void Keep(const SlotSetting& setting) {
        ApplySetting(setting, m_values);
        m_settings->push_back(setting);
    }
    bool Holds(const SettingRow& row) const {
        for (const SlotSetting& setting : *m_settings) {
            if (setting.row == &row) return true;
        }
        return false;
    }
    bool Refused() const { return m_bRefused; }

private:
    SlotValues* m_values;
    std::vector<SlotSetting>* m_settings;
    bool m_bRefused = false;
};

}  // namespace

bool SlotFormErrors::Any() const {
    return !name.empty() || !address.empty() || !login.empty() || !size.empty() || !fps.empty() || !crop.empty() ||
           !shift.empty();
}

SlotValues LoadSlotValues(DWORD slot) {
    CRegKey key;
    const bool bStored =
        RegOpenKeyExW(HKEY_LOCAL_MACHINE, SlotKeyPath(slot).c_str(), 0, KEY_READ, key.Put()) == ERROR_SUCCESS;
    return SlotValues(LoadInstanceSettings(slot), bStored);
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
    form.bCameraApps = values.mf != 0;
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

void FillFormFromStream(const std::wstring& address, int width, int height, double fps, SlotForm* form) {
    form->address = CameraAddressWithoutLogin(address);
    const StreamSlotValues values = StreamValues(width, height, fps);
    if (!values.w.empty()) form->size = values.w + L"x" + values.h;
    if (!values.fps.empty()) form->fps = values.fps;
}

bool CheckForm(const SlotForm& typed, const SlotValues& before, SlotValues* values, std::vector<SlotSetting>* settings,
               SlotFormErrors* errors) {
    SlotForm form = typed;
    MoveLoginToFields(&form);
    form.address = Trim(form.address);
    *errors = SlotFormErrors();
    std::vector<SlotSetting> checked;
    SlotValues v;
    v.bStored = true;
    CFormCheck check(&v, &checked);

    check.Check("name", form.name, &errors->name);

    const CameraLogin login{form.user, form.password};
    const bool bLogin = !login.user.empty() || !login.password.empty();
    if (bLogin && !form.address.empty() && form.address.find(L"://") == std::wstring::npos) {
        errors->login = "a login needs an address that starts like rtsp:// or http://";
    }
    // Unchanged parts keep the stored spelling of the login (its encoding).
    const bool bSameAddress = before.bStored && CameraAddressWithoutLogin(before.url) == form.address &&
                              CameraAddressLogin(before.url) == login;
    check.Check("url", bSameAddress ? std::wstring(before.url) : WithCameraLogin(form.address, login),
                &errors->address);

    const std::wstring size = Trim(form.size);
    const size_t times = size.find_first_of(L"xX\u00D7");
    if (times == std::wstring::npos) {
        errors->size = "size: write it as width x height, like 1280x720";
    } else {
        check.Check("w", Trim(size.substr(0, times)), &errors->size);
        check.Check("h", Trim(size.substr(times + 1)), &errors->size);
    }
    check.Check("fps", Trim(form.fps), &errors->fps);
    check.Check("crop_l", Trim(form.cropLeft), &errors->crop);
    check.Check("crop_t", Trim(form.cropTop), &errors->crop);
    check.Check("crop_r", Trim(form.cropRight), &errors->crop);
    check.Check("crop_b", Trim(form.cropBottom), &errors->crop);
    check.Check("tShift", Trim(form.shift), &errors->shift);
    std::string never;  // a check box holds an accepted value
    check.Check("enable", form.bEnabled ? L"1" : L"0", &never);
    check.Check("status", form.bStatusCard ? L"1" : L"0", &never);
    check.Check("mf", form.bCameraApps ? L"1" : L"0", &never);

    if (check.Refused() || errors->Any()) return false;
    // Save replaces the slot's key: what has no field here is kept as it was.
    for (const SettingRow& row : kSettingRows) {
        if (!check.Holds(row)) check.Keep(SettingOf(row, before));
    }
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
        const std::string reason(UnusableReason(values));
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
        const bool bWas = before[slot].bStored && IsInstanceUsable(before[slot]);
        const bool bIs = after[slot].bStored && IsInstanceUsable(after[slot]);
        if (bWas != bIs) return true;
        const bool bSwitched = (before[slot].mf != 0) != (after[slot].mf != 0);
        if (bIs && (std::wcscmp(before[slot].name, after[slot].name) != 0 || bSwitched)) return true;
    }
    return before.size() != after.size();
}
