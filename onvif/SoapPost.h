// One SOAP request to a camera over HTTP, through FFmpeg's http protocol:
// POST, answer read up to its size limit, cut off at the deadline or when
// cancelled. A login in the address is answered with HTTP Digest (or Basic,
// when that is all the camera asks for); the address is never logged.
// FFmpeg gives up on a 4xx/5xx status before the body, so a fault's text is
// lost but its status is not.
//
// Any thread; blocks until answered, refused, cut off or cancelled.
#pragma once

#include <string>

#include "onvif/OnvifCancel.h"

enum class PostOutcome {
    kAnswered,     // 200, and `body` holds the answer
    kRefused,      // 401 or 403: a login is missing or wrong
    kHttpError,    // another 4xx or 5xx (a SOAP fault, a path the camera does not serve)
    kTooLarge,     // the answer passed kMaxAnswerBytes
    kNoAnswer,     // the deadline passed
    kCancelled,
    kUnreachable,  // refused connection, unknown host, unreachable network
};

struct PostResult {
    PostOutcome outcome = PostOutcome::kUnreachable;
    int status = 0;  // the HTTP status where one came (401, 500, ...)
    std::string body;
};

PostResult PostSoap(const std::string& address, const std::string& envelope, const CDeadline& deadline,
                    const COnvifCancel& cancel);

// FFmpeg's own messages off for this process: a tool's console shows its own
// sentences only. A program calls it once, before any request.
void QuietNetworkMessages();
