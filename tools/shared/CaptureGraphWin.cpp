#include "tools/shared/CaptureGraph.h"

#include "module/SlotClasses.h"
#include "tools/shared/DeviceMonikers.h"

namespace {

template <class T>
void SafeRelease(T*& p) {
    if (p != nullptr) {
        p->Release();
        p = nullptr;
    }
}

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
    IMediaControl* pControl = nullptr;
    HRESULT hr = pGraph->QueryInterface(IID_IMediaControl, reinterpret_cast<void**>(&pControl));
    if (FAILED(hr)) return hr;
    hr = verb(pControl);
    pControl->Release();
    return hr;
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
    m_pSource = pSource;
    m_pSource->AddRef();
    HRESULT hr;
    if (FAILED(hr = CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                     reinterpret_cast<void**>(&m_pGraph))) ||
        FAILED(hr = CoCreateInstance(CLSID_CaptureGraphBuilder2, nullptr, CLSCTX_INPROC_SERVER,
                                     IID_ICaptureGraphBuilder2, reinterpret_cast<void**>(&m_pBuilder))) ||
        FAILED(hr = m_pBuilder->SetFiltergraph(m_pGraph)) ||
        FAILED(hr = CoCreateInstance(CLSID_SampleGrabber, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                     reinterpret_cast<void**>(&m_pGrabberFilter))) ||
        FAILED(hr = m_pGrabberFilter->QueryInterface(IID_ISampleGrabber, reinterpret_cast<void**>(&m_pGrabber))) ||
        FAILED(hr = CoCreateInstance(CLSID_NullRenderer, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                     reinterpret_cast<void**>(&m_pNull)))) {
        return hr;
    }
    AM_MEDIA_TYPE type = {};
    type.majortype = MEDIATYPE_Video;
    type.subtype = MEDIASUBTYPE_RGB24;
    if (FAILED(hr = m_pGrabber->SetMediaType(&type)) || FAILED(hr = m_pGrabber->SetCallback(pCallback, 0)) ||
        FAILED(hr = m_pGraph->AddFilter(m_pSource, L"Source")) ||
        FAILED(hr = m_pGraph->AddFilter(m_pGrabberFilter, L"Grabber")) ||
        FAILED(hr = m_pGraph->AddFilter(m_pNull, L"Null"))) {
        return hr;
    }
    // As applications do: the capture category from the filter (the builder
    // adds a Smart Tee, since the filter has no preview pin of its own).
    return m_pBuilder->RenderStream(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, m_pSource, m_pGrabberFilter, m_pNull);
}

HRESULT CCaptureGraph::Run() {
    return Control(m_pGraph, [](IMediaControl* p) {
        HRESULT hr = p->Run();
        // S_FALSE: still changing state; wait for it as an application does.
        OAFilterState state;
        return hr == S_FALSE ? p->GetState(5000, &state) : hr;
    });
}

HRESULT CCaptureGraph::Stop() { return Control(m_pGraph, [](IMediaControl* p) { return p->Stop(); }); }

void CCaptureGraph::Close() {
    if (m_pGraph != nullptr) {
        Stop();
        // As clients do: take every filter out, which disconnects them.
        for (IBaseFilter* pFilter : {m_pSource, m_pGrabberFilter, m_pNull}) {
            if (pFilter != nullptr) m_pGraph->RemoveFilter(pFilter);
        }
    }
    if (m_pGrabber != nullptr) m_pGrabber->SetCallback(nullptr, 0);
    SafeRelease(m_pBuilder);
    SafeRelease(m_pGraph);
    SafeRelease(m_pGrabber);
    SafeRelease(m_pGrabberFilter);
    SafeRelease(m_pNull);
    SafeRelease(m_pSource);
}

bool CCaptureGraph::ConnectedSize(LONG* width, LONG* height) const {
    AM_MEDIA_TYPE type = {};
    if (m_pGrabber == nullptr || FAILED(m_pGrabber->GetConnectedMediaType(&type))) return false;
    bool ok = false;
    if (type.formattype == FORMAT_VideoInfo && type.cbFormat >= sizeof(VIDEOINFOHEADER) && type.pbFormat != nullptr) {
        const VIDEOINFOHEADER* header = reinterpret_cast<const VIDEOINFOHEADER*>(type.pbFormat);
        *width = header->bmiHeader.biWidth;
        *height = header->bmiHeader.biHeight;
        ok = true;
    }
    CoTaskMemFree(type.pbFormat);
    if (type.pUnk != nullptr) type.pUnk->Release();
    return ok;
}

HRESULT CCaptureGraph::FindStreamConfig(IAMStreamConfig** ppConfig) const {
    if (m_pBuilder == nullptr) return E_UNEXPECTED;
    return m_pBuilder->FindInterface(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, m_pSource, IID_IAMStreamConfig,
                                     reinterpret_cast<void**>(ppConfig));
}

IPin* CCaptureGraph::CapturePin() const {
    IPin* pPin = nullptr;
    if (m_pBuilder == nullptr ||
        FAILED(m_pBuilder->FindPin(m_pSource, PINDIR_OUTPUT, &PIN_CATEGORY_CAPTURE, nullptr, FALSE, 0, &pPin))) {
        return nullptr;
    }
    return pPin;
}
