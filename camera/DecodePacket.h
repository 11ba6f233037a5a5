// One decoding step: sends `packet` (null: none) and takes at most one picture.
#pragma once

#include "camera/FFmpeg.h"

// Returns 0, or a negative FFmpeg error code; `gotPicture` tells whether
// `frame` holds a picture. A picture the decoder holds back comes out on a
// later call.
int DecodePacket(AVCodecContext* context, AVFrame* frame, bool* gotPicture, const AVPacket* packet);
