// The whole product path (camera -> reader -> filter -> pin -> host graph)
// through the faults of a loopback camera, in the host graph on Linux and in
// the system's DirectShow under Wine (FaultGraph.h). For every case: samples keep
// flowing at the rate the graph's clock sets, carrying the last good picture
// (the status card before the first, and once none has come for 5 s; black
// before the first with the card off), the graph stops promptly, and once the
// camera is healthy again a new picture is delivered within the reconnect
// pause plus a connection plus a picture. Prints the matrix as a table at the end.
//
// The cameras alternate two pictures (or drift), so a sample that differs
// from the one before it carries a new camera picture; a run of equal samples
// is the last picture repeated.
#include <algorithm>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "camera/ExtendedTickCount.h"
#include "camera/RTSPCamera.h"
#include "filter/StatusCard.h"
#include "tests/faults/FaultGraph.h"
#include "tests/fixtures/FixtureProcess.h"

namespace {

constexpr LONG kWidth = 64, kHeight = 48;
constexpr float kFps = 25.0f;
constexpr int kCameraFps = 15;
constexpr uint64_t kFirstPictureMs = 15000;
constexpr uint64_t kStopLimitMs = 1000;
// One connection on a busy machine: connect, HTTP answer or RTSP set-up, and
// the stream probe.
constexpr uint64_t kConnectMs = 3000;
constexpr uint64_t kRecoverLimitMs = kReconnectPauseMs + kConnectMs + 1000 / kCameraFps + uint64_t(1000 / kFps);

struct Row {
    std::string name, transport;
    bool passed;
    int64_t recoverMs;  // -1: not applicable
};
std::vector<Row> g_rows;

class TablePrinter : public ::testing::Environment {
public:
    void TearDown() override {
        std::printf("\n%-34s %-16s %-6s %s\n", "case", "transport", "result", "time to recover");
        for (const Row& r : g_rows) {
            const std::string recover = r.recoverMs < 0 ? "-" : std::to_string(r.recoverMs) + " ms";
            std::printf("%-34s %-16s %-6s %s\n", r.name.c_str(), r.transport.c_str(), r.passed ? "pass" : "FAIL",
                        recover.c_str());
        }
        std::printf("Time to recover: for an outage, from the camera healthy again to the first new picture\n"
                    "(limit %llu ms); for faults within the stream, the longest time without a new picture;\n"
                    "at 1 picture a second, the first picture; when the video stops, first picture to the\n"
                    "new connection (silence limit %llu ms).\n",
                    static_cast<unsigned long long>(kRecoverLimitMs), static_cast<unsigned long long>(kSilenceLimitMs));
    }
};
const auto* g_printer = ::testing::AddGlobalTestEnvironment(new TablePrinter);

// What one delivered sample showed, and when it came.
struct Seen {
    uint64_t ms;
    uint64_t print;  // hash of the whole frame
    bool black;
    bool card;       // the status card: a top row of one colour, not black
    bool quadrants;  // the HTTP camera's red, green and blue quadrants, upright
    uint64_t pictures;  // the reader's count of camera pictures when the sample came
};

bool Near(const BYTE* p, int b, int g, int r) {
    auto lit = [](int value, int on) { return on ? value > 140 : value < 70; };
    return lit(p[0], b) && lit(p[1], g) && lit(p[2], r);
}

Seen Inspect(const BYTE* data, LONG size) {
    Seen s{ExtendedTickCount(), 1469598103934665603ull, true, false, false, 0};
    for (LONG i = 0; i < size; ++i) {
        s.print = (s.print ^ data[i]) * 1099511628211ull;
        if (data[i]) s.black = false;
    }
    const size_t stride = size_t((kWidth * 3 + 3) & ~3);  // store row 0 is the bottom line
    auto at = [&](LONG row, LONG column) { return data + size_t(row) * stride + size_t(column) * 3; };
    if (size >= LONG(stride * kHeight)) {
        // No camera here has a top line of one colour.
        const BYTE* top = at(kHeight - 1, 0);
        s.card = !s.black && (top[0] | top[1] | top[2]) != 0;
        for (LONG i = 3; i < kWidth * 3 && s.card; ++i) s.card = top[i] == top[i % 3];
        s.quadrants = Near(at(3 * kHeight / 4, kWidth / 4), 0, 0, 1) &&
                      Near(at(3 * kHeight / 4, 3 * kWidth / 4), 0, 1, 0) && Near(at(kHeight / 4, kWidth / 4), 1, 0, 0);
    }
    return s;
}

std::wstring Wide(const std::string& s) { return std::wstring(s.begin(), s.end()); }

class FaultMatrixTest : public FaultGraphTest {
protected:
    void TearDown() override {
        if (!IsSkipped()) g_rows.push_back({m_case, m_transport, !HasFailure(), m_recoverMs});
        FaultGraphTest::TearDown();
        m_server.Kill();
    }

