#include "framework/ClassFactory.h"

#include <new>

namespace {
// Net LockServer(TRUE) calls; interlocked, as factories may live on any thread.
LONG volatile g_cServerLocks = 0;

const CFactoryTemplate* FindTemplate(REFCLSID rclsid) {
    for (int i = 0; i < g_cTemplates; i++) {
        if (g_Templates[i].IsClassID(rclsid)) {
            return &g_Templates[i];
        }
    }
    return nullptr;
}
}  // namespace

CClassFactory::CClassFactory(const CFactoryTemplate* pTemplate) : CBaseObject(L"Class factory"), m_pTemplate(pTemplate) {}

LONG CClassFactory::ServerLocks() { return InterlockedExchangeAdd(&g_cServerLocks, 0); }

STDMETHODIMP CClassFactory::CreateInstance(LPUNKNOWN pUnkOuter, REFIID riid, void** ppv) {
    if (ppv == nullptr) {
        return E_POINTER;
    }
    // An aggregated object can only be handed to its outer as its IUnknown.
    if (pUnkOuter != nullptr && !IsEqualGUID(riid, IID_IUnknown)) {
        return E_NOINTERFACE;
    }
    HRESULT hr = S_OK;
    CUnknown* pObject = m_pTemplate->CreateInstance(pUnkOuter, &hr);
    if (pObject == nullptr) {
        return SUCCEEDED(hr) ? E_OUTOFMEMORY : hr;
    }
    if (FAILED(hr)) {
        InterlockedExchange(&pObject->m_cRef, 1);
        delete pObject;
        return hr;
    }
    // The object is born with no references: hold one across the query so a
    // failed query destroys it.
    pObject->NonDelegatingAddRef();
    hr = pObject->NonDelegatingQueryInterface(riid, ppv);
    pObject->NonDelegatingRelease();
    return hr;
}

STDMETHODIMP CClassFactory::LockServer(BOOL fLock) {
    if (fLock) {
        InterlockedIncrement(&g_cServerLocks);
    } else {
        InterlockedDecrement(&g_cServerLocks);
    }
    return S_OK;
}

STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, void** ppv) {
    if (!IsEqualGUID(riid, IID_IUnknown) && !IsEqualGUID(riid, IID_IClassFactory)) {
        return E_NOINTERFACE;
    }
    const CFactoryTemplate* pTemplate = FindTemplate(rclsid);
    if (pTemplate == nullptr) {
        return CLASS_E_CLASSNOTAVAILABLE;
    }
    if (ppv == nullptr) {
        return E_POINTER;
    }
    CClassFactory* pFactory = new (std::nothrow) CClassFactory(pTemplate);
    if (pFactory == nullptr) {
        *ppv = nullptr;
        return E_OUTOFMEMORY;
    }
    *ppv = static_cast<IClassFactory*>(pFactory);
    return S_OK;
}

STDAPI DllCanUnloadNow(void) {
    return (CClassFactory::ServerLocks() > 0 || CBaseObject::ObjectsActive() != 0) ? S_FALSE : S_OK;
}

void DllInitClasses(BOOL bLoading) {
    for (int i = 0; i < g_cTemplates; i++) {
        const CFactoryTemplate& row = g_Templates[i];
        if (row.m_lpfnInit != nullptr) {
            row.m_lpfnInit(bLoading, row.m_ClsID);
        }
    }
}

BOOL WINAPI DllEntryPoint(HINSTANCE hInstance, DWORD dwReason, LPVOID /*lpReserved*/) {
    switch (dwReason) {
    case DLL_PROCESS_ATTACH:
        DisableThreadLibraryCalls(hInstance);
        g_hInst = hInstance;
        DllInitClasses(TRUE);
        break;
    case DLL_PROCESS_DETACH:
        DllInitClasses(FALSE);
        break;
    default:
        break;
    }
    return TRUE;
}
