// Asking one camera for its streams over ONVIF: its clock (no login), where
// its media service answers (Media2 where offered), its profiles, and each
// profile's RTSP stream address, made reachable from here
// (ServiceAddress.h). Each request gets at most 3 s, the whole at most 10 s.
//
// A login, when a user name is given, goes first as a WS-Security
// UsernameToken stamped with the camera's own clock, and once more with HTTP
// Digest if that is refused; the way that worked is kept for the rest. So
// no request is ever tried more than twice, and a wrong password never
// locks the camera's account. The password is in no text this returns.
//
// Runs on the caller's thread (a worker's: see OnvifJob.h) and stops within
// 100 ms of a cancel.
#pragma once

#include <string>
#include <vector>

#include "onvif/OnvifCancel.h"
#include "onvif/OnvifProblem.h"

struct CameraStream {
    std::string name;     // the profile's name
    std::string codec;    // "H.264", ...
    int width = 0;        // 0: not told
    int height = 0;
    double fps = 0.0;     // 0: not told
    std::string address;  // rtsp://host:554/path, without a login
};

struct CameraLoginUtf8 {
    std::string user;  // empty: no login
    std::string password;
};

constexpr int kRequestLimitMs = 3000;
constexpr int kQueryLimitMs = 10000;

// kNone with the streams, or why there are none.
OnvifProblem AskCameraStreams(const std::string& deviceService, const CameraLoginUtf8& login,
                              const COnvifCancel& cancel, std::vector<CameraStream>* streams);
