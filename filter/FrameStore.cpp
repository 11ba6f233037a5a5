#include "filter/FrameStore.h"

#include <cstring>
#include <new>
#include <utility>

#include "camera/ExtendedTickCount.h"

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

// Source byte offsets of store columns: from the per-picture table, or a fixed
// step for a whole-number shrink (no table reads in the inner loop).
struct TableColumns {
    const LONG* offsets;
    LONG operator()(LONG j) const { return offsets[j]; }
};
struct StepColumns {
    LONG first;
    LONG step;
    LONG operator()(LONG j) const { return first + j * step; }
};

// Columns taken per turn of the inner loop; each turn also asks for the same
// place in the next source row (the rows are far apart, so the hardware's own
// prefetch starts cold on each of them), about one request per cache line.
constexpr LONG kColumnsPerTurn = 4;

// Samples one store row of W pixels from source row `in`. Each pixel is moved
// as one 4-byte word written at its own place, so the fourth byte spills into
// the next pixel, which overwrites it: one load and one store per pixel. That
// needs the source word inside the source row (the first `wordColumns`
// columns) and a next pixel in the store row (all but the last); the rest go
// by bytes, so neither the row's padding nor the next row is written.
// `next`, when set, is the start of the source row the following store row
// reads: it is fetched while this one is copied.
template <class Columns>
void SampleRow(BYTE* out, const BYTE* in, Columns column, LONG wordColumns, LONG W, const BYTE* next) {
    const LONG words = wordColumns < W - 1 ? wordColumns : W - 1;
    LONG j = 0;
    for (; j + kColumnsPerTurn <= words; j += kColumnsPerTurn, out += 3 * kColumnsPerTurn) {
        if (next) __builtin_prefetch(next + column(j));
        Store32(out, Load32(in + column(j)));
        Store32(out + 3, Load32(in + column(j + 1)));
        Store32(out + 6, Load32(in + column(j + 2)));
        Store32(out + 9, Load32(in + column(j + 3)));
    }
    for (; j < words; ++j, out += 3) Store32(out, Load32(in + column(j)));
    for (; j < W; ++j, out += 3) std::memcpy(out, in + column(j), 3);
}

}  // namespace

CFrameStore::~CFrameStore() = default;

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
    m_pFrameStore.reset();
    m_pColumnOffsets.reset();
    m_iStoreWidth = width;
    m_iStoreHeight = height;

    const LONG bytes = StoreBytes(width, height);
    if (bytes == 0) return;
    std::unique_ptr<LONG[]> offsets(new (std::nothrow) LONG[size_t(width)]);
    std::unique_ptr<BYTE, AlignedFree> store(
        static_cast<BYTE*>(_aligned_malloc((size_t(bytes) + 31) & ~size_t(31), kStoreAlignment)));
    if (!offsets || !store) return;
    m_pColumnOffsets = std::move(offsets);
    m_pFrameStore = std::move(store);
    // Applications show the first samples: black, not old heap contents.
    FillBlack();
}

void CFrameStore::SetCropBounds(LONG left, LONG top, LONG right, LONG bottom) {
    CAutoLock hold(&m_cFrameLock);
    m_iCropLeft = left;
    m_iCropTop = top;
    m_iCropRight = right;
    m_iCropBottom = bottom;
}

void CFrameStore::FillBlack() {
    std::memset(m_pFrameStore.get(), 0, size_t(StoreBytes(m_iStoreWidth, m_iStoreHeight)));
}

LONG CFrameStore::CopyStore(BYTE* target, LONG targetBytes) {
    CAutoLock hold(&m_cFrameLock);
    const LONG bytes = StoreBytes(m_iStoreWidth, m_iStoreHeight);
    if (!m_pFrameStore || !target || bytes == 0 || targetBytes < bytes) return 0;
    std::memcpy(target, m_pFrameStore.get(), size_t(bytes));
    return bytes;
}

void CFrameStore::CountPicture(uint64_t now) {
    m_ullLastPictureMs.store(now, std::memory_order_release);
    m_cPictures.fetch_add(1, std::memory_order_acq_rel);
}

bool CFrameStore::OnFrame(const BYTE* pixels, LONG srcW, LONG srcH) {
    // The clock's lock is taken before the frame lock, never under it.
    const uint64_t now = ExtendedTickCount();
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
        CountPicture(now);
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
    const LONG step = !bWholeRows && ww % W == 0 ? (ww / W) * 3 : 0;
    const TableColumns table{m_pColumnOffsets.get()};
    const StepColumns fixed{x0 * 3, step};

    const size_t rowBytes = size_t(W) * 3;
    auto sourceRow = [&](LONG i) { return (srcH - 1) - LONG(y0 + int64_t(i) * wh / H); };
    LONG previousY = -1;
    for (LONG i = 0; i < H; ++i) {
        const LONG y = sourceRow(i);
        BYTE* out = m_pFrameStore.get() + size_t(i) * outStride;
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
        const LONG nextY = i + 1 < H ? sourceRow(i + 1) : y;
        const BYTE* next = nextY != y ? pixels + size_t(nextY) * size_t(inStride) : nullptr;
        if (step > 0) {
            SampleRow(out, in, fixed, wordColumns, W, next);
        } else {
            SampleRow(out, in, table, wordColumns, W, next);
        }
    }
    CountPicture(now);
    return true;
}
