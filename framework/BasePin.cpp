#include "framework/BasePin.h"

#include <new>

#include "framework/BaseFilter.h"
#include "framework/EnumMediaTypes.h"
#include "platform/ComRef.h"

namespace {

// Refusals that say nothing about why; a more specific code is preferred.
bool IsGenericRefusal(HRESULT hr) { return hr == E_FAIL || hr == E_INVALIDARG || hr == VFW_E_TYPE_NOT_ACCEPTED; }

// A type check answers S_OK exactly when it accepts; anything vague becomes
// the protocol's "type not accepted".
HRESULT MapTypeRefusal(HRESULT hr) {
    if (SUCCEEDED(hr) || hr == E_FAIL || hr == E_INVALIDARG) {
        return VFW_E_TYPE_NOT_ACCEPTED;
    }
    return hr;
}

}  // namespace

CBasePin::CBasePin(LPCWSTR pObjectName, CBaseFilter* pFilter, CCritSec* pLock, HRESULT* phr, LPCWSTR pName,
                   PIN_DIRECTION dir)
    : CUnknown(pObjectName, nullptr),
      m_Connected(nullptr),
      m_dir(dir),
      m_pLock(pLock),
      m_bRunTimeError(false),
      m_bCanReconnectWhenActive(false),
      m_bTryMyTypesFirst(false),
      m_pFilter(pFilter),
      m_pQSink(nullptr),
      m_TypeVersion(1),
      m_tStart(0),
      m_tStop(0x7FFFFFFFFFFFFFFFLL),
      m_dRate(1.0) {
    if (pName) {
        const size_t cch = wcslen(pName) + 1;
        m_pName.reset(new (std::nothrow) WCHAR[cch]);
        if (m_pName) {
            memcpy(m_pName.get(), pName, cch * sizeof(WCHAR));
        }
    }
}

CBasePin::~CBasePin() {
    // A pin whose filter dies while still connected owes the peer its reference.
    DropPeer();
    // m_pName and m_mt free themselves (m_mt its format block and object reference).
}

STDMETHODIMP CBasePin::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
    if (riid == IID_IPin) {
        return GetInterface(static_cast<IPin*>(this), ppv);
    }
    if (riid == IID_IQualityControl) {
        return GetInterface(static_cast<IQualityControl*>(this), ppv);
    }
    return CUnknown::NonDelegatingQueryInterface(riid, ppv);
}

STDMETHODIMP_(ULONG) CBasePin::NonDelegatingAddRef() { return m_pFilter->AddRef(); }

STDMETHODIMP_(ULONG) CBasePin::NonDelegatingRelease() { return m_pFilter->Release(); }

LONG CBasePin::GetMediaTypeVersion() { return m_TypeVersion; }

HRESULT CBasePin::Active() { return S_OK; }

HRESULT CBasePin::Inactive() {
    m_bRunTimeError = false;
    return S_OK;
}

HRESULT CBasePin::Run(REFERENCE_TIME tStart) { return S_OK; }

HRESULT CBasePin::SetMediaType(const CMediaType* pmt) {
    CAutoLock lock(&m_cTypeLock);
    return m_mt.Set(*pmt);
}

HRESULT CBasePin::CheckConnect(IPin* pPin) {
    // A peer that cannot say its direction is taken to be of ours and refused.
    PIN_DIRECTION pd = m_dir;
    pPin->QueryDirection(&pd);
    return pd == m_dir ? VFW_E_INVALID_DIRECTION : S_OK;
}

HRESULT CBasePin::BreakConnect() { return S_OK; }

HRESULT CBasePin::CompleteConnect(IPin* pReceivePin) { return S_OK; }

HRESULT CBasePin::GetMediaType(int iPosition, CMediaType* pMediaType) { return E_UNEXPECTED; }

BOOL CBasePin::IsStopped() const { return m_pFilter->IsStopped(); }

void CBasePin::DropPeer() {
    IPin* pPeer = m_Connected.exchange(nullptr);
    if (pPeer) {
        pPeer->Release();
    }
}

HRESULT CBasePin::CanConnectNow() const {
    if (IsConnected()) {
        return VFW_E_ALREADY_CONNECTED;
    }
    if (!IsStopped() && !m_bCanReconnectWhenActive) {
        return VFW_E_NOT_STOPPED;
    }
    return S_OK;
}

