// CFakeUnknown: the IUnknown of the tests' hand-written fakes. QueryInterface
// answers from a table, as CComObject does (platform/ComObject.h); the count
// is there for the tests to read (RefCount). A fake made with new (Heap) is
// deleted when Release brings its count to 0. One that lives on the test's
// stack or inside another object (Held) only counts, from the number it is
// given, so a stray release shows as a wrong count rather than a crash.
//
// Threading: the count is atomic (a sink's streaming thread may count on a
// fake); the rest of each fake is the test's to guard.
#pragma once

#include <atomic>

#include "platform/ComObject.h"

enum class FakeLife { Heap, Held };

template <class... Entries>
class CFakeUnknown : public Entries::Interface... {
public:
    CFakeUnknown(const CFakeUnknown&) = delete;
    CFakeUnknown& operator=(const CFakeUnknown&) = delete;

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        return QueryComInterface<Entries...>(this, riid, ppv);
    }
    STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(++m_cRef); }
    STDMETHODIMP_(ULONG) Release() override {
        const LONG count = --m_cRef;
        if (count == 0 && m_life == FakeLife::Heap) delete this;
        return static_cast<ULONG>(count);
    }

    LONG RefCount() const { return m_cRef; }

protected:
    explicit CFakeUnknown(FakeLife life = FakeLife::Heap, LONG cRef = 1) : m_life(life), m_cRef(cRef) {}
    virtual ~CFakeUnknown() = default;

private:
    const FakeLife m_life;
    std::atomic<LONG> m_cRef;
};
