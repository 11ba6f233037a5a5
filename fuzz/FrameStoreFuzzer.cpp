// The frame store over arbitrary picture sizes, store sizes and crop bounds:
// every picture lands in the store exactly as the nearest-neighbour rule
// says (checked against a plain per-pixel version of it), the rows' padding
// stays black, and nothing outside the picture or the store is touched.
// Sizes stay small enough for one input to run in milliseconds.
#include <cstdint>
#include <cstring>
#include <vector>

#include "filter/FrameStore.h"
#include "fuzz/FuzzInput.h"

namespace {

// Picture and store sides: mostly small (fast), a few hundred at times, the
// odd negative or zero.
LONG Side(FuzzInput& in) {
    const uint16_t raw = in.U16();
    switch (raw >> 14) {
        case 0:
        case 1: return LONG(raw % 64);
        case 2: return LONG(raw & 1 ? raw % 5000 : raw % 700);
        default: return -LONG(raw & 0xF);
    }
}

// A crop bound: small ones mostly, any 32-bit value sometimes.
LONG Bound(FuzzInput& in) {
    const uint8_t kind = in.Byte();
    if (kind >= 0xF0) return in.I32();
    return LONG(in.U16() % 800) - 50 * (kind & 1);
}

void Window(LONG a, LONG b, LONG extent, LONG* lo, LONG* hi) {
    if (a == 0 && b == 0) {
        *lo = 0;
        *hi = extent;
        return;
    }
    const int64_t low = a < b ? a : b, high = a < b ? b : a;
    *lo = LONG(low < 0 ? 0 : (low > extent ? extent : low));
    *hi = LONG(high < 0 ? 0 : (high > extent ? extent : high));
}

// Keeps width x height within 300 000 pixels (a thin picture may be long).
void LimitPixels(LONG w, LONG* h) {
    if (w > 0 && *h > 0 && int64_t(w) * *h > 300000) *h = LONG(300000 / w);
}

// The store the rule gives for this picture: bottom row first, the window's
// rows counted from the picture's bottom, columns from its left.
std::vector<BYTE> Expected(const std::vector<BYTE>& picture, LONG srcW, LONG srcH, LONG W, LONG H, const LONG crop[4]) {
    const size_t outStride = size_t(CFrameStore::StoreStride(W)), inStride = size_t(CFrameStore::StoreStride(srcW));
    std::vector<BYTE> store(outStride * size_t(H), 0);
    LONG x0, x1, y0, y1;
    Window(crop[0], crop[2], srcW, &x0, &x1);
    Window(crop[1], crop[3], srcH, &y0, &y1);
    const int64_t ww = x1 - x0, wh = y1 - y0;
    if (ww == 0 || wh == 0) return store;
    for (LONG i = 0; i < H; ++i) {
        const int64_t y = (srcH - 1) - (y0 + i * wh / H);
        for (LONG j = 0; j < W; ++j) {
            const int64_t x = x0 + j * ww / W;
            std::memcpy(&store[size_t(i) * outStride + size_t(j) * 3], &picture[size_t(y) * inStride + size_t(x) * 3], 3);
        }
    }
    return store;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    CFrameStore store;
    for (int round = 0; round < 4 && (round == 0 || in.Remaining() > 0); ++round) {
        const LONG W = Side(in);
        LONG H = Side(in);
        LimitPixels(W, &H);
        store.ResizeFrameStore(W, H);
        LONG crop[4];  // left, top, right, bottom
        for (LONG& bound : crop) bound = Bound(in);
        store.SetCropBounds(crop[0], crop[1], crop[2], crop[3]);
        const LONG srcW = Side(in);
        LONG srcH = Side(in);
        LimitPixels(srcW, &srcH);
        const uint8_t seed = in.Byte();

        // The picture exactly as large as its size says, each byte telling its place.
        const LONG inBytes = CFrameStore::StoreBytes(srcW, srcH);
        std::vector<BYTE> picture(static_cast<size_t>(inBytes));
        for (size_t k = 0; k < picture.size(); ++k) picture[k] = BYTE(k * 131 + (k >> 8) * 7 + seed);
        if (!store.OnFrame(picture.empty() ? nullptr : picture.data(), srcW, srcH)) FuzzFail("OnFrame failed");

        const LONG storeBytes = CFrameStore::StoreBytes(W, H);
        std::vector<BYTE> copy(static_cast<size_t>(storeBytes) + 1);
        const LONG copied = store.CopyStore(copy.data(), LONG(copy.size()));
        if (copied != storeBytes) FuzzFail("copied %d bytes of a %d-byte store", int(copied), int(storeBytes));
        if (storeBytes == 0 || inBytes == 0) continue;  // no store, or no picture: nothing to compare
        copy.resize(size_t(storeBytes));
        if (copy != Expected(picture, srcW, srcH, W, H, crop)) {
            FuzzFail("store %dx%d from picture %dx%d, crop %d %d %d %d: wrong pixels", int(W), int(H), int(srcW),
                     int(srcH), int(crop[0]), int(crop[1]), int(crop[2]), int(crop[3]));
        }
    }
    return 0;
}
