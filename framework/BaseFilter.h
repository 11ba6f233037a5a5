// CBaseFilter: IBaseFilter (with IMediaFilter and IPersist) and IAMovieSetup
// for every filter of the framework: the stopped/paused/running state machine
// and its fan-out to the connected pins, the reference clock, graph
// membership, the filter's name, event notification and pin enumeration.
//
// Threads: host threads call the interface methods. The stream pins' worker
// threads call NotifyEvent, StreamTime and IsStopped, none of which takes the
// filter lock (a Stop holding the lock waits for those workers).
// Locks, outermost first: *m_pLock (the filter's state lock, owned by the
// derived filter and shared with its pins) orders clock changes among the
// pins' state changes. Stop, Pause and Run hold it across their calls into
// pins, which take it again (it is re-entrant), and may wait for a worker
// there. m_cClockLock and m_cInfoLock are innermost and held only to copy or
// swap a pointer (and count the copy): the first guards the clock, so a
// worker reading the time never waits for a state change; the second the
// name and the graph, so QueryFilterInfo never does either (a sample
// callback may ask it while Stop waits for that callback's thread). Members
// read without a lock are atomics.
#pragma once

#include <atomic>
#include <memory>

#include "framework/Setup.h"
#include "framework/Unknown.h"
#include "media/CritSec.h"
#include "platform/ComRef.h"
#include "platform/platform.h"

class CBasePin;

class CBaseFilter : public CUnknown, public IBaseFilter, public IAMovieSetup {
public:
    CBaseFilter(LPCWSTR pName, LPUNKNOWN pUnk, CCritSec* pLock, REFCLSID clsid);
    ~CBaseFilter() override;

    DECLARE_IUNKNOWN

    STDMETHODIMP NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

    // IPersist
    STDMETHODIMP GetClassID(CLSID* pClsID) override;

    // IMediaFilter
    STDMETHODIMP Stop() override;
    STDMETHODIMP Pause() override;
    STDMETHODIMP Run(REFERENCE_TIME tStart) override;
    STDMETHODIMP GetState(DWORD dwMSecs, FILTER_STATE* State) override;
    STDMETHODIMP SetSyncSource(IReferenceClock* pClock) override;
    STDMETHODIMP GetSyncSource(IReferenceClock** pClock) override;

    // IBaseFilter (FindPin is the derived filter's: it knows its pin ids)
    STDMETHODIMP EnumPins(IEnumPins** ppEnum) override;
    STDMETHODIMP QueryFilterInfo(FILTER_INFO* pInfo) override;
    STDMETHODIMP JoinFilterGraph(IFilterGraph* pGraph, LPCWSTR pName) override;
    STDMETHODIMP QueryVendorInfo(LPWSTR* pVendorInfo) override;

    // IAMovieSetup
    STDMETHODIMP Register() override;
    STDMETHODIMP Unregister() override;

    // The stream time: clock time minus the start time of the last Run.
    // VFW_E_NO_CLOCK without a clock. Worker threads call it: it holds only
    // the clock lock, to count the clock it then reads outside that lock.
    virtual HRESULT StreamTime(REFERENCE_TIME& rtStream);
    // Raised by a derived filter that changes its pins while enumerators live.
    virtual LONG GetPinVersion();
    virtual int GetPinCount() = 0;
    // The n-th pin or null; no reference is added.
    virtual CBasePin* GetPin(int n) = 0;
    // Registration data for IAMovieSetup; null: the filter registers itself.
    virtual const AMOVIESETUP_FILTER* GetSetupData();

    BOOL IsActive();
    BOOL IsStopped() const { return m_State.load() == State_Stopped; }
    // Sends an event to the graph's sink; E_NOTIMPL outside a graph. No lock.
    HRESULT NotifyEvent(LONG EventCode, LONG_PTR EventParam1, LONG_PTR EventParam2);

protected:
    std::atomic<FILTER_STATE> m_State;           // written under *m_pLock; read anywhere
    CCritSec m_cClockLock;                       // guards m_pClock; innermost
    // Changed under *m_pLock too. Readers take their own reference: a clock
    // swapped out while a worker reads it stays alive until that read ends.
    CComRef<IReferenceClock> m_pClock GUARDED_BY(m_cClockLock);
    std::atomic<REFERENCE_TIME> m_tStart;        // set by Run under *m_pLock
    CLSID m_clsid;                               // fixed at construction
    CCritSec* m_pLock;                           // the filter's state lock, not owned
    CCritSec m_cInfoLock;                        // guards m_pName and m_pGraph; innermost
    std::unique_ptr<WCHAR[]> m_pName GUARDED_BY(m_cInfoLock);
    IFilterGraph* m_pGraph GUARDED_BY(m_cInfoLock);  // no reference: the graph holds the filter
    std::atomic<IMediaEventSink*> m_pSink;       // no reference, as for the graph
    LONG m_PinVersion;                           // fixed at 1 by this class

private:
    // The clock with a reference of the caller's own, or empty.
    CComRef<IReferenceClock> CurrentClock() EXCLUDES(m_cClockLock);
};
