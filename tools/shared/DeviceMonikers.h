// The system device enumerator's video-input devices with their monikers,
// for binding one to its filter (Windows). The caller has initialised COM.
#pragma once

#include <functional>

#include "tools/shared/DeviceList.h"

// Calls visit for each device (the moniker is borrowed for the call) until
// it returns false; S_OK, or the enumerator's failure.
HRESULT ForEachVideoInputDevice(const std::function<bool(const CaptureDevice&, IMoniker*)>& visit);
