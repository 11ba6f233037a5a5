#include "tools/shared/RegFile.h"

#include <cstdio>
#include <cstring>
#include <cwchar>

namespace {

const char32_t kHeader[] = U"Windows Registry Editor Version 5.00";
const char32_t kSlotsKey[] = U"HKEY_LOCAL_MACHINE\\SOFTWARE\\TALVO\\Oculo";

// WCHAR text <-> code points; WCHAR is UTF-16 on Windows and UTF-32 on Linux.
void AppendCodePoint(std::wstring* text, char32_t c) {
    if (sizeof(wchar_t) == 2 && c >= 0x10000) {
        c -= 0x10000;
        *text += wchar_t(0xD800 + (c >> 10));
        *text += wchar_t(0xDC00 + (c & 0x3FF));
    } else {
        *text += wchar_t(c);
    }
}

std::u32string CodePoints(const std::wstring& text) {
    std::u32string result;
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t c = char32_t(text[i]) & (sizeof(wchar_t) == 2 ? 0xFFFF : 0xFFFFFFFF);
        if (sizeof(wchar_t) == 2 && c >= 0xD800 && c < 0xDC00 && i + 1 < text.size()) {
            const char32_t low = char32_t(text[i + 1]) & 0xFFFF;
            if (low >= 0xDC00 && low < 0xE000) {
                c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                ++i;
            }
        }
        result += c;
    }
    return result;
}

void AppendUtf16(std::string* bytes, const std::u32string& text) {
    for (char32_t c : text) {
        char16_t units[2] = {char16_t(c), 0};
        int count = 1;
        if (c >= 0x10000) {
            units[0] = char16_t(0xD800 + ((c - 0x10000) >> 10));
            units[1] = char16_t(0xDC00 + ((c - 0x10000) & 0x3FF));
            count = 2;
        }
        for (int i = 0; i < count; ++i) {
            *bytes += char(units[i] & 0xFF);
            *bytes += char(units[i] >> 8);
        }
    }
}

bool DecodeUtf16(const std::string& bytes, std::u32string* text) {
    if (bytes.size() % 2 != 0) return false;
    for (size_t i = 2; i < bytes.size(); i += 2) {
        char32_t c = char32_t(BYTE(bytes[i])) | char32_t(BYTE(bytes[i + 1])) << 8;
        if (c >= 0xD800 && c < 0xDC00 && i + 3 < bytes.size()) {
            const char32_t low = char32_t(BYTE(bytes[i + 2])) | char32_t(BYTE(bytes[i + 3])) << 8;
            if (low >= 0xDC00 && low < 0xE000) {
                c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                i += 2;
            }
        }
        *text += c;
    }
    return true;
}

bool DecodeUtf8(const std::string& bytes, std::u32string* text) {
    size_t i = bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    while (i < bytes.size()) {
        const BYTE lead = BYTE(bytes[i]);
        const int extra = lead < 0x80 ? 0 : (lead & 0xE0) == 0xC0 ? 1 : (lead & 0xF0) == 0xE0 ? 2 : (lead & 0xF8) == 0xF0 ? 3 : -1;
        if (extra < 0 || i + size_t(extra) >= bytes.size() + (extra == 0 ? 1 : 0)) return false;
        char32_t c = extra == 0 ? lead : char32_t(lead & (0x3F >> extra));
        for (int k = 1; k <= extra; ++k) {
            const BYTE next = BYTE(bytes[i + size_t(k)]);
            if ((next & 0xC0) != 0x80) return false;
            c = (c << 6) | (next & 0x3F);
        }
        *text += c;
        i += size_t(extra) + 1;
    }
    return true;
}

std::u32string Lower(std::u32string text) {
    for (char32_t& c : text) {
        if (c >= U'A' && c <= U'Z') c = c - U'A' + U'a';
    }
    return text;
}

std::u32string Quoted(const std::u32string& text) {
    std::u32string result = U"\"";
    for (char32_t c : text) {
        if (c == U'\\' || c == U'"') result += U'\\';
        result += c;
    }
    return result + U"\"";
}

std::u32string SectionName(DWORD slot) {
    return std::u32string(kSlotsKey) + U"\\0" + char32_t(U'0' + slot);
}

std::u32string Ascii(const std::string& text) { return std::u32string(text.begin(), text.end()); }

