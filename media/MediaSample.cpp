#include "media/MediaSample.h"

#include <cstddef>
#include <cstring>

#include "framework/Unknown.h"
#include "media/Allocator.h"
#include "media/MediaType.h"

namespace {
// Where a field of the property record ends; a field counts as given when the
// caller's record reaches its end.
#define FIELD_END(field) (offsetof(AM_SAMPLE2_PROPERTIES, field) + sizeof(AM_SAMPLE2_PROPERTIES::field))

// The flags a caller may set through the property record.
const DWORD kSettableFlags = AM_SAMPLE_SPLICEPOINT | AM_SAMPLE_PREROLL | AM_SAMPLE_DATADISCONTINUITY |
                             AM_SAMPLE_TYPECHANGED | AM_SAMPLE_TIMEVALID | AM_SAMPLE_TIMEDISCONTINUITY |
                             AM_SAMPLE_FLUSH_ON_PAUSE | AM_SAMPLE_STOPVALID;
}  // namespace

CMediaSample::CMediaSample(CBaseAllocator* pAllocator, LPBYTE pBuffer, LONG length)
    : m_pBuffer(pBuffer), m_lActual(length), m_cbBuffer(length), m_pAllocator(pAllocator) {}

CMediaSample::~CMediaSample() { DeleteMediaType(m_pMediaType); }

STDMETHODIMP CMediaSample::QueryInterface(REFIID riid, void** ppv) {
    if (IsEqualGUID(riid, IID_IMediaSample) || IsEqualGUID(riid, IID_IMediaSample2) ||
        IsEqualGUID(riid, IID_IUnknown)) {
        return GetInterface(static_cast<IMediaSample2*>(this), ppv);
    }
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CMediaSample::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&m_cRef)); }

STDMETHODIMP_(ULONG) CMediaSample::Release() {
    LONG count = InterlockedDecrement(&m_cRef);
    if (count != 0) {
        return static_cast<ULONG>(count);
    }
    // The next borrower starts clean: no type, no flags, no stream id.
    DetachMediaType();
    m_dwFlags = 0;
    m_dwTypeSpecificFlags = 0;
    m_dwStreamId = AM_STREAM_MEDIA;
    m_pAllocator->ReleaseBuffer(this);
    return 0;
}

STDMETHODIMP CMediaSample::GetPointer(BYTE** ppBuffer) {
    if (ppBuffer == nullptr) {
        return E_POINTER;
    }
    *ppBuffer = m_pBuffer;
    return S_OK;
}

STDMETHODIMP_(LONG) CMediaSample::GetSize() { return m_cbBuffer; }

STDMETHODIMP CMediaSample::GetTime(REFERENCE_TIME* pTimeStart, REFERENCE_TIME* pTimeEnd) {
    if (pTimeStart == nullptr || pTimeEnd == nullptr) {
        return E_POINTER;
    }
    if (m_dwFlags & AM_SAMPLE_STOPVALID) {
        *pTimeStart = m_Start;
        *pTimeEnd = m_End;
        return S_OK;
    }
    if (m_dwFlags & AM_SAMPLE_TIMEVALID) {
        *pTimeStart = m_Start;
        *pTimeEnd = m_Start + 1;
        return VFW_S_NO_STOP_TIME;
    }
    return VFW_E_SAMPLE_TIME_NOT_SET;
}

STDMETHODIMP CMediaSample::SetTime(REFERENCE_TIME* pTimeStart, REFERENCE_TIME* pTimeEnd) {
    if (pTimeStart == nullptr) {
        m_dwFlags &= ~(AM_SAMPLE_TIMEVALID | AM_SAMPLE_STOPVALID);
        return S_OK;
    }
    m_Start = *pTimeStart;
    m_dwFlags |= AM_SAMPLE_TIMEVALID;
    if (pTimeEnd == nullptr) {
        m_dwFlags &= ~AM_SAMPLE_STOPVALID;
    } else {
        m_End = *pTimeEnd;
        m_dwFlags |= AM_SAMPLE_STOPVALID;
    }
    return S_OK;
}

void CMediaSample::SetFlag(DWORD flag, BOOL on) {
    if (on) {
        m_dwFlags |= flag;
    } else {
        m_dwFlags &= ~flag;
    }
}

