// The capture graph on Windows: Wine's (or Windows') own DirectShow, built the
// way capture applications build it.
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>

#include "module/SlotClasses.h"
#include "platform/platform.h"
#include "tests/module/ModuleTestSupport.h"
#include "tests/module/StreamGraph.h"

// After windows.h, which it needs.
#include <tlhelp32.h>

namespace {

const size_t kMaxRecords = 4096;

// Records what the Sample Grabber passes on; called on the filter's worker thread.
class CGrabberCallback final : public ISampleGrabberCB {
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
    // Lives inside the harness, which outlives the graph.
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }

    STDMETHODIMP SampleCB(double, IMediaSample* pSample) override {
        DeliveredSample record = {};
        record.bTimed = SUCCEEDED(pSample->GetTime(&record.rtStart, &record.rtStop));
        record.bSyncPoint = pSample->IsSyncPoint() == S_OK;
        record.bDiscontinuity = pSample->IsDiscontinuity() == S_OK;
        BYTE* pData = nullptr;
        const LONG length = pSample->GetActualDataLength();
        std::lock_guard<std::mutex> hold(m_lock);
        ++m_cSamples;
        if (m_records.size() < kMaxRecords) m_records.push_back(record);
        if (SUCCEEDED(pSample->GetPointer(&pData)) && pData != nullptr && length > 0) {
            m_last.assign(pData, pData + length);
        }
        m_arrived.notify_all();
        return S_OK;
    }
    STDMETHODIMP BufferCB(double, BYTE*, long) override { return E_NOTIMPL; }

    bool Wait(size_t count, DWORD timeoutMs) {
        std::unique_lock<std::mutex> hold(m_lock);
        return m_arrived.wait_for(hold, std::chrono::milliseconds(timeoutMs), [&] { return m_cSamples >= count; });
    }
    std::vector<DeliveredSample> Records() {
        std::lock_guard<std::mutex> hold(m_lock);
        return m_records;
    }
    std::vector<BYTE> Last() {
        std::lock_guard<std::mutex> hold(m_lock);
        return m_last;
    }

private:
    std::mutex m_lock;
    std::condition_variable m_arrived;
    size_t m_cSamples = 0;
    std::vector<DeliveredSample> m_records;
    std::vector<BYTE> m_last;
};

std::wstring SlotClassText(DWORD slot) {
    WCHAR text[39];
    StringFromGUID2(g_SlotClsids[slot], text, 39);
    return text;
}

// The slot's device, found as a capture application finds it.
HRESULT BindSlotDevice(DWORD slot, IBaseFilter** ppFilter) {
    ICreateDevEnum* pDevEnum = nullptr;
    HRESULT hr = CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER, IID_ICreateDevEnum,
                                  reinterpret_cast<void**>(&pDevEnum));
    if (FAILED(hr)) return hr;
    IEnumMoniker* pEnum = nullptr;
    hr = pDevEnum->CreateClassEnumerator(CLSID_VideoInputDeviceCategory, &pEnum, 0);
    pDevEnum->Release();
    if (hr != S_OK) return FAILED(hr) ? hr : VFW_E_NOT_FOUND;
    const std::wstring wanted = SlotClassText(slot);
    hr = VFW_E_NOT_FOUND;
    IMoniker* pMoniker = nullptr;
    while (hr == VFW_E_NOT_FOUND && pEnum->Next(1, &pMoniker, nullptr) == S_OK) {
        IPropertyBag* pBag = nullptr;
        if (SUCCEEDED(pMoniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, reinterpret_cast<void**>(&pBag)))) {
            VARIANT value;
            VariantInit(&value);
            if (SUCCEEDED(pBag->Read(L"CLSID", &value, nullptr)) && value.vt == VT_BSTR &&
                _wcsicmp(value.bstrVal, wanted.c_str()) == 0) {
                hr = pMoniker->BindToObject(nullptr, nullptr, IID_IBaseFilter, reinterpret_cast<void**>(ppFilter));
            }
            VariantClear(&value);
            pBag->Release();
        }
        pMoniker->Release();
    }
    pEnum->Release();
    return hr;
}

template <class T>
void SafeRelease(T*& p) {
    if (p != nullptr) {
        p->Release();
        p = nullptr;
    }
}

}  // namespace

struct CStreamGraph::State {
    IGraphBuilder* pGraph = nullptr;
    ICaptureGraphBuilder2* pBuilder = nullptr;
    IBaseFilter* pSource = nullptr;
    IBaseFilter* pGrabberFilter = nullptr;
    ISampleGrabber* pGrabber = nullptr;
    IBaseFilter* pNull = nullptr;
    CGrabberCallback callback;
};

CStreamGraph::CStreamGraph() : m_pState(new State) {}
CStreamGraph::~CStreamGraph() { Close(); }

