// One TCP connection attempt to a camera's port before FFmpeg opens it. On
// Windows, FFmpeg's connect never sees a refused connection (its poll watches
// only select's write set; Windows reports a failed connect in the exception
// set), so a camera that is down costs FFmpeg's whole connect time-out. The
// probe watches both sets and tells the reader at once.
#pragma once

#include "platform/platform.h"

#ifdef _WIN32
// FFmpeg's own connect time-out: a port that does not answer within it fails
// the attempt, as FFmpeg's connect would have.
constexpr DWORD kProbeLimitMs = 5000;

// True when a connection to `numericHost`:`port` is turned down (refused, no
// route) or not answered within kProbeLimitMs. False when it connects, or
// when the probe cannot tell: no socket, or `keepWaiting(context)` said no
// first (polled every few milliseconds).
bool ConnectFails(const char* numericHost, int port, bool (*keepWaiting)(void*), void* context);
#endif
