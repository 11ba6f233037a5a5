#include "media/Allocator.h"

#include <new>
#include <utility>

#include "platform/ComRef.h"

namespace {
// The bytes one buffer occupies: size + prefix rounded up to the alignment.
LONGLONG BufferSpan(LONG size, LONG prefix, LONG alignment) {
    LONGLONG span = static_cast<LONGLONG>(size) + prefix;
    if (alignment > 1 && span % alignment != 0) {
        span += alignment - span % alignment;
    }
    return span;
}

// Blocks larger than this are refused: the block size is a 32-bit quantity.
const LONGLONG kMaxBlock = 0x7FFFFFFF;
}  // namespace

// --- CBaseAllocator ---

CBaseAllocator::CBaseAllocator(LPCWSTR pName, LPUNKNOWN pUnk, HRESULT* phr, BOOL bEvent,
                               BOOL fEnableReleaseCallback)
    : CUnknown(pName, pUnk), m_fEnableReleaseCallback(fEnableReleaseCallback) {
    if (bEvent) {
        m_hSem.Attach(CreateSemaphoreW(nullptr, 0, 0x7FFFFFFF, nullptr));
        if (!m_hSem && phr != nullptr) {
            *phr = E_OUTOFMEMORY;
        }
    }
}

CBaseAllocator::~CBaseAllocator() = default;

STDMETHODIMP CBaseAllocator::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
    if (IsEqualGUID(riid, IID_IMemAllocator)) {
        return GetInterface(static_cast<IMemAllocator*>(this), ppv);
    }
    if (IsEqualGUID(riid, IID_IMemAllocatorCallbackTemp) && m_fEnableReleaseCallback) {
        return GetInterface(static_cast<IMemAllocatorCallbackTemp*>(this), ppv);
    }
    return CUnknown::NonDelegatingQueryInterface(riid, ppv);
}

STDMETHODIMP CBaseAllocator::GetProperties(ALLOCATOR_PROPERTIES* pProps) {
    if (pProps == nullptr) {
        return E_POINTER;
    }
    CAutoLock lock(this);
    pProps->cBuffers = m_lCount;
    pProps->cbBuffer = m_lSize;
    pProps->cbAlign = m_lAlignment;
    pProps->cbPrefix = m_lPrefix;
    return S_OK;
}

HRESULT CBaseAllocator::Alloc() {
    if (m_lCount <= 0 || m_lSize <= 0 || m_lAlignment <= 0 || m_lPrefix < 0) {
        return VFW_E_SIZENOTSET;
    }
    return m_bChanged ? S_OK : S_FALSE;
}

STDMETHODIMP CBaseAllocator::Commit() {
    {
        CAutoLock lock(this);
        if (m_bCommitted) {
            return S_OK;
        }
        m_bCommitted = TRUE;
        if (m_bDecommitInProgress) {
            // The self-reference of the earlier commit is still held.
            m_bDecommitInProgress = FALSE;
            return S_OK;
        }
        HRESULT hr = Alloc();
        if (FAILED(hr)) {
            m_bCommitted = FALSE;
            return hr;
        }
        // Taken before the lock goes, so that a Decommit on another thread
        // can never drop this reference before it exists.
        AddRef();
    }
    return S_OK;
}

void CBaseAllocator::WakeWaiters() {
    if (m_lWaiting != 0) {
        ReleaseSemaphore(m_hSem.Get(), m_lWaiting, nullptr);
        m_lWaiting = 0;
    }
}

STDMETHODIMP CBaseAllocator::Decommit() {
    bool dropSelf = false;
    {
        CAutoLock lock(this);
        if (!m_bCommitted && !m_bDecommitInProgress) {
            return S_OK;
        }
        m_bCommitted = FALSE;
        if (m_lFree < m_lAllocated) {
            m_bDecommitInProgress = TRUE;
        } else {
            dropSelf = true;
            m_bDecommitInProgress = FALSE;
            Free();
        }
        WakeWaiters();
    }
    if (dropSelf) {
        Release();
    }
    return S_OK;
}

void CBaseAllocator::PushFree(CMediaSample* pSample) {
    pSample->SetNext(m_pFreeHead);
    m_pFreeHead = pSample;
    m_lFree++;
}

CMediaSample* CBaseAllocator::PopFree() {
    CMediaSample* pSample = m_pFreeHead;
    if (pSample != nullptr) {
        m_pFreeHead = pSample->Next();
        m_lFree--;
    }
    return pSample;
}

STDMETHODIMP CBaseAllocator::GetBuffer(IMediaSample** ppBuffer, REFERENCE_TIME* /*pStartTime*/,
                                       REFERENCE_TIME* /*pEndTime*/, DWORD dwFlags) {
    if (ppBuffer == nullptr) {
        return E_POINTER;
    }
    *ppBuffer = nullptr;
    for (;;) {
        CMediaSample* pSample = nullptr;
        {
            CAutoLock lock(this);
            if (!m_bCommitted) {
                return VFW_E_NOT_COMMITTED;
            }
            pSample = PopFree();
            if (pSample == nullptr) {
                // Without a semaphore nobody could wake us: only a pool that
                // can wait registers a waiter.
                if (!m_hSem) {
                    return VFW_E_TIMEOUT;
                }
                m_lWaiting++;
            }
        }
        if (pSample != nullptr) {
            pSample->Lend();
            *ppBuffer = pSample;
            return S_OK;
        }
        if (dwFlags & AM_GBF_NOWAIT) {
            return VFW_E_TIMEOUT;
        }
        // Woken by a returned sample or by Decommit; a wait that fails would
        // otherwise spin here.
        if (WaitForSingleObject(m_hSem.Get(), INFINITE) != WAIT_OBJECT_0) {
            return E_UNEXPECTED;
        }
    }
}

