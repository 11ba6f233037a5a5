// The slot's filter streaming in the host graph from a loopback camera: what
// the sink gets (size, picture, times, flags, pace), format changes, the
// worker's commands, and stopping or releasing while others call back.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "camera/ExtendedTickCount.h"
#include "media/AMEvent.h"
#include "tests/filter/FilterFixture.h"
#include "tests/fixtures/FixtureProcess.h"

namespace {

const DWORD kWaitMs = 15000;

// Every command the test's stream sends its worker. The stop goes out under
// the filter's state lock, just before the stop waits for the worker:
// stopSent marks that moment.
struct CommandLog {
    std::mutex lock;
    std::vector<DWORD> commands;
    CAMEvent stopSent{TRUE};
};
CommandLog* g_pLog = nullptr;

void LogCommand(CSourceStream*, CSourceStream::Command com) {
    std::lock_guard<std::mutex> hold(g_pLog->lock);
    g_pLog->commands.push_back(com);
    if (com == CSourceStream::CMD_STOP) g_pLog->stopSent.Set();
}

// The host's time for one filter, telling when it is asked: of the filter,
// only the worker asks, to time a sample while running.
class CProbeClock final : public IReferenceClock {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        const bool known = riid == IID_IUnknown || riid == IID_IReferenceClock;
        *ppv = known ? static_cast<IReferenceClock*>(this) : nullptr;
        return *ppv ? S_OK : E_NOINTERFACE;
    }
    // Not counted: the test that owns it outlives the filter.
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP GetTime(REFERENCE_TIME* pTime) override {
        *pTime = CHostClock::Now();
        asked.Set();
        return S_OK;
    }
    STDMETHODIMP AdviseTime(REFERENCE_TIME, REFERENCE_TIME, HEVENT, DWORD_PTR*) override { return E_NOTIMPL; }
    STDMETHODIMP AdvisePeriodic(REFERENCE_TIME, REFERENCE_TIME, HSEMAPHORE, DWORD_PTR*) override {
        return E_NOTIMPL;
    }
    STDMETHODIMP Unadvise(DWORD_PTR) override { return E_NOTIMPL; }

    CAMEvent asked{TRUE};
};

// The camera's picture is 320 x 240 in quadrants: red, green over blue, white.
class FilterStreamTest : public FilterTest {
protected:
    void SetUp() override {
        FilterTest::SetUp();
        ASSERT_TRUE(m_camera.Start(MjpegServerCommand({"--width", "320", "--height", "240"})));
        const std::string url = "http://127.0.0.1:" + std::to_string(m_camera.Port()) + "/";
        m_config.url.assign(url.begin(), url.end());
    }
    // From now on the pin's commands go to m_log, until the filter is gone
    // (call it while stopped).
    void LogCommands() {
        g_pLog = &m_log;
        CSourceStream::s_pfnCommandHook = LogCommand;
    }
    void StartStreaming() {
        ASSERT_NO_FATAL_FAILURE(CreateFilter(m_config));
        ASSERT_NO_FATAL_FAILURE(MakeGraph());
        ASSERT_NO_FATAL_FAILURE(Connect());
    }
    // Runs f on another thread and waits for it, bounded. A call that hangs
    // ends the test program: nothing after it could stop the filter.
    template <class F>
    static void ExpectReturnsWithin(F f, DWORD ms, const char* what) {
        auto done = std::make_shared<std::promise<void>>();
        std::future<void> returned = done->get_future();
        std::thread([f, done] {
            f();
            done->set_value();
        }).detach();
        if (returned.wait_for(std::chrono::milliseconds(ms)) != std::future_status::ready) {
            std::fprintf(stderr, "%s hangs\n", what);
            std::_Exit(1);
        }
    }

    CFixtureProcess m_camera;
    SlotConfig m_config;
    CommandLog m_log;
    CProbeClock m_clock;
};

