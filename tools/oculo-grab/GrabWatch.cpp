#include "tools/oculo-grab/GrabWatch.h"

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

namespace {

uint64_t Hash(const BYTE* data, LONG size) {
    uint64_t hash = 1469598103934665603ull;  // FNV-1a
    for (LONG i = 0; i < size; ++i) hash = (hash ^ data[i]) * 1099511628211ull;
    return hash;
}

// The camera as a host can tell it from the pictures: the pin repeats its
// last picture, black before the first, so only changes show a live camera.
const char* CameraState(const CGrabWatch::Snapshot& now, const CGrabWatch::Snapshot& before) {
    if (now.cSamples == 0) return "no samples";
    if (now.cChanges == 0) return "waiting for the camera's first picture";
    if (now.cChanges > before.cChanges) return "live";
    return "picture frozen (camera silent or reconnecting)";
}

std::string Seconds(REFERENCE_TIME rt) {
    char text[32];
    std::snprintf(text, sizeof(text), "%.2f s", double(rt) / 1e7);
    return text;
}

}  // namespace

void CGrabWatch::OnSample(const BYTE* pData, LONG cbData, bool bTimed, REFERENCE_TIME rtStart) {
    const uint64_t hash = Hash(pData, cbData);
    std::lock_guard<std::mutex> hold(m_lock);
    ++m_cSamples;
    if (bTimed) m_rtLast = rtStart;
    if (m_cSamples > 1 && hash != m_hash) ++m_cChanges;
    m_hash = hash;
    m_last.assign(pData, pData + cbData);
}

CGrabWatch::Snapshot CGrabWatch::Read() const {
    std::lock_guard<std::mutex> hold(m_lock);
    return {m_cSamples, m_cChanges, m_rtLast};
}

std::vector<BYTE> CGrabWatch::LastSample() const {
    std::lock_guard<std::mutex> hold(m_lock);
    return m_last;
}

uint64_t CGrabWatch::PrintEachSecond(int seconds) const {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point begin = Clock::now();
    Snapshot before = Read();
    Clock::time_point beforeAt = begin;
    for (int second = 1; second <= seconds; ++second) {
        std::this_thread::sleep_until(begin + std::chrono::seconds(second));
        const Snapshot now = Read();
        const Clock::time_point at = Clock::now();
        const double elapsed = std::chrono::duration<double>(at - beforeAt).count();
        const double rate = elapsed > 0 ? double(now.cSamples - before.cSamples) / elapsed : 0.0;
        std::printf("%3d s: %llu samples, %.1f/s, stream time %s, picture %s, camera: %s\n", second,
                    static_cast<unsigned long long>(now.cSamples), rate, Seconds(now.rtLast).c_str(),
                    now.cChanges > before.cChanges ? "changed" : "unchanged", CameraState(now, before));
        std::fflush(stdout);
        before = now;
        beforeAt = at;
    }
    return Read().cChanges;
}
