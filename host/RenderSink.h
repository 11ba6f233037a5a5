// The host's rendering sink filter: one input pin (CRenderSinkPin) that
// renders what an upstream filter delivers, and a recorder (CSinkRecorder)
// of what it rendered. The filter holds the state (stopped, paused,
// running), the run start, the clock (in SinkStreamState, which the pin
// shares) and its graph membership; the pin does the rendering.
//
// Lifetime: created with one reference for the caller; the pin counts on the
// filter. The graph is held without a reference (the graph outlives its
// filters); the clock with one.
//
// Threading: state changes and graph calls come from the application
// thread; the pin's streaming calls from the upstream worker thread; the
// accessors from any thread. The stream state's lock also guards the
// graph membership below. No outside object is called with it held, except
// the clock's GetTime.
#pragma once

#include <string>

#include "host/RenderSinkPin.h"
#include "host/SinkRecorder.h"
#include "host/SinkStreamState.h"
#include "platform/ComObject.h"

class CRenderSink final
    : public CComObject<ComInterface<IBaseFilter, IID_IBaseFilter, IID_IMediaFilter, IID_IPersist>> {
public:
    static HRESULT Create(CRenderSink** ppSink);

    // The input pin and the recorder, without a reference (they live as
    // long as the filter).
    CRenderSinkPin* Pin() { return &m_pin; }
    IPin* InputPin() { return static_cast<IPin*>(&m_pin); }
    CSinkRecorder* Recorder() { return &m_recorder; }
    FILTER_STATE State() const;

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
    ~CRenderSink() override = default;

    // Tells the graph the stream is complete (EC_COMPLETE); no lock held.
    void NotifyComplete() EXCLUDES(m_stream.lock);

    SinkStreamState m_stream;
    // No references: the graph outlives its filters.
    IFilterGraph* m_pGraph GUARDED_BY(m_stream.lock) = nullptr;
    IMediaEventSink* m_pEventSink GUARDED_BY(m_stream.lock) = nullptr;  // the graph's
    std::wstring m_name GUARDED_BY(m_stream.lock);

    CSinkRecorder m_recorder;
    CRenderSinkPin m_pin;  // last: it refers to the members above
};
