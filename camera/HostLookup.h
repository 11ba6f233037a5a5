// Looking up a camera's host name where a stop can walk away from it. The
// system's resolver cannot be interrupted (a name nobody answers for blocks it
// for the resolver's whole time-out), so the lookup runs on a thread of its
// own, and the waiting side may leave it behind.
#pragma once

#include <cstddef>

#include "platform/platform.h"

// Writes the numeric address of `host` (IPv4 preferred, e.g. "192.0.2.7" or
// "2001:db8::7") into `numeric`; false when the name is unknown. Runs on the
// lookup thread.
typedef bool (*HostResolver)(const char* host, char* numeric, size_t size);
// Tests replace the system's resolver; null restores it.
void SetHostResolver(HostResolver resolver);

// True when `host` is a numeric address already (no lookup needed).
bool IsNumericHost(const char* host);

enum class HostLookup { Found, Unknown, Abandoned };
// Looks `host` up and waits, polling `keepWaiting(context)` every few
// milliseconds. Abandoned: `keepWaiting` said no first; the lookup thread ends
// by itself later and frees what it shares with us. It keeps the module
// loaded while it runs.
HostLookup LookUpHost(const char* host, char* numeric, size_t size, bool (*keepWaiting)(void*), void* context);
