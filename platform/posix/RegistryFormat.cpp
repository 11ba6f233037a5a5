// Reading and writing the .reg text ("Windows Registry Editor Version 5.00").
//
// Values are written as regedit writes them: "name"="text" for a terminated
// REG_SZ, dword:xxxxxxxx for a four-byte REG_DWORD, hex:aa,bb for REG_BINARY,
// and hex(N): for anything else; string types in hex(N) form are UTF-16LE, so
// a file moves to and from Windows unchanged. "\\" and "\"" are the only
// escapes inside quotes.
#include <cstdio>

#include "platform/posix/RegistryDocument.h"

namespace oculo::posix {
namespace {

const char kHeader[] = "Windows Registry Editor Version 5.00";

bool IsStringType(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ || type == 7 /* REG_MULTI_SZ */; }

std::string Trim(const std::string& text) {
    size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) return std::string();
    size_t last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

// --- Reading ---

// Reads a quoted string at text[*at] (which must be '"'); false when unterminated.
bool ReadQuoted(const std::string& text, size_t* at, std::string* out) {
    if (*at >= text.size() || text[*at] != '"') return false;
    for (size_t i = *at + 1; i < text.size(); ++i) {
        char c = text[i];
        if (c == '"') {
            *at = i + 1;
            return true;
        }
        if (c == '\\' && i + 1 < text.size() && (text[i + 1] == '\\' || text[i + 1] == '"')) c = text[++i];
        out->push_back(c);
    }
    return false;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// "aa,bb,cc" (blanks and line continuations allowed); false on anything else.
bool ReadHexBytes(const std::string& text, std::vector<BYTE>* out) {
    int pending = -1;  // the first digit of a byte, or -1
    int digits = 0;
    for (char c : text) {
        int digit = HexDigit(c);
        if (digit >= 0) {
            if (++digits > 2) return false;
            pending = pending < 0 ? digit : pending * 16 + digit;
        } else if (c == ',') {
            if (digits == 0) return false;
            out->push_back(static_cast<BYTE>(pending));
            pending = -1;
            digits = 0;
        } else if (c != ' ' && c != '\t' && c != '\\' && c != '\n' && c != '\r') {
            return false;
        }
    }
    if (digits > 0) out->push_back(static_cast<BYTE>(pending));
    return true;
}

// UTF-16LE bytes (as Windows stores strings) to WCHARs, in their byte form.
std::vector<BYTE> Utf16ToWcharBytes(const std::vector<BYTE>& bytes) {
    std::wstring wide;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        char32_t unit = bytes[i] | (bytes[i + 1] << 8);
        if (unit >= 0xD800 && unit < 0xDC00 && i + 3 < bytes.size()) {
            char32_t low = bytes[i + 2] | (bytes[i + 3] << 8);
            if (low >= 0xDC00 && low < 0xE000) {
                unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
                i += 2;
            }
        }
        wide.push_back(static_cast<wchar_t>(unit));
    }
    const BYTE* start = reinterpret_cast<const BYTE*>(wide.data());
    return std::vector<BYTE>(start, start + wide.size() * sizeof(wchar_t));
}

bool ReadData(const std::string& text, RegValue* value) {
    size_t at = 0;
    std::string quoted;
    if (ReadQuoted(text, &at, &quoted)) {
        if (!Trim(text.substr(at)).empty()) return false;
        std::wstring wide = Utf8ToWide(quoted);
        const BYTE* start = reinterpret_cast<const BYTE*>(wide.c_str());
        value->type = REG_SZ;
        value->data.assign(start, start + (wide.size() + 1) * sizeof(wchar_t));
        return true;
    }
    if (text.compare(0, 6, "dword:") == 0) {
        std::string digits = Trim(text.substr(6));
        if (digits.empty() || digits.size() > 8 || digits.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
            return false;
        DWORD number = static_cast<DWORD>(std::stoul(digits, nullptr, 16));
        value->type = REG_DWORD;
        value->data.assign(reinterpret_cast<const BYTE*>(&number), reinterpret_cast<const BYTE*>(&number) + 4);
        return true;
    }
    DWORD type = REG_BINARY;
    size_t colon = text.find(':');
    if (colon == std::string::npos) return false;
    std::string kind = text.substr(0, colon);
    if (kind.size() > 5 && kind.compare(0, 4, "hex(") == 0 && kind.back() == ')' &&
        kind.find_first_not_of("0123456789abcdefABCDEF", 4) == kind.size() - 1 && kind.size() <= 13) {
        type = static_cast<DWORD>(std::stoul(kind.substr(4, kind.size() - 5), nullptr, 16));
    } else if (kind != "hex") {
        return false;
    }
    std::vector<BYTE> bytes;
    if (!ReadHexBytes(text.substr(colon + 1), &bytes)) return false;
    value->type = type;
    value->data = IsStringType(type) ? Utf16ToWcharBytes(bytes) : bytes;
    return true;
}

// `"name"=data` or `@=data`; false when the line is anything else.
bool ReadValueLine(const std::string& line, RegValue* value) {
    size_t at = 0;
    std::string name;
    if (line[0] == '@') {
        at = 1;
    } else if (!ReadQuoted(line, &at, &name)) {
        return false;
    }
    while (at < line.size() && (line[at] == ' ' || line[at] == '\t')) ++at;
    if (at >= line.size() || line[at] != '=') return false;
    value->name = Utf8ToWide(name);
    return ReadData(Trim(line.substr(at + 1)), value);
}

bool IsKeyHeader(const std::string& trimmed) {
    return trimmed.size() > 2 && trimmed.front() == '[' && trimmed.back() == ']';
}

// Splits into logical lines: a value line ending in a backslash continues on
// the next, unless that is a key header: a stray backslash in a hand-edited
// file must not move the next key's values into this one. A blank line ends
// a continuation too: the blank line written after each key would otherwise
// join a kept line that ends in a backslash, and grow it on every save.
std::vector<std::string> LogicalLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    bool continuing = false;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        // Every carriage return at the end goes, not only a CRLF's: a kept
        // line written back must read as the same line again.
        while (!line.empty() && line.back() == '\r') line.pop_back();
        std::string trimmed = Trim(line);
        if (continuing && (trimmed.empty() || IsKeyHeader(trimmed))) continuing = false;
        if (continuing) lines.back() += "\n" + line;
        else lines.push_back(line);
        continuing = !trimmed.empty() && trimmed.back() == '\\' &&
                     (continuing || trimmed[0] == '"' || trimmed[0] == '@');
        start = end + 1;
    }
    return lines;
}

// Files saved by regedit are UTF-16LE with a byte-order mark; ours are UTF-8.
std::string ToUtf8(const std::string& text) {
    if (text.size() >= 2 && static_cast<BYTE>(text[0]) == 0xFF && static_cast<BYTE>(text[1]) == 0xFE) {
        std::vector<BYTE> bytes(text.begin() + 2, text.end());
        std::vector<BYTE> wide = Utf16ToWcharBytes(bytes);
        return WideToUtf8(std::wstring(reinterpret_cast<const wchar_t*>(wide.data()), wide.size() / sizeof(wchar_t)));
    }
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) return text.substr(3);
    return text;
}

