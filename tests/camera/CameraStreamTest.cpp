// The reader against real cameras served on loopback by the fixtures.
#include <algorithm>
#include <cstdio>
#include <string>
#include <thread>

#include "tests/camera/CameraTestSupport.h"

namespace {

void ExpectPromptStopAndSilence(CRTSPCamera& camera, CRecorder& recorder) {
    const uint64_t took = TimedStop(camera, &recorder);
    EXPECT_LT(took, kPromptStopMs);
    std::printf("stop took %llu ms\n", static_cast<unsigned long long>(took));
    EXPECT_FALSE(camera.IsRunning());
    EXPECT_FALSE(camera.IsOpen());
    EXPECT_EQ(camera.GetFrameCount(), 0);
    // A reader still running would deliver the fixture's next picture within
    // 1/15 s; 300 ms covers several.
    Sleep(300);
    EXPECT_EQ(recorder.m_iAfterStop.load(), 0);
}

struct Bgr {
    int b, g, r;
};
// One store pixel; store row 0 is the bottom line.
Bgr StorePixel(CFrameStore& store, LONG w, LONG h, LONG row, LONG column) {
    std::vector<BYTE> bytes(size_t(CFrameStore::StoreBytes(w, h)));
    EXPECT_GT(store.CopyStore(bytes.data(), LONG(bytes.size())), 0);
    const BYTE* p = &bytes[size_t(row) * CFrameStore::StoreStride(w) + size_t(column) * 3];
    return {p[0], p[1], p[2]};
}

// Each channel near full (1) or near zero (0).
void ExpectColour(Bgr pixel, int b, int g, int r, const char* what) {
    auto isNear = [](int value, int on) { return on ? value > 140 : value < 70; };
    EXPECT_TRUE(isNear(pixel.b, b) && isNear(pixel.g, g) && isNear(pixel.r, r))
        << what << ": got B" << pixel.b << " G" << pixel.g << " R" << pixel.r;
}

// The MJPEG fixture's quadrants, seen upright through the store.
void ExpectQuadrants(CFrameStore& store, LONG w, LONG h) {
    ExpectColour(StorePixel(store, w, h, 3 * h / 4, w / 4), 0, 0, 1, "top left red");
    ExpectColour(StorePixel(store, w, h, 3 * h / 4, 3 * w / 4), 0, 1, 0, "top right green");
    ExpectColour(StorePixel(store, w, h, h / 4, w / 4), 1, 0, 0, "bottom left blue");
    ExpectColour(StorePixel(store, w, h, h / 4, 3 * w / 4), 1, 1, 1, "bottom right white");
}

// The upper part of the SMPTE bars: white, yellow, cyan, green, magenta, red, blue.
void ExpectBars(CFrameStore& store, LONG w, LONG h) {
    const int bars[7][3] = {{1, 1, 1}, {0, 1, 1}, {1, 1, 0}, {0, 1, 0}, {1, 0, 1}, {0, 0, 1}, {1, 0, 0}};
    for (int k = 0; k < 7; ++k) {
        const Bgr p = StorePixel(store, w, h, h - 1 - h / 4, (2 * k + 1) * w / 14);
        ExpectColour(p, bars[k][0], bars[k][1], bars[k][2], ("bar " + std::to_string(k)).c_str());
    }
}

// Named cameras are looked up by the reader and reached by number: over RTSP
// here, and stopped while streaming, where each stop must end the camera's
// session with a TEARDOWN (over UDP the camera would otherwise keep sending).
TEST_F(CameraStreamTest, EveryStoppedRtspRunEndsItsSessionAtTheCamera) {
    const std::string log = TempFileName("sessions");
    ASSERT_TRUE(server.Start(RtspServerCommand({"--width", "160", "--height", "120", "--log", log})));
    recorder.ResizeFrameStore(160, 120);
    CRTSPCamera camera(&recorder);
    const std::wstring url = L"rtsp://camera.test:" + std::to_wstring(server.Port()) + L"/mjpeg";
    uint64_t worst = 0;
    for (int i = 0; i < 20; ++i) {
        camera.Start(url.c_str());
        ASSERT_TRUE(WaitUntil([&] { return camera.GetFrameCount() >= 1; })) << "run " << i;
        worst = std::max(worst, TimedStop(camera));
    }
    EXPECT_TRUE(WaitUntil([&] { return CountLines(log, "teardown") >= 20; }, 5000));
    EXPECT_EQ(CountLines(log, "session"), 20);
    EXPECT_EQ(CountLines(log, "teardown"), 20);
    EXPECT_LT(worst, kPromptStopMs);
    std::printf("worst of 20 stops while streaming RTSP: %llu ms\n", static_cast<unsigned long long>(worst));
    std::remove(log.c_str());
}

TEST_F(CameraStreamTest, StopDuringANameLookupThatNeverAnswersIsPrompt) {
    // A named HTTP camera is reached too, and still sees its name.
    const std::string log = TempFileName("connections");
    ASSERT_TRUE(server.Start(MjpegServerCommand({"--log", log})));
    CRTSPCamera camera(&recorder);
    recorder.ResizeFrameStore(64, 48);
    const std::string host = "camera.test:" + std::to_string(server.Port());
    camera.Start((L"http://" + std::wstring(host.begin(), host.end()) + L"/").c_str());
    ASSERT_TRUE(WaitUntil([&] { return camera.GetFrameCount() >= 1; }));
    EXPECT_EQ(CountLines(log, ("host " + host).c_str()), 1);
    std::remove(log.c_str());

    camera.Start(L"rtsp://camera.local/stream");  // stops the run, then hangs in the lookup
    EXPECT_TRUE(camera.IsRunning());
    const uint64_t took = TimedStop(camera);
    EXPECT_LT(took, kPromptStopMs);
    std::printf("stop during a hung name lookup: %llu ms\n", static_cast<unsigned long long>(took));
    EXPECT_EQ(g_iHungLookupsEnded.load(), 0);  // left behind, still hanging
    // Once it answers, the abandoned lookup ends on its own.
    ReleaseHungLookups();
    EXPECT_TRUE(WaitUntil([] { return g_iHungLookupsEnded.load() == 1; }, 5000));
}

TEST_F(CameraStreamTest, HttpMultipartPicturesArriveUprightAndTimed) {
    ASSERT_TRUE(server.Start(MjpegServerCommand({"--width", "320", "--height", "240"})));
    recorder.ResizeFrameStore(320, 240);
    CRTSPCamera camera(&recorder);
    EXPECT_GE(camera.GetTimeSinceLastFrame(), 60000);
    EXPECT_STREQ(camera.GetImageFormat(), L"bmp");
    ASSERT_TRUE(camera.Start(Url("http", server.Port(), "/").c_str()));
    ASSERT_TRUE(WaitUntil([&] { return camera.GetFrameCount() >= 3; }));
    EXPECT_TRUE(camera.IsRunning());
    EXPECT_EQ(recorder.m_iWidth.load(), 320);
    EXPECT_EQ(recorder.m_iHeight.load(), 240);
    EXPECT_LT(camera.GetTimeSinceLastFrame(), 5000);
    EXPECT_LE(camera.GetLastFrameTime(), ExtendedTickCount());
    ExpectQuadrants(recorder, 320, 240);
    ExpectPromptStopAndSilence(camera, recorder);
}

// An odd width: the reader's padded rows must be the rows the store reads.
TEST_F(CameraStreamTest, RawMjpegOfAnOddSizeWithAnUpperCaseScheme) {
    ASSERT_TRUE(server.Start(MjpegServerCommand({"--mode", "raw", "--width", "317", "--height", "237"})));
    recorder.ResizeFrameStore(160, 120);
    CRTSPCamera camera(&recorder);
    camera.Start(Url("HTTP", server.Port(), "/").c_str());
    ASSERT_TRUE(WaitUntil([&] { return camera.GetFrameCount() >= 2; }));
    EXPECT_EQ(recorder.m_iWidth.load(), 317);
    EXPECT_EQ(recorder.m_iHeight.load(), 237);
    ExpectQuadrants(recorder, 160, 120);
    camera.Stop();
}

TEST_F(CameraStreamTest, RtspH264OverTcpOnlyWithAnUpperCaseScheme) {
    ASSERT_TRUE(server.Start(RtspServerCommand({"--tcp-only"})));
    recorder.ResizeFrameStore(640, 480);
    CRTSPCamera camera(&recorder);
    camera.Start(Url("RTSP", server.Port(), "/h264").c_str());
    ASSERT_TRUE(WaitUntil([&] { return camera.GetFrameCount() >= 5; }));
    EXPECT_EQ(recorder.m_iWidth.load(), 640);
    EXPECT_EQ(recorder.m_iHeight.load(), 480);
    ExpectBars(recorder, 640, 480);
    ExpectPromptStopAndSilence(camera, recorder);
}

TEST_F(CameraStreamTest, RtspJpeg) {
    ASSERT_TRUE(server.Start(RtspServerCommand({"--width", "320", "--height", "240"})));
    recorder.ResizeFrameStore(320, 240);
    CRTSPCamera camera(&recorder);
    camera.Start(Url("rtsp", server.Port(), "/mjpeg").c_str());
    ASSERT_TRUE(WaitUntil([&] { return camera.GetFrameCount() >= 3; }));
    EXPECT_EQ(recorder.m_iWidth.load(), 320);
    ExpectBars(recorder, 320, 240);
    camera.Stop();
}

TEST_F(CameraStreamTest, WithoutCallbackPicturesAreStillCounted) {
    ASSERT_TRUE(server.Start(MjpegServerCommand({})));
    CRTSPCamera camera(nullptr);
    camera.Start(Url("http", server.Port(), "/").c_str());
    ASSERT_TRUE(WaitUntil([&] { return camera.GetFrameCount() >= 2; }));
    EXPECT_LT(camera.GetTimeSinceLastFrame(), 5000);
    camera.Stop();
}

TEST_F(CameraStreamTest, UnreachableAddressReturnsAfterTheWaitAndKeepsTrying) {
    const int port = FreeLoopbackPort();
    ASSERT_NE(port, 0);
    CRTSPCamera camera(&recorder);
    recorder.ResizeFrameStore(64, 48);
    // A stop asked while Start waits for the first picture ends the wait.
    std::thread stopper([&] {
        for (int i = 0; i < 5000 && !camera.IsRunning(); ++i) Sleep(2);
        camera.RequestStop();
    });
    uint64_t since = ExtendedTickCount();
    camera.Start(Url("http", port, "/").c_str());
    stopper.join();
    EXPECT_LT(ExtendedTickCount() - since, 1900u);
    camera.Stop();

    since = ExtendedTickCount();
    EXPECT_TRUE(camera.Start(Url("http", port, "/").c_str()));
    const uint64_t took = ExtendedTickCount() - since;
    EXPECT_GE(took, 1900u);
    EXPECT_LT(took, 6000u);
    EXPECT_TRUE(camera.IsRunning());
    EXPECT_EQ(camera.GetFrameCount(), 0);
    // The camera comes up later on that address: the run finds it.
    const std::string log = TempFileName("connections");
    ASSERT_TRUE(server.Start(MjpegServerCommand({"--port", std::to_string(port), "--log", log})));
    ASSERT_TRUE(WaitUntil([&] { return camera.GetFrameCount() >= 1; }));
    // Stop during the pause between attempts: after a refused connect the
    // thread is pausing nearly all the time.
    server.Kill();
    Sleep(1200);
    ExpectPromptStopAndSilence(camera, recorder);
    std::remove(log.c_str());
}

TEST_F(CameraStreamTest, KilledAndRestartedServerIsReconnectedAndCountingGoesOn) {
    ASSERT_TRUE(server.Start(MjpegServerCommand({})));
    const int port = server.Port();
    CRTSPCamera camera(&recorder);
    recorder.ResizeFrameStore(64, 48);
    camera.Start(Url("http", port, "/").c_str());
    ASSERT_TRUE(WaitUntil([&] { return camera.GetFrameCount() >= 2; }));
    server.Kill();
    Sleep(700);
    const LONG before = camera.GetFrameCount();
    ASSERT_TRUE(server.Start(MjpegServerCommand({"--port", std::to_string(port)})));
    ASSERT_TRUE(WaitUntil([&] { return camera.GetFrameCount() >= before + 2; }));
    camera.Stop();
}

TEST_F(CameraStreamTest, ClosedAndResetConnectionsAreReconnected) {
    for (const char* ending : {"--close-after", "--reset-after"}) {
        SCOPED_TRACE(ending);
        const std::string log = TempFileName("connections");
        ASSERT_TRUE(server.Start(MjpegServerCommand({ending, "3", "--log", log})));
        CRTSPCamera camera(&recorder);
        recorder.ResizeFrameStore(64, 48);
        camera.Start(Url("http", server.Port(), "/").c_str());
        EXPECT_TRUE(WaitUntil([&] { return CountLines(log, "connect") >= 3 && camera.GetFrameCount() >= 4; }));
        camera.Stop();
        server.Kill();
        std::remove(log.c_str());
    }
}

// The decoder's size is followed on the same connection, down and up again
// (the server switches once; a second camera switches the other way).
TEST_F(CameraStreamTest, ResolutionSwitchesAreFollowedWithoutReconnecting) {
    for (const char* to : {"160x120", "641x479"}) {
        SCOPED_TRACE(to);
        const std::string log = TempFileName("connections");
        const std::string size = to;
        const std::string w = size.substr(0, size.find('x')), h = size.substr(size.find('x') + 1);
        ASSERT_TRUE(server.Start(
            MjpegServerCommand({"--switch-after", "5", "--switch-width", w, "--switch-height", h, "--log", log})));
        CRecorder sizes;
        sizes.ResizeFrameStore(100, 100);
        CRTSPCamera camera(&sizes);
        camera.Start(Url("http", server.Port(), "/").c_str());
        ASSERT_TRUE(WaitUntil([&] { return sizes.m_iWidth.load() == std::stol(w) && camera.GetFrameCount() >= 8; }));
        EXPECT_EQ(sizes.m_iHeight.load(), std::stol(h));
        EXPECT_EQ(sizes.m_iFirstWidth.load(), 320);
        EXPECT_EQ(CountLines(log, "connect"), 1);
        ExpectQuadrants(sizes, 100, 100);
        camera.Stop();
        server.Kill();
        std::remove(log.c_str());
    }
}

// A multipart camera's picture is handed over as soon as its part is in, not
// when the next begins: the last picture before the camera falls silent
// arrives too.
TEST_F(CameraStreamTest, EveryMultipartPictureArrivesWithoutWaitingForTheNext) {
    ASSERT_TRUE(server.Start(MjpegServerCommand({"--stall-after", "5"})));
    CRTSPCamera camera(&recorder);
    recorder.ResizeFrameStore(64, 48);
    camera.Start(Url("http", server.Port(), "/").c_str());
    EXPECT_TRUE(WaitUntil([&] { return camera.GetFrameCount() >= 5; }, 5000)) << camera.GetFrameCount();
    camera.Stop();
}

// Audio packets are no sign of life: a camera whose video ended while its
// audio goes on is reconnected after the silence limit.
TEST_F(CameraStreamTest, VideoThatStopsWhileAudioGoesOnIsReconnected) {
    const std::string log = TempFileName("sessions");
    ASSERT_TRUE(server.Start(RtspServerCommand({"--width", "160", "--height", "120", "--video-frames", "20",
                                                "--log", log})));
    CRTSPCamera camera(&recorder);
    recorder.ResizeFrameStore(64, 48);
    camera.Start(Url("rtsp", server.Port(), "/av").c_str());
    ASSERT_TRUE(WaitUntil([&] { return camera.GetFrameCount() >= 10; }));
    EXPECT_TRUE(WaitUntil([&] { return CountLines(log, "session") >= 2; }, kSilenceLimitMs + kPictureWaitMs));
    camera.Stop();
    std::remove(log.c_str());
}

TEST_F(CameraStreamTest, AnOpenThatNeverFinishesIsRetriedAfterTheLimitAndStopIsPrompt) {
    const std::string log = TempFileName("connections");
    ASSERT_TRUE(server.Start(MjpegServerCommand({"--hang", "--log", log})));
    CRTSPCamera camera(&recorder);
    camera.Start(Url("http", server.Port(), "/").c_str());  // returns after the 2 s wait
    EXPECT_EQ(camera.GetFrameCount(), 0);
    EXPECT_EQ(CountLines(log, "connect"), 1);
    EXPECT_TRUE(WaitUntil([&] { return CountLines(log, "connect") >= 2; }, kOpenLimitMs + 5000));
    ExpectPromptStopAndSilence(camera, recorder);  // stops while connecting
    std::remove(log.c_str());
}

TEST_F(CameraStreamTest, FrozenCameraIsReconnectedAfterTheSilenceLimitAndStopIsPrompt) {
    const std::string log = TempFileName("connections");
    ASSERT_TRUE(server.Start(MjpegServerCommand({"--log", log})));
    CRTSPCamera camera(&recorder);
    recorder.ResizeFrameStore(64, 48);
    camera.Start(Url("http", server.Port(), "/").c_str());
    ASSERT_TRUE(WaitUntil([&] { return camera.GetFrameCount() >= 2; }));
    ASSERT_TRUE(server.Freeze());
    // Past the silence limit the connection counts as failed; the next one
    // waits in the server's backlog and is served once the camera is back.
    // Without the limit the first connection would simply carry on.
    Sleep(DWORD(kSilenceLimitMs + 1500));
    const LONG before = camera.GetFrameCount();
    ASSERT_TRUE(server.Thaw());
    EXPECT_TRUE(WaitUntil([&] { return CountLines(log, "connect") >= 2 && camera.GetFrameCount() > before; }));
    // Stop while the read is blocked on a silent camera.
    ASSERT_TRUE(server.Freeze());
    Sleep(700);
    ExpectPromptStopAndSilence(camera, recorder);
    std::remove(log.c_str());
}

TEST_F(CameraStreamTest, StartWhileRunningBeginsANewRun) {
    ASSERT_TRUE(server.Start(MjpegServerCommand({})));
    CRTSPCamera camera(&recorder);
    recorder.ResizeFrameStore(64, 48);
    camera.Start(Url("http", server.Port(), "/").c_str());
    ASSERT_TRUE(WaitUntil([&] { return camera.GetFrameCount() >= 3; }));
    camera.Start(nullptr);
    EXPECT_TRUE(camera.IsRunning());
    EXPECT_LT(camera.GetFrameCount(), 3);  // counting began again
    EXPECT_TRUE(WaitUntil([&] { return camera.GetFrameCount() >= 1; }));
    camera.Stop();
}

}  // namespace

namespace {

TEST(CameraLifetimeTest, DestroyingARunningReaderEndsItsRunFirst) {
    CFixtureProcess server;
    ASSERT_TRUE(server.Start(MjpegServerCommand({})));
    CRecorder recorder;
    recorder.ResizeFrameStore(32, 24);
    {
        CRTSPCamera camera(&recorder);
        camera.Start(Url("http", server.Port(), "/").c_str());
        ASSERT_TRUE(WaitUntil([&] { return camera.GetFrameCount() >= 1; }));
    }
    recorder.m_bStopped = true;
    Sleep(300);  // as in ExpectPromptStopAndSilence
    EXPECT_EQ(recorder.m_iAfterStop.load(), 0);
}

}  // namespace
