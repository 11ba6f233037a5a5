// The capture graph on Windows: Wine's (or Windows') own DirectShow, built the
// way capture applications build it (tools/shared/CaptureGraph.h), recording what
// the Sample Grabber passes on.
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>

#include "module/SlotClasses.h"
#include "platform/platform.h"
#include "tests/module/ModuleTestSupport.h"
#include "tests/module/StreamGraph.h"
#include "tools/shared/CaptureGraph.h"

// After windows.h, which it needs.
#include <tlhelp32.h>

namespace {

const size_t kMaxRecords = 4096;

// A host that brought its own FFmpeg under the standard DLL names has it
// loaded before any camera module: OCULO_FOREIGN_DLL names such a DLL, loaded
// here before the first test. A run that asks for one and cannot load it
// must not pass as if it had.
HMODULE LoadForeignDll() {
    const char* name = std::getenv("OCULO_FOREIGN_DLL");
    if (!name || !*name) return nullptr;
    const HMODULE module = LoadLibraryA(name);
    if (!module) {
        std::fprintf(stderr, "OCULO_FOREIGN_DLL: %s does not load\n", name);
        std::exit(1);
    }
    return module;
}
const HMODULE g_hForeignDll = LoadForeignDll();

// Records what the Sample Grabber passes on; called on the filter's worker
// thread. Lives inside the harness, which outlives the graph.
class CGrabberCallback final : public CGrabberCallbackBase {
public:
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

}  // namespace

struct CStreamGraph::State {
    CCaptureGraph graph;
    CGrabberCallback callback;
};

CStreamGraph::CStreamGraph() : m_pState(new State) {}
CStreamGraph::~CStreamGraph() { Close(); }

HRESULT CStreamGraph::Open(DWORD slot) {
    IBaseFilter* pSource = nullptr;
    HRESULT hr = BindSlotDevice(slot, &pSource);
    if (FAILED(hr)) return hr;
    hr = m_pState->graph.Open(pSource, &m_pState->callback);
    pSource->Release();
    return hr;
}

HRESULT CStreamGraph::Run() { return m_pState->graph.Run(); }
HRESULT CStreamGraph::Stop() { return m_pState->graph.Stop(); }
void CStreamGraph::Close() { m_pState->graph.Close(); }

bool CStreamGraph::WaitForSamples(size_t count, DWORD timeoutMs) const {
    return m_pState->callback.Wait(count, timeoutMs);
}

std::vector<DeliveredSample> CStreamGraph::Samples() const { return m_pState->callback.Records(); }

std::vector<BYTE> CStreamGraph::LastFrame() const { return m_pState->callback.Last(); }

bool CStreamGraph::ConnectedSize(LONG* width, LONG* height) const {
    return m_pState->graph.ConnectedSize(width, height);
}

HRESULT CStreamGraph::FindStreamConfig(IAMStreamConfig** ppConfig) const {
    return m_pState->graph.FindStreamConfig(ppConfig);
}

IPin* CStreamGraph::CapturePin() const { return m_pState->graph.CapturePin(); }

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
