// The camera status interface (include/OculoStatus.h) as the slot's filter
// and its output pin answer it: both report the pin's camera reader.
//
// Threads: any thread, in any state of the graph. No lock is taken: the
// reader keeps its figures under its own small lock or in atomics, and the
// pin hands its reader out through an atomic pointer that is set once.
#pragma once

#include "camera/IPCameraBase.h"

// The bytes of the structure's first version: a caller's cbSize below this
// is refused; later versions only grow the structure.
const DWORD kFirstStatusBytes = offsetof(OCULO_STATUS, ullMsInState) + sizeof(ULONGLONG);

// IOculoStatus::GetStatus for a slot whose reader is pReader (null before
// the first run: a stopped camera with no figures). E_POINTER for a null
// pStatus, E_INVALIDARG for a cbSize below kFirstStatusBytes; otherwise S_OK
// with at most cbSize bytes written and cbSize set to the bytes filled.
HRESULT ReadCameraStatus(CIPCameraBase* pReader, OCULO_STATUS* pStatus);
