// What the reader says its camera is doing: every way an attempt fails,
// named; the states and figures of a run; and a status any thread may read
// at any time.
#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "camera/CameraReason.h"
#include "camera/FFmpeg.h"
#include "tests/camera/CameraTestSupport.h"

namespace {

class CameraStatusTest : public CameraStreamTest {};

struct FailureCase {
    const char* what;
    std::vector<std::string> fixture;  // empty: none; "rtsp" first: the RTSP camera
    const char* address;               // %d: the fixture's port (a free one without)
    LONG reason;
    LONG status;  // the camera's answer, or 0
    const char* text;
};

// The most bytes a --huge-part camera sent on one connection before the
// reader hung up (its log's "part-sent" lines), or -1 before any.
long long LargestPartSent(const std::string& log) {
    std::ifstream in(log);
    long long largest = -1;
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("part-sent ", 0) == 0) largest = std::max(largest, std::atoll(line.c_str() + 10));
    }
    return largest;
}

// All cameras fail at once; each reason is awaited in turn.
TEST_F(CameraStatusTest, EveryFailureIsNamed) {
    // clang-format off
    const std::vector<FailureCase> cases = {
        {"refused port", {}, "http://127.0.0.1:%d/", OCULO_REASON_CONNECTION_REFUSED, 0, "Connection refused"},
        {"never answers", {"--hang"}, "http://127.0.0.1:%d/", OCULO_REASON_NO_ANSWER, 0, "No answer (time-out)"},
        {"unknown name", {}, "rtsp://unknown.test:%d/", OCULO_REASON_HOST_NOT_FOUND, 0, "Host name not found"},
        {"HTTP 401", {"--user", "u", "--password", "p"}, "http://127.0.0.1:%d/", OCULO_REASON_LOGIN_REFUSED, 401,
         "Login refused (HTTP 401): check the user name and password"},
        {"HTTP 404", {"--status", "404"}, "http://127.0.0.1:%d/", OCULO_REASON_NOT_FOUND, 404,
         "Not found (HTTP 404): check the path"},
        {"HTTP 503", {"--status", "503"}, "http://127.0.0.1:%d/", OCULO_REASON_SERVER_ERROR, 503,
         "Server error (HTTP 503)"},
        {"RTSP 404", {"rtsp"}, "rtsp://127.0.0.1:%d/nothing", OCULO_REASON_NOT_FOUND, 404,
         "Not found (RTSP 404): check the path"},
        {"RTSP 401", {"rtsp", "--user", "u", "--password", "p"}, "rtsp://127.0.0.1:%d/h264",
         OCULO_REASON_LOGIN_REFUSED, 401, "Login refused (RTSP 401): check the user name and password"},
        {"not a picture", {"--fault", "garbage", "--fault-count", "100000"}, "http://127.0.0.1:%d/",
         OCULO_REASON_NOT_VIDEO, 0, "Not a video stream"},
        // Refused by the decoders (the probe's first), and by the reader.
        {"huge picture", {"--plain", "--width", "16000", "--height", "16000", "--fps", "4"}, "http://127.0.0.1:%d/",
         OCULO_REASON_PICTURE_TOO_LARGE, 0, "Picture too large (16000x16000)"},
        {"wide picture", {"--plain", "--width", "8200", "--height", "16"}, "http://127.0.0.1:%d/",
         OCULO_REASON_PICTURE_TOO_LARGE, 0, "Picture too large (8200x16)"},
        // Compressed bytes, counted as they come: a part that claims 300 MB,
        // one with no length that never ends, raw and in parts, and an RTSP
        // picture reassembled from 100 MB of fragments.
        {"huge part", {"--huge-part", "300000000"}, "http://127.0.0.1:%d/", OCULO_REASON_PICTURE_TOO_LARGE, 0,
         "Picture too large (over 32 MB)"},
        {"endless part", {"--huge-part", "0"}, "http://127.0.0.1:%d/", OCULO_REASON_PICTURE_TOO_LARGE, 0,
         "Picture too large (over 32 MB)"},
        {"endless raw picture", {"--huge-part", "0", "--mode", "raw"}, "http://127.0.0.1:%d/",
         OCULO_REASON_PICTURE_TOO_LARGE, 0, "Picture too large (over 32 MB)"},
        {"huge RTSP picture", {"rtsp", "--tcp-only", "--huge-frame", "100000000"}, "rtsp://127.0.0.1:%d/h264",
         OCULO_REASON_PICTURE_TOO_LARGE, 0, "Picture too large (over 32 MB)"},
        {"a file", {}, "file:///etc/passwd", OCULO_REASON_ADDRESS_NOT_ALLOWED, 0, "Address not allowed (file)"},
        {"no scheme", {}, "/etc/passwd", OCULO_REASON_ADDRESS_NOT_ALLOWED, 0,
         "Address not allowed (no camera protocol)"},
    };
    // clang-format on
    std::vector<std::unique_ptr<CFixtureProcess>> servers;
    std::vector<std::string> partLogs(cases.size());
    std::vector<std::unique_ptr<CRTSPCamera>> cameras;
    std::vector<std::thread> starts;  // each Start waits for a picture that never comes
    for (const FailureCase& c : cases) {
        servers.emplace_back(new CFixtureProcess);
        int port = FreeLoopbackPort();
        if (!c.fixture.empty()) {
            const bool rtsp = c.fixture[0] == "rtsp";
            std::vector<std::string> args(c.fixture.begin() + (rtsp ? 1 : 0), c.fixture.end());
            if (!args.empty() && args[0] == "--huge-part") {
                partLogs[servers.size() - 1] = TempFileName("part");
                args.insert(args.end(), {"--log", partLogs[servers.size() - 1]});
            }
            ASSERT_TRUE(servers.back()->Start(rtsp ? RtspServerCommand(args) : MjpegServerCommand(args)))
                << c.what;
            port = servers.back()->Port();
        }
        char address[64];
        std::snprintf(address, sizeof(address), c.address, port);
        cameras.emplace_back(new CRTSPCamera(nullptr));
        starts.emplace_back(
            [camera = cameras.back().get(), url = Wide(address)] { camera->Start(url.c_str()); });
    }
    for (std::thread& start : starts) start.join();
    for (size_t i = 0; i < cases.size(); ++i) {
        const FailureCase& c = cases[i];
        SCOPED_TRACE(c.what);
        CRTSPCamera& camera = *cameras[i];
        // A refused login is tried again after a pause, as "connecting"
        // meanwhile: its state is awaited with its reason.
        const bool bRefused = c.reason == OCULO_REASON_LOGIN_REFUSED;
        EXPECT_TRUE(WaitUntil(
            [&] {
                const OCULO_STATUS now = StatusOf(camera);
                return now.lReason == c.reason && (!bRefused || now.lState == OCULO_STATE_LOGIN_REFUSED);
            },
            kOpenLimitMs + kPictureWaitMs))
            << ReasonText(StatusOf(camera));
        const OCULO_STATUS status = StatusOf(camera);
        EXPECT_EQ(ReasonText(status), c.text);
        if (c.status) {
            EXPECT_EQ(status.lReasonCode, c.status);
        }
        // Others may be trying again already.
        if (!bRefused) {
            EXPECT_TRUE(status.lState == OCULO_STATE_WAITING || status.lState == OCULO_STATE_CONNECTING);
        }
        // The huge RTSP picture follows nine good ones, which a reader may
        // have decoded by then; every other camera sends none.
        const bool bPicturesFirst =
            std::find(c.fixture.begin(), c.fixture.end(), "--huge-frame") != c.fixture.end();
        if (!bPicturesFirst) {
            EXPECT_EQ(status.ullPictures, 0u);
            EXPECT_EQ(status.ullMsSinceLastPicture, OCULO_NO_PICTURE_YET);
        }
        // The camera sent no more than the limit and what the connection's
        // buffers hold (Linux lets them grow to 32 MB and 4 MB).
        if (!partLogs[i].empty()) {
            EXPECT_TRUE(WaitUntil([&] { return LargestPartSent(partLogs[i]) >= 0; }));
            EXPECT_LE(LargestPartSent(partLogs[i]), kMaxPictureBytes + (48 << 20));
            std::remove(partLogs[i].c_str());
        }
    }
    for (auto& camera : cameras) camera->Stop();
}

