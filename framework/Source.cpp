#include "framework/Source.h"

#include <new>

#include "framework/SourceStream.h"

// m_cStateLock is constructed before the base class uses it: the base only
// stores its address.
CSource::CSource(LPCWSTR pName, LPUNKNOWN pUnk, REFCLSID clsid)
    : CBaseFilter(pName, pUnk, &m_cStateLock, clsid), m_iPins(0), m_paStreams(nullptr) {}

CSource::~CSource() {
    // Each stream's destructor removes itself, which shortens the array.
    while (m_iPins != 0) {
        delete m_paStreams[m_iPins - 1];
    }
}

int CSource::GetPinCount() {
    CAutoLock lock(&m_cPinListLock);
    return m_iPins;
}

CBasePin* CSource::GetPin(int n) {
    CAutoLock lock(&m_cPinListLock);
    if (n >= 0 && n < m_iPins) {
        return m_paStreams[n];
    }
    return nullptr;
}

STDMETHODIMP CSource::FindPin(LPCWSTR Id, IPin** ppPin) {
    if (!ppPin) {
        return E_POINTER;
    }
    // Text that is not a number gives 0, which is no pin.
    const int i = Id ? _wtoi(Id) - 1 : -1;
    CBasePin* pPin = GetPin(i);
    if (!pPin) {
        *ppPin = nullptr;
        return VFW_E_NOT_FOUND;
    }
    *ppPin = static_cast<IPin*>(pPin);
    (*ppPin)->AddRef();
    return S_OK;
}

HRESULT CSource::AddPin(CSourceStream* pStream) {
    CAutoLock lock(&m_cPinListLock);
    CSourceStream** paNew = new (std::nothrow) CSourceStream*[m_iPins + 1];
    if (!paNew) {
        return E_OUTOFMEMORY;
    }
    for (int i = 0; i < m_iPins; i++) {
        paNew[i] = m_paStreams[i];
    }
    delete[] m_paStreams;
    m_paStreams = paNew;
    m_paStreams[m_iPins++] = pStream;
    return S_OK;
}

HRESULT CSource::RemovePin(CSourceStream* pStream) {
    CAutoLock lock(&m_cPinListLock);
    for (int i = 0; i < m_iPins; i++) {
        if (m_paStreams[i] != pStream) {
            continue;
        }
        if (m_iPins == 1) {
            delete[] m_paStreams;
            m_paStreams = nullptr;
        } else {
            for (int j = i + 1; j < m_iPins; j++) {
                m_paStreams[j - 1] = m_paStreams[j];
            }
        }
        m_iPins--;
        return S_OK;
    }
    return S_FALSE;
}

int CSource::FindPinNumber(IPin* iPin) {
    CAutoLock lock(&m_cPinListLock);
    for (int i = 0; i < m_iPins; i++) {
        if (static_cast<IPin*>(m_paStreams[i]) == iPin) {
            return i;
        }
    }
    return -1;
}