// --- Writing ---

// A kept line as read; one that ends in a backslash is followed by a blank
// line, which ends it as it ended when read (the line after it is written
// next to it now, and would otherwise be read as its continuation).
std::string KeptLine(const std::string& raw) {
    const std::string trimmed = Trim(raw);
    return raw + (!trimmed.empty() && trimmed.back() == '\\' ? "\n\n" : "\n");
}

std::string Quote(const std::string& text) {
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '\\' || c == '"') quoted += '\\';
        quoted += c;
    }
    return quoted + "\"";
}

std::string HexList(const std::vector<BYTE>& bytes) {
    std::string list;
    char digits[4];
    for (size_t i = 0; i < bytes.size(); ++i) {
        std::snprintf(digits, sizeof(digits), i ? ",%02x" : "%02x", bytes[i]);
        list += digits;
    }
    return list;
}

std::wstring AsWide(const std::vector<BYTE>& data) {
    return std::wstring(reinterpret_cast<const wchar_t*>(data.data()), data.size() / sizeof(wchar_t));
}

std::vector<BYTE> WcharBytesToUtf16(const std::vector<BYTE>& data) {
    std::vector<BYTE> bytes;
    for (wchar_t c : AsWide(data)) {
        char32_t code = static_cast<char32_t>(c);
        if (code >= 0x10000 && code <= 0x10FFFF) {
            char32_t high = 0xD800 + ((code - 0x10000) >> 10), low = 0xDC00 + ((code - 0x10000) & 0x3FF);
            bytes.insert(bytes.end(), {BYTE(high & 0xFF), BYTE(high >> 8), BYTE(low & 0xFF), BYTE(low >> 8)});
        } else {
            bytes.insert(bytes.end(), {BYTE(code & 0xFF), BYTE((code >> 8) & 0xFF)});
        }
    }
    return bytes;
}

