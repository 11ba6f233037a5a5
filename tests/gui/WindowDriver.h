// Driving another program's dialogs the way an accessibility tool does
// (Windows): find them and their controls by id, set texts, press buttons,
// read texts and list rows back, and look at what the screen shows. The
// program under test runs in a process of its own, of this one's bitness
// (the list view's texts are read through memory in that process).
//
// Every wait is bounded; a call that would wait on a busy program gives up
// after a few seconds instead.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/platform.h"

// Waits until `done` holds, checking every 50 ms; false after `limitMs`.
bool WaitUntil(const std::function<bool()>& done, DWORD limitMs);

// A visible dialog of process `pid` owned by `owner` (null: a top-level
// one) whose title contains `title`; null when there is none.
HWND FindDialog(DWORD pid, HWND owner, const std::wstring& title);

std::wstring ControlText(HWND dialog, int id);
void SetControlText(HWND dialog, int id, const std::wstring& text);
void SetCheck(HWND dialog, int id, bool bChecked);
// Presses the button as a click would (posted, so a dialog it opens does not
// hold this program up).
void PressButton(HWND dialog, int id);

// A list view's cell, and selecting its row (in the list's own process).
std::wstring ListCell(HWND list, int row, int column);
bool SelectListRow(HWND list, int row);

// What the screen shows in the window's client area: 24-bit BGR, bottom row
// first, rows padded to 4 bytes.
struct ScreenPicture {
    LONG width = 0;
    LONG height = 0;
    std::vector<BYTE> pixels;
    // The pixel at (x, y) from the top left as 0xRRGGBB.
    DWORD At(LONG x, LONG y) const;
};
bool CaptureWindow(HWND window, ScreenPicture* picture);
// Writes the capture as a PNG file; false (with a note on stderr) on failure.
bool SavePng(const ScreenPicture& picture, const std::string& path);
