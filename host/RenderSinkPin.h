// The rendering sink's one input pin ("In"): accepts a connection from an
// output pin, offers its own allocator or none, and renders what arrives:
// each sample at its start time on the clock (relative to the run start), or
// as fast as possible. What it renders, and every streaming call, it reports
// to the sink's recorder (CSinkRecorder). It can be told to refuse Receive
// after N samples. For tests and tools on Linux.
//
// Lifetime: the pin lives inside its filter (CRenderSink) and counts on it:
// AddRef/Release on the pin are the filter's.
//
// Threading: the connection methods and the configuration setters come from
// the application thread while the filter is stopped; Receive, EndOfStream
// and the flush calls from the upstream filter's streaming thread; the
// accessors from any thread. The pin's members are guarded by the sink's
// one lock (SinkStreamState::lock), which is never held while calling into
// the peer, the graph or the frame callback (the clock's GetTime is the one
// outside call made under it). Receive waits on the sink's state condition,
// so Stop, Pause and BeginFlush end its wait at once.
#pragma once

#include <cstdint>
#include <vector>

#include "host/SinkRecorder.h"
#include "host/SinkStreamState.h"
#include "platform/ComRef.h"
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

class CRenderSinkPin final : public IPin, public IMemInputPin {
public:
    CRenderSinkPin(CRenderSink& filter, SinkStreamState& stream, CSinkRecorder& recorder);
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

    // --- The connection ---
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
    bool Accepts(const AM_MEDIA_TYPE* pmt) const REQUIRES(m_stream.lock);
    // Holds the sample until it is due. S_OK: render it; otherwise the
    // answer to Receive.
    HRESULT WaitUntilDue(CMutexLock& hold, const SinkSample& info) REQUIRES(m_stream.lock);

    CRenderSink& m_filter;        // owner; the pin lives inside it
    SinkStreamState& m_stream;    // the filter's
    CSinkRecorder& m_recorder;    // the filter's

    // Destroyed bottom up: a pin that dies connected drops its peer first.
    CComRef<IMemAllocator> m_ownAllocator GUARDED_BY(m_stream.lock);       // created on the first GetAllocator
    CComRef<IMemAllocator> m_notifiedAllocator GUARDED_BY(m_stream.lock);  // while connected
    bool m_bReadOnly GUARDED_BY(m_stream.lock) = false;
    CComRef<IPin> m_connected GUARDED_BY(m_stream.lock);
    AM_MEDIA_TYPE m_mt GUARDED_BY(m_stream.lock) = {};  // connection type; pbFormat and pUnk unused (kept null)
    std::vector<BYTE> m_format GUARDED_BY(m_stream.lock);  // the connection type's format block

    bool m_bAcceptAny GUARDED_BY(m_stream.lock) = false;
    GUID m_acceptMajor GUARDED_BY(m_stream.lock);
    GUID m_acceptSubtype GUARDED_BY(m_stream.lock);
    bool m_bOfferAllocator GUARDED_BY(m_stream.lock) = false;
    bool m_bHaveRequirements GUARDED_BY(m_stream.lock) = false;
    ALLOCATOR_PROPERTIES m_requirements GUARDED_BY(m_stream.lock) = {};
    SinkRenderMode m_mode GUARDED_BY(m_stream.lock) = SinkRenderMode::AtSampleTime;
    DWORD m_dwMaxWaitMs GUARDED_BY(m_stream.lock) = 30000;
    bool m_bFailAfter GUARDED_BY(m_stream.lock) = false;
    uint64_t m_cFailAfter GUARDED_BY(m_stream.lock) = 0;
    HRESULT m_hrFail GUARDED_BY(m_stream.lock) = S_OK;
};
