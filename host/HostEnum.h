// The IUnknown part of the host's small enumerators: the enumerator interface
// I (answered for iid and for IUnknown), a count that starts at 1, and
// deletion when it reaches 0.
//
// Threading: AddRef and Release from any thread (the count is atomic); the
// enumerating methods belong to the derived class and serve one client at a
// time, as enumerators do.
#pragma once

#include <atomic>

#include "platform/platform.h"

template <class I>
class CHostEnum : public I {
public:
    explicit CHostEnum(REFIID iid) : m_iid(iid) {}
    CHostEnum(const CHostEnum&) = delete;
    CHostEnum& operator=(const CHostEnum&) = delete;

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        if (riid == IID_IUnknown || riid == m_iid) {
            *ppv = static_cast<I*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++m_cRef; }
    STDMETHODIMP_(ULONG) Release() override {
        const ULONG count = --m_cRef;
        if (count == 0) delete this;
        return count;
    }

protected:
    virtual ~CHostEnum() = default;

private:
    const IID m_iid;
    std::atomic<ULONG> m_cRef{1};
};
