// The rendering sink: what it accepts, how it paces and records samples, and
// how stop, flush and end of stream reach a Receive that is waiting.
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>

#include "host/HostGraph.h"
#include "host/RenderSink.h"
#include "platform/ComRef.h"
#include "tests/host/HostFakes.h"

namespace {

using Clock = std::chrono::steady_clock;
const REFERENCE_TIME kMs = 10000;

class RenderSinkTest : public ::testing::Test {
protected:
    void SetUp() override {
        // A host initialises COM on its threads; the sink's allocator needs it.
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
        ASSERT_EQ(S_OK, CHostGraph::Create(graph.Put()));
        ASSERT_EQ(S_OK, CRenderSink::Create(sink.Put()));
        ASSERT_EQ(S_OK, graph->AddFilter(sink.Get(), L"Sink"));
        pin = sink->Pin();
        recorder = sink->Recorder();
    }
    void TearDown() override {
        if (graph) {
            EXPECT_EQ(S_OK, graph->Teardown());
        }
        graph.Reset();
        sink.Reset();
        CoUninitialize();
    }

    void Connect() { ASSERT_EQ(S_OK, graph->ConnectDirect(&out, sink->InputPin(), nullptr)); }

    CFakeOutputPin out;  // declared first: outlives the graph that disconnects it
    CComRef<CHostGraph> graph;
    CComRef<CRenderSink> sink;
    CRenderSinkPin* pin = nullptr;
    CSinkRecorder* recorder = nullptr;
};

long long MsSince(Clock::time_point t) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count();
}

}  // namespace

TEST_F(RenderSinkTest, AcceptsOnlyWhatItIsConfiguredFor) {
    VIDEOINFOHEADER vih;
    AM_MEDIA_TYPE mt = VideoType(4, 2, &vih);
    EXPECT_EQ(S_OK, pin->QueryAccept(&mt));

    AM_MEDIA_TYPE other = mt;
    other.majortype = GUID_NULL;
    other.majortype.Data1 = 0x73647561;  // not video
    EXPECT_EQ(VFW_E_TYPE_NOT_ACCEPTED, graph->ConnectDirect(&out, sink->InputPin(), &other));

    // A format block shorter than its format type says, or missing, is never read.
    AM_MEDIA_TYPE shortFormat = mt;
    shortFormat.cbFormat = sizeof(VIDEOINFOHEADER) - 1;
    EXPECT_EQ(VFW_E_TYPE_NOT_ACCEPTED, graph->ConnectDirect(&out, sink->InputPin(), &shortFormat));
    AM_MEDIA_TYPE noFormat = mt;
    noFormat.pbFormat = nullptr;
    EXPECT_EQ(S_FALSE, pin->QueryAccept(&noFormat));

    pin->AcceptOnly(MEDIATYPE_Video, MEDIASUBTYPE_RGB32);
    EXPECT_EQ(S_FALSE, pin->QueryAccept(&mt));
    pin->AcceptAnyType();
    EXPECT_EQ(S_OK, pin->QueryAccept(&other));

    // An input pin as connector is refused for its direction.
    CComRef<CRenderSink> other_sink;
    ASSERT_EQ(S_OK, CRenderSink::Create(other_sink.Put()));
    EXPECT_EQ(VFW_E_INVALID_DIRECTION, pin->ReceiveConnection(other_sink->InputPin(), &mt));
    EXPECT_EQ(nullptr, out.Peer());
}

TEST_F(RenderSinkTest, ConnectionRules) {
    Connect();
    EXPECT_EQ(VFW_E_ALREADY_CONNECTED, out.Connect(sink->InputPin(), nullptr));

    AM_MEDIA_TYPE copy{};
    ASSERT_EQ(S_OK, pin->ConnectionMediaType(&copy));
    EXPECT_EQ(MEDIASUBTYPE_RGB24, copy.subtype);
    ASSERT_EQ(sizeof(VIDEOINFOHEADER), copy.cbFormat);
    EXPECT_EQ(4, reinterpret_cast<VIDEOINFOHEADER*>(copy.pbFormat)->bmiHeader.biWidth);
    EXPECT_NE(out.m_preferred.pbFormat, copy.pbFormat);  // a copy in task memory
    CoTaskMemFree(copy.pbFormat);

    ASSERT_EQ(S_OK, graph->Pause());
    EXPECT_EQ(VFW_E_NOT_STOPPED, pin->Disconnect());
    ASSERT_EQ(S_OK, graph->Stop());
    EXPECT_EQ(S_OK, pin->Disconnect());
    EXPECT_EQ(S_FALSE, pin->Disconnect());
    EXPECT_EQ(VFW_E_NOT_CONNECTED, pin->ConnectionMediaType(&copy));
    EXPECT_EQ(nullptr, copy.pbFormat);
}

