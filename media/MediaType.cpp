#include "media/MediaType.h"

#include <cstring>

#include "platform/ComRef.h"

namespace {

// Format blocks of two records are equal; a record that claims a block but
// has none never equals one that has it.
bool SameFormatBlock(const AM_MEDIA_TYPE& a, const AM_MEDIA_TYPE& b) {
    if (a.cbFormat != b.cbFormat) {
        return false;
    }
    if (a.cbFormat == 0 || a.pbFormat == b.pbFormat) {
        return true;
    }
    if (a.pbFormat == nullptr || b.pbFormat == nullptr) {
        return false;
    }
    return std::memcmp(a.pbFormat, b.pbFormat, a.cbFormat) == 0;
}

// The four-character-code subtype pattern {cccc-0000-0010-8000-00AA00389B71}.
GUID FourCCSubtype(DWORD fourcc) {
    GUID guid = {fourcc, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};
    return guid;
}

GUID Subtype16(const BITMAPINFOHEADER* pHeader) {
    if (pHeader->biCompression == BI_RGB) {
        return MEDIASUBTYPE_RGB555;
    }
    DWORD masks[3];
    std::memcpy(masks, reinterpret_cast<const BYTE*>(pHeader) + sizeof(BITMAPINFOHEADER), sizeof(masks));
    if (masks[0] == 0x7C00 && masks[1] == 0x03E0 && masks[2] == 0x001F) {
        return MEDIASUBTYPE_RGB555;
    }
    if (masks[0] == 0xF800 && masks[1] == 0x07E0 && masks[2] == 0x001F) {
        return MEDIASUBTYPE_RGB565;
    }
    return GUID_NULL;
}

}  // namespace

CMediaType::CMediaType() { InitMediaType(); }

CMediaType::~CMediaType() { FreeMediaType(*this); }

CMediaType::CMediaType(const CMediaType& other) : AM_MEDIA_TYPE() {
    InitMediaType();
    Set(other);
}

CMediaType::CMediaType(const AM_MEDIA_TYPE& other) : AM_MEDIA_TYPE() {
    InitMediaType();
    Set(other);
}

CMediaType& CMediaType::operator=(const CMediaType& other) {
    Set(other);
    return *this;
}

CMediaType& CMediaType::operator=(const AM_MEDIA_TYPE& other) {
    Set(other);
    return *this;
}

void CMediaType::InitMediaType() {
    std::memset(static_cast<AM_MEDIA_TYPE*>(this), 0, sizeof(AM_MEDIA_TYPE));
    lSampleSize = 1;
    bFixedSizeSamples = TRUE;
}

HRESULT CMediaType::Set(const AM_MEDIA_TYPE& mt) {
    if (&mt == static_cast<AM_MEDIA_TYPE*>(this)) {
        return S_OK;
    }
    FreeMediaType(*this);
    return FAILED(CopyMediaType(this, &mt)) ? E_OUTOFMEMORY : S_OK;
}

bool CMediaType::operator==(const CMediaType& other) const {
    return IsEqualGUID(majortype, other.majortype) && IsEqualGUID(subtype, other.subtype) &&
           IsEqualGUID(formattype, other.formattype) && SameFormatBlock(*this, other);
}

void CMediaType::SetSampleSize(ULONG size) {
    if (size == 0) {
        SetVariableSize();
        return;
    }
    bFixedSizeSamples = TRUE;
    lSampleSize = size;
}

BYTE* CMediaType::AllocFormatBuffer(ULONG length) {
    if (length == cbFormat) {
        return pbFormat;
    }
    if (length == 0) {
        // A record with cbFormat 0 owns no block, so keeping one would leak it.
        FreeFormatBuffer();
        return nullptr;
    }
    BYTE* pNew = static_cast<BYTE*>(CoTaskMemAlloc(length));
    if (pNew == nullptr) {
        // The current block is large enough for a shorter format.
        return length <= cbFormat ? pbFormat : nullptr;
    }
    if (cbFormat != 0) {
        CoTaskMemFree(pbFormat);
    }
    pbFormat = pNew;
    cbFormat = length;
    return pNew;
}

void CMediaType::FreeFormatBuffer() {
    if (cbFormat != 0) {
        CoTaskMemFree(pbFormat);
    }
    cbFormat = 0;
    pbFormat = nullptr;
}