STDMETHODIMP CMediaSample::IsSyncPoint() { return FlagResult(AM_SAMPLE_SPLICEPOINT); }

STDMETHODIMP CMediaSample::SetSyncPoint(BOOL bIsSyncPoint) {
    SetFlag(AM_SAMPLE_SPLICEPOINT, bIsSyncPoint);
    return S_OK;
}

STDMETHODIMP CMediaSample::IsPreroll() { return FlagResult(AM_SAMPLE_PREROLL); }

STDMETHODIMP CMediaSample::SetPreroll(BOOL bIsPreroll) {
    SetFlag(AM_SAMPLE_PREROLL, bIsPreroll);
    return S_OK;
}

STDMETHODIMP_(LONG) CMediaSample::GetActualDataLength() { return m_lActual; }

STDMETHODIMP CMediaSample::SetActualDataLength(LONG length) {
    if (length > m_cbBuffer) {
        return VFW_E_BUFFER_OVERFLOW;
    }
    m_lActual = length;
    return S_OK;
}

STDMETHODIMP CMediaSample::GetMediaType(AM_MEDIA_TYPE** ppMediaType) {
    if (ppMediaType == nullptr) {
        return E_POINTER;
    }
    if (!(m_dwFlags & AM_SAMPLE_TYPECHANGED)) {
        *ppMediaType = nullptr;
        return S_FALSE;
    }
    *ppMediaType = CreateMediaType(m_pMediaType);
    return *ppMediaType != nullptr ? S_OK : E_OUTOFMEMORY;
}

void CMediaSample::DetachMediaType() {
    DeleteMediaType(m_pMediaType);
    m_pMediaType = nullptr;
    m_dwFlags &= ~AM_SAMPLE_TYPECHANGED;
}

STDMETHODIMP CMediaSample::SetMediaType(AM_MEDIA_TYPE* pMediaType) {
    DetachMediaType();
    if (pMediaType == nullptr) {
        return S_OK;
    }
    m_pMediaType = CreateMediaType(pMediaType);
    if (m_pMediaType == nullptr) {
        return E_OUTOFMEMORY;
    }
    m_dwFlags |= AM_SAMPLE_TYPECHANGED;
    return S_OK;
}

STDMETHODIMP CMediaSample::IsDiscontinuity() { return FlagResult(AM_SAMPLE_DATADISCONTINUITY); }

STDMETHODIMP CMediaSample::SetDiscontinuity(BOOL bDiscontinuity) {
    SetFlag(AM_SAMPLE_DATADISCONTINUITY, bDiscontinuity);
    return S_OK;
}

STDMETHODIMP CMediaSample::GetMediaTime(LONGLONG* pTimeStart, LONGLONG* pTimeEnd) {
    if (pTimeStart == nullptr || pTimeEnd == nullptr) {
        return E_POINTER;
    }
    if (!(m_dwFlags & kMediaTimeValid)) {
        return VFW_E_MEDIA_TIME_NOT_SET;
    }
    *pTimeStart = m_MediaStart;
    *pTimeEnd = m_MediaStart + static_cast<LONGLONG>(m_MediaEnd);
    return S_OK;
}

STDMETHODIMP CMediaSample::SetMediaTime(LONGLONG* pTimeStart, LONGLONG* pTimeEnd) {
    if (pTimeStart == nullptr) {
        m_dwFlags &= ~kMediaTimeValid;
        return S_OK;
    }
    if (pTimeEnd == nullptr) {
        return E_POINTER;
    }
    m_MediaStart = *pTimeStart;
    // The end is kept as a 32-bit delta: the low halves' difference.
    m_MediaEnd = static_cast<LONG>(static_cast<DWORD>(*pTimeEnd) - static_cast<DWORD>(*pTimeStart));
    m_dwFlags |= kMediaTimeValid;
    return S_OK;
}

