// The rendering sink's one input pin ("In"): accepts a connection from an
// output pin, offers its own allocator or none, and renders what arrives:
// each sample at its start time on the clock (relative to the run start), or
// as fast as possible. It counts and records every sample, keeps a copy of
// the last frame, hands frames to an optional callback, and can be told to
// refuse Receive after N samples. For tests and tools on Linux.
//
// Lifetime: the pin lives inside its filter (CRenderSink) and counts on it:
// AddRef/Release on the pin are the filter's.
//
// Threading: the connection methods and the configuration setters come from
// the application thread while the filter is stopped; Receive, EndOfStream
// and the flush calls from the upstream filter's streaming thread; the
// accessors and waits from any thread. Everything below is guarded by the
// filter's one lock (CRenderSink::m_lock), which is never held while calling
// into the peer, the graph or the frame callback (the clock's GetTime is the
// one outside call made under it). Receive waits on the filter's state
// condition, so Stop, Pause and BeginFlush end its wait at once.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "platform/Mutex.h"
#include "platform/platform.h"

class CRenderSink;

// Either way a Receive while stopped is refused (VFW_E_WRONG_STATE), during a
// flush answered S_FALSE, and after an end of stream refused until the next
// stop or flush (VFW_E_SAMPLE_REJECTED_EOS).
enum class SinkRenderMode {
    // Paused: hold the sample until run, as a renderer does, so a source is
    // paced from the first sample. Running: wait for the sample's start time
    // (relative to the run start) on the clock; a sample without a time, or
    // a sink without a clock, renders at once.
    AtSampleTime,
    // Never wait, paused or running (throughput tests and benchmarks).
    AsFastAsPossible
};

// What one rendered sample carried.
struct SinkSample {
    HRESULT hrTime;              // GetTime's answer: S_OK, VFW_S_NO_STOP_TIME or a failure
    REFERENCE_TIME rtStart;      // valid when hrTime succeeded
    REFERENCE_TIME rtStop;
    bool bSyncPoint;
    bool bDiscontinuity;
    bool bPreroll;
    LONG lActual;                // GetActualDataLength
    LONG lSize;                  // GetSize
    bool bLengthValid;           // 0 <= lActual <= lSize and a data pointer
    REFERENCE_TIME rtRendered;   // stream time when rendered (clock - run start); 0 without a clock
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

class CRenderSinkPin final : public IPin, public IMemInputPin {
public:
    explicit CRenderSinkPin(CRenderSink& filter);
    ~CRenderSinkPin();
    CRenderSinkPin(const CRenderSinkPin&) = delete;
    CRenderSinkPin& operator=(const CRenderSinkPin&) = delete;

    // --- Configuration (call while stopped and unconnected) ---
    // Accept any media type at all.
    void AcceptAnyType();
    // Accept this major type and subtype; GUID_NULL accepts any. The default
    // is MEDIATYPE_Video with any subtype.
    void AcceptOnly(REFGUID major, REFGUID subtype);
    // Offer an allocator of the sink's own (CLSID_MemoryAllocator) from
    // GetAllocator; otherwise (the default) answer VFW_E_NO_ALLOCATOR.
    void SetOfferAllocator(bool bOffer);
    // Requirements for GetAllocatorRequirements; null (the default) answers E_NOTIMPL.
    void SetAllocatorRequirements(const ALLOCATOR_PROPERTIES* pProps);
    void SetRenderMode(SinkRenderMode mode);
    // Longest a single Receive waits for its time (or, paused, for the run);
    // then the sample is rendered late. Guards against absurd sample times.
    void SetMaxWait(DWORD dwMilliseconds);
    // After n rendered samples, every Receive answers hr (S_FALSE or a failure).
    void FailReceiveAfter(uint64_t n, HRESULT hr);
    void KeepLastFrame(bool bKeep);
    // At most this many SinkSample records are kept (counting goes on).
    void SetMaxRecords(size_t n);
    void SetFrameCallback(std::function<void(const SinkFrame&)> callback);

    // --- Results ---
    uint64_t SampleCount() const;
    uint64_t RefusedCount() const;  // Receive answered by FailReceiveAfter
    uint64_t RejectedCount() const; // Receive refused for the state (stopped, flushing, after end of stream)
    uint64_t BadLengthCount() const;
    std::vector<SinkSample> Samples() const;
    std::vector<BYTE> LastFrame() const;
    uint64_t EndOfStreamCount() const;
    uint64_t BeginFlushCount() const;
    uint64_t EndFlushCount() const;
    std::vector<SinkSegment> Segments() const;
    // Waits until at least n samples were rendered, at most dwTimeoutMs.
    bool WaitForSamples(uint64_t n, DWORD dwTimeoutMs) const;
    bool WaitForEndOfStream(DWORD dwTimeoutMs) const;
    void ResetCounts();
    // The allocator that the upstream pin notified (identity only), its
    // read-only flag, and whether it is the one this pin offered.
    IMemAllocator* NotifiedAllocator() const;
    bool NotifiedReadOnly() const;
    bool UsesOwnAllocator() const;
    // The connection's media type (no format pointer) and format block.
    bool GetConnectedType(AM_MEDIA_TYPE* pHeader, std::vector<BYTE>* pFormat) const;