bool CMediaType::IsPartiallySpecified() const {
    return IsEqualGUID(majortype, GUID_NULL) || IsEqualGUID(formattype, GUID_NULL);
}

bool CMediaType::MatchesPartial(const CMediaType* partial) const {
    if (!IsEqualGUID(partial->majortype, GUID_NULL) && !IsEqualGUID(partial->majortype, majortype)) {
        return false;
    }
    if (!IsEqualGUID(partial->subtype, GUID_NULL) && !IsEqualGUID(partial->subtype, subtype)) {
        return false;
    }
    if (!IsEqualGUID(partial->formattype, GUID_NULL)) {
        return IsEqualGUID(partial->formattype, formattype) && SameFormatBlock(*this, *partial);
    }
    return true;
}

HRESULT CopyMediaType(AM_MEDIA_TYPE* pmtTarget, const AM_MEDIA_TYPE* pmtSource) {
    *pmtTarget = *pmtSource;
    if (pmtSource->cbFormat != 0) {
        HRESULT hr = S_OK;
        BYTE* pBlock = nullptr;
        if (pmtSource->pbFormat == nullptr) {
            hr = E_INVALIDARG;  // a peer's record that claims a block it does not have
        } else {
            pBlock = static_cast<BYTE*>(CoTaskMemAlloc(pmtSource->cbFormat));
            if (pBlock == nullptr) {
                hr = E_OUTOFMEMORY;
            }
        }
        if (FAILED(hr)) {
            // No block and no reference taken: clear both so a later
            // FreeMediaType releases nothing it does not own.
            pmtTarget->cbFormat = 0;
            pmtTarget->pbFormat = nullptr;
            pmtTarget->pUnk = nullptr;
            return hr;
        }
        std::memcpy(pBlock, pmtSource->pbFormat, pmtSource->cbFormat);
        pmtTarget->pbFormat = pBlock;
    }
    if (pmtTarget->pUnk != nullptr) {
        pmtTarget->pUnk->AddRef();
    }
    return S_OK;
}

void FreeMediaType(AM_MEDIA_TYPE& mt) {
    if (mt.cbFormat != 0) {
        CoTaskMemFree(mt.pbFormat);
        mt.cbFormat = 0;
        mt.pbFormat = nullptr;
    }
    ReleaseAndClear(mt.pUnk);
}

AM_MEDIA_TYPE* CreateMediaType(const AM_MEDIA_TYPE* pSrc) {
    AM_MEDIA_TYPE* pmt = static_cast<AM_MEDIA_TYPE*>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
    if (pmt == nullptr) {
        return nullptr;
    }
    if (FAILED(CopyMediaType(pmt, pSrc))) {
        CoTaskMemFree(pmt);  // the failed copy owns nothing
        return nullptr;
    }
    return pmt;
}

void DeleteMediaType(AM_MEDIA_TYPE* pmt) {
    if (pmt == nullptr) {
        return;
    }
    FreeMediaType(*pmt);
    CoTaskMemFree(pmt);
}

DWORD GetBitmapSize(const BITMAPINFOHEADER* pHeader) {
    // 32-bit unsigned arithmetic throughout; the magnitude of the height is
    // taken without signed overflow.
    DWORD rowBytes = ((static_cast<DWORD>(pHeader->biWidth) * pHeader->biBitCount + 31) / 32) * 4;
    DWORD height = pHeader->biHeight < 0 ? 0u - static_cast<DWORD>(pHeader->biHeight)
                                         : static_cast<DWORD>(pHeader->biHeight);
    return rowBytes * height;
}

GUID GetBitmapSubtype(const BITMAPINFOHEADER* pHeader) {
    if (pHeader->biCompression != BI_RGB && pHeader->biCompression != BI_BITFIELDS) {
        return FourCCSubtype(pHeader->biCompression);
    }
    switch (pHeader->biBitCount) {
        case 1:
            return MEDIASUBTYPE_RGB1;
        case 4:
            return MEDIASUBTYPE_RGB4;
        case 8:
            return MEDIASUBTYPE_RGB8;
        case 16:
            return Subtype16(pHeader);
        case 24:
            return MEDIASUBTYPE_RGB24;
        case 32:
            return MEDIASUBTYPE_RGB32;
        default:
            return GUID_NULL;
    }
}