    void Case(const char* name, const char* transport) {
        m_case = name;
        m_transport = transport;
    }

    // The camera fixture: HTTP Motion-JPEG (alternating pictures) or RTSP
    // (drifting bars).
    bool StartHttp(std::vector<std::string> args, int port = 0) {
        args.insert(args.end(), {"--cycle", "--fps", std::to_string(kCameraFps)});
        if (port) args.insert(args.end(), {"--port", std::to_string(port)});
        return m_server.Start(MjpegServerCommand(args));
    }
    bool StartRtsp(std::vector<std::string> args, int port = 0) {
        args.insert(args.end(), {"--moving", "--width", "320", "--height", "240", "--fps", "15"});
        if (port) args.insert(args.end(), {"--port", std::to_string(port)});
        return m_server.Start(RtspServerCommand(args));
    }
    std::wstring CameraUrl(const char* scheme, const char* path) const {
        return Wide(std::string(scheme) + "://127.0.0.1:" + std::to_string(m_server.Port()) + path);
    }

    // The slot's filter in a graph rendering each sample at its time; the
    // status card on or off.
    void Stream(const std::wstring& url, LONG status = 1) {
        SlotConfig config;
        config.url = url;
        config.status = status;
        config.w = kWidth;
        config.h = kHeight;
        config.fps = kFps;
        ASSERT_NO_FATAL_FAILURE(OpenGraph(config, [this](const BYTE* pData, LONG cbData) {
            Seen s = Inspect(pData, cbData);
            OCULO_STATUS status = SizedStatus();
            if (SUCCEEDED(ReadStatus(&status))) s.pictures = status.ullPictures;
            std::lock_guard<std::mutex> hold(m_lock);
            m_seen.push_back(s);
        }));
        m_ullRun = ExtendedTickCount();
        // Pausing waits up to 2 s for the camera's first picture; samples
        // flow from the run on.
        ASSERT_EQ(RunGraph(), S_OK);
        m_ullRunning = ExtendedTickCount();
    }

    std::vector<Seen> SeenBetween(uint64_t from, uint64_t to) {
        std::lock_guard<std::mutex> hold(m_lock);
        std::vector<Seen> out;
        for (const Seen& s : m_seen) {
            if (s.ms >= from && s.ms < to) out.push_back(s);
        }
        return out;
    }

    // When the first sample at or after `since` carried a new picture (it
    // differs from the sample before it and is neither black nor the card);
    // 0 when none came within `limitMs`.
    uint64_t WaitForNewPicture(uint64_t since, uint64_t limitMs) {
        const uint64_t until = since + limitMs;
        for (;;) {
            {
                std::lock_guard<std::mutex> hold(m_lock);
                for (size_t i = 1; i < m_seen.size(); ++i) {
                    const Seen& s = m_seen[i];
                    if (s.ms >= since && !s.black && !s.card && s.print != m_seen[i - 1].print) {
                        return s.ms;
                    }
                }
            }
            if (ExtendedTickCount() > until) return 0;
            Sleep(10);
        }
    }