std::u32string ValueLine(const StoredValue& value) {
    const std::u32string name = Quoted(CodePoints(value.name)) + U"=";
    if (value.type == REG_DWORD && value.data.size() == sizeof(DWORD)) {
        DWORD number;
        std::memcpy(&number, value.data.data(), sizeof(number));
        char hex[16];
        std::snprintf(hex, sizeof(hex), "dword:%08lx", static_cast<unsigned long>(number));
        return name + Ascii(hex);
    }
    if (value.type == REG_SZ) {
        std::wstring text(value.data.size() / sizeof(WCHAR), L'\0');
        if (!text.empty()) std::memcpy(&text[0], value.data.data(), text.size() * sizeof(WCHAR));
        text.resize(std::wcslen(text.c_str()));
        return name + Quoted(CodePoints(text));
    }
    return std::u32string();
}

// One line's parse: the position moves along the line.
class CLine {
public:
    CLine(const std::u32string& text, size_t number) : m_text(text), m_number(number) {}

    bool Fail(const std::string& what, std::string* error) const {
        *error = "line " + std::to_string(m_number) + ": " + what;
        return false;
    }
    bool AtEnd() {
        while (m_at < m_text.size() && (m_text[m_at] == U' ' || m_text[m_at] == U'\t')) ++m_at;
        return m_at == m_text.size();
    }
    bool Take(char32_t c) {
        if (m_at < m_text.size() && m_text[m_at] == c) {
            ++m_at;
            return true;
        }
        return false;
    }
    bool TakeWord(const std::u32string& word) {
        if (Lower(m_text.substr(m_at, word.size())) != word) return false;
        m_at += word.size();
        return true;
    }
    // A "..." string with \\ and \" escapes; the opening quote is taken.
    bool TakeQuoted(std::wstring* text, std::string* error) {
        for (; m_at < m_text.size(); ++m_at) {
            char32_t c = m_text[m_at];
            if (c == U'"') {
                ++m_at;
                return true;
            }
            if (c == U'\\') {
                if (++m_at == m_text.size()) break;
                c = m_text[m_at];
                if (c != U'\\' && c != U'"') return Fail("unknown escape \\" + std::string(1, char(c & 0x7F)), error);
            }
            AppendCodePoint(text, c);
        }
        return Fail("truncated line: the string has no closing quote", error);
    }
    std::u32string Rest() const { return m_text.substr(m_at); }
    void Skip(size_t count) { m_at += count; }

private:
    const std::u32string& m_text;
    size_t m_number;
    size_t m_at = 0;
};

// "[HKEY_LOCAL_MACHINE\...\Oculo\NN]" or "[-...]": the slot, or -1 for the
// slots' own key (which holds no values).
bool ParseSection(CLine& line, int* slot, bool* bRemove, std::string* error) {
    line.Take(U'[');
    *bRemove = line.Take(U'-');
    std::u32string path = line.Rest();
    while (!path.empty() && (path.back() == U' ' || path.back() == U'\t')) path.pop_back();
    if (path.empty() || path.back() != U']') return line.Fail("truncated line: the section has no closing ]", error);
    path.pop_back();
    const std::u32string prefix = Lower(kSlotsKey);
    if (Lower(path) == prefix) {
        *slot = -1;
        return true;
    }
    if (Lower(path.substr(0, prefix.size() + 1)) != prefix + U"\\") {
        return line.Fail("key is not an Oculo slot (slots are " + std::string("HKEY_LOCAL_MACHINE\\SOFTWARE\\TALVO\\Oculo") + "\\00 to 09)",
                         error);
    }
    const std::u32string name = path.substr(prefix.size() + 1);
    if (name.size() != 2 || name[0] != U'0' || name[1] < U'0' || name[1] > U'9') {
        std::string shown;
        for (char32_t c : name) shown += (c > 0x20 && c < 0x7F) ? char(c) : '?';
        return line.Fail("slot '" + shown + "' is outside 00 to 09", error);
    }
    *slot = int(name[1] - U'0');
    return true;
}

