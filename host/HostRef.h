// An owning COM reference for host code and its tests: one reference held,
// released on destruction. Explicit verbs: Attach takes over a reference
// without AddRef, Put releases the old one and hands out the slot for an
// out-parameter, Detach gives the reference away. No implicit conversion.
#pragma once

#include "platform/platform.h"

template <class T>
class CHostRef {
public:
    CHostRef() = default;
    // Takes a reference of its own on p.
    explicit CHostRef(T* p) : m_p(p) {
        if (m_p) m_p->AddRef();
    }
    CHostRef(const CHostRef&) = delete;
    CHostRef& operator=(const CHostRef&) = delete;
    CHostRef(CHostRef&& other) noexcept : m_p(other.Detach()) {}
    CHostRef& operator=(CHostRef&& other) noexcept {
        if (this != &other) Attach(other.Detach());
        return *this;
    }
    ~CHostRef() { Reset(); }

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
    T* Get() const { return m_p; }
    T* operator->() const { return m_p; }
    explicit operator bool() const { return m_p != nullptr; }

    // QueryInterface into another holder; the HRESULT is the caller's to check.
    template <class U>
    HRESULT As(REFIID riid, CHostRef<U>* out) const {
        if (!m_p) return E_POINTER;
        return m_p->QueryInterface(riid, out->PutVoid());
    }

private:
    T* m_p = nullptr;
};
