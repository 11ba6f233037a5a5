// The pin's faces for capture clients: IAMStreamConfig (one capability, the
// slot's size), IKsPropertySet (the read-only pin category), IQualityControl
// and the table of the pin's interfaces that all of them answer from.
#include <cstring>
#include <utility>

#include "filter/Oculo.h"
#include "filter/OculoStream.h"
#include "platform/ComObject.h"
#include "platform/ComRef.h"

namespace {

const DWORD kCategoryBytes = sizeof(GUID);

// Bits per second of w x h 24-bit frames every rtInterval, within a LONG.
LONG BitRate(LONG width, LONG height, REFERENCE_TIME rtInterval) {
    if (width <= 0 || height <= 0) {
        return 0;
    }
    const double bits = double(width) * double(height) * 24.0 * (1e7 / double(rtInterval));
    return bits >= 2147483647.0 ? 0x7FFFFFFF : static_cast<LONG>(bits);
}

}  // namespace

// IID_IUnknown gives the pin's identity (CUnknown's); every interface
// pointer of the pin forwards here, so each reaches all of them.
STDMETHODIMP COculoStream::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
    if (riid == IID_IUnknown) {
        return CUnknown::NonDelegatingQueryInterface(riid, ppv);
    }
    return QueryComInterface<ComInterface<IPin, IID_IPin>, ComInterface<IQualityControl, IID_IQualityControl>,
                             ComInterface<IAMStreamConfig, IID_IAMStreamConfig>,
                             ComInterface<IKsPropertySet, IID_IKsPropertySet>,
                             ComInterface<IOculoStatus, IID_IOculoStatus>>(this, riid, ppv);
}

// Only a type the pin can deliver: a client's type becomes the connection's,
// and the samples carry the store's RGB24 image whatever it says. Another
// size, or no size to read, is VFW_E_INVALIDMEDIATYPE, as capture clients
// that probe sizes expect; the rest is refused with CheckMediaType's codes.
STDMETHODIMP COculoStream::SetFormat(AM_MEDIA_TYPE* pmt) {
    if (!pmt) {
        return E_POINTER;
    }
    HRESULT hr = CheckImageSize();
    if (SUCCEEDED(hr) && !HasStoreSize(*pmt)) {
        hr = VFW_E_INVALIDMEDIATYPE;
    }
    if (SUCCEEDED(hr)) {
        hr = CheckDeliverable(*pmt);
    }
    if (FAILED(hr)) {
        return hr;
    }
    // Copied outside the lock; the swap hands the old block to `type`, which
    // frees it after the lock is gone. FillBuffer never sees a freed block.
    CMediaType type;
    if (FAILED(type.Set(*pmt))) {
        return E_OUTOFMEMORY;
    }
    {
        CAutoLock lock(&m_cTypeLock);
        std::swap(static_cast<AM_MEDIA_TYPE&>(m_mt), static_cast<AM_MEDIA_TYPE&>(type));
    }
    // The store already has this size: it stays as it is.
    if (IsConnected()) {
        CComRef<IFilterGraph> graph;
        graph.Attach(m_pParentFilter->GetGraph());
        if (graph) {
            graph->Reconnect(static_cast<IPin*>(this));
        }
    }
    return S_OK;
}

