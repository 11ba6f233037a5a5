#include "filter/FrameStore.h"

#include <cstring>
#include <new>

namespace {

constexpr int64_t kMaxStoreBytes = 0x7FFFFFE0;  // the rounded size still fits a LONG
constexpr size_t kStoreAlignment = 32;

int64_t PaddedRow(int64_t width) {
    return (width * 3 + 3) & ~int64_t(3);
}

// The window [lo, hi) of one axis: both bounds zero is the whole extent;
// otherwise the ordered bounds, each clamped to 0 ... extent.
void Window(LONG a, LONG b, LONG extent, LONG* lo, LONG* hi) {
    if (a == 0 && b == 0) {
        *lo = 0;
        *hi = extent;
        return;
    }
    LONG low = a < b ? a : b;
    LONG high = a < b ? b : a;
    *lo = low < 0 ? 0 : (low > extent ? extent : low);
    *hi = high < 0 ? 0 : (high > extent ? extent : high);
}

uint32_t Load32(const BYTE* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

void Store32(BYTE* p, uint32_t v) {
    std::memcpy(p, &v, 4);
}

// Samples one store row. The first `wordColumns` columns may be read as whole
// words (the byte after each pixel is inside the source row); four such pixels
// are packed into three words (little-endian byte order). The rest go by bytes.
void CopyColumns(BYTE* out, const BYTE* in, const LONG* offsets, LONG wordColumns, LONG W) {
    LONG j = 0;
    for (; j + 4 <= wordColumns; j += 4, out += 12) {
        const uint32_t p0 = Load32(in + offsets[j]);
        const uint32_t p1 = Load32(in + offsets[j + 1]);
        const uint32_t p2 = Load32(in + offsets[j + 2]);
        const uint32_t p3 = Load32(in + offsets[j + 3]);
        Store32(out, (p0 & 0xFFFFFFu) | (p1 << 24));
        Store32(out + 4, ((p1 >> 8) & 0xFFFFu) | (p2 << 16));
        Store32(out + 8, ((p2 >> 16) & 0xFFu) | (p3 << 8));
    }
    for (; j < W; ++j, out += 3) std::memcpy(out, in + offsets[j], 3);
}

// The same for a whole-number scale: a fixed step of `step` bytes per column.
void CopyColumnsStep(BYTE* out, const BYTE* in, LONG step, LONG wordColumns, LONG W) {
    LONG j = 0;
    for (; j + 4 <= wordColumns; j += 4, out += 12, in += 4 * step) {
        const uint32_t p0 = Load32(in);
        const uint32_t p1 = Load32(in + step);
        const uint32_t p2 = Load32(in + 2 * step);
        const uint32_t p3 = Load32(in + 3 * step);
        Store32(out, (p0 & 0xFFFFFFu) | (p1 << 24));
        Store32(out + 4, ((p1 >> 8) & 0xFFFFu) | (p2 << 16));
        Store32(out + 8, ((p2 >> 16) & 0xFFu) | (p3 << 8));
    }
    for (; j < W; ++j, out += 3, in += step) std::memcpy(out, in, 3);
}

}  // namespace

CFrameStore::~CFrameStore() {
    _aligned_free(m_pFrameStore);
    delete[] m_pColumnOffsets;
}

LONG CFrameStore::StoreStride(LONG width) {
    if (width <= 0 || PaddedRow(width) > kMaxStoreBytes) return 0;
    return LONG(PaddedRow(width));
}

LONG CFrameStore::StoreBytes(LONG width, LONG height) {
    if (width <= 0 || height <= 0) return 0;
    const int64_t bytes = PaddedRow(width) * int64_t(height);
    return bytes > kMaxStoreBytes ? 0 : LONG(bytes);
}

void CFrameStore::ResizeFrameStore(LONG width, LONG height) {
    if (m_pFrameStore && width == m_iStoreWidth && height == m_iStoreHeight) return;
    _aligned_free(m_pFrameStore);
    m_pFrameStore = nullptr;
    delete[] m_pColumnOffsets;
    m_pColumnOffsets = nullptr;
    m_iStoreWidth = width;
    m_iStoreHeight = height;

    const LONG bytes = StoreBytes(width, height);
    if (bytes == 0) return;
    m_pColumnOffsets = new (std::nothrow) LONG[size_t(width)];
    BYTE* store = static_cast<BYTE*>(_aligned_malloc((size_t(bytes) + 31) & ~size_t(31), kStoreAlignment));
    if (!m_pColumnOffsets || !store) {
        _aligned_free(store);
        delete[] m_pColumnOffsets;
        m_pColumnOffsets = nullptr;
        return;
    }
    m_pFrameStore = store;
    // Applications show the first samples: black, not old heap contents.
    FillBlack();
}

void CFrameStore::SetCropBounds(LONG left, LONG top, LONG right, LONG bottom) {
    m_iCropLeft = left;
    m_iCropTop = top;
    m_iCropRight = right;
    m_iCropBottom = bottom;
}

void CFrameStore::FillBlack() {
    std::memset(m_pFrameStore, 0, size_t(StoreBytes(m_iStoreWidth, m_iStoreHeight)));
}

LONG CFrameStore::CopyStore(BYTE* target, LONG targetBytes) {
    CAutoLock hold(&m_cFrameLock);
    const LONG bytes = StoreBytes(m_iStoreWidth, m_iStoreHeight);
    if (!m_pFrameStore || !target || bytes == 0 || targetBytes < bytes) return 0;
    std::memcpy(target, m_pFrameStore, size_t(bytes));
    return bytes;
}

bool CFrameStore::OnFrame(const BYTE* pixels, LONG srcW, LONG srcH) {
    CAutoLock hold(&m_cFrameLock);
    if (!m_pFrameStore || !pixels || srcW <= 0 || srcH <= 0) return true;
    const LONG inStride = StoreStride(srcW);
    if (inStride == 0 || int64_t(inStride) * srcH > kMaxStoreBytes) return true;
    const LONG W = m_iStoreWidth;
    const LONG H = m_iStoreHeight;
    const size_t outStride = size_t(StoreStride(W));

    LONG x0, x1, y0, y1;
    Window(m_iCropTop, m_iCropBottom, srcH, &y0, &y1);
    Window(m_iCropLeft, m_iCropRight, srcW, &x0, &x1);
    const LONG ww = x1 - x0;
    const LONG wh = y1 - y0;
    if (ww == 0 || wh == 0) {
        FillBlack();
        return true;
    }

    // Column table, once per picture; the offsets never decrease, so the
    // columns whose 4-byte read stays inside the source row form a prefix.
    const bool bWholeRows = ww == W;
    LONG wordColumns = 0;
    if (!bWholeRows) {
        for (LONG j = 0; j < W; ++j) {
            m_pColumnOffsets[j] = LONG((x0 + int64_t(j) * ww / W) * 3);
            if (m_pColumnOffsets[j] + 4 <= inStride) wordColumns = j + 1;
        }
    }

    // A whole-number shrink samples at a fixed step: no table reads per pixel.
    const LONG step = !bWholeRows && ww % W == 0 ? (ww / W) * 3 : 0;
    const size_t rowBytes = size_t(W) * 3;
    LONG previousY = -1;
    for (LONG i = 0; i < H; ++i) {
        const LONG y = (srcH - 1) - LONG(y0 + int64_t(i) * wh / H);
        BYTE* out = m_pFrameStore + size_t(i) * outStride;
        if (y == previousY) {  // stretched vertically: same source row as the row below
            std::memcpy(out, out - outStride, rowBytes);
            continue;
        }
        previousY = y;
        const BYTE* in = pixels + size_t(y) * size_t(inStride);
        if (bWholeRows) {
            std::memcpy(out, in + size_t(x0) * 3, rowBytes);
            continue;
        }
        if (step > 0) {
            CopyColumnsStep(out, in + m_pColumnOffsets[0], step, wordColumns, W);
        } else {
            CopyColumns(out, in, m_pColumnOffsets, wordColumns, W);
        }
    }
    return true;
}
