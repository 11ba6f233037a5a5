#include "text/RegSyntax.h"

#include <cstdio>

namespace oculo::text {
namespace {

const char kHeader[] = "Windows Registry Editor Version 5.00";
const char kOldHeader[] = "REGEDIT4";
constexpr uint32_t kBinaryType = 3;  // REG_BINARY

template <typename Char>
using View = std::basic_string_view<Char>;
template <typename Char>
using String = std::basic_string<Char>;

template <typename Char>
bool IsBlank(Char c) {
    return c == Char(' ') || c == Char('\t') || c == Char('\r');
}

template <typename Char>
View<Char> Trim(View<Char> text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

// The grammar's own words; foldCase compares ASCII letters without case.
template <typename Char>
bool StartsWith(View<Char> text, std::string_view word, bool foldCase) {
    if (text.size() < word.size()) return false;
    for (size_t i = 0; i < word.size(); ++i) {
        Char c = text[i];
        if (foldCase && c >= Char('A') && c <= Char('Z')) c = Char(c - Char('A') + Char('a'));
        if (c != Char(word[i])) return false;
    }
    return true;
}

template <typename Char>
bool Equals(View<Char> text, std::string_view word, bool foldCase) {
    return text.size() == word.size() && StartsWith(text, word, foldCase);
}

template <typename Char>
bool IsKeyLine(View<Char> trimmed) {
    return trimmed.size() > 2 && trimmed.front() == Char('[') && trimmed.back() == Char(']');
}

template <typename Char>
int HexDigit(Char c) {
    if (c >= Char('0') && c <= Char('9')) return int(c - Char('0'));
    if (c >= Char('a') && c <= Char('f')) return int(c - Char('a')) + 10;
    if (c >= Char('A') && c <= Char('F')) return int(c - Char('A')) + 10;
    return -1;
}

// 1 to 8 hex digits and nothing else.
template <typename Char>
bool ReadHexNumber(View<Char> digits, uint32_t* number) {
    if (digits.empty() || digits.size() > 8) return false;
    *number = 0;
    for (Char c : digits) {
        const int digit = HexDigit(c);
        if (digit < 0) return false;
        *number = (*number << 4) | uint32_t(digit);
    }
    return true;
}

// "aa,bb,cc": blanks, and the backslashes and line ends of continued lines,
// may stand anywhere.
template <typename Char>
bool ReadHexBytes(View<Char> list, std::vector<uint8_t>* bytes) {
    int pending = 0;
    int digits = 0;
    for (Char c : list) {
        const int digit = HexDigit(c);
        if (digit >= 0) {
            if (++digits > 2) return false;
            pending = pending * 16 + digit;
        } else if (c == Char(',')) {
            if (digits == 0) return false;
            bytes->push_back(uint8_t(pending));
            pending = digits = 0;
        } else if (!IsBlank(c) && c != Char('\\') && c != Char('\n')) {
            return false;
        }
    }
    if (digits > 0) bytes->push_back(uint8_t(pending));
    return true;
}

// The quoted string that starts at text[*at]; *at moves past its closing
// quote. False when there is none.
template <typename Char>
bool ReadQuoted(View<Char> text, size_t* at, String<Char>* out, RegLine<Char>* line) {
    for (size_t i = *at + 1; i < text.size(); ++i) {
        Char c = text[i];
        if (c == Char('"')) {
            *at = i + 1;
            return true;
        }
        if (c == Char('\\') && i + 1 < text.size()) {
            const Char next = text[i + 1];
            if (next == Char('\\') || next == Char('"')) {
                c = next;
                ++i;
            } else if (!line->unknownEscape) {
                line->unknownEscape = true;
                line->escape = next;
            }
        }
        out->push_back(c);
    }
    return false;
}

// What follows a value's '=', blanks around it left out.
template <typename Char>
RegProblem ReadData(View<Char> data, RegLine<Char>* line) {
    if (data.empty()) return RegProblem::kNoData;
    if (data.front() == Char('"')) {
        line->data = RegData::kString;
        size_t at = 0;
        if (!ReadQuoted(data, &at, &line->text, line)) return RegProblem::kUnclosedString;
        return at == data.size() ? RegProblem::kNone : RegProblem::kTrailingText;
    }
    if (StartsWith(data, "dword:", true)) {
        line->data = RegData::kDword;
        const View<Char> digits = Trim(data.substr(6));
        line->digits.assign(digits);
        return ReadHexNumber(digits, &line->number) ? RegProblem::kNone : RegProblem::kBadDword;
    }
    const size_t colon = data.find(Char(':'));
    if (colon == View<Char>::npos) return RegProblem::kUnknownData;
    const View<Char> kind = data.substr(0, colon);
    if (Equals(kind, "hex", true)) {
        line->type = kBinaryType;
    } else if (!(kind.size() > 5 && StartsWith(kind, "hex(", true) && kind.back() == Char(')') &&
                 ReadHexNumber(kind.substr(4, kind.size() - 5), &line->type))) {
        return RegProblem::kUnknownData;
    }
    line->data = RegData::kHex;
    return ReadHexBytes(data.substr(colon + 1), &line->bytes) ? RegProblem::kNone : RegProblem::kBadHex;
}

// "[path]" or "[-path]".
template <typename Char>
RegProblem ReadKey(View<Char> trimmed, RegLine<Char>* line) {
    if (trimmed.size() < 2 || trimmed.back() != Char(']')) return RegProblem::kUnclosedKey;
    View<Char> path = trimmed.substr(1, trimmed.size() - 2);
    line->remove = !path.empty() && path.front() == Char('-');
    if (line->remove) path.remove_prefix(1);
    line->path.assign(path);
    return RegProblem::kNone;
}

// "name"=data or @=data.
template <typename Char>
RegProblem ReadValue(View<Char> trimmed, RegLine<Char>* line) {
    size_t at = 0;
    line->isDefault = trimmed.front() == Char('@');
    if (line->isDefault) {
        at = 1;
    } else if (!ReadQuoted(trimmed, &at, &line->name, line)) {
        return RegProblem::kUnclosedString;
    }
    while (at < trimmed.size() && IsBlank(trimmed[at])) ++at;
    if (at == trimmed.size() || trimmed[at] != Char('=')) return RegProblem::kNoEquals;
    return ReadData(Trim(trimmed.substr(at + 1)), line);
}

template <typename Char>
RegLine<Char> Read(View<Char> text) {
    RegLine<Char> line;
    const View<Char> trimmed = Trim(text);
    if (trimmed.empty()) {
        line.kind = RegLineKind::kBlank;
    } else if (trimmed.front() == Char(';')) {
        line.kind = RegLineKind::kComment;
    } else if (Equals(trimmed, kHeader, false) || Equals(trimmed, kOldHeader, false)) {
        line.kind = RegLineKind::kHeader;
        line.regedit4 = Equals(trimmed, kOldHeader, false);
    } else if (trimmed.front() == Char('[')) {
        line.kind = RegLineKind::kKey;
        line.problem = ReadKey(trimmed, &line);
    } else if (trimmed.front() == Char('"') || trimmed.front() == Char('@')) {
        line.kind = RegLineKind::kValue;
        line.problem = ReadValue(trimmed, &line);
    }
    return line;
}

template <typename Char>
std::vector<RegTextLine<Char>> Split(View<Char> text) {
    std::vector<RegTextLine<Char>> lines;
    bool continuing = false;
    size_t number = 0;
    for (size_t start = 0; start < text.size();) {
        size_t end = text.find(Char('\n'), start);
        if (end == View<Char>::npos) end = text.size();
        View<Char> line = text.substr(start, end - start);
        start = end + 1;
        ++number;
        // Every carriage return at the end goes, not only a CRLF's: a line
        // a reader keeps and writes back must read as the same line again.
        while (!line.empty() && line.back() == Char('\r')) line.remove_suffix(1);
        const View<Char> trimmed = Trim(line);
        if (continuing && (trimmed.empty() || IsKeyLine(trimmed))) continuing = false;
        if (continuing) {
            lines.back().text += Char('\n');
            lines.back().text += line;
        } else {
            lines.push_back(RegTextLine<Char>{String<Char>(line), number, false});
        }
        continuing = !trimmed.empty() && trimmed.back() == Char('\\') &&
                     (continuing || trimmed.front() == Char('"') || trimmed.front() == Char('@'));
        if (continuing) lines.back().continued = true;
    }
    return lines;
}

template <typename Char>
void AppendAscii(String<Char>* out, std::string_view text) {
    for (char c : text) out->push_back(Char(c));
}

template <typename Char>
void AppendQuoted(String<Char>* out, View<Char> text) {
    out->push_back(Char('"'));
    for (Char c : text) {
        if (c == Char('\\') || c == Char('"')) out->push_back(Char('\\'));
        out->push_back(c);
    }
    out->push_back(Char('"'));
}

template <typename Char>
void AppendDword(String<Char>* out, uint32_t number) {
    char text[16];
    std::snprintf(text, sizeof(text), "dword:%08lx", static_cast<unsigned long>(number));
    AppendAscii(out, text);
}

}  // namespace

std::vector<RegTextLine<char>> SplitRegLines(std::string_view text) {
    return Split(text);
}
std::vector<RegTextLine<wchar_t>> SplitRegLines(std::wstring_view text) {
    return Split(text);
}
RegLine<char> ReadRegLine(std::string_view line) {
    return Read(line);
}
RegLine<wchar_t> ReadRegLine(std::wstring_view line) {
    return Read(line);
}
void AppendRegHeader(std::string* out) {
    AppendAscii(out, kHeader);
}
void AppendRegHeader(std::wstring* out) {
    AppendAscii(out, kHeader);
}
void AppendRegQuoted(std::string* out, std::string_view text) {
    AppendQuoted(out, text);
}
void AppendRegQuoted(std::wstring* out, std::wstring_view text) {
    AppendQuoted(out, text);
}
void AppendRegDword(std::string* out, uint32_t number) {
    AppendDword(out, number);
}
void AppendRegDword(std::wstring* out, uint32_t number) {
    AppendDword(out, number);
}

}  // namespace oculo::text