// Each channel near full (1) or near zero (0), at a store row (0 is the bottom).
void ExpectColour(const std::vector<BYTE>& frame, LONG w, LONG row, LONG column, int b, int g, int r) {
    const BYTE* p = &frame[size_t(row) * size_t((w * 3 + 3) & ~3) + size_t(column) * 3];
    auto near = [](int value, int on) { return on ? value > 140 : value < 70; };
    EXPECT_TRUE(near(p[0], b) && near(p[1], g) && near(p[2], r))
        << "row " << row << ": B" << int(p[0]) << " G" << int(p[1]) << " R" << int(p[2]);
}

// The first status read from `status` that passes `done`, polled for up to kWaitMs.
template <class Done>
OCULO_STATUS StatusOnceDone(IOculoStatus* status, Done done) {
    OCULO_STATUS s = SizedStatus();
    for (int i = 0; i < int(kWaitMs / 20); ++i) {
        s.cbSize = sizeof(s);
        if (FAILED(status->GetStatus(&s)) || done(s)) break;
        Sleep(20);
    }
    return s;
}

}  // namespace

// The right half of the picture, rows 60 ... 240 counted from the bottom:
// green over white, upright. tShift -200 ms: five discontinuities first.
TEST_F(FilterStreamTest, CroppedUprightPicturesWithNominalTimesAtTheConfiguredPace) {
    m_config.w = 160;
    m_config.h = 120;
    m_config.crop_l = 160;
    m_config.crop_r = 320;
    m_config.crop_t = 240;
    m_config.crop_b = 60;
    m_config.tShift = -200;
    ASSERT_NO_FATAL_FAILURE(StartStreaming());
    CSinkRecorder* pSink = m_sink->Recorder();
    ASSERT_EQ(m_graph->Run(), S_OK);
    ASSERT_TRUE(pSink->WaitForSamples(30, kWaitMs));
    const std::vector<SinkSample> samples = pSink->Samples();
    for (size_t n = 0; n < samples.size(); ++n) {
        const SinkSample& s = samples[n];
        const REFERENCE_TIME rtStart = -2000000 + REFERENCE_TIME(n) * 400000;
        ASSERT_EQ(s.rtStart, rtStart) << n;
        EXPECT_EQ(s.rtStop, rtStart + 400000) << n;
        EXPECT_EQ(s.bDiscontinuity, n < 5) << n;
        EXPECT_EQ(s.bSyncPoint, n >= 5) << n;
        EXPECT_EQ(s.lSize, 160 * 3 * 120) << n;
        // Never before its time (the clock counts whole milliseconds at worst).
        EXPECT_GE(s.rtRendered, s.rtStart - 10000) << n;
    }
    // The sink never waits, yet no sample went out before its time (checked
    // above): that is the flood check. A slow machine may lag and then catch
    // up, so only a loose lower bound is put on the pace.
    const SinkSample& first = samples[5];
    const SinkSample& last = samples.back();
    const double rate = double(last.rtStart - first.rtStart) / double(last.rtRendered - first.rtRendered);
    EXPECT_GT(rate, 0.3);
    const std::vector<BYTE> frame = pSink->LastFrame();
    ASSERT_EQ(frame.size(), size_t(160 * 3 * 120));
    ExpectColour(frame, 160, 110, 80, 0, 1, 0);  // top: green
    ExpectColour(frame, 160, 10, 80, 1, 1, 1);   // bottom: white

    // A new run restarts the times at tShift.
    ASSERT_EQ(m_graph->Stop(), S_OK);
    pSink->ResetCounts();
    ASSERT_EQ(m_graph->Run(), S_OK);
    ASSERT_TRUE(pSink->WaitForSamples(1, kWaitMs));
    EXPECT_EQ(pSink->Samples().front().rtStart, -2000000);
    EXPECT_TRUE(pSink->Samples().front().bDiscontinuity);
}

