// The camera search and a camera's questions against loopback ONVIF test
// cameras doing what real cameras do, each hard case once. The probes go to
// a multicast group: this program runs only in a network namespace of its
// own (in_namespace.sh), where loopback is the only adapter.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "onvif/Adapters.h"
#include "onvif/CameraQuery.h"
#include "onvif/CameraSearch.h"
#include "onvif/OnvifJob.h"
#include "onvif/SoapPost.h"
#include "tests/fixtures/FixtureProcess.h"

namespace {

constexpr int kRtspPort = 8554;  // never connected to here: the addresses are judged as text

struct CameraCase {
    const char* what;
    const char* address;
    std::vector<std::string> args;
    CameraLoginUtf8 login;
    OnvifProblem problem;
    const char* firstStream;  // with the problem kNone
};

const CameraLoginUtf8 kNone{}, kRight{"admin", "p:ss@1"}, kWrong{"admin", "wrong"};
const std::vector<std::string> kLocked{"--user", "admin", "--password", "p:ss@1"};

std::vector<std::string> Join(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

const CameraCase kCases[] = {
    {"SOAP 1.1, answers from another port, twice, and to a foreign probe", "127.0.0.2",
     {"--soap11", "--other-port", "--duplicate", "--foreign", "--name", "Front Door"}, kNone, OnvifProblem::kNone,
     "rtsp://127.0.0.2:8554/h264"},
    {"a link-local address listed first, Media2 only", "127.0.0.3", {"--link-local-first", "--media2-only"}, kNone,
     OnvifProblem::kNone, "rtsp://127.0.0.3:8554/h264"},
    {"UsernameToken only, its clock an hour off", "127.0.0.4",
     Join({"--auth", "token", "--clock-offset", "3600"}, kLocked), kRight, OnvifProblem::kNone,
     "rtsp://127.0.0.4:8554/h264"},
    {"Digest only", "127.0.0.5", Join({"--auth", "digest"}, kLocked), kRight, OnvifProblem::kNone,
     "rtsp://127.0.0.5:8554/h264"},
    {"a wrong host and no port in the stream address", "127.0.0.6", {"--wrong-host", "--no-port"}, kNone,
     OnvifProblem::kNone, "rtsp://127.0.0.6:554/h264"},
    {"a wrong password", "127.0.0.4", {}, kWrong, OnvifProblem::kLoginRefused, ""},
    {"no login where one is asked", "127.0.0.5", {}, kNone, OnvifProblem::kLoginNeeded, ""},
    {"accepts the connection, never answers", "127.0.0.7", {"--hang"}, kNone, OnvifProblem::kNoAnswer, ""},
};

class OnvifCameras : public ::testing::Test {
protected:
    void SetUp() override {
        QuietNetworkMessages();
        // Probes must never reach a real network.
        for (const Adapter& adapter : ListAdapters(true)) {
            ASSERT_EQ(adapter.name, "lo") << "run in a network namespace of its own (in_namespace.sh)";
        }
    }
};

TEST_F(OnvifCameras, SearchListsEachOnceAndEachAnswersWithItsLogin) {
    std::vector<std::unique_ptr<CFixtureProcess>> cameras;
    std::vector<std::string> logs;
    for (const CameraCase& c : kCases) {
        if (c.args.empty()) continue;  // the same camera again, asked otherwise
        logs.push_back(TempFileName("onvif-camera"));
        cameras.push_back(std::make_unique<CFixtureProcess>());
        ASSERT_TRUE(cameras.back()->Start(OnvifCameraCommand(Join(
            {"--bind", c.address, "--rtsp-port", std::to_string(kRtspPort), "--log", logs.back()}, c.args))))
            << c.what;
    }

    std::vector<FoundCamera> found;
    SearchOptions options;
    options.seconds = 2;
    options.bIncludeLoopback = true;
    ASSERT_EQ(SearchCameras(options, COnvifCancel(), &found), OnvifProblem::kNone);
    ASSERT_EQ(found.size(), cameras.size()) << "each camera once, the foreign answer dropped";
    for (size_t i = 0; i < found.size(); ++i) {
        const std::string address = "127.0.0." + std::to_string(i + 2);
        EXPECT_EQ(found[i].address, address);
        EXPECT_EQ(found[i].deviceService.rfind("http://" + address + ":", 0), 0u) << found[i].deviceService;
        EXPECT_EQ(found[i].name, i == 0 ? "Front Door" : "Test Camera");
    }

    for (const CameraCase& c : kCases) {
        const std::string address = c.address;
        const auto camera = std::find_if(found.begin(), found.end(), [&](const FoundCamera& f) {
            return f.address == address;
        });
        ASSERT_NE(camera, found.end()) << c.what;
        std::vector<CameraStream> streams;
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(AskCameraStreams(camera->deviceService, c.login, COnvifCancel(), &streams), c.problem) << c.what;
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(kRequestLimitMs + 1500))
            << c.what;
        if (c.problem != OnvifProblem::kNone) continue;
        ASSERT_EQ(streams.size(), 2u) << c.what;
        EXPECT_EQ(streams[0].address, c.firstStream) << c.what;
        EXPECT_EQ(streams[0].name + " " + streams[0].codec, "Main H.264");
        EXPECT_EQ(streams[0].width * 10000 + streams[0].height, 6400480);
        EXPECT_EQ(streams[1].address.substr(streams[1].address.find('/', 8)), "/mjpeg?subtype=1&channel=2");
    }
    // The wrong password was tried once per way for the one request it
    // failed: never more, so a camera's account is never locked.
    EXPECT_EQ(CountLines(logs[2], "refused"), 1) << "UsernameToken only: the Digest try carries no token";
}

TEST_F(OnvifCameras, CancelEndsASearchAndAQuestionAtOnce) {
    CFixtureProcess hanging;
    ASSERT_TRUE(hanging.Start(OnvifCameraCommand({"--bind", "127.0.0.8", "--hang"})));
    std::vector<FoundCamera> found;
    std::vector<CameraStream> streams;
    for (int run = 0; run < 2; ++run) {
        COnvifJob job;
        ASSERT_TRUE(job.Start(
            [&](const COnvifCancel& cancel) {
                if (run == 0) {
                    SearchOptions options;
                    options.seconds = 30;
                    options.bIncludeLoopback = true;
                    SearchCameras(options, cancel, &found);
                } else {
                    AskCameraStreams("http://127.0.0.8:" + std::to_string(hanging.Port()) + "/onvif/device_service",
                                     kNone, cancel, &streams);
                }
            },
            nullptr));
        EXPECT_FALSE(job.Wait(300)) << run;
        const auto cancelled = std::chrono::steady_clock::now();
        job.Cancel();
        EXPECT_TRUE(job.Wait(2000)) << run;
        EXPECT_LT(std::chrono::steady_clock::now() - cancelled, std::chrono::milliseconds(600)) << run;
    }
}

}  // namespace
