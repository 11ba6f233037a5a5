// Code-page conversion (the ANSI code page is UTF-8 here; wide text is
// UTF-32) and the wide string helpers.
#include <charconv>
#include <climits>
#include <cmath>
#include <string>

#include "platform/posix/winapi.h"
#include "text/Unicode.h"

namespace {

bool KnownCodePage(UINT codePage) { return codePage == CP_ACP || codePage == CP_UTF8; }

// Where a conversion fails: the Windows error, 0 returned.
int Fail(DWORD error) {
    SetLastError(error);
    return 0;
}

bool IsBlank(wchar_t c) { return c == L' ' || (c >= L'\t' && c <= L'\r'); }
bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

}  // namespace

WINBASEAPI int WINAPI MultiByteToWideChar(UINT codePage, DWORD, LPCSTR multiByte, int cbMultiByte, LPWSTR wideChar,
                                          int cchWideChar) {
    if (!KnownCodePage(codePage) || !multiByte || cbMultiByte == 0 || cbMultiByte < -1 || cchWideChar < 0 ||
        (cchWideChar > 0 && !wideChar))
        return Fail(ERROR_INVALID_PARAMETER);
    const std::string_view text(multiByte, cbMultiByte == -1 ? std::strlen(multiByte) + 1 : static_cast<size_t>(cbMultiByte));
    size_t written = 0;
    for (size_t at = 0; at < text.size();) {
        char32_t code = oculo::text::ReadUtf8(text, &at);
        if (code == oculo::text::kMalformed) code = oculo::text::kReplacementCharacter;  // as Windows does
        if (cchWideChar > 0) {
            if (written >= static_cast<size_t>(cchWideChar)) return Fail(ERROR_INSUFFICIENT_BUFFER);
            wideChar[written] = static_cast<WCHAR>(code);
        }
        if (++written > INT_MAX) return Fail(ERROR_INVALID_PARAMETER);
    }
    return static_cast<int>(written);
}

WINBASEAPI int WINAPI WideCharToMultiByte(UINT codePage, DWORD, LPCWSTR wideChar, int cchWideChar, LPSTR multiByte,
                                          int cbMultiByte, LPCSTR, LPBOOL usedDefaultChar) {
    if (!KnownCodePage(codePage) || !wideChar || cchWideChar == 0 || cchWideChar < -1 || cbMultiByte < 0 ||
        (cbMultiByte > 0 && !multiByte))
        return Fail(ERROR_INVALID_PARAMETER);
    if (usedDefaultChar) *usedDefaultChar = FALSE;  // UTF-8 represents every code point
    const std::wstring_view text(wideChar, cchWideChar == -1 ? std::wcslen(wideChar) + 1 : static_cast<size_t>(cchWideChar));
    size_t written = 0;
    for (size_t at = 0; at < text.size();) {
        char encoded[4];
        int size = oculo::text::EncodeUtf8(oculo::text::ReadWide(text, &at), encoded);
        if (cbMultiByte > 0) {
            if (written + size > static_cast<size_t>(cbMultiByte)) return Fail(ERROR_INSUFFICIENT_BUFFER);
            std::memcpy(multiByte + written, encoded, size);
        }
        written += size;
        if (written > INT_MAX) return Fail(ERROR_INVALID_PARAMETER);
    }
    return static_cast<int>(written);
}

// Copies at most maxLength - 1 characters and always terminates (when there is room at all).
WINBASEAPI LPWSTR WINAPI lstrcpynW(LPWSTR destination, LPCWSTR source, int maxLength) {
    if (!destination || !source) return nullptr;
    int at = 0;
    for (; at + 1 < maxLength && source[at]; ++at) destination[at] = source[at];
    if (maxLength > 0) destination[at] = L'\0';
    return destination;
}

WINBASEAPI int WINAPI lstrlenW(LPCWSTR text) { return text ? static_cast<int>(std::wcslen(text)) : 0; }

// Leading blanks, an optional sign, decimal digits; stops at the first other
// character; out-of-range values saturate.
extern "C" OCULO_PLATFORM_API int _wtoi(const wchar_t* text) {
    if (!text) return 0;
    while (IsBlank(*text)) ++text;
    bool negative = *text == L'-';
    if (*text == L'-' || *text == L'+') ++text;
    long long value = 0;
    for (; IsDigit(*text); ++text) {
        value = value * 10 + (*text - L'0');
        if (value > static_cast<long long>(INT_MAX) + 1) value = static_cast<long long>(INT_MAX) + 1;
    }
    if (negative) return static_cast<int>(-value);
    return value > INT_MAX ? INT_MAX : static_cast<int>(value);
}

// Leading blanks, optional sign, digits with an optional point, an optional
// exponent; stops at the first character that does not fit; no number gives 0.
static double ParseDouble(const wchar_t* text) {
    while (IsBlank(*text)) ++text;
    bool negative = *text == L'-';
    if (*text == L'-' || *text == L'+') ++text;
    std::string number;
    size_t digits = 0;
    for (; IsDigit(*text); ++text, ++digits) number += static_cast<char>(*text);
    if (*text == L'.') {
        number += '.';
        for (++text; IsDigit(*text); ++text, ++digits) number += static_cast<char>(*text);
    }
    if (digits == 0) return 0.0;
    if (*text == L'e' || *text == L'E') {
        const wchar_t* exponent = text + 1;
        std::string tail = "e";
        if (*exponent == L'-' || *exponent == L'+') tail += static_cast<char>(*exponent++);
        if (IsDigit(*exponent)) {
            for (; IsDigit(*exponent); ++exponent) tail += static_cast<char>(*exponent);
            number += tail;
        }
    }
    double value = 0.0;
    auto result = std::from_chars(number.data(), number.data() + number.size(), value);
    if (result.ec == std::errc::result_out_of_range) {
        // Too large gives infinity, too small zero; tell them apart by the exponent's sign.
        bool tiny = number.find("e-") != std::string::npos;
        value = tiny ? 0.0 : HUGE_VAL;
    }
    return negative ? -value : value;
}

extern "C" OCULO_PLATFORM_API double _wtof(const wchar_t* text) {
    if (!text) return 0.0;
    try {
        return ParseDouble(text);
    } catch (...) {  // out of memory
        return 0.0;
    }
}
