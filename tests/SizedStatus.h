// An empty status structure of this version's size, ready for GetStatus: what
// every reader of the status interface hands in.
#pragma once

#include "platform/platform.h"  // IUnknown, for the interface's header
#include "include/OculoStatus.h"

inline OCULO_STATUS SizedStatus() {
    OCULO_STATUS status = {};
    status.cbSize = sizeof(status);
    return status;
}
