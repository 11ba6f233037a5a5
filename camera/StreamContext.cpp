#include "camera/StreamContext.h"

#include <cstring>

namespace {

void PutLE(BYTE* at, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) at[i] = BYTE(value >> (8 * i));
}

}  // namespace

StreamContext::~StreamContext() {
    scaler.Reset();
    avcodec_free_context(&codecContext);
    av_frame_free(&decodedFrame);
    av_frame_free(&convertedFrame);
    CloseInput();
    av_freep(&imageBuffer);
}

void StreamContext::CloseInput() {
    avformat_close_input(&formatContext);
    avio_closep(&io);  // a connection of the reader's own outlives the input
    av_dict_free(&options);
}

bool StreamContext::AllocateImage(int pictureWidth, int pictureHeight) {
    // Any earlier picture's target goes first: a failure leaves none.
    av_freep(&imageBuffer);
    bitmapInfo = pixels = nullptr;
    pictureBytes = 0;
    width = height = 0;
    if (pictureWidth <= 0 || pictureHeight <= 0 || !convertedFrame) return false;
    const int bytes = av_image_get_buffer_size(AV_PIX_FMT_BGR24, pictureWidth, pictureHeight, 4);
    if (bytes <= 0 || bytes > INT32_MAX - kBitmapHeaderBytes) return false;
    imageBuffer = static_cast<BYTE*>(av_mallocz(size_t(bytes) + kBitmapHeaderBytes));
    if (!imageBuffer) return false;
    pictureBytes = bytes;
    width = pictureWidth;
    height = pictureHeight;
    bitmapInfo = imageBuffer + 14;
    pixels = bitmapInfo + 40;

    imageBuffer[0] = 'B';
    imageBuffer[1] = 'M';
    PutLE(imageBuffer + 2, uint32_t(bytes) + kBitmapHeaderBytes, 4);
    PutLE(imageBuffer + 10, kBitmapHeaderBytes, 4);
    PutLE(bitmapInfo + 0, 40, 4);
    PutLE(bitmapInfo + 4, uint32_t(pictureWidth), 4);
    PutLE(bitmapInfo + 8, uint32_t(pictureHeight), 4);
    PutLE(bitmapInfo + 12, 1, 2);
    PutLE(bitmapInfo + 14, 24, 2);

    const int filled = av_image_fill_arrays(convertedFrame->data, convertedFrame->linesize, pixels,
                                            AV_PIX_FMT_BGR24, pictureWidth, pictureHeight, 4);
    return filled == bytes;
}
