// The fault matrix's graph on Linux: the slot's filter in the host graph,
// its sink rendering each sample at its time.
#include "tests/faults/FaultGraph.h"

struct FaultGraphTest::State {};

FaultGraphTest::FaultGraphTest() : m_pState(new State) {}
FaultGraphTest::~FaultGraphTest() = default;

void FaultGraphTest::SetUp() { FilterTest::SetUp(); }

void FaultGraphTest::TearDown() { FilterTest::TearDown(); }

void FaultGraphTest::OpenGraph(const SlotConfig& config, SampleCallback onSample) {
    ASSERT_NO_FATAL_FAILURE(CreateFilter(config));
    ASSERT_NO_FATAL_FAILURE(MakeGraph());
    m_sink->Pin()->SetRenderMode(SinkRenderMode::AtSampleTime);
    m_sink->Recorder()->KeepLastFrame(false);
    m_sink->Recorder()->SetMaxRecords(16);
    m_sink->Recorder()->SetFrameCallback(
        [onSample](const SinkFrame& frame) { onSample(frame.pData, frame.cbData); });
    ASSERT_NO_FATAL_FAILURE(Connect());
}

HRESULT FaultGraphTest::RunGraph() { return m_graph ? m_graph->Run() : E_UNEXPECTED; }

HRESULT FaultGraphTest::StopGraph() { return m_graph ? m_graph->Stop() : E_UNEXPECTED; }

HRESULT FaultGraphTest::ReadStatus(OCULO_STATUS* pStatus) {
    CComRef<IOculoStatus> status;
    const HRESULT hr = m_filter ? m_filter->QueryInterface(IID_IOculoStatus, reinterpret_cast<void**>(status.Put()))
                                : E_UNEXPECTED;
    return FAILED(hr) ? hr : status->GetStatus(pStatus);
}

void FaultGraphTest::CloseGraph() {
    if (m_graph) {
        EXPECT_EQ(m_graph->Teardown(), S_OK);
    }
    m_graph.Reset();
    m_sink.Reset();
    m_filter.Reset();
}
