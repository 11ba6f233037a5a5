#include "filter/OculoStream.h"

#include <new>

#include "camera/RTSPCamera.h"
#include "filter/Oculo.h"

COculoStream::COculoStream(HRESULT* phr, COculo* pParent, LPCWSTR pPinName)
    : CSourceStream(nullptr, phr, pParent, pPinName),
      m_rtDefaultDuration(FrameDuration(pParent->m_Settings.fps)),
      m_pParentFilter(pParent),
      m_rtNextStart(0),
      m_bTypeBuilt(false),
      m_bCued(false),
      m_iPlayState(kStopped),
      m_llRunStartTicks(0),
      m_rtPausedAt(0),
      m_evStateChanged(FALSE),
      m_card(pParent->m_Settings.name, pParent->m_Settings.url),
      m_cPicturesAtRunStart(0) {
    ResizeFrameStore(pParent->m_Settings.w, pParent->m_Settings.h);
    // The default type becomes the current one; no other thread knows the
    // pin yet.
    if (SUCCEEDED(BuildDefaultType(&m_mt))) {
        m_bTypeBuilt = true;
    }
}

COculoStream::~COculoStream() {
    // A pin destroyed while streaming: end the worker (which asks the reader
    // to stop), then the reader itself, which waits for its run to end,
    // before the store goes.
    if (ThreadExists()) {
        Inactive();
    }
    m_pCamera.reset();
}

HRESULT COculoStream::FillBuffer(IMediaSample* pSample) {
    const REFERENCE_TIME rtStart = m_rtNextStart;
    m_rtNextStart = rtStart + CurrentFrameDuration();
    WaitUntilDue(rtStart);
    m_bCued = true;
    return StampAndCopy(pSample, rtStart, m_rtNextStart);
}

HRESULT COculoStream::StampAndCopy(IMediaSample* pSample, REFERENCE_TIME rtStart, REFERENCE_TIME rtStop) {
    pSample->SetTime(&rtStart, &rtStop);
    if (rtStart < 0) {
        pSample->SetDiscontinuity(TRUE);
    } else {
        pSample->SetSyncPoint(TRUE);
    }
    if (!m_pFrameStore) {
        return S_OK;
    }
    BYTE* pData = nullptr;
    if (FAILED(pSample->GetPointer(&pData)) || !pData) {
        return E_FAIL;
    }
    // Bounded by the sample: a buffer smaller than the image gets nothing.
    if (!CopyStatusCard(pData, pSample->GetSize())) {
        CopyStore(pData, pSample->GetSize());
    }
    return S_OK;
}

HRESULT COculoStream::StartCamera() {
    if (m_pCamera && m_pCamera->IsOpen() && m_pCamera->IsRunning()) {
        return S_FALSE;
    }
    if (!m_pCamera) {
        m_pCamera.reset(new (std::nothrow) CRTSPCamera(this));
        m_pStatusCamera.store(m_pCamera.get(), std::memory_order_release);
    }
    if (m_pCamera && m_pCamera->Start(m_pParentFilter->m_Settings.url)) {
        return S_OK;
    }
    return E_FAIL;
}

HRESULT COculoStream::OnThreadCreate() {
    const InstanceSettings& settings = m_pParentFilter->m_Settings;
    m_rtNextStart = 0;
    m_bCued = false;
    m_cPicturesAtRunStart = PictureCount();
    // The crop window must be in place before the first picture arrives.
    SetCropBounds(settings.crop_l, settings.crop_t, settings.crop_r, settings.crop_b);
    // Not under the frame lock: the start waits for the end of an earlier
    // run, whose last picture may be waiting for that lock.
    StartCamera();
    m_rtNextStart = static_cast<REFERENCE_TIME>(settings.tShift) * 10000;
    return S_OK;
}

// The graph stops its filters one after another: waiting here for the
// reader's blocked network call to notice the stop (up to a tenth of a
// second) would add up over every slot in the graph. The reader ends its run
// by itself; the next start, or the pin's destruction, waits for what is left.
HRESULT COculoStream::OnThreadDestroy() {
    if (m_pCamera) {
        m_pCamera->RequestStop();
    }
    return S_OK;
}
