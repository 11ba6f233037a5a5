// The edit dialog's Test: the camera of the values in the dialog, read in
// this program, before anything is saved (no registry, no module): a camera
// reader whose pictures go into a frame store of the slot's size with its
// crop, as in the slot's own pin, and the reader's status.
//
// Threads: the owner (the dialog's thread) calls every method. The reader's
// Start waits up to kFirstFrameWaitMs for a first picture, so it runs on a
// thread of its own and the window never waits on the network; the capture
// thread writes the store under the store's own lock. Stop always wins, also
// over a start still on its way: it asks the run to end until the starting
// thread has returned (which then takes one poll), then waits for the
// capture thread, which leaves the camera promptly.
#pragma once

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "camera/RTSPCamera.h"
#include "filter/FrameStore.h"
#include "tools/oculo-settings/SlotForm.h"

class CCameraPreview {
public:
    CCameraPreview() = default;
    ~CCameraPreview() { Stop(); }
    CCameraPreview(const CCameraPreview&) = delete;
    CCameraPreview& operator=(const CCameraPreview&) = delete;

    // Starts reading the camera at `values.url` into a store of the slot's
    // size and crop (a run before is stopped first). False when the size is
    // too large to hold.
    bool Start(const SlotValues& values);
    void Stop();
    bool IsRunning() const { return m_pRun != nullptr; }

    // The store's picture (24-bit BGR, bottom row first, rows padded to 4
    // bytes) into *picture; false when there is no run or it has had no
    // picture yet.
    bool CopyPicture(std::vector<BYTE>* picture, LONG* width, LONG* height);
    // The camera's status; a stopped camera when there is no run.
    void GetStatus(OCULO_STATUS* status);

private:
    // Its size is set before the reader starts (the store's contract).
    class CStore : public CFrameStore {
    public:
        LONG Width() const { return m_iStoreWidth; }
        LONG Height() const { return m_iStoreHeight; }
    };
    // One run: its store and the reader that fills it, which goes first.
    struct Run {
        CStore store;
        CRTSPCamera camera{&store};
        std::atomic<bool> bStartReturned{false};  // set by the starting thread
    };
    std::unique_ptr<Run> m_pRun;  // null: no run
    std::thread m_starter;        // runs the reader's Start
};
