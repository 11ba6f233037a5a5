// The pin's media types: the one RGB24 type of the slot's size and rate, and
// the hooks by which the pin takes part in connection and allocator
// negotiation.
#include <cmath>
#include <cstring>

#include "filter/OculoStream.h"

namespace {

// Buffers asked of the allocator (see DecideBufferSize).
const LONG kBufferCount = 3;

// 25 frames per second, for a rate that says nothing usable.
const REFERENCE_TIME kFallbackFrameDuration = 400000;

// The VIDEOINFOHEADER of a type, or null when it has no block that large.
const VIDEOINFOHEADER* VideoInfo(const AM_MEDIA_TYPE* pmt) {
    if (!pmt->pbFormat || pmt->cbFormat < sizeof(VIDEOINFOHEADER)) {
        return nullptr;
    }
    return reinterpret_cast<const VIDEOINFOHEADER*>(pmt->pbFormat);
}

}  // namespace

// Clamped in double before the conversion, so no rate (0, negative, NaN,
// infinite, tiny or huge) reaches an undefined float-to-integer conversion.
REFERENCE_TIME COculoStream::FrameDuration(float fps) {
    if (!std::isfinite(fps) || !(fps > 0)) {
        return kFallbackFrameDuration;
    }
    const double duration = (1.0 / static_cast<double>(fps)) / 1e-7 + 0.5;
    if (!(duration >= static_cast<double>(kMinFrameInterval))) {
        return kMinFrameInterval;
    }
    if (duration > static_cast<double>(kMaxFrameInterval)) {
        return kMaxFrameInterval;
    }
    return static_cast<REFERENCE_TIME>(duration);
}

HRESULT COculoStream::CheckImageSize() const {
    if (CFrameStore::StoreBytes(m_iStoreWidth, m_iStoreHeight) == 0) {
        return VFW_E_INVALIDMEDIATYPE;  // not positive, or too large for a 32-bit image size
    }
    return m_pFrameStore ? S_OK : E_OUTOFMEMORY;
}

// A block that is not a VIDEOINFOHEADER is not read as one. Each check keeps
// a peer or client from labelling the store's RGB24 bytes as something else,
// or from sizing samples below the image.
HRESULT COculoStream::CheckDeliverable(const AM_MEDIA_TYPE& mt) const {
    const VIDEOINFOHEADER* pvi = VideoInfo(&mt);
    if (!pvi || mt.formattype != FORMAT_VideoInfo) {
        return E_INVALIDARG;
    }
    const BITMAPINFOHEADER& bmi = pvi->bmiHeader;
    if (bmi.biWidth != m_iStoreWidth || bmi.biHeight != m_iStoreHeight) {
        return E_FAIL;
    }
    if (mt.majortype != MEDIATYPE_Video || mt.subtype != MEDIASUBTYPE_RGB24 || bmi.biBitCount != 24 ||
        bmi.biCompression != BI_RGB) {
        return E_INVALIDARG;
    }
    const LONG cbImage = CFrameStore::StoreBytes(m_iStoreWidth, m_iStoreHeight);
    if (bmi.biSizeImage != 0 && bmi.biSizeImage != static_cast<DWORD>(cbImage)) {
        return E_INVALIDARG;
    }
    // An interval of 0 asks for no rate in particular (some clients send it):
    // the slot's own rate is delivered, as it always was.
    if (pvi->AvgTimePerFrame != 0 &&
        (pvi->AvgTimePerFrame < kMinFrameInterval || pvi->AvgTimePerFrame > kMaxFrameInterval)) {
        return E_INVALIDARG;
    }
    return S_OK;
}

bool COculoStream::HasStoreSize(const AM_MEDIA_TYPE& mt) const {
    const VIDEOINFOHEADER* pvi = VideoInfo(&mt);
    return pvi && pvi->bmiHeader.biWidth == m_iStoreWidth && pvi->bmiHeader.biHeight == m_iStoreHeight;
}

HRESULT COculoStream::BuildDefaultType(CMediaType* pmt) const {
    VIDEOINFOHEADER* pvi = reinterpret_cast<VIDEOINFOHEADER*>(pmt->AllocFormatBuffer(sizeof(VIDEOINFOHEADER)));
    if (!pvi) {
        return E_OUTOFMEMORY;
    }
    memset(pvi, 0, sizeof(VIDEOINFOHEADER));
    pvi->AvgTimePerFrame = m_rtDefaultDuration;
    DescribeImage(*pvi, pmt);
    pmt->SetSampleSize(pvi->bmiHeader.biSizeImage);
    return S_OK;
}

