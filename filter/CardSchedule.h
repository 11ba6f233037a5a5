// CCardSchedule: when a stream's samples show the slot's status card
// (filter/StatusCard.h) instead of its frame store's picture: until a run's
// first picture, and whenever none has come for more than
// kCardAfterSilenceMs, unless the slot's "status" setting switched the card
// off. The store's picture goes on being updated meanwhile; the next picture
// ends the card. Any stream that runs a camera reader into a frame store can
// hold one.
//
// Threads: BeginRun from the thread that starts a run (it may be another
// than the sender's); CardIfDue from the one thread that sends samples,
// which owns the card. No lock of its own: the store's figures are atomic,
// and the camera's status is read through its own lock.
#pragma once

#include <atomic>
#include <cstdint>

#include "filter/StatusCard.h"

class CFrameStore;
class CIPCameraBase;

class CCardSchedule {
public:
    // bShow: the slot's "status" setting; name and url as CStatusCard takes them.
    CCardSchedule(bool bShow, LPCWSTR name, LPCWSTR url);

    // A run begins: the card shows until the store's next picture.
    void BeginRun(const CFrameStore& store);
    // The card when a sample shows it now, the store's size; null when the
    // store's picture is to be shown (not due, switched off, or no memory
    // for the card). pCamera: the reader whose status the card tells; null
    // before there is one (a stopped camera). Valid until the next call.
    const BYTE* CardIfDue(CFrameStore& store, CIPCameraBase* pCamera);
    // How many times the card was drawn (CStatusCard::Draws); the sender's.
    uint32_t Draws() const { return m_card.Draws(); }

private:
    const bool m_bShow;
    std::atomic<uint32_t> m_cPicturesAtRunStart{0};  // the store's picture count when the run began
    CStatusCard m_card;                              // the sender's
};
