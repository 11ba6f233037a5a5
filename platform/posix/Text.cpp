// Code-page conversion (the ANSI code page is UTF-8 here; wide text is
// UTF-32) and the wide string helpers.
#include <charconv>
#include <climits>
#include <cmath>
#include <string>

#include "platform/posix/winapi.h"

namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsScalar(char32_t c) { return c < 0xD800 || (c > 0xDFFF && c <= 0x10FFFF); }

// Decodes one UTF-8 sequence at text[*at] (length bytes in all); malformed
// input yields U+FFFD and skips one byte, as Windows does.
char32_t DecodeUtf8(const unsigned char* text, size_t length, size_t* at) {
    unsigned char lead = text[(*at)++];
    if (lead < 0x80) return lead;
    int extra = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC2 ? 1 : -1;
    if (extra < 0 || lead > 0xF4 || *at + extra > length) return kReplacement;
    char32_t code = lead & (0x3F >> extra);
    for (int i = 0; i < extra; ++i) {
        unsigned char next = text[*at + i];
        if ((next & 0xC0) != 0x80) return kReplacement;
        code = (code << 6) | (next & 0x3F);
    }
    static const char32_t kMinimum[] = {0, 0x80, 0x800, 0x10000};
    if (code < kMinimum[extra] || !IsScalar(code)) return kReplacement;
    *at += extra;
    return code;
}

// Encodes one code point; returns its length (1 to 4) in out.
int EncodeUtf8(char32_t code, char* out) {
    if (!IsScalar(code)) code = kReplacement;
    if (code < 0x80) {
        out[0] = static_cast<char>(code);
        return 1;
    }
    int extra = code < 0x800 ? 1 : code < 0x10000 ? 2 : 3;
    static const unsigned char kLead[] = {0, 0xC0, 0xE0, 0xF0};
    out[0] = static_cast<char>(kLead[extra] | (code >> (6 * extra)));
    for (int i = 1; i <= extra; ++i) out[i] = static_cast<char>(0x80 | ((code >> (6 * (extra - i))) & 0x3F));
    return extra + 1;
}

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
    size_t length = cbMultiByte == -1 ? std::strlen(multiByte) + 1 : static_cast<size_t>(cbMultiByte);
    const unsigned char* text = reinterpret_cast<const unsigned char*>(multiByte);
    size_t written = 0;
    for (size_t at = 0; at < length;) {
        char32_t code = DecodeUtf8(text, length, &at);
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
    size_t length = cchWideChar == -1 ? std::wcslen(wideChar) + 1 : static_cast<size_t>(cchWideChar);
    size_t written = 0;
    for (size_t at = 0; at < length; ++at) {
        char encoded[4];
        int size = EncodeUtf8(static_cast<char32_t>(wideChar[at]), encoded);
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
