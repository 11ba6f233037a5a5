// The FFmpeg objects of one open camera stream, and the bitmap-file image that
// receives each converted picture. Owned by CRTSPCamera; used by one thread at
// a time (the capture thread during a run, the owner after Stop).
#pragma once

#include "camera/FFmpeg.h"
#include "camera/Scaler.h"
#include "platform/platform.h"

// Size of the bitmap file header plus the information header in imageBuffer.
constexpr int kBitmapHeaderBytes = 54;

struct StreamContext {
    StreamContext() = default;
    ~StreamContext();  // the teardown: frees everything that exists
    StreamContext(const StreamContext&) = delete;
    StreamContext& operator=(const StreamContext&) = delete;

    // Closes the input, its own connection and its options, so that the
    // input can be opened again (another address of the camera).
    void CloseInput();

    // Sizes imageBuffer for a BGR24 picture of width x height with rows padded
    // to 4 bytes, writes its header and points convertedFrame at the pixels.
    // Replaces any earlier target; on failure none is left (width 0).
    bool AllocateImage(int width, int height);

    AVDictionary* options = nullptr;           // after opening: the options the input did not take
    AVCodecContext* codecContext = nullptr;    // owned: our own decoding context
    AVFormatContext* formatContext = nullptr;  // owned: the open input
    AVIOContext* io = nullptr;                 // owned when the reader opened the input's connection itself
    const AVCodec* decoder = nullptr;          // borrowed
    AVFrame* decodedFrame = nullptr;           // owned
    AVFrame* convertedFrame = nullptr;         // owned; its planes point into imageBuffer
    int videoStreamIndex = -1;
    BYTE* imageBuffer = nullptr;  // owned (av_malloc): header, then pixels
    BYTE* bitmapInfo = nullptr;   // imageBuffer + 14
    BYTE* pixels = nullptr;       // imageBuffer + 54
    LONG pictureBytes = 0;
    // The size of the conversion target: the probe's from Open, then each
    // decoded picture's (0 while there is no target).
    int width = 0;
    int height = 0;
    CScaler scaler;
};
