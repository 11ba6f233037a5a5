// The list views of Oculo Settings' windows (Windows): columns sized in
// dialog units, so that they follow the font and the monitor's scale, rows
// of text, and the one selected row.
//
// Threads: the window's own.
#pragma once

#include "platform/platform.h"

#include <string>

struct ListColumn {
    const WCHAR* title;
    int width;  // dialog units
};

// Full-row selection and the columns, in order.
void AddListColumns(HWND dialog, HWND list, const ListColumn* columns, int count);
// Makes the list `rows` rows long, each empty.
void SetListRowCount(HWND list, int rows);
void SetListCell(HWND list, int row, int column, const std::wstring& text);
// The selected row; -1 when none is.
int SelectedListRow(HWND list);
void SelectListRow(HWND list, int row);
