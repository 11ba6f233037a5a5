#include "framework/EnumMediaTypes.h"

#include <climits>
#include <new>

#include "framework/BasePin.h"
#include "media/MediaType.h"

CEnumMediaTypes::CEnumMediaTypes(CBasePin* pPin, CEnumMediaTypes* pEnumMediaTypes)
    : m_Position(0), m_pPin(pPin), m_Version(0) {
    if (pEnumMediaTypes) {
        m_Position = pEnumMediaTypes->m_Position;
        m_Version = pEnumMediaTypes->m_Version;
    } else {
        m_Version = m_pPin->GetMediaTypeVersion();
    }
}

CEnumMediaTypes::~CEnumMediaTypes() = default;

bool CEnumMediaTypes::AreWeOutOfSync() const { return m_pPin->GetMediaTypeVersion() != m_Version; }

STDMETHODIMP CEnumMediaTypes::Next(ULONG cMediaTypes, AM_MEDIA_TYPE** ppMediaTypes, ULONG* pcFetched) {
    if (!ppMediaTypes) {
        return E_POINTER;
    }
    if (AreWeOutOfSync()) {
        return VFW_E_ENUM_OUT_OF_SYNC;
    }
    if (pcFetched) {
        *pcFetched = 0;
    } else if (cMediaTypes > 1) {
        return E_INVALIDARG;
    }
    const ULONG cRequested = cMediaTypes;
    ULONG cFetched = 0;
    while (cMediaTypes > 0 && m_Position < INT_MAX) {
        CMediaType mt;
        const HRESULT hr = m_pPin->GetMediaType(m_Position++, &mt);
        if (hr != S_OK) {
            break;
        }
        AM_MEDIA_TYPE* pType = static_cast<AM_MEDIA_TYPE*>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
        if (!pType) {
            break;
        }
        // The block takes over the format block and the object reference.
        *pType = mt;
        mt.cbFormat = 0;
        mt.pbFormat = nullptr;
        mt.pUnk = nullptr;
        ppMediaTypes[cFetched++] = pType;
        cMediaTypes--;
    }
    if (pcFetched) {
        *pcFetched = cFetched;
    }
    return cFetched == cRequested ? S_OK : S_FALSE;
}

STDMETHODIMP CEnumMediaTypes::Skip(ULONG cMediaTypes) {
    if (cMediaTypes == 0) {
        return S_OK;
    }
    if (AreWeOutOfSync()) {
        return VFW_E_ENUM_OUT_OF_SYNC;
    }
    if (cMediaTypes > static_cast<ULONG>(INT_MAX - m_Position)) {
        m_Position = INT_MAX;  // far past any pin's list
        return S_FALSE;
    }
    m_Position += static_cast<int>(cMediaTypes);
    // Did the skip end on an existing type?
    CMediaType mt;
    return m_pPin->GetMediaType(m_Position - 1, &mt) == S_OK ? S_OK : S_FALSE;
}

STDMETHODIMP CEnumMediaTypes::Reset() {
    m_Position = 0;
    m_Version = m_pPin->GetMediaTypeVersion();
    return S_OK;
}

STDMETHODIMP CEnumMediaTypes::Clone(IEnumMediaTypes** ppEnum) {
    if (!ppEnum) {
        return E_POINTER;
    }
    if (AreWeOutOfSync()) {
        *ppEnum = nullptr;
        return VFW_E_ENUM_OUT_OF_SYNC;
    }
    *ppEnum = new (std::nothrow) CEnumMediaTypes(m_pPin.Get(), this);
    return *ppEnum ? S_OK : E_OUTOFMEMORY;
}
