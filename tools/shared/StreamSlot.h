// A slot filled from a camera's stream, as Oculo Settings fills its edit
// dialog from the stream a person picks: the stream's address with the
// login stored in it the way the dialog's login fields store it
// (WithCameraLogin), and the stream's size and frame rate clamped to what a
// slot allows. What the camera did not tell (a size, a rate) is left as the
// slot has it. Checked with `oculo-config set`'s rules.
//
// Pure function; any thread.
#pragma once

#include <string>
#include <vector>

#include "module/CameraAddress.h"
#include "tools/shared/SlotEditor.h"

// False (with *error) when the address is refused.
bool StreamSlotSettings(const std::wstring& address, const CameraLogin& login, int width, int height, double fps,
                        std::vector<SlotSetting>* settings, std::string* error);