// A run's states and figures, and what stays across runs.
TEST_F(CameraStatusTest, StatesAndFiguresOfARun) {
    ASSERT_TRUE(server.Start(MjpegServerCommand({"--width", "160", "--height", "120"})));
    CRTSPCamera camera(&recorder);
    EXPECT_EQ(StatusOf(camera).lState, OCULO_STATE_STOPPED);
    camera.Start(Url("http", server.Port(), "/").c_str());
    ASSERT_TRUE(WaitUntil([&] { return StatusOf(camera).dwPicturesLastSecond >= 5; }));
    OCULO_STATUS status = StatusOf(camera);
    EXPECT_EQ(status.lState, OCULO_STATE_STREAMING);
    EXPECT_EQ(status.dwConnections, 1u);
    EXPECT_EQ(status.lWidth, 160);
    EXPECT_EQ(status.lHeight, 120);
    EXPECT_EQ(std::wstring(status.szCodec), L"mjpeg");
    EXPECT_LT(status.ullMsSinceLastPicture, 1000u);
    EXPECT_LE(status.dwPicturesLastSecond, 20u);  // the camera sends 15 a second

    // A camera that stops sending is silent, then given up.
    ASSERT_TRUE(server.Freeze());
    EXPECT_TRUE(
        WaitUntil([&] { return StatusOf(camera).lState == OCULO_STATE_SILENT; }, kSilentAfterMs + 2000));
    status = StatusOf(camera);
    EXPECT_GE(status.ullMsSinceLastPicture, kSilentAfterMs);
    EXPECT_LT(status.ullMsInState, 2000u);
    ASSERT_TRUE(server.Thaw());

    const ULONGLONG pictures = StatusOf(camera).ullPictures;
    camera.Stop();
    status = StatusOf(camera);
    EXPECT_EQ(status.lState, OCULO_STATE_STOPPED);
    EXPECT_GE(status.ullPictures, pictures);
    camera.Start(nullptr);
    ASSERT_TRUE(WaitUntil([&] { return StatusOf(camera).dwConnections == 2; }));
    EXPECT_GT(StatusOf(camera).ullPictures, pictures);
    camera.Stop();
}

