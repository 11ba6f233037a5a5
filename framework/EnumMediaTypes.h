// CEnumMediaTypes: IEnumMediaTypes over a pin's preferred media types, asked
// of the pin (GetMediaType) position by position. Once the pin's type version
// changes, Next, Skip and Clone fail with VFW_E_ENUM_OUT_OF_SYNC until Reset.
//
// Lifetime: created with one reference (CComObject); holds one reference on
// the pin, which counts on the pin's filter. Not a CUnknown.
// Threads: no lock of its own; one client at a time per enumerator. The pin's
// GetMediaType takes the filter lock where it needs it. Release may come from
// any thread.
#pragma once

#include "platform/ComObject.h"
#include "platform/ComRef.h"

class CBasePin;

class CEnumMediaTypes final : public CComObject<ComInterface<IEnumMediaTypes, IID_IEnumMediaTypes>> {
public:
    // From pEnumMediaTypes (a clone) when given: same position and version.
    CEnumMediaTypes(CBasePin* pPin, CEnumMediaTypes* pEnumMediaTypes);

    // Each type returned is a task-memory record; the caller deletes it.
    STDMETHODIMP Next(ULONG cMediaTypes, AM_MEDIA_TYPE** ppMediaTypes, ULONG* pcFetched) override;
    STDMETHODIMP Skip(ULONG cMediaTypes) override;
    STDMETHODIMP Reset() override;
    STDMETHODIMP Clone(IEnumMediaTypes** ppEnum) override;

private:
    ~CEnumMediaTypes() override;
    bool AreWeOutOfSync() const;

    int m_Position;                   // index of the next type to ask the pin for
    const CComRef<CBasePin> m_pPin;   // counts on the pin's filter
    LONG m_Version;                   // the pin's type version when last synchronised
};
