// Reading the 64-bit code that the test camera (mjpeg_server.py --code) draws
// into the top of each picture: 64 black/white 8x8 blocks in rows 0-7, most
// significant bit left, and their complement in rows 8-15. Each block is read
// at its centre, so the code survives JPEG and nearest-neighbour scaling; the
// complement row tells a code from any other picture (black, a cut one).
#pragma once

#include <time.h>

#include <cstdint>

constexpr int kCodeBlock = 8;
constexpr int kCodeBits = 64;
constexpr uint64_t kCodeTimeMask = (uint64_t(1) << 48) - 1;

// The camera's send time (low 48 bits, microseconds) and its picture number
// on the connection (high 16 bits).
inline uint64_t CodeTimeUs(uint64_t code) { return code & kCodeTimeMask; }
inline unsigned CodeNumber(uint64_t code) { return unsigned(code >> 48); }

inline uint64_t MonotonicUs() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return uint64_t(ts.tv_sec) * 1000000 + uint64_t(ts.tv_nsec) / 1000;
}

// Microseconds from a code's send time to now, on the same 48-bit clock.
inline int64_t CodeAgeUs(uint64_t code, uint64_t nowUs) {
    return int64_t((nowUs - CodeTimeUs(code)) & kCodeTimeMask);
}

// A picture as the reader sees it: `brightness(x, y)` (0-255) at a pixel of
// the picture, which is `width` x `height`; the camera's picture was
// `cameraWidth` x `cameraHeight` (scaled by nearest neighbour to the former).
// False when the picture carries no whole code.
template <typename Brightness>
bool ReadBlockCode(Brightness brightness, int width, int height, int cameraWidth, int cameraHeight,
                   uint64_t* code) {
    if (width <= 0 || height <= 0 || cameraWidth < kCodeBits * kCodeBlock || cameraHeight < 2 * kCodeBlock) {
        return false;
    }
    uint64_t rows[2] = {0, 0};
    for (int row = 0; row < 2; ++row) {
        const int y = int(int64_t(row * kCodeBlock + kCodeBlock / 2) * height / cameraHeight);
        for (int bit = 0; bit < kCodeBits; ++bit) {
            const int x = int(int64_t(bit * kCodeBlock + kCodeBlock / 2) * width / cameraWidth);
            rows[row] = (rows[row] << 1) | (brightness(x, y) >= 128 ? 1u : 0u);
        }
    }
    if (rows[1] != ~rows[0]) return false;
    *code = rows[0];
    return true;
}

// Packed 24-bit pixels (BGR or RGB: the blocks are grey), `stride` bytes a
// row; bottomUp for a DIB (the last row in memory is the picture's top).
inline bool ReadBlockCode24(const unsigned char* data, int width, int height, int stride, bool bottomUp,
                            int cameraWidth, int cameraHeight, uint64_t* code) {
    auto brightness = [&](int x, int y) {
        const unsigned char* p = data + int64_t(bottomUp ? height - 1 - y : y) * stride + 3 * x;
        return (p[0] + p[1] + p[2]) / 3;
    };
    return ReadBlockCode(brightness, width, height, cameraWidth, cameraHeight, code);
}
