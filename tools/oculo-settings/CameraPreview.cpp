#include "tools/oculo-settings/CameraPreview.h"

bool CCameraPreview::Start(const SlotValues& values) {
    Stop();
    if (CFrameStore::StoreBytes(values.w, values.h) == 0) return false;
    // A store of the run's own, black: nothing of an earlier run shows.
    m_pRun.reset(new Run);
    m_pRun->store.ResizeFrameStore(values.w, values.h);
    m_pRun->store.SetCropBounds(values.crop_l, values.crop_t, values.crop_r, values.crop_b);
    Run* run = m_pRun.get();
    const std::wstring url = values.url;
    m_starter = std::thread([run, url] {
        run->camera.Start(url.c_str());
        run->bStartReturned = true;
    });
    return true;
}

void CCameraPreview::Stop() {
    if (!m_pRun) return;
    // The reader's Start begins by clearing any stop asked before it, so a
    // stop asked before the starting thread got there would be lost and the
    // window would wait out the first-picture wait. The stop is asked again
    // each poll until Start has returned: once its capture thread runs, the
    // next request ends the wait at once.
    while (!m_pRun->bStartReturned.load()) {
        m_pRun->camera.RequestStop();
        Sleep(kPollIntervalMs);
    }
    m_starter.join();
    m_pRun->camera.Stop();
    m_pRun.reset();
}

bool CCameraPreview::CopyPicture(std::vector<BYTE>* picture, LONG* width, LONG* height) {
    OCULO_STATUS status;
    GetStatus(&status);
    if (!m_pRun || status.ullPictures == 0) return false;
    *width = m_pRun->store.Width();
    *height = m_pRun->store.Height();
    picture->resize(size_t(CFrameStore::StoreBytes(*width, *height)));
    return m_pRun->store.CopyStore(picture->data(), LONG(picture->size())) > 0;
}

void CCameraPreview::GetStatus(OCULO_STATUS* status) {
    *status = OCULO_STATUS();
    status->cbSize = sizeof(OCULO_STATUS);
    if (m_pRun) {
        m_pRun->camera.GetStatus(status);
        return;
    }
    status->dwVersion = OCULO_STATUS_VERSION;
    status->lState = OCULO_STATE_STOPPED;
    status->ullMsSinceLastPicture = OCULO_NO_PICTURE_YET;
}
