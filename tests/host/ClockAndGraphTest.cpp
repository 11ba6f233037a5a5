// The host's clock and graph: membership and references, state changes in
// downstream-first order, events, reconnection and teardown.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "host/HostGraph.h"
#include "host/RenderSink.h"
#include "platform/ComRef.h"
#include "tests/host/HostFakes.h"

namespace {

CComRef<CHostGraph> NewGraph() {
    CComRef<CHostGraph> graph;
    EXPECT_EQ(S_OK, CHostGraph::Create(graph.Put()));
    return graph;
}

CComRef<CRenderSink> NewSink() {
    CComRef<CRenderSink> sink;
    EXPECT_EQ(S_OK, CRenderSink::Create(sink.Put()));
    return sink;
}

// Source added first: the graph's order must come from the connection, not
// from adding.
void AddSourceAndSink(CHostGraph* graph, CFakeSourceFilter& source, CRenderSink* sink) {
    ASSERT_EQ(S_OK, graph->AddFilter(&source, L"Source"));
    ASSERT_EQ(S_OK, graph->AddFilter(sink, L"Sink"));
    ASSERT_EQ(S_OK, graph->ConnectDirect(&source.Pin(), sink->InputPin(), nullptr));
}

}  // namespace

TEST(HostClock, RunsInHundredNanosecondUnits) {
    CComRef<CHostClock> clock;
    ASSERT_EQ(S_OK, CHostClock::Create(clock.Put()));
    EXPECT_EQ(E_POINTER, clock->GetTime(nullptr));
    REFERENCE_TIME t0 = 0, t1 = 0;
    ASSERT_EQ(S_OK, clock->GetTime(&t0));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ASSERT_EQ(S_OK, clock->GetTime(&t1));
    EXPECT_GE(t1 - t0, 20 * 10000);
    EXPECT_LT(t1 - t0, 2000 * 10000);  // generous: a loaded machine may be slow
}

TEST(HostGraph, HoldsFiltersNotTheOtherWayRound) {
    CComRef<CHostGraph> graph = NewGraph();
    CComRef<CRenderSink> sink = NewSink();
    EXPECT_EQ(S_OK, graph->AddFilter(sink.Get(), L"Sink"));

    // The graph took one reference on the sink; the sink none on the graph.
    EXPECT_EQ(3u, sink->AddRef());
    EXPECT_EQ(2u, sink->Release());
    EXPECT_EQ(2u, graph->AddRef());
    EXPECT_EQ(1u, graph->Release());

    FILTER_INFO info{};
    ASSERT_EQ(S_OK, sink->QueryFilterInfo(&info));
    EXPECT_STREQ(L"Sink", info.achName);
    EXPECT_EQ(static_cast<IFilterGraph*>(graph.Get()), info.pGraph);
    info.pGraph->Release();

    CComRef<IReferenceClock> clock;
    ASSERT_EQ(S_OK, sink->GetSyncSource(clock.Put()));
    EXPECT_EQ(static_cast<IReferenceClock*>(graph->Clock()), clock.Get());

    CComRef<IBaseFilter> found;
    EXPECT_EQ(S_OK, graph->FindFilterByName(L"Sink", found.Put()));
    EXPECT_EQ(static_cast<IBaseFilter*>(sink.Get()), found.Get());
    EXPECT_EQ(VFW_E_NOT_FOUND, graph->FindFilterByName(L"Other", found.Put()));
    EXPECT_FALSE(found);

    // A second filter of the same name is renamed, as a host graph does.
    CComRef<CRenderSink> twin = NewSink();
    EXPECT_EQ(VFW_S_DUPLICATE_NAME, graph->AddFilter(twin.Get(), L"Sink"));
    EXPECT_EQ(E_INVALIDARG, graph->AddFilter(twin.Get(), L"Again"));

    EXPECT_EQ(S_OK, graph->RemoveFilter(sink.Get()));
    EXPECT_EQ(VFW_E_NOT_FOUND, graph->RemoveFilter(sink.Get()));
    ASSERT_EQ(S_OK, sink->QueryFilterInfo(&info));
    EXPECT_EQ(nullptr, info.pGraph);
    ASSERT_EQ(S_OK, sink->GetSyncSource(clock.Put()));
    EXPECT_FALSE(clock);
    EXPECT_EQ(1u, graph->FilterCount());
}

