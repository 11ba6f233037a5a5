// CPictureFeed: one slot's pictures for its media source, made of the pin's
// own parts: the same camera reader (camera/RTSPCamera.h) into the same frame
// store (the slot's size and crop), and the same schedule of the slot's status
// card, before a run's first picture and after silence (filter/CardSchedule.h).
// The picture to send is converted to the stream's format once per new
// picture (or card drawing) and kept for the samples that follow.
//
// Threads: Start and Stop from the source's callers, one at a time
// (m_control); Picture from the one thread that sends samples (the pacer's),
// one call at a time; the reader's capture thread writes the store. The
// reader's start waits for a first picture (up to kFirstFrameWaitMs), so it
// runs on a starter thread of its own: Start returns at once and the card
// shows meanwhile.
#pragma once

#include <atomic>
#include <memory>
#include <string>

#include "camera/RTSPCamera.h"
#include "filter/FrameStore.h"
#include "filter/CardSchedule.h"
#include "mfsource/PictureConverter.h"
#include "module/InstanceSettings.h"
#include "platform/Handle.h"
#include "platform/Mutex.h"

class CPictureFeed {
public:
    // The slot's address, size, crop, name and card switch; connects nothing.
    explicit CPictureFeed(const InstanceSettings& settings);
    // Ends the run and waits for it.
    ~CPictureFeed();
    CPictureFeed(const CPictureFeed&) = delete;
    CPictureFeed& operator=(const CPictureFeed&) = delete;

    // Starts the reader on the slot's address; nothing while a run is on.
    // False when the starter thread cannot be made.
    bool Start() EXCLUDES(m_control);
    // Asks the run to end. Bounded: it waits for the starter thread, whose
    // wait for a first picture a stop ends (a start that had not yet begun
    // runs to the end of that wait); the capture thread ends by itself and
    // the next Start, or the destructor, waits for what is left of it.
    void Stop() EXCLUDES(m_control);

    // The picture to send now in `format` (FormattedBytes of the slot's size
    // into *cbPicture): the card when it is due, else the store's latest.
    // Null when there is no such picture (a size the format cannot take) or
    // no memory for it. Valid until the next call.
    const BYTE* Picture(PictureFormat format, size_t* cbPicture);

private:
    enum class Shown { kNothing, kStore, kCard };

    // A buffer of `bytes`: kept when it has that size, else made anew (null
    // when there is no memory).
    struct Buffer {
        std::unique_ptr<BYTE[]> data;
        size_t bytes = 0;
        bool Fit(size_t size);
    };

    // The reader, whose status calls a run that is starting "connecting":
    // its own says "stopped" until its capture thread begins, which the
    // starter thread may not have reached by the first sample.
    class CFeedCamera : public CRTSPCamera {
    public:
        using CRTSPCamera::CRTSPCamera;
        void GetStatus(OCULO_STATUS* status) override;
        std::atomic<bool> m_bRunOn{false};  // from Start to Stop
    };

    static DWORD WINAPI StarterProc(LPVOID parameter);
    void JoinStarter() REQUIRES(m_control);

    const std::wstring m_url;

    CFrameStore m_store;
    CFeedCamera m_camera{&m_store};  // after the store: it goes first

    CMutex m_control;
    CHandle m_hStarter GUARDED_BY(m_control);
    bool m_bRunning GUARDED_BY(m_control) = false;

    // A run begins with Start; the rest is the sending thread's.
    CCardSchedule m_card;
    Buffer m_storeCopy;
    Buffer m_converted;
    Shown m_shown = Shown::kNothing;
    PictureFormat m_convertedFormat = PictureFormat::kNv12;
    uint32_t m_cShownVersion = 0;  // the store's picture count, or the card's draws, converted
};
