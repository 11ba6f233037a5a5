#include "FakePeer.h"

STDMETHODIMP CFakeAllocator::QueryInterface(REFIID riid, void** ppv) {
    if (riid == IID_IUnknown || riid == IID_IMemAllocator) {
        *ppv = static_cast<IMemAllocator*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CFakeAllocator::Release() {
    const LONG c = --m_cRef;
    if (c == 0) {
        delete this;
    }
    return c;
}

STDMETHODIMP CFakeAllocator::SetProperties(ALLOCATOR_PROPERTIES* pRequest, ALLOCATOR_PROPERTIES* pActual) {
    m_cSetProperties++;
    m_request = *pRequest;
    if (FAILED(m_hrSetProperties)) {
        return m_hrSetProperties;
    }
    *pActual = *pRequest;
    return S_OK;
}

STDMETHODIMP CFakeAllocator::GetProperties(ALLOCATOR_PROPERTIES* pProps) {
    *pProps = m_request;
    return S_OK;
}

STDMETHODIMP CFakeAllocator::Commit() {
    m_cCommit++;
    return S_OK;
}

STDMETHODIMP CFakeAllocator::Decommit() {
    m_cDecommit++;
    return S_OK;
}

STDMETHODIMP CFakeAllocator::GetBuffer(IMediaSample**, REFERENCE_TIME*, REFERENCE_TIME*, DWORD) {
    return VFW_E_NOT_COMMITTED;
}

STDMETHODIMP CFakeAllocator::ReleaseBuffer(IMediaSample*) { return S_OK; }

STDMETHODIMP CFakeEnumTypes::QueryInterface(REFIID riid, void** ppv) {
    if (riid == IID_IUnknown || riid == IID_IEnumMediaTypes) {
        *ppv = static_cast<IEnumMediaTypes*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CFakeEnumTypes::Release() {
    const LONG c = --m_cRef;
    if (c == 0) {
        delete this;
    }
    return c;
}

STDMETHODIMP CFakeEnumTypes::Next(ULONG c, AM_MEDIA_TYPE** pp, ULONG* pcFetched) {
    ULONG n = 0;
    while (n < c && m_pos < m_types.size()) {
        pp[n++] = CreateMediaType(&m_types[m_pos++]);
    }
    if (pcFetched) {
        *pcFetched = n;
    }
    return n == c ? S_OK : S_FALSE;
}

STDMETHODIMP CFakeEnumTypes::Skip(ULONG c) {
    m_pos += c;
    return m_pos <= m_types.size() ? S_OK : S_FALSE;
}

STDMETHODIMP CFakeEnumTypes::Reset() {
    m_pos = 0;
    return S_OK;
}

STDMETHODIMP CFakeEnumTypes::Clone(IEnumMediaTypes**) { return E_NOTIMPL; }

CFakeInputPin::~CFakeInputPin() {
    if (m_pConnector) {
        m_pConnector->Release();
    }
}

STDMETHODIMP CFakeInputPin::QueryInterface(REFIID riid, void** ppv) {
    if (riid == IID_IUnknown || riid == IID_IPin) {
        *ppv = static_cast<IPin*>(this);
    } else if (riid == IID_IMemInputPin && m_bMemInput) {
        *ppv = static_cast<IMemInputPin*>(this);
    } else {
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) CFakeInputPin::Release() {
    const LONG c = --m_cRef;
    if (c == 0) {
        delete this;
    }
    return c;
}

STDMETHODIMP CFakeInputPin::ReceiveConnection(IPin* pConnector, const AM_MEDIA_TYPE* pmt) {
    m_offered.push_back(pmt->subtype);
    IPin* pSeen = nullptr;
    m_hrConnectorConnectedTo = pConnector->ConnectedTo(&pSeen);
    if (pSeen) {
        pSeen->Release();
    }
    if (m_hrReceiveConnection != S_OK) {
        return m_hrReceiveConnection;
    }
    pConnector->AddRef();
    m_pConnector = pConnector;
    return S_OK;
}

STDMETHODIMP CFakeInputPin::Disconnect() {
    m_cDisconnect++;
    if (!m_pConnector) {
        return S_FALSE;
    }
    m_pConnector->Release();
    m_pConnector = nullptr;
    return S_OK;
}

STDMETHODIMP CFakeInputPin::ConnectedTo(IPin** pPin) {
    *pPin = m_pConnector;
    if (!m_pConnector) {
        return VFW_E_NOT_CONNECTED;
    }
    m_pConnector->AddRef();
    return S_OK;
}

STDMETHODIMP CFakeInputPin::QueryDirection(PIN_DIRECTION* pPinDir) {
    *pPinDir = m_dir;
    return S_OK;
}

STDMETHODIMP CFakeInputPin::EnumMediaTypes(IEnumMediaTypes** ppEnum) {
    if (m_types.empty()) {
        *ppEnum = nullptr;
        return E_NOTIMPL;
    }
    *ppEnum = new CFakeEnumTypes(m_types);
    return S_OK;
}

STDMETHODIMP CFakeInputPin::EndOfStream() {
    m_cEndOfStream++;
    return S_OK;
}

STDMETHODIMP CFakeInputPin::GetAllocator(IMemAllocator** ppAllocator) {
    if (!m_pOwnAllocator) {
        *ppAllocator = nullptr;
        return VFW_E_NO_ALLOCATOR;
    }
    m_pOwnAllocator->AddRef();
    *ppAllocator = m_pOwnAllocator;
    return S_OK;
}

STDMETHODIMP CFakeInputPin::NotifyAllocator(IMemAllocator* pAllocator, BOOL) {
    if (FAILED(m_hrNotifyAllocator)) {
        return m_hrNotifyAllocator;
    }
    m_pNotified = pAllocator;
    return S_OK;
}

STDMETHODIMP CFakeInputPin::GetAllocatorRequirements(ALLOCATOR_PROPERTIES* pProps) {
    if (!m_bRequirements) {
        return E_NOTIMPL;
    }
    *pProps = m_requirements;
    return S_OK;
}
