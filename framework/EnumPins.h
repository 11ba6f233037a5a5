// CEnumPins: IEnumPins over a filter's pins, read live position by position.
// A change of the filter's pin version makes Skip and Clone fail with
// VFW_E_ENUM_OUT_OF_SYNC; Next re-synchronises by itself and, through its
// cache of pins already handed out since the last Reset, never returns a pin
// twice.
//
// Lifetime: created with one reference (CComObject); holds one reference on
// the filter (so the filter, and the module, stay while it lives). Not a
// CUnknown.
// Threads: no lock of its own; one client at a time per enumerator. The
// filter's GetPinCount/GetPin take the filter lock per call. Release may come
// from any thread.
#pragma once

#include "media/PointerList.h"
#include "platform/ComObject.h"
#include "platform/ComRef.h"

class CBaseFilter;
class CBasePin;

class CEnumPins final : public CComObject<ComInterface<IEnumPins, IID_IEnumPins>> {
public:
    // From pEnumPins (a clone) when given: same position, version and cache.
    CEnumPins(CBaseFilter* pFilter, CEnumPins* pEnumPins);

    STDMETHODIMP Next(ULONG cPins, IPin** ppPins, ULONG* pcFetched) override;
    STDMETHODIMP Skip(ULONG cPins) override;
    STDMETHODIMP Reset() override;
    STDMETHODIMP Clone(IEnumPins** ppEnum) override;

private:
    ~CEnumPins() override;
    bool AreWeOutOfSync() const;
    void Resync();

    int m_Position;                      // index of the next pin
    int m_PinCount;                      // the filter's count when last synchronised
    const CComRef<CBaseFilter> m_pFilter;
    LONG m_Version;                      // the filter's pin version when last synchronised
    CPointerList<CBasePin> m_PinCache;   // pins handed out since the last Reset
};
