// The output pin's frame store: the one current picture, already cropped and
// scaled to the output size, 24-bit BGR, bottom row first, rows padded to 4
// bytes. The camera reader's capture thread writes it through OnFrame; the
// pin's worker thread copies it out under the same frame lock.
//
// Threads: ResizeFrameStore runs on the host's thread, takes no lock and
// REQUIRES that no picture arrives meanwhile (construction; a format change
// of the same size, which keeps the store, while the camera is stopped).
// SetCropBounds runs on the host's thread, OnFrame on the capture thread,
// CopyStore on the worker thread; these three take m_cFrameLock. The picture
// count and time are atomic: any thread reads them without the lock.
// Lock order: nothing else is taken under m_cFrameLock. In particular the
// reader is never started or stopped under it: that waits for the capture
// thread, which may be waiting in OnFrame for the lock.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "camera/IPCameraCallback.h"
#include "media/CritSec.h"
#include "platform/platform.h"

class CFrameStore : public CIPCameraCallback {
public:
    CFrameStore() = default;
    virtual ~CFrameStore();
    CFrameStore(const CFrameStore&) = delete;
    CFrameStore& operator=(const CFrameStore&) = delete;

    // (Re)allocates the store, black, unless it already has this size. A
    // non-positive or unallocatable size leaves no store (m_pFrameStore null).
    // The lock checks cannot see that no picture arrives: they leave it out.
    void ResizeFrameStore(LONG width, LONG height) NO_THREAD_SAFETY_ANALYSIS;
    // The slot's crop bounds: columns from the left edge, rows from the bottom.
    void SetCropBounds(LONG left, LONG top, LONG right, LONG bottom);
    // Crops and scales one camera picture into the store (nearest neighbour).
    bool OnFrame(const BYTE* pixels, LONG width, LONG height) override;
    // Copies the store into `target` under the frame lock; returns the bytes
    // copied: the store's size, or 0 when there is no store or it does not fit.
    LONG CopyStore(BYTE* target, LONG targetBytes);

    // Whether the store exists (its size is usable and it was allocated).
    bool HasStore() const { return m_pFrameStore != nullptr; }
    LONG StoreWidth() const { return m_iStoreWidth; }
    LONG StoreHeight() const { return m_iStoreHeight; }
    // How many camera pictures OnFrame has put into the store, and when the
    // last one came (ExtendedTickCount milliseconds; 0 before the first). A
    // reader that sees a count also sees the time of that picture or a later one.
    uint32_t PictureCount() const { return m_cPictures.load(std::memory_order_acquire); }
    uint64_t LastPictureMs() const { return m_ullLastPictureMs.load(std::memory_order_acquire); }

    // The image size of this store: StoreBytes of its width and height.
    LONG ImageBytes() const { return StoreBytes(m_iStoreWidth, m_iStoreHeight); }
    // Row stride and image size of a store of this width and height (0 when
    // not positive or too large).
    static LONG StoreStride(LONG width);
    static LONG StoreBytes(LONG width, LONG height);

protected:
    struct AlignedFree {
        void operator()(BYTE* p) const { _aligned_free(p); }
    };

    CCritSec m_cFrameLock;          // guards the store's contents
    // _aligned_malloc, 32-byte aligned; null: no store.
    std::unique_ptr<BYTE, AlignedFree> m_pFrameStore PT_GUARDED_BY(m_cFrameLock);
    LONG m_iStoreWidth = 0;
    LONG m_iStoreHeight = 0;

private:
    void FillBlack() REQUIRES(m_cFrameLock);
    // Records a picture that came at `now`, once it is in the store.
    void CountPicture(uint64_t now) REQUIRES(m_cFrameLock);

    LONG m_iCropLeft GUARDED_BY(m_cFrameLock) = 0;
    LONG m_iCropTop GUARDED_BY(m_cFrameLock) = 0;
    LONG m_iCropRight GUARDED_BY(m_cFrameLock) = 0;
    LONG m_iCropBottom GUARDED_BY(m_cFrameLock) = 0;
    // Per-picture table: source byte offset within a row for each store
    // column (m_iStoreWidth entries).
    std::unique_ptr<LONG[]> m_pColumnOffsets GUARDED_BY(m_cFrameLock);
    // Written by OnFrame under the lock, once the picture is in the store.
    std::atomic<uint64_t> m_ullLastPictureMs{0};
    std::atomic<uint32_t> m_cPictures{0};
};
