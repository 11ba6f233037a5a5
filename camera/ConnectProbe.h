// One TCP connection attempt to a camera's port before FFmpeg opens it. On
// Windows, FFmpeg's connect never sees a refused connection (its poll watches
// only select's write set; Windows reports a failed connect in the exception
// set), so a camera that is down costs FFmpeg's whole connect time-out. The
// probe watches both sets and tells the reader at once (ConnectProbeWin.cpp).
// Elsewhere FFmpeg sees a refusal at once and a probe would only add a
// connection: there the probe tries nothing and answers Unknown
// (ConnectProbePosix.cpp).
#pragma once

#include "platform/platform.h"

// FFmpeg's own connect time-out: a port that does not answer within it fails
// the attempt, as FFmpeg's connect would have.
constexpr DWORD kProbeLimitMs = 5000;

enum class ConnectProbe {
    Connects,
    Refused,   // turned down: refused, no route
    NoAnswer,  // not answered within kProbeLimitMs
    Unknown,   // no socket, or `keepWaiting(context)` said no first
};

// One connection attempt to `numericHost`:`port`, polling
// `keepWaiting(context)` every few milliseconds.
ConnectProbe ProbeConnect(const char* numericHost, int port, bool (*keepWaiting)(void*), void* context);