STDMETHODIMP CBasePin::Connect(IPin* pReceivePin, const AM_MEDIA_TYPE* pmt) {
    if (!pReceivePin) {
        return E_POINTER;
    }
    CAutoLock lock(m_pLock);
    HRESULT hr = CanConnectNow();
    if (FAILED(hr)) {
        return hr;
    }
    hr = AgreeMediaType(pReceivePin, static_cast<const CMediaType*>(pmt));
    if (FAILED(hr)) {
        BreakConnect();
        return hr;
    }
    return S_OK;
}

HRESULT CBasePin::AgreeMediaType(IPin* pReceivePin, const CMediaType* pmt) {
    if (pmt && !pmt->IsPartiallySpecified()) {
        // A fully specified type is the only candidate.
        return AttemptConnection(pReceivePin, pmt);
    }
    HRESULT hrFailure = VFW_E_NO_ACCEPTABLE_TYPES;
    for (int pass = 0; pass < 2; pass++) {
        CComRef<IEnumMediaTypes> types;
        const bool bPeersTurn = (pass == 0) != m_bTryMyTypesFirst;
        HRESULT hr = bPeersTurn ? pReceivePin->EnumMediaTypes(types.Put()) : EnumMediaTypes(types.Put());
        if (FAILED(hr) || !types) {
            types.Detach();  // what a failed call left is no reference
            continue;
        }
        hr = TryMediaTypes(pReceivePin, pmt, types.Get());
        if (SUCCEEDED(hr)) {
            return S_OK;
        }
        if (!IsGenericRefusal(hr)) {
            hrFailure = hr;
        }
    }
    return hrFailure;
}

HRESULT CBasePin::TryMediaTypes(IPin* pReceivePin, const CMediaType* pmt, IEnumMediaTypes* pEnum) {
    HRESULT hr = pEnum->Reset();
    if (FAILED(hr)) {
        return hr;
    }
    HRESULT hrRemembered = S_OK;
    // Bounded by the enumerator: it ends with S_FALSE (or a failure) when the
    // list is exhausted.
    for (;;) {
        AM_MEDIA_TYPE* pType = nullptr;
        ULONG cFetched = 0;
        if (pEnum->Next(1, &pType, &cFetched) != S_OK || !pType) {
            return SUCCEEDED(hrRemembered) ? VFW_E_NO_ACCEPTABLE_TYPES : hrRemembered;
        }
        const CMediaType* pCandidate = static_cast<const CMediaType*>(pType);
        if (!pmt || pCandidate->MatchesPartial(pmt)) {
            hr = AttemptConnection(pReceivePin, pCandidate);
            if (FAILED(hr) && SUCCEEDED(hrRemembered) && !IsGenericRefusal(hr)) {
                hrRemembered = hr;
            }
        } else {
            hr = VFW_E_NO_ACCEPTABLE_TYPES;
        }
        DeleteMediaType(pType);
        if (hr == S_OK) {
            return S_OK;
        }
    }
}

// The pin looks connected while the peer decides, as peers expect (a peer may
// ask the connector what it is connected to); every failure undoes it.
HRESULT CBasePin::AttemptConnection(IPin* pReceivePin, const CMediaType* pmt) {
    HRESULT hr = CheckConnect(pReceivePin);
    if (FAILED(hr)) {
        BreakConnect();
        return hr;
    }
    hr = CheckMediaType(pmt);
    if (hr != S_OK) {
        hr = MapTypeRefusal(hr);
    } else {
        pReceivePin->AddRef();
        m_Connected = pReceivePin;
        hr = SetMediaType(pmt);
        if (SUCCEEDED(hr)) {
            hr = pReceivePin->ReceiveConnection(static_cast<IPin*>(this), pmt);
            if (SUCCEEDED(hr)) {
                hr = CompleteConnect(pReceivePin);
                if (SUCCEEDED(hr)) {
                    return hr;
                }
                pReceivePin->Disconnect();
            }
        }
    }
    BreakConnect();
    DropPeer();
    return hr;
}

