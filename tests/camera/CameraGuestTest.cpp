// The reader as a guest in someone else's process: it writes nothing to the
// host's console and keeps no password, does not lock a camera's account,
// and reaches cameras as they are really reached. (Pictures too large and
// addresses not allowed are among the failures CameraStatusTest names.)
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

#include "filter/StatusCard.h"
#include "tests/camera/CameraTestSupport.h"
#include "text/CameraAddress.h"

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

class CameraGuestTest : public CameraStreamTest {
protected:
    // The logins a camera refused in the first `ms` of a reader that has the
    // wrong password.
    int RefusedLoginsIn(DWORD ms) {
        const std::string log = TempFileName("logins");
        EXPECT_TRUE(
            server.Start(MjpegServerCommand({"--user", "viewer", "--password", "right", "--log", log})));
        const uint64_t since = ExtendedTickCount();
        m_camera.Start(Url("http", server.Port(), "/", "viewer:wrong@127.0.0.1").c_str());
        Sleep(DWORD(since + ms - ExtendedTickCount()));
        const int refused = CountLines(log, "refused");
        std::printf("refused logins in the first %lu ms: %d (requests answered 401: %d)\n",
                    static_cast<unsigned long>(ms), refused, refused + CountLines(log, "challenged"));
        std::remove(log.c_str());
        return refused;
    }
    CRTSPCamera m_camera{&recorder};
};

// The status texts, and the texts the status card would be drawn from
// (as the pin makes them), of the camera now.
std::wstring ShownTexts(CRTSPCamera& camera, const std::wstring& url) {
    StatusCardFacts facts = {};
    facts.status = StatusOf(camera);
    facts.cPictures = uint32_t(camera.GetFrameCount());
    facts.msSincePicture = OCULO_NO_PICTURE_YET;
    const StatusCardText card = DescribeStatus(facts, L"Front door", oculo::text::CameraHostAndPort(url));
    return std::wstring(facts.status.szReason) + L"|" + facts.status.szCodec + L"|" + card.state + L"|" +
           card.name + L"|" + card.address + L"|" + card.reason + L"|" + card.lastPicture;
}

// A login in the address's user info, and another password in its path as
// cameras take one: while the camera refuses the login and while it
// streams, nothing reaches the host's console, and neither password the
// status, the card or the reader's log.
TEST_F(CameraGuestTest, NothingReachesTheHostsConsoleAndNoPasswordIsKept) {
    ASSERT_TRUE(server.Start(MjpegServerCommand({"--user", "viewer", "--password", "s3cr3t"})));
    const std::string path = "/video.cgi;user=viewer;pwd=Qu3ry5ecret";
    const char* const passwords[] = {"Wr0ngPa55", "s3cr3t", "Qu3ry5ecret"};
    CStandardErrorCapture capture;
    for (const char* password : {"Wr0ngPa55", "s3cr3t"}) {
        const std::wstring url = Url("http", server.Port(), path.c_str(),
                                     (std::string("viewer:") + password + "@127.0.0.1").c_str());
        m_camera.Start(url.c_str());
        EXPECT_TRUE(WaitUntil([&] {
            return StatusOf(m_camera).lState == OCULO_STATE_LOGIN_REFUSED || m_camera.GetFrameCount() >= 2;
        }));
        const std::wstring shown = ShownTexts(m_camera, url);
        EXPECT_NE(shown.find(L"|127.0.0.1:" + std::to_wstring(server.Port()) + L"|"), std::wstring::npos);
        for (const char* secret : passwords)
            EXPECT_EQ(shown.find(Wide(secret)), std::wstring::npos) << secret;
    }
    EXPECT_GE(m_camera.GetFrameCount(), 2);
    m_camera.Stop();
    EXPECT_EQ(capture.Stop(), "");
    const std::string log = RecentLog(m_camera);
    EXPECT_NE(log.find("Input #0"), std::string::npos) << log;  // FFmpeg's description of the stream
    EXPECT_NE(
        log.find("viewer:***@127.0.0.1:" + std::to_string(server.Port()) + "/video.cgi;user=viewer;pwd=***"),
        std::string::npos)
        << log;
    for (const char* secret : passwords) EXPECT_EQ(log.find(secret), std::string::npos) << log;
}

// Logins at 0, 1 and 3 s (the next at 7 s), not every half second.
TEST_F(CameraGuestTest, RefusedLoginsBackOffAndTheFixedPasswordIsBackAtOnce) {
    const int refused = RefusedLoginsIn(4500);
    EXPECT_GE(refused, 1);
    EXPECT_LE(refused, 3);
    const OCULO_STATUS status = StatusOf(m_camera);
    EXPECT_EQ(status.lState, OCULO_STATE_LOGIN_REFUSED);
    EXPECT_EQ(ReasonText(status), "Login refused (HTTP 401): check the user name and password");

    // The slot's address, read again with the right password, is tried at once.
    const uint64_t start = ExtendedTickCount();
    m_camera.Start(Url("http", server.Port(), "/", "viewer:right@127.0.0.1").c_str());
    const uint64_t firstPicture = ExtendedTickCount() - start;
    EXPECT_GE(m_camera.GetFrameCount(), 1);
    EXPECT_LT(firstPicture, kReconnectPauseMs + 1000);
    std::printf("first picture with the fixed password after %llu ms\n",
                static_cast<unsigned long long>(firstPicture));
    EXPECT_EQ(StatusOf(m_camera).lReason, OCULO_REASON_NONE);
}

