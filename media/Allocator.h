// CBaseAllocator: a pool of a fixed number of equal buffers (media samples)
// that a producer borrows one at a time and that return themselves on their
// last Release; GetBuffer blocks while the pool is empty. CMemAllocator backs
// the pool with one block of page memory carved into buffers.
//
// Threading: any thread may call any method. The allocator's own lock (it is a
// CCritSec) guards every member below but the semaphore handle, which is set
// at construction and only read after; GetBuffer waits on the semaphore
// outside the lock; the notify callback and the final self-release run outside it.
// A sample's return (ReleaseBuffer) may come on any thread.
// Lifetime: a committed pool, or a decommit waiting for lent samples, holds
// one reference on the allocator itself, so samples never outlive it.
#pragma once

#include "framework/Unknown.h"
#include "media/CritSec.h"
#include "media/MediaSample.h"
#include "platform/ComRef.h"
#include "platform/Handle.h"

class CBaseAllocator : public CUnknown, public IMemAllocatorCallbackTemp, public CCritSec {
public:
    // A failed semaphore creation is reported as E_OUTOFMEMORY in *phr.
    CBaseAllocator(LPCWSTR pName, LPUNKNOWN pUnk, HRESULT* phr, BOOL bEvent = TRUE,
                   BOOL fEnableReleaseCallback = FALSE);
    ~CBaseAllocator() override;

    DECLARE_IUNKNOWN
    STDMETHODIMP NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

    STDMETHODIMP GetProperties(ALLOCATOR_PROPERTIES* pProps) override;
    STDMETHODIMP Commit() override;
    STDMETHODIMP Decommit() override;
    STDMETHODIMP GetBuffer(IMediaSample** ppBuffer, REFERENCE_TIME* pStartTime, REFERENCE_TIME* pEndTime,
                           DWORD dwFlags) override;
    // Called by a sample's last Release: the sample goes back on the free list.
    STDMETHODIMP ReleaseBuffer(IMediaSample* pBuffer) override;
    STDMETHODIMP SetNotify(IMemAllocatorNotifyCallbackTemp* pNotify) override;
    STDMETHODIMP GetFreeCount(LONG* plBuffersFree) override;

protected:
    // Releases what Alloc made, or defers that (CMemAllocator keeps its block).
    virtual void Free() REQUIRES(this) = 0;
    // Makes the buffers for the agreed properties. The base only judges them:
    // VFW_E_SIZENOTSET for a count, size or alignment not above 0 (or a
    // negative prefix), S_FALSE when nothing changed since the last
    // allocation, else S_OK.
    virtual HRESULT Alloc() REQUIRES(this);

    // Free-list operations.
    void PushFree(CMediaSample* pSample) REQUIRES(this);
    CMediaSample* PopFree() REQUIRES(this);

    CHandle m_hSem;  // waiters sleep here; null if not created
    CMediaSample* m_pFreeHead GUARDED_BY(this) = nullptr;  // most recently returned free sample
    LONG m_lFree GUARDED_BY(this) = 0;                     // samples on the free list
    LONG m_lWaiting GUARDED_BY(this) = 0;                  // registered waiters not yet signalled
    LONG m_lCount GUARDED_BY(this) = 0;                    // agreed number of buffers
    LONG m_lAllocated GUARDED_BY(this) = 0;                // samples that exist
    LONG m_lSize GUARDED_BY(this) = 0;                     // agreed usable bytes per buffer (rounded)
    LONG m_lAlignment GUARDED_BY(this) = 0;
    LONG m_lPrefix GUARDED_BY(this) = 0;                   // bytes before each buffer's data pointer
    BOOL m_bChanged GUARDED_BY(this) = FALSE;              // properties changed since the last Alloc
    BOOL m_bCommitted GUARDED_BY(this) = FALSE;
    BOOL m_bDecommitInProgress GUARDED_BY(this) = FALSE;   // completes when the last lent sample returns
    CComRef<IMemAllocatorNotifyCallbackTemp> m_pNotify GUARDED_BY(this);
    const BOOL m_fEnableReleaseCallback;

private:
    // Wakes every registered waiter.
    void WakeWaiters() REQUIRES(this);
};

class CMemAllocator final : public CBaseAllocator {
public:
    CMemAllocator(LPCWSTR pName, LPUNKNOWN pUnk, HRESULT* phr);
    ~CMemAllocator() override;

    // The class-factory creation function: a new allocator or null.
    static CUnknown* CreateInstance(LPUNKNOWN pUnk, HRESULT* phr);

    // Rounds cbBuffer + cbPrefix up to the alignment; VFW_E_BADALIGN for an
    // alignment that does not divide the allocation granularity.
    STDMETHODIMP SetProperties(ALLOCATOR_PROPERTIES* pRequest, ALLOCATOR_PROPERTIES* pActual) override;

private:
    // The block and samples survive a decommit and are reused by the next
    // Commit unless the properties changed.
    void Free() override REQUIRES(this) {}
    HRESULT Alloc() override REQUIRES(this);
    // Deletes every sample and releases the block; all samples are free.
    void ReallyFree() REQUIRES(this);

    LPBYTE m_pBuffer GUARDED_BY(this) = nullptr;  // the block (page memory), null when none is held
};
