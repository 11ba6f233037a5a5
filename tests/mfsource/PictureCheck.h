// What the media source's tests read in its pictures: a pixel of an NV12 or
// RGB32 picture (top row first, rows of exactly its width) as RGB, and a
// frame-store picture made from a colour per pixel.
#pragma once

#include <vector>

#include "filter/FrameStore.h"
#include "mfsource/PictureConverter.h"

struct Rgb {
    int r, g, b;
};

// The quadrants of the test cameras (tests/fixtures): red, green / blue, white.
inline Rgb Quadrant(LONG x, LONG y, LONG width, LONG height) {
    const bool right = x >= width / 2, lower = y >= height / 2;
    if (!lower) return right ? Rgb{0, 255, 0} : Rgb{255, 0, 0};
    return right ? Rgb{255, 255, 255} : Rgb{0, 0, 255};
}

inline bool Near(int value, int target, int tolerance) { return value >= target - tolerance && value <= target + tolerance; }
inline bool IsColour(Rgb p, Rgb target, int tolerance = 60) {
    return Near(p.r, target.r, tolerance) && Near(p.g, target.g, tolerance) && Near(p.b, target.b, tolerance);
}

// Pixel (x, y), y from the top, of a picture of `format` that is width x
// height (its own size); NV12 back to RGB by BT.601's video range.
inline Rgb PixelOf(PictureFormat format, const BYTE* picture, LONG width, LONG height, LONG x, LONG y) {
    if (format == PictureFormat::kRgb32) {
        const BYTE* p = picture + (size_t(y) * size_t(width) + size_t(x)) * 4;
        return {p[2], p[1], p[0]};
    }
    const double luma = 1.164 * (picture[size_t(y) * size_t(width) + size_t(x)] - 16);
    const BYTE* chroma = picture + size_t(width) * size_t(height) + size_t(y / 2) * size_t(width) + size_t(x / 2) * 2;
    const double cb = chroma[0] - 128, cr = chroma[1] - 128;
    return {int(luma + 1.596 * cr), int(luma - 0.813 * cr - 0.391 * cb), int(luma + 2.018 * cb)};
}

// A frame-store picture (bottom row first, rows padded to 4 bytes) whose
// pixel (x, y), y from the top, is colour(x, y).
template <class Colour>
std::vector<BYTE> StorePicture(LONG width, LONG height, Colour colour) {
    const size_t stride = size_t(CFrameStore::StoreStride(width));
    std::vector<BYTE> store(size_t(CFrameStore::StoreBytes(width, height)), 0);
    for (LONG y = 0; y < height; ++y) {
        for (LONG x = 0; x < width; ++x) {
            const Rgb c = colour(x, y);
            BYTE* p = &store[size_t(height - 1 - y) * stride + size_t(x) * 3];
            p[0] = BYTE(c.b), p[1] = BYTE(c.g), p[2] = BYTE(c.r);
        }
    }
    return store;
}
