// What oculo-grab has seen of a camera, on every system: the samples the
// sink received, how often the picture changed, the last sample's stream
// time and bytes; what the camera says of itself (its status, which each
// system's graph reads); the line a second printed from both, and the
// verdict at the end. The lines are the same on every system.
//
// Threading: OnSample runs on the filter's streaming thread; everything else
// on the tool's main thread. One lock guards the record.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "platform/platform.h"
// After the platform: the status header needs its COM types.
#include "include/OculoStatus.h"

// Reads the camera's status (CGrabGraph::ReadStatus); false when the camera
// tells none (a device that is not one of Oculo's slots).
using GrabStatusReader = std::function<bool(OCULO_STATUS*)>;

// How a watch ended.
struct GrabVerdict {
    // The camera delivered pictures during the watch. Told by its status;
    // for a camera without one, guessed from the picture's changes.
    bool bPictures = false;
    std::string reason;     // when not: why, in one line for people
    double seconds = 0;     // how long the watch lasted
    bool bStopped = false;  // ended by `stop` rather than by its time
};

class CGrabWatch {
public:
    void OnSample(const BYTE* pData, LONG cbData, bool bTimed, REFERENCE_TIME rtStart);

    struct Snapshot {
        uint64_t cSamples;
        uint64_t cChanges;
        REFERENCE_TIME rtLast;
    };
    Snapshot Read() const;
    std::vector<BYTE> LastSample() const;

    // Prints a line at the end of each second until `seconds` have passed
    // (0: no limit) or `stop` says so; `stop` is asked every 50 ms, so the
    // watch ends within that. The camera's status is read for every line and
    // once more at the end, for the verdict.
    GrabVerdict PrintEachSecond(int seconds, const GrabStatusReader& readStatus,
                                const std::function<bool()>& stop) const;

private:
    mutable std::mutex m_lock;
    uint64_t m_cSamples = 0;
    uint64_t m_cChanges = 0;
    uint64_t m_hash = 0;
    REFERENCE_TIME m_rtLast = 0;
    std::vector<BYTE> m_last;
};

// The camera's part of a second's line: its state, the pictures it sent since
// the line before (whose status said picturesBefore), its picture size once
// known, and the reason of its last failure when it is not streaming, e.g.
// "streaming, 25 pictures, 640x480" or "waiting to reconnect, 0 pictures;
// Connection refused".
std::string CameraSecond(const OCULO_STATUS& status, ULONGLONG picturesBefore);
// Why a camera that sent no picture did not: its reason, else what its state says.
std::string NoPictureReason(const OCULO_STATUS& status);
