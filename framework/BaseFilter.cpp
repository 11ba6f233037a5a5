#include "framework/BaseFilter.h"

#include <new>
#include <utility>

#include "framework/BasePin.h"
#include "framework/EnumPins.h"
#include "platform/ComRef.h"

CBaseFilter::CBaseFilter(LPCWSTR pName, LPUNKNOWN pUnk, CCritSec* pLock, REFCLSID clsid)
    : CUnknown(pName, pUnk),
      m_State(State_Stopped),
      m_tStart(0),
      m_clsid(clsid),
      m_pLock(pLock),
      m_pGraph(nullptr),
      m_pSink(nullptr),
      m_PinVersion(1) {}

CBaseFilter::~CBaseFilter() = default;

STDMETHODIMP CBaseFilter::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
    if (riid == IID_IBaseFilter || riid == IID_IMediaFilter || riid == IID_IPersist) {
        return GetInterface(static_cast<IBaseFilter*>(this), ppv);
    }
    if (riid == IID_IAMovieSetup) {
        return GetInterface(static_cast<IAMovieSetup*>(this), ppv);
    }
    return CUnknown::NonDelegatingQueryInterface(riid, ppv);
}

STDMETHODIMP CBaseFilter::GetClassID(CLSID* pClsID) {
    if (!pClsID) {
        return E_POINTER;
    }
    *pClsID = m_clsid;
    return S_OK;
}

// Every connected pin hears of the stop; the filter is stopped whatever they
// answer, and the first failure is reported.
STDMETHODIMP CBaseFilter::Stop() {
    CAutoLock lock(m_pLock);
    HRESULT hr = S_OK;
    if (m_State.load() != State_Stopped) {
        const int cPins = GetPinCount();
        for (int i = 0; i < cPins; i++) {
            CBasePin* pPin = GetPin(i);
            if (pPin && pPin->IsConnected()) {
                HRESULT hrPin = pPin->Inactive();
                if (FAILED(hrPin) && SUCCEEDED(hr)) {
                    hr = hrPin;
                }
            }
        }
    }
    m_State = State_Stopped;
    return hr;
}

STDMETHODIMP CBaseFilter::Pause() {
    CAutoLock lock(m_pLock);
    if (m_State.load() == State_Stopped) {
        const int cPins = GetPinCount();
        for (int i = 0; i < cPins; i++) {
            CBasePin* pPin = GetPin(i);
            if (pPin && pPin->IsConnected()) {
                HRESULT hr = pPin->Active();
                if (FAILED(hr)) {
                    return hr;
                }
            }
        }
    }
    m_State = State_Paused;
    return S_OK;
}

STDMETHODIMP CBaseFilter::Run(REFERENCE_TIME tStart) {
    CAutoLock lock(m_pLock);
    m_tStart = tStart;
    if (m_State.load() == State_Stopped) {
        // Through the interface, so that a derived filter's Pause is honoured.
        HRESULT hr = static_cast<IBaseFilter*>(this)->Pause();
        if (FAILED(hr)) {
            return hr;
        }
    }
    if (m_State.load() != State_Running) {
        const int cPins = GetPinCount();
        for (int i = 0; i < cPins; i++) {
            CBasePin* pPin = GetPin(i);
            if (pPin && pPin->IsConnected()) {
                HRESULT hr = pPin->Run(tStart);
                if (FAILED(hr)) {
                    return hr;
                }
            }
        }
    }
    m_State = State_Running;
    return S_OK;
}

STDMETHODIMP CBaseFilter::GetState(DWORD dwMSecs, FILTER_STATE* State) {
    if (!State) {
        return E_POINTER;
    }
    *State = m_State.load();
    return S_OK;
}

STDMETHODIMP CBaseFilter::SetSyncSource(IReferenceClock* pClock) {
    CAutoLock lock(m_pLock);
    // The new clock is counted before the old one goes: it may be the same.
    CComRef<IReferenceClock> clock(pClock);
    {
        CAutoLock clockLock(&m_cClockLock);
        std::swap(m_pClock, clock);
    }
    // clock holds the old one now: released here, outside the clock lock.
    return S_OK;
}

