// Looking up a camera's host name where a stop can walk away from it. The
// system's resolver cannot be interrupted (a name nobody answers for blocks it
// for the resolver's whole time-out), so the lookup runs on a thread of its
// own, and the waiting side may leave it behind.
#pragma once

#include <cstddef>

#include "platform/platform.h"

// The numeric addresses of a name, in the order the system gives them
// ("192.0.2.7", "2001:db8::7"); a camera may listen on only some of them.
constexpr int kMaxHostAddresses = 8;
constexpr size_t kNumericHostChars = 64;
struct HostAddresses {
    int count = 0;
    char numeric[kMaxHostAddresses][kNumericHostChars] = {};
};

// Fills `found` with the addresses of `host`; false when the name is
// unknown. Runs on the lookup thread.
typedef bool (*HostResolver)(const char* host, HostAddresses* found);
// Tests replace the system's resolver; null restores it.
void SetHostResolver(HostResolver resolver);

// True when `host` is a numeric address already (no lookup needed).
bool IsNumericHost(const char* host);

enum class HostLookup { Found, Unknown, Abandoned };
// Looks `host` up and waits, polling `keepWaiting(context)` every few
// milliseconds. Abandoned: `keepWaiting` said no first; the lookup thread ends
// by itself later and frees what it shares with us. It keeps the module
// loaded while it runs.
// Found: `found` holds at least one address.
HostLookup LookUpHost(const char* host, HostAddresses* found, bool (*keepWaiting)(void*), void* context);
