// The media types of a slot's stream: NV12 first (what the camera service and
// most applications take), then RGB32 (top row first, as Media Foundation lays
// RGB out), each at its format's size for the slot (PictureConverter.h) and
// at the slot's frame rate; progressive, square pixels, fixed-size samples.
// A format no picture of the slot's size fits is left out.
#pragma once

#include "mfsource/MFPlat.h"
#include "mfsource/PictureConverter.h"
#include "platform/ComRef.h"

struct StreamTypes {
    static const DWORD kMaxTypes = 2;
    CComRef<IMFMediaType> types[kMaxTypes];
    PictureFormat formats[kMaxTypes] = {};
    DWORD count = 0;
};

// The types for a slot of width x height with frames of frameDuration (100 ns).
// MF_E_INVALIDMEDIATYPE when no format fits the size.
HRESULT CreateStreamTypes(const MFPlatFunctions& mf, LONG width, LONG height, LONGLONG frameDuration,
                          StreamTypes* streamTypes);
// The format of the offered type `type` matches (subtype and frame size); false for any other type.
bool FindStreamFormat(const StreamTypes& streamTypes, IMFMediaType* type, PictureFormat* format);