STDMETHODIMP CBaseFilter::GetSyncSource(IReferenceClock** pClock) {
    CAutoLock lock(&m_cClockLock);
    return m_pClock.CopyTo(pClock);
}

CComRef<IReferenceClock> CBaseFilter::CurrentClock() {
    CAutoLock lock(&m_cClockLock);
    return CComRef<IReferenceClock>(m_pClock.Get());
}

STDMETHODIMP CBaseFilter::EnumPins(IEnumPins** ppEnum) {
    if (!ppEnum) {
        return E_POINTER;
    }
    *ppEnum = new (std::nothrow) CEnumPins(this, nullptr);
    return *ppEnum ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP CBaseFilter::QueryFilterInfo(FILTER_INFO* pInfo) {
    if (!pInfo) {
        return E_POINTER;
    }
    CAutoLock lock(&m_cInfoLock);
    if (m_pName) {
        lstrcpynW(pInfo->achName, m_pName.get(), MAX_FILTER_NAME);
    } else {
        pInfo->achName[0] = L'\0';
    }
    pInfo->pGraph = m_pGraph;
    if (m_pGraph) {
        m_pGraph->AddRef();
    }
    return S_OK;
}

STDMETHODIMP CBaseFilter::JoinFilterGraph(IFilterGraph* pGraph, LPCWSTR pName) {
    CAutoLock lock(m_pLock);
    {
        // Held without a reference: the graph outlives its filters.
        CComRef<IMediaEventSink> sink;
        if (pGraph && FAILED(pGraph->QueryInterface(IID_IMediaEventSink, sink.PutVoid()))) {
            sink.Detach();  // what a failed query left is no reference
        }
        m_pSink = sink.Get();
    }

    std::unique_ptr<WCHAR[]> name;
    if (pName) {
        const size_t cch = wcslen(pName) + 1;
        name.reset(new (std::nothrow) WCHAR[cch]);
        if (name) {
            memcpy(name.get(), pName, cch * sizeof(WCHAR));
        }
    }
    {
        CAutoLock infoLock(&m_cInfoLock);
        m_pGraph = pGraph;
        std::swap(m_pName, name);
    }
    // name holds the old name now: freed here, outside the lock.
    return S_OK;
}

STDMETHODIMP CBaseFilter::QueryVendorInfo(LPWSTR* pVendorInfo) { return E_NOTIMPL; }

HRESULT CBaseFilter::StreamTime(REFERENCE_TIME& rtStream) {
    const CComRef<IReferenceClock> clock = CurrentClock();
    if (!clock) {
        return VFW_E_NO_CLOCK;
    }
    HRESULT hr = clock->GetTime(&rtStream);
    if (FAILED(hr)) {
        return hr;
    }
    rtStream -= m_tStart.load();
    return S_OK;
}

STDMETHODIMP CBaseFilter::Register() { return AMovieSetupRegisterFilter(GetSetupData(), TRUE); }

STDMETHODIMP CBaseFilter::Unregister() { return AMovieSetupRegisterFilter(GetSetupData(), FALSE); }

LONG CBaseFilter::GetPinVersion() { return m_PinVersion; }

const AMOVIESETUP_FILTER* CBaseFilter::GetSetupData() { return nullptr; }

BOOL CBaseFilter::IsActive() {
    CAutoLock lock(m_pLock);
    return m_State.load() != State_Stopped;
}

HRESULT CBaseFilter::NotifyEvent(LONG EventCode, LONG_PTR EventParam1, LONG_PTR EventParam2) {
    IMediaEventSink* pSink = m_pSink.load();
    if (!pSink) {
        return E_NOTIMPL;
    }
    if (EventCode == EC_COMPLETE) {
        EventParam2 = reinterpret_cast<LONG_PTR>(static_cast<IBaseFilter*>(this));
    }
    return pSink->Notify(EventCode, EventParam1, EventParam2);
}
