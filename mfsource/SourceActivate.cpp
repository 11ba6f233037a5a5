#include "mfsource/SourceActivate.h"

#include <new>
#include <utility>

#include "mfsource/MediaSource.h"

CUnknown* CSourceActivate::Create(DWORD slot, LPUNKNOWN pUnk, HRESULT* phr) {
    return new (std::nothrow) CSourceActivate(slot, pUnk, phr);
}

CSourceActivate::CSourceActivate(DWORD slot, LPUNKNOWN pUnk, HRESULT* phr)
    : CUnknown(L"Media source activation", pUnk), m_dwSlot(slot) {
    const MFPlatFunctions* mf = MFPlat();
    const HRESULT hr = mf ? mf->CreateAttributes(m_pStore.Put(), 0) : kNoMediaFoundation;
    if (FAILED(hr) && phr) *phr = hr;
}

STDMETHODIMP CSourceActivate::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
    if (IsEqualGUID(riid, IID_IMFActivate) || IsEqualGUID(riid, IID_IMFAttributes)) {
        return GetInterface(static_cast<IMFActivate*>(this), ppv);
    }
    return CUnknown::NonDelegatingQueryInterface(riid, ppv);
}

STDMETHODIMP CSourceActivate::ActivateObject(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    CAutoLock lock(&m_cLock);
    if (!m_pSource) {
        CMediaSource* source = nullptr;
        const HRESULT hr = CMediaSource::Create(m_dwSlot, &source);
        if (FAILED(hr)) return hr;
        m_pSource.Attach(static_cast<IMFMediaSourceEx*>(source));
    }
    return m_pSource->QueryInterface(riid, ppv);
}

STDMETHODIMP CSourceActivate::ShutdownObject() {
    CComRef<IMFMediaSource> source;
    {
        CAutoLock lock(&m_cLock);
        source = std::move(m_pSource);
    }
    // Outside the lock: the source's shutdown waits for its threads.
    if (source) source->Shutdown();
    return S_OK;
}

STDMETHODIMP CSourceActivate::DetachObject() {
    CComRef<IMFMediaSource> source;
    CAutoLock lock(&m_cLock);
    source = std::move(m_pSource);
    return S_OK;
}
