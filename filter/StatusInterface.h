// The camera status interface (include/OculoStatus.h) as the slot's filter
// and its output pin answer it: both report the pin's camera reader.
//
// Threads: any thread, in any state of the graph. No lock is taken: the
// reader keeps its figures under its own small lock or in atomics, and the
// pin hands its reader out through an atomic pointer that is set once.
#pragma once

#include "camera/IPCameraBase.h"

// IOculoStatus::GetStatus for a slot whose reader is pReader (null before
// the first run: a stopped camera with no figures), as CopyStatusToCaller
// (status/StatusText.h) answers it.
HRESULT ReadCameraStatus(CIPCameraBase* pReader, OCULO_STATUS* pStatus);