STDMETHODIMP CMediaSample::GetProperties(DWORD cbProperties, BYTE* pbProperties) {
    if (cbProperties == 0) {
        return S_OK;
    }
    if (pbProperties == nullptr) {
        return E_POINTER;
    }
    AM_SAMPLE2_PROPERTIES props;
    std::memset(&props, 0, sizeof(props));
    const DWORD cbData = cbProperties < sizeof(props) ? cbProperties : static_cast<DWORD>(sizeof(props));
    props.cbData = cbData;
    props.dwTypeSpecificFlags = m_dwTypeSpecificFlags;
    props.dwSampleFlags = m_dwFlags & ~kMediaTimeValid;
    props.lActual = m_lActual;
    props.tStart = m_Start;
    props.tStop = m_End;
    props.dwStreamId = m_dwStreamId;
    props.pMediaType = (m_dwFlags & AM_SAMPLE_TYPECHANGED) ? m_pMediaType : nullptr;
    props.pbBuffer = m_pBuffer;
    props.cbBuffer = m_cbBuffer;
    std::memcpy(pbProperties, &props, cbData);
    return S_OK;
}

STDMETHODIMP CMediaSample::SetProperties(DWORD cbProperties, const BYTE* pbProperties) {
    if (cbProperties < sizeof(DWORD)) {
        return S_OK;
    }
    if (pbProperties == nullptr) {
        return E_POINTER;
    }
    // Read no more of the caller's record than it says it holds.
    AM_SAMPLE2_PROPERTIES props;
    std::memset(&props, 0, sizeof(props));
    std::memcpy(&props, pbProperties, cbProperties < sizeof(props) ? cbProperties : sizeof(props));
    const size_t n = cbProperties < props.cbData ? cbProperties : props.cbData;
    if (n > sizeof(props) || props.cbData > sizeof(props)) {
        return E_INVALIDARG;
    }
    const bool hasFlags = n >= FIELD_END(dwSampleFlags);
    const bool hasTimes = n >= FIELD_END(tStop);
    if (hasFlags) {
        if (props.dwSampleFlags & ~kSettableFlags) {
            return E_INVALIDARG;
        }
        if ((props.dwSampleFlags & AM_SAMPLE_TIMEVALID) && !(m_dwFlags & AM_SAMPLE_TIMEVALID) && !hasTimes) {
            return E_INVALIDARG;
        }
    }
    if (n >= FIELD_END(pbBuffer) && props.pbBuffer != nullptr && props.pbBuffer != m_pBuffer) {
        return E_INVALIDARG;
    }
    if (n >= FIELD_END(cbBuffer) &&
        ((props.cbBuffer != 0 && props.cbBuffer != m_cbBuffer) || props.cbBuffer < props.lActual)) {
        return E_INVALIDARG;
    }
    // A length beyond the buffer would let a reader run past its end.
    if (n >= FIELD_END(lActual) && props.lActual > m_cbBuffer) {
        return E_INVALIDARG;
    }
    AM_MEDIA_TYPE* pNewType = nullptr;
    if (n >= FIELD_END(pMediaType) && (props.dwSampleFlags & AM_SAMPLE_TYPECHANGED)) {
        if (props.pMediaType == nullptr) {
            return E_POINTER;
        }
        pNewType = CreateMediaType(props.pMediaType);
        if (pNewType == nullptr) {
            return E_OUTOFMEMORY;
        }
    }

    if (n >= FIELD_END(dwStreamId)) {
        m_dwStreamId = props.dwStreamId;
    }
    if (hasFlags) {
        m_dwFlags = (m_dwFlags & kMediaTimeValid) | props.dwSampleFlags;
        m_dwTypeSpecificFlags = props.dwTypeSpecificFlags;
    } else if (n >= FIELD_END(dwTypeSpecificFlags)) {
        m_dwTypeSpecificFlags = props.dwTypeSpecificFlags;
    }
    if (n >= FIELD_END(lActual)) {
        m_lActual = props.lActual;
    }
    if (hasTimes) {
        m_End = props.tStop;
    }
    if (n >= FIELD_END(tStart)) {
        m_Start = props.tStart;
    }
    if (pNewType != nullptr) {
        DeleteMediaType(m_pMediaType);
        m_pMediaType = pNewType;
    }
    if (m_pMediaType != nullptr) {
        m_dwFlags |= AM_SAMPLE_TYPECHANGED;
    } else {
        m_dwFlags &= ~AM_SAMPLE_TYPECHANGED;
    }
    return S_OK;
}
