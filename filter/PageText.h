// The texts of the slot's property page (filter/OculoPage.h), made from the
// slot's settings and its camera's status. Plain functions on values, the
// same on every system, so that what the page says is checked without
// windows. Of the camera's address only its host and port are shown: the
// page is opened from applications, in front of whoever watches.
//
// Any thread.
#pragma once

#include <string>

#include "module/InstanceSettings.h"
// After the platform: the status header needs its COM types.
#include "include/OculoStatus.h"

struct SlotPageTexts {
    std::wstring name;     // the slot's name
    std::wstring address;  // the camera's host and port: "cam.local:554"
    std::wstring picture;  // "640 x 480, 25 frames a second"
    std::wstring crop;     // "none" or "columns 80 to 320, rows 0 to 180 from the bottom"
};
SlotPageTexts DescribeSlot(const InstanceSettings& settings);

// "Streaming", "Connecting", ...; "Unknown" for a state this module does not know.
const WCHAR* CameraStateWords(LONG state);

// The status in a few lines (separated by "\r\n"): the state and how long it
// has lasted; the pictures; the camera's size and codec; the connections;
// the last failure's reason. The structure's texts need no terminator.
std::wstring DescribeStatus(const OCULO_STATUS& status);