// Readers on other threads while a camera connects, streams, reconnects and
// stops: every fill is whole and the counts never go back. The sanitizer
// builds check the locking.
TEST_F(CameraStatusTest, AnyThreadMayReadTheStatusAtAnyTime) {
    ASSERT_TRUE(server.Start(MjpegServerCommand({"--close-after", "3"})));
    CRTSPCamera camera(&recorder);
    std::atomic<bool> done{false};
    std::atomic<int> bad{0}, reads{0};
    std::vector<std::thread> readers;
    for (int t = 0; t < 3; ++t) {
        readers.emplace_back([&, t] {
            ULONGLONG pictures = 0;
            while (!done.load()) {
                OCULO_STATUS status;
                std::memset(&status, 0xA5, sizeof(status));
                // One reader asks for the first fields only: nothing after them is written.
                status.cbSize = t == 0 ? DWORD(offsetof(OCULO_STATUS, szReason)) : DWORD(sizeof(status));
                camera.GetStatus(&status);
                if (status.dwVersion != OCULO_STATUS_VERSION || status.lState > OCULO_STATE_LOGIN_REFUSED) {
                    ++bad;
                }
                if (t == 0) {
                    if (status.szReason[0] != WCHAR(0xA5A5A5A5)) ++bad;
                } else {
                    if (status.ullPictures < pictures) ++bad;
                    pictures = status.ullPictures;
                }
                ++reads;
            }
        });
    }
    for (int run = 0; run < 3; ++run) {
        camera.Start(Url("http", server.Port(), "/").c_str());
        EXPECT_TRUE(WaitUntil([&] { return StatusOf(camera).dwConnections >= DWORD(2 * run + 2); }));
        camera.Stop();
    }
    done = true;
    for (std::thread& reader : readers) reader.join();
    EXPECT_EQ(bad.load(), 0);
    EXPECT_GT(reads.load(), 100);
}

// What no camera above says, and text cut to the room given.
TEST(CameraReason, WordsWhatNoCameraAboveSays) {
    auto word = [](LONG reason, LONG code, const char* detail, size_t chars = 160) {
        CameraFailure failure;
        failure.lReason = reason;
        failure.lCode = code;
        std::snprintf(failure.szDetail, sizeof(failure.szDetail), "%s", detail);
        WCHAR text[160];
        WordCameraReason(failure, text, chars);
        return std::wstring(text);
    };
    EXPECT_EQ(word(OCULO_REASON_NOT_FOUND, 454, "RTSP"), L"Not found (RTSP 454): check the path");
    EXPECT_EQ(word(OCULO_REASON_SERVER_ERROR, AVERROR_HTTP_SERVER_ERROR, ""), L"Server error");
    EXPECT_EQ(word(OCULO_REASON_OTHER, 400, "HTTP"), L"Request refused (HTTP 400)");
    EXPECT_EQ(word(OCULO_REASON_CONNECTION_REFUSED, 0, "", 8), L"Connect");
}

}  // namespace