TEST_F(RenderSinkTest, RecordsWhatArrivesAsFastAsPossible) {
    Connect();
    pin->SetRenderMode(SinkRenderMode::AsFastAsPossible);
    std::vector<BYTE> seen;
    recorder->SetFrameCallback([&](const SinkFrame& f) { seen.assign(f.pData, f.pData + f.cbData); });

    EXPECT_EQ(VFW_E_WRONG_STATE, out.Deliver(8, 1, 0, 1));  // stopped: nothing rendered
    ASSERT_EQ(S_OK, graph->Run());
    // Far-future times do not hold anything back in this mode.
    EXPECT_EQ(S_OK, out.Deliver(8, 7, 0, 333333));
    EXPECT_EQ(S_OK, out.Deliver(6, 9, 3600 * 1000 * kMs, 3600 * 1000 * kMs + 1));
    EXPECT_TRUE(recorder->WaitForSamples(2, 1000));

    std::vector<SinkSample> samples = recorder->Samples();
    ASSERT_EQ(2u, samples.size());
    EXPECT_EQ(S_OK, samples[0].hrTime);
    EXPECT_EQ(333333, samples[0].rtStop);
    EXPECT_EQ(6, samples[1].lActual);
    EXPECT_TRUE(samples[1].bLengthValid);
    EXPECT_EQ(std::vector<BYTE>(6, 9), recorder->LastFrame());
    EXPECT_EQ(std::vector<BYTE>(6, 9), seen);
    EXPECT_EQ(1u, recorder->Counts().rejected);
}

TEST_F(RenderSinkTest, NeverReadsPastABufferWhoseLengthLies) {
    Connect();
    pin->SetRenderMode(SinkRenderMode::AsFastAsPossible);
    ASSERT_EQ(S_OK, graph->Run());
    CComRef<IMemInputPin> input;
    ASSERT_EQ(S_OK, sink->InputPin()->QueryInterface(IID_IMemInputPin, input.PutVoid()));
    for (LONG lie : {LONG(1000), LONG(-5)}) {
        CFakeSample* sample = new CFakeSample(16);
        sample->SetActualDataLength(lie);
        EXPECT_EQ(S_OK, input->Receive(sample));
        sample->Release();
    }
    EXPECT_EQ(2u, recorder->Counts().badLength);
    EXPECT_TRUE(recorder->LastFrame().empty());  // -5 clamps to nothing
    EXPECT_EQ(E_POINTER, input->Receive(nullptr));
}

TEST_F(RenderSinkTest, RendersAtSampleTimeAndStopCutsTheWait) {
    Connect();
    graph->SetRunOffset(0);
    ASSERT_EQ(S_OK, graph->Run());
    Clock::time_point start = Clock::now();
    EXPECT_EQ(S_OK, out.Deliver(4, 1, 80 * kMs, 90 * kMs));
    EXPECT_GE(MsSince(start), 70);
    std::vector<SinkSample> samples = recorder->Samples();
    ASSERT_EQ(1u, samples.size());
    EXPECT_GE(samples[0].rtRendered, 80 * kMs);

    // A sample due in an hour waits until the graph stops, then is refused.
    std::future<HRESULT> late = std::async(std::launch::async, [&]() {
        return out.Deliver(4, 2, 3600 * 1000 * kMs, 3600 * 1000 * kMs + 1);
    });
    EXPECT_EQ(std::future_status::timeout, late.wait_for(std::chrono::milliseconds(50)));
    start = Clock::now();
    ASSERT_EQ(S_OK, graph->Stop());
    ASSERT_EQ(std::future_status::ready, late.wait_for(std::chrono::seconds(5)));
    EXPECT_EQ(VFW_E_WRONG_STATE, late.get());
    EXPECT_LT(MsSince(start), 1000);
    EXPECT_EQ(1u, recorder->SampleCount());
}

TEST_F(RenderSinkTest, PausedHoldsTheSampleUntilRun) {
    Connect();
    ASSERT_EQ(S_OK, graph->Pause());
    std::future<HRESULT> held = std::async(std::launch::async, [&]() { return out.Deliver(4, 3, 0, 1); });
    EXPECT_EQ(std::future_status::timeout, held.wait_for(std::chrono::milliseconds(50)));
    EXPECT_EQ(0u, recorder->SampleCount());
    ASSERT_EQ(S_OK, graph->Run());
    ASSERT_EQ(std::future_status::ready, held.wait_for(std::chrono::seconds(5)));
    EXPECT_EQ(S_OK, held.get());
    EXPECT_EQ(1u, recorder->SampleCount());

    // A time that never comes is bounded by the longest wait.
    pin->SetMaxWait(30);
    EXPECT_EQ(S_OK, out.Deliver(4, 4, 3600 * 1000 * kMs, 3600 * 1000 * kMs + 1));
    EXPECT_EQ(2u, recorder->SampleCount());
}

