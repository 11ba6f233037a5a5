// What the rendering sink saw, for tests and tools: counts, a record of each
// rendered sample (up to a limit), a copy of the last frame, the segments,
// and an optional callback that gets every frame. A test can wait for the
// counts to get somewhere.
//
// Threading: the sink's pin reports from the upstream streaming thread, under
// the sink's lock (lock order: the sink's lock, then m_lock). Configuration,
// results and waits come from any thread. m_lock guards everything below and
// is held for no outside call: the pin calls the frame callback, which
// Rendered hands back, with no lock held.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "platform/Mutex.h"
#include "platform/platform.h"

// What one rendered sample carried.
struct SinkSample {
    HRESULT hrTime;          // GetTime's answer: S_OK, VFW_S_NO_STOP_TIME or a failure
    REFERENCE_TIME rtStart;  // valid when hrTime succeeded
    REFERENCE_TIME rtStop;
    bool bSyncPoint;
    bool bDiscontinuity;
    bool bPreroll;
    LONG lActual;               // GetActualDataLength
    LONG lSize;                 // GetSize
    bool bLengthValid;          // 0 <= lActual <= lSize and a data pointer
    REFERENCE_TIME rtRendered;  // stream time when rendered (clock - run start); 0 without a clock
};

// Handed to the frame callback; pData is valid only during the call.
struct SinkFrame {
    const BYTE* pData;
    LONG cbData;
    const SinkSample* pInfo;
};

struct SinkSegment {
    REFERENCE_TIME rtStart;
    REFERENCE_TIME rtStop;
    double dRate;
};

struct SinkCounts {
    uint64_t samples = 0;    // rendered
    uint64_t refused = 0;    // Receive answered by the pin's FailReceiveAfter
    uint64_t rejected = 0;   // Receive refused for the state (stopped, flushing, after end of stream)
    uint64_t badLength = 0;  // rendered with a length that does not fit the buffer
    uint64_t endOfStream = 0;
    uint64_t beginFlush = 0;
    uint64_t endFlush = 0;
};

using SinkFrameCallback = std::function<void(const SinkFrame&)>;

class CSinkRecorder {
public:
    CSinkRecorder() = default;
    CSinkRecorder(const CSinkRecorder&) = delete;
    CSinkRecorder& operator=(const CSinkRecorder&) = delete;

    // --- Configuration ---
    void KeepLastFrame(bool bKeep);  // kept by default
    // At most this many SinkSample records are kept (counting goes on).
    void SetMaxRecords(size_t n);
    void SetFrameCallback(SinkFrameCallback callback);

    // --- Results ---
    uint64_t SampleCount() const;  // Counts().samples
    SinkCounts Counts() const;
    std::vector<SinkSample> Samples() const;
    std::vector<BYTE> LastFrame() const;
    std::vector<SinkSegment> Segments() const;
    // Waits until at least n samples were rendered, at most dwTimeoutMs.
    bool WaitForSamples(uint64_t n, DWORD dwTimeoutMs) const;
    bool WaitForEndOfStream(DWORD dwTimeoutMs) const;
    // Forgets the counts, records, segments and last frame.
    void ResetCounts();

    // --- Reports from the sink's pin ---
    // Whether anyone will see a rendered sample's stream time (a record is
    // still kept, or a callback is set): the pin reads the clock only then.
    bool WantsRenderTime() const;
    // Records a rendered sample whose cbData bytes (already bounded by the
    // buffer) are at pData. S_OK and the callback to call, if any; or
    // E_OUTOFMEMORY, and the sample does not count as rendered.
    HRESULT Rendered(const SinkSample& info, const BYTE* pData, LONG cbData,
                     std::shared_ptr<const SinkFrameCallback>* pCallback);
    // One more of what counter counts (refused, rejected, endOfStream,
    // beginFlush or endFlush).
    void Count(uint64_t SinkCounts::*counter);
    HRESULT NewSegment(const SinkSegment& segment);

private:
    // Waits on m_progress until reached() holds, at most dwTimeoutMs.
    template <class Pred>
    bool WaitForProgress(DWORD dwTimeoutMs, Pred reached) const;
    void WakeWaiters() REQUIRES(m_lock);

    mutable CMutex m_lock;
    bool m_bKeepLastFrame GUARDED_BY(m_lock) = true;
    size_t m_cMaxRecords GUARDED_BY(m_lock) = 100000;
    std::shared_ptr<const SinkFrameCallback> m_pCallback GUARDED_BY(m_lock);

    SinkCounts m_counts GUARDED_BY(m_lock);
    std::vector<SinkSample> m_samples GUARDED_BY(m_lock);
    std::vector<BYTE> m_lastFrame GUARDED_BY(m_lock);
    std::vector<SinkSegment> m_segments GUARDED_BY(m_lock);
    mutable int m_cWaiters GUARDED_BY(m_lock) = 0;  // threads in WaitFor...
    mutable std::condition_variable m_progress;  // a sample rendered or end of stream; waited on with m_lock
};