    // IUnknown: the pin's identity; counts on the filter.
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // IPin.
    STDMETHODIMP Connect(IPin* pReceivePin, const AM_MEDIA_TYPE* pmt) override;  // an input pin never leads
    STDMETHODIMP ReceiveConnection(IPin* pConnector, const AM_MEDIA_TYPE* pmt) override;
    STDMETHODIMP Disconnect() override;
    STDMETHODIMP ConnectedTo(IPin** pPin) override;
    STDMETHODIMP ConnectionMediaType(AM_MEDIA_TYPE* pmt) override;
    STDMETHODIMP QueryPinInfo(PIN_INFO* pInfo) override;
    STDMETHODIMP QueryDirection(PIN_DIRECTION* pPinDir) override;
    STDMETHODIMP QueryId(LPWSTR* Id) override;
    STDMETHODIMP QueryAccept(const AM_MEDIA_TYPE* pmt) override;
    STDMETHODIMP EnumMediaTypes(IEnumMediaTypes** ppEnum) override;  // empty: the sink prefers nothing
    STDMETHODIMP QueryInternalConnections(IPin** apPin, ULONG* nPin) override;
    STDMETHODIMP EndOfStream() override;
    STDMETHODIMP BeginFlush() override;
    STDMETHODIMP EndFlush() override;
    STDMETHODIMP NewSegment(REFERENCE_TIME tStart, REFERENCE_TIME tStop, double dRate) override;

    // IMemInputPin.
    STDMETHODIMP GetAllocator(IMemAllocator** ppAllocator) override;
    STDMETHODIMP NotifyAllocator(IMemAllocator* pAllocator, BOOL bReadOnly) override;
    STDMETHODIMP GetAllocatorRequirements(ALLOCATOR_PROPERTIES* pProps) override;
    STDMETHODIMP Receive(IMediaSample* pSample) override;
    STDMETHODIMP ReceiveMultiple(IMediaSample** pSamples, LONG nSamples, LONG* nSamplesProcessed) override;
    STDMETHODIMP ReceiveCanBlock() override;

private:
    friend class CRenderSink;

    // The functions below that need the filter's lock (REQUIRES in words)
    // cannot say so to the lock checks: this header cannot name the lock, as
    // the filter, which holds the pin by value, is incomplete here. For the
    // same reason the pin's own members below are unchecked. The filter's
    // members the pin reads are checked where the pin takes the lock, and
    // the two functions that read them here are left out.
    bool Accepts(const AM_MEDIA_TYPE* pmt) const;  // REQUIRES: lock held
    // Holds the sample until it is due. S_OK: render it; otherwise the
    // answer to Receive. REQUIRES: lock held (through hold).
    HRESULT WaitUntilDue(CMutexLock& hold, const SinkSample& info) NO_THREAD_SAFETY_ANALYSIS;
    REFERENCE_TIME StreamTimeNow() const NO_THREAD_SAFETY_ANALYSIS;  // REQUIRES: lock held
    // Waits on m_progress until reached() holds, at most dwTimeoutMs; takes the lock.
    template <class Pred>
    bool WaitForProgress(DWORD dwTimeoutMs, Pred reached) const;
    // Called by the filter under its lock when it stops.
    void OnStopLocked();
    void ReleaseConnectionLocked(IPin** ppPeer, IMemAllocator** ppAllocator);

    CRenderSink& m_filter;  // owner; the pin lives inside it

    // Guarded by the filter's lock.
    IPin* m_pConnected = nullptr;            // one reference while connected
    AM_MEDIA_TYPE m_mt{};                    // connection type; pbFormat and pUnk unused (kept null)
    std::vector<BYTE> m_format;              // the connection type's format block
    IMemAllocator* m_pOwnAllocator = nullptr;      // one reference once created
    IMemAllocator* m_pNotifiedAllocator = nullptr; // one reference while connected
    bool m_bReadOnly = false;

    bool m_bAcceptAny = false;
    GUID m_acceptMajor;
    GUID m_acceptSubtype;
    bool m_bOfferAllocator = false;
    bool m_bHaveRequirements = false;
    ALLOCATOR_PROPERTIES m_requirements{};
    SinkRenderMode m_mode = SinkRenderMode::AtSampleTime;
    DWORD m_dwMaxWaitMs = 30000;
    bool m_bFailAfter = false;
    uint64_t m_cFailAfter = 0;
    HRESULT m_hrFail = S_OK;
    bool m_bKeepLastFrame = true;
    size_t m_cMaxRecords = 100000;
    std::shared_ptr<std::function<void(const SinkFrame&)>> m_pCallback;

    bool m_bFlushing = false;
    bool m_bEndOfStream = false;
    uint64_t m_cFlushGeneration = 0;  // raised by BeginFlush; a waiting Receive gives up
    uint64_t m_cRendered = 0;
    uint64_t m_cRefused = 0;
    uint64_t m_cRejected = 0;
    uint64_t m_cBadLength = 0;
    uint64_t m_cEndOfStream = 0;
    uint64_t m_cBeginFlush = 0;
    uint64_t m_cEndFlush = 0;
    std::vector<SinkSample> m_samples;
    std::vector<BYTE> m_lastFrame;
    std::vector<SinkSegment> m_segments;
    mutable int m_cWaiters = 0;                      // threads in WaitFor...
    mutable std::condition_variable m_progress;      // a sample rendered or end of stream
};
