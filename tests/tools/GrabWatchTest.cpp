// What oculo-grab makes of a camera, the same on every system (the programs
// themselves are run against loopback cameras by cli_test.sh and
// wine_cli_test.sh): the verdict is the camera's own account, a device
// without one is judged by its picture, a reason is read within its field,
// and a watch without a limit ends when asked.
#include <gtest/gtest.h>

#include <string>

#include "tests/SizedStatus.h"
#include "tools/oculo-grab/GrabWatch.h"

namespace {

OCULO_STATUS Status(LONG state, ULONGLONG pictures, const wchar_t* reason = L"") {
    OCULO_STATUS status = SizedStatus();
    status.lState = state;
    status.ullPictures = pictures;
    for (size_t i = 0; reason[i] && i + 1 < sizeof(status.szReason) / sizeof(WCHAR); ++i) {
        status.szReason[i] = reason[i];
    }
    return status;
}

// A watch told to stop at once, fed `samples` that change or not: its verdict.
GrabVerdict VerdictOf(const OCULO_STATUS* pStatus, bool bChanging) {
    CGrabWatch watch;
    for (int i = 0; i < 50; ++i) {
        const BYTE pixels[4] = {BYTE(bChanging ? i : 7), 1, 2, 3};
        watch.OnSample(pixels, sizeof(pixels), true, i * 400000);
    }
    return watch.PrintEachSecond(
        0,
        [pStatus](OCULO_STATUS* out) {
            if (pStatus) *out = *pStatus;
            return pStatus != nullptr;
        },
        [] { return true; });
}

TEST(GrabWatch, TheVerdictIsTheCamerasOwnAccount) {
    // A still scene delivers; a status card whose clock changes does not.
    const OCULO_STATUS streaming = Status(OCULO_STATE_STREAMING, 40);
    EXPECT_TRUE(VerdictOf(&streaming, false).bPictures);
    const OCULO_STATUS refused = Status(OCULO_STATE_LOGIN_REFUSED, 0, L"Login refused (HTTP 401)");
    const GrabVerdict verdict = VerdictOf(&refused, true);
    EXPECT_FALSE(verdict.bPictures);
    EXPECT_EQ(verdict.reason, "Login refused (HTTP 401)");
    // A device that tells no status is judged by its picture's changes.
    EXPECT_TRUE(VerdictOf(nullptr, true).bPictures);
    EXPECT_FALSE(VerdictOf(nullptr, false).bPictures);
}

TEST(GrabWatch, TheCamerasPartOfALineReadsTheReasonWithinItsField) {
    // An earlier failure's reason is not shown while the camera streams.
    EXPECT_EQ(CameraSecond(Status(OCULO_STATE_STREAMING, 40, L"Connection lost"), 15), "streaming, 25 pictures");
    // A reason that fills its field without a terminator, and one not ASCII.
    OCULO_STATUS full = Status(OCULO_STATE_WAITING, 0);
    for (WCHAR& c : full.szReason) c = L'x';
    full.szReason[0] = WCHAR(0xE9);
    EXPECT_EQ(CameraSecond(full, 0),
              "waiting to reconnect, 0 pictures; ?" + std::string(sizeof(full.szReason) / sizeof(WCHAR) - 1, 'x'));
}

TEST(GrabWatch, AWatchWithoutALimitEndsWhenAsked) {
    CGrabWatch watch;
    int reads = 0;
    // Asked to stop once the first line is out: no second line is waited for.
    const GrabVerdict verdict = watch.PrintEachSecond(
        0,
        [&](OCULO_STATUS* out) {
            *out = Status(OCULO_STATE_STREAMING, 10);
            return ++reads > 0;
        },
        [&] { return reads >= 2; });
    EXPECT_EQ(reads, 3);  // the start's, the line's, then the verdict's
    EXPECT_GE(verdict.seconds, 1.0);
    EXPECT_LT(verdict.seconds, 1.9);
    EXPECT_TRUE(verdict.bStopped && verdict.bPictures);
}

}  // namespace
