// The host's rendering sink filter: one input pin (CRenderSinkPin) that
// renders what an upstream filter delivers. The filter holds the state
// (stopped, paused, running), the run start, the clock and its graph
// membership; the pin does the rendering.
//
// Lifetime: created with one reference for the caller; the pin counts on the
// filter. The graph is held without a reference (the graph outlives its
// filters); the clock with one.
//
// Threading: state changes and graph calls come from the application
// thread; the pin's streaming calls from the upstream worker thread; the
// accessors from any thread. m_lock guards the members below and the pin's
// state; m_stateChanged is signalled on every state change and flush so a
// Receive waiting for its time returns at once. No outside object is called
// with m_lock held, except the clock's GetTime.
#pragma once

#include <atomic>
#include <condition_variable>
#include <string>

#include "host/RenderSinkPin.h"
#include "platform/Mutex.h"
#include "platform/platform.h"

class CRenderSink final : public IBaseFilter {
public:
    static HRESULT Create(CRenderSink** ppSink);

    // The input pin, without a reference (it lives as long as the filter).
    CRenderSinkPin* Pin() { return &m_pin; }
    IPin* InputPin() { return static_cast<IPin*>(&m_pin); }
    FILTER_STATE State() const;

    // IUnknown.
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // IPersist, IMediaFilter.
    STDMETHODIMP GetClassID(CLSID* pClassID) override;
    STDMETHODIMP Stop() override;
    STDMETHODIMP Pause() override;
    STDMETHODIMP Run(REFERENCE_TIME tStart) override;
    STDMETHODIMP GetState(DWORD dwMilliSecsTimeout, FILTER_STATE* State) override;
    STDMETHODIMP SetSyncSource(IReferenceClock* pClock) override;
    STDMETHODIMP GetSyncSource(IReferenceClock** pClock) override;

    // IBaseFilter.
    STDMETHODIMP EnumPins(IEnumPins** ppEnum) override;
    STDMETHODIMP FindPin(LPCWSTR Id, IPin** ppPin) override;  // "In"
    STDMETHODIMP QueryFilterInfo(FILTER_INFO* pInfo) override;
    STDMETHODIMP JoinFilterGraph(IFilterGraph* pGraph, LPCWSTR pName) override;
    STDMETHODIMP QueryVendorInfo(LPWSTR* pVendorInfo) override;

private:
    friend class CRenderSinkPin;

    CRenderSink();
    ~CRenderSink();

    // Tells the graph the stream is complete (EC_COMPLETE); no lock held.
    void NotifyComplete();

    std::atomic<ULONG> m_cRef{1};

    mutable CMutex m_lock;                   // the sink's one lock
    std::condition_variable m_stateChanged;  // state change, flush or stop; waited on with m_lock
    FILTER_STATE m_state GUARDED_BY(m_lock) = State_Stopped;
    uint64_t m_cStopGeneration GUARDED_BY(m_lock) = 0;  // raised by Stop; a waiting Receive gives up
    REFERENCE_TIME m_rtStart GUARDED_BY(m_lock) = 0;    // from Run
    IReferenceClock* m_pClock GUARDED_BY(m_lock) = nullptr;      // one reference
    IFilterGraph* m_pGraph GUARDED_BY(m_lock) = nullptr;         // no reference: the graph outlives its filters
    IMediaEventSink* m_pEventSink GUARDED_BY(m_lock) = nullptr;  // the graph's, no reference
    std::wstring m_name GUARDED_BY(m_lock);
    bool m_bCompletePending GUARDED_BY(m_lock) = false;  // end of stream while paused: notify on Run

    CRenderSinkPin m_pin;  // last: it refers to the members above
};
