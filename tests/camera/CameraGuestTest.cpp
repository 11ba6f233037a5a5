// The reader as a guest in someone else's process: it writes nothing to the
// host's console and keeps no password, does not lock a camera's account,
// holds its memory to a camera's largest picture, opens only camera
// protocols, and reaches cameras as they are really reached.
#include <fcntl.h>
#include <sys/stat.h>
#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tests/camera/CameraTestSupport.h"

namespace {

// Everything written to this process's standard error while it lives goes
// to a file instead.
class CStandardErrorCapture {
public:
    CStandardErrorCapture() : m_path(TempFileName("stderr")) {
        std::fflush(stderr);
        m_saved = dup(2);
        const int file = open(m_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(file, 2);
        close(file);
    }
    ~CStandardErrorCapture() { std::remove(m_path.c_str()); }
    // Ends the capture; what was written.
    std::string Stop() {
        std::fflush(stderr);
        dup2(m_saved, 2);
        close(m_saved);
        std::string text;
        if (FILE* in = std::fopen(m_path.c_str(), "rb")) {
            char buffer[4096];
            for (size_t n; (n = std::fread(buffer, 1, sizeof(buffer), in)) > 0;) text.append(buffer, n);
            std::fclose(in);
        }
        return text;
    }

private:
    std::string m_path;
    int m_saved = -1;
};

std::string RecentLog(CRTSPCamera& camera) {
    std::vector<char> text(8192);
    camera.CopyRecentLog(text.data(), text.size());
    return text.data();
}

class CameraGuestTest : public CameraStreamTest {};

TEST_F(CameraGuestTest, NothingReachesTheHostsConsoleAndNoPasswordIsKept) {
    ASSERT_TRUE(server.Start(MjpegServerCommand({"--user", "viewer", "--password", "s3cr3t"})));
    CStandardErrorCapture capture;
    {
        CRTSPCamera camera(&recorder);
        camera.Start(Url("http", server.Port(), "/", "viewer:s3cr3t@127.0.0.1").c_str());
        EXPECT_TRUE(WaitUntil([&] { return camera.GetFrameCount() >= 2; }));
        camera.Stop();
        const std::string log = RecentLog(camera);
        EXPECT_NE(log.find("Input #0"), std::string::npos) << log;  // FFmpeg's description of the stream
        EXPECT_NE(log.find("viewer:***@127.0.0.1"), std::string::npos) << log;
        EXPECT_EQ(log.find("s3cr3t"), std::string::npos) << log;
    }
    EXPECT_EQ(capture.Stop(), "");
}

// The camera counts the logins refused with wrong credentials: 1, 2, 4 s
// between them (not 0.5 s), and one more back-off step every refusal after.
TEST_F(CameraGuestTest, RefusedLoginsBackOffAndTheFixedPasswordIsBackAtOnce) {
    const std::string log = TempFileName("logins");
    ASSERT_TRUE(server.Start(MjpegServerCommand({"--user", "viewer", "--password", "right", "--log", log})));
    CRTSPCamera camera(&recorder);
    const uint64_t since = ExtendedTickCount();
    camera.Start(Url("http", server.Port(), "/", "viewer:wrong@127.0.0.1").c_str());
    // Attempts at 0, 1 and 3 s, the next at 7 s.
    Sleep(DWORD(since + 4500 - ExtendedTickCount()));
    const int refused = CountLines(log, "refused");
    std::printf("refused logins in the first 4.5 s: %d\n", refused);
    EXPECT_GE(refused, 2);
    EXPECT_LE(refused, 3);
    const OCULO_STATUS status = StatusOf(camera);
    EXPECT_EQ(status.lState, OCULO_STATE_LOGIN_REFUSED);
    EXPECT_EQ(ReasonText(status), "Login refused (HTTP 401): check the user name and password");

    // The slot's address, read again with the right password, is tried at once.
    const uint64_t start = ExtendedTickCount();
    camera.Start(Url("http", server.Port(), "/", "viewer:right@127.0.0.1").c_str());
    const uint64_t firstPicture = ExtendedTickCount() - start;
    EXPECT_GE(camera.GetFrameCount(), 1);
    EXPECT_LT(firstPicture, kReconnectPauseMs + 1000);
    std::printf("first picture with the fixed password after %llu ms\n",
                static_cast<unsigned long long>(firstPicture));
    EXPECT_EQ(StatusOf(camera).lReason, OCULO_REASON_NONE);
    camera.Stop();
    std::remove(log.c_str());
}

TEST(CameraLoginBackOff, AtMostEightLoginsInTheFirstMinute) {
    std::vector<DWORD> pauses;
    DWORD pause = 0;
    int attempts = 0;
    for (uint64_t at = 0; at < 60000; at += pause) {
        ++attempts;
        pause = NextLoginPause(pause);
        pauses.push_back(pause);
    }
    EXPECT_LE(attempts, 8);
    EXPECT_EQ(pauses.front(), 1000u);
    EXPECT_EQ(pauses[1], 2000u);
    for (int i = 0; i < 10; ++i) pause = NextLoginPause(pause);
    EXPECT_EQ(pause, kLoginPauseMaxMs);
}

// A whole minute against a camera that refuses every login (the `long`
// configuration).
TEST_F(CameraGuestTest, LongRefusedLoginsInTheFirstMinute) {
    const std::string log = TempFileName("logins");
    ASSERT_TRUE(server.Start(MjpegServerCommand({"--user", "viewer", "--password", "right", "--log", log})));
    CRTSPCamera camera(&recorder);
    const uint64_t since = ExtendedTickCount();
    camera.Start(Url("http", server.Port(), "/", "viewer:wrong@127.0.0.1").c_str());
    Sleep(DWORD(since + 60000 - ExtendedTickCount()));
    const int refused = CountLines(log, "refused");
    std::printf("refused logins in the first minute: %d (requests answered 401: %d)\n", refused,
                refused + CountLines(log, "challenged"));
    EXPECT_LE(refused, 8);
    camera.Stop();
    std::remove(log.c_str());
}

// Any other failure is tried again after the reconnect pause, not sooner
// and not later.
TEST_F(CameraGuestTest, FailedAttemptsAreTriedAgainAfterTheReconnectPause) {
    CRTSPCamera camera(&recorder);
    camera.Start(Url("http", FreeLoopbackPort(), "/").c_str());
    // When the count goes up, from the first change seen on.
    std::vector<uint64_t> failures;
    DWORD seen = StatusOf(camera).dwFailedAttempts;
    ASSERT_TRUE(WaitUntil([&] {
        const DWORD failed = StatusOf(camera).dwFailedAttempts;
        if (failed != seen) failures.push_back(ExtendedTickCount());
        seen = failed;
        return failures.size() >= 5;
    }));
    camera.Stop();
    uint64_t shortest = UINT64_MAX;
    for (size_t i = 1; i < failures.size(); ++i) shortest = std::min(shortest, failures[i] - failures[i - 1]);
    const uint64_t mean = (failures.back() - failures.front()) / (failures.size() - 1);
    std::printf("between failed attempts: %llu ms on average, %llu ms at least\n",
                static_cast<unsigned long long>(mean), static_cast<unsigned long long>(shortest));
    EXPECT_GE(shortest + 20, kReconnectPauseMs);  // the counter is polled
    EXPECT_LT(mean, kReconnectPauseMs + 1500);
}

// Larger pictures end the connection before they are decoded (the decoder
// refuses them) or converted (the reader does), and are never delivered.
TEST_F(CameraGuestTest, PicturesLargerThanAnyCamerasAreRefused) {
    for (const char* size : {"16000x16000", "8200x16"}) {
        SCOPED_TRACE(size);
        const std::string s = size;
        ASSERT_TRUE(server.Start(MjpegServerCommand({"--plain", "--width", s.substr(0, s.find('x')),
                                                     "--height", s.substr(s.find('x') + 1), "--fps", "4"})));
        CRTSPCamera camera(&recorder);
        camera.Start(Url("http", server.Port(), "/").c_str());
        EXPECT_TRUE(WaitUntil([&] { return StatusOf(camera).lReason == OCULO_REASON_PICTURE_TOO_LARGE; }));
        EXPECT_EQ(ReasonText(StatusOf(camera)), "Picture too large (" + s + ")");
        camera.Stop();
        EXPECT_EQ(recorder.m_iCalls.load(), 0);
        server.Kill();
    }
}

TEST_F(CameraGuestTest, OnlyCameraProtocolsAreOpened) {
    for (const wchar_t* address : {L"file:///etc/passwd", L"/etc/passwd"}) {
        CRTSPCamera camera(&recorder);
        camera.Start(address);
        const OCULO_STATUS status = StatusOf(camera);
        EXPECT_EQ(status.lReason, OCULO_REASON_ADDRESS_NOT_ALLOWED);
        if (address[0] == L'f') {
            EXPECT_EQ(ReasonText(status), "Address not allowed (file)");
        }
        EXPECT_GE(status.dwFailedAttempts, 1u);
        camera.Stop();
    }
    EXPECT_EQ(recorder.m_iCalls.load(), 0);
}

// A name whose first address has no camera: the next one is tried.
TEST_F(CameraGuestTest, EveryAddressOfANameIsTried) {
    const std::string log = TempFileName("connections");
    ASSERT_TRUE(server.Start(MjpegServerCommand({"--bind", "::1", "--log", log})));
    CRTSPCamera camera(&recorder);
    camera.Start(Url("http", server.Port(), "/", "dual.test").c_str());
    EXPECT_TRUE(WaitUntil([&] { return camera.GetFrameCount() >= 1; }));
    EXPECT_EQ(CountLines(log, ("host dual.test:" + std::to_string(server.Port())).c_str()), 1);
    camera.Stop();
    std::remove(log.c_str());
}

// A redirect to another port: the request there names that host and port.
TEST_F(CameraGuestTest, ARedirectedRequestNamesTheHostItAsks) {
    const std::string log = TempFileName("connections");
    ASSERT_TRUE(server.Start(MjpegServerCommand({"--log", log})));
    const std::string target = "127.0.0.1:" + std::to_string(server.Port());
    CFixtureProcess redirector;
    ASSERT_TRUE(redirector.Start(MjpegServerCommand({"--redirect", "http://" + target + "/"})));
    CRTSPCamera camera(&recorder);
    camera.Start(Url("http", redirector.Port(), "/", "localhost").c_str());
    EXPECT_TRUE(WaitUntil([&] { return camera.GetFrameCount() >= 1; }));
    EXPECT_EQ(CountLines(log, "connect"), CountLines(log, ("host " + target).c_str()));
    camera.Stop();
    std::remove(log.c_str());
}

// With a proxy for HTTP, a camera named in no_proxy is reached directly,
// and any other named camera through the proxy, by its name.
TEST_F(CameraGuestTest, NoProxyIsJudgedByTheNameTyped) {
    const std::string cameraLog = TempFileName("camera"), proxyLog = TempFileName("proxy");
    ASSERT_TRUE(server.Start(MjpegServerCommand({"--log", cameraLog})));
    CFixtureProcess proxy;
    ASSERT_TRUE(proxy.Start(MjpegServerCommand({"--log", proxyLog})));
    SetEnvironment("http_proxy", ("http://127.0.0.1:" + std::to_string(proxy.Port()) + "/").c_str());
    for (const char* noProxy : {"other.test, .test", "other.test"}) {
        SCOPED_TRACE(noProxy);
        SetEnvironment("no_proxy", noProxy);
        CRTSPCamera camera(&recorder);
        camera.Start(Url("http", server.Port(), "/", "camera.test").c_str());
        EXPECT_TRUE(WaitUntil([&] { return camera.GetFrameCount() >= 1; }));
        camera.Stop();
    }
    SetEnvironment("http_proxy", nullptr);
    SetEnvironment("no_proxy", nullptr);
    EXPECT_EQ(CountLines(cameraLog, "connect"), 1);
    EXPECT_EQ(CountLines(proxyLog, "connect"), 1);
    EXPECT_EQ(CountLines(proxyLog, ("host camera.test:" + std::to_string(server.Port())).c_str()), 1);
    std::remove(cameraLog.c_str());
    std::remove(proxyLog.c_str());
}

// User info as long as an address may hold reaches a named camera whole.
TEST_F(CameraGuestTest, UserInfoOfAnyLengthIsKeptWhole) {
    const std::string user(150, 'u'), password(150, 'p');
    ASSERT_TRUE(server.Start(MjpegServerCommand({"--user", user, "--password", password})));
    CRTSPCamera camera(&recorder);
    camera.Start(Url("http", server.Port(), "/", (user + ":" + password + "@camera.test").c_str()).c_str());
    EXPECT_TRUE(WaitUntil([&] { return camera.GetFrameCount() >= 1; })) << ReasonText(StatusOf(camera));
    camera.Stop();
}

}  // namespace
