// The camera reader interface that the output pin drives.
#pragma once

#include <cstdint>

#include "platform/platform.h"
#include "status/StatusText.h"

// Owner's order: Start(address) to get pictures flowing (unless IsOpen() and
// IsRunning() both hold), Stop() then Close() to end, destroy only after Stop().
// RequestStop() asks a run to end without waiting for it; Start, Stop and the
// destructor then wait for what is left of it. All of these are called on the
// owner's thread.
class CIPCameraBase {
public:
    virtual ~CIPCameraBase() = default;

    virtual void Close() = 0;
    virtual bool IsOpen() = 0;
    virtual bool IsRunning() = 0;
    // Null address: keep the address already held.
    virtual bool Start(LPCWSTR address) = 0;
    virtual void Stop() = 0;
    // The run ends by itself soon; until then pictures may still arrive.
    // IsRunning() is false from here on.
    virtual void RequestStop() = 0;
    virtual LPCWSTR GetImageFormat() { return L"bmp"; }
    // Milliseconds on the ExtendedTickCount clock.
    virtual uint64_t GetLastFrameTime() = 0;
    virtual int64_t GetTimeSinceLastFrame() = 0;
    // What the camera is doing, from any thread, without waiting on the
    // network. Fills the first cbSize bytes (at most sizeof(OCULO_STATUS)); a
    // reader that keeps no status reports a stopped camera.
    virtual void GetStatus(OCULO_STATUS* pStatus) { CopyStatusCut(StoppedCameraStatus(), pStatus); }
};
