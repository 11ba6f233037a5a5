// The receiver of a camera reader's pictures (the output pin's frame store).
#pragma once

#include "platform/platform.h"

// Called on the reader's capture thread, synchronously, once per converted
// picture. The pixels are 24-bit BGR, top row first, each row 3 x width bytes
// rounded up to a multiple of 4, at the decoder's own size. They belong to the
// reader and are valid only during the call. The reader holds no lock of its
// own during the call and ignores the result.
class CIPCameraCallback {
public:
    virtual bool OnFrame(const BYTE* pixels, LONG width, LONG height) { return false; }

protected:
    ~CIPCameraCallback() = default;
};
