// The status card: what a slot's samples show, instead of black or a frozen
// picture, from a run's start until its first camera picture and whenever no
// picture has come for more than kCardAfterSilenceMs. It names the slot and
// the camera's host and port (never the login, path or query, where cameras
// take passwords: everyone who sees the video would see them), says what the
// camera is doing and why, how long ago the last picture came, and the time
// of day, so that a viewer sees the card itself is live. The last picture,
// when there was one, shows dimmed behind it: a frozen scene is never taken
// for a live one.
//
// Drawn with the module's own font (filter/CardFont.h), scaled by a whole
// number to the image; at the smallest sizes only the state, the time and
// what else fits. A 1920x1080 card costs a copy and a pass over the image,
// and is drawn at most once a second, or when the state changes.
//
// Threads: DescribeStatus and DrawStatusCard are pure. A CStatusCard belongs
// to one thread (the pin's worker); it takes the frame store's lock only
// through CFrameStore::CopyStore, and no lock of its own.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/platform.h"
// After the platform: the status header needs its COM types.
#include "include/OculoStatus.h"

class CFrameStore;

// Shorter gaps between pictures keep repeating the last one.
constexpr uint64_t kCardAfterSilenceMs = 5000;

// What the card is made from.
struct StatusCardFacts {
    OCULO_STATUS status;      // the camera reader's (GetStatus)
    bool bPictureThisRun;     // a picture came since the run started
    uint32_t cPictures;       // the frame store's picture count (0: it holds none)
    uint64_t msSincePicture;  // OCULO_NO_PICTURE_YET when the store holds none
    SYSTEMTIME now;           // the local time
};

// What the card says.
struct StatusCardText {
    std::wstring state;        // "Login refused"
    std::wstring shortState;   // the state in at most 13 characters
    DWORD colour;              // the state's colour, 0xRRGGBB
    std::wstring name;         // the slot's name
    std::wstring address;      // the camera's host and port
    std::wstring reason;       // why the last attempt failed; may be empty
    std::wstring lastPicture;  // "Last picture 12 s ago", "No picture yet"
    std::wstring time;         // "14:03:27"
};

// The words for these facts; `address` as CameraHostAndPort gives it
// (text/CameraAddress.h).
StatusCardText DescribeStatus(const StatusCardFacts& facts, const std::wstring& name,
                              const std::wstring& address);

// Draws the card into `image`, a bottom-up 24-bit BGR image of width x height
// with rows padded to 4 bytes (the frame store's layout). With bPicture the
// image holds the picture to show dimmed behind the card; otherwise it is
// filled with the card's background. Writes no byte outside the rows' pixels,
// at any size.
void DrawStatusCard(BYTE* image, LONG width, LONG height, bool bPicture, const StatusCardText& text);

// One slot's card, kept between samples and drawn afresh only when what it
// shows changes: the state or its reason, the second of the clock, or the
// store's picture.
class CStatusCard {
public:
    // name: the slot's name; url: the camera's address (shown as CameraHostAndPort gives it).
    CStatusCard(LPCWSTR name, LPCWSTR url);
    ~CStatusCard();
    CStatusCard(const CStatusCard&) = delete;
    CStatusCard& operator=(const CStatusCard&) = delete;

    // The card for these facts over the store's current picture, the store's
    // size; null when the store has no size or the card no memory.
    const BYTE* Compose(CFrameStore& store, const StatusCardFacts& facts);
    // How many times the card was drawn: a caller that keeps a conversion
    // of it sees when to make it again.
    uint32_t Draws() const { return m_cDraws; }

private:
    const std::wstring m_name;
    const std::wstring m_address;
    std::unique_ptr<BYTE[]> m_pImage;  // made on first use
    bool m_bDrawn = false;
    StatusCardText m_drawn;         // what the image shows
    uint32_t m_cDrawnPictures = 0;  // the store's picture count behind it
    uint32_t m_cDraws = 0;
};
