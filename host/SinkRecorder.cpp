#include "host/SinkRecorder.h"

#include <chrono>
#include <new>

// --- Configuration ---

void CSinkRecorder::KeepLastFrame(bool bKeep) {
    CMutexLock hold(m_lock);
    m_bKeepLastFrame = bKeep;
    if (!bKeep) m_lastFrame.clear();
}

void CSinkRecorder::SetMaxRecords(size_t n) {
    CMutexLock hold(m_lock);
    m_cMaxRecords = n;
}

void CSinkRecorder::SetFrameCallback(SinkFrameCallback callback) {
    std::shared_ptr<const SinkFrameCallback> p;
    if (callback) p = std::make_shared<const SinkFrameCallback>(std::move(callback));
    CMutexLock hold(m_lock);
    m_pCallback = std::move(p);
}

// --- Results ---

uint64_t CSinkRecorder::SampleCount() const {
    CMutexLock hold(m_lock);
    return m_counts.samples;
}

SinkCounts CSinkRecorder::Counts() const {
    CMutexLock hold(m_lock);
    return m_counts;
}

std::vector<SinkSample> CSinkRecorder::Samples() const {
    CMutexLock hold(m_lock);
    return m_samples;
}

std::vector<BYTE> CSinkRecorder::LastFrame() const {
    CMutexLock hold(m_lock);
    return m_lastFrame;
}

std::vector<SinkSegment> CSinkRecorder::Segments() const {
    CMutexLock hold(m_lock);
    return m_segments;
}

template <class Pred>
bool CSinkRecorder::WaitForProgress(DWORD dwTimeoutMs, Pred reached) const {
    CMutexLock hold(m_lock);
    ++m_cWaiters;
    const bool done = m_progress.wait_for(hold.Native(), std::chrono::milliseconds(dwTimeoutMs), reached);
    --m_cWaiters;
    return done;
}

bool CSinkRecorder::WaitForSamples(uint64_t n, DWORD dwTimeoutMs) const {
    return WaitForProgress(dwTimeoutMs, [&]() REQUIRES(m_lock) { return m_counts.samples >= n; });
}

bool CSinkRecorder::WaitForEndOfStream(DWORD dwTimeoutMs) const {
    return WaitForProgress(dwTimeoutMs, [&]() REQUIRES(m_lock) { return m_counts.endOfStream > 0; });
}

void CSinkRecorder::ResetCounts() {
    CMutexLock hold(m_lock);
    m_counts = SinkCounts{};
    m_samples.clear();
    m_segments.clear();
    m_lastFrame.clear();
}

// --- Reports from the sink's pin ---

bool CSinkRecorder::WantsRenderTime() const {
    CMutexLock hold(m_lock);
    return m_samples.size() < m_cMaxRecords || m_pCallback;
}

HRESULT CSinkRecorder::Rendered(const SinkSample& info, const BYTE* pData, LONG cbData,
                                std::shared_ptr<const SinkFrameCallback>* pCallback) {
    CMutexLock hold(m_lock);
    if (!info.bLengthValid) ++m_counts.badLength;
    try {
        if (m_samples.size() < m_cMaxRecords) m_samples.push_back(info);
        if (m_bKeepLastFrame) m_lastFrame.assign(pData, pData + cbData);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    ++m_counts.samples;
    *pCallback = m_pCallback;
    WakeWaiters();
    return S_OK;
}

void CSinkRecorder::Count(uint64_t SinkCounts::*counter) {
    CMutexLock hold(m_lock);
    ++(m_counts.*counter);
    WakeWaiters();
}

HRESULT CSinkRecorder::NewSegment(const SinkSegment& segment) {
    CMutexLock hold(m_lock);
    try {
        m_segments.push_back(segment);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

void CSinkRecorder::WakeWaiters() {
    if (m_cWaiters > 0) m_progress.notify_all();
}