TEST(HostGraph, ChangesStateDownstreamFirst) {
    CFakeSourceFilter source;  // outlives the graph, which holds it
    CComRef<CHostGraph> graph = NewGraph();
    CComRef<CRenderSink> sink = NewSink();
    ASSERT_NO_FATAL_FAILURE(AddSourceAndSink(graph.Get(), source, sink.Get()));

    std::vector<FILTER_STATE> sinkStateSeen;
    source.onState = [&](FILTER_STATE) { sinkStateSeen.push_back(sink->State()); };
    ASSERT_EQ(S_OK, graph->Run());
    ASSERT_EQ(S_OK, graph->Stop());
    EXPECT_EQ((std::vector<FILTER_STATE>{State_Paused, State_Running, State_Stopped}), sinkStateSeen);
    EXPECT_EQ(graph->RunStart(), source.m_rtStart);
    EXPECT_EQ(State_Stopped, graph->GetState());

    // A filter refusing to pause leaves the whole graph stopped.
    source.m_hrPause = E_OUTOFMEMORY;
    EXPECT_EQ(E_OUTOFMEMORY, graph->Run());
    EXPECT_EQ(State_Stopped, graph->GetState());
    EXPECT_EQ(State_Stopped, sink->State());
    source.onState = nullptr;
    EXPECT_EQ(S_OK, graph->Teardown());
}

TEST(HostGraph, TeardownDisconnectsAndReleasesEverything) {
    CFakeSourceFilter source;
    CComRef<CRenderSink> sink = NewSink();
    {
        CComRef<CHostGraph> graph = NewGraph();
        ASSERT_NO_FATAL_FAILURE(AddSourceAndSink(graph.Get(), source, sink.Get()));
        ASSERT_EQ(S_OK, graph->Pause());
        EXPECT_EQ(S_OK, graph->Teardown());
        EXPECT_EQ(0u, graph->FilterCount());
    }
    EXPECT_EQ(State_Stopped, sink->State());
    EXPECT_EQ(nullptr, source.Pin().Peer());
    CComRef<IPin> peer;
    EXPECT_EQ(VFW_E_NOT_CONNECTED, sink->InputPin()->ConnectedTo(peer.Put()));
    EXPECT_EQ(0, source.RefCount());
    EXPECT_EQ(0, source.Pin().RefCount());
    EXPECT_EQ(nullptr, source.Graph());
    EXPECT_EQ(nullptr, source.m_clock.Get());
    EXPECT_EQ(2u, sink->AddRef());  // only the test's reference is left
    sink->Release();
}

TEST(HostGraph, ReconnectsOnlyWhenStopped) {
    CFakeSourceFilter source;
    CComRef<CHostGraph> graph = NewGraph();
    CComRef<CRenderSink> sink = NewSink();
    ASSERT_NO_FATAL_FAILURE(AddSourceAndSink(graph.Get(), source, sink.Get()));

    // The output pin changed its format: reconnection picks its new preference.
    source.Pin().m_preferred.subtype = MEDIASUBTYPE_RGB32;
    EXPECT_EQ(S_OK, graph->Reconnect(&source.Pin()));
    EXPECT_EQ(2, source.Pin().ConnectCount());
    AM_MEDIA_TYPE mt{};
    ASSERT_TRUE(sink->Pin()->GetConnectedType(&mt, nullptr));
    EXPECT_EQ(MEDIASUBTYPE_RGB32, mt.subtype);

    ASSERT_EQ(S_OK, graph->Pause());
    EXPECT_EQ(VFW_E_NOT_STOPPED, graph->Reconnect(sink->InputPin()));
    EXPECT_EQ(2, source.Pin().ConnectCount());
    EXPECT_EQ(2u, graph->ReconnectCount());
    EXPECT_EQ(sink->InputPin(), graph->LastReconnectPin());
    EXPECT_EQ(S_OK, graph->Teardown());
}

TEST(HostGraph, RecordsEventsAndWaitsBounded) {
    CComRef<CHostGraph> graph = NewGraph();
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(graph->WaitForEvent(EC_COMPLETE, 50));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));

    std::thread notifier([&]() {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        graph->Notify(EC_ERRORABORT, E_FAIL, 0);
    });
    HostEvent event{};
    EXPECT_TRUE(graph->WaitForEvent(EC_ERRORABORT, 5000, &event));
    notifier.join();
    EXPECT_EQ(E_FAIL, static_cast<HRESULT>(event.lParam1));
    EXPECT_EQ(1u, graph->CountEvents(EC_ERRORABORT));
    graph->ClearEvents();
    EXPECT_TRUE(graph->Events().empty());
}
