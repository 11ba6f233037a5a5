#include "mfsource/PictureConverter.h"

#include <cstdint>

#include "filter/FrameStore.h"

namespace {

// Media Foundation's buffers count their length in a DWORD; we stay below 2 GB.
constexpr uint64_t kMaxFormattedBytes = 0x7FFFFFFF;

// BT.601 video range in 8-bit fixed point; the offsets keep every sum
// positive, so the shifts are exact floors.
BYTE Luma(int b, int g, int r) { return BYTE((66 * r + 129 * g + 25 * b + 4224) >> 8); }
// From the sums of four pixels' channels.
BYTE ChromaB(int b, int g, int r) { return BYTE((-38 * r - 74 * g + 112 * b + 4 * 32896) >> 10); }
BYTE ChromaR(int b, int g, int r) { return BYTE((112 * r - 94 * g - 18 * b + 4 * 32896) >> 10); }

// The store's row that shows the picture's row y counted from the top.
const BYTE* StoreRow(const BYTE* store, LONG width, LONG height, LONG y) {
    return store + size_t(height - 1 - y) * size_t(CFrameStore::StoreStride(width));
}

void ToNv12(const BYTE* store, LONG width, LONG height, LONG outWidth, LONG outHeight, BYTE* target) {
    BYTE* luma = target;
    BYTE* chroma = target + size_t(outWidth) * size_t(outHeight);
    for (LONG y = 0; y < outHeight; y += 2) {
        const BYTE* upper = StoreRow(store, width, height, y);
        const BYTE* lower = StoreRow(store, width, height, y + 1);
        BYTE* lumaUpper = luma + size_t(y) * size_t(outWidth);
        BYTE* lumaLower = lumaUpper + outWidth;
        BYTE* pair = chroma + size_t(y / 2) * size_t(outWidth);
        for (LONG x = 0; x < outWidth; x += 2) {
            const BYTE* p[4] = {upper + x * 3, upper + x * 3 + 3, lower + x * 3, lower + x * 3 + 3};
            lumaUpper[x] = Luma(p[0][0], p[0][1], p[0][2]);
            lumaUpper[x + 1] = Luma(p[1][0], p[1][1], p[1][2]);
            lumaLower[x] = Luma(p[2][0], p[2][1], p[2][2]);
            lumaLower[x + 1] = Luma(p[3][0], p[3][1], p[3][2]);
            const int b = p[0][0] + p[1][0] + p[2][0] + p[3][0];
            const int g = p[0][1] + p[1][1] + p[2][1] + p[3][1];
            const int r = p[0][2] + p[1][2] + p[2][2] + p[3][2];
            pair[x] = ChromaB(b, g, r);
            pair[x + 1] = ChromaR(b, g, r);
        }
    }
}

void ToRgb32(const BYTE* store, LONG width, LONG height, BYTE* target) {
    for (LONG y = 0; y < height; ++y) {
        const BYTE* in = StoreRow(store, width, height, y);
        BYTE* out = target + size_t(y) * size_t(width) * 4;
        for (LONG x = 0; x < width; ++x, in += 3, out += 4) {
            out[0] = in[0];
            out[1] = in[1];
            out[2] = in[2];
            out[3] = 0xFF;
        }
    }
}

}  // namespace

bool FormattedSize(PictureFormat format, LONG width, LONG height, LONG* formattedWidth, LONG* formattedHeight) {
    if (CFrameStore::StoreBytes(width, height) == 0) return false;
    LONG w = width, h = height;
    uint64_t bytes = uint64_t(w) * uint64_t(h) * 4;
    if (format == PictureFormat::kNv12) {
        w = width & ~LONG(1);
        h = height & ~LONG(1);
        bytes = uint64_t(w) * uint64_t(h) * 3 / 2;
    }
    if (w < 1 || h < 1 || bytes > kMaxFormattedBytes) return false;
    *formattedWidth = w;
    *formattedHeight = h;
    return true;
}

size_t FormattedBytes(PictureFormat format, LONG width, LONG height) {
    LONG w = 0, h = 0;
    if (!FormattedSize(format, width, height, &w, &h)) return 0;
    const size_t pixels = size_t(w) * size_t(h);
    return format == PictureFormat::kNv12 ? pixels * 3 / 2 : pixels * 4;
}

size_t ConvertPicture(PictureFormat format, const BYTE* store, LONG width, LONG height, BYTE* target,
                      size_t cbTarget) {
    const size_t bytes = FormattedBytes(format, width, height);
    if (!store || !target || bytes == 0 || cbTarget < bytes) return 0;
    if (format == PictureFormat::kNv12) {
        ToNv12(store, width, height, width & ~LONG(1), height & ~LONG(1), target);
    } else {
        ToRgb32(store, width, height, target);
    }
    return bytes;
}
