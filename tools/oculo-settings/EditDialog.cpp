// A slot's edit dialog: its fields, each refusal beside its field, Find
// cameras, which fills the fields from a camera's stream, and the Test, which
// draws the camera's picture into the preview on every tick of a timer with
// the camera's status under it.
#include "filter/PageText.h"
#include "mfsource/VirtualCameras.h"
#include "tools/oculo-settings/CameraPreview.h"
#include "tools/oculo-settings/SettingsDialogs.h"
#include "tools/oculo-settings/SettingsIds.h"
#include "tools/shared/ConsoleText.h"

namespace {

const UINT_PTR kPreviewTimer = 1;
const UINT kPreviewTickMs = 100;
const COLORREF kRefusalColour = RGB(176, 0, 0);

struct TextField {
    int id;
    std::wstring SlotForm::*text;
};
const TextField kTextFields[] = {
    {IDC_NAME, &SlotForm::name},
    {IDC_ADDRESS, &SlotForm::address},
    {IDC_USER, &SlotForm::user},
    {IDC_PASSWORD, &SlotForm::password},
    {IDC_PICTURE_SIZE, &SlotForm::size},
    {IDC_FPS, &SlotForm::fps},
    {IDC_CROP_LEFT, &SlotForm::cropLeft},
    {IDC_CROP_TOP, &SlotForm::cropTop},
    {IDC_CROP_RIGHT, &SlotForm::cropRight},
    {IDC_CROP_BOTTOM, &SlotForm::cropBottom},
    {IDC_SHIFT, &SlotForm::shift},
};

// Each refusal's text, and the field that gets the focus when it is the first.
struct RefusalField {
    int id;
    std::string SlotFormErrors::*error;
    int field;
};
const RefusalField kRefusalFields[] = {
    {IDC_NAME_ERROR, &SlotFormErrors::name, IDC_NAME},
    {IDC_ADDRESS_ERROR, &SlotFormErrors::address, IDC_ADDRESS},
    {IDC_LOGIN_ERROR, &SlotFormErrors::login, IDC_USER},
    {IDC_PICTURE_SIZE_ERROR, &SlotFormErrors::size, IDC_PICTURE_SIZE},
    {IDC_FPS_ERROR, &SlotFormErrors::fps, IDC_FPS},
    {IDC_CROP_ERROR, &SlotFormErrors::crop, IDC_CROP_LEFT},
    {IDC_SHIFT_ERROR, &SlotFormErrors::shift, IDC_SHIFT},
};

struct EditState {
    EditState(DWORD slot_, const SlotValues& before_, bool bTest, SlotValues* values_,
              std::vector<SlotSetting>* settings_)
        : slot(slot_), before(before_), bTestAtOnce(bTest), values(values_), settings(settings_) {}

