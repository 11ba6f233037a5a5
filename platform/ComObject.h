// CComObject: the IUnknown of our own small COM classes (a host's graph,
// clock and sink, enumerators, class factories, the stand-in's filter
// mappers). An atomic count that starts at 1 for the creator, deletion when
// Release brings it to 0, and QueryInterface from a table of interfaces.
//
// Each entry of the table is one interface the object derives from and every
// interface id it answers with it (its own and its bases'). IID_IUnknown
// answers with the first entry, so the object has one identity:
//
//   class CClock final : public CComObject<ComInterface<IReferenceClock, IID_IReferenceClock>> {...};
//   class CSink final : public CComObject<ComInterface<IBaseFilter, IID_IBaseFilter, IID_IMediaFilter,
//                                                      IID_IPersist>> {...};
//
// Objects built on the framework's CUnknown count through it instead (they
// may be aggregated); media samples and allocators keep their own counting.
//
// Threading: AddRef, Release and QueryInterface from any thread.
#pragma once

#include <atomic>

#include "platform/platform.h"

// One row of the table: interface I, answered for each of iids.
template <class I, const IID&... iids>
struct ComInterface {
    using Interface = I;
    static bool Answers(REFIID riid) { return ((riid == iids) || ...); }
};

// The table's search: object's interface for riid (IID_IUnknown: the first
// entry's), or null.
template <class First, class... Rest, class Object>
void* FindComInterface(Object* object, REFIID riid) {
    if (riid == IID_IUnknown || First::Answers(riid)) return static_cast<typename First::Interface*>(object);
    if constexpr (sizeof...(Rest) > 0) {
        return FindComInterface<Rest...>(object, riid);
    } else {
        return nullptr;
    }
}

// QueryInterface through the table, shared with the tests' fakes: the
// interface with a reference added, or E_NOINTERFACE and a null out pointer.
template <class... Entries, class Object>
HRESULT QueryComInterface(Object* object, REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = FindComInterface<Entries...>(object, riid);
    if (!*ppv) return E_NOINTERFACE;
    object->AddRef();
    return S_OK;
}

template <class... Entries>
class CComObject : public Entries::Interface... {
public:
    CComObject(const CComObject&) = delete;
    CComObject& operator=(const CComObject&) = delete;

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        return QueryComInterface<Entries...>(this, riid, ppv);
    }
    STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(++m_cRef); }
    // The value this call's own decrement produced: a re-read could see
    // another thread's change, or an object already deleted.
    STDMETHODIMP_(ULONG) Release() override {
        const LONG count = --m_cRef;
        if (count == 0) delete this;
        return static_cast<ULONG>(count);
    }

protected:
    CComObject() = default;
    virtual ~CComObject() = default;

private:
    std::atomic<LONG> m_cRef{1};
};
