#include <gtest/gtest.h>

#include "tests/mfsource/PictureCheck.h"

namespace {

// BT.601 video range as cameras send it: Y, Cb, Cr of the quadrants' colours.
struct Yuv {
    int y, cb, cr;
};

TEST(PictureConverter, GivesTheKnownColoursUprightInBothFormats) {
    const LONG w = 6, h = 4;
    const std::vector<BYTE> store = StorePicture(w, h, [&](LONG x, LONG y) { return Quadrant(x, y, w, h); });
    // Red, green / blue, white, as the rows go down.
    const Yuv expected[2][2] = {{{82, 90, 240}, {145, 54, 34}}, {{41, 240, 110}, {235, 128, 128}}};

    std::vector<BYTE> nv12(FormattedBytes(PictureFormat::kNv12, w, h));
    ASSERT_EQ(nv12.size(), size_t(w * h * 3 / 2));
    ASSERT_EQ(ConvertPicture(PictureFormat::kNv12, store.data(), w, h, nv12.data(), nv12.size()), nv12.size());
    std::vector<BYTE> rgb32(FormattedBytes(PictureFormat::kRgb32, w, h));
    ASSERT_EQ(ConvertPicture(PictureFormat::kRgb32, store.data(), w, h, rgb32.data(), rgb32.size()), size_t(w * h * 4));
    // Corners: each in a 2x2 chroma block of one colour.
    for (LONG y : {0, 3}) {
        for (LONG x : {0, 5}) {
            const Yuv& e = expected[y / 2][x / 3];
            EXPECT_NEAR(nv12[size_t(y * w + x)], e.y, 1) << x << "," << y;
            const BYTE* chroma = &nv12[size_t(w * h + (y / 2) * w + (x / 2) * 2)];
            EXPECT_NEAR(chroma[0], e.cb, 1) << x << "," << y;
            EXPECT_NEAR(chroma[1], e.cr, 1) << x << "," << y;
            const Rgb colour = Quadrant(x, y, w, h);
            EXPECT_TRUE(IsColour(PixelOf(PictureFormat::kNv12, nv12.data(), w, h, x, y), colour, 3)) << x << "," << y;
            const BYTE* pixel = &rgb32[size_t(y * w + x) * 4];
            EXPECT_EQ(pixel[0], colour.b);
            EXPECT_EQ(pixel[1], colour.g);
            EXPECT_EQ(pixel[2], colour.r);
            EXPECT_EQ(pixel[3], 0xFF);
        }
    }
}

// An odd side: NV12 drops the right column and the bottom row, RGB32 keeps
// them; neither reads past the store nor writes past its picture.
TEST(PictureConverter, OddSizesStayInBoundsAndUpright) {
    const LONG w = 5, h = 3;
    // Each pixel's grey tells its place: 40 per column, 10 per row.
    auto grey = [](LONG x, LONG y) { return Rgb{int(40 * x + 10 * y), int(40 * x + 10 * y), int(40 * x + 10 * y)}; };
    const std::vector<BYTE> store = StorePicture(w, h, grey);
    LONG nw = 0, nh = 0;
    ASSERT_TRUE(FormattedSize(PictureFormat::kNv12, w, h, &nw, &nh));
    EXPECT_EQ(nw, 4);
    EXPECT_EQ(nh, 2);
    for (PictureFormat format : {PictureFormat::kNv12, PictureFormat::kRgb32}) {
        const size_t bytes = FormattedBytes(format, w, h);
        ASSERT_EQ(bytes, format == PictureFormat::kNv12 ? 12u : 60u);
        std::vector<BYTE> target(bytes + 16, 0xAB);
        EXPECT_EQ(ConvertPicture(format, store.data(), w, h, target.data(), bytes - 1), 0u) << "too small";
        EXPECT_EQ(target[0], 0xAB);
        ASSERT_EQ(ConvertPicture(format, store.data(), w, h, target.data(), target.size()), bytes);
        for (size_t i = bytes; i < target.size(); ++i) ASSERT_EQ(target[i], 0xAB) << "written past the picture";
        const LONG fw = format == PictureFormat::kNv12 ? nw : w, fh = format == PictureFormat::kNv12 ? nh : h;
        for (LONG y = 0; y < fh; ++y) {
            for (LONG x = 0; x < fw; ++x) {
                EXPECT_TRUE(IsColour(PixelOf(format, target.data(), fw, fh, x, y), grey(x, y), 5)) << x << "," << y;
            }
        }
    }
    // NV12 needs 2x2 at least.
    EXPECT_EQ(FormattedBytes(PictureFormat::kNv12, 1, 7), 0u);
    EXPECT_EQ(FormattedBytes(PictureFormat::kRgb32, 1, 7), 28u);
    EXPECT_EQ(FormattedBytes(PictureFormat::kRgb32, 0, 7), 0u);
}

}  // namespace
