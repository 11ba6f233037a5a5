// The slot's filter in a running graph whose clock renders each sample at
// its time, with a callback that sees the bytes of every delivered sample.
// Linux: the filter itself in the host graph with its rendering sink
// (tests/filter). Windows: the module as a host loads it (registered, its
// device bound through the system device enumerator) in the system's own
// DirectShow, the Sample Grabber passing each sample on (tools/shared/CaptureGraph.h).
//
// Threading: the test thread drives the graph; the callback runs on the
// filter's streaming thread.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "tests/SizedStatus.h"

#ifdef _WIN32
#include "tests/module/ModuleTestSupport.h"
using FaultGraphBase = ModuleRegistryTest;
#else
#include "tests/filter/FilterFixture.h"
using FaultGraphBase = FilterTest;
#endif

using SampleCallback = std::function<void(const BYTE* pData, LONG cbData)>;

class FaultGraphTest : public FaultGraphBase {
protected:
    FaultGraphTest();
    ~FaultGraphTest() override;
    void SetUp() override;
    void TearDown() override;  // closes the graph

    // Configures the slot (address, output size and rate), creates its filter
    // and connects it in a graph; onSample sees every sample from the run on.
    void OpenGraph(const SlotConfig& config, SampleCallback onSample);
    HRESULT RunGraph();
    HRESULT StopGraph();
    // The filter's status (IOculoStatus), from any thread while the graph is open.
    HRESULT ReadStatus(OCULO_STATUS* pStatus);
    // Stops, disconnects and releases the graph and the filter.
    void CloseGraph();

private:
    struct State;
    std::unique_ptr<State> m_pState;
};
