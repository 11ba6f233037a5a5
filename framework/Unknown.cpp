#include "framework/Unknown.h"

namespace {
// Live CBaseObject-derived objects in this module; interlocked access only.
LONG volatile g_cActiveObjects = 0;

// Counts as the COM convention reports them: never below 1 while the object
// lives (an unsigned comparison, so a wrapped count is reported as is).
ULONG AtLeastOne(LONG count) {
    ULONG value = static_cast<ULONG>(count);
    return value > 1 ? value : 1;
}
}  // namespace

HINSTANCE g_hInst = nullptr;

CBaseObject::CBaseObject(LPCWSTR /*pName*/) { InterlockedIncrement(&g_cActiveObjects); }

CBaseObject::~CBaseObject() { InterlockedDecrement(&g_cActiveObjects); }

LONG CBaseObject::ObjectsActive() { return InterlockedExchangeAdd(&g_cActiveObjects, 0); }

CUnknown::CUnknown(LPCWSTR pName, LPUNKNOWN pUnk)
    : CBaseObject(pName), m_Self(this), m_pUnknown(pUnk != nullptr ? pUnk : &m_Self) {}

CUnknown::CUnknown(LPCWSTR pName, LPUNKNOWN pUnk, HRESULT* /*phr*/) : CUnknown(pName, pUnk) {}

CUnknown::~CUnknown() = default;

STDMETHODIMP CUnknown::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
    if (ppv == nullptr) {
        return E_POINTER;
    }
    if (IsEqualGUID(riid, IID_IUnknown)) {
        return GetInterface(&m_Self, ppv);
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CUnknown::NonDelegatingAddRef() { return AtLeastOne(InterlockedIncrement(&m_cRef)); }

STDMETHODIMP_(ULONG) CUnknown::NonDelegatingRelease() {
    LONG count = InterlockedDecrement(&m_cRef);
    if (count != 0) {
        return AtLeastOne(count);
    }
    // A destructor that takes and drops a reference to itself must not bring
    // the count to zero a second time and delete the object again.
    InterlockedExchange(&m_cRef, 1);
    delete this;
    return 0;
}

HRESULT GetInterface(LPUNKNOWN pUnk, void** ppv) {
    if (ppv == nullptr) {
        return E_POINTER;
    }
    *ppv = pUnk;
    pUnk->AddRef();
    return S_OK;
}
