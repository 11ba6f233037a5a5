// A picture converter to BGR24 at the source's own size, kept across pictures
// while the source's width, height and pixel format stay the same (FFmpeg's
// own cache never matches for full-range YUV sources and would rebuild it per
// picture). Used only by the capture thread.
#pragma once

#include "camera/FFmpeg.h"

class CScaler {
public:
    CScaler() = default;
    ~CScaler() { Reset(); }
    CScaler(const CScaler&) = delete;
    CScaler& operator=(const CScaler&) = delete;

    // Converts `source` into the BGR24 planes of `target` (same size). False
    // when no converter can be made for the source or nothing was converted.
    bool Convert(const AVFrame* source, AVFrame* target);
    void Reset();

private:
    SwsContext* m_pContext = nullptr;
    int m_iWidth = 0;
    int m_iHeight = 0;
    int m_iFormat = AV_PIX_FMT_NONE;
};