// A REG_SZ that is exactly one terminated line of valid text can be quoted.
bool IsPlainText(const RegValue& value) {
    if (value.type != REG_SZ) return false;
    std::wstring wide = AsWide(value.data);
    if (wide.empty() || wide.back() != L'\0' || value.data.size() % sizeof(wchar_t) != 0) return false;
    for (size_t i = 0; i + 1 < wide.size(); ++i) {
        char32_t c = static_cast<char32_t>(wide[i]);
        if (c < 0x20 || (c >= 0xD800 && c < 0xE000) || c > 0x10FFFF) return false;
    }
    return true;
}

std::string DataText(const RegValue& value) {
    if (IsPlainText(value)) {
        std::wstring wide = AsWide(value.data);
        wide.pop_back();
        return Quote(WideToUtf8(wide));
    }
    if (value.type == REG_DWORD && value.data.size() == 4) {
        DWORD number;
        std::memcpy(&number, value.data.data(), 4);
        char text[16];
        std::snprintf(text, sizeof(text), "dword:%08x", number);
        return text;
    }
    if (value.type == REG_BINARY) return "hex:" + HexList(value.data);
    char kind[16];
    std::snprintf(kind, sizeof(kind), "hex(%x):", value.type);
    return kind + HexList(IsStringType(value.type) ? WcharBytesToUtf16(value.data) : value.data);
}

}  // namespace

RegistryDocument RegistryDocument::Parse(const std::string& text) {
    RegistryDocument document;
    bool first = true;
    for (const std::string& line : LogicalLines(ToUtf8(text))) {
        std::string trimmed = Trim(line);
        if (trimmed.empty()) continue;
        if (first && (trimmed == kHeader || trimmed == "REGEDIT4")) {
            first = false;
            continue;
        }
        first = false;
        if (IsKeyHeader(trimmed) && trimmed[1] != '-') {
            document.m_sections.push_back(RegSection{Utf8ToWide(trimmed.substr(1, trimmed.size() - 2)), {}});
            continue;
        }
        RegLine entry;
        entry.parsed = ReadValueLine(trimmed, &entry.value);
        if (!entry.parsed) entry.raw = line;
        if (document.m_sections.empty()) {
            document.m_preamble.push_back(line);  // outside any key: kept, but means nothing
            continue;
        }
        document.m_sections.back().lines.push_back(std::move(entry));
    }
    return document;
}

std::string RegistryDocument::Serialize() const {
    std::string text = std::string(kHeader) + "\n\n";
    for (const std::string& line : m_preamble) text += KeptLine(line);
    if (!m_preamble.empty()) text += "\n";
    for (const RegSection& section : m_sections) {
        text += "[" + WideToUtf8(section.path) + "]\n";
        for (const RegLine& line : section.lines) {
            if (!line.parsed) {
                text += KeptLine(line.raw);
                continue;
            }
            text += line.value.name.empty() ? std::string("@") : Quote(WideToUtf8(line.value.name));
            text += "=" + DataText(line.value) + "\n";
        }
        text += "\n";
    }
    return text;
}

std::wstring Utf8ToWide(const std::string& text) {
    if (text.empty()) return std::wstring();
    int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(length > 0 ? length : 0, L'\0');
    if (length > 0) MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &wide[0], length);
    return wide;
}

std::string WideToUtf8(const std::wstring& text) {
    if (text.empty()) return std::string();
    int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string narrow(length > 0 ? length : 0, '\0');
    if (length > 0)
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &narrow[0], length, nullptr, nullptr);
    return narrow;
}

}  // namespace oculo::posix
