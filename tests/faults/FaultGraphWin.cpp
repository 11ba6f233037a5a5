// The fault matrix's graph on Windows: the registered module's device for
// the slot, bound through the system device enumerator, in the capture graph
// applications build (Sample Grabber, then the Null Renderer, which renders
// each sample at its time on the graph's clock).
#include <mutex>

#include "tests/faults/FaultGraph.h"
#include "tools/shared/CaptureGraph.h"

namespace {

const DWORD kFaultSlot = 2;

// Hands each sample's bytes to the test; called on the filter's streaming
// thread. Lives inside the test, which outlives the graph.
class CSampleForwarder final : public CGrabberCallbackBase {
public:
    STDMETHODIMP SampleCB(double, IMediaSample* pSample) override {
        BYTE* pData = nullptr;
        const LONG length = pSample->GetActualDataLength();
        std::lock_guard<std::mutex> hold(m_lock);
        if (m_onSample && SUCCEEDED(pSample->GetPointer(&pData)) && pData != nullptr && length > 0) {
            m_onSample(pData, length);
        }
        return S_OK;
    }

    void Set(SampleCallback onSample) {
        std::lock_guard<std::mutex> hold(m_lock);
        m_onSample = std::move(onSample);
    }

private:
    std::mutex m_lock;
    SampleCallback m_onSample;
};

}  // namespace

struct FaultGraphTest::State {
    CCaptureGraph graph;
    CSampleForwarder forwarder;
    CComRef<IOculoStatus> status;  // the source's; released once the graph is closed
    bool bCom = false;
};

FaultGraphTest::FaultGraphTest() : m_pState(new State) {}
FaultGraphTest::~FaultGraphTest() = default;

void FaultGraphTest::SetUp() {
    ModuleRegistryTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
    m_pState->bCom = true;
}

void FaultGraphTest::TearDown() {
    CloseGraph();
    if (m_pState->bCom) CoUninitialize();
    m_pState->bCom = false;
    ModuleRegistryTest::TearDown();
}

void FaultGraphTest::OpenGraph(const SlotConfig& config, SampleCallback onSample) {
    ASSERT_NO_FATAL_FAILURE(WriteSlot(kFaultSlot, config));
    ASSERT_EQ(RegisterModule(), S_OK);
    m_pState->forwarder.Set(std::move(onSample));
    IBaseFilter* pSource = nullptr;
    ASSERT_EQ(BindSlotDevice(kFaultSlot, &pSource), S_OK);
    pSource->QueryInterface(IID_IOculoStatus, reinterpret_cast<void**>(m_pState->status.Put()));
    const HRESULT hr = m_pState->graph.Open(pSource, &m_pState->forwarder);
    pSource->Release();
    ASSERT_EQ(hr, S_OK);
}

HRESULT FaultGraphTest::RunGraph() { return m_pState->graph.Run(); }

HRESULT FaultGraphTest::StopGraph() { return m_pState->graph.Stop(); }

HRESULT FaultGraphTest::ReadStatus(OCULO_STATUS* pStatus) {
    return m_pState->status ? m_pState->status->GetStatus(pStatus) : E_UNEXPECTED;
}

void FaultGraphTest::CloseGraph() {
    m_pState->graph.Close();
    m_pState->forwarder.Set(nullptr);
    m_pState->status.Reset();
}