HRESULT CStreamGraph::Open(DWORD slot) {
    State& s = *m_pState;
    HRESULT hr = BindSlotDevice(slot, &s.pSource);
    if (FAILED(hr)) return hr;
    if (FAILED(hr = CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                     reinterpret_cast<void**>(&s.pGraph))) ||
        FAILED(hr = CoCreateInstance(CLSID_CaptureGraphBuilder2, nullptr, CLSCTX_INPROC_SERVER,
                                     IID_ICaptureGraphBuilder2, reinterpret_cast<void**>(&s.pBuilder))) ||
        FAILED(hr = s.pBuilder->SetFiltergraph(s.pGraph)) ||
        FAILED(hr = CoCreateInstance(CLSID_SampleGrabber, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                     reinterpret_cast<void**>(&s.pGrabberFilter))) ||
        FAILED(hr = s.pGrabberFilter->QueryInterface(IID_ISampleGrabber, reinterpret_cast<void**>(&s.pGrabber))) ||
        FAILED(hr = CoCreateInstance(CLSID_NullRenderer, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                     reinterpret_cast<void**>(&s.pNull)))) {
        return hr;
    }
    AM_MEDIA_TYPE type = {};
    type.majortype = MEDIATYPE_Video;
    type.subtype = MEDIASUBTYPE_RGB24;
    if (FAILED(hr = s.pGrabber->SetMediaType(&type)) || FAILED(hr = s.pGrabber->SetCallback(&s.callback, 0)) ||
        FAILED(hr = s.pGraph->AddFilter(s.pSource, L"Source")) ||
        FAILED(hr = s.pGraph->AddFilter(s.pGrabberFilter, L"Grabber")) ||
        FAILED(hr = s.pGraph->AddFilter(s.pNull, L"Null"))) {
        return hr;
    }
    return s.pBuilder->RenderStream(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, s.pSource, s.pGrabberFilter, s.pNull);
}

namespace {
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

HRESULT CStreamGraph::Run() {
    return Control(m_pState->pGraph, [](IMediaControl* p) {
        HRESULT hr = p->Run();
        // S_FALSE: still changing state; wait for it as an application does.
        OAFilterState state;
        return hr == S_FALSE ? p->GetState(5000, &state) : hr;
    });
}

HRESULT CStreamGraph::Stop() { return Control(m_pState->pGraph, [](IMediaControl* p) { return p->Stop(); }); }

void CStreamGraph::Close() {
    State& s = *m_pState;
    if (s.pGraph != nullptr) {
        Stop();
        // As clients do: take every filter out, which disconnects them.
        for (IBaseFilter* pFilter : {s.pSource, s.pGrabberFilter, s.pNull}) {
            if (pFilter != nullptr) s.pGraph->RemoveFilter(pFilter);
        }
    }
    SafeRelease(s.pBuilder);
    SafeRelease(s.pGraph);
    SafeRelease(s.pGrabber);
    SafeRelease(s.pGrabberFilter);
    SafeRelease(s.pNull);
    SafeRelease(s.pSource);
}

bool CStreamGraph::WaitForSamples(size_t count, DWORD timeoutMs) const {
    return m_pState->callback.Wait(count, timeoutMs);
}

std::vector<DeliveredSample> CStreamGraph::Samples() const { return m_pState->callback.Records(); }

std::vector<BYTE> CStreamGraph::LastFrame() const { return m_pState->callback.Last(); }

bool CStreamGraph::ConnectedSize(LONG* width, LONG* height) const {
    AM_MEDIA_TYPE type = {};
    if (m_pState->pGrabber == nullptr || FAILED(m_pState->pGrabber->GetConnectedMediaType(&type))) return false;
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

HRESULT CStreamGraph::FindStreamConfig(IAMStreamConfig** ppConfig) const {
    if (m_pState->pBuilder == nullptr) return E_UNEXPECTED;
    return m_pState->pBuilder->FindInterface(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, m_pState->pSource,
                                             IID_IAMStreamConfig, reinterpret_cast<void**>(ppConfig));
}

IPin* CStreamGraph::CapturePin() const {
    IPin* pPin = nullptr;
    if (m_pState->pBuilder == nullptr ||
        FAILED(m_pState->pBuilder->FindPin(m_pState->pSource, PINDIR_OUTPUT, &PIN_CATEGORY_CAPTURE, nullptr, FALSE, 0,
                                           &pPin))) {
        return nullptr;
    }
    return pPin;
}

namespace {
HMODULE LoadedModule() {
    const std::string path = ModulePath();
    const std::string name = path.substr(path.find_last_of("/\\") + 1);
    return GetModuleHandleA(name.c_str());
}
}  // namespace

void FreeUnusedModulesNow() { CoFreeUnusedLibrariesEx(0, 0); }

bool IsModuleLoaded() { return LoadedModule() != nullptr; }

HRESULT ModuleCanUnloadNow() {
    HMODULE module = LoadedModule();
    if (module == nullptr) return E_FAIL;
    typedef HRESULT(STDAPICALLTYPE * CanUnloadNow)();
    CanUnloadNow call = reinterpret_cast<CanUnloadNow>(reinterpret_cast<void*>(GetProcAddress(module, "DllCanUnloadNow")));
    return call ? call() : E_FAIL;
}

int ProcessThreadCount() {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return -1;
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof(entry);
    int count = 0;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID == GetCurrentProcessId()) ++count;
    }
    CloseHandle(snapshot);
    return count;
}