TEST_F(RenderSinkTest, RefusesReceiveAfterNSamples) {
    Connect();
    pin->SetRenderMode(SinkRenderMode::AsFastAsPossible);
    pin->FailReceiveAfter(2, S_FALSE);
    ASSERT_EQ(S_OK, graph->Run());
    EXPECT_EQ(S_OK, out.Deliver(4, 0, 0, 1));
    EXPECT_EQ(S_OK, out.Deliver(4, 0, 1, 2));
    EXPECT_EQ(S_FALSE, out.Deliver(4, 0, 2, 3));
    pin->FailReceiveAfter(2, E_FAIL);
    EXPECT_EQ(E_FAIL, out.Deliver(4, 0, 3, 4));
    EXPECT_EQ(2u, recorder->SampleCount());
    EXPECT_EQ(2u, recorder->Counts().refused);
}

TEST_F(RenderSinkTest, EndOfStreamCompletesOnceRunning) {
    Connect();
    pin->SetRenderMode(SinkRenderMode::AsFastAsPossible);
    ASSERT_EQ(S_OK, graph->Pause());
    EXPECT_EQ(S_OK, pin->EndOfStream());
    EXPECT_FALSE(graph->WaitForEvent(EC_COMPLETE, 20));  // paused: not yet
    ASSERT_EQ(S_OK, graph->Run());
    HostEvent event{};
    ASSERT_TRUE(graph->WaitForEvent(EC_COMPLETE, 1000, &event));
    EXPECT_EQ(reinterpret_cast<LONG_PTR>(static_cast<IBaseFilter*>(sink.Get())), event.lParam2);
    EXPECT_TRUE(recorder->WaitForEndOfStream(0));
    EXPECT_EQ(VFW_E_SAMPLE_REJECTED_EOS, out.Deliver(4, 0, 0, 1));

    // A stop ends the stream's end, and an end that races the stop (the
    // source's last word arriving after it) does not poison the next run.
    ASSERT_EQ(S_OK, graph->Stop());
    EXPECT_EQ(S_OK, pin->EndOfStream());
    ASSERT_EQ(S_OK, graph->Run());
    EXPECT_EQ(S_OK, out.Deliver(4, 0, 0, 1));
    EXPECT_EQ(1u, graph->CountEvents(EC_COMPLETE));
}

TEST_F(RenderSinkTest, FlushReleasesAWaitingReceive) {
    Connect();
    ASSERT_EQ(S_OK, graph->Run());
    std::future<HRESULT> waiting = std::async(std::launch::async, [&]() {
        return out.Deliver(4, 0, 3600 * 1000 * kMs, 3600 * 1000 * kMs + 1);
    });
    EXPECT_EQ(std::future_status::timeout, waiting.wait_for(std::chrono::milliseconds(30)));
    EXPECT_EQ(S_OK, pin->BeginFlush());
    ASSERT_EQ(std::future_status::ready, waiting.wait_for(std::chrono::seconds(5)));
    EXPECT_EQ(S_FALSE, waiting.get());
    EXPECT_EQ(S_FALSE, out.Deliver(4, 0, 0, 1));  // still flushing
    EXPECT_EQ(S_OK, pin->EndFlush());
    EXPECT_EQ(S_OK, out.Deliver(4, 0, 0, 1));
    EXPECT_EQ(S_OK, pin->NewSegment(5, 6, 2.0));
    ASSERT_EQ(1u, recorder->Segments().size());
    EXPECT_EQ(2.0, recorder->Segments()[0].dRate);
    EXPECT_EQ(1u, recorder->Counts().beginFlush);
    EXPECT_EQ(1u, recorder->Counts().endFlush);
}

TEST_F(RenderSinkTest, OffersItsAllocatorOnlyWhenAsked) {
    CComRef<IMemInputPin> input;
    ASSERT_EQ(S_OK, sink->InputPin()->QueryInterface(IID_IMemInputPin, input.PutVoid()));
    CComRef<IMemAllocator> allocator;
    EXPECT_EQ(VFW_E_NO_ALLOCATOR, input->GetAllocator(allocator.Put()));
    EXPECT_FALSE(allocator);

    ALLOCATOR_PROPERTIES props{};
    EXPECT_EQ(E_NOTIMPL, input->GetAllocatorRequirements(&props));
    ALLOCATOR_PROPERTIES wanted{3, 4096, 16, 0};
    pin->SetAllocatorRequirements(&wanted);
    ASSERT_EQ(S_OK, input->GetAllocatorRequirements(&props));
    EXPECT_EQ(3, props.cBuffers);
    EXPECT_EQ(16, props.cbAlign);

    pin->SetOfferAllocator(true);
    ASSERT_EQ(S_OK, input->GetAllocator(allocator.Put()));
    CComRef<IMemAllocator> again;
    ASSERT_EQ(S_OK, input->GetAllocator(again.Put()));
    EXPECT_EQ(allocator.Get(), again.Get());  // one allocator of its own, not one per call
    EXPECT_EQ(S_OK, input->NotifyAllocator(allocator.Get(), FALSE));
    EXPECT_TRUE(pin->UsesOwnAllocator());
}