STDMETHODIMP CBaseAllocator::ReleaseBuffer(IMediaSample* pBuffer) {
    if (pBuffer == nullptr) {
        return E_POINTER;
    }
    bool dropSelf = false;
    // One counted reference to the notify callback for the duration of the
    // call, so a concurrent SetNotify cannot release it under us.
    CComRef<IMemAllocatorNotifyCallbackTemp> notify;
    {
        CAutoLock lock(this);
        PushFree(static_cast<CMediaSample*>(pBuffer));
        WakeWaiters();
        if (m_bDecommitInProgress && m_lFree == m_lAllocated) {
            Free();
            m_bDecommitInProgress = FALSE;
            dropSelf = true;
        }
        notify = CComRef<IMemAllocatorNotifyCallbackTemp>(m_pNotify.Get());
    }
    if (notify) {
        notify->NotifyRelease();
    }
    if (dropSelf) {
        Release();
    }
    return S_OK;
}

STDMETHODIMP CBaseAllocator::SetNotify(IMemAllocatorNotifyCallbackTemp* pNotify) {
    // The old callback is released after the lock, once the new one is counted.
    CComRef<IMemAllocatorNotifyCallbackTemp> old;
    {
        CAutoLock lock(this);
        old = std::move(m_pNotify);
        m_pNotify = CComRef<IMemAllocatorNotifyCallbackTemp>(pNotify);
    }
    return S_OK;
}

STDMETHODIMP CBaseAllocator::GetFreeCount(LONG* plBuffersFree) {
    if (plBuffersFree == nullptr) {
        return E_POINTER;
    }
    CAutoLock lock(this);
    *plBuffersFree = m_lCount - m_lAllocated + m_lFree;
    return S_OK;
}

// --- CMemAllocator ---

CMemAllocator::CMemAllocator(LPCWSTR pName, LPUNKNOWN pUnk, HRESULT* phr)
    : CBaseAllocator(pName, pUnk, phr, TRUE, TRUE) {}

CMemAllocator::~CMemAllocator() {
    Decommit();
    CAutoLock lock(this);
    ReallyFree();
}

CUnknown* CMemAllocator::CreateInstance(LPUNKNOWN pUnk, HRESULT* phr) {
    return new (std::nothrow) CMemAllocator(L"CMemAllocator", pUnk, phr);
}

STDMETHODIMP CMemAllocator::SetProperties(ALLOCATOR_PROPERTIES* pRequest, ALLOCATOR_PROPERTIES* pActual) {
    if (pActual == nullptr || pRequest == nullptr) {
        return E_POINTER;
    }
    CAutoLock lock(this);
    *pActual = ALLOCATOR_PROPERTIES{0, 0, 0, 0};

    SYSTEM_INFO info;
    GetSystemInfo(&info);
    const DWORD alignment = static_cast<DWORD>(pRequest->cbAlign);
    if (alignment == 0 || (info.dwAllocationGranularity & (alignment - 1)) != 0) {
        return VFW_E_BADALIGN;
    }
    if (m_bCommitted) {
        return VFW_E_ALREADY_COMMITTED;
    }
    if (m_lFree < m_lAllocated) {
        return VFW_E_BUFFERS_OUTSTANDING;
    }
    // A rounded size that does not fit the 32-bit properties cannot be
    // allocated: refuse it here rather than store a wrapped size.
    const LONGLONG span = BufferSpan(pRequest->cbBuffer, pRequest->cbPrefix, pRequest->cbAlign);
    const LONGLONG size = span - pRequest->cbPrefix;
    if (span > kMaxBlock || size > kMaxBlock) {
        return E_OUTOFMEMORY;
    }
    m_lSize = static_cast<LONG>(size);
    m_lCount = pRequest->cBuffers;
    m_lAlignment = pRequest->cbAlign;
    m_lPrefix = pRequest->cbPrefix;
    m_bChanged = TRUE;
    return GetProperties(pActual);
}

HRESULT CMemAllocator::Alloc() {
    HRESULT hr = CBaseAllocator::Alloc();
    if (FAILED(hr)) {
        return hr;
    }
    if (hr == S_FALSE && m_pBuffer != nullptr) {
        return S_OK;
    }
    ReallyFree();

    // The block is refused, never allocated short, when it does not fit.
    const LONGLONG span = BufferSpan(m_lSize, m_lPrefix, m_lAlignment);
    const LONGLONG total = span * m_lCount;
    if (span > kMaxBlock || total > kMaxBlock) {
        return E_OUTOFMEMORY;
    }
    m_pBuffer = static_cast<LPBYTE>(VirtualAlloc(nullptr, static_cast<SIZE_T>(total), MEM_COMMIT, PAGE_READWRITE));
    if (m_pBuffer == nullptr) {
        return E_OUTOFMEMORY;
    }
    for (LONG i = m_lAllocated; i < m_lCount; i++) {
        CMediaSample* pSample =
            new (std::nothrow) CMediaSample(this, m_pBuffer + static_cast<SIZE_T>(span) * i + m_lPrefix, m_lSize);
        if (pSample == nullptr) {
            return E_OUTOFMEMORY;
        }
        PushFree(pSample);
        m_lAllocated++;
    }
    m_bChanged = FALSE;
    return S_OK;
}

void CMemAllocator::ReallyFree() {
    while (CMediaSample* pSample = PopFree()) {
        delete pSample;
    }
    m_lAllocated = 0;
    if (m_pBuffer != nullptr) {
        VirtualFree(m_pBuffer, 0, MEM_RELEASE);
        m_pBuffer = nullptr;
    }
}
