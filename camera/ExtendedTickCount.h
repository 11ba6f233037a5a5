// The process-wide millisecond clock that does not wrap.
#pragma once

#include <cstdint>

#include "platform/platform.h"

// Milliseconds since system start, widened past the 32-bit counter's wrap.
// A wrap is seen only if the clock is read at least once per 2^32 ms. Any
// thread may call it; its state is guarded by its own lock (innermost).
uint64_t ExtendedTickCount();

// Tests replace the 32-bit tick source (null restores GetTickCount). Setting a
// source also forgets the previous reading and the wrap offset.
typedef DWORD(WINAPI* ExtendedTickSource)();
void SetExtendedTickSource(ExtendedTickSource source);
