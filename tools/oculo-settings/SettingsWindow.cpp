// The main window: the ten slots in a list, Edit, Clear, Test, Save and
// Close. Changes stay in the window (marked "not saved") until Save.
#include "platform/platform.h"
// After the platform, which brings in the SDK's base headers.
#include <commctrl.h>

#include "tools/oculo-settings/ListView.h"
#include "tools/oculo-settings/SettingsDialogs.h"
#include "tools/oculo-settings/SettingsIds.h"
#include "tools/oculo-settings/SlotTable.h"
#include "tools/shared/ModuleCalls.h"

namespace {

const ListColumn kColumns[] = {
    {L"Slot", 22}, {L"Name", 80}, {L"Address", 130}, {L"Size", 44}, {L"fps", 24}, {L"Usable", 150},
};
const int kColumnCount = int(sizeof(kColumns) / sizeof(kColumns[0]));
std::wstring SlotRow::*const kColumnTexts[kColumnCount] = {
    &SlotRow::slot, &SlotRow::name, &SlotRow::address, &SlotRow::size, &SlotRow::fps, &SlotRow::state,
};

CSlotTable* TableOf(HWND window) { return reinterpret_cast<CSlotTable*>(GetWindowLongPtrW(window, DWLP_USER)); }
HWND ListOf(HWND window) { return GetDlgItem(window, IDC_SLOT_LIST); }

void ShowRow(HWND window, DWORD slot) {
    const SlotRow row = TableOf(window)->Row(slot);
    for (int column = 0; column < kColumnCount; ++column) {
        SetListCell(ListOf(window), int(slot), column, row.*kColumnTexts[column]);
    }
}

void ShowAllRows(HWND window) {
    for (DWORD slot = 0; slot < g_cSlots; ++slot) ShowRow(window, slot);
}

int SelectedSlot(HWND window) { return SelectedListRow(ListOf(window)); }

void SayMessage(HWND window, const std::wstring& text) { SetDlgItemTextW(window, IDC_MESSAGE, text.c_str()); }

void InitList(HWND window) {
    AddListColumns(window, ListOf(window), kColumns, kColumnCount);
    SetListRowCount(ListOf(window), int(g_cSlots));
    ShowAllRows(window);
    SelectListRow(ListOf(window), 0);
}

void EditSelected(HWND window, bool bTest) {
    const int slot = SelectedSlot(window);
    if (slot < 0) {
        SayMessage(window, L"Select a slot first.");
        return;
    }
    CSlotTable* table = TableOf(window);
    SlotValues values;
    std::vector<SlotSetting> settings;
    if (!EditSlot(window, DWORD(slot), table->Values(DWORD(slot)), bTest, &values, &settings)) return;
    table->Edit(DWORD(slot), values, settings);
    ShowRow(window, DWORD(slot));
    if (table->IsChanged(DWORD(slot))) {
        SayMessage(window, L"Slot " + std::to_wstring(slot) + L" changed: Save keeps it.");
    }
}

void ClearSelected(HWND window) {
    const int slot = SelectedSlot(window);
    if (slot < 0) return;
    TableOf(window)->Clear(DWORD(slot));
    ShowRow(window, DWORD(slot));
    if (TableOf(window)->IsChanged(DWORD(slot))) {
        SayMessage(window, L"Slot " + std::to_wstring(slot) + L" cleared: Save removes its settings.");
    }
}

// False when the changes could not be written (the user was told why).
bool Save(HWND window) {
    SayMessage(window, L"Saving...");
    const HCURSOR previous = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    const SaveOutcome outcome = TableOf(window)->Save(SettingsViews(), InstalledModules(), *SystemVirtualCameraApi());
    SetCursor(previous);
    ShowAllRows(window);
    SayMessage(window, outcome.message);
    if (!outcome.bSaved || outcome.bNotRegistered) {
        MessageBoxW(window, outcome.message.c_str(), L"Oculo Settings",
                    MB_OK | (outcome.bSaved ? MB_ICONWARNING : MB_ICONERROR));
    }
    return outcome.bSaved;
}

void Close(HWND window) {
    if (TableOf(window)->AnyChanged()) {
        const int answer = MessageBoxW(window, L"Save the changes before closing?", L"Oculo Settings",
                                       MB_YESNOCANCEL | MB_ICONQUESTION);
        if (answer == IDCANCEL || (answer == IDYES && !Save(window))) return;
    }
    EndDialog(window, IDCANCEL);
}

INT_PTR OnNotify(HWND window, const NMHDR& header) {
    if (header.idFrom != IDC_SLOT_LIST) return FALSE;
    switch (header.code) {
        case NM_DBLCLK: EditSelected(window, false); return TRUE;
        case LVN_KEYDOWN:
            if (reinterpret_cast<const NMLVKEYDOWN&>(header).wVKey == VK_DELETE) ClearSelected(window);
            return TRUE;
    }
    return FALSE;
}

INT_PTR CALLBACK SettingsProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            SetWindowLongPtrW(window, DWLP_USER, lParam);
            InitList(window);
            return TRUE;
        case WM_NOTIFY:
            return OnNotify(window, *reinterpret_cast<const NMHDR*>(lParam));
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case IDC_EDIT_SLOT: EditSelected(window, false); return TRUE;
                case IDC_TEST_SLOT: EditSelected(window, true); return TRUE;
                case IDC_CLEAR_SLOT: ClearSelected(window); return TRUE;
                case IDC_SAVE: Save(window); return TRUE;
                case IDCANCEL: Close(window); return TRUE;
            }
            return FALSE;
    }
    return FALSE;
}

}  // namespace

void RunSettingsWindow(HINSTANCE instance) {
    CSlotTable table;
    table.Load();
    DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_SETTINGS), nullptr, SettingsProc, reinterpret_cast<LPARAM>(&table));
}
