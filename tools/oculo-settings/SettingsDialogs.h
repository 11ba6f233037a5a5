// Oculo Settings' two dialogs (Windows): the list of slots, the program's
// main window, and a slot's edit dialog with its Test. The procedures only
// move texts between controls and the plain functions of SlotForm.h,
// SlotTable.h and CameraPreview.h.
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

// A window's text, whole.
std::wstring WindowText(HWND window);
