// CMediaSample: one buffer of a framework allocator with the properties that
// travel with its data between pins (times, flags, actual length, an attached
// media type). Implements IMediaSample2.
//
// Threading: a sample is used by one thread at a time, its current borrower;
// only AddRef and Release are interlocked. The last Release hands the sample
// back to its allocator, which takes the allocator's lock. The free-list link
// and the lending count are touched by the allocator only, under its lock.
#pragma once

#include "platform/platform.h"

class CBaseAllocator;

class CMediaSample : public IMediaSample2 {
public:
    // The sample's data lies at pBuffer, length bytes; both fixed for life.
    CMediaSample(CBaseAllocator* pAllocator, LPBYTE pBuffer, LONG length);
    virtual ~CMediaSample();
    CMediaSample(const CMediaSample&) = delete;
    CMediaSample& operator=(const CMediaSample&) = delete;

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    STDMETHODIMP GetPointer(BYTE** ppBuffer) override;
    STDMETHODIMP_(LONG) GetSize() override;
    STDMETHODIMP GetTime(REFERENCE_TIME* pTimeStart, REFERENCE_TIME* pTimeEnd) override;
    STDMETHODIMP SetTime(REFERENCE_TIME* pTimeStart, REFERENCE_TIME* pTimeEnd) override;
    STDMETHODIMP IsSyncPoint() override;
    STDMETHODIMP SetSyncPoint(BOOL bIsSyncPoint) override;
    STDMETHODIMP IsPreroll() override;
    STDMETHODIMP SetPreroll(BOOL bIsPreroll) override;
    STDMETHODIMP_(LONG) GetActualDataLength() override;
    STDMETHODIMP SetActualDataLength(LONG length) override;
    STDMETHODIMP GetMediaType(AM_MEDIA_TYPE** ppMediaType) override;
    STDMETHODIMP SetMediaType(AM_MEDIA_TYPE* pMediaType) override;
    STDMETHODIMP IsDiscontinuity() override;
    STDMETHODIMP SetDiscontinuity(BOOL bDiscontinuity) override;
    STDMETHODIMP GetMediaTime(LONGLONG* pTimeStart, LONGLONG* pTimeEnd) override;
    STDMETHODIMP SetMediaTime(LONGLONG* pTimeStart, LONGLONG* pTimeEnd) override;
    STDMETHODIMP GetProperties(DWORD cbProperties, BYTE* pbProperties) override;
    STDMETHODIMP SetProperties(DWORD cbProperties, const BYTE* pbProperties) override;

    // For the owning allocator only, under its lock. Not stated to the lock
    // checks: they cannot tell that the caller is this sample's allocator.
    CMediaSample* Next() const { return m_pNext; }
    void SetNext(CMediaSample* pNext) { m_pNext = pNext; }
    // Lends a free sample: its count becomes exactly 1.
    void Lend() { InterlockedExchange(&m_cRef, 1); }

private:
    // Media-time validity; private to the sample, never reported or accepted
    // through the property record.
    static const DWORD kMediaTimeValid = 0x20;

    void SetFlag(DWORD flag, BOOL on);
    HRESULT FlagResult(DWORD flag) const { return (m_dwFlags & flag) ? S_OK : S_FALSE; }
    void DetachMediaType();

    DWORD m_dwFlags = 0;
    DWORD m_dwTypeSpecificFlags = 0;
    LPBYTE const m_pBuffer;
    LONG m_lActual;
    LONG const m_cbBuffer;
    CBaseAllocator* const m_pAllocator;  // not counted: it keeps itself alive while samples are lent
    CMediaSample* m_pNext = nullptr;     // free-list link, the allocator's
    REFERENCE_TIME m_Start = 0;
    REFERENCE_TIME m_End = 0;
    LONGLONG m_MediaStart = 0;
    LONG m_MediaEnd = 0;                  // media end minus media start
    AM_MEDIA_TYPE* m_pMediaType = nullptr;  // task memory, owned; set exactly when type-changed
    DWORD m_dwStreamId = AM_STREAM_MEDIA;
    LONG volatile m_cRef = 0;             // 0 while on the free list; interlocked access only
};
