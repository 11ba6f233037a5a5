// Unicode text in the forms the system meets: UTF-8 (the POSIX stand-in's
// code page and registry file), UTF-16LE (regedit's files, and string data as
// Windows stores it) and WCHAR strings, which are UTF-16 on Windows and
// UTF-32 elsewhere.
//
// Each conversion says what becomes of malformed input; a reader that
// refuses such text asks whether there was any.
// Pure functions: any thread.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace oculo::text {

constexpr char32_t kReplacementCharacter = 0xFFFD;
// What ReadUtf8 gives for a malformed sequence: no code point has this value.
constexpr char32_t kMalformed = 0xFFFFFFFF;

// The code point whose UTF-8 form starts at text[*at], which then moves past
// it. A malformed sequence (a stray or missing continuation byte, an overlong
// form, a surrogate half, a value past U+10FFFF) gives kMalformed and moves
// one byte, so the next byte is read afresh.
char32_t ReadUtf8(std::string_view text, size_t* at);
// Writes the code point's UTF-8 form (1 to 4 bytes) and returns its length;
// what is no Unicode scalar value (a surrogate half, a value past U+10FFFF)
// is written as U+FFFD.
int EncodeUtf8(char32_t code, char out[4]);

// The code point at text[*at] of a WCHAR string, which then moves past it. A
// surrogate pair is one code point; an unpaired half comes back as itself,
// as Windows keeps it in a string.
char32_t ReadWide(std::wstring_view text, size_t* at);
// Appends the code point: past U+FFFF as a surrogate pair where WCHAR is
// 16-bit; a value past U+10FFFF as U+FFFD.
void AppendWide(std::wstring* text, char32_t code);

// UTF-8 to WCHAR; each malformed sequence becomes U+FFFD. False when there
// was one.
bool Utf8ToWide(std::string_view text, std::wstring* wide);
std::wstring Utf8ToWide(std::string_view text);
// WCHAR to UTF-8; an unpaired surrogate half becomes U+FFFD.
std::string WideToUtf8(std::wstring_view text);

// UTF-16LE bytes to WCHAR and back, unpaired halves included, so that string
// data moves between the two forms unchanged. An odd last byte is left out
// (false).
bool Utf16LeToWide(std::string_view bytes, std::wstring* wide);
std::string WideToUtf16Le(std::wstring_view text);

// A text file's encoding, told by its byte-order mark: Windows' tools write
// UTF-16LE after one; anything else is read as UTF-8, whose own mark is
// dropped. *body is the text after the mark.
enum class FileEncoding { kUtf8, kUtf16Le };
FileEncoding DetectFileEncoding(std::string_view bytes, std::string_view* body);

}  // namespace oculo::text
