// Reading and writing the .reg text ("Windows Registry Editor Version 5.00").
//
// Values are written as regedit writes them: "name"="text" for a terminated
// REG_SZ, dword:xxxxxxxx for a four-byte REG_DWORD, hex:aa,bb for REG_BINARY,
// and hex(N): for anything else; string types in hex(N) form are UTF-16LE, so
// a file moves to and from Windows unchanged. A line that does not read as a
// key or a value is kept as it stands, and written back in its place.
#include <cstdio>

#include "platform/posix/RegistryDocument.h"
#include "text/RegSyntax.h"
#include "text/Unicode.h"

namespace oculo::posix {
namespace {

using text::RegData;
using text::RegLineKind;
using text::RegProblem;

bool IsStringType(DWORD type) {
    return type == REG_SZ || type == REG_EXPAND_SZ || type == 7 /* REG_MULTI_SZ */;
}

std::vector<BYTE> WideBytes(const std::wstring& wide) {
    const BYTE* start = reinterpret_cast<const BYTE*>(wide.data());
    return std::vector<BYTE>(start, start + wide.size() * sizeof(wchar_t));
}

std::wstring AsWide(const std::vector<BYTE>& data) {
    return std::wstring(reinterpret_cast<const wchar_t*>(data.data()), data.size() / sizeof(wchar_t));
}

std::string_view AsText(const std::vector<BYTE>& bytes) {
    return std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

// --- Reading ---

// A value's line in the terms callers use: string types as WCHARs.
bool ToValue(const text::RegLine<char>& line, RegValue* value) {
    if (line.kind != RegLineKind::kValue || line.problem != RegProblem::kNone) return false;
    value->name = text::Utf8ToWide(line.name);
    switch (line.data) {
        case RegData::kString:
            value->type = REG_SZ;
            value->data = WideBytes(text::Utf8ToWide(line.text) + L'\0');
            return true;
        case RegData::kDword:
            value->type = REG_DWORD;
            value->data.assign(reinterpret_cast<const BYTE*>(&line.number),
                               reinterpret_cast<const BYTE*>(&line.number) + 4);
            return true;
        case RegData::kHex: {
            value->type = line.type;
            if (!IsStringType(line.type)) {
                value->data = line.bytes;
                return true;
            }
            std::wstring wide;  // UTF-16LE, as Windows stores strings
            text::Utf16LeToWide(AsText(line.bytes), &wide);
            value->data = WideBytes(wide);
            return true;
        }
        case RegData::kNone:
            break;
    }
    return false;
}

// Files saved by regedit are UTF-16LE with a byte-order mark; ours are UTF-8.
std::string ToUtf8(const std::string& bytes) {
    std::string_view body;
    if (text::DetectFileEncoding(bytes, &body) == text::FileEncoding::kUtf8) return std::string(body);
    std::wstring wide;
    text::Utf16LeToWide(body, &wide);
    return text::WideToUtf8(wide);
}

// --- Writing ---

// A kept line as read; one that ends in a backslash is followed by a blank
// line, which ends it as it ended when read (the line after it is written
// next to it now, and would otherwise be read as its continuation).
std::string KeptLine(const std::string& raw) {
    const size_t last = raw.find_last_not_of(" \t\r");
    return raw + (last != std::string::npos && raw[last] == '\\' ? "\n\n" : "\n");
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

void AppendData(std::string* out, const RegValue& value) {
    if (IsPlainText(value)) {
        std::wstring wide = AsWide(value.data);
        wide.pop_back();
        text::AppendRegQuoted(out, text::WideToUtf8(wide));
        return;
    }
    if (value.type == REG_DWORD && value.data.size() == 4) {
        DWORD number;
        std::memcpy(&number, value.data.data(), 4);
        text::AppendRegDword(out, number);
        return;
    }
    if (value.type == REG_BINARY) {
        *out += "hex:" + HexList(value.data);
        return;
    }
    char kind[16];
    std::snprintf(kind, sizeof(kind), "hex(%x):", value.type);
    if (!IsStringType(value.type)) {
        *out += kind + HexList(value.data);
        return;
    }
    const std::string utf16 = text::WideToUtf16Le(AsWide(value.data));
    *out += kind + HexList(std::vector<BYTE>(utf16.begin(), utf16.end()));
}

}  // namespace

RegistryDocument RegistryDocument::Parse(const std::string& bytes) {
    RegistryDocument document;
    bool first = true;
    for (const text::RegTextLine<char>& line : text::SplitRegLines(ToUtf8(bytes))) {
        const text::RegLine<char> read = text::ReadRegLine(line.text);
        if (read.kind == RegLineKind::kBlank) continue;
        if (first && read.kind == RegLineKind::kHeader) {
            first = false;
            continue;
        }
        first = false;
        if (read.kind == RegLineKind::kKey && read.problem == RegProblem::kNone && !read.remove &&
            !read.path.empty()) {
            document.m_sections.push_back(RegSection{text::Utf8ToWide(read.path), {}});
            continue;
        }
        RegLine entry;
        entry.parsed = ToValue(read, &entry.value);
        if (!entry.parsed) entry.raw = line.text;
        if (document.m_sections.empty()) {
            document.m_preamble.push_back(line.text);  // outside any key: kept, but means nothing
            continue;
        }
        document.m_sections.back().lines.push_back(std::move(entry));
    }
    return document;
}

std::string RegistryDocument::Serialize() const {
    std::string file;
    text::AppendRegHeader(&file);
    file += "\n\n";
    for (const std::string& line : m_preamble) file += KeptLine(line);
    if (!m_preamble.empty()) file += "\n";
    for (const RegSection& section : m_sections) {
        file += "[" + text::WideToUtf8(section.path) + "]\n";
        for (const RegLine& line : section.lines) {
            if (!line.parsed) {
                file += KeptLine(line.raw);
                continue;
            }
            if (line.value.name.empty())
                file += "@";
            else
                text::AppendRegQuoted(&file, text::WideToUtf8(line.value.name));
            file += "=";
            AppendData(&file, line.value);
            file += "\n";
        }
        file += "\n";
    }
    return file;
}

}  // namespace oculo::posix
