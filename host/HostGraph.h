// The host's filter graph on Linux: what an application's graph provides
// around a filter. It holds a counted reference on every filter it contains
// and hands each its clock; filters hold the graph without a reference (the
// graph outlives them). Events that filters notify are recorded for tests.
//
// Threading: the application verbs (AddFilter, RemoveFilter, ConnectDirect,
// Pause, Run, Stop, Teardown) are called by one application thread at a
// time. Notify comes from any thread (filters' worker threads); Reconnect
// from any thread, including from inside a filter that holds its own lock.
// The graph never calls into a filter while holding m_lock, so a filter may
// call the graph back with its locks held.
#pragma once

#include <condition_variable>
#include <string>
#include <vector>

#include "host/HostClock.h"
#include "platform/ComObject.h"
#include "platform/ComRef.h"
#include "platform/Mutex.h"

// One event as a filter notified it.
struct HostEvent {
    LONG lCode;
    LONG_PTR lParam1;
    LONG_PTR lParam2;
};

// One identity: IFilterGraph's.
class CHostGraph final : public CComObject<ComInterface<IFilterGraph, IID_IFilterGraph>,
                                           ComInterface<IMediaEventSink, IID_IMediaEventSink>> {
public:
    // A new stopped graph with its own clock, one reference for the caller.
    static HRESULT Create(CHostGraph** ppGraph);

    // IFilterGraph.
    STDMETHODIMP AddFilter(IBaseFilter* pFilter, LPCWSTR pName) override;
    STDMETHODIMP RemoveFilter(IBaseFilter* pFilter) override;
    STDMETHODIMP EnumFilters(IEnumFilters** ppEnum) override;  // E_NOTIMPL
    STDMETHODIMP FindFilterByName(LPCWSTR pName, IBaseFilter** ppFilter) override;
    STDMETHODIMP ConnectDirect(IPin* ppinOut, IPin* ppinIn, const AM_MEDIA_TYPE* pmt) override;
    // Recorded always; carried out (both ends disconnected, then the output
    // pin connects again with a type of its choosing) only while stopped,
    // else VFW_E_NOT_STOPPED.
    STDMETHODIMP Reconnect(IPin* ppin) override;
    STDMETHODIMP Disconnect(IPin* ppin) override;
    STDMETHODIMP SetDefaultSyncSource() override;

    // IMediaEventSink: records the event and wakes waiters; S_OK.
    STDMETHODIMP Notify(LONG EventCode, LONG_PTR EventParam1, LONG_PTR EventParam2) override;

    // Application verbs. State changes reach the filters downstream first
    // (renderers before sources), as a host's graph does, so a renderer is
    // ready before data flows and stops taking data before its source stops.
    // A failing Pause or Run stops every filter again and returns the failure.
    HRESULT Pause();
    // From stopped, pauses first; then Run(clock now + run offset) on every filter.
    HRESULT Run();
    // Stops every filter; the first failure is returned, the graph is stopped.
    HRESULT Stop();
    FILTER_STATE GetState() const;
    // Stops, disconnects every connected pin of every filter (and its peer),
    // takes the clock and the graph away from each filter and releases it.
    HRESULT Teardown();

    // The graph's clock (no reference added; valid while the graph lives).
    CHostClock* Clock() const { return m_clock.Get(); }
    // The start time handed to the filters by the last Run.
    REFERENCE_TIME RunStart() const;
    // Offset added to the clock's time for Run's start time (default 10 ms).
    void SetRunOffset(REFERENCE_TIME rtOffset);
    size_t FilterCount() const;

    // Recorded events.
    std::vector<HostEvent> Events() const;
    size_t CountEvents(LONG lCode) const;
    // Waits until an event with this code has been recorded (one that is
    // already there counts), at most dwTimeoutMs; the first such event into
    // *pEvent when given. False on time-out.
    bool WaitForEvent(LONG lCode, DWORD dwTimeoutMs, HostEvent* pEvent = nullptr) const;
    void ClearEvents();

    // Reconnect calls so far, and the pin of the last one (for identity
    // comparison only: no reference is kept, the pointer is never used).
    size_t ReconnectCount() const;
    IPin* LastReconnectPin() const;

private:
    using Filters = std::vector<CComRef<IBaseFilter>>;
    struct Entry {
        CComRef<IBaseFilter> filter;
        std::wstring name;
    };

    CHostGraph() = default;
    ~CHostGraph() override;

    HRESULT AddFilterNamed(IBaseFilter* pFilter, LPCWSTR pName);  // AddFilter's work; may throw bad_alloc
    // The member filters, downstream ones first.
    Filters SnapshotDownstreamFirst() const;
    std::wstring UniqueName(LPCWSTR pName) const REQUIRES(m_lock);
    void StopAll(const Filters& filters, HRESULT* pFirstFailure);
    // Pause (or Run at tStart) every filter; all stopped again on a failure.
    HRESULT ChangeAll(FILTER_STATE target, REFERENCE_TIME tStart);
    static void DisconnectPins(IBaseFilter* pFilter);
    void Detach(IBaseFilter* pFilter);

    CComRef<CHostClock> m_clock;  // set in Create, never changed

    mutable CMutex m_lock;
    std::vector<Entry> m_filters GUARDED_BY(m_lock);
    FILTER_STATE m_state GUARDED_BY(m_lock) = State_Stopped;
    REFERENCE_TIME m_rtRunStart GUARDED_BY(m_lock) = 0;
    REFERENCE_TIME m_rtRunOffset GUARDED_BY(m_lock) = 10 * 10000;
    std::vector<HostEvent> m_events GUARDED_BY(m_lock);
    mutable std::condition_variable m_eventArrived;  // waited on with m_lock
    size_t m_cReconnects GUARDED_BY(m_lock) = 0;
    IPin* m_pLastReconnect GUARDED_BY(m_lock) = nullptr;  // identity only, never dereferenced
};

// The first output pin of a filter (one reference for the caller), or null.
IPin* FindOutputPin(IBaseFilter* pFilter);
