#include "filter/StatusInterface.h"

#include "filter/Oculo.h"
#include "filter/OculoStream.h"
#include "status/StatusText.h"

HRESULT ReadCameraStatus(CIPCameraBase* pReader, OCULO_STATUS* pStatus) {
    // Read whole here and copied out cut to the caller's size.
    OCULO_STATUS status = StoppedCameraStatus();
    if (pReader) {
        pReader->GetStatus(&status);
    }
    return CopyStatusToCaller(status, pStatus);
}

STDMETHODIMP COculoStream::GetStatus(OCULO_STATUS* pStatus) {
    return ReadCameraStatus(m_pStatusCamera.load(std::memory_order_acquire), pStatus);
}

STDMETHODIMP COculo::GetStatus(OCULO_STATUS* pStatus) {
    return m_pStream ? m_pStream->GetStatus(pStatus) : ReadCameraStatus(nullptr, pStatus);
}
