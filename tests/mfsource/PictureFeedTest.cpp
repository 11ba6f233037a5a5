// The picture feed over the camera reader and a loopback camera: the card
// until a picture, then the camera's picture upright in both formats, kept
// while no new one comes; stops and starts in any order, the last one while
// the reader is still starting.
#include <gtest/gtest.h>

#include <cwchar>
#include <string>

#include "camera/ExtendedTickCount.h"
#include "mfsource/PictureFeed.h"
#include "tests/fixtures/FixtureProcess.h"
#include "tests/mfsource/PictureCheck.h"

namespace {

const LONG kWidth = 160, kHeight = 120;

Rgb PixelNow(CPictureFeed& feed, PictureFormat format, LONG x, LONG y) {
    size_t bytes = 0;
    const BYTE* picture = feed.Picture(format, &bytes);
    EXPECT_EQ(bytes, FormattedBytes(format, kWidth, kHeight));
    return picture ? PixelOf(format, picture, kWidth, kHeight, x, y) : Rgb{-1, -1, -1};
}

TEST(PictureFeed, ShowsTheCardThenTheCamerasPictureUpright) {
    CFixtureProcess camera;
    ASSERT_TRUE(camera.Start(MjpegServerCommand({"--width", "320", "--height", "240"})));
    InstanceSettings settings = {};
    const std::string url = "http://127.0.0.1:" + std::to_string(camera.Port()) + "/";
    std::copy(url.begin(), url.end(), settings.url);
    std::wcscpy(settings.name, L"Hall");
    settings.w = kWidth;
    settings.h = kHeight;
    settings.status = 1;
    CPictureFeed feed(settings);
    // The card's background, in the corner where no text reaches.
    EXPECT_TRUE(IsColour(PixelNow(feed, PictureFormat::kRgb32, kWidth - 1, kHeight - 1), {0x20, 0x28, 0x30}, 0));

    ASSERT_TRUE(feed.Start());
    const uint64_t since = ExtendedTickCount();
    while (!IsColour(PixelNow(feed, PictureFormat::kNv12, 20, 15), {255, 0, 0}) &&
           ExtendedTickCount() - since < 15000) {
        Sleep(10);
    }
    for (PictureFormat format : {PictureFormat::kNv12, PictureFormat::kRgb32}) {
        EXPECT_TRUE(IsColour(PixelNow(feed, format, 20, 15), {255, 0, 0}));
        EXPECT_TRUE(IsColour(PixelNow(feed, format, 140, 15), {0, 255, 0}));
        EXPECT_TRUE(IsColour(PixelNow(feed, format, 20, 105), {0, 0, 255}));
        EXPECT_TRUE(IsColour(PixelNow(feed, format, 140, 105), {255, 255, 255}));
    }
    feed.Stop();
    feed.Stop();
    ASSERT_TRUE(feed.Start());
    ASSERT_TRUE(feed.Start());
    feed.Stop();
    ASSERT_TRUE(feed.Start());
    // Destroyed while the reader starts.
}

}  // namespace
