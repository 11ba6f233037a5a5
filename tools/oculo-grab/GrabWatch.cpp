#include "tools/oculo-grab/GrabWatch.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>

#include "status/StatusText.h"

namespace {

using Clock = std::chrono::steady_clock;

// How often a watch without a limit asks whether to stop.
const std::chrono::milliseconds kStopPoll(50);

uint64_t Hash(const BYTE* data, LONG size) {
    uint64_t hash = 1469598103934665603ull;  // FNV-1a
    for (LONG i = 0; i < size; ++i) hash = (hash ^ data[i]) * 1099511628211ull;
    return hash;
}

// A camera that tells no status, as a host can guess it from the pictures:
// the pin repeats its last picture, so only changes show a live camera (and
// a still scene looks frozen).
const char* GuessedCamera(const CGrabWatch::Snapshot& now, const CGrabWatch::Snapshot& before) {
    if (now.cSamples == 0) return "no samples";
    if (now.cChanges == 0) return "no status; the picture has not changed yet";
    if (now.cChanges > before.cChanges) return "no status; the picture changes";
    return "no status; the picture is frozen (camera silent, reconnecting or still)";
}

// Words of the status as a line shows them: anything but ASCII as '?'.
std::string Narrow(const std::wstring& text) {
    std::string narrow;
    for (WCHAR c : text) narrow += c > 0 && c < 0x80 ? char(c) : '?';
    return narrow;
}

// The state's words within a line: "waiting to reconnect".
std::string StateWords(LONG state) {
    std::string words = Narrow(CameraStateWords(state));
    if (!words.empty() && words[0] >= 'A' && words[0] <= 'Z') words[0] = char(words[0] - 'A' + 'a');
    return words;
}

std::string ReasonText(const OCULO_STATUS& status) {
    return Narrow(CameraReasonText(status));
}

std::string Seconds(REFERENCE_TIME rt) {
    char text[32];
    std::snprintf(text, sizeof(text), "%.2f s", double(rt) / 1e7);
    return text;
}

// Waits until `at`, or until `stop` says so (false then).
bool WaitUntil(Clock::time_point at, const std::function<bool()>& stop) {
    for (;;) {
        if (stop()) return false;
        const Clock::time_point now = Clock::now();
        if (now >= at) return true;
        std::this_thread::sleep_for(std::min<Clock::duration>(at - now, kStopPoll));
    }
}

}  // namespace

std::string CameraSecond(const OCULO_STATUS& status, ULONGLONG picturesBefore) {
    const ULONGLONG pictures = status.ullPictures >= picturesBefore ? status.ullPictures - picturesBefore : 0;
    char text[96];
    std::snprintf(text, sizeof(text), "%s, %llu picture%s", StateWords(status.lState).c_str(),
                  static_cast<unsigned long long>(pictures), pictures == 1 ? "" : "s");
    std::string line = text;
    if (status.lWidth > 0 && status.lHeight > 0) {
        std::snprintf(text, sizeof(text), ", %ldx%ld", long(status.lWidth), long(status.lHeight));
        line += text;
    }
    const std::string reason = ReasonText(status);
    if (status.lState != OCULO_STATE_STREAMING && !reason.empty()) line += "; " + reason;
    return line;
}

std::string NoPictureReason(const OCULO_STATUS& status) {
    const std::string reason = ReasonText(status);
    if (!reason.empty()) return reason;
    switch (status.lState) {
        case OCULO_STATE_CONNECTING:
            return "still connecting to the camera";
        case OCULO_STATE_SILENT:
            return "connected, but the camera sent no picture";
        default:
            return std::string("the camera sent no picture (") + StateWords(status.lState) + ")";
    }
}

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

GrabVerdict CGrabWatch::PrintEachSecond(int seconds, const GrabStatusReader& readStatus,
                                        const std::function<bool()>& stop) const {
    const Clock::time_point begin = Clock::now();
    Snapshot before = Read();
    Clock::time_point beforeAt = begin;
    // Pictures that came while the graph started belong to no second of the watch.
    OCULO_STATUS start;
    ULONGLONG picturesBefore = readStatus(&start) ? start.ullPictures : 0;
    bool bStopped = false;
    for (int second = 1; seconds == 0 || second <= seconds; ++second) {
        if (!WaitUntil(begin + std::chrono::seconds(second), stop)) {
            bStopped = true;
            break;
        }
        const Snapshot now = Read();
        const Clock::time_point at = Clock::now();
        const double elapsed = std::chrono::duration<double>(at - beforeAt).count();
        const double rate = elapsed > 0 ? double(now.cSamples - before.cSamples) / elapsed : 0.0;
        OCULO_STATUS status;
        const bool bStatus = readStatus(&status);
        const std::string camera =
            bStatus ? CameraSecond(status, picturesBefore) : GuessedCamera(now, before);
        std::printf("%3d s: %llu samples, %.1f/s, stream time %s, picture %s; camera: %s\n", second,
                    static_cast<unsigned long long>(now.cSamples), rate, Seconds(now.rtLast).c_str(),
                    now.cChanges > before.cChanges ? "changed" : "unchanged", camera.c_str());
        std::fflush(stdout);
        if (bStatus) picturesBefore = status.ullPictures;
        before = now;
        beforeAt = at;
    }
    GrabVerdict verdict;
    verdict.bStopped = bStopped;
    verdict.seconds = std::chrono::duration<double>(Clock::now() - begin).count();
    OCULO_STATUS last;
    if (readStatus(&last)) {
        verdict.bPictures = last.ullPictures > 0;
        if (!verdict.bPictures) verdict.reason = NoPictureReason(last);
    } else {
        verdict.bPictures = Read().cChanges > 0;
        if (!verdict.bPictures) verdict.reason = "the picture never changed (the camera tells no status)";
    }
    return verdict;
}
