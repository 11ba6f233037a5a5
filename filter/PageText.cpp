#include "filter/PageText.h"

#include <cstdarg>
#include <cwchar>

#include "text/CameraAddress.h"

namespace {

std::wstring Printed(const WCHAR* format, ...) {
    WCHAR text[128];
    va_list args;
    va_start(args, format);
    const int n = std::vswprintf(text, sizeof(text) / sizeof(text[0]), format, args);
    va_end(args);
    return n < 0 ? std::wstring() : std::wstring(text);
}

// A fixed-size text field of the status structure, up to its terminator or its end.
template <size_t N>
std::wstring Field(const WCHAR (&text)[N]) {
    size_t n = 0;
    while (n < N && text[n] != 0) ++n;
    return std::wstring(text, n);
}

// "45 s", "3 min 20 s", "2 h 5 min".
std::wstring Duration(ULONGLONG ms) {
    const ULONGLONG s = ms / 1000;
    if (s < 60) return Printed(L"%u s", unsigned(s));
    if (s < 3600) return Printed(L"%u min %u s", unsigned(s / 60), unsigned(s % 60));
    return Printed(L"%llu h %u min", static_cast<unsigned long long>(s / 3600), unsigned(s / 60 % 60));
}

// One axis of the crop window: both bounds zero keep the whole extent.
std::wstring CropAxis(const WCHAR* what, LONG a, LONG b, const WCHAR* tail) {
    if (a == 0 && b == 0) return std::wstring(L"all ") + what;
    return Printed(L"%ls %ld to %ld%ls", what, long(a < b ? a : b), long(a < b ? b : a), tail);
}

}  // namespace

SlotPageTexts DescribeSlot(const InstanceSettings& settings) {
    SlotPageTexts texts;
    texts.name = settings.name;
    texts.address = oculo::text::CameraHostAndPort(settings.url);
    texts.picture = Printed(L"%ld x %ld, %g frames a second", long(settings.w), long(settings.h), double(settings.fps));
    if (settings.crop_l == 0 && settings.crop_r == 0 && settings.crop_t == 0 && settings.crop_b == 0) {
        texts.crop = L"none";
    } else {
        texts.crop = CropAxis(L"columns", settings.crop_l, settings.crop_r, L"") + L", " +
                     CropAxis(L"rows", settings.crop_b, settings.crop_t, L" from the bottom");
    }
    return texts;
}

const WCHAR* CameraStateWords(LONG state) {
    switch (state) {
    case OCULO_STATE_STOPPED: return L"Stopped";
    case OCULO_STATE_CONNECTING: return L"Connecting";
    case OCULO_STATE_STREAMING: return L"Streaming";
    case OCULO_STATE_SILENT: return L"No picture (camera silent)";
    case OCULO_STATE_WAITING: return L"Waiting to reconnect";
    case OCULO_STATE_LOGIN_REFUSED: return L"Login refused";
    default: return L"Unknown";
    }
}

std::wstring DescribeStatus(const OCULO_STATUS& s) {
    std::wstring text = CameraStateWords(s.lState);
    if (s.lState != OCULO_STATE_STOPPED) text += L" for " + Duration(s.ullMsInState);
    if (s.ullPictures == 0) {
        text += L"\r\nPictures: none yet";
    } else {
        text += Printed(L"\r\nPictures: %llu, %lu in the last second", static_cast<unsigned long long>(s.ullPictures),
                        static_cast<unsigned long>(s.dwPicturesLastSecond));
        if (s.ullMsSinceLastPicture != OCULO_NO_PICTURE_YET) {
            text += Printed(L"; the last %.1f s ago", double(s.ullMsSinceLastPicture) / 1000.0);
        }
    }
    if (s.lWidth > 0 && s.lHeight > 0) {
        text += Printed(L"\r\nCamera picture: %ld x %ld", long(s.lWidth), long(s.lHeight));
        const std::wstring codec = Field(s.szCodec);
        if (!codec.empty()) text += L", " + codec;
    }
    text += Printed(L"\r\nConnections: %lu, failed attempts: %lu", static_cast<unsigned long>(s.dwConnections),
                    static_cast<unsigned long>(s.dwFailedAttempts));
    const std::wstring reason = Field(s.szReason);
    if (!reason.empty()) text += L"\r\nLast failure: " + reason;
    return text;
}
