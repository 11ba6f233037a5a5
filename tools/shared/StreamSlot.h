// A slot filled from a camera's stream, as Oculo Settings fills its edit
// dialog from the stream a person picks: the stream's size and frame rate
// clamped to what a slot holds (the rows of module/SettingsTable.h), and for
// `oculo-config streams --slot` the stream's address with the login stored
// in it as the dialog's login fields store it (WithCameraLogin). What the
// camera did not tell (a size, a rate) is left as the slot has it.
//
// Pure functions; any thread.
#pragma once

#include <string>
#include <vector>

#include "text/CameraAddress.h"
#include "tools/shared/SlotEditor.h"

// The values as the slot's fields take them: "w", "h" and "fps" as text;
// empty where the camera told nothing (0).
struct StreamSlotValues {
    std::wstring w;
    std::wstring h;
    std::wstring fps;
};
StreamSlotValues StreamValues(int width, int height, double fps);

// Every setting the stream fills, checked with `oculo-config set`'s rules.
// False (with *error) when the address is refused.
bool StreamSlotSettings(const std::wstring& address, const oculo::text::CameraLogin& login, int width, int height,
                        double fps, std::vector<SlotSetting>* settings, std::string* error);