TEST_F(FilterStreamTest, ChosenFrameDurationAfterReconnection) {
    ASSERT_NO_FATAL_FAILURE(StartStreaming());
    AM_MEDIA_TYPE* pmt = nullptr;
    ASSERT_EQ(m_pPin->GetFormat(&pmt), S_OK);
    reinterpret_cast<VIDEOINFOHEADER*>(pmt->pbFormat)->AvgTimePerFrame = 1000000;
    EXPECT_EQ(m_pPin->SetFormat(pmt), S_OK);
    DeleteMediaType(pmt);
    EXPECT_EQ(m_graph->ReconnectCount(), 1u);
    ASSERT_TRUE(m_pPin->IsConnected());
    ASSERT_EQ(m_graph->Run(), S_OK);
    ASSERT_TRUE(m_sink->Recorder()->WaitForSamples(3, kWaitMs));
    for (const SinkSample& s : m_sink->Recorder()->Samples()) {
        EXPECT_EQ(s.rtStop - s.rtStart, 1000000);
    }
}

// Pause, Run, Stop: Run itself sends the worker nothing.
TEST_F(FilterStreamTest, StateChangesSendTheWorkerItsCommands) {
    ASSERT_NO_FATAL_FAILURE(StartStreaming());
    LogCommands();
    ASSERT_EQ(m_graph->Pause(), S_OK);
    ASSERT_EQ(m_graph->Run(), S_OK);
    ASSERT_TRUE(m_sink->Recorder()->WaitForSamples(3, kWaitMs));
    ASSERT_EQ(m_graph->Stop(), S_OK);
    std::lock_guard<std::mutex> hold(m_log.lock);
    EXPECT_EQ(m_log.commands, (std::vector<DWORD>{CSourceStream::CMD_INIT, CSourceStream::CMD_PAUSE,
                                                  CSourceStream::CMD_STOP, CSourceStream::CMD_EXIT}));
}

// Paused, the first sample goes out (downstream can cue) and the next is
// held; running, the next waits 5 s for its time, and Stop ends that at once.
TEST_F(FilterStreamTest, PauseHoldsAfterTheFirstSampleAndStopEndsAWait) {
    m_config.fps = 0.2f;
    ASSERT_NO_FATAL_FAILURE(StartStreaming());
    ASSERT_EQ(m_filter->SetSyncSource(&m_clock), S_OK);
    CSinkRecorder* pSink = m_sink->Recorder();
    ASSERT_EQ(m_graph->Pause(), S_OK);
    ASSERT_TRUE(pSink->WaitForSamples(1, kWaitMs));
    EXPECT_FALSE(pSink->WaitForSamples(2, 300));  // ample for one that is not held
    ASSERT_EQ(m_graph->Run(), S_OK);
    ASSERT_TRUE(m_clock.asked.Wait(kWaitMs));  // the worker is timing the next sample
    const uint64_t since = ExtendedTickCount();
    ASSERT_EQ(m_graph->Stop(), S_OK);
    EXPECT_LT(ExtendedTickCount() - since, 1000u);
    EXPECT_EQ(pSink->SampleCount(), 1u);
}

// Before the run a stopped camera; while it streams, the pictures counted by
// the reader the pin runs, rising, from the filter as from the pin.
TEST_F(FilterStreamTest, StatusFromTheFilterAndThePinFollowsTheirReader) {
    ASSERT_NO_FATAL_FAILURE(StartStreaming());
    CComRef<IOculoStatus> fromFilter;
    CComRef<IOculoStatus> fromPin;
    ASSERT_EQ(m_filter->QueryInterface(IID_IOculoStatus, fromFilter.PutVoid()), S_OK);
    ASSERT_EQ(static_cast<IPin*>(m_pPin)->QueryInterface(IID_IOculoStatus, fromPin.PutVoid()), S_OK);
    auto always = [](const OCULO_STATUS&) { return true; };
    EXPECT_EQ(StatusOnceDone(fromPin.Get(), always).lState, OCULO_STATE_STOPPED);

    ASSERT_EQ(m_graph->Run(), S_OK);
    const OCULO_STATUS first =
        StatusOnceDone(fromFilter.Get(), [](const OCULO_STATUS& s) { return s.ullPictures > 0; });
    EXPECT_EQ(first.lState, OCULO_STATE_STREAMING);
    ASSERT_GT(first.ullPictures, 0u);
    const ULONGLONG before = first.ullPictures;
    const OCULO_STATUS later =
        StatusOnceDone(fromPin.Get(), [before](const OCULO_STATUS& s) { return s.ullPictures > before; });
    EXPECT_GT(later.ullPictures, before);
    EXPECT_EQ(later.lState, OCULO_STATE_STREAMING);
}

