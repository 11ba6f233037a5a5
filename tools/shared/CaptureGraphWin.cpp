#include "tools/shared/CaptureGraph.h"

#include "module/SlotClasses.h"
#include "tools/shared/DeviceMonikers.h"

namespace {

// Binds the first device match accepts.
HRESULT BindDevice(const std::function<bool(const CaptureDevice&)>& match, IBaseFilter** ppFilter) {
    *ppFilter = nullptr;
    HRESULT hrBind = VFW_E_NOT_FOUND;
    const HRESULT hr = ForEachVideoInputDevice([&](const CaptureDevice& device, IMoniker* pMoniker) {
        if (!match(device)) return true;
        hrBind = pMoniker->BindToObject(nullptr, nullptr, IID_IBaseFilter, reinterpret_cast<void**>(ppFilter));
        return false;
    });
    return FAILED(hr) ? hr : hrBind;
}

template <class Verb>
HRESULT Control(IGraphBuilder* pGraph, Verb verb) {
    if (pGraph == nullptr) return E_UNEXPECTED;
    CComRef<IMediaControl> control;
    const HRESULT hr = pGraph->QueryInterface(IID_IMediaControl, control.PutVoid());
    return FAILED(hr) ? hr : verb(control.Get());
}

}  // namespace

HRESULT BindSlotDevice(DWORD slot, IBaseFilter** ppFilter) {
    if (slot >= g_cSlots) return E_INVALIDARG;
    return BindDevice([slot](const CaptureDevice& device) { return DeviceSlot(device) == int(slot); }, ppFilter);
}

HRESULT BindNamedDevice(const std::wstring& name, IBaseFilter** ppFilter) {
    return BindDevice([&name](const CaptureDevice& device) {
        return CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, device.friendlyName.c_str(), -1, name.c_str(), -1) ==
               CSTR_EQUAL;
    }, ppFilter);
}

HRESULT CCaptureGraph::Open(IBaseFilter* pSource, ISampleGrabberCB* pCallback) {
    Close();
    m_source = CComRef<IBaseFilter>(pSource);
    HRESULT hr;
    if (FAILED(hr = CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                     m_graph.PutVoid())) ||
        FAILED(hr = CoCreateInstance(CLSID_CaptureGraphBuilder2, nullptr, CLSCTX_INPROC_SERVER,
                                     IID_ICaptureGraphBuilder2, m_builder.PutVoid())) ||
        FAILED(hr = m_builder->SetFiltergraph(m_graph.Get())) ||
        FAILED(hr = CoCreateInstance(CLSID_SampleGrabber, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                     m_grabberFilter.PutVoid())) ||
        FAILED(hr = m_grabberFilter.As(IID_ISampleGrabber, &m_grabber)) ||
        FAILED(hr = CoCreateInstance(CLSID_NullRenderer, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                     m_null.PutVoid()))) {
        return hr;
    }
    AM_MEDIA_TYPE type = {};
    type.majortype = MEDIATYPE_Video;
    type.subtype = MEDIASUBTYPE_RGB24;
    if (FAILED(hr = m_grabber->SetMediaType(&type)) || FAILED(hr = m_grabber->SetCallback(pCallback, 0)) ||
        FAILED(hr = m_graph->AddFilter(m_source.Get(), L"Source")) ||
        FAILED(hr = m_graph->AddFilter(m_grabberFilter.Get(), L"Grabber")) ||
        FAILED(hr = m_graph->AddFilter(m_null.Get(), L"Null"))) {
        return hr;
    }
    // As applications do: the capture category from the filter (the builder
    // adds a Smart Tee, since the filter has no preview pin of its own).
    return m_builder->RenderStream(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, m_source.Get(), m_grabberFilter.Get(),
                                   m_null.Get());
}

HRESULT CCaptureGraph::Run() {
    return Control(m_graph.Get(), [](IMediaControl* p) {
        HRESULT hr = p->Run();
        // S_FALSE: still changing state; wait for it as an application does.
        OAFilterState state;
        return hr == S_FALSE ? p->GetState(5000, &state) : hr;
    });
}

HRESULT CCaptureGraph::Stop() { return Control(m_graph.Get(), [](IMediaControl* p) { return p->Stop(); }); }

void CCaptureGraph::Close() {
    if (m_graph) {
        Stop();
        // As clients do: take every filter out, which disconnects them.
        for (IBaseFilter* pFilter : {m_source.Get(), m_grabberFilter.Get(), m_null.Get()}) {
            if (pFilter != nullptr) m_graph->RemoveFilter(pFilter);
        }
    }
    if (m_grabber) m_grabber->SetCallback(nullptr, 0);
    m_builder.Reset();
    m_graph.Reset();
    m_grabber.Reset();
    m_grabberFilter.Reset();
    m_null.Reset();
    m_source.Reset();
}

bool CCaptureGraph::ConnectedSize(LONG* width, LONG* height) const {
    AM_MEDIA_TYPE type = {};
    if (!m_grabber || FAILED(m_grabber->GetConnectedMediaType(&type))) return false;
    bool ok = false;
    if (type.formattype == FORMAT_VideoInfo && type.cbFormat >= sizeof(VIDEOINFOHEADER) && type.pbFormat != nullptr) {
        const VIDEOINFOHEADER* header = reinterpret_cast<const VIDEOINFOHEADER*>(type.pbFormat);
        *width = header->bmiHeader.biWidth;
        *height = header->bmiHeader.biHeight;
        ok = true;
    }
    CoTaskMemFree(type.pbFormat);
    ReleaseAndClear(type.pUnk);
    return ok;
}

HRESULT CCaptureGraph::FindStreamConfig(IAMStreamConfig** ppConfig) const {
    if (!m_builder) return E_UNEXPECTED;
    return m_builder->FindInterface(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, m_source.Get(), IID_IAMStreamConfig,
                                    reinterpret_cast<void**>(ppConfig));
}

IPin* CCaptureGraph::CapturePin() const {
    IPin* pPin = nullptr;
    if (!m_builder ||
        FAILED(m_builder->FindPin(m_source.Get(), PINDIR_OUTPUT, &PIN_CATEGORY_CAPTURE, nullptr, FALSE, 0, &pPin))) {
        return nullptr;
    }
    return pPin;
}
