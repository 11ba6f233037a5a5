#include "camera/Scaler.h"

namespace {
constexpr int kScalerFlags = SWS_BICUBIC;
}

bool CScaler::Convert(const AVFrame* source, AVFrame* target) {
    if (!m_pContext || source->width != m_iWidth || source->height != m_iHeight ||
        source->format != m_iFormat) {
        Reset();
        m_pContext =
            sws_getContext(source->width, source->height, AVPixelFormat(source->format), source->width,
                           source->height, AV_PIX_FMT_BGR24, kScalerFlags, nullptr, nullptr, nullptr);
        if (!m_pContext) return false;
        m_iWidth = source->width;
        m_iHeight = source->height;
        m_iFormat = source->format;
    }
    const int rows = sws_scale(m_pContext, source->data, source->linesize, 0, source->height, target->data,
                               target->linesize);
    return rows > 0;
}

void CScaler::Reset() {
    sws_freeContext(m_pContext);
    m_pContext = nullptr;
    m_iWidth = m_iHeight = 0;
    m_iFormat = AV_PIX_FMT_NONE;
}