// Capture tools run the filter without a clock. Its stream time then stands
// still while paused: the sample the pause held leaves as soon as the run
// resumes (restarting the time at 0 would hold it for as long as the filter
// had run), and no sample leaves before its time counted without the pause.
TEST_F(FilterTest, WithoutAClockStreamTimeStandsStillWhilePaused) {
    ASSERT_NO_FATAL_FAILURE(CreateFilter(SlotConfig{}));  // 25 fps, no camera
    ASSERT_EQ(CRenderSink::Create(m_sink.Put()), S_OK);
    m_sink->Pin()->SetRenderMode(SinkRenderMode::AsFastAsPossible);
    CSinkRecorder* pSink = m_sink->Recorder();
    struct Arrival {
        uint64_t tick;
        REFERENCE_TIME rtStart;
    };
    auto arrivals = std::make_shared<std::pair<std::mutex, std::vector<Arrival>>>();
    pSink->SetFrameCallback([arrivals](const SinkFrame& frame) {
        std::lock_guard<std::mutex> hold(arrivals->first);
        arrivals->second.push_back({ExtendedTickCount(), frame.pInfo->rtStart});
    });
    ASSERT_EQ(m_pPin->Connect(m_sink->InputPin(), nullptr), S_OK);
    ASSERT_EQ(m_sink->Run(0), S_OK);
    ASSERT_EQ(m_filter->Pause(), S_OK);  // the streaming starts: Run alone starts the clock
    const uint64_t runTick = ExtendedTickCount();
    ASSERT_EQ(m_filter->Run(0), S_OK);
    ASSERT_TRUE(pSink->WaitForSamples(51, kWaitMs));  // sample 50 starts 2 s into the stream
    ASSERT_EQ(m_filter->Pause(), S_OK);
    const uint64_t pauseTick = ExtendedTickCount();
    Sleep(300);  // a pause the stream time must not count
    const uint64_t resumeTick = ExtendedTickCount();
    const uint64_t cBeforeResume = pSink->SampleCount();
    ASSERT_EQ(m_filter->Run(0), S_OK);
    ASSERT_TRUE(pSink->WaitForSamples(cBeforeResume + 6, kWaitMs));
    const uint64_t cBeforeStop = pSink->SampleCount();
    ASSERT_EQ(m_filter->Stop(), S_OK);
    // The stream time at the pause is at least the start of the last sample
    // before it (none leaves early), and at most the time the filter ran.
    // The stop releases a sample that waits for its time: not paced, not counted.
    std::vector<Arrival> resumed;
    int64_t msPausedAtLeast = 0;
    {
        std::lock_guard<std::mutex> hold(arrivals->first);
        const size_t cPaced = std::min<size_t>(cBeforeStop, arrivals->second.size());
        for (size_t i = 0; i < cPaced; ++i) {
            const Arrival& a = arrivals->second[i];
            if (a.tick >= resumeTick) {
                resumed.push_back(a);
            } else {
                msPausedAtLeast = a.rtStart / 10000;
            }
        }
    }
    const int64_t msPausedAtMost = int64_t(pauseTick - runTick);
    ASSERT_GE(resumed.size(), 6u);
    ASSERT_GE(msPausedAtLeast, 2000);
    EXPECT_LT(int64_t(resumed.front().tick - resumeTick), msPausedAtLeast / 2);
    for (const Arrival& a : resumed) {
        EXPECT_GE(int64_t(a.tick - resumeTick) + 10, a.rtStart / 10000 - msPausedAtMost) << a.rtStart;
    }
    ASSERT_EQ(m_sink->Stop(), S_OK);
    EXPECT_EQ(m_pPin->Disconnect(), S_OK);
    EXPECT_EQ(m_sink->InputPin()->Disconnect(), S_OK);
}

