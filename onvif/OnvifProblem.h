// Why a camera search or a camera's questions came to nothing, and the
// sentence a person can act on. Pure functions; any thread.
#pragma once

#include <string>

enum class OnvifProblem {
    kNone,
    kNothingFound,   // no camera answered the search
    kNoAdapter,      // no network adapter is up
    kLoginNeeded,    // the camera asks for a login and none was given
    kLoginRefused,   // the login given was refused
    kNotOnvif,       // something answers there, but not ONVIF
    kNoAnswer,       // nothing answered in time
    kUnreachable,    // refused connection, unknown host, unreachable network
    kNoStreams,      // ONVIF answers, but offers no video stream
    kBadAddress,     // what was typed is no address
    kCancelled,
};

// The sentence; `host` names the camera where the problem is one camera's.
std::string ProblemText(OnvifProblem problem, const std::string& host);
