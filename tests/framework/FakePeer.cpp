#include "FakePeer.h"

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
    return m_hrDecommit;
}

STDMETHODIMP CFakeAllocator::GetBuffer(IMediaSample**, REFERENCE_TIME*, REFERENCE_TIME*, DWORD) {
    return VFW_E_NOT_COMMITTED;
}

STDMETHODIMP CFakeAllocator::ReleaseBuffer(IMediaSample*) { return S_OK; }

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

STDMETHODIMP CFakeInputPin::QueryInterface(REFIID riid, void** ppv) {
    if (riid == IID_IMemInputPin && !m_bMemInput) {
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    return CFakeUnknown::QueryInterface(riid, ppv);
}

STDMETHODIMP CFakeInputPin::ReceiveConnection(IPin* pConnector, const AM_MEDIA_TYPE* pmt) {
    m_offered.push_back(pmt->subtype);
    CComRef<IPin> seen;
    m_hrConnectorConnectedTo = pConnector->ConnectedTo(seen.Put());
    if (m_hrReceiveConnection != S_OK) {
        return m_hrReceiveConnection;
    }
    m_connector = CComRef<IPin>(pConnector);
    return S_OK;
}

STDMETHODIMP CFakeInputPin::Disconnect() {
    m_cDisconnect++;
    if (!m_connector) {
        return S_FALSE;
    }
    m_connector.Reset();
    return S_OK;
}

STDMETHODIMP CFakeInputPin::ConnectedTo(IPin** pPin) {
    m_connector.CopyTo(pPin);
    return m_connector ? S_OK : VFW_E_NOT_CONNECTED;
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
