// What oculo-grab makes of a camera, the same on every system: its verdict is
// the camera's own account (a still scene delivers pictures; a status card
// that changes every second does not), the line a second says what the
// camera did, and a watch without a limit ends when asked.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tools/oculo-grab/GrabWatch.h"

namespace {

OCULO_STATUS Status(LONG state, ULONGLONG pictures, const wchar_t* reason = L"") {
    OCULO_STATUS status = {};
    status.cbSize = sizeof(status);
    status.lState = state;
    status.ullPictures = pictures;
    for (size_t i = 0; reason[i] && i + 1 < sizeof(status.szReason) / sizeof(WCHAR); ++i) {
        status.szReason[i] = reason[i];
    }
    if (pictures > 0) {
        status.lWidth = 640;
        status.lHeight = 480;
    }
    return status;
}

// A watch that is told to stop at once: only the verdict's own status read.
GrabVerdict VerdictOf(const CGrabWatch& watch, const OCULO_STATUS* pStatus) {
    return watch.PrintEachSecond(
        0,
        [pStatus](OCULO_STATUS* out) {
            if (pStatus) *out = *pStatus;
            return pStatus != nullptr;
        },
        [] { return true; });
}

void Feed(CGrabWatch& watch, int samples, bool bChanging) {
    for (int i = 0; i < samples; ++i) {
        const BYTE pixels[4] = {BYTE(bChanging ? i : 7), 1, 2, 3};
        watch.OnSample(pixels, sizeof(pixels), true, i * 400000);
    }
}

TEST(GrabWatch, TheVerdictIsTheCamerasOwnAccount) {
    CGrabWatch still;  // the same picture every time
    Feed(still, 50, false);
    OCULO_STATUS status = Status(OCULO_STATE_STREAMING, 40);
    EXPECT_TRUE(VerdictOf(still, &status).bPictures);

    CGrabWatch card;  // the status card's clock changes the samples
    Feed(card, 50, true);
    status =
        Status(OCULO_STATE_LOGIN_REFUSED, 0, L"Login refused (HTTP 401): check the user name and password");
    GrabVerdict verdict = VerdictOf(card, &status);
    EXPECT_FALSE(verdict.bPictures);
    EXPECT_EQ(verdict.reason, "Login refused (HTTP 401): check the user name and password");
    status = Status(OCULO_STATE_CONNECTING, 0);
    EXPECT_EQ(VerdictOf(card, &status).reason, "still connecting to the camera");
    status = Status(OCULO_STATE_SILENT, 0);
    EXPECT_EQ(VerdictOf(card, &status).reason, "connected, but the camera sent no picture");

    // A device that tells no status is judged by its picture's changes.
    EXPECT_TRUE(VerdictOf(card, nullptr).bPictures);
    verdict = VerdictOf(still, nullptr);
    EXPECT_FALSE(verdict.bPictures);
    EXPECT_NE(verdict.reason.find("never changed"), std::string::npos) << verdict.reason;
}

TEST(GrabWatch, ASecondsLineTellsWhatTheCameraDid) {
    // An earlier failure's reason is not shown while the camera streams.
    EXPECT_EQ(CameraSecond(Status(OCULO_STATE_STREAMING, 40, L"Connection lost"), 15),
              "streaming, 25 pictures, 640x480");
    EXPECT_EQ(CameraSecond(Status(OCULO_STATE_STREAMING, 41, L""), 40), "streaming, 1 picture, 640x480");
    EXPECT_EQ(CameraSecond(Status(OCULO_STATE_WAITING, 0, L"Connection refused"), 0),
              "waiting to reconnect, 0 pictures; Connection refused");
    EXPECT_EQ(CameraSecond(Status(OCULO_STATE_CONNECTING, 0), 0), "connecting, 0 pictures");

    // A reason that fills its field without a terminator, and one that is
    // not ASCII, are read within the field.
    OCULO_STATUS full = Status(OCULO_STATE_SILENT, 3);
    for (WCHAR& c : full.szReason) c = L'x';
    full.szReason[0] = WCHAR(0xE9);
    const std::string line = CameraSecond(full, 0);
    EXPECT_EQ(line,
              "silent, 3 pictures, 640x480; ?" + std::string(sizeof(full.szReason) / sizeof(WCHAR) - 1, 'x'));
}

TEST(GrabWatch, AWatchWithoutALimitEndsWhenAsked) {
    CGrabWatch watch;
    int lines = 0;
    const OCULO_STATUS status = Status(OCULO_STATE_STREAMING, 10);
    // Asked to stop once the first line is out: no second line is waited for.
    const GrabVerdict verdict = watch.PrintEachSecond(
        0,
        [&](OCULO_STATUS* out) {
            *out = status;
            ++lines;
            return true;
        },
        [&] { return lines >= 1; });
    EXPECT_EQ(lines, 2);  // one line, then the verdict
    EXPECT_GE(verdict.seconds, 1.0);
    EXPECT_LT(verdict.seconds, 1.9);
    EXPECT_TRUE(verdict.bStopped && verdict.bPictures);
}

}  // namespace
