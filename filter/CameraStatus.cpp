#include "filter/CameraStatus.h"

#include "filter/Oculo.h"
#include "filter/OculoStream.h"

namespace {

// What a slot reports with no reader: what the reader interface's own
// default reports.
void StoppedCamera(OCULO_STATUS* pStatus) {
    pStatus->dwVersion = OCULO_STATUS_VERSION;
    pStatus->lState = OCULO_STATE_STOPPED;
    pStatus->ullMsSinceLastPicture = OCULO_NO_PICTURE_YET;
}

}  // namespace

HRESULT ReadCameraStatus(CIPCameraBase* pReader, OCULO_STATUS* pStatus) {
    if (!pStatus) {
        return E_POINTER;
    }
    if (pStatus->cbSize < kFirstStatusBytes) {
        return E_INVALIDARG;
    }
    // Filled whole here and copied out cut to the caller's size, so that a
    // caller built against an older, smaller structure never has more
    // written than it gave.
    OCULO_STATUS status = {};
    status.cbSize = sizeof(status);
    if (pReader) {
        pReader->GetStatus(&status);
    } else {
        StoppedCamera(&status);
    }
    const DWORD filled = pStatus->cbSize < sizeof(status) ? pStatus->cbSize : DWORD(sizeof(status));
    status.cbSize = filled;
    std::memcpy(pStatus, &status, filled);
    return S_OK;
}

STDMETHODIMP COculoStream::GetStatus(OCULO_STATUS* pStatus) {
    return ReadCameraStatus(m_pStatusCamera.load(std::memory_order_acquire), pStatus);
}

STDMETHODIMP COculo::GetStatus(OCULO_STATUS* pStatus) {
    return m_pStream ? m_pStream->GetStatus(pStatus) : ReadCameraStatus(nullptr, pStatus);
}
