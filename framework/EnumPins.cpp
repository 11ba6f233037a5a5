#include "framework/EnumPins.h"

#include <new>

#include "framework/BaseFilter.h"
#include "framework/BasePin.h"

CEnumPins::CEnumPins(CBaseFilter* pFilter, CEnumPins* pEnumPins)
    : m_Position(0), m_PinCount(0), m_pFilter(pFilter), m_Version(0) {
    if (pEnumPins) {
        m_Position = pEnumPins->m_Position;
        m_PinCount = pEnumPins->m_PinCount;
        m_Version = pEnumPins->m_Version;
        // A clone whose cache copy runs out of memory may hand out a pin again;
        // it never hands out a dangling one.
        m_PinCache.AddTail(pEnumPins->m_PinCache);
    } else {
        m_Version = m_pFilter->GetPinVersion();
        m_PinCount = m_pFilter->GetPinCount();
    }
}

// The cache empties first; the filter's reference goes after, with the members.
CEnumPins::~CEnumPins() { m_PinCache.RemoveAll(); }

bool CEnumPins::AreWeOutOfSync() const { return m_pFilter->GetPinVersion() != m_Version; }

void CEnumPins::Resync() {
    m_Version = m_pFilter->GetPinVersion();
    m_PinCount = m_pFilter->GetPinCount();
    m_Position = 0;
}

STDMETHODIMP CEnumPins::Next(ULONG cPins, IPin** ppPins, ULONG* pcFetched) {
    if (!ppPins) {
        return E_POINTER;
    }
    if (pcFetched) {
        *pcFetched = 0;
    } else if (cPins > 1) {
        return E_INVALIDARG;
    }
    if (AreWeOutOfSync()) {
        // The cache survives, so pins already returned are not returned again.
        Resync();
    }
    const LONG cLeft = m_PinCount - m_Position;
    ULONG cWanted = cLeft > 0 ? static_cast<ULONG>(cLeft) : 0;
    if (cWanted > cPins) {
        cWanted = cPins;
    }
    if (cWanted == 0) {
        return S_FALSE;
    }
    ULONG cFetched = 0;
    while (cWanted > 0 && m_Position < m_PinCount) {
        CBasePin* pPin = m_pFilter->GetPin(m_Position++);
        if (!pPin) {
            // The pins changed under us without a new version. The caller
            // does not release what a failing call returns: take it back.
            for (ULONG i = 0; i < cFetched; i++) {
                ReleaseAndClear(ppPins[i]);
            }
            return VFW_E_ENUM_OUT_OF_SYNC;
        }
        if (m_PinCache.Find(pPin)) {
            continue;
        }
        IPin* pIPin = static_cast<IPin*>(pPin);
        pIPin->AddRef();
        ppPins[cFetched++] = pIPin;
        m_PinCache.AddTail(pPin);
        cWanted--;
    }
    if (pcFetched) {
        *pcFetched = cFetched;
    }
    return cFetched == cPins ? S_OK : S_FALSE;
}

STDMETHODIMP CEnumPins::Skip(ULONG cPins) {
    if (AreWeOutOfSync()) {
        return VFW_E_ENUM_OUT_OF_SYNC;
    }
    const LONG cLeft = m_PinCount - m_Position;
    if (cLeft < 0 || cPins > static_cast<ULONG>(cLeft)) {
        return S_FALSE;
    }
    m_Position += static_cast<int>(cPins);
    return S_OK;
}

STDMETHODIMP CEnumPins::Reset() {
    Resync();
    m_PinCache.RemoveAll();
    return S_OK;
}

STDMETHODIMP CEnumPins::Clone(IEnumPins** ppEnum) {
    if (!ppEnum) {
        return E_POINTER;
    }
    if (AreWeOutOfSync()) {
        *ppEnum = nullptr;
        return VFW_E_ENUM_OUT_OF_SYNC;
    }
    *ppEnum = new (std::nothrow) CEnumPins(m_pFilter.Get(), this);
    return *ppEnum ? S_OK : E_OUTOFMEMORY;
}
