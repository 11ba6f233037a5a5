// wsprintfW with Windows' rules: %[-][#][0][width][.precision][h|l]type with
// types c C d i u x X s S and %%; %s and %ls are wide strings, %S and %hs
// narrow ones. No floating point. At most 1023 characters and a terminator;
// output cut at that limit returns 1024, as the platform's user32 does.
#include <cstdarg>

#include "platform/posix/winapi.h"

namespace {

constexpr int kLimit = 1024;  // characters including the terminator

// Output with the 1024-character cap; characters beyond it are dropped.
struct Output {
    LPWSTR buffer;
    int length = 0;
    bool truncated = false;

    void Put(WCHAR c) {
        if (length < kLimit - 1) {
            buffer[length++] = c;
        } else {
            truncated = true;
        }
    }
    void Repeat(WCHAR c, int count) {
        for (int i = 0; i < count; ++i) Put(c);
    }
};

struct Spec {
    bool left = false;
    bool alternate = false;
    bool zero = false;
    int width = 0;
    int precision = -1;
    char size = 0;  // 'h', 'l' or 0
    WCHAR type = 0;
};

int ReadNumber(LPCWSTR* cursor) {
    int value = 0;
    for (; **cursor >= L'0' && **cursor <= L'9'; ++*cursor)
        if (value < kLimit) value = value * 10 + (**cursor - L'0');
    return value < kLimit ? value : kLimit;
}

// Reads the conversion after '%'; leaves the cursor after its type character.
Spec ReadSpec(LPCWSTR* cursor) {
    Spec spec;
    for (;; ++*cursor) {
        if (**cursor == L'-') spec.left = true;
        else if (**cursor == L'#') spec.alternate = true;
        else if (**cursor == L'0') spec.zero = true;
        else break;
    }
    spec.width = ReadNumber(cursor);
    if (**cursor == L'.') {
        ++*cursor;
        spec.precision = ReadNumber(cursor);
    }
    if (**cursor == L'h' || **cursor == L'l') spec.size = static_cast<char>(*(*cursor)++);
    spec.type = **cursor;
    if (spec.type) ++*cursor;
    return spec;
}

// Writes body (length characters, fetched by at(i)) padded to the width.
template <class At>
void PutField(Output& out, const Spec& spec, int length, At at) {
    int pad = spec.width > length ? spec.width - length : 0;
    if (!spec.left) out.Repeat(L' ', pad);
    for (int i = 0; i < length; ++i) out.Put(at(i));
    if (spec.left) out.Repeat(L' ', pad);
}

void PutWide(Output& out, const Spec& spec, const WCHAR* text) {
    if (!text) text = L"(null)";
    int length = 0;
    while (text[length] && (spec.precision < 0 || length < spec.precision) && length < kLimit) ++length;
    PutField(out, spec, length, [text](int i) { return text[i]; });
}

void PutNarrow(Output& out, const Spec& spec, const char* text) {
    if (!text) text = "(null)";
    int length = 0;
    while (text[length] && (spec.precision < 0 || length < spec.precision) && length < kLimit) ++length;
    // Bytes map one to one, as Windows does for the ASCII that the system formats.
    PutField(out, spec, length, [text](int i) { return static_cast<WCHAR>(static_cast<unsigned char>(text[i])); });
}

void PutNumber(Output& out, const Spec& spec, uint32_t magnitude, bool negative) {
    const WCHAR* digits = spec.type == L'X' ? L"0123456789ABCDEF" : L"0123456789abcdef";
    const uint32_t base = (spec.type == L'x' || spec.type == L'X') ? 16 : 10;
    WCHAR body[kLimit + 8];
    int length = 0;
    for (uint32_t rest = magnitude; rest != 0; rest /= base) body[length++] = digits[rest % base];
    int precision = spec.precision < 0 ? 1 : spec.precision;  // at most kLimit (ReadNumber)
    while (length < precision) body[length++] = L'0';
    WCHAR prefix[3] = {};
    int prefixLength = 0;
    if (negative) prefix[prefixLength++] = L'-';
    if (spec.alternate && base == 16 && magnitude != 0) {
        prefix[prefixLength++] = L'0';
        prefix[prefixLength++] = spec.type;
    }
    // Zero padding fills the width between the sign and the digits, unless left-aligned.
    if (spec.zero && !spec.left) {
        while (length + prefixLength < spec.width && length < kLimit) body[length++] = L'0';
    }
    for (int i = 0; i < prefixLength; ++i) body[length++] = prefix[prefixLength - 1 - i];
    PutField(out, spec, length, [&body, length](int i) { return body[length - 1 - i]; });
}

void PutConversion(Output& out, const Spec& spec, va_list& args) {
    switch (spec.type) {
    case L'd':
    case L'i': {
        int32_t value = va_arg(args, int32_t);
        uint32_t magnitude = value < 0 ? 0u - static_cast<uint32_t>(value) : static_cast<uint32_t>(value);
        PutNumber(out, spec, magnitude, value < 0);
        break;
    }
    case L'u':
    case L'x':
    case L'X': PutNumber(out, spec, va_arg(args, uint32_t), false); break;
    case L'c':
    case L'C': {
        bool narrow = spec.size == 'h' || (spec.type == L'C' && spec.size != 'l');
        WCHAR c = narrow ? static_cast<WCHAR>(static_cast<unsigned char>(va_arg(args, int)))
                         : static_cast<WCHAR>(va_arg(args, wint_t));
        PutField(out, spec, 1, [c](int) { return c; });
        break;
    }
    case L's':
    case L'S':
        if (spec.size == 'h' || (spec.type == L'S' && spec.size != 'l')) PutNarrow(out, spec, va_arg(args, const char*));
        else PutWide(out, spec, va_arg(args, const WCHAR*));
        break;
    default:  // '%%' and unknown types print the character itself
        if (spec.type) out.Put(spec.type);
        break;
    }
}

}  // namespace

extern "C" OCULO_PLATFORM_API int wsprintfW(LPWSTR buffer, LPCWSTR format, ...) {
    if (!buffer || !format) return 0;
    Output out{buffer};
    va_list args;
    va_start(args, format);
    for (LPCWSTR cursor = format; *cursor;) {
        if (*cursor != L'%') {
            out.Put(*cursor++);
            continue;
        }
        ++cursor;
        Spec spec = ReadSpec(&cursor);
        PutConversion(out, spec, args);
    }
    va_end(args);
    buffer[out.length] = L'\0';
    return out.truncated ? kLimit : out.length;
}
