// A camera's status (include/OculoStatus.h) in words, one wording for every
// place that shows it: the status card, the property page, Oculo Settings'
// Test and oculo-grab. With it, what every reader of the structure shares:
// the status of a stopped camera, and the copy into a caller's structure of
// the caller's own size.
//
// Pure functions; any thread.
#pragma once

#include <cstddef>
#include <string>

#include "platform/platform.h"
// After the platform: the status header needs its COM types.
#include "include/OculoStatus.h"

// The bytes of the structure's first version: a caller's cbSize below this
// is refused; later versions only grow the structure.
const DWORD kFirstStatusBytes = offsetof(OCULO_STATUS, ullMsInState) + sizeof(ULONGLONG);

// A camera with no capture run and no figures yet, the whole structure.
OCULO_STATUS StoppedCameraStatus();

// `status`, a whole structure, into `pTarget`'s first cbSize bytes (at most
// the whole), cbSize set to the bytes written; refuses nothing. The camera
// reader's own copy: the interface's refusals come first (below).
void CopyStatusCut(const OCULO_STATUS& status, OCULO_STATUS* pTarget);

// IOculoStatus::GetStatus's answer from `status`, a whole structure:
// E_POINTER for a null pCaller, E_INVALIDARG for a cbSize below
// kFirstStatusBytes; otherwise S_OK with no more than the caller's cbSize
// bytes written (a caller built against an older, smaller structure never
// has more written than it gave) and cbSize set to the bytes filled.
HRESULT CopyStatusToCaller(const OCULO_STATUS& status, OCULO_STATUS* pCaller);

// The state in words, "Waiting to reconnect", and in at most
// kShortStateChars characters, "Reconnecting"; "Unknown" for a state this
// module does not know.
const size_t kShortStateChars = 13;
const WCHAR* CameraStateWords(LONG state);
const WCHAR* CameraStateShortWords(LONG state);

// Why the last attempt failed, in the camera's own words ("Login refused
// (HTTP 401): check the user name and password"), up to the field's
// terminator or its end; empty when none failed. The codec likewise.
std::wstring CameraReasonText(const OCULO_STATUS& status);
std::wstring CameraCodecText(const OCULO_STATUS& status);
