#include "mfsource/StreamTypes.h"

#include <initializer_list>
#include <utility>

namespace {

LONGLONG CommonDivisor(LONGLONG a, LONGLONG b) {
    while (b != 0) {
        const LONGLONG rest = a % b;
        a = b;
        b = rest;
    }
    return a;
}

HRESULT CreateType(const MFPlatFunctions& mf, PictureFormat format, LONG width, LONG height, LONGLONG frameDuration,
                   CComRef<IMFMediaType>* type) {
    LONG w = 0, h = 0;
    if (!FormattedSize(format, width, height, &w, &h)) return MF_E_INVALIDMEDIATYPE;
    const bool bNv12 = format == PictureFormat::kNv12;
    HRESULT hr = mf.CreateMediaType(type->Put());
    IMFMediaType* t = type->Get();
    // Frames of frameDuration: 10 000 000 / frameDuration a second, reduced.
    const LONGLONG divisor = CommonDivisor(10000000, frameDuration);
    if (SUCCEEDED(hr)) hr = t->SetGUID(MF_MT_MAJOR_TYPE, MFMediaType_Video);
    if (SUCCEEDED(hr)) hr = t->SetGUID(MF_MT_SUBTYPE, bNv12 ? MFVideoFormat_NV12 : MFVideoFormat_RGB32);
    if (SUCCEEDED(hr)) hr = MFSetAttributeSize(t, MF_MT_FRAME_SIZE, UINT32(w), UINT32(h));
    if (SUCCEEDED(hr)) {
        hr = MFSetAttributeRatio(t, MF_MT_FRAME_RATE, UINT32(10000000 / divisor), UINT32(frameDuration / divisor));
    }
    if (SUCCEEDED(hr)) hr = MFSetAttributeRatio(t, MF_MT_PIXEL_ASPECT_RATIO, 1, 1);
    if (SUCCEEDED(hr)) hr = t->SetUINT32(MF_MT_INTERLACE_MODE, MFVideoInterlace_Progressive);
    if (SUCCEEDED(hr)) hr = t->SetUINT32(MF_MT_ALL_SAMPLES_INDEPENDENT, TRUE);
    if (SUCCEEDED(hr)) hr = t->SetUINT32(MF_MT_FIXED_SIZE_SAMPLES, TRUE);
    if (SUCCEEDED(hr)) hr = t->SetUINT32(MF_MT_SAMPLE_SIZE, UINT32(FormattedBytes(format, width, height)));
    // Positive: the top row first.
    if (SUCCEEDED(hr)) hr = t->SetUINT32(MF_MT_DEFAULT_STRIDE, UINT32(bNv12 ? w : w * 4));
    if (SUCCEEDED(hr) && bNv12) hr = t->SetUINT32(MF_MT_YUV_MATRIX, MFVideoTransferMatrix_BT601);
    if (SUCCEEDED(hr) && bNv12) hr = t->SetUINT32(MF_MT_VIDEO_NOMINAL_RANGE, MFNominalRange_16_235);
    return hr;
}

}  // namespace

HRESULT CreateStreamTypes(const MFPlatFunctions& mf, LONG width, LONG height, LONGLONG frameDuration,
                          StreamTypes* streamTypes) {
    streamTypes->count = 0;
    for (PictureFormat format : {PictureFormat::kNv12, PictureFormat::kRgb32}) {
        CComRef<IMFMediaType> type;
        const HRESULT hr = CreateType(mf, format, width, height, frameDuration, &type);
        if (hr == MF_E_INVALIDMEDIATYPE) continue;
        if (FAILED(hr)) return hr;
        streamTypes->formats[streamTypes->count] = format;
        streamTypes->types[streamTypes->count++] = std::move(type);
    }
    return streamTypes->count > 0 ? S_OK : MF_E_INVALIDMEDIATYPE;
}

bool FindStreamFormat(const StreamTypes& streamTypes, IMFMediaType* type, PictureFormat* format) {
    GUID subtype = GUID_NULL;
    UINT32 width = 0, height = 0;
    if (!type || FAILED(type->GetGUID(MF_MT_SUBTYPE, &subtype)) ||
        FAILED(MFGetAttributeSize(type, MF_MT_FRAME_SIZE, &width, &height))) {
        return false;
    }
    for (DWORD i = 0; i < streamTypes.count; ++i) {
        GUID offered = GUID_NULL;
        UINT32 offeredWidth = 0, offeredHeight = 0;
        IMFMediaType* t = streamTypes.types[i].Get();
        if (SUCCEEDED(t->GetGUID(MF_MT_SUBTYPE, &offered)) &&
            SUCCEEDED(MFGetAttributeSize(t, MF_MT_FRAME_SIZE, &offeredWidth, &offeredHeight)) &&
            IsEqualGUID(offered, subtype) && offeredWidth == width && offeredHeight == height) {
            *format = streamTypes.formats[i];
            return true;
        }
    }
    return false;
}
