#include "status/StatusText.h"

#include <cstring>

namespace {

// A fixed-size text field of the structure, up to its terminator or its end.
template <size_t N>
std::wstring Field(const WCHAR (&text)[N]) {
    size_t n = 0;
    while (n < N && text[n] != 0) ++n;
    return std::wstring(text, n);
}

struct StateWords {
    const WCHAR* words;
    const WCHAR* shortWords;
};

StateWords WordsOf(LONG state) {
    switch (state) {
        case OCULO_STATE_STOPPED:
            return {L"Stopped", L"Stopped"};
        case OCULO_STATE_CONNECTING:
            return {L"Connecting", L"Connecting"};
        case OCULO_STATE_STREAMING:
            return {L"Streaming", L"Streaming"};
        case OCULO_STATE_SILENT:
            return {L"No picture (camera silent)", L"No picture"};
        case OCULO_STATE_WAITING:
            return {L"Waiting to reconnect", L"Reconnecting"};
        case OCULO_STATE_LOGIN_REFUSED:
            return {L"Login refused", L"Login refused"};
        default:
            return {L"Unknown", L"Unknown"};
    }
}

}  // namespace

OCULO_STATUS StoppedCameraStatus() {
    OCULO_STATUS status = {};
    status.cbSize = sizeof(status);
    status.dwVersion = OCULO_STATUS_VERSION;
    status.lState = OCULO_STATE_STOPPED;
    status.ullMsSinceLastPicture = OCULO_NO_PICTURE_YET;
    return status;
}

HRESULT CopyStatusToCaller(const OCULO_STATUS& status, OCULO_STATUS* pCaller) {
    if (!pCaller) {
        return E_POINTER;
    }
    if (pCaller->cbSize < kFirstStatusBytes) {
        return E_INVALIDARG;
    }
    OCULO_STATUS copy = status;
    copy.cbSize = pCaller->cbSize < sizeof(copy) ? pCaller->cbSize : DWORD(sizeof(copy));
    std::memcpy(pCaller, &copy, copy.cbSize);
    return S_OK;
}

const WCHAR* CameraStateWords(LONG state) {
    return WordsOf(state).words;
}

const WCHAR* CameraStateShortWords(LONG state) {
    return WordsOf(state).shortWords;
}

std::wstring CameraReasonText(const OCULO_STATUS& status) {
    return Field(status.szReason);
}

std::wstring CameraCodecText(const OCULO_STATUS& status) {
    return Field(status.szCodec);
}
