// The text form of the registry that regedit reads and writes:
//
//   Windows Registry Editor Version 5.00      the header ("REGEDIT4" before it)
//   [HKEY_LOCAL_MACHINE\SOFTWARE\TALVO]       a key; [-...] removes one
//   "name"="text"                             a REG_SZ; \\ and \" are escaped
//   @="text"                                  the key's default value
//   "name"=dword:0000001e                     a REG_DWORD, hex digits
//   "name"=hex:00,ff   "name"=hex(2):41,00    bytes: REG_BINARY, or of type N
//   ; a comment
//
// and a value's line that ends in a backslash continues on the next one.
// This says what a file's lines hold; what a reader accepts, and what it does
// with a line it cannot take, is the reader's own. It reads UTF-8 bytes
// (char) and WCHAR text (wchar_t) alike: every character of the grammar is
// ASCII, and what stands between quotes is passed on as it is.
// Pure functions: any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace oculo::text {

// One line of a file as the grammar sees it.
template <typename Char>
struct RegTextLine {
    std::basic_string<Char> text;  // continued lines joined by '\n'; carriage returns at line ends left out
    size_t number = 0;             // of its first line in the file, from 1
    bool continued = false;        // a value's line that ends in a backslash
};

// The file's lines, each value's continued lines joined into one. A blank
// line or a key's line ends a continuation: a stray backslash must not move
// the next key's values into this one.
std::vector<RegTextLine<char>> SplitRegLines(std::string_view text);
std::vector<RegTextLine<wchar_t>> SplitRegLines(std::wstring_view text);

enum class RegLineKind { kBlank, kComment, kHeader, kKey, kValue, kOther };
enum class RegData { kNone, kString, kDword, kHex };
// Where the reading of a key's or a value's line stopped short.
enum class RegProblem {
    kNone,
    kUnclosedKey,     // a '[' without its closing ']'
    kUnclosedString,  // a '"' without its closing quote
    kNoEquals,        // something else than blanks and '=' after a value's name
    kNoData,          // nothing after the '='
    kUnknownData,     // data in none of the grammar's forms
    kTrailingText,    // text after the closing quote of a string
    kBadDword,        // dword: without 1 to 8 hex digits
    kBadHex,          // hex: with something else than bytes of 1 or 2 hex digits between commas
};

// What one line holds; the fields after `kind` that its kind names are set.
template <typename Char>
struct RegLine {
    RegLineKind kind = RegLineKind::kOther;
    RegProblem problem = RegProblem::kNone;
    // A backslash between quotes before something else than '\' or '"' is
    // kept as it stands; the first such character is noted here.
    bool unknownEscape = false;
    Char escape = 0;

    bool regedit4 = false;         // kHeader: the older "REGEDIT4"
    bool remove = false;           // kKey: [-path]
    std::basic_string<Char> path;  // kKey
    bool isDefault = false;        // kValue: @ rather than a name
    std::basic_string<Char> name;  // kValue
    RegData data = RegData::kNone;
    std::basic_string<Char> text;    // kString
    std::basic_string<Char> digits;  // kDword, as they stand
    uint32_t number = 0;             // kDword
    uint32_t type = 0;               // kHex: 3 (REG_BINARY) for hex:, N for hex(N):
    std::vector<uint8_t> bytes;      // kHex
};

// A line as SplitRegLines gives it; blanks around its parts do not count.
RegLine<char> ReadRegLine(std::string_view line);
RegLine<wchar_t> ReadRegLine(std::wstring_view line);

// Writing, in regedit's own forms: the header (version 5.00), a quoted
// string, dword:xxxxxxxx.
void AppendRegHeader(std::string* out);
void AppendRegHeader(std::wstring* out);
void AppendRegQuoted(std::string* out, std::string_view text);
void AppendRegQuoted(std::wstring* out, std::wstring_view text);
void AppendRegDword(std::string* out, uint32_t number);
void AppendRegDword(std::wstring* out, uint32_t number);

}  // namespace oculo::text