// The `long` configuration.
TEST_F(CameraGuestTest, LongRefusedLoginsInTheFirstMinute) {
    EXPECT_LE(RefusedLoginsIn(60000), 8);
}

// The schedule alone, for logins that take no time: 0, 1, 3, 7, 15, 31 s.
TEST(CameraLoginBackOff, AtMostEightLoginsInTheFirstMinuteAndAMinuteApartAtMost) {
    DWORD pause = 0;
    int attempts = 0;
    for (uint64_t at = 0; at < 60000; at += pause) ++attempts, pause = NextLoginPause(pause);
    EXPECT_EQ(attempts, 6);
    for (int i = 0; i < 10; ++i) pause = NextLoginPause(pause);
    EXPECT_EQ(pause, kLoginPauseMaxMs);
}

// Any other failure is tried again after the reconnect pause, not sooner
// and not later.
TEST_F(CameraGuestTest, FailedAttemptsAreTriedAgainAfterTheReconnectPause) {
    m_camera.Start(Url("http", FreeLoopbackPort(), "/").c_str());
    // When the count goes up, from the first change seen on.
    std::vector<uint64_t> failures;
    DWORD seen = StatusOf(m_camera).dwFailedAttempts;
    ASSERT_TRUE(WaitUntil([&] {
        const DWORD failed = StatusOf(m_camera).dwFailedAttempts;
        if (failed != seen) failures.push_back(ExtendedTickCount());
        seen = failed;
        return failures.size() >= 5;
    }));
    uint64_t shortest = UINT64_MAX;
    for (size_t i = 1; i < failures.size(); ++i) shortest = std::min(shortest, failures[i] - failures[i - 1]);
    const uint64_t mean = (failures.back() - failures.front()) / (failures.size() - 1);
    std::printf("between failed attempts: %llu ms on average, %llu ms at least\n",
                static_cast<unsigned long long>(mean), static_cast<unsigned long long>(shortest));
    EXPECT_GE(shortest + 20, kReconnectPauseMs);  // the counter is polled
    EXPECT_LT(mean, kReconnectPauseMs + 1500);
}

// A name whose first address has no camera: the next one is tried, with
// user info longer than the 255 bytes it was once cut to.
TEST_F(CameraGuestTest, EveryAddressOfANameIsTriedWithTheWholeUserInfo) {
    const std::string log = TempFileName("connections"), user(150, 'u'), password(150, 'p');
    ASSERT_TRUE(server.Start(
        MjpegServerCommand({"--bind", "::1", "--user", user, "--password", password, "--log", log})));
    m_camera.Start(Url("http", server.Port(), "/", (user + ":" + password + "@dual.test").c_str()).c_str());
    EXPECT_TRUE(WaitUntil([&] { return m_camera.GetFrameCount() >= 1; })) << ReasonText(StatusOf(m_camera));
    EXPECT_EQ(CountLines(log, "refused"), 0);
    EXPECT_EQ(CountLines(log, "connect"),
              CountLines(log, ("host dual.test:" + std::to_string(server.Port())).c_str()));
    std::remove(log.c_str());
}

// A redirect to another port: the request there names that host and port.
TEST_F(CameraGuestTest, ARedirectedRequestNamesTheHostItAsks) {
    const std::string log = TempFileName("connections");
    ASSERT_TRUE(server.Start(MjpegServerCommand({"--log", log})));
    const std::string target = "127.0.0.1:" + std::to_string(server.Port());
    CFixtureProcess redirector;
    ASSERT_TRUE(redirector.Start(MjpegServerCommand({"--redirect", "http://" + target + "/"})));
    m_camera.Start(Url("http", redirector.Port(), "/", "localhost").c_str());
    EXPECT_TRUE(WaitUntil([&] { return m_camera.GetFrameCount() >= 1; }));
    EXPECT_EQ(CountLines(log, "connect"), CountLines(log, ("host " + target).c_str()));
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
        m_camera.Start(Url("http", server.Port(), "/", "camera.test").c_str());
        EXPECT_TRUE(WaitUntil([&] { return m_camera.GetFrameCount() >= 1; }));
        m_camera.Stop();
    }
    SetEnvironment("http_proxy", nullptr);
    SetEnvironment("no_proxy", nullptr);
    EXPECT_EQ(CountLines(cameraLog, "connect"), 1);
    EXPECT_EQ(CountLines(proxyLog, "connect"), 1);
    EXPECT_EQ(CountLines(proxyLog, ("host camera.test:" + std::to_string(server.Port())).c_str()), 1);
    std::remove(cameraLog.c_str());
    std::remove(proxyLog.c_str());
}

}  // namespace
