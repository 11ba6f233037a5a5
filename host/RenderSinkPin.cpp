#include "host/RenderSinkPin.h"

#include <algorithm>
#include <chrono>
#include <new>
#include <utility>

#include "host/RenderSink.h"
#include "platform/ComObject.h"

namespace {

using SteadyClock = std::chrono::steady_clock;

// The sink has no preferred types: its enumerator is always empty.
class CEmptyTypeEnum final : public CComObject<ComInterface<IEnumMediaTypes, IID_IEnumMediaTypes>> {
public:
    STDMETHODIMP Next(ULONG cMediaTypes, AM_MEDIA_TYPE** ppMediaTypes, ULONG* pcFetched) override {
        if (!ppMediaTypes) return E_POINTER;
        if (!pcFetched && cMediaTypes != 1) return E_INVALIDARG;
        if (pcFetched) *pcFetched = 0;
        return cMediaTypes == 0 ? S_OK : S_FALSE;
    }
    STDMETHODIMP Skip(ULONG cMediaTypes) override { return cMediaTypes == 0 ? S_OK : S_FALSE; }
    STDMETHODIMP Reset() override { return S_OK; }
    STDMETHODIMP Clone(IEnumMediaTypes** ppEnum) override {
        if (!ppEnum) return E_POINTER;
        *ppEnum = new (std::nothrow) CEmptyTypeEnum();
        return *ppEnum ? S_OK : E_OUTOFMEMORY;
    }

private:
    ~CEmptyTypeEnum() override = default;
};

// What a sample carries, read through its interface.
SinkSample ReadSample(IMediaSample* pSample, BYTE** ppData) {
    SinkSample info{};
    info.hrTime = pSample->GetTime(&info.rtStart, &info.rtStop);
    if (FAILED(info.hrTime)) info.rtStart = info.rtStop = 0;
    info.bSyncPoint = pSample->IsSyncPoint() == S_OK;
    info.bDiscontinuity = pSample->IsDiscontinuity() == S_OK;
    info.bPreroll = pSample->IsPreroll() == S_OK;
    info.lActual = pSample->GetActualDataLength();
    info.lSize = pSample->GetSize();
    *ppData = nullptr;
    if (FAILED(pSample->GetPointer(ppData))) *ppData = nullptr;
    info.bLengthValid = *ppData && info.lActual >= 0 && info.lActual <= info.lSize;
    return info;
}

// A type whose format block the sink could read past is refused whatever
// the configured major type and subtype.
bool FormatIsSound(const AM_MEDIA_TYPE* pmt) {
    if (pmt->cbFormat > 0 && !pmt->pbFormat) return false;
    if (pmt->formattype == FORMAT_VideoInfo && pmt->cbFormat < sizeof(VIDEOINFOHEADER)) return false;
    return true;
}

}  // namespace

CRenderSinkPin::CRenderSinkPin(CRenderSink& filter, SinkStreamState& stream, CSinkRecorder& recorder)
    : m_filter(filter), m_stream(stream), m_recorder(recorder), m_acceptMajor(MEDIATYPE_Video),
      m_acceptSubtype(GUID_NULL) {}

// --- Configuration ---

void CRenderSinkPin::AcceptAnyType() {
    CMutexLock hold(m_stream.lock);
    m_bAcceptAny = true;
}

void CRenderSinkPin::AcceptOnly(REFGUID major, REFGUID subtype) {
    CMutexLock hold(m_stream.lock);
    m_bAcceptAny = false;
    m_acceptMajor = major;
    m_acceptSubtype = subtype;
}

void CRenderSinkPin::SetOfferAllocator(bool bOffer) {
    CMutexLock hold(m_stream.lock);
    m_bOfferAllocator = bOffer;
}

void CRenderSinkPin::SetAllocatorRequirements(const ALLOCATOR_PROPERTIES* pProps) {
    CMutexLock hold(m_stream.lock);
    m_bHaveRequirements = pProps != nullptr;
    if (pProps) m_requirements = *pProps;
}

void CRenderSinkPin::SetRenderMode(SinkRenderMode mode) {
    {
        CMutexLock hold(m_stream.lock);
        m_mode = mode;
    }
    m_stream.stateChanged.notify_all();
}

void CRenderSinkPin::SetMaxWait(DWORD dwMilliseconds) {
    CMutexLock hold(m_stream.lock);
    m_dwMaxWaitMs = dwMilliseconds;
}

void CRenderSinkPin::FailReceiveAfter(uint64_t n, HRESULT hr) {
    CMutexLock hold(m_stream.lock);
    m_bFailAfter = true;
    m_cFailAfter = n;
    m_hrFail = hr;
}

// --- The connection ---