    // The longest time between new pictures in [from, to).
    uint64_t LongestGap(uint64_t from, uint64_t to) {
        const std::vector<Seen> seen = SeenBetween(from, to);
        uint64_t last = from, gap = 0;
        for (size_t i = 1; i < seen.size(); ++i) {
            if (seen[i].print != seen[i - 1].print) {
                gap = std::max(gap, seen[i].ms - last);
                last = seen[i].ms;
            }
        }
        return std::max(gap, to - last);
    }

    // Samples at the clock's pace: neither starved nor flooded.
    void ExpectFlowing(uint64_t from, uint64_t to) {
        const double expected = double(to - from) * kFps / 1000.0;
        const size_t n = SeenBetween(from, to).size();
        EXPECT_GE(double(n), 0.6 * expected) << n << " samples in " << (to - from) << " ms";
        EXPECT_LE(double(n), 1.2 * expected + 2) << n << " samples in " << (to - from) << " ms";
    }

    // Every sample in the window repeats one picture.
    void ExpectRepeated(uint64_t from, uint64_t to) {
        const std::vector<Seen> seen = SeenBetween(from, to);
        ASSERT_FALSE(seen.empty());
        for (const Seen& s : seen) EXPECT_EQ(s.print, seen.front().print) << "at " << (s.ms - from) << " ms";
    }

    // From the first picture on, every sample shows a whole camera picture.
    void ExpectOnlyGoodPictures() {
        std::lock_guard<std::mutex> hold(m_lock);
        bool started = false;
        size_t bad = 0;
        for (const Seen& s : m_seen) {
            started = started || (!s.black && !s.card);
            if (started && !s.quadrants) ++bad;
        }
        EXPECT_TRUE(started);
        EXPECT_EQ(bad, 0u) << "samples without the camera's picture, of " << m_seen.size();
    }

    // Every sample in the window is the status card (or black, the card off).
    void ExpectAllCards(uint64_t from, uint64_t to, bool bCard = true) {
        const std::vector<Seen> seen = SeenBetween(from, to);
        ASSERT_FALSE(seen.empty());
        for (const Seen& s : seen) EXPECT_TRUE(bCard ? s.card : s.black) << "at " << (s.ms - from) << " ms";
    }

    void ExpectPromptStop() {
        const uint64_t since = ExtendedTickCount();
        EXPECT_EQ(StopGraph(), S_OK);
        const uint64_t took = ExtendedTickCount() - since;
        EXPECT_LT(took, kStopLimitMs);
    }

    uint64_t FirstPicture() {
        const uint64_t at = WaitForNewPicture(m_ullRun, kFirstPictureMs);
        EXPECT_NE(at, 0u) << "no picture";
        return at;
    }

    // A camera that is gone for `outageMs` (`fault`), then healthy again
    // (`heal`): samples flow throughout, repeat the last picture while it is
    // gone, and its pictures are back within the limit.
    template <class Fault, class Heal>
    void ExpectOutageSurvived(uint64_t outageMs, Fault fault, Heal heal) {
        ASSERT_NE(FirstPicture(), 0u);
        const uint64_t broken = ExtendedTickCount();
        ASSERT_TRUE(fault());
        Sleep(DWORD(outageMs));
        const uint64_t healing = ExtendedTickCount();
        ExpectFlowing(broken, healing);
        // FFmpeg's H.264 parser holds the last picture until the next one
        // begins, or until the silence limit ends the connection: it may come
        // out late, once. The card takes over 5 s after the last picture.
        ExpectRepeated(broken + 300, std::min(healing, broken + kCardAfterSilenceMs - 500));
        if (healing > broken + kCardAfterSilenceMs + 1000) {
            const std::vector<Seen> late = SeenBetween(broken + kCardAfterSilenceMs + 1000, healing);
            EXPECT_TRUE(std::any_of(late.begin(), late.end(), [](const Seen& s) { return s.card; }))
                << "no status card in a long outage";
        }
        ASSERT_TRUE(heal());
        const uint64_t healed = ExtendedTickCount();
        const uint64_t back = WaitForNewPicture(healed, 3 * kRecoverLimitMs);
        ASSERT_NE(back, 0u) << "the picture never came back";
        m_recoverMs = int64_t(back - healed);
        EXPECT_LE(uint64_t(m_recoverMs), kRecoverLimitMs);
        Sleep(500);
        ExpectFlowing(healed, ExtendedTickCount());
        ExpectPromptStop();
    }

