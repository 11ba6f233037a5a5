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
    // No capture thread runs now: the store may change its size.
    m_store.ResizeFrameStore(values.w, values.h);
    m_store.SetCropBounds(values.crop_l, values.crop_t, values.crop_r, values.crop_b);
    m_pCamera.reset(new CRTSPCamera(&m_store));
    CRTSPCamera* camera = m_pCamera.get();
    const std::wstring url = values.url;
    m_starter = std::thread([camera, url] { camera->Start(url.c_str()); });
    return true;
}

void CCameraPreview::Stop() {
    if (!m_pCamera) return;
    // Ends the capture run at once; Start itself returns once its wait for a
    // first picture is over, then Stop waits for what is left of the run.
    m_pCamera->RequestStop();
    if (m_starter.joinable()) m_starter.join();
    m_pCamera->Stop();
    m_pCamera.reset();
}

bool CCameraPreview::CopyPicture(std::vector<BYTE>* picture, LONG* width, LONG* height) {
    if (!m_pCamera) return false;
    *width = m_store.Width();
    *height = m_store.Height();
    picture->resize(size_t(CFrameStore::StoreBytes(*width, *height)));
    return m_store.CopyStore(picture->data(), LONG(picture->size())) > 0;
}

void CCameraPreview::GetStatus(OCULO_STATUS* status) {
    *status = OCULO_STATUS();
    status->cbSize = sizeof(OCULO_STATUS);
    if (m_pCamera) {
        m_pCamera->GetStatus(status);
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
        text += L"\r\nCamera picture " + std::to_wstring(status.lWidth) + L"x" + std::to_wstring(status.lHeight) +
                L", " + std::to_wstring(status.dwPicturesLastSecond) + L" pictures in the last second";
    }
    return text;
}
