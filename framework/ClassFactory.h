// The class factory of an in-process server built on the framework, its two
// exported entry points and the attach/detach routine that the module's
// DllMain calls. Whoever links the framework into a server defines the
// template table g_Templates with g_cTemplates rows.
//
// Threading: DllGetClassObject, DllCanUnloadNow and the factories may be
// called from any thread; the counts they touch are interlocked. DllEntryPoint
// runs under the loader, once at attach and once at detach.
#pragma once

#include "framework/Setup.h"
#include "framework/Unknown.h"
#include "platform/ComObject.h"

// Builds one object for a class: pUnk is the outer object or null; a failure
// may be reported through *phr while an object is still returned.
typedef CUnknown* (*LPFNNewCOMObject)(LPUNKNOWN pUnk, HRESULT* phr);
// Called for a class at module attach (TRUE) and detach (FALSE).
typedef void (*LPFNInitRoutine)(BOOL bLoading, const CLSID* rclsid);

// One class served by the module.
class CFactoryTemplate {
public:
    const WCHAR* m_Name;                              // display name; the server description
    const CLSID* m_ClsID;                             // looked up by DllGetClassObject
    LPFNNewCOMObject m_lpfnNew;                       // creation function
    LPFNInitRoutine m_lpfnInit;                       // attach/detach routine or null
    const AMOVIESETUP_FILTER* m_pAMovieSetup_Filter;  // filter registration data or null

    BOOL IsClassID(REFCLSID rclsid) const { return IsEqualCLSID(*m_ClsID, rclsid); }
    CUnknown* CreateInstance(LPUNKNOWN pUnk, HRESULT* phr) const { return m_lpfnNew(pUnk, phr); }
};

// Defined by the module (or a test, or the platform's allocator module) that
// links the framework; read on every lookup.
extern CFactoryTemplate g_Templates[];
extern int g_cTemplates;

// The IClassFactory handed out by DllGetClassObject: one new factory per call,
// bound to one template row, created with the one reference it hands out.
// Counts itself as a live object of the module.
class CClassFactory final : public CComObject<ComInterface<IClassFactory, IID_IClassFactory>>, public CBaseObject {
public:
    explicit CClassFactory(const CFactoryTemplate* pTemplate);

    STDMETHODIMP CreateInstance(LPUNKNOWN pUnkOuter, REFIID riid, void** ppv) override;
    STDMETHODIMP LockServer(BOOL fLock) override;

    // Net LockServer(TRUE) calls in this module.
    static LONG ServerLocks();

private:
    ~CClassFactory() override = default;

    const CFactoryTemplate* const m_pTemplate;  // a row of g_Templates; not owned
};

STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, void** ppv);
STDAPI DllCanUnloadNow(void);

// The framework's part of DllMain: records the module handle and runs each
// class's init routine at attach (reason 1) and detach (reason 0). Returns TRUE.
BOOL WINAPI DllEntryPoint(HINSTANCE hInstance, DWORD dwReason, LPVOID lpReserved);
// Calls every template row's init routine, in table order, with bLoading.
void DllInitClasses(BOOL bLoading);