    // A camera that misbehaves within its stream for a while: samples flow,
    // and new pictures come at least every `gapLimitMs`, until the end.
    void ExpectStreamSurvived(uint64_t runMs, uint64_t gapLimitMs) {
        const uint64_t first = FirstPicture();
        ASSERT_NE(first, 0u);
        Sleep(DWORD(runMs));
        const uint64_t end = ExtendedTickCount();
        ExpectFlowing(first, end);
        m_recoverMs = int64_t(LongestGap(first, end));
        EXPECT_LE(uint64_t(m_recoverMs), gapLimitMs);
        ExpectPromptStop();
    }

    // A camera that floods the reader: the connection holds, and the reader's
    // count of pictures rises at least every `gapLimitMs` (the count, not the
    // samples' looks: two alternating pictures sampled at a steady rate can
    // look the same for a long time). A machine too busy to run the process
    // at all stretches every wait alike, the samples' included: the longest
    // wait between two samples is allowed on top.
    void ExpectKeptUp(uint64_t runMs, uint64_t gapLimitMs) {
        const uint64_t first = FirstPicture();
        ASSERT_NE(first, 0u);
        Sleep(DWORD(runMs));
        const uint64_t end = ExtendedTickCount();
        ExpectFlowing(first, end);
        const std::vector<Seen> seen = SeenBetween(first, end);
        uint64_t last = first, gap = 0, stall = 0;
        for (size_t i = 1; i < seen.size(); ++i) {
            stall = std::max(stall, seen[i].ms - seen[i - 1].ms);
            if (seen[i].pictures != seen[i - 1].pictures) {
                gap = std::max(gap, seen[i].ms - last);
                last = seen[i].ms;
            }
        }
        gap = std::max(gap, end - last);
        m_recoverMs = int64_t(gap);
        EXPECT_LE(gap, gapLimitMs + stall) << "the longest wait between two samples was " << stall << " ms";
        OCULO_STATUS status = SizedStatus();
        ASSERT_EQ(ReadStatus(&status), S_OK);
        EXPECT_EQ(status.dwConnections, 1u) << "the flood broke the connection";
        ExpectPromptStop();
    }

    // A slot whose address leads nowhere: the card (black with the card off)
    // at the pace, a prompt stop.
    void ExpectCardFlow(const std::wstring& url, LONG status = 1) {
        ASSERT_NO_FATAL_FAILURE(Stream(url, status));
        Sleep(2000);
        const uint64_t now = ExtendedTickCount();
        ExpectFlowing(m_ullRunning, now);
        ExpectAllCards(m_ullRun, now, status != 0);
        ExpectPromptStop();
    }

