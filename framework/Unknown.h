// The object base of the framework: the module-wide count of live objects,
// CBaseObject that keeps it, and CUnknown, the aggregatable COM identity that
// filters, pins and allocators derive from.
//
// Threading: any thread may create, AddRef and Release these objects (host
// threads and the framework's worker threads); the counts are changed only with
// interlocked operations. CUnknown holds no lock.
#pragma once

#include "platform/platform.h"

// The framework's own three-method interface: the IUnknown of an object as
// seen by its owner. An aggregated object answers IUnknown calls from outside
// by forwarding to its owner, and these from the owner itself.
struct INonDelegatingUnknown {
    STDMETHOD(NonDelegatingQueryInterface)(REFIID riid, void** ppv) PURE;
    STDMETHOD_(ULONG, NonDelegatingAddRef)() PURE;
    STDMETHOD_(ULONG, NonDelegatingRelease)() PURE;
};
typedef INonDelegatingUnknown* PNDUNKNOWN;

// Counts itself in the module's active-object count for its whole life, so that
// DllCanUnloadNow refuses while any object (class factories included) exists.
class CBaseObject {
public:
    explicit CBaseObject(LPCWSTR pName = nullptr);
    ~CBaseObject();
    CBaseObject(const CBaseObject&) = delete;
    CBaseObject& operator=(const CBaseObject&) = delete;

    // Number of CBaseObject-derived objects alive in this module.
    static LONG ObjectsActive();
};

// The module's own instance handle, recorded by DllEntryPoint at attach
// (registration reads it to find the module's file name).
extern HINSTANCE g_hInst;

class CUnknown : public INonDelegatingUnknown, public CBaseObject {
public:
    // pUnk is the outer object when aggregated, else null (the object is its
    // own owner). The name is for diagnostics only and is not stored.
    CUnknown(LPCWSTR pName, LPUNKNOWN pUnk);
    // Same; for derived constructors that report failure through phr (this
    // base never fails and leaves *phr alone).
    CUnknown(LPCWSTR pName, LPUNKNOWN pUnk, HRESULT* phr);
    virtual ~CUnknown();

    STDMETHODIMP NonDelegatingQueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) NonDelegatingAddRef() override;
    STDMETHODIMP_(ULONG) NonDelegatingRelease() override;

    // Where this object's interfaces forward QueryInterface, AddRef and
    // Release: the outer object, or this object's own non-delegating unknown.
    LPUNKNOWN GetOwner() const { return m_pUnknown; }
    // This object's non-delegating unknown as an IUnknown: the identity that
    // IID_IUnknown hands out and that an aggregating outer object holds.
    LPUNKNOWN GetNonDelegatingUnknown() { return &m_Self; }

protected:
    // The object's own reference count; interlocked access only.
    LONG volatile m_cRef = 0;

private:
    // The class factory destroys an object that reported a failure at birth;
    // it raises the count first, as NonDelegatingRelease does, so that a
    // destructor that takes and drops a reference cannot delete it again.
    friend class CClassFactory;

    // A real IUnknown over the NonDelegating methods, so that the identity
    // handed out is a proper IUnknown object rather than a reinterpreted
    // INonDelegatingUnknown.
    class CSelf final : public IUnknown {
    public:
        explicit CSelf(CUnknown* pObject) : m_pObject(pObject) {}
        STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
            return m_pObject->NonDelegatingQueryInterface(riid, ppv);
        }
        STDMETHODIMP_(ULONG) AddRef() override { return m_pObject->NonDelegatingAddRef(); }
        STDMETHODIMP_(ULONG) Release() override { return m_pObject->NonDelegatingRelease(); }

    private:
        CUnknown* const m_pObject;  // the enclosing object; not counted (it is us)
    };

    CSelf m_Self;
    LPUNKNOWN const m_pUnknown;  // not counted: the outer owns us, or it is m_Self
};

// Hands out an interface: stores pUnk in *ppv and AddRefs that same pointer, so
// the reference is counted where that interface forwards (its owner).
// E_POINTER for a null ppv.
HRESULT GetInterface(LPUNKNOWN pUnk, void** ppv);

// The three IUnknown methods of an interface implemented by a CUnknown-derived
// class: each forwards to the owner.
#define DECLARE_IUNKNOWN                                                                               \
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {                                   \
        return GetOwner()->QueryInterface(riid, ppv);                                                  \
    }                                                                                                  \
    STDMETHODIMP_(ULONG) AddRef() override { return GetOwner()->AddRef(); }                           \
    STDMETHODIMP_(ULONG) Release() override { return GetOwner()->Release(); }
