// What oculo-grab has seen of a camera, on every system: the samples the
// sink received, how often the picture changed, the last sample's stream
// time and bytes; and the line a second it prints from that.
//
// Threading: OnSample runs on the filter's streaming thread; the readers on
// the tool's main thread. One lock guards the record.
#pragma once

#include <cstdint>
#include <mutex>
#include <vector>

#include "platform/platform.h"

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

    // Waits the given seconds, printing a line at the end of each; the
    // number of picture changes seen in all.
    uint64_t PrintEachSecond(int seconds) const;

private:
    mutable std::mutex m_lock;
    uint64_t m_cSamples = 0;
    uint64_t m_cChanges = 0;
    uint64_t m_hash = 0;
    REFERENCE_TIME m_rtLast = 0;
    std::vector<BYTE> m_last;
};
