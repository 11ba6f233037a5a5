// Text between the command line / console (narrow, the system's code page)
// and the registry's wide strings. Stateless; any thread.
#pragma once

#include <string>

#include "platform/platform.h"

// Both return an empty string for text that does not convert.
std::wstring ToWide(const char* text);
std::string ToNarrow(LPCWSTR text);