// A sample callback asks the pin and the filter about themselves while Stop
// holds the filter's state lock and waits for the worker inside that callback.
TEST_F(FilterStreamTest, StopWhileTheSinkCallsBackIntoTheFilter) {
    ASSERT_NO_FATAL_FAILURE(CreateFilter(m_config));
    ASSERT_NO_FATAL_FAILURE(MakeGraph());
    std::atomic<bool> bArmed{false};
    CAMEvent entered(TRUE);
    std::atomic<int> cAnswered{0};
    COculoStream* pPin = m_pPin;
    COculo* pOculo = m_pOculo;
    IBaseFilter* pFilter = m_filter.Get();
    m_sink->Recorder()->SetFrameCallback([&, pPin, pOculo, pFilter](const SinkFrame&) {
        if (!bArmed.exchange(false)) {
            return;
        }
        entered.Set();
        EXPECT_TRUE(m_log.stopSent.Wait(kWaitMs));  // Stop now waits for this thread
        AM_MEDIA_TYPE mt = {};
        if (pPin->ConnectionMediaType(&mt) == S_OK) {
            cAnswered++;
            EXPECT_EQ(pPin->QueryAccept(&mt), S_OK);
            FreeMediaType(mt);
        }
        IEnumMediaTypes* pEnum = nullptr;
        AM_MEDIA_TYPE* pType = nullptr;
        if (pPin->EnumMediaTypes(&pEnum) == S_OK && pEnum->Next(1, &pType, nullptr) == S_OK) {
            cAnswered++;
            DeleteMediaType(pType);
        }
        if (pEnum) {
            pEnum->Release();
        }
        FILTER_INFO info = {};
        if (pFilter->QueryFilterInfo(&info) == S_OK) {
            cAnswered++;
            if (info.pGraph) {
                info.pGraph->Release();
            }
        }
        LPWSTR id = nullptr;
        if (pPin->QueryId(&id) == S_OK) {
            cAnswered++;
            CoTaskMemFree(id);
        }
        OCULO_STATUS status = SizedStatus();
        if (pPin->GetStatus(&status) == S_OK && pOculo->GetStatus(&status) == S_OK) {
            cAnswered++;
        }
    });
    ASSERT_NO_FATAL_FAILURE(Connect());
    LogCommands();
    ASSERT_EQ(m_graph->Run(), S_OK);
    ASSERT_TRUE(m_sink->Recorder()->WaitForSamples(1, kWaitMs));
    bArmed = true;
    ASSERT_TRUE(entered.Wait(kWaitMs));
    ExpectReturnsWithin([pFilter] { pFilter->Stop(); }, 10000, "Stop");
    EXPECT_EQ(cAnswered.load(), 5);
}

// The last reference goes while the filter runs and its reader delivers
// pictures: the filter stops itself before anything is destroyed.
TEST_F(FilterStreamTest, ReleasingARunningFilterStopsItFirst) {
    ASSERT_NO_FATAL_FAILURE(CreateFilter(m_config));
    ASSERT_EQ(CRenderSink::Create(m_sink.Put()), S_OK);
    m_sink->Pin()->SetRenderMode(SinkRenderMode::AsFastAsPossible);
    CSinkRecorder* pSink = m_sink->Recorder();
    ASSERT_EQ(m_pPin->Connect(m_sink->InputPin(), nullptr), S_OK);
    ASSERT_EQ(m_sink->Run(0), S_OK);
    ASSERT_EQ(m_filter->Run(0), S_OK);  // no clock: paced by the monotonic clock
    ASSERT_TRUE(pSink->WaitForSamples(3, kWaitMs));
    // The sink lets go of the pin, so that our reference is the last.
    ASSERT_EQ(m_sink->Stop(), S_OK);
    ASSERT_EQ(m_sink->InputPin()->Disconnect(), S_OK);
    IBaseFilter* pFilter = m_filter.Detach();
    ULONG cLeft = 1;
    ExpectReturnsWithin([pFilter, &cLeft] { cLeft = pFilter->Release(); }, 10000, "Release");
    EXPECT_EQ(cLeft, 0u);
    // The pin gave back its reference on the sink.
    m_sink->AddRef();
    EXPECT_EQ(m_sink->Release(), 1u);
}