    const DWORD slot;
    const SlotValues before;
    const bool bTestAtOnce;
    SlotValues* const values;  // the caller's: the result of OK
    std::vector<SlotSetting>* const settings;
    CCameraPreview preview;
    std::vector<BYTE> picture;  // the store as last copied; empty: none
    LONG width = 0;
    LONG height = 0;
};

EditState* StateOf(HWND dialog) { return reinterpret_cast<EditState*>(GetWindowLongPtrW(dialog, DWLP_USER)); }

SlotForm ReadForm(HWND dialog) {
    SlotForm form;
    for (const TextField& field : kTextFields) form.*field.text = WindowText(GetDlgItem(dialog, field.id));
    form.bEnabled = IsDlgButtonChecked(dialog, IDC_ENABLED) == BST_CHECKED;
    form.bStatusCard = IsDlgButtonChecked(dialog, IDC_STATUS_CARD) == BST_CHECKED;
    form.bCameraApps = IsDlgButtonChecked(dialog, IDC_CAMERA_APPS) == BST_CHECKED;
    return form;
}

void WriteForm(HWND dialog, const SlotForm& form) {
    for (const TextField& field : kTextFields) SetDlgItemTextW(dialog, field.id, (form.*field.text).c_str());
    CheckDlgButton(dialog, IDC_ENABLED, form.bEnabled ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(dialog, IDC_STATUS_CARD, form.bStatusCard ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(dialog, IDC_CAMERA_APPS, form.bCameraApps ? BST_CHECKED : BST_UNCHECKED);
}

// Checks the fields and shows each refusal beside its field; false (with the
// focus on the first refused field) when one is refused.
bool CheckFields(HWND dialog, SlotValues* values, std::vector<SlotSetting>* settings) {
    EditState* state = StateOf(dialog);
    SlotFormErrors errors;
    const bool bAccepted = CheckForm(ReadForm(dialog), state->before, values, settings, &errors);
    int firstRefused = 0;
    for (const RefusalField& refusal : kRefusalFields) {
        const std::string& text = errors.*refusal.error;
        SetDlgItemTextW(dialog, refusal.id, ToWide(text.c_str()).c_str());
        if (!text.empty() && firstRefused == 0) firstRefused = refusal.field;
    }
    if (firstRefused != 0) {
        SendMessageW(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(dialog, firstRefused)), TRUE);
        MessageBeep(MB_ICONWARNING);
    }
    return bAccepted;
}

void ShowCameraStatus(HWND dialog) {
    OCULO_STATUS status;
    StateOf(dialog)->preview.GetStatus(&status);
    // In the words of the slot's property page.
    const std::wstring text = DescribeStatus(status);
    if (WindowText(GetDlgItem(dialog, IDC_CAMERA_STATUS)) != text) {
        SetDlgItemTextW(dialog, IDC_CAMERA_STATUS, text.c_str());
    }
}

void StopTest(HWND dialog) {
    EditState* state = StateOf(dialog);
    if (!state->preview.IsRunning()) return;
    KillTimer(dialog, kPreviewTimer);
    state->preview.Stop();
    state->picture.clear();
    SetDlgItemTextW(dialog, IDC_TEST, L"&Test");
    ShowCameraStatus(dialog);
    InvalidateRect(GetDlgItem(dialog, IDC_PREVIEW), nullptr, FALSE);
}

void StartTest(HWND dialog) {
    EditState* state = StateOf(dialog);
    SlotValues values;
    std::vector<SlotSetting> settings;
    if (!CheckFields(dialog, &values, &settings)) return;
    if (!state->preview.Start(values)) {
        SetDlgItemTextW(dialog, IDC_CAMERA_STATUS, L"The picture size is too large to show.");
        return;
    }
    SetDlgItemTextW(dialog, IDC_TEST, L"Sto&p test");
    SetTimer(dialog, kPreviewTimer, kPreviewTickMs, nullptr);
    ShowCameraStatus(dialog);
}

void OnPreviewTick(HWND dialog) {
    EditState* state = StateOf(dialog);
    if (!state->preview.CopyPicture(&state->picture, &state->width, &state->height)) state->picture.clear();
    InvalidateRect(GetDlgItem(dialog, IDC_PREVIEW), nullptr, FALSE);
    ShowCameraStatus(dialog);
}

// The store's picture, bottom-up BGR as the pin delivers it, scaled to fit
// the preview with its proportions kept.
void DrawPreview(HWND dialog, const DRAWITEMSTRUCT& item) {
    EditState* state = StateOf(dialog);
    const RECT& area = item.rcItem;
    FillRect(item.hDC, &area, static_cast<HBRUSH>(GetStockObject(DKGRAY_BRUSH)));
    if (state->picture.empty() || state->width <= 0 || state->height <= 0) return;
    const LONG areaW = area.right - area.left;
    const LONG areaH = area.bottom - area.top;
    LONG drawW = areaW;
    LONG drawH = LONG(int64_t(areaW) * state->height / state->width);
    if (drawH > areaH) {
        drawH = areaH;
        drawW = LONG(int64_t(areaH) * state->width / state->height);
    }
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = state->width;
    info.bmiHeader.biHeight = state->height;  // positive: bottom row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    SetStretchBltMode(item.hDC, HALFTONE);
    SetBrushOrgEx(item.hDC, 0, 0, nullptr);
    StretchDIBits(item.hDC, area.left + (areaW - drawW) / 2, area.top + (areaH - drawH) / 2, drawW, drawH, 0, 0,
                  state->width, state->height, state->picture.data(), &info, DIB_RGB_COLORS, SRCCOPY);
}

void OnInit(HWND dialog, EditState* state) {
    SetWindowLongPtrW(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(state));
    const std::wstring title = L"Camera in slot " + std::to_wstring(state->slot) + L" - Oculo Settings";
    SetWindowTextW(dialog, title.c_str());
    const HWND sizes = GetDlgItem(dialog, IDC_PICTURE_SIZE);
    for (const std::wstring& size : CommonPictureSizes()) {
        SendMessageW(sizes, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(size.c_str()));
    }
    WriteForm(dialog, FormFromValues(state->before));
    // Without the system's virtual cameras the switch keeps its stored value
    // for a system that has them; Save registers DirectShow devices only.
    if (!SystemVirtualCameraApi()->IsAvailable()) {
        const HWND cameraApps = GetDlgItem(dialog, IDC_CAMERA_APPS);
        SetWindowTextW(cameraApps, L"Also for the Windows Camera app and Store apps: needs Windows 11");
        EnableWindow(cameraApps, FALSE);
    }
    if (state->bTestAtOnce) StartTest(dialog);
}

void OnCommand(HWND dialog, WORD id, WORD code) {
    switch (id) {
        case IDC_ADDRESS: {
            // A login typed or pasted into the address goes to its fields.
            if (code != EN_KILLFOCUS) return;
            SlotForm form = ReadForm(dialog);
            if (MoveLoginToFields(&form)) WriteForm(dialog, form);
            return;
        }
        case IDC_FIND_CAMERAS: {
            // A chosen stream changes the values a running test shows.
            SlotForm form = ReadForm(dialog);
            if (!FindCameras(dialog, &form)) return;
            StopTest(dialog);
            WriteForm(dialog, form);
            SendMessageW(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(dialog, IDC_TEST)), TRUE);
            return;
        }
        case IDC_TEST:
            if (StateOf(dialog)->preview.IsRunning()) {
                StopTest(dialog);
            } else {
                StartTest(dialog);
            }
            return;
        case IDOK: {
            EditState* state = StateOf(dialog);
            if (!CheckFields(dialog, state->values, state->settings)) return;
            StopTest(dialog);
            EndDialog(dialog, IDOK);
            return;
        }
        case IDCANCEL:
            StopTest(dialog);
            EndDialog(dialog, IDCANCEL);
            return;
    }
}

INT_PTR CALLBACK EditProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            OnInit(dialog, reinterpret_cast<EditState*>(lParam));
            return TRUE;
        case WM_COMMAND:
            OnCommand(dialog, LOWORD(wParam), HIWORD(wParam));
            return TRUE;
        case WM_TIMER:
            if (wParam == kPreviewTimer) OnPreviewTick(dialog);
            return TRUE;
        case WM_DRAWITEM:
            if (wParam != IDC_PREVIEW) return FALSE;
            DrawPreview(dialog, *reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
            return TRUE;
        case WM_CTLCOLORSTATIC: {
            const int id = GetDlgCtrlID(reinterpret_cast<HWND>(lParam));
            for (const RefusalField& refusal : kRefusalFields) {
                if (refusal.id != id) continue;
                const HDC dc = reinterpret_cast<HDC>(wParam);
                SetTextColor(dc, kRefusalColour);
                SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
                return reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_BTNFACE));
            }
            return FALSE;
        }
        case WM_DESTROY:
            // However the dialog ends, the camera stops with it.
            if (StateOf(dialog) != nullptr) StopTest(dialog);
            return FALSE;
    }
    return FALSE;
}

}  // namespace

std::wstring WindowText(HWND window) {
    const int length = GetWindowTextLengthW(window);
    if (length <= 0) return std::wstring();
    std::wstring text(size_t(length) + 1, L'\0');
    text.resize(size_t(GetWindowTextW(window, &text[0], length + 1)));
    return text;
}

INT_PTR RunDialog(HWND owner, int id, DLGPROC proc, void* state) {
    return DialogBoxParamW(reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(owner, GWLP_HINSTANCE)),
                           MAKEINTRESOURCEW(id), owner, proc, reinterpret_cast<LPARAM>(state));
}

bool EditSlot(HWND owner, DWORD slot, const SlotValues& before, bool bTest, SlotValues* values,
              std::vector<SlotSetting>* settings) {
    EditState state(slot, before, bTest, values, settings);
    return RunDialog(owner, IDD_EDIT, EditProc, &state) == IDOK;
}
