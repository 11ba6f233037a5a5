// A capture graph as Windows capture applications build it, on the system's
// own DirectShow: a video-input device bound through the system device
// enumerator, ICaptureGraphBuilder2::RenderStream from its capture pin (found
// with PIN_CATEGORY_CAPTURE) into a Sample Grabber that takes RGB24, ending in
// a Null Renderer. Used by oculo-grab and by the module's stream tests.
//
// Threading: one thread drives it (with COM initialised); the grabber's
// callback runs on the source's streaming thread.
#pragma once

#include <string>

#include "platform/ComRef.h"
#include "platform/platform.h"

// Binds the video-input device of the slot's class, or the one whose
// friendly name is name (any case); VFW_E_NOT_FOUND when there is none.
HRESULT BindSlotDevice(DWORD slot, IBaseFilter** ppFilter);
HRESULT BindNamedDevice(const std::wstring& name, IBaseFilter** ppFilter);

// A Sample Grabber callback that lives inside its owner, which outlives the
// graph (no reference counting); SampleCB is left to the owner's needs.
class CGrabberCallbackBase : public ISampleGrabberCB {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (ppv == nullptr) return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_ISampleGrabberCB) {
            *ppv = static_cast<ISampleGrabberCB*>(this);
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP BufferCB(double, BYTE*, long) override { return E_NOTIMPL; }

protected:
    ~CGrabberCallbackBase() = default;
};

class CCaptureGraph {
public:
    CCaptureGraph() = default;
    ~CCaptureGraph() { Close(); }
    CCaptureGraph(const CCaptureGraph&) = delete;
    CCaptureGraph& operator=(const CCaptureGraph&) = delete;

    // Builds the graph around pSource (a reference is kept); pCallback gets
    // each sample (SampleCB) and must outlive the graph.
    HRESULT Open(IBaseFilter* pSource, ISampleGrabberCB* pCallback);
    // Runs and waits (up to 5 s) for the graph to be running.
    HRESULT Run();
    HRESULT Stop();
    // Stops, disconnects and releases everything.
    void Close();

    // The connection's width and height (positive height: bottom-up).
    bool ConnectedSize(LONG* width, LONG* height) const;
    HRESULT FindStreamConfig(IAMStreamConfig** ppConfig) const;
    // The source's capture pin (a reference for the caller), or null.
    IPin* CapturePin() const;

private:
    CComRef<IGraphBuilder> m_graph;
    CComRef<ICaptureGraphBuilder2> m_builder;
    CComRef<IBaseFilter> m_source;
    CComRef<IBaseFilter> m_grabberFilter;
    CComRef<ISampleGrabber> m_grabber;
    CComRef<IBaseFilter> m_null;
};
