// Text between the command line / console (narrow, the system's code page)
// and the registry's wide strings. Stateless; any thread.
#pragma once

#include <string>

#include "platform/platform.h"

// Both return an empty string for text that does not convert.
std::wstring ToWide(const char* text);
std::string ToNarrow(LPCWSTR text);

// An address, or any text a user gave that may hold one, as a tool's line
// shows it: narrow, with its passwords masked (MaskCameraAddress: the whole
// text is taken for one address, as a command line's argument or a stored
// value is one). Only the administrator's views (oculo-config show, export)
// print an address as stored.
std::string ShownAddress(LPCWSTR address);
std::string ShownAddress(const char* text);
