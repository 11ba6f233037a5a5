// CComRef: an owning COM reference. One reference held, released on
// destruction. Explicit verbs: Attach takes over a reference without AddRef,
// Detach gives it away, Put releases the old one and hands out the slot for an
// out-parameter, CopyTo hands out a counted copy. No implicit conversion to the
// raw pointer. Header-only, on the platform's interfaces alone, so every layer
// (the stand-in, the system code, hosts, tools and tests) holds references the
// same way.
//
// The published interfaces keep raw pointers where they hand references across
// (method parameters, an output pin's allocator and input pin): those stay raw,
// and ReleaseAndClear drops them.
#pragma once

#include "platform/platform.h"

template <class T>
class CComRef {
public:
    CComRef() = default;
    // Takes a reference of its own on p.
    explicit CComRef(T* p) : m_p(p) {
        if (m_p) m_p->AddRef();
    }
    CComRef(const CComRef&) = delete;
    CComRef& operator=(const CComRef&) = delete;
    CComRef(CComRef&& other) noexcept : m_p(other.Detach()) {}
    CComRef& operator=(CComRef&& other) noexcept {
        if (this != &other) Attach(other.Detach());
        return *this;
    }
    ~CComRef() { Reset(); }

    // Takes over a reference the caller already owns.
    void Attach(T* p) {
        Reset();
        m_p = p;
    }
    T* Detach() {
        T* p = m_p;
        m_p = nullptr;
        return p;
    }
    // Cleared before the release: the last release may run code that looks here.
    void Reset() {
        T* p = m_p;
        m_p = nullptr;
        if (p) p->Release();
    }
    // Releases the held reference and returns the slot for an out-parameter.
    T** Put() {
        Reset();
        return &m_p;
    }
    void** PutVoid() { return reinterpret_cast<void**>(Put()); }
    // Hands out a counted copy (null when empty); E_POINTER for a null slot.
    HRESULT CopyTo(T** pp) const {
        if (!pp) return E_POINTER;
        *pp = m_p;
        if (m_p) m_p->AddRef();
        return S_OK;
    }
    T* Get() const { return m_p; }
    T* operator->() const { return m_p; }
    explicit operator bool() const { return m_p != nullptr; }

    // QueryInterface into another holder, which is emptied first and stays
    // empty on failure; the HRESULT is the caller's to check.
    template <class U>
    HRESULT As(REFIID riid, CComRef<U>* out) const {
        void** slot = out->PutVoid();
        if (!m_p) return E_POINTER;
        return m_p->QueryInterface(riid, slot);
    }

private:
    T* m_p = nullptr;
};

// Releases a raw reference the caller owns and clears the pointer (cleared
// first, as Reset does): for the raw pointers the published interfaces keep.
template <class T>
void ReleaseAndClear(T*& p) {
    T* old = p;
    p = nullptr;
    if (old) old->Release();
}
