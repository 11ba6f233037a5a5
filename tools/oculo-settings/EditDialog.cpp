// A slot's edit dialog: its fields, and each refusal beside its field.
#include "tools/oculo-settings/SettingsDialogs.h"
#include "tools/oculo-settings/SettingsIds.h"
#include "tools/shared/ConsoleText.h"

namespace {

const COLORREF kRefusalColour = RGB(176, 0, 0);

struct TextField {
    int id;
    std::wstring SlotForm::*text;
};
const TextField kTextFields[] = {
    {IDC_NAME, &SlotForm::name},           {IDC_ADDRESS, &SlotForm::address},
    {IDC_USER, &SlotForm::user},           {IDC_PASSWORD, &SlotForm::password},
    {IDC_PICTURE_SIZE, &SlotForm::size},           {IDC_FPS, &SlotForm::fps},
    {IDC_CROP_LEFT, &SlotForm::cropLeft},  {IDC_CROP_TOP, &SlotForm::cropTop},
    {IDC_CROP_RIGHT, &SlotForm::cropRight}, {IDC_CROP_BOTTOM, &SlotForm::cropBottom},
    {IDC_SHIFT, &SlotForm::shift},
};

// Each refusal's text, and the field that gets the focus when it is the first.
struct RefusalField {
    int id;
    std::string SlotFormErrors::*error;
    int field;
};
const RefusalField kRefusalFields[] = {
    {IDC_NAME_ERROR, &SlotFormErrors::name, IDC_NAME},   {IDC_ADDRESS_ERROR, &SlotFormErrors::address, IDC_ADDRESS},
    {IDC_LOGIN_ERROR, &SlotFormErrors::login, IDC_USER}, {IDC_PICTURE_SIZE_ERROR, &SlotFormErrors::size, IDC_PICTURE_SIZE},
    {IDC_FPS_ERROR, &SlotFormErrors::fps, IDC_FPS},      {IDC_CROP_ERROR, &SlotFormErrors::crop, IDC_CROP_LEFT},
    {IDC_SHIFT_ERROR, &SlotFormErrors::shift, IDC_SHIFT},
};

struct EditState {
    const DWORD slot;
    const SlotValues before;
    SlotValues* const values;  // the caller's: the result of OK
    std::vector<SlotSetting>* const settings;
};

EditState* StateOf(HWND dialog) { return reinterpret_cast<EditState*>(GetWindowLongPtrW(dialog, DWLP_USER)); }

SlotForm ReadForm(HWND dialog) {
    SlotForm form;
    for (const TextField& field : kTextFields) form.*field.text = WindowText(GetDlgItem(dialog, field.id));
    form.bEnabled = IsDlgButtonChecked(dialog, IDC_ENABLED) == BST_CHECKED;
    form.bStatusCard = IsDlgButtonChecked(dialog, IDC_STATUS_CARD) == BST_CHECKED;
    return form;
}

void WriteForm(HWND dialog, const SlotForm& form) {
    for (const TextField& field : kTextFields) SetDlgItemTextW(dialog, field.id, (form.*field.text).c_str());
    CheckDlgButton(dialog, IDC_ENABLED, form.bEnabled ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(dialog, IDC_STATUS_CARD, form.bStatusCard ? BST_CHECKED : BST_UNCHECKED);
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

void OnInit(HWND dialog, EditState* state) {
    SetWindowLongPtrW(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(state));
    const std::wstring title = L"Camera in slot " + std::to_wstring(state->slot) + L" - Oculo Settings";
    SetWindowTextW(dialog, title.c_str());
    const HWND sizes = GetDlgItem(dialog, IDC_PICTURE_SIZE);
    for (const std::wstring& size : CommonPictureSizes()) {
        SendMessageW(sizes, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(size.c_str()));
    }
    WriteForm(dialog, FormFromValues(state->before));
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
        case IDOK: {
            EditState* state = StateOf(dialog);
            if (!CheckFields(dialog, state->values, state->settings)) return;
            EndDialog(dialog, IDOK);
            return;
        }
        case IDCANCEL:
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

bool EditSlot(HWND owner, DWORD slot, const SlotValues& before, SlotValues* values,
              std::vector<SlotSetting>* settings) {
    EditState state{slot, before, values, settings};
    const INT_PTR result = DialogBoxParamW(reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(owner, GWLP_HINSTANCE)),
                                           MAKEINTRESOURCEW(IDD_EDIT), owner, EditProc,
                                           reinterpret_cast<LPARAM>(&state));
    return result == IDOK;
}
