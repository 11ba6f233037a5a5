// IntToWstr: a signed 32-bit value as decimal wide text with its terminator.
// The caller provides room for at least 12 characters ("-2147483648" and the
// terminator). Any thread.
#pragma once

#include "platform/platform.h"

void IntToWstr(LONG value, WCHAR* buffer);
