// oculo-grab's command line and exit statuses, the same on every system:
//   oculo-grab --list
//   oculo-grab [--slot N | --device NAME | --url URL [--module PATH]]
//              [--seconds S | --watch] [--png FILE]
// Which camera to watch (a slot, a video-input device by its name, or a
// camera address shown through a throwaway registry), for how long (or
// until Ctrl+C), and where the snapshot goes. Each system's program only builds its graph.
//
// Pure functions of their arguments; any thread.
#pragma once

#include <string>

#include "platform/platform.h"

// The exit statuses.
const int kGrabOk = 0;             // the camera sent pictures during the watch and the snapshot is written
const int kGrabNoPicture = 1;      // it sent none, or no snapshot could be written (the last line says why)
const int kGrabUsage = 2;          // a bad command line, or an option this system cannot serve
const int kGrabUnusableSlot = 3;   // the slot's settings are not usable (as oculo-config check)
const int kGrabNoCamera = 4;       // the camera's filter cannot be found, created, connected or run

const int kGrabDefaultSeconds = 5;
const int kGrabMaxSeconds = 86400;

struct GrabOptions {
    bool bHelp = false;
    bool bList = false;
    DWORD slot = 0;      // when neither a device nor an address is named
    std::string device;  // set: the video-input device of this name (any case)
    std::string url;     // set: this address, shown in slot 0 of a throwaway registry
    std::string module;  // with url: the module to register there; empty for the one beside the tool
    int seconds = kGrabDefaultSeconds;
    bool bWatch = false;  // until Ctrl+C instead of for `seconds`
    std::string png = "oculo-snapshot.png";
};

// Reads argv[1..argc-1]. False with *error (one line; an address in it has
// its password masked) for a command line it refuses.
bool ParseGrabArguments(int argc, const char* const* argv, GrabOptions* options, std::string* error);
// The --help text; defaultModule is the module --url registers by default.
std::string GrabUsage(const std::string& defaultModule);