STDMETHODIMP COculoStream::GetFormat(AM_MEDIA_TYPE** ppmt) {
    if (!ppmt) {
        return E_POINTER;
    }
    CAutoLock lock(&m_cTypeLock);
    *ppmt = CreateMediaType(&m_mt);
    return *ppmt ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP COculoStream::GetNumberOfCapabilities(int* piCount, int* piSize) {
    if (!piCount || !piSize) {
        return E_POINTER;
    }
    *piCount = 1;
    *piSize = sizeof(VIDEO_STREAM_CONFIG_CAPS);
    return S_OK;
}

// Every index answers the one capability. Sizes tell the truth: SetFormat
// takes only the slot's size, so it is the smallest and the largest.
STDMETHODIMP COculoStream::GetStreamCaps(int iIndex, AM_MEDIA_TYPE** ppmt, BYTE* pSCC) {
    if (!ppmt || !pSCC) {
        return E_POINTER;
    }
    *ppmt = nullptr;
    CMediaType type;
    VIDEOINFOHEADER vih = {};
    {
        CAutoLock lock(&m_cTypeLock);
        if (FAILED(type.Set(m_mt))) {
            return E_OUTOFMEMORY;
        }
    }
    if (type.pbFormat && type.cbFormat >= sizeof(VIDEOINFOHEADER)) {
        memcpy(&vih, type.pbFormat, sizeof(VIDEOINFOHEADER));
    }
    DescribeImage(vih, &type);
    BYTE* pFormat = type.AllocFormatBuffer(sizeof(VIDEOINFOHEADER));
    if (!pFormat) {
        return E_OUTOFMEMORY;
    }
    memcpy(pFormat, &vih, sizeof(VIDEOINFOHEADER));
    type.bFixedSizeSamples = FALSE;
    type.lSampleSize = vih.bmiHeader.biSizeImage;

    const SIZE size = {m_iStoreWidth, m_iStoreHeight};
    VIDEO_STREAM_CONFIG_CAPS caps = {};
    caps.guid = FORMAT_VideoInfo;
    caps.InputSize = size;
    caps.MinCroppingSize = size;
    caps.MaxCroppingSize = size;
    caps.CropGranularityX = 4;
    caps.CropGranularityY = 4;
    caps.MinOutputSize = size;
    caps.MaxOutputSize = size;
    caps.MinFrameInterval = kMinFrameInterval;
    caps.MaxFrameInterval = kMaxFrameInterval;
    caps.MinBitsPerSecond = BitRate(m_iStoreWidth, m_iStoreHeight, kMaxFrameInterval);
    caps.MaxBitsPerSecond = BitRate(m_iStoreWidth, m_iStoreHeight, kMinFrameInterval);

    *ppmt = CreateMediaType(&type);
    if (!*ppmt) {
        return E_OUTOFMEMORY;
    }
    memcpy(pSCC, &caps, sizeof(caps));
    return S_OK;
}

STDMETHODIMP COculoStream::Set(REFGUID, DWORD, LPVOID, DWORD, LPVOID, DWORD) { return E_NOTIMPL; }

STDMETHODIMP COculoStream::Get(REFGUID guidPropSet, DWORD dwPropID, LPVOID, DWORD, LPVOID pPropData,
                               DWORD cbPropData, DWORD* pcbReturned) {
    if (guidPropSet != AMPROPSETID_Pin) {
        return E_PROP_SET_UNSUPPORTED;
    }
    if (dwPropID != AMPROPERTY_PIN_CATEGORY) {
        return E_PROP_ID_UNSUPPORTED;
    }
    if (!pPropData && !pcbReturned) {
        return E_POINTER;
    }
    if (pcbReturned) {
        *pcbReturned = kCategoryBytes;
    }
    if (!pPropData) {
        return S_OK;  // a size query
    }
    if (cbPropData < kCategoryBytes) {
        return E_UNEXPECTED;
    }
    *static_cast<GUID*>(pPropData) = PIN_CATEGORY_CAPTURE;
    return S_OK;
}

STDMETHODIMP COculoStream::QuerySupported(REFGUID guidPropSet, DWORD dwPropID, DWORD* pTypeSupport) {
    if (guidPropSet != AMPROPSETID_Pin) {
        return E_PROP_SET_UNSUPPORTED;
    }
    if (dwPropID != AMPROPERTY_PIN_CATEGORY) {
        return E_PROP_ID_UNSUPPORTED;
    }
    if (pTypeSupport) {
        *pTypeSupport = KSPROPERTY_SUPPORT_GET;
    }
    return S_OK;
}

STDMETHODIMP COculoStream::Notify(IBaseFilter*, Quality) { return E_NOTIMPL; }
