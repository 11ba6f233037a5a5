#include "host/RenderSink.h"

#include <new>
#include <utility>

#include "platform/ComRef.h"

namespace {

// Not registered anywhere: the sink is created directly by its host.
const CLSID kClsidRenderSink = {0x6f0d2c51, 0x3b7e, 0x4a1c, {0x9e, 0x42, 0x5d, 0x18, 0xa7, 0x3c, 0x0b, 0x91}};

// Enumerates the sink's one pin; holds a reference on the filter.
class CSinkPinEnum final : public CComObject<ComInterface<IEnumPins, IID_IEnumPins>> {
public:
    CSinkPinEnum(CRenderSink* pFilter, ULONG position) : m_filter(pFilter), m_position(position) {}

    STDMETHODIMP Next(ULONG cPins, IPin** ppPins, ULONG* pcFetched) override {
        if (!ppPins) return E_POINTER;
        if (!pcFetched && cPins != 1) return E_INVALIDARG;
        ULONG fetched = 0;
        if (cPins > 0 && m_position < kPins) {
            ppPins[0] = m_filter->InputPin();
            ppPins[0]->AddRef();
            ++m_position;
            fetched = 1;
        }
        if (pcFetched) *pcFetched = fetched;
        return fetched == cPins ? S_OK : S_FALSE;
    }
    STDMETHODIMP Skip(ULONG cPins) override {
        ULONG left = kPins - m_position;
        if (cPins > left) {
            m_position = kPins;
            return S_FALSE;
        }
        m_position += cPins;
        return S_OK;
    }
    STDMETHODIMP Reset() override {
        m_position = 0;
        return S_OK;
    }
    STDMETHODIMP Clone(IEnumPins** ppEnum) override {
        if (!ppEnum) return E_POINTER;
        *ppEnum = new (std::nothrow) CSinkPinEnum(m_filter.Get(), m_position);
        return *ppEnum ? S_OK : E_OUTOFMEMORY;
    }

private:
    ~CSinkPinEnum() override = default;

    static const ULONG kPins = 1;
    const CComRef<CRenderSink> m_filter;
    ULONG m_position;  // used by one thread at a time, as enumerators are
};

}  // namespace

HRESULT CRenderSink::Create(CRenderSink** ppSink) {
    if (!ppSink) return E_POINTER;
    *ppSink = new (std::nothrow) CRenderSink();
    return *ppSink ? S_OK : E_OUTOFMEMORY;
}

CRenderSink::CRenderSink() : m_pin(*this, m_stream, m_recorder) {}

FILTER_STATE CRenderSink::State() const {
    CMutexLock hold(m_stream.lock);
    return m_stream.state;
}

STDMETHODIMP CRenderSink::GetClassID(CLSID* pClassID) {
    if (!pClassID) return E_POINTER;
    *pClassID = kClsidRenderSink;
    return S_OK;
}

STDMETHODIMP CRenderSink::Stop() {
    {
        CMutexLock hold(m_stream.lock);
        m_stream.state = State_Stopped;
        ++m_stream.cStopGeneration;
        m_stream.bCompletePending = false;
        m_stream.bEndOfStream = false;
        m_stream.bFlushing = false;
    }
    m_stream.stateChanged.notify_all();
    return S_OK;
}

STDMETHODIMP CRenderSink::Pause() {
    {
        CMutexLock hold(m_stream.lock);
        m_stream.state = State_Paused;
    }
    m_stream.stateChanged.notify_all();
    return S_OK;
}

STDMETHODIMP CRenderSink::Run(REFERENCE_TIME tStart) {
    bool notify;
    {
        CMutexLock hold(m_stream.lock);
        m_stream.rtStart = tStart;
        m_stream.state = State_Running;
        notify = m_stream.bCompletePending;
        m_stream.bCompletePending = false;
    }
    m_stream.stateChanged.notify_all();
    if (notify) NotifyComplete();
    return S_OK;
}

STDMETHODIMP CRenderSink::GetState(DWORD, FILTER_STATE* State) {
    if (!State) return E_POINTER;
    CMutexLock hold(m_stream.lock);
    *State = m_stream.state;
    return S_OK;
}

STDMETHODIMP CRenderSink::SetSyncSource(IReferenceClock* pClock) {
    CComRef<IReferenceClock> clock(pClock);
    {
        CMutexLock hold(m_stream.lock);
        std::swap(clock, m_stream.clock);
    }
    // clock holds the old one now: released here, outside the lock.
    return S_OK;
}

STDMETHODIMP CRenderSink::GetSyncSource(IReferenceClock** pClock) {
    CMutexLock hold(m_stream.lock);
    return m_stream.clock.CopyTo(pClock);
}

STDMETHODIMP CRenderSink::EnumPins(IEnumPins** ppEnum) {
    if (!ppEnum) return E_POINTER;
    *ppEnum = new (std::nothrow) CSinkPinEnum(this, 0);
    return *ppEnum ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP CRenderSink::FindPin(LPCWSTR Id, IPin** ppPin) {
    if (!Id || !ppPin) return E_POINTER;
    if (std::wcscmp(Id, L"In") != 0) {
        *ppPin = nullptr;
        return VFW_E_NOT_FOUND;
    }
    *ppPin = InputPin();
    (*ppPin)->AddRef();
    return S_OK;
}

STDMETHODIMP CRenderSink::QueryFilterInfo(FILTER_INFO* pInfo) {
    if (!pInfo) return E_POINTER;
    CMutexLock hold(m_stream.lock);
    size_t n = m_name.size() < MAX_FILTER_NAME - 1 ? m_name.size() : MAX_FILTER_NAME - 1;
    m_name.copy(pInfo->achName, n);
    pInfo->achName[n] = L'\0';
    pInfo->pGraph = m_pGraph;
    if (m_pGraph) m_pGraph->AddRef();
    return S_OK;
}

STDMETHODIMP CRenderSink::JoinFilterGraph(IFilterGraph* pGraph, LPCWSTR pName) {
    // The event sink is held without a reference, like the graph itself.
    CComRef<IMediaEventSink> sink;
    if (pGraph && FAILED(pGraph->QueryInterface(IID_IMediaEventSink, sink.PutVoid()))) sink.Detach();
    CMutexLock hold(m_stream.lock);
    m_pGraph = pGraph;
    m_pEventSink = sink.Get();
    try {
        m_name = pName ? pName : L"";
    } catch (const std::bad_alloc&) {
        m_name.clear();  // out of memory: the filter stays nameless
    }
    return S_OK;
}

STDMETHODIMP CRenderSink::QueryVendorInfo(LPWSTR* pVendorInfo) {
    if (pVendorInfo) *pVendorInfo = nullptr;
    return E_NOTIMPL;
}

void CRenderSink::NotifyComplete() {
    IMediaEventSink* pSink;
    {
        CMutexLock hold(m_stream.lock);
        pSink = m_pEventSink;
    }
    if (pSink) pSink->Notify(EC_COMPLETE, S_OK, reinterpret_cast<LONG_PTR>(static_cast<IBaseFilter*>(this)));
}
