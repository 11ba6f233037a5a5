#include "tools/oculo-settings/CameraPreview.h"

namespace {

const WCHAR* StateWords(LONG state) {
    switch (state) {
        case OCULO_STATE_STOPPED: return L"Stopped";
        case OCULO_STATE_CONNECTING: return L"Connecting";
        case OCULO_STATE_STREAMING: return L"Streaming";
        case OCULO_STATE_SILENT: return L"No picture (camera silent)";
        case OCULO_STATE_WAITING: return L"Waiting to reconnect";
        case OCULO_STATE_LOGIN_REFUSED: return L"Login refused";
        default: return L"Unknown state";
    }
}

}  // namespace

bool CCameraPreview::Start(const SlotValues& values) {
    Stop();
    if (CFrameStore::StoreBytes(values.w, values.h) == 0) return false;
    // A store of the run's own, black: nothing of an earlier run shows.
    m_pRun.reset(new Run);
    m_pRun->store.ResizeFrameStore(values.w, values.h);
    m_pRun->store.SetCropBounds(values.crop_l, values.crop_t, values.crop_r, values.crop_b);
    CRTSPCamera* camera = &m_pRun->camera;
    const std::wstring url = values.url;
    m_starter = std::thread([camera, url] { camera->Start(url.c_str()); });
    return true;
}

void CCameraPreview::Stop() {
    if (!m_pRun) return;
    // Ends the capture run at once; Start itself returns once its wait for a
    // first picture is over, then Stop waits for what is left of the run.
    m_pRun->camera.RequestStop();
    if (m_starter.joinable()) m_starter.join();
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

std::wstring DescribePreviewStatus(const OCULO_STATUS& status) {
    std::wstring text = StateWords(status.lState);
    const size_t reasonChars = wcsnlen(status.szReason, sizeof(status.szReason) / sizeof(WCHAR));
    if (reasonChars > 0) text += L"\r\nLast failure: " + std::wstring(status.szReason, reasonChars);
    if (status.lWidth > 0 && status.lHeight > 0) {
        const DWORD pictures = status.dwPicturesLastSecond;
        text += L"\r\nCamera picture " + std::to_wstring(status.lWidth) + L"x" + std::to_wstring(status.lHeight) +
                L", " + std::to_wstring(pictures) + (pictures == 1 ? L" picture" : L" pictures") +
                L" in the last second";
    }
    return text;
}