void COculoStream::DescribeImage(VIDEOINFOHEADER& vih, CMediaType* pmt) const {
    vih.rcSource = RECT{};
    vih.rcTarget = RECT{};
    BITMAPINFOHEADER& bmi = vih.bmiHeader;
    bmi.biSize = sizeof(BITMAPINFOHEADER);
    bmi.biWidth = m_iStoreWidth;
    bmi.biHeight = m_iStoreHeight;
    bmi.biPlanes = 1;
    bmi.biBitCount = 24;
    bmi.biCompression = BI_RGB;
    // The store's size: 0 for a size that has no 32-bit image size.
    bmi.biSizeImage = static_cast<DWORD>(CFrameStore::StoreBytes(m_iStoreWidth, m_iStoreHeight));
    bmi.biClrImportant = 0;

    pmt->SetType(&MEDIATYPE_Video);
    pmt->SetFormatType(&FORMAT_VideoInfo);
    pmt->SetTemporalCompression(FALSE);
    const GUID subtype = GetBitmapSubtype(&bmi);
    pmt->SetSubtype(&subtype);
}

// SetFormat and CheckMediaType admit only the capability's range; outside
// 1 ... kMaxFrameInterval the slot's own duration would still keep times
// advancing and bounded.
REFERENCE_TIME COculoStream::CurrentFrameDuration() {
    CAutoLock lock(&m_cTypeLock);
    const VIDEOINFOHEADER* pvi = VideoInfo(&m_mt);
    if (!pvi || pvi->AvgTimePerFrame <= 0 || pvi->AvgTimePerFrame > kMaxFrameInterval) {
        return m_rtDefaultDuration;
    }
    return pvi->AvgTimePerFrame;
}

HRESULT COculoStream::GetMediaType(int iPosition, CMediaType* pmt) {
    if (!pmt) {
        return E_POINTER;
    }
    if (iPosition < 0) {
        return E_INVALIDARG;
    }
    if (iPosition > 1) {
        return VFW_S_NO_MORE_ITEMS;
    }
    if (iPosition == 0) {
        CAutoLock lock(&m_cTypeLock);
        if (m_bTypeBuilt && m_mt.GetSampleSize() != 0) {
            return pmt->Set(m_mt);
        }
    }
    const HRESULT hr = BuildDefaultType(pmt);
    if (SUCCEEDED(hr)) {
        CAutoLock lock(&m_cTypeLock);
        m_bTypeBuilt = true;
    }
    return hr;
}

HRESULT COculoStream::CheckMediaType(const CMediaType* pmt) {
    if (!pmt) {
        return E_POINTER;
    }
    // A slot whose image cannot exist connects to nothing.
    HRESULT hr = CheckImageSize();
    if (FAILED(hr)) {
        return hr;
    }
    hr = CheckDeliverable(*pmt);
    if (FAILED(hr)) {
        return hr;
    }
    CAutoLock lock(&m_cTypeLock);
    return *pmt == m_mt ? S_OK : E_INVALIDARG;
}

HRESULT COculoStream::DecideBufferSize(IMemAllocator* pAlloc, ALLOCATOR_PROPERTIES* pProps) {
    if (!pAlloc || !pProps) {
        return E_POINTER;
    }
    HRESULT hr = CheckImageSize();
    if (FAILED(hr)) {
        return hr;
    }
    // Every sample holds the whole image: a current type that says otherwise
    // connects nothing (its image size may only be 0 or the image's).
    {
        CAutoLock lock(&m_cTypeLock);
        hr = CheckDeliverable(m_mt);
    }
    if (FAILED(hr)) {
        return hr;
    }
    // Not one buffer: a tee downstream (the capture graph builder's Smart
    // Tee) keeps the sample it was given while it takes another from the same
    // allocator for its preview copy; with a single buffer it would wait for
    // ever on our own worker.
    pProps->cBuffers = kBufferCount;
    pProps->cbBuffer = CFrameStore::StoreBytes(m_iStoreWidth, m_iStoreHeight);
    ALLOCATOR_PROPERTIES actual = {};
    hr = pAlloc->SetProperties(pProps, &actual);
    if (FAILED(hr)) {
        return hr;
    }
    return actual.cbBuffer < pProps->cbBuffer ? E_FAIL : S_OK;
}