STDMETHODIMP CBasePin::ReceiveConnection(IPin* pConnector, const AM_MEDIA_TYPE* pmt) {
    if (!pConnector || !pmt) {
        return E_POINTER;
    }
    CAutoLock lock(m_pLock);
    HRESULT hr = CanConnectNow();
    if (FAILED(hr)) {
        return hr;
    }
    hr = CheckConnect(pConnector);
    if (FAILED(hr)) {
        BreakConnect();
        return hr;
    }
    const CMediaType* pType = static_cast<const CMediaType*>(pmt);
    hr = CheckMediaType(pType);
    if (hr != S_OK) {
        BreakConnect();
        return MapTypeRefusal(hr);
    }
    pConnector->AddRef();
    m_Connected = pConnector;
    hr = SetMediaType(pType);
    if (SUCCEEDED(hr)) {
        hr = CompleteConnect(pConnector);
        if (SUCCEEDED(hr)) {
            return S_OK;
        }
    }
    DropPeer();
    BreakConnect();
    return hr;
}

STDMETHODIMP CBasePin::Disconnect() {
    CAutoLock lock(m_pLock);
    if (!IsStopped()) {
        return VFW_E_NOT_STOPPED;
    }
    return DisconnectInternal();
}

HRESULT CBasePin::DisconnectInternal() {
    if (!IsConnected()) {
        return S_FALSE;
    }
    HRESULT hr = BreakConnect();
    if (FAILED(hr)) {
        return hr;
    }
    DropPeer();
    return S_OK;
}

STDMETHODIMP CBasePin::ConnectedTo(IPin** pPin) {
    if (!pPin) {
        return E_POINTER;
    }
    // No lock: streaming threads of other filters may ask while a state
    // change holds ours. The peer changes only while the filter is stopped.
    IPin* pPeer = m_Connected.load();
    *pPin = pPeer;
    if (!pPeer) {
        return VFW_E_NOT_CONNECTED;
    }
    pPeer->AddRef();
    return S_OK;
}

STDMETHODIMP CBasePin::ConnectionMediaType(AM_MEDIA_TYPE* pmt) {
    if (!pmt) {
        return E_POINTER;
    }
    if (IsConnected()) {
        CAutoLock lock(&m_cTypeLock);
        return CopyMediaType(pmt, &m_mt);
    }
    CMediaType empty;
    *pmt = empty;  // plain record copy: the empty type owns nothing
    return VFW_E_NOT_CONNECTED;
}

STDMETHODIMP CBasePin::QueryPinInfo(PIN_INFO* pInfo) {
    if (!pInfo) {
        return E_POINTER;
    }
    pInfo->pFilter = m_pFilter ? static_cast<IBaseFilter*>(m_pFilter) : nullptr;
    if (pInfo->pFilter) {
        pInfo->pFilter->AddRef();
    }
    if (m_pName) {
        lstrcpynW(pInfo->achName, m_pName.get(), MAX_PIN_NAME);
    } else {
        pInfo->achName[0] = L'\0';
    }
    pInfo->dir = m_dir;
    return S_OK;
}

STDMETHODIMP CBasePin::QueryDirection(PIN_DIRECTION* pPinDir) {
    if (!pPinDir) {
        return E_POINTER;
    }
    *pPinDir = m_dir;
    return S_OK;
}

STDMETHODIMP CBasePin::QueryAccept(const AM_MEDIA_TYPE* pmt) {
    if (!pmt) {
        return E_POINTER;
    }
    HRESULT hr = CheckMediaType(static_cast<const CMediaType*>(pmt));
    return FAILED(hr) ? S_FALSE : hr;
}

STDMETHODIMP CBasePin::EnumMediaTypes(IEnumMediaTypes** ppEnum) {
    if (!ppEnum) {
        return E_POINTER;
    }
    *ppEnum = new (std::nothrow) CEnumMediaTypes(this, nullptr);
    return *ppEnum ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP CBasePin::QueryInternalConnections(IPin** apPin, ULONG* nPin) { return E_NOTIMPL; }

STDMETHODIMP CBasePin::NewSegment(REFERENCE_TIME tStart, REFERENCE_TIME tStop, double dRate) {
    m_tStart = tStart;
    m_tStop = tStop;
    m_dRate = dRate;
    return S_OK;
}

STDMETHODIMP CBasePin::Notify(IBaseFilter* pSender, Quality q) { return E_NOTIMPL; }

STDMETHODIMP CBasePin::SetSink(IQualityControl* piqc) {
    CAutoLock lock(m_pLock);
    m_pQSink = piqc;
    return S_OK;
}
