// Oculo Settings' dialogs (Windows): the list of slots, the program's main
// window; a slot's edit dialog with its Test; and Find cameras, which fills
// the edit dialog from a camera's stream. The procedures only move texts
// between controls and the plain functions of SlotForm.h, SlotTable.h,
// CameraPreview.h and the camera search (onvif/).
//
// Threads: the program's one window thread, with COM initialised.
#pragma once

#include <vector>

#include "tools/oculo-settings/SlotForm.h"

// Runs the main window until it closes.
void RunSettingsWindow(HINSTANCE instance);

// Edits slot `slot`, shown as `before`; with bTest its Test starts at once.
// True (OK) with the checked values and what Save writes for them; false
// when cancelled.
bool EditSlot(HWND owner, DWORD slot, const SlotValues& before, bool bTest, SlotValues* values,
              std::vector<SlotSetting>* settings);

// Find cameras, over the edit dialog: the search starts at once with the
// form's login in the finder's fields. True (Use this stream) with the
// chosen stream filled into the form (FillFormFromStream) and the login the
// streams were asked with in its login fields; false when cancelled.
bool FindCameras(HWND owner, SlotForm* form);

// A window's text, whole.
std::wstring WindowText(HWND window);
// Runs dialog `id` of this program over `owner` until it ends, `state` in
// its WM_INITDIALOG; what EndDialog gave.
INT_PTR RunDialog(HWND owner, int id, DLGPROC proc, void* state);