IMemAllocator* CRenderSinkPin::NotifiedAllocator() const {
    CMutexLock hold(m_stream.lock);
    return m_notifiedAllocator.Get();
}

bool CRenderSinkPin::NotifiedReadOnly() const {
    CMutexLock hold(m_stream.lock);
    return m_bReadOnly;
}

bool CRenderSinkPin::UsesOwnAllocator() const {
    CMutexLock hold(m_stream.lock);
    return m_ownAllocator && m_notifiedAllocator.Get() == m_ownAllocator.Get();
}

bool CRenderSinkPin::GetConnectedType(AM_MEDIA_TYPE* pHeader, std::vector<BYTE>* pFormat) const {
    CMutexLock hold(m_stream.lock);
    if (!m_connected) return false;
    if (pHeader) *pHeader = m_mt;
    if (pFormat) *pFormat = m_format;
    return true;
}

// --- IUnknown ---

STDMETHODIMP CRenderSinkPin::QueryInterface(REFIID riid, void** ppv) {
    using Pin = ComInterface<IPin, IID_IPin>;
    using MemInput = ComInterface<IMemInputPin, IID_IMemInputPin>;
    return QueryComInterface<Pin, MemInput>(this, riid, ppv);
}

STDMETHODIMP_(ULONG) CRenderSinkPin::AddRef() { return m_filter.AddRef(); }

STDMETHODIMP_(ULONG) CRenderSinkPin::Release() { return m_filter.Release(); }

// --- IPin ---

STDMETHODIMP CRenderSinkPin::Connect(IPin* pReceivePin, const AM_MEDIA_TYPE*) {
    if (!pReceivePin) return E_POINTER;
    return VFW_E_INVALID_DIRECTION;
}

bool CRenderSinkPin::Accepts(const AM_MEDIA_TYPE* pmt) const {
    if (!FormatIsSound(pmt)) return false;
    if (m_bAcceptAny) return true;
    if (m_acceptMajor != GUID_NULL && pmt->majortype != m_acceptMajor) return false;
    if (m_acceptSubtype != GUID_NULL && pmt->subtype != m_acceptSubtype) return false;
    return true;
}