    CFixtureProcess m_server;
    std::string m_case, m_transport;
    int64_t m_recoverMs = -1;
    uint64_t m_ullRun = 0;      // Run called
    uint64_t m_ullRunning = 0;  // Run returned
    std::mutex m_lock;
    std::vector<Seen> m_seen;
};

// --- The camera goes away and comes back ---

TEST_F(FaultMatrixTest, KilledThenBackHttpMultipart) {
    Case("killed, then back", "HTTP multipart");
    ASSERT_TRUE(StartHttp({}));
    const int port = m_server.Port();
    ASSERT_NO_FATAL_FAILURE(Stream(CameraUrl("http", "/")));
    ExpectOutageSurvived(2000, [&] { m_server.Kill(); return true; }, [&] { return StartHttp({}, port); });
    ExpectOnlyGoodPictures();
}

TEST_F(FaultMatrixTest, KilledThenBackHttpRaw) {
    Case("killed, then back", "HTTP raw");
    ASSERT_TRUE(StartHttp({"--mode", "raw"}));
    const int port = m_server.Port();
    ASSERT_NO_FATAL_FAILURE(Stream(CameraUrl("http", "/")));
    ExpectOutageSurvived(2000, [&] { m_server.Kill(); return true; },
                         [&] { return StartHttp({"--mode", "raw"}, port); });
}

TEST_F(FaultMatrixTest, KilledThenBackRtspH264) {
    Case("killed, then back", "RTSP H.264");
    ASSERT_TRUE(StartRtsp({}));
    const int port = m_server.Port();
    ASSERT_NO_FATAL_FAILURE(Stream(CameraUrl("rtsp", "/h264")));
    ExpectOutageSurvived(2000, [&] { m_server.Kill(); return true; }, [&] { return StartRtsp({}, port); });
}

TEST_F(FaultMatrixTest, KilledThenBackRtspJpeg) {
    Case("killed, then back", "RTSP JPEG");
    ASSERT_TRUE(StartRtsp({}));
    const int port = m_server.Port();
    ASSERT_NO_FATAL_FAILURE(Stream(CameraUrl("rtsp", "/mjpeg")));
    ExpectOutageSurvived(2000, [&] { m_server.Kill(); return true; }, [&] { return StartRtsp({}, port); });
}

TEST_F(FaultMatrixTest, Frozen3sHttpMultipart) {
    Case("frozen 3 s, thawed", "HTTP multipart");
    ASSERT_TRUE(StartHttp({}));
    ASSERT_NO_FATAL_FAILURE(Stream(CameraUrl("http", "/")));
    ExpectOutageSurvived(3000, [&] { return m_server.Freeze(); }, [&] { return m_server.Thaw(); });
}

TEST_F(FaultMatrixTest, Frozen3sRtspH264) {
    Case("frozen 3 s, thawed", "RTSP H.264");
    ASSERT_TRUE(StartRtsp({}));
    ASSERT_NO_FATAL_FAILURE(Stream(CameraUrl("rtsp", "/h264")));
    ExpectOutageSurvived(3000, [&] { return m_server.Freeze(); }, [&] { return m_server.Thaw(); });
}

// Past the silence limit: the reader gives the connection up and waits in
// the frozen camera's backlog.
TEST_F(FaultMatrixTest, LongFrozen15sHttpMultipart) {
    Case("frozen 15 s, thawed", "HTTP multipart");
    ASSERT_TRUE(StartHttp({}));
    ASSERT_NO_FATAL_FAILURE(Stream(CameraUrl("http", "/")));
    ExpectOutageSurvived(15000, [&] { return m_server.Freeze(); }, [&] { return m_server.Thaw(); });
}

TEST_F(FaultMatrixTest, LongFrozen15sRtspH264) {
    Case("frozen 15 s, thawed", "RTSP H.264");
    ASSERT_TRUE(StartRtsp({}));
    ASSERT_NO_FATAL_FAILURE(Stream(CameraUrl("rtsp", "/h264")));
    ExpectOutageSurvived(15000, [&] { return m_server.Freeze(); }, [&] { return m_server.Thaw(); });
}

// Accepts, never answers; then the camera is replaced by a healthy one.
TEST_F(FaultMatrixTest, AcceptsAndNeverAnswersHttp) {
    Case("accepts, never answers", "HTTP");
    ASSERT_TRUE(StartHttp({"--hang"}));
    const int port = m_server.Port();
    ASSERT_NO_FATAL_FAILURE(Stream(CameraUrl("http", "/")));
    Sleep(1000);
    const uint64_t now = ExtendedTickCount();
    ExpectFlowing(m_ullRunning, now);
    ExpectAllCards(m_ullRun, now);
    m_server.Kill();
    ASSERT_TRUE(StartHttp({}, port));
    const uint64_t healed = ExtendedTickCount();
    const uint64_t back = WaitForNewPicture(healed, 3 * kRecoverLimitMs);
    ASSERT_NE(back, 0u);
    m_recoverMs = int64_t(back - healed);
    EXPECT_LE(uint64_t(m_recoverMs), kRecoverLimitMs);
    ExpectPromptStop();
}

// --- Faults inside the stream ---

// Every connection is reset halfway through its ninth picture: the half
// picture is never shown, and each reconnection brings pictures again.
TEST_F(FaultMatrixTest, ResetMidPictureHttpMultipart) {
    Case("reset mid-picture", "HTTP multipart");
    ASSERT_TRUE(StartHttp({"--cut-after", "8"}));
    ASSERT_NO_FATAL_FAILURE(Stream(CameraUrl("http", "/")));
    ExpectStreamSurvived(4000, kRecoverLimitMs);
    ExpectOnlyGoodPictures();
}

TEST_F(FaultMatrixTest, ResetMidPictureHttpRaw) {
    Case("reset mid-picture", "HTTP raw");
    ASSERT_TRUE(StartHttp({"--cut-after", "8", "--mode", "raw"}));
    ASSERT_NO_FATAL_FAILURE(Stream(CameraUrl("http", "/")));
    ExpectStreamSurvived(4000, kRecoverLimitMs);
    ExpectOnlyGoodPictures();
}

// The decoder's new size is followed on the same connection.
TEST_F(FaultMatrixTest, ResolutionSwitches) {
    for (const char* size : {"160x120", "640x480", "317x237"}) {
        const std::string s = size;
        const std::string w = s.substr(0, s.find('x')), h = s.substr(s.find('x') + 1);
        const std::string log = TempFileName("connections");
        Case(("resolution switch to " + s).c_str(), "HTTP multipart");
        ASSERT_TRUE(StartHttp({"--switch-after", "10", "--switch-width", w, "--switch-height", h, "--log", log}));
        ASSERT_NO_FATAL_FAILURE(Stream(CameraUrl("http", "/")));
        ExpectStreamSurvived(2000, 2 * 1000 / kCameraFps + 200);
        ExpectOnlyGoodPictures();
        EXPECT_EQ(CountLines(log, "connect"), 1);
        std::remove(log.c_str());
        if (s == "317x237") break;  // the last row is recorded by TearDown
        g_rows.push_back({m_case, m_transport, !HasFailure(), m_recoverMs});
        CloseGraph();
        m_seen.clear();
        m_recoverMs = -1;
        m_server.Kill();
    }
}

// Ten bad pictures in a row, then good ones: the bad ones are never shown.
class BadPictures : public FaultMatrixTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(BadPictures, AreSkippedAndTheLastGoodPictureStays) {
    const std::string kind = GetParam();
    const bool raw = kind.rfind("raw-", 0) == 0;
    const std::string fault = raw ? kind.substr(4) : kind;
    Case((fault == "garbage" ? "bytes that are not a picture"
          : fault == "truncated" ? "truncated pictures"
                                 : "header claims 65535x65535"),
         raw ? "HTTP raw" : "HTTP multipart");
    std::vector<std::string> args{"--fault", fault, "--fault-after", "10", "--fault-count", "10"};
    if (raw) args.insert(args.end(), {"--mode", "raw"});
    ASSERT_TRUE(StartHttp(args));
    ASSERT_NO_FATAL_FAILURE(Stream(CameraUrl("http", "/")));
    // Ten bad pictures take 2/3 s; a new connection (if the demuxer gives up)
    // costs at most the recovery limit.
    ExpectStreamSurvived(3000, 10 * 1000 / kCameraFps + kRecoverLimitMs);
    ExpectOnlyGoodPictures();
}

INSTANTIATE_TEST_SUITE_P(FaultMatrix, BadPictures,
                         ::testing::Values("garbage", "truncated", "huge", "raw-garbage", "raw-truncated"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                             std::string name = info.param;
                             name.erase(std::remove(name.begin(), name.end(), '-'), name.end());
                             return name;
                         });

// Damaged units: concealed pictures are dropped; whole pictures keep coming
// (at the latest with the next key picture, once a second).
TEST_F(FaultMatrixTest, DamagedH264Units) {
    Case("H.264 with damaged units", "RTSP H.264");
    ASSERT_TRUE(StartRtsp({"--damage"}));
    ASSERT_NO_FATAL_FAILURE(Stream(CameraUrl("rtsp", "/h264")));
    ExpectStreamSurvived(4000, 2500);
}

// --- Camera pace ---

TEST_F(FaultMatrixTest, OnePictureASecond) {
    Case("1 picture a second", "HTTP multipart");
    ASSERT_TRUE(m_server.Start(MjpegServerCommand({"--cycle", "--fps", "1"})));
    ASSERT_NO_FATAL_FAILURE(Stream(CameraUrl("http", "/")));
    const uint64_t first = FirstPicture();
    ASSERT_NE(first, 0u);
    m_recoverMs = int64_t(first - m_ullRun);  // the first picture
    Sleep(3000);
    const uint64_t end = ExtendedTickCount();
    ExpectFlowing(first, end);
    EXPECT_LE(LongestGap(first, end), 1000u + 300u);
    ExpectPromptStop();
    ExpectOnlyGoodPictures();
}

TEST_F(FaultMatrixTest, TwoHundredPicturesASecond) {
    Case("200 pictures a second", "HTTP multipart");
    ASSERT_TRUE(m_server.Start(MjpegServerCommand({"--cycle", "--fps", "200"})));
    ASSERT_NO_FATAL_FAILURE(Stream(CameraUrl("http", "/")));
    ExpectKeptUp(3000, 500);
    ExpectOnlyGoodPictures();
}

// --- Addresses that lead nowhere ---

// Nothing listens; later the camera comes up on that address.
TEST_F(FaultMatrixTest, UnreachableThenUp) {
    Case("unreachable, then up", "HTTP");
    const int port = FreeLoopbackPort();
    ASSERT_NE(port, 0);
    ASSERT_NO_FATAL_FAILURE(Stream(Wide("http://127.0.0.1:" + std::to_string(port) + "/")));
    Sleep(1000);
    const uint64_t now = ExtendedTickCount();
    ExpectFlowing(m_ullRunning, now);
    ExpectAllCards(m_ullRun, now);
    ASSERT_TRUE(StartHttp({}, port));
    const uint64_t healed = ExtendedTickCount();
    const uint64_t back = WaitForNewPicture(healed, 3 * kRecoverLimitMs);
    ASSERT_NE(back, 0u);
    m_recoverMs = int64_t(back - healed);
    EXPECT_LE(uint64_t(m_recoverMs), kRecoverLimitMs);
    ExpectPromptStop();
}

TEST_F(FaultMatrixTest, UnreachableRtsp) {
    Case("unreachable", "RTSP");
    ExpectCardFlow(Wide("rtsp://127.0.0.1:" + std::to_string(FreeLoopbackPort()) + "/h264"));
}

TEST_F(FaultMatrixTest, UnknownScheme) {
    Case("unknown scheme", "gopher");
    ExpectCardFlow(L"gopher://127.0.0.1:70/camera");
}

TEST_F(FaultMatrixTest, NotAnAddress) {
    Case("not an address", "-");
    ExpectCardFlow(L"not an address at all");
}

TEST_F(FaultMatrixTest, NotAnAddressCardOff) {
    Case("not an address, card off", "-");
    ExpectCardFlow(L"not an address at all", 0);
}

// Audio goes on while the video has ended: only video counts as a sign of
// life, so the camera is reconnected after the silence limit.
TEST_F(FaultMatrixTest, LongVideoStopsWhileAudioGoesOn) {
    Case("video stops, audio goes on", "RTSP H.264+audio");
    const std::string log = TempFileName("sessions");
    ASSERT_TRUE(m_server.Start(RtspServerCommand({"--width", "160", "--height", "120", "--video-frames", "25",
                                                  "--log", log})));
    ASSERT_NO_FATAL_FAILURE(Stream(CameraUrl("rtsp", "/av")));
    const uint64_t first = FirstPicture();
    ASSERT_NE(first, 0u);
    const uint64_t since = ExtendedTickCount();
    while (CountLines(log, "session") < 2 && ExtendedTickCount() - since < kSilenceLimitMs + 10000) Sleep(50);
    EXPECT_GE(CountLines(log, "session"), 2);
    m_recoverMs = int64_t(ExtendedTickCount() - first);  // last video to the new session, about
    ExpectFlowing(first, ExtendedTickCount());
    ExpectPromptStop();
    std::remove(log.c_str());
}

}  // namespace
