#include "filter/OculoStream.h"

#include <cstring>
#include <new>

#include "camera/RTSPCamera.h"
#include "filter/Oculo.h"

COculoStream::COculoStream(HRESULT* phr, COculo* pParent, LPCWSTR pPinName)
    : CSourceStream(nullptr, phr, pParent, pPinName),
      m_rtDefaultDuration(FrameDuration(pParent->m_Settings.fps)),
      m_pParentFilter(pParent),
      m_bTypeBuilt(false),
      m_pacer(pParent),
      m_card(pParent->m_Settings.status != 0, pParent->m_Settings.name, pParent->m_Settings.url) {
    m_store.ResizeFrameStore(pParent->m_Settings.w, pParent->m_Settings.h);
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

bool COculoStream::OnFrame(const BYTE* pixels, LONG width, LONG height) {
    return m_store.OnFrame(pixels, width, height);
}

HRESULT COculoStream::FillBuffer(IMediaSample* pSample) {
    REFERENCE_TIME rtStart = 0;
    REFERENCE_TIME rtStop = 0;
    m_pacer.NextSample(CurrentFrameDuration(), &rtStart, &rtStop);
    return StampAndCopy(pSample, rtStart, rtStop);
}

HRESULT COculoStream::StampAndCopy(IMediaSample* pSample, REFERENCE_TIME rtStart, REFERENCE_TIME rtStop) {
    pSample->SetTime(&rtStart, &rtStop);
    if (rtStart < 0) {
        pSample->SetDiscontinuity(TRUE);
    } else {
        pSample->SetSyncPoint(TRUE);
    }
    if (!m_store.HasStore()) {
        return S_OK;
    }
    BYTE* pData = nullptr;
    if (FAILED(pSample->GetPointer(&pData)) || !pData) {
        return E_FAIL;
    }
    // Bounded by the sample: a buffer smaller than the image gets nothing.
    const LONG cbData = pSample->GetSize();
    if (const BYTE* pCard = m_card.CardIfDue(m_store, m_pCamera.get())) {
        const LONG cbCard = m_store.ImageBytes();
        if (cbData >= cbCard) {
            std::memcpy(pData, pCard, size_t(cbCard));
        }
    } else {
        m_store.CopyStore(pData, cbData);
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
    m_card.BeginRun(m_store);
    // The crop window must be in place before the first picture arrives.
    m_store.SetCropBounds(settings.crop_l, settings.crop_t, settings.crop_r, settings.crop_b);
    // Not under the frame lock: the start waits for the end of an earlier
    // run, whose last picture may be waiting for that lock.
    StartCamera();
    m_pacer.BeginSpell(static_cast<REFERENCE_TIME>(settings.tShift) * 10000);
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

HRESULT COculoStream::Active() {
    m_pacer.Activate();
    return CSourceStream::Active();
}

HRESULT COculoStream::Inactive() {
    // Before the base waits for the worker: a sample waiting for its time
    // must not keep the stop waiting.
    m_pacer.Stop();
    return CSourceStream::Inactive();
}

HRESULT COculoStream::Run(REFERENCE_TIME tStart) {
    m_pacer.Run();
    return CSourceStream::Run(tStart);
}

void COculoStream::OnPause() { m_pacer.Pause(); }
