// The video-input-device category as a host sees it: the devices an
// application would list, with the name it shows and the class it creates.
// On Windows through the system device enumerator; on Linux from the
// registry entries the platform's filter mapper writes, which is where the
// enumerator would read them. The caller has initialised COM.
#pragma once

#include <string>
#include <vector>

#include "platform/platform.h"

struct CaptureDevice {
    std::wstring friendlyName;
    std::wstring clsid;  // "{XXXXXXXX-...}" as the entry holds it; empty when it has none
};

// The slot (0..9) whose class the device creates, or -1 when it is not ours.
int DeviceSlot(const CaptureDevice& device);
// The first device of that friendly name (any case), or null.
const CaptureDevice* FindDeviceByName(const std::vector<CaptureDevice>& devices, const std::wstring& name);

// S_OK with the devices (none is S_OK with an empty list), or the failure.
HRESULT ListVideoInputDevices(std::vector<CaptureDevice>* devices);
// The registered filters of the category in one registry view (a
// RegistryView flag): what a host of that view's bitness lists besides the
// system's own devices.
HRESULT ListRegisteredVideoInputs(REGSAM view, std::vector<CaptureDevice>* devices);
