// The benches' sink: it renders each sample at once and keeps nothing of it
// (no last frame, no records), so that what is measured is the path to it.
#pragma once

#include "host/RenderSink.h"

inline HRESULT CreateQuietSink(CRenderSink** ppSink) {
    const HRESULT hr = CRenderSink::Create(ppSink);
    if (FAILED(hr)) return hr;
    (*ppSink)->Pin()->SetRenderMode(SinkRenderMode::AsFastAsPossible);
    (*ppSink)->Recorder()->KeepLastFrame(false);
    (*ppSink)->Recorder()->SetMaxRecords(0);
    return hr;
}