STDMETHODIMP CRenderSinkPin::ReceiveConnection(IPin* pConnector, const AM_MEDIA_TYPE* pmt) {
    if (!pConnector || !pmt) return E_POINTER;
    PIN_DIRECTION dir;
    if (FAILED(pConnector->QueryDirection(&dir)) || dir != PINDIR_OUTPUT) return VFW_E_INVALID_DIRECTION;
    std::vector<BYTE> format;
    try {
        if (pmt->cbFormat > 0 && pmt->pbFormat) format.assign(pmt->pbFormat, pmt->pbFormat + pmt->cbFormat);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    CMutexLock hold(m_stream.lock);
    if (m_connected) return VFW_E_ALREADY_CONNECTED;
    if (m_stream.state != State_Stopped) return VFW_E_NOT_STOPPED;
    if (!Accepts(pmt)) return VFW_E_TYPE_NOT_ACCEPTED;
    m_mt = *pmt;
    m_mt.pbFormat = nullptr;
    m_mt.pUnk = nullptr;
    m_format.swap(format);
    m_connected = CComRef<IPin>(pConnector);
    return S_OK;
}

STDMETHODIMP CRenderSinkPin::Disconnect() {
    // Released outside the lock, peer first: the last release may run the
    // peer's destructor.
    CComRef<IPin> peer;
    CComRef<IMemAllocator> allocator;
    {
        CMutexLock hold(m_stream.lock);
        if (m_stream.state != State_Stopped) return VFW_E_NOT_STOPPED;
        if (!m_connected) return S_FALSE;
        peer = std::move(m_connected);
        allocator = std::move(m_notifiedAllocator);
        m_bReadOnly = false;
    }
    peer.Reset();
    return S_OK;
}

STDMETHODIMP CRenderSinkPin::ConnectedTo(IPin** pPin) {
    if (!pPin) return E_POINTER;
    CMutexLock hold(m_stream.lock);
    m_connected.CopyTo(pPin);
    return m_connected ? S_OK : VFW_E_NOT_CONNECTED;
}

STDMETHODIMP CRenderSinkPin::ConnectionMediaType(AM_MEDIA_TYPE* pmt) {
    if (!pmt) return E_POINTER;
    CMutexLock hold(m_stream.lock);
    if (!m_connected) {
        *pmt = AM_MEDIA_TYPE{};
        pmt->bFixedSizeSamples = TRUE;
        pmt->lSampleSize = 1;
        return VFW_E_NOT_CONNECTED;
    }
    *pmt = m_mt;
    pmt->cbFormat = 0;
    if (!m_format.empty()) {
        pmt->pbFormat = static_cast<BYTE*>(CoTaskMemAlloc(m_format.size()));
        if (!pmt->pbFormat) return E_OUTOFMEMORY;
        std::copy(m_format.begin(), m_format.end(), pmt->pbFormat);
        pmt->cbFormat = static_cast<ULONG>(m_format.size());
    }
    return S_OK;
}

STDMETHODIMP CRenderSinkPin::QueryPinInfo(PIN_INFO* pInfo) {
    if (!pInfo) return E_POINTER;
    pInfo->pFilter = &m_filter;
    m_filter.AddRef();
    pInfo->dir = PINDIR_INPUT;
    std::wcscpy(pInfo->achName, L"In");
    return S_OK;
}

STDMETHODIMP CRenderSinkPin::QueryDirection(PIN_DIRECTION* pPinDir) {
    if (!pPinDir) return E_POINTER;
    *pPinDir = PINDIR_INPUT;
    return S_OK;
}

STDMETHODIMP CRenderSinkPin::QueryId(LPWSTR* Id) {
    if (!Id) return E_POINTER;
    static const WCHAR kId[] = L"In";
    *Id = static_cast<LPWSTR>(CoTaskMemAlloc(sizeof(kId)));
    if (!*Id) return E_OUTOFMEMORY;
    std::copy(kId, kId + sizeof(kId) / sizeof(WCHAR), *Id);
    return S_OK;
}

STDMETHODIMP CRenderSinkPin::QueryAccept(const AM_MEDIA_TYPE* pmt) {
    if (!pmt) return E_POINTER;
    CMutexLock hold(m_stream.lock);
    return Accepts(pmt) ? S_OK : S_FALSE;
}

STDMETHODIMP CRenderSinkPin::EnumMediaTypes(IEnumMediaTypes** ppEnum) {
    if (!ppEnum) return E_POINTER;
    *ppEnum = new (std::nothrow) CEmptyTypeEnum();
    return *ppEnum ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP CRenderSinkPin::QueryInternalConnections(IPin**, ULONG*) { return E_NOTIMPL; }

STDMETHODIMP CRenderSinkPin::EndOfStream() {
    bool notify = false;
    {
        CMutexLock hold(m_stream.lock);
        m_recorder.Count(&SinkCounts::endOfStream);
        // Stopped (a source's last word racing the stop) or flushing: nothing to complete.
        if (m_stream.bFlushing || m_stream.state == State_Stopped) return S_OK;
        m_stream.bEndOfStream = true;
        // As a renderer does: complete while running; while paused, once run.
        if (m_stream.state == State_Running) notify = true;
        else m_stream.bCompletePending = true;
    }
    if (notify) m_filter.NotifyComplete();
    return S_OK;
}

STDMETHODIMP CRenderSinkPin::BeginFlush() {
    {
        CMutexLock hold(m_stream.lock);
        m_recorder.Count(&SinkCounts::beginFlush);
        m_stream.bFlushing = true;
        ++m_stream.cFlushGeneration;
        m_stream.bEndOfStream = false;
        m_stream.bCompletePending = false;
    }
    m_stream.stateChanged.notify_all();
    return S_OK;
}

STDMETHODIMP CRenderSinkPin::EndFlush() {
    CMutexLock hold(m_stream.lock);
    m_recorder.Count(&SinkCounts::endFlush);
    m_stream.bFlushing = false;
    m_stream.bEndOfStream = false;
    return S_OK;
}

STDMETHODIMP CRenderSinkPin::NewSegment(REFERENCE_TIME tStart, REFERENCE_TIME tStop, double dRate) {
    return m_recorder.NewSegment(SinkSegment{tStart, tStop, dRate});
}

// --- IMemInputPin ---

STDMETHODIMP CRenderSinkPin::GetAllocator(IMemAllocator** ppAllocator) {
    if (!ppAllocator) return E_POINTER;
    *ppAllocator = nullptr;
    CMutexLock hold(m_stream.lock);
    if (!m_bOfferAllocator) return VFW_E_NO_ALLOCATOR;
    if (!m_ownAllocator) {
        HRESULT hr = CoCreateInstance(CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER, IID_IMemAllocator,
                                      m_ownAllocator.PutVoid());
        if (FAILED(hr)) {
            m_ownAllocator.Detach();  // what a failed call left is no reference
            return hr;
        }
        if (!m_ownAllocator) return E_UNEXPECTED;
    }
    return m_ownAllocator.CopyTo(ppAllocator);
}

STDMETHODIMP CRenderSinkPin::NotifyAllocator(IMemAllocator* pAllocator, BOOL bReadOnly) {
    if (!pAllocator) return E_POINTER;
    CComRef<IMemAllocator> allocator(pAllocator);
    {
        CMutexLock hold(m_stream.lock);
        std::swap(allocator, m_notifiedAllocator);
        m_bReadOnly = bReadOnly != FALSE;
    }
    // allocator holds the old one now: released here, outside the lock.
    return S_OK;
}

STDMETHODIMP CRenderSinkPin::GetAllocatorRequirements(ALLOCATOR_PROPERTIES* pProps) {
    if (!pProps) return E_POINTER;
    CMutexLock hold(m_stream.lock);
    if (!m_bHaveRequirements) return E_NOTIMPL;
    *pProps = m_requirements;
    return S_OK;
}

HRESULT CRenderSinkPin::WaitUntilDue(CMutexLock& hold, const SinkSample& info) {
    const uint64_t stopGeneration = m_stream.cStopGeneration;
    const uint64_t flushGeneration = m_stream.cFlushGeneration;
    SteadyClock::time_point giveUp{};  // set on the first wait: the fast path reads no clock
    for (;;) {
        if (m_stream.state == State_Stopped || m_stream.cStopGeneration != stopGeneration) return VFW_E_WRONG_STATE;
        if (m_stream.bFlushing || m_stream.cFlushGeneration != flushGeneration) return S_FALSE;
        if (m_mode == SinkRenderMode::AsFastAsPossible) return S_OK;
        if (giveUp == SteadyClock::time_point{}) giveUp = SteadyClock::now() + std::chrono::milliseconds(m_dwMaxWaitMs);
        SteadyClock::time_point wake = giveUp;
        if (m_stream.state == State_Running) {
            if (FAILED(info.hrTime) || !m_stream.clock) return S_OK;
            REFERENCE_TIME remaining;
            if (__builtin_sub_overflow(info.rtStart, m_stream.StreamTimeNow(), &remaining)) remaining = INT64_MAX;
            if (remaining <= 0) return S_OK;
            // Capped first: a sample time far in the future must not overflow the deadline.
            const REFERENCE_TIME cap = static_cast<REFERENCE_TIME>(m_dwMaxWaitMs) * 10000;
            if (remaining < cap) wake = SteadyClock::now() + std::chrono::microseconds(remaining / 10 + 1);
        }
        if (SteadyClock::now() >= giveUp) return S_OK;  // rendered late rather than never
        m_stream.stateChanged.wait_until(hold.Native(), wake);
    }
}

STDMETHODIMP CRenderSinkPin::Receive(IMediaSample* pSample) {
    if (!pSample) return E_POINTER;
    BYTE* pData = nullptr;
    SinkSample info = ReadSample(pSample, &pData);
    std::shared_ptr<const SinkFrameCallback> callback;
    LONG cbData = 0;
    {
        CMutexLock hold(m_stream.lock);
        if (!m_connected) return VFW_E_NOT_CONNECTED;
        if (m_bFailAfter && m_recorder.SampleCount() >= m_cFailAfter) {
            m_recorder.Count(&SinkCounts::refused);
            return m_hrFail;
        }
        if (m_stream.bEndOfStream) {
            m_recorder.Count(&SinkCounts::rejected);
            return VFW_E_SAMPLE_REJECTED_EOS;
        }
        HRESULT hr = WaitUntilDue(hold, info);
        if (hr != S_OK) {
            m_recorder.Count(&SinkCounts::rejected);
            return hr;
        }
        if (m_recorder.WantsRenderTime()) info.rtRendered = m_stream.StreamTimeNow();
        // Never read past the buffer, whatever length the sample claims.
        cbData = pData ? std::max<LONG>(0, std::min(info.lActual, info.lSize)) : 0;
        hr = m_recorder.Rendered(info, pData, cbData, &callback);
        if (FAILED(hr)) return hr;
    }
    if (callback) (*callback)(SinkFrame{pData, cbData, &info});
    return S_OK;
}

STDMETHODIMP CRenderSinkPin::ReceiveMultiple(IMediaSample** pSamples, LONG nSamples, LONG* nSamplesProcessed) {
    if (!pSamples || !nSamplesProcessed) return E_POINTER;
    *nSamplesProcessed = 0;
    for (LONG i = 0; i < nSamples; ++i) {
        HRESULT hr = Receive(pSamples[i]);
        if (hr != S_OK) return hr;
        ++*nSamplesProcessed;
    }
    return S_OK;
}

STDMETHODIMP CRenderSinkPin::ReceiveCanBlock() {
    CMutexLock hold(m_stream.lock);
    return m_mode == SinkRenderMode::AtSampleTime ? S_OK : S_FALSE;
}
