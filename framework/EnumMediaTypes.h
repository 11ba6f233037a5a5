// CEnumMediaTypes: IEnumMediaTypes over a pin's preferred media types, asked
// of the pin (GetMediaType) position by position. Once the pin's type version
// changes, Next, Skip and Clone fail with VFW_E_ENUM_OUT_OF_SYNC until Reset.
//
// Lifetime: created with one reference; holds one reference on the pin, which
// counts on the pin's filter. Not a CUnknown.
// Threads: no lock of its own; one client at a time per enumerator. The pin's
// GetMediaType takes the filter lock where it needs it. Release may come from
// any thread.
#pragma once

#include <atomic>

#include "platform/platform.h"

class CBasePin;

class CEnumMediaTypes final : public IEnumMediaTypes {
public:
    // From pEnumMediaTypes (a clone) when given: same position and version.
    CEnumMediaTypes(CBasePin* pPin, CEnumMediaTypes* pEnumMediaTypes);
    virtual ~CEnumMediaTypes();
    CEnumMediaTypes(const CEnumMediaTypes&) = delete;
    CEnumMediaTypes& operator=(const CEnumMediaTypes&) = delete;

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // Each type returned is a task-memory record; the caller deletes it.
    STDMETHODIMP Next(ULONG cMediaTypes, AM_MEDIA_TYPE** ppMediaTypes, ULONG* pcFetched) override;
    STDMETHODIMP Skip(ULONG cMediaTypes) override;
    STDMETHODIMP Reset() override;
    STDMETHODIMP Clone(IEnumMediaTypes** ppEnum) override;

private:
    bool AreWeOutOfSync() const;

    int m_Position;              // index of the next type to ask the pin for
    CBasePin* const m_pPin;      // one reference held (through its IPin)
    LONG m_Version;              // the pin's type version when last synchronised
    std::atomic<LONG> m_cRef;
};
