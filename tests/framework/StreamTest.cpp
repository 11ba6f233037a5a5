// The source stream's worker and its command protocol, driven the way a host
// drives a filter: the counter source connected to the host's rendering sink
// in the host graph, with and without the sink's own allocator.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "CounterSource.h"
#include "host/HostGraph.h"
#include "host/RenderSink.h"
#include "platform/ComRef.h"

namespace {

const DWORD kWaitMs = 5000;

class StreamTest : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        // The platform allocator is created through COM, as a host's thread would.
        m_hrCom = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        ASSERT_EQ(CHostGraph::Create(m_graph.Put()), S_OK);
        ASSERT_EQ(CRenderSink::Create(m_sink.Put()), S_OK);
        m_pSource = CCounterSource::Create();
        ASSERT_NE(m_pSource, nullptr);
        m_pStream = m_pSource->Stream();
        m_pSinkPin = m_sink->Pin();
        m_pRecorder = m_sink->Recorder();
        m_pSinkPin->SetRenderMode(SinkRenderMode::AsFastAsPossible);
        m_pSinkPin->SetOfferAllocator(GetParam());
        ASSERT_EQ(m_graph->AddFilter(m_pSource->Filter(), L"Counter"), S_OK);
        ASSERT_EQ(m_graph->AddFilter(m_sink.Get(), L"Sink"), S_OK);
    }
    void TearDown() override {
        if (m_graph) {
            EXPECT_EQ(m_graph->Teardown(), S_OK);
        }
        if (m_pStream) {
            m_pStream->ReleaseHeld();
        }
        if (m_pSource) {
            EXPECT_EQ(m_pSource->Filter()->Release(), 0u);
        }
        m_graph.Reset();
        m_sink.Reset();
        if (SUCCEEDED(m_hrCom)) {
            CoUninitialize();
        }
    }
    void Connect() {
        ASSERT_EQ(m_graph->ConnectDirect(m_pSource->OutputPin(), m_sink->InputPin(), nullptr), S_OK);
        ASSERT_EQ(m_pSinkPin->UsesOwnAllocator(), GetParam());
    }
    // Samples came in order from frame 0, with their times, whole.
    void ExpectCounterSamples(size_t cAtLeast) {
        const std::vector<SinkSample> samples = m_pRecorder->Samples();
        ASSERT_GE(samples.size(), cAtLeast);
        for (size_t n = 0; n < samples.size(); n++) {
            const SinkSample& s = samples[n];
            ASSERT_EQ(s.hrTime, S_OK) << n;
            EXPECT_EQ(s.rtStart, static_cast<REFERENCE_TIME>(n) * kFrameTime) << n;
            EXPECT_EQ(s.rtStop, static_cast<REFERENCE_TIME>(n + 1) * kFrameTime) << n;
            EXPECT_TRUE(s.bSyncPoint) << n;
            EXPECT_EQ(s.lActual, kFrameBytes) << n;
            EXPECT_TRUE(s.bLengthValid) << n;
        }
        const std::vector<BYTE> last = m_pRecorder->LastFrame();
        ASSERT_EQ(last.size(), static_cast<size_t>(kFrameBytes));
        LONG n = -1;
        memcpy(&n, last.data(), sizeof(LONG));
        EXPECT_GE(n, static_cast<LONG>(cAtLeast) - 1);
        EXPECT_EQ(last.back(), static_cast<BYTE>(n & 0xFF));
    }
    // Waits (bounded) until cond holds.
    template <class F>
    static bool Eventually(F cond) {
        for (int i = 0; i < 500; i++) {
            if (cond()) {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return cond();
    }

    HRESULT m_hrCom = E_FAIL;
    CComRef<CHostGraph> m_graph;
    CComRef<CRenderSink> m_sink;
    CRenderSinkPin* m_pSinkPin = nullptr;
    CSinkRecorder* m_pRecorder = nullptr;
    CCounterSource* m_pSource = nullptr;
    CCounterStream* m_pStream = nullptr;
};

// The connection helper's failure ends the test.
#define CONNECT_OR_RETURN()     \
    do {                        \
        Connect();              \
        if (HasFatalFailure())  \
            return;             \
    } while (0)

TEST_P(StreamTest, PauseRunStopManyTimesDeliversInOrderWithTimes) {
    CONNECT_OR_RETURN();
    for (int round = 1; round <= 5; round++) {
        m_pRecorder->ResetCounts();
        ASSERT_EQ(m_graph->Pause(), S_OK);
        ASSERT_EQ(m_graph->Run(), S_OK);
        ASSERT_TRUE(m_pRecorder->WaitForSamples(20, kWaitMs));
        ASSERT_EQ(m_graph->Stop(), S_OK);
        EXPECT_FALSE(m_pStream->ThreadExists());
        ExpectCounterSamples(20);
        EXPECT_EQ(m_pStream->m_cThreadCreates.load(), round);
        EXPECT_EQ(m_pStream->m_cThreadDestroys.load(), round);
        EXPECT_EQ(m_pStream->m_cStartPlays.load(), round);
    }
    EXPECT_EQ(m_pRecorder->Counts().endOfStream, 0u);
    EXPECT_EQ(m_graph->CountEvents(EC_ERRORABORT), 0u);
}

TEST_P(StreamTest, StopReleasesAWorkerBlockedInGetBuffer) {
    m_pStream->m_cfg.holdSamples = true;  // every buffer stays out
    CONNECT_OR_RETURN();
    ASSERT_EQ(m_graph->Run(), S_OK);
    ASSERT_TRUE(m_pRecorder->WaitForSamples(2, kWaitMs));
    ASSERT_TRUE(Eventually([&] { return m_pStream->HeldCount() >= 2; }));
    // Let it block: the counter source fills at once, so a worker not held in
    // GetBuffer would fill again well within 50 ms.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const LONG cFills = m_pStream->m_cFills.load();
    EXPECT_EQ(m_graph->Stop(), S_OK);
    EXPECT_FALSE(m_pStream->ThreadExists());
    EXPECT_EQ(m_pStream->m_cFills.load(), cFills);
    m_pStream->ReleaseHeld();

    // And it streams again afterwards.
    m_pStream->m_cfg.holdSamples = false;
    m_pRecorder->ResetCounts();
    ASSERT_EQ(m_graph->Run(), S_OK);
    ASSERT_TRUE(m_pRecorder->WaitForSamples(5, kWaitMs));
    EXPECT_EQ(m_graph->Stop(), S_OK);
}

TEST_P(StreamTest, FillBufferEndingTheStreamSendsOneEndOfStream) {
    m_pStream->m_cfg.endAfter = 3;
    CONNECT_OR_RETURN();
    ASSERT_EQ(m_graph->Run(), S_OK);
    ASSERT_TRUE(m_pRecorder->WaitForEndOfStream(kWaitMs));
    // A worker that went on after the end would deliver again at once (the
    // counter source does not wait); 50 ms is many such deliveries.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(m_pRecorder->SampleCount(), 3u);
    EXPECT_EQ(m_pRecorder->Counts().endOfStream, 1u);
    EXPECT_EQ(m_pStream->m_cFills.load(), 3);
    EXPECT_EQ(m_pStream->m_cStartPlays.load(), 1);  // idle until the next pause
    EXPECT_EQ(m_graph->CountEvents(EC_ERRORABORT), 0u);
    EXPECT_TRUE(m_pStream->ThreadExists());
    EXPECT_EQ(m_graph->Stop(), S_OK);
    EXPECT_FALSE(m_pStream->ThreadExists());
    ExpectCounterSamples(3);
}

TEST_P(StreamTest, FillBufferFailureAbortsWithItsCode) {
    const HRESULT hrFail = static_cast<HRESULT>(0x80041234);
    m_pStream->m_cfg.failAfter = 2;
    m_pStream->m_cfg.hrFail = hrFail;
    CONNECT_OR_RETURN();
    ASSERT_EQ(m_graph->Run(), S_OK);
    HostEvent ev{};
    ASSERT_TRUE(m_graph->WaitForEvent(EC_ERRORABORT, kWaitMs, &ev));
    EXPECT_EQ(ev.lParam1, static_cast<LONG_PTR>(hrFail));
    EXPECT_EQ(ev.lParam2, 0);
    EXPECT_EQ(m_pRecorder->SampleCount(), 2u);
    EXPECT_EQ(m_pRecorder->Counts().endOfStream, 1u);
    EXPECT_EQ(m_graph->Stop(), S_OK);
    EXPECT_EQ(m_graph->CountEvents(EC_ERRORABORT), 1u);
}

TEST_P(StreamTest, RefusedReceiveEndsDeliveryQuietly) {
    for (HRESULT hrRefuse : {S_FALSE, E_FAIL}) {
        m_pSinkPin->FailReceiveAfter(4, hrRefuse);
        CONNECT_OR_RETURN();
        ASSERT_EQ(m_graph->Run(), S_OK);
        ASSERT_TRUE(Eventually([&] { return m_pRecorder->Counts().refused >= 1; }));
        std::this_thread::sleep_for(std::chrono::milliseconds(50));  // as above: room for more
        EXPECT_EQ(m_pRecorder->SampleCount(), 4u);
        EXPECT_EQ(m_pRecorder->Counts().refused, 1u);  // the worker stopped at the first refusal
        EXPECT_EQ(m_pStream->m_cFills.load(), 5);
        EXPECT_EQ(m_pRecorder->Counts().endOfStream, 0u);
        EXPECT_EQ(m_graph->CountEvents(EC_ERRORABORT), 0u);
        EXPECT_EQ(m_graph->Stop(), S_OK);
        EXPECT_FALSE(m_pStream->ThreadExists());
        // Next round on a fresh connection.
        ASSERT_EQ(m_pSource->OutputPin()->Disconnect(), S_OK);
        ASSERT_EQ(m_sink->InputPin()->Disconnect(), S_OK);
        m_pSinkPin->FailReceiveAfter(UINT64_MAX, S_OK);
        m_pRecorder->ResetCounts();
        m_pStream->m_cFills = 0;
    }
}

TEST_P(StreamTest, ReconnectionIsRefusedWhileNotStopped) {
    CONNECT_OR_RETURN();
    IPin* pOut = m_pSource->OutputPin();
    ASSERT_EQ(m_graph->Pause(), S_OK);
    EXPECT_EQ(pOut->Disconnect(), VFW_E_NOT_STOPPED);
    EXPECT_EQ(pOut->Connect(m_sink->InputPin(), nullptr), VFW_E_ALREADY_CONNECTED);
    ASSERT_EQ(m_graph->Run(), S_OK);
    EXPECT_EQ(pOut->Disconnect(), VFW_E_NOT_STOPPED);
    ASSERT_TRUE(m_pRecorder->WaitForSamples(3, kWaitMs));
    ASSERT_EQ(m_graph->Stop(), S_OK);
    EXPECT_EQ(pOut->Disconnect(), S_OK);
    EXPECT_EQ(m_sink->InputPin()->Disconnect(), S_OK);
    CONNECT_OR_RETURN();  // and connects again once stopped
}

// A worker whose OnThreadCreate fails has ended: nothing waits on it again,
// and the next Pause starts a new one.
TEST_P(StreamTest, FailedThreadCreateLeavesNothingToWaitFor) {
    m_pStream->m_cfg.hrThreadCreate = E_ABORT;
    CONNECT_OR_RETURN();
    EXPECT_EQ(m_pSource->Filter()->Pause(), E_ABORT);
    EXPECT_EQ(m_pStream->m_cThreadDestroys.load(), 1);
    FILTER_STATE fs = State_Running;
    EXPECT_EQ(m_pSource->Filter()->GetState(0, &fs), S_OK);
    EXPECT_EQ(fs, State_Stopped);
    EXPECT_EQ(m_pStream->Inactive(), S_OK);  // returns: no reply awaited from the dead thread
    EXPECT_EQ(m_pSource->Filter()->Stop(), S_OK);

    m_pStream->m_cfg.hrThreadCreate = S_OK;
    ASSERT_EQ(m_graph->Run(), S_OK);
    ASSERT_TRUE(m_pRecorder->WaitForSamples(3, kWaitMs));
    EXPECT_EQ(m_graph->Stop(), S_OK);
    EXPECT_EQ(m_pStream->m_cThreadCreates.load(), 2);
    EXPECT_EQ(m_pStream->m_cThreadDestroys.load(), 2);
}

INSTANTIATE_TEST_SUITE_P(SinkAllocator, StreamTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? "SinkAllocator" : "OwnAllocator";
                         });

}  // namespace
