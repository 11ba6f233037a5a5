#include "tools/oculo-settings/ListView.h"

// After the platform, which brings in the SDK's base headers.
#include <commctrl.h>

void AddListColumns(HWND dialog, HWND list, const ListColumn* columns, int count) {
    SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
    for (int column = 0; column < count; ++column) {
        RECT width = {0, 0, columns[column].width, 0};
        MapDialogRect(dialog, &width);  // the font's and the monitor's scale
        LVCOLUMNW info = {};
        info.mask = LVCF_TEXT | LVCF_WIDTH;
        info.pszText = const_cast<LPWSTR>(columns[column].title);
        info.cx = width.right;
        SendMessageW(list, LVM_INSERTCOLUMNW, column, reinterpret_cast<LPARAM>(&info));
    }
}

void SetListRowCount(HWND list, int rows) {
    SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
    for (int row = 0; row < rows; ++row) {
        LVITEMW item = {};
        item.mask = LVIF_TEXT;
        item.iItem = row;
        item.pszText = const_cast<LPWSTR>(L"");
        SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
    }
}

void SetListCell(HWND list, int row, int column, const std::wstring& text) {
    std::wstring copy = text;
    LVITEMW item = {};
    item.iItem = row;
    item.iSubItem = column;
    item.pszText = &copy[0];
    SendMessageW(list, LVM_SETITEMTEXTW, WPARAM(row), reinterpret_cast<LPARAM>(&item));
}

int SelectedListRow(HWND list) { return int(SendMessageW(list, LVM_GETNEXTITEM, WPARAM(-1), LVNI_SELECTED)); }

void SelectListRow(HWND list, int row) {
    LVITEMW item = {};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(list, LVM_SETITEMSTATE, WPARAM(row), reinterpret_cast<LPARAM>(&item));
}
