// The process's back-off for refused logins, on a clock of the test's own.
#include <gtest/gtest.h>

#include <cstdio>
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

// A reader as the table sees it: after its own reconnect pause it takes the
// turn, and the camera refuses the login 50 ms later.
struct Reader {
    uint64_t from, until;  // its life
    uint64_t next = 0;     // its own pause's end
    uint64_t answer = 0;   // when the camera refuses the attempt under way (0: none)
};

// Two filters side by side on a camera that refuses every login, and a third
// made after one of them is gone, ask the camera as one would: at 0, 1, 3,
// 7, 15 and 31 s (each wait counted from the refusal), not 6 times each.
TEST(CameraLoginBackOff, EveryReaderOfACameraAndLoginWaitsItsTurn) {
    CLoginBackOff table(TestClock);
    const LoginKey key = MakeLoginKey("rtsp", "camera.local", -1, "admin:wrong");
    std::vector<Reader> readers = {{0, 60000}, {0, 20000}, {20000, 60000}};
    std::vector<uint64_t> attempts;
    for (g_ullNow = 0; g_ullNow < 60000; g_ullNow += 10) {
        for (Reader& r : readers) {
            if (g_ullNow < r.from || g_ullNow >= r.until) continue;
            uint64_t freeAt = 0;
            CameraFailure shown;
            if (r.answer != 0 && g_ullNow >= r.answer) {
                table.Refused(key, Refusal());
                r.answer = 0;
                r.next = g_ullNow + 500;
            } else if (r.answer == 0 && g_ullNow >= r.next) {
                if (table.TryTake(key, &freeAt, &shown)) {
                    attempts.push_back(g_ullNow);
                    r.answer = g_ullNow + 50;
                } else if (!attempts.empty() && g_ullNow > attempts.back() + 50) {
                    // Waiting for a refusal's pause: the refusal is what to show.
                    EXPECT_EQ(shown.lCode, 401);
                    EXPECT_GT(freeAt, g_ullNow);
                }
            }
        }
    }
    std::printf("attempts in the first minute:");
    for (uint64_t at : attempts) std::printf(" %llu ms", static_cast<unsigned long long>(at));
    std::printf("\n");
    EXPECT_LE(attempts.size(), 8u);
    EXPECT_EQ(attempts, (std::vector<uint64_t>{0, 1050, 3100, 7150, 15200, 31250}));
}

// A key is the camera and the login, however the address spells the camera;
// another password is tried at once, an accepted login ends the back-off, and
// the table keeps the keys last refused when many more come than it holds.
TEST(CameraLoginBackOff, KeysAndWhatEndsTheirWait) {
    CLoginBackOff table(TestClock);
    g_ullNow = 1000000;
    const LoginKey wrong = MakeLoginKey("rtsp", "camera.local", -1, "admin:wrong");
    EXPECT_TRUE(wrong == MakeLoginKey("RTSP", "Camera.Local", 554, "admin:wrong"));
    EXPECT_FALSE(wrong == MakeLoginKey("rtsp", "camera.local", 8554, "admin:wrong"));
    EXPECT_FALSE(wrong == MakeLoginKey("rtsp", "camera.local", -1, "admin:Wrong"));
    uint64_t freeAt = 0;
    CameraFailure shown;
    ASSERT_TRUE(table.TryTake(wrong, &freeAt, &shown));
    EXPECT_FALSE(table.TryTake(wrong, &freeAt, &shown)) << "a turn already taken";
    table.Refused(wrong, Refusal());
    EXPECT_FALSE(table.TryTake(wrong, &freeAt, &shown));
    EXPECT_EQ(freeAt, g_ullNow + kLoginPauseFirstMs);
    const LoginKey right = MakeLoginKey("rtsp", "camera.local", -1, "admin:right");
    EXPECT_TRUE(table.TryTake(right, &freeAt, &shown));
    table.Accepted(right);

    // Accepted: the next refusal is a first one again.
    g_ullNow += kLoginPauseFirstMs;
    ASSERT_TRUE(table.TryTake(wrong, &freeAt, &shown));
    table.Accepted(wrong);
    ASSERT_TRUE(table.TryTake(wrong, &freeAt, &shown));
    table.Refused(wrong, Refusal());
    EXPECT_FALSE(table.TryTake(wrong, &freeAt, &shown));
    EXPECT_EQ(freeAt, g_ullNow + kLoginPauseFirstMs);

    // Full: the stalest entries go, the latest refusals stay.
    g_ullNow += 10;
    for (int i = 0; i < 2 * CLoginBackOff::kEntries; ++i) {
        const LoginKey other = MakeLoginKey("http", "camera.local", 80 + i, "");
        ASSERT_TRUE(table.TryTake(other, &freeAt, &shown));
        table.Refused(other, Refusal());
    }
    EXPECT_TRUE(table.TryTake(wrong, &freeAt, &shown)) << "the stalest was forgotten";
    const LoginKey latest = MakeLoginKey("http", "camera.local", 80 + 2 * CLoginBackOff::kEntries - 1, "");
    EXPECT_FALSE(table.TryTake(latest, &freeAt, &shown));
}

}  // namespace
