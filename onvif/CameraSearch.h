// Searching the local network for cameras (WS-Discovery): on every IPv4
// adapter that is up, Probes for video transmitters and for ONVIF devices
// go to the discovery group, once more after half a second, and answers are
// gathered for the time asked. Answers to anything but our probes are
// dropped; a camera that answers several times (each probe, each adapter)
// is listed once.
//
// Runs on the caller's thread (a worker's: see OnvifJob.h) and stops within
// 100 ms of a cancel.
#pragma once

#include <string>
#include <vector>

#include "onvif/OnvifCancel.h"
#include "onvif/OnvifProblem.h"

struct FoundCamera {
    std::string name;           // from its scopes; may be empty
    std::string model;          // from its scopes; may be empty
    std::string address;        // the IPv4 address its answer came from
    std::string deviceService;  // where to ask it (CameraQuery.h)
    std::string endpoint;       // its endpoint reference
};

struct SearchOptions {
    int seconds = 3;
    // Loopback adapters too: a test's network namespace has nothing else.
    bool bIncludeLoopback = false;
};

// What a tool searches with: OCULO_SEARCH_LOOPBACK=1 searches on loopback
// adapters too (tests do, in a network namespace of their own).
SearchOptions ToolSearchOptions();

// kNone with the cameras found (ordered by address), kNothingFound,
// kNoAdapter or kCancelled.
OnvifProblem SearchCameras(const SearchOptions& options, const COnvifCancel& cancel, std::vector<FoundCamera>* cameras);
