#include "framework/BaseOutputPin.h"

#include "platform/ComRef.h"

CBaseOutputPin::CBaseOutputPin(LPCWSTR pObjectName, CBaseFilter* pFilter, CCritSec* pLock, HRESULT* phr,
                               LPCWSTR pName)
    : CBasePin(pObjectName, pFilter, pLock, phr, pName, PINDIR_OUTPUT), m_pAllocator(nullptr), m_pInputPin(nullptr) {}

// A pin destroyed while connected (its filter released without a disconnect)
// still owes its two references. Its allocator may still be committed (a
// Pause that failed after the commit leaves the filter stopped, so no Stop
// decommits it): decommit first, or the allocator's hold on itself would keep
// it, and its buffers, alive for ever.
CBaseOutputPin::~CBaseOutputPin() {
    if (m_pAllocator) {
        m_pAllocator->Decommit();
    }
    ReleaseAndClear(m_pAllocator);
    ReleaseAndClear(m_pInputPin);
}

HRESULT CBaseOutputPin::CheckConnect(IPin* pPin) {
    HRESULT hr = CBasePin::CheckConnect(pPin);
    if (FAILED(hr)) {
        return hr;
    }
    // A failed attempt before this one may have left its peer's interface.
    ReleaseAndClear(m_pInputPin);
    return pPin->QueryInterface(IID_IMemInputPin, reinterpret_cast<void**>(&m_pInputPin));
}

HRESULT CBaseOutputPin::CompleteConnect(IPin* pReceivePin) { return DecideAllocator(m_pInputPin, &m_pAllocator); }

HRESULT CBaseOutputPin::BreakConnect() {
    if (m_pAllocator) {
        HRESULT hr = m_pAllocator->Decommit();
        if (FAILED(hr)) {
            return hr;
        }
        ReleaseAndClear(m_pAllocator);
    }
    ReleaseAndClear(m_pInputPin);
    return S_OK;
}

HRESULT CBaseOutputPin::DecideAllocator(IMemInputPin* pPin, IMemAllocator** ppAlloc) {
    *ppAlloc = nullptr;
    ALLOCATOR_PROPERTIES prop = {};
    pPin->GetAllocatorRequirements(&prop);
    if (prop.cbAlign == 0) {
        prop.cbAlign = 1;
    }
    // First choice: the peer's own allocator.
    HRESULT hr = pPin->GetAllocator(ppAlloc);
    if (SUCCEEDED(hr) && *ppAlloc) {
        hr = SizeAndNotify(pPin, *ppAlloc, &prop);
        if (SUCCEEDED(hr)) {
            return S_OK;
        }
    }
    ReleaseAndClear(*ppAlloc);
    // Second choice: one of our making, with what the first try left in prop.
    hr = InitAllocator(ppAlloc);
    if (SUCCEEDED(hr) && *ppAlloc) {
        hr = SizeAndNotify(pPin, *ppAlloc, &prop);
        if (SUCCEEDED(hr)) {
            return S_OK;
        }
    } else if (SUCCEEDED(hr)) {
        hr = E_NOINTERFACE;  // a success without an allocator is no allocator
    }
    ReleaseAndClear(*ppAlloc);
    return hr;
}

HRESULT CBaseOutputPin::SizeAndNotify(IMemInputPin* pPin, IMemAllocator* pAlloc, ALLOCATOR_PROPERTIES* pProps) {
    HRESULT hr = DecideBufferSize(pAlloc, pProps);
    if (FAILED(hr)) {
        return hr;
    }
    // Samples are written by us only: not read-only.
    return pPin->NotifyAllocator(pAlloc, FALSE);
}

HRESULT CBaseOutputPin::GetDeliveryBuffer(IMediaSample** ppSample, REFERENCE_TIME* pStartTime,
                                          REFERENCE_TIME* pEndTime, DWORD dwFlags) {
    if (!m_pAllocator) {
        return E_NOINTERFACE;
    }
    return m_pAllocator->GetBuffer(ppSample, pStartTime, pEndTime, dwFlags);
}

HRESULT CBaseOutputPin::Deliver(IMediaSample* pSample) {
    if (!m_pInputPin) {
        return VFW_E_NOT_CONNECTED;
    }
    return m_pInputPin->Receive(pSample);
}

HRESULT CBaseOutputPin::InitAllocator(IMemAllocator** ppAlloc) {
    return CoCreateInstance(CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER, IID_IMemAllocator,
                            reinterpret_cast<void**>(ppAlloc));
}

HRESULT CBaseOutputPin::DeliverEndOfStream() {
    IPin* pPeer = GetConnected();
    return pPeer ? pPeer->EndOfStream() : VFW_E_NOT_CONNECTED;
}

HRESULT CBaseOutputPin::DeliverBeginFlush() {
    IPin* pPeer = GetConnected();
    return pPeer ? pPeer->BeginFlush() : VFW_E_NOT_CONNECTED;
}

HRESULT CBaseOutputPin::DeliverEndFlush() {
    IPin* pPeer = GetConnected();
    return pPeer ? pPeer->EndFlush() : VFW_E_NOT_CONNECTED;
}

HRESULT CBaseOutputPin::DeliverNewSegment(REFERENCE_TIME tStart, REFERENCE_TIME tStop, double dRate) {
    IPin* pPeer = GetConnected();
    return pPeer ? pPeer->NewSegment(tStart, tStop, dRate) : VFW_E_NOT_CONNECTED;
}

HRESULT CBaseOutputPin::Active() { return m_pAllocator ? m_pAllocator->Commit() : VFW_E_NO_ALLOCATOR; }

HRESULT CBaseOutputPin::Inactive() {
    m_bRunTimeError = false;
    return m_pAllocator ? m_pAllocator->Decommit() : VFW_E_NO_ALLOCATOR;
}

STDMETHODIMP CBaseOutputPin::EndOfStream() { return E_UNEXPECTED; }

STDMETHODIMP CBaseOutputPin::BeginFlush() { return E_UNEXPECTED; }

STDMETHODIMP CBaseOutputPin::EndFlush() { return E_UNEXPECTED; }