// "name"="text" or "name"=dword:XXXXXXXX, checked as `set` checks it.
bool ParseValue(CLine& line, SlotSetting* setting, std::string* error) {
    std::wstring name, text;
    DWORD number = 0;
    line.Take(U'"');
    if (!line.TakeQuoted(&name, error)) return false;
    if (!line.Take(U'=')) return line.Fail("truncated line: no = after the value name", error);
    const bool bText = line.Take(U'"');
    if (bText) {
        if (!line.TakeQuoted(&text, error)) return false;
    } else if (line.TakeWord(U"dword:")) {
        std::u32string digits = line.Rest();
        while (!digits.empty() && (digits.back() == U' ' || digits.back() == U'\t')) digits.pop_back();
        line.Skip(digits.size());
        if (digits.size() != 8) return line.Fail("truncated line: a dword has 8 hex digits", error);
        for (char32_t c : digits) {
            const int digit = c >= U'0' && c <= U'9' ? int(c - U'0') : c >= U'a' && c <= U'f' ? int(c - U'a' + 10)
                              : c >= U'A' && c <= U'F' ? int(c - U'A' + 10) : -1;
            if (digit < 0) return line.Fail("a dword has 8 hex digits", error);
            number = (number << 4) | DWORD(digit);
        }
    } else if (line.AtEnd()) {
        return line.Fail("truncated line: no data after =", error);
    } else {
        return line.Fail("value of a type Oculo does not use (only \"text\" and dword:)", error);
    }
    if (!line.AtEnd()) return line.Fail("unexpected text after the value", error);
    std::string why;
    if (!ParseStoredSetting(name, bText, text, number, setting, &why)) return line.Fail(why, error);
    return true;
}

}  // namespace

std::string FormatRegFile(const std::vector<SlotRecord>& records) {
    std::u32string text = std::u32string(kHeader) + U"\r\n\r\n";
    for (size_t slot = 0; slot < records.size(); ++slot) {
        if (!records[slot].bExists) {
            text += U"[-" + SectionName(DWORD(slot)) + U"]\r\n\r\n";
            continue;
        }
        text += U"[" + SectionName(DWORD(slot)) + U"]\r\n";
        for (const StoredValue& value : records[slot].values) {
            const std::u32string line = ValueLine(value);
            if (!line.empty()) text += line + U"\r\n";
        }
        text += U"\r\n";
    }
    std::string bytes = "\xFF\xFE";
    AppendUtf16(&bytes, text);
    return bytes;
}

bool ParseRegFile(const std::string& bytes, std::vector<SlotChange>* changes, std::string* error) {
    changes->clear();
    std::u32string text;
    const bool bUtf16 = bytes.size() >= 2 && BYTE(bytes[0]) == 0xFF && BYTE(bytes[1]) == 0xFE;
    if (!(bUtf16 ? DecodeUtf16(bytes, &text) : DecodeUtf8(bytes, &text))) {
        *error = "line 1: the file is neither UTF-16 nor UTF-8 text";
        return false;
    }
    std::vector<SlotChange> parsed;
    SlotChange* pCurrent = nullptr;
    bool bSlotsKey = false;  // in the slots' own section
    size_t number = 0;
    for (size_t begin = 0; begin <= text.size();) {
        size_t end = text.find(U'\n', begin);
        if (end == std::u32string::npos) end = text.size();
        std::u32string content = text.substr(begin, end - begin);
        begin = end + 1;
        if (!content.empty() && content.back() == U'\r') content.pop_back();
        CLine line(content, ++number);
        if (number == 1) {
            if (content != kHeader) {
                return line.Fail("wrong header: the first line must be \"Windows Registry Editor Version 5.00\"", error);
            }
            continue;
        }
        if (line.AtEnd() || line.Take(U';')) continue;
        if (!content.empty() && content.back() == U'\\') {
            return line.Fail("truncated line: continued values are not Oculo settings", error);
        }
        if (content[0] == U'[') {
            int slot = -1;
            bool bRemove = false;
            if (!ParseSection(line, &slot, &bRemove, error)) return false;
            bSlotsKey = slot < 0;
            pCurrent = nullptr;
            if (bSlotsKey) continue;
            for (SlotChange& change : parsed) {
                if (change.slot == DWORD(slot)) pCurrent = &change;
            }
            if (pCurrent == nullptr) {
                parsed.push_back(SlotChange());
                pCurrent = &parsed.back();
                pCurrent->slot = DWORD(slot);
            }
            pCurrent->bRemove = bRemove;
            pCurrent->bReplace = !bRemove;
            if (bRemove) pCurrent->settings.clear();
            if (bRemove) pCurrent = nullptr;
            continue;
        }
        if (content[0] == U'"' || content[0] == U'@') {
            if (pCurrent == nullptr) {
                return line.Fail(bSlotsKey || content[0] == U'@' ? "unknown value name (values belong to a slot's section)"
                                                                  : "value outside a slot's section",
                                 error);
            }
            SlotSetting setting;
            if (!ParseValue(line, &setting, error)) return false;
            pCurrent->settings.push_back(setting);
            continue;
        }
        return line.Fail("not a registry line", error);
    }
    if (number == 0 || text.empty()) {
        *error = "line 1: wrong header: the file is empty";
        return false;
    }
    *changes = parsed;
    return true;
}
