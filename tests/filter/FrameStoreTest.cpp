#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "filter/FrameStore.h"

namespace {

LONG Stride(LONG w) {
    return (w * 3 + 3) & ~3;
}

// The crop and scale written out the plain way, for comparison.
std::vector<BYTE> Reference(const std::vector<BYTE>& src, LONG srcW, LONG srcH, LONG W, LONG H, LONG l,
                            LONG t, LONG r, LONG b) {
    auto window = [](LONG a, LONG c, LONG extent, LONG* lo, LONG* hi) {
        if (a == 0 && c == 0) {
            *lo = 0, *hi = extent;
            return;
        }
        *lo = std::min(a, c), *hi = std::max(a, c);
        *lo = std::max(LONG(0), std::min(*lo, extent));
        *hi = std::max(LONG(0), std::min(*hi, extent));
    };
    std::vector<BYTE> out(size_t(Stride(W)) * H, 0);
    LONG x0, x1, y0, y1;
    window(t, b, srcH, &y0, &y1);
    window(l, r, srcW, &x0, &x1);
    if (x1 == x0 || y1 == y0) return out;
    for (LONG i = 0; i < H; ++i) {
        const LONG y = (srcH - 1) - (y0 + (i * (y1 - y0)) / H);
        for (LONG j = 0; j < W; ++j) {
            const LONG x = x0 + (j * (x1 - x0)) / W;
            std::memcpy(&out[size_t(i) * Stride(W) + j * 3], &src[size_t(y) * Stride(srcW) + x * 3], 3);
        }
    }
    return out;
}

std::vector<BYTE> Picture(LONG w, LONG h, unsigned seed) {
    std::vector<BYTE> p(size_t(Stride(w)) * h);
    for (size_t i = 0; i < p.size(); ++i) p[i] = BYTE((i * 2654435761u + seed) >> 13);
    return p;
}

std::vector<BYTE> Read(CFrameStore& store, LONG w, LONG h) {
    std::vector<BYTE> out(size_t(Stride(w)) * h, 0xEE);
    EXPECT_EQ(store.CopyStore(out.data(), LONG(out.size())), LONG(out.size()));
    return out;
}

// Pixels as the reference has them; row padding is written only by the
// black fill, so it stays zero.
void ExpectSamePixels(const std::vector<BYTE>& a, const std::vector<BYTE>& b, LONG w, LONG h) {
    for (LONG i = 0; i < h; ++i) {
        const BYTE* row = &a[size_t(i) * Stride(w)];
        ASSERT_EQ(0, std::memcmp(row, &b[size_t(i) * Stride(w)], size_t(w) * 3)) << "store row " << i;
        for (LONG k = w * 3; k < Stride(w); ++k) ASSERT_EQ(row[k], 0) << "padding of store row " << i;
    }
}

TEST(FrameStoreTest, MatchesTheReferenceForManySizesAndCrops) {
    const LONG sizes[][2] = {{1, 1}, {5, 2}, {7, 3}, {64, 48}, {33, 17}, {320, 240}};
    const LONG crops[][4] = {{0, 0, 0, 0},      {10, 0, 0, 0},  {0, 100, 0, 0},
                             {-20, -5, 30, 40}, {30, 40, 3, 2}, {500, 500, 600, 600},
                             {2, 1, 1000, 900}, {5, 5, 5, 9},   {-9, -9, -1, -1}};
    unsigned seed = 1;
    for (auto& out : sizes) {
        for (auto& in : sizes) {
            for (auto& c : crops) {
                CFrameStore store;
                store.ResizeFrameStore(out[0], out[1]);
                store.SetCropBounds(c[0], c[1], c[2], c[3]);
                const std::vector<BYTE> src = Picture(in[0], in[1], seed++);
                EXPECT_TRUE(store.OnFrame(src.data(), in[0], in[1]));
                const auto expected = Reference(src, in[0], in[1], out[0], out[1], c[0], c[1], c[2], c[3]);
                SCOPED_TRACE(testing::Message()
                             << in[0] << "x" << in[1] << " -> " << out[0] << "x" << out[1] << " crop " << c[0]
                             << "," << c[1] << "," << c[2] << "," << c[3]);
                ExpectSamePixels(Read(store, out[0], out[1]), expected, out[0], out[1]);
            }
        }
    }
}

// Camera-sized pictures: a whole-number shrink, a fractional one, a stretch.
TEST(FrameStoreTest, MatchesTheReferenceForCameraSizes) {
    const LONG cases[][4] = {
        {1920, 1080, 640, 480}, {1280, 720, 640, 480}, {1918, 1078, 1280, 720}, {640, 480, 1921, 1079}};
    for (auto& c : cases) {
        CFrameStore store;
        store.ResizeFrameStore(c[2], c[3]);
        const std::vector<BYTE> src = Picture(c[0], c[1], 77);
        store.OnFrame(src.data(), c[0], c[1]);
        SCOPED_TRACE(testing::Message() << c[0] << "x" << c[1] << " -> " << c[2] << "x" << c[3]);
        ExpectSamePixels(Read(store, c[2], c[3]), Reference(src, c[0], c[1], c[2], c[3], 0, 0, 0, 0), c[2],
                         c[3]);
    }
}

TEST(FrameStoreTest, StoreRowZeroIsTheBottomLine) {
    // A 2x2 picture in BGR, rows of 8 bytes: top row red, bottom row blue.
    std::vector<BYTE> picture(16);
    const BYTE top[8] = {0, 0, 255, 0, 0, 255, 0, 0};
    const BYTE bottom[8] = {255, 0, 0, 255, 0, 0, 0, 0};
    std::memcpy(picture.data(), top, 8);
    std::memcpy(picture.data() + 8, bottom, 8);
    CFrameStore store;
    store.ResizeFrameStore(4, 4);
    store.OnFrame(picture.data(), 2, 2);
    const auto out = Read(store, 4, 4);
    EXPECT_EQ(out[0], 255);  // row 0, bottom: blue
    EXPECT_EQ(out[2], 0);
    EXPECT_EQ(out[3 * Stride(4) + 2], 255);  // row 3, top: red
    EXPECT_EQ(out[3 * Stride(4) + 0], 0);
}

TEST(FrameStoreTest, IsBlackBeforeTheFirstPictureAndForAnEmptyWindow) {
    CFrameStore store;
    store.ResizeFrameStore(33, 7);
    const std::vector<BYTE> black(size_t(Stride(33)) * 7, 0);
    EXPECT_EQ(Read(store, 33, 7), black);
    const std::vector<BYTE> src = Picture(40, 30, 9);
    store.OnFrame(src.data(), 40, 30);
    EXPECT_NE(Read(store, 33, 7), black);
    store.SetCropBounds(0, 500, 0, 600);  // both clamp to the height
    store.OnFrame(src.data(), 40, 30);
    EXPECT_EQ(Read(store, 33, 7), black);
}

TEST(FrameStoreTest, WithoutAStoreOrAPictureNothingIsTouched) {
    const std::vector<BYTE> src = Picture(8, 8, 3);
    for (LONG size : {0, -4}) {
        CFrameStore store;
        store.ResizeFrameStore(size, 10);
        store.OnFrame(src.data(), 8, 8);
        BYTE target[16];
        std::memset(target, 0x5A, sizeof(target));
        EXPECT_EQ(store.CopyStore(target, sizeof(target)), 0);
        EXPECT_EQ(target[0], 0x5A);
    }
    CFrameStore store;
    store.ResizeFrameStore(8, 8);
    store.OnFrame(src.data(), 8, 8);
    const std::vector<BYTE> last = Read(store, 8, 8);
    ASSERT_NE(last, std::vector<BYTE>(last.size(), 0));
    store.OnFrame(nullptr, 8, 8);
    store.OnFrame(Picture(8, 8, 1).data(), 0, 8);
    store.OnFrame(Picture(8, 8, 1).data(), 8, -1);
    EXPECT_EQ(Read(store, 8, 8), last);  // the last picture stays
    BYTE small[16];
    std::memset(small, 0x5A, sizeof(small));
    EXPECT_EQ(store.CopyStore(small, sizeof(small)), 0);  // does not fit: nothing copied
    EXPECT_EQ(small[0], 0x5A);
}

TEST(FrameStoreTest, ResizeKeepsAStoreOfTheSameSize) {
    CFrameStore store;
    store.ResizeFrameStore(16, 16);
    const std::vector<BYTE> src = Picture(16, 16, 5);
    store.OnFrame(src.data(), 16, 16);
    const auto before = Read(store, 16, 16);
    store.ResizeFrameStore(16, 16);
    EXPECT_EQ(Read(store, 16, 16), before);
    store.ResizeFrameStore(8, 4);
    EXPECT_EQ(Read(store, 8, 4), std::vector<BYTE>(size_t(Stride(8)) * 4, 0));
}

}  // namespace
