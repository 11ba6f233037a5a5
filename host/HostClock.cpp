#include "host/HostClock.h"

#include <chrono>
#include <new>

HRESULT CHostClock::Create(CHostClock** ppClock) {
    if (!ppClock) return E_POINTER;
    *ppClock = new (std::nothrow) CHostClock();
    return *ppClock ? S_OK : E_OUTOFMEMORY;
}

REFERENCE_TIME CHostClock::Now() {
    using Units = std::chrono::duration<REFERENCE_TIME, std::ratio<1, 10000000>>;
    return std::chrono::duration_cast<Units>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

STDMETHODIMP CHostClock::GetTime(REFERENCE_TIME* pTime) {
    if (!pTime) return E_POINTER;
    *pTime = Now();
    return S_OK;
}

STDMETHODIMP CHostClock::AdviseTime(REFERENCE_TIME, REFERENCE_TIME, HEVENT, DWORD_PTR* pdwAdviseCookie) {
    if (pdwAdviseCookie) *pdwAdviseCookie = 0;
    return E_NOTIMPL;
}

STDMETHODIMP CHostClock::AdvisePeriodic(REFERENCE_TIME, REFERENCE_TIME, HSEMAPHORE, DWORD_PTR* pdwAdviseCookie) {
    if (pdwAdviseCookie) *pdwAdviseCookie = 0;
    return E_NOTIMPL;
}

STDMETHODIMP CHostClock::Unadvise(DWORD_PTR) { return E_NOTIMPL; }
