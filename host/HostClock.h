// The host graph's reference clock: the system's monotonic clock in 100-ns
// units. Any thread may call any method; GetTime takes no lock.
#pragma once

#include "platform/ComObject.h"

class CHostClock final : public CComObject<ComInterface<IReferenceClock, IID_IReferenceClock>> {
public:
    // A new clock with one reference for the caller.
    static HRESULT Create(CHostClock** ppClock);

    // The current reference time, for host code that does not go through COM.
    static REFERENCE_TIME Now();

    STDMETHODIMP GetTime(REFERENCE_TIME* pTime) override;
    // Advise requests are not served: nothing in the system asks for them.
    STDMETHODIMP AdviseTime(REFERENCE_TIME baseTime, REFERENCE_TIME streamTime, HEVENT hEvent,
                            DWORD_PTR* pdwAdviseCookie) override;
    STDMETHODIMP AdvisePeriodic(REFERENCE_TIME startTime, REFERENCE_TIME periodTime, HSEMAPHORE hSemaphore,
                                DWORD_PTR* pdwAdviseCookie) override;
    STDMETHODIMP Unadvise(DWORD_PTR dwAdviseCookie) override;

private:
    CHostClock() = default;
    ~CHostClock() override = default;
};
