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

// By state, OCULO_STATE_STOPPED (0) first.
const StateWords kStateWords[] = {
    {L"Stopped", L"Stopped"},
    {L"Connecting", L"Connecting"},
    {L"Streaming", L"Streaming"},
    {L"No picture (camera silent)", L"No picture"},
    {L"Waiting to reconnect", L"Reconnecting"},
    {L"Login refused", L"Login refused"},
};
static_assert(sizeof(kStateWords) / sizeof(kStateWords[0]) == OCULO_STATE_LOGIN_REFUSED + 1,
              "a state's words each");
const StateWords kUnknownState = {L"Unknown", L"Unknown"};

const StateWords& WordsOf(LONG state) {
    const LONG count = LONG(sizeof(kStateWords) / sizeof(kStateWords[0]));
    return state >= 0 && state < count ? kStateWords[state] : kUnknownState;
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

void CopyStatusCut(const OCULO_STATUS& status, OCULO_STATUS* pTarget) {
    OCULO_STATUS copy = status;
    copy.cbSize = pTarget->cbSize < sizeof(copy) ? pTarget->cbSize : DWORD(sizeof(copy));
    std::memcpy(pTarget, &copy, copy.cbSize);
}

HRESULT CopyStatusToCaller(const OCULO_STATUS& status, OCULO_STATUS* pCaller) {
    if (!pCaller) {
        return E_POINTER;
    }
    if (pCaller->cbSize < kFirstStatusBytes) {
        return E_INVALIDARG;
    }
    CopyStatusCut(status, pCaller);
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
