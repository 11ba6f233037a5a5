// The capture graph on Linux: the host graph and its rendering sink.
#include <dirent.h>
#include <dlfcn.h>

#include <mutex>

#include "host/HostGraph.h"
#include "host/RenderSink.h"
#include "module/SlotClasses.h"
#include "tests/module/ModuleTestSupport.h"
#include "tests/module/StreamGraph.h"

struct CStreamGraph::State {
    IBaseFilter* pFilter = nullptr;
    CHostGraph* pGraph = nullptr;
    CRenderSink* pSink = nullptr;
};

CStreamGraph::CStreamGraph() : m_pState(new State) {}
CStreamGraph::~CStreamGraph() { Close(); }

HRESULT CStreamGraph::Open(DWORD slot) {
    State& s = *m_pState;
    HRESULT hr = CoCreateInstance(g_SlotClsids[slot], nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                  reinterpret_cast<void**>(&s.pFilter));
    if (FAILED(hr)) return hr;
    if (FAILED(hr = CHostGraph::Create(&s.pGraph)) || FAILED(hr = CRenderSink::Create(&s.pSink))) return hr;
    s.pSink->Pin()->SetRenderMode(SinkRenderMode::AsFastAsPossible);
    s.pSink->Recorder()->KeepLastFrame(true);
    if (FAILED(hr = s.pGraph->AddFilter(s.pFilter, L"Source")) || FAILED(hr = s.pGraph->AddFilter(s.pSink, L"Sink"))) {
        return hr;
    }
    IPin* pOut = FindOutputPin(s.pFilter);
    if (pOut == nullptr) return E_FAIL;
    hr = s.pGraph->ConnectDirect(pOut, s.pSink->InputPin(), nullptr);
    pOut->Release();
    return hr;
}

HRESULT CStreamGraph::Run() { return m_pState->pGraph ? m_pState->pGraph->Run() : E_UNEXPECTED; }
HRESULT CStreamGraph::Stop() { return m_pState->pGraph ? m_pState->pGraph->Stop() : E_UNEXPECTED; }

void CStreamGraph::Close() {
    State& s = *m_pState;
    if (s.pGraph != nullptr) {
        s.pGraph->Teardown();
        s.pGraph->Release();
        s.pGraph = nullptr;
    }
    if (s.pSink != nullptr) {
        s.pSink->Release();
        s.pSink = nullptr;
    }
    if (s.pFilter != nullptr) {
        s.pFilter->Release();
        s.pFilter = nullptr;
    }
}

bool CStreamGraph::WaitForSamples(size_t count, DWORD timeoutMs) const {
    return m_pState->pSink != nullptr && m_pState->pSink->Recorder()->WaitForSamples(count, timeoutMs);
}

std::vector<DeliveredSample> CStreamGraph::Samples() const {
    std::vector<DeliveredSample> samples;
    if (m_pState->pSink == nullptr) return samples;
    for (const SinkSample& s : m_pState->pSink->Recorder()->Samples()) {
        const bool timed = s.hrTime == S_OK || s.hrTime == VFW_S_NO_STOP_TIME;
        samples.push_back({s.rtStart, s.rtStop, timed, s.bSyncPoint, s.bDiscontinuity});
    }
    return samples;
}

std::vector<BYTE> CStreamGraph::LastFrame() const {
    return m_pState->pSink ? m_pState->pSink->Recorder()->LastFrame() : std::vector<BYTE>();
}

bool CStreamGraph::ConnectedSize(LONG* width, LONG* height) const {
    AM_MEDIA_TYPE type = {};
    std::vector<BYTE> format;
    if (m_pState->pSink == nullptr || !m_pState->pSink->Pin()->GetConnectedType(&type, &format) ||
        format.size() < sizeof(VIDEOINFOHEADER)) {
        return false;
    }
    VIDEOINFOHEADER header;
    std::memcpy(&header, format.data(), sizeof(header));
    *width = header.bmiHeader.biWidth;
    *height = header.bmiHeader.biHeight;
    return true;
}

IPin* CStreamGraph::CapturePin() const { return FindOutputPin(m_pState->pFilter); }

HRESULT CStreamGraph::FindStreamConfig(IAMStreamConfig** ppConfig) const {
    IPin* pPin = CapturePin();
    if (pPin == nullptr) return E_FAIL;
    const HRESULT hr = pPin->QueryInterface(IID_IAMStreamConfig, reinterpret_cast<void**>(ppConfig));
    pPin->Release();
    return hr;
}

void FreeUnusedModulesNow() { CoFreeUnusedLibraries(); }

bool IsModuleLoaded() {
    void* handle = dlopen(ModulePath().c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (handle != nullptr) dlclose(handle);
    return handle != nullptr;
}

HRESULT ModuleCanUnloadNow() {
    void* handle = dlopen(ModulePath().c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (handle == nullptr) return E_FAIL;
    typedef HRESULT (*CanUnloadNow)();
    CanUnloadNow call = reinterpret_cast<CanUnloadNow>(dlsym(handle, "DllCanUnloadNow"));
    const HRESULT hr = call ? call() : E_FAIL;
    dlclose(handle);
    return hr;
}

int ProcessThreadCount() {
    DIR* tasks = opendir("/proc/self/task");
    if (tasks == nullptr) return -1;
    int count = 0;
    while (const dirent* entry = readdir(tasks)) {
        if (entry->d_name[0] != '.') ++count;
    }
    closedir(tasks);
    return count;
}
