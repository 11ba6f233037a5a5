#include "text/Unicode.h"

namespace oculo::text {
namespace {

constexpr bool kWideIsUtf16 = sizeof(wchar_t) == 2;

bool IsScalar(char32_t code) {
    return code < 0xD800 || (code > 0xDFFF && code <= 0x10FFFF);
}
bool IsHighSurrogate(char32_t unit) {
    return unit >= 0xD800 && unit < 0xDC00;
}
bool IsLowSurrogate(char32_t unit) {
    return unit >= 0xDC00 && unit < 0xE000;
}
char32_t Combine(char32_t high, char32_t low) {
    return 0x10000 + ((high - 0xD800) << 10) + (low - 0xDC00);
}

// The UTF-16 units of a code point (1 or 2); a value past U+10FFFF is U+FFFD.
int EncodeUtf16(char32_t code, char16_t out[2]) {
    if (code > 0x10FFFF) code = kReplacementCharacter;
    if (code < 0x10000) {
        out[0] = static_cast<char16_t>(code);
        return 1;
    }
    out[0] = static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10));
    out[1] = static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF));
    return 2;
}

char32_t Utf16LeUnit(std::string_view bytes, size_t at) {
    return static_cast<unsigned char>(bytes[at]) |
           static_cast<char32_t>(static_cast<unsigned char>(bytes[at + 1])) << 8;
}

}  // namespace

char32_t ReadUtf8(std::string_view text, size_t* at) {
    const unsigned char lead = static_cast<unsigned char>(text[(*at)++]);
    if (lead < 0x80) return lead;
    const int extra = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC2 ? 1 : -1;
    if (extra < 0 || lead > 0xF4 || *at + extra > text.size()) return kMalformed;
    char32_t code = lead & (0x3F >> extra);
    for (int i = 0; i < extra; ++i) {
        const unsigned char next = static_cast<unsigned char>(text[*at + i]);
        if ((next & 0xC0) != 0x80) return kMalformed;
        code = (code << 6) | (next & 0x3F);
    }
    static const char32_t kShortest[] = {0, 0x80, 0x800, 0x10000};
    if (code < kShortest[extra] || !IsScalar(code)) return kMalformed;
    *at += extra;
    return code;
}

int EncodeUtf8(char32_t code, char out[4]) {
    if (!IsScalar(code)) code = kReplacementCharacter;
    if (code < 0x80) {
        out[0] = static_cast<char>(code);
        return 1;
    }
    const int extra = code < 0x800 ? 1 : code < 0x10000 ? 2 : 3;
    static const unsigned char kLead[] = {0, 0xC0, 0xE0, 0xF0};
    out[0] = static_cast<char>(kLead[extra] | (code >> (6 * extra)));
    for (int i = 1; i <= extra; ++i) out[i] = static_cast<char>(0x80 | ((code >> (6 * (extra - i))) & 0x3F));
    return extra + 1;
}

char32_t ReadWide(std::wstring_view text, size_t* at) {
    if (!kWideIsUtf16) return static_cast<char32_t>(text[(*at)++]);
    const char32_t unit = static_cast<char16_t>(text[(*at)++]);
    if (IsHighSurrogate(unit) && *at < text.size()) {
        const char32_t low = static_cast<char16_t>(text[*at]);
        if (IsLowSurrogate(low)) {
            ++*at;
            return Combine(unit, low);
        }
    }
    return unit;
}

void AppendWide(std::wstring* text, char32_t code) {
    if (!kWideIsUtf16) {
        text->push_back(static_cast<wchar_t>(code > 0x10FFFF ? kReplacementCharacter : code));
        return;
    }
    char16_t units[2];
    const int count = EncodeUtf16(code, units);
    for (int i = 0; i < count; ++i) text->push_back(static_cast<wchar_t>(units[i]));
}

bool Utf8ToWide(std::string_view text, std::wstring* wide) {
    bool wellFormed = true;
    for (size_t at = 0; at < text.size();) {
        char32_t code = ReadUtf8(text, &at);
        if (code == kMalformed) {
            code = kReplacementCharacter;
            wellFormed = false;
        }
        AppendWide(wide, code);
    }
    return wellFormed;
}

std::wstring Utf8ToWide(std::string_view text) {
    std::wstring wide;
    Utf8ToWide(text, &wide);
    return wide;
}

std::string WideToUtf8(std::wstring_view text) {
    std::string narrow;
    char encoded[4];
    for (size_t at = 0; at < text.size();) narrow.append(encoded, EncodeUtf8(ReadWide(text, &at), encoded));
    return narrow;
}

bool Utf16LeToWide(std::string_view bytes, std::wstring* wide) {
    for (size_t at = 0; at + 1 < bytes.size();) {
        char32_t code = Utf16LeUnit(bytes, at);
        at += 2;
        if (IsHighSurrogate(code) && at + 1 < bytes.size() && IsLowSurrogate(Utf16LeUnit(bytes, at))) {
            code = Combine(code, Utf16LeUnit(bytes, at));
            at += 2;
        }
        AppendWide(wide, code);
    }
    return bytes.size() % 2 == 0;
}

std::string WideToUtf16Le(std::wstring_view text) {
    std::string bytes;
    char16_t units[2];
    for (size_t at = 0; at < text.size();) {
        const int count = EncodeUtf16(ReadWide(text, &at), units);
        for (int i = 0; i < count; ++i) {
            bytes.push_back(static_cast<char>(units[i] & 0xFF));
            bytes.push_back(static_cast<char>(units[i] >> 8));
        }
    }
    return bytes;
}

FileEncoding DetectFileEncoding(std::string_view bytes, std::string_view* body) {
    if (bytes.substr(0, 2) == "\xFF\xFE") {
        *body = bytes.substr(2);
        return FileEncoding::kUtf16Le;
    }
    *body = bytes.substr(0, 3) == "\xEF\xBB\xBF" ? bytes.substr(3) : bytes;
    return FileEncoding::kUtf8;
}

}  // namespace oculo::text
