// The process's back-off for refused logins, on a clock of the test's own.
#include <gtest/gtest.h>

#include <vector>

#include "camera/LoginBackOff.h"

namespace {

uint64_t g_ullNow = 0;
uint64_t TestClock() {
    return g_ullNow;
}

CameraFailure Refusal() {
    CameraFailure refusal;
    refusal.lReason = OCULO_REASON_LOGIN_REFUSED;
    refusal.lCode = 401;
    return refusal;
}

// Two filters side by side on a camera that refuses every login, and a third
// made after one of them is gone, ask the camera as one reader would: at 0,
// 1, 3, 7, 15 and 31 s (each pause counted from the refusal, 50 ms after its
// attempt), at most 8 times in the first minute, not 6 times each.
TEST(CameraLoginBackOff, EveryReaderOfACameraAndLoginWaitsItsTurn) {
    CLoginBackOff table(TestClock);
    const LoginKey key = MakeLoginKey("rtsp", "camera.local", -1, "admin:wrong");
    // Its life; the end of its own reconnect pause; when the camera refuses
    // its attempt under way (0: none).
    struct Reader {
        uint64_t from, until, next, answer;
    };
    std::vector<Reader> readers = {{0, 60000, 0, 0}, {0, 20000, 0, 0}, {20000, 60000, 0, 0}};
    std::vector<uint64_t> attempts;
    uint64_t freeAt = 0;
    CameraFailure shown;
    for (g_ullNow = 0; g_ullNow < 60000; g_ullNow += 10) {
        for (Reader& r : readers) {
            if (g_ullNow < r.from || g_ullNow >= r.until) continue;
            if (r.answer != 0 && g_ullNow >= r.answer) {
                table.Refused(key, Refusal());
                r.answer = 0;
                r.next = g_ullNow + 500;
            } else if (r.answer == 0 && g_ullNow >= r.next && table.TryTake(key, &freeAt, &shown)) {
                attempts.push_back(g_ullNow);
                r.answer = g_ullNow + 50;
            }
        }
    }
    EXPECT_EQ(attempts, (std::vector<uint64_t>{0, 1050, 3100, 7150, 15200, 31250}));
}

// A key is the camera and the login, however the address spells the camera.
// A refused one waits and says why; another password goes at once; an
// accepted login ends the back-off; a full table forgets the least recently
// used keys, not the latest refusals.
TEST(CameraLoginBackOff, KeysAndWhatEndsTheirWait) {
    CLoginBackOff table(TestClock);
    g_ullNow = 1000000;
    const LoginKey wrong = MakeLoginKey("rtsp", "camera.local", -1, "admin:wrong");
    EXPECT_TRUE(wrong == MakeLoginKey("RTSP", "Camera.Local", 554, "admin:wrong"));
    EXPECT_FALSE(wrong == MakeLoginKey("rtsp", "camera.local", -1, "admin:Wrong"));
    uint64_t freeAt = 0;
    CameraFailure shown;
    auto refuse = [&](const LoginKey& key) {
        ASSERT_TRUE(table.TryTake(key, &freeAt, &shown));
        table.Refused(key, Refusal());
    };
    refuse(wrong);
    EXPECT_FALSE(table.TryTake(wrong, &freeAt, &shown));
    EXPECT_EQ(freeAt, g_ullNow + kLoginPauseFirstMs);
    EXPECT_EQ(shown.lCode, 401);
    EXPECT_TRUE(table.TryTake(MakeLoginKey("rtsp", "camera.local", -1, "admin:right"), &freeAt, &shown));

    g_ullNow += kLoginPauseFirstMs;
    ASSERT_TRUE(table.TryTake(wrong, &freeAt, &shown));
    table.Accepted(wrong);
    refuse(wrong);
    EXPECT_FALSE(table.TryTake(wrong, &freeAt, &shown));
    EXPECT_EQ(freeAt, g_ullNow + kLoginPauseFirstMs) << "a first refusal again";

    g_ullNow += 10;
    for (int i = 0; i < 2 * CLoginBackOff::kEntries; ++i) refuse(MakeLoginKey("http", "camera.local", 80 + i, ""));
    EXPECT_TRUE(table.TryTake(wrong, &freeAt, &shown)) << "the least recently used is forgotten";
    const int latest = 80 + 2 * CLoginBackOff::kEntries - 1;
    EXPECT_FALSE(table.TryTake(MakeLoginKey("http", "camera.local", latest, ""), &freeAt, &shown));
}

}  // namespace
