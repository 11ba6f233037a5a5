#include "tools/shared/RegFile.h"

#include <cstring>
#include <cwchar>

#include "text/RegSyntax.h"
#include "text/Unicode.h"

namespace {

using oculo::text::RegData;
using oculo::text::RegLineKind;
using oculo::text::RegProblem;
using RegLine = oculo::text::RegLine<wchar_t>;

const WCHAR kRoot[] = L"HKEY_LOCAL_MACHINE\\";
const std::wstring kSlotsKey = kRoot + std::wstring(kSlotsKeyPath);

std::wstring Lower(std::wstring text) {
    for (wchar_t& c : text) {
        if (c >= L'A' && c <= L'Z') c = c - L'A' + L'a';
    }
    return text;
}

// What a message may show of a name: printable ASCII, '?' for the rest.
std::string Shown(const std::wstring& text) {
    std::string shown;
    for (wchar_t c : text) shown += (c > 0x20 && c < 0x7F) ? char(c) : '?';
    return shown;
}

std::wstring SectionName(DWORD slot) {
    return kRoot + SlotKeyPath(slot);
}

// The line of a value `set` knows: text or a DWORD; empty for any other.
std::wstring ValueLine(const StoredValue& value) {
    std::wstring line;
    oculo::text::AppendRegQuoted(&line, value.name);
    line += L"=";
    if (value.type == REG_DWORD && value.data.size() == sizeof(DWORD)) {
        DWORD number;
        std::memcpy(&number, value.data.data(), sizeof(number));
        oculo::text::AppendRegDword(&line, number);
        return line;
    }
    if (value.type == REG_SZ) {
        std::wstring text(value.data.size() / sizeof(WCHAR), L'\0');
        if (!text.empty()) std::memcpy(&text[0], value.data.data(), text.size() * sizeof(WCHAR));
        text.resize(std::wcslen(text.c_str()));
        oculo::text::AppendRegQuoted(&line, text);
        return line;
    }
    return std::wstring();
}

// The file's text: UTF-16LE after its byte-order mark, as regedit writes it,
// or UTF-8. False when it is neither.
bool DecodeFile(const std::string& bytes, std::wstring* text) {
    std::string_view body;
    if (oculo::text::DetectFileEncoding(bytes, &body) == oculo::text::FileEncoding::kUtf16Le)
        return oculo::text::Utf16LeToWide(body, text);
    return oculo::text::Utf8ToWide(body, text);
}

bool Fail(size_t number, const std::string& what, std::string* error) {
    *error = "line " + std::to_string(number) + ": " + what;
    return false;
}

// "[HKEY_LOCAL_MACHINE\...\Oculo\NN]" or "[-...]": the slot, or -1 for the
// slots' own key (which holds no values).
std::string SectionProblem(const RegLine& line, int* slot) {
    if (line.problem == RegProblem::kUnclosedKey) return "truncated line: the section has no closing ]";
    const std::wstring prefix = Lower(kSlotsKey);
    const std::wstring path = Lower(line.path);
    if (path == prefix) {
        *slot = -1;
        return std::string();
    }
    if (path.compare(0, prefix.size() + 1, prefix + L"\\") != 0)
        return "key is not an Oculo slot (slots are HKEY_LOCAL_MACHINE\\SOFTWARE\\TALVO\\Oculo\\00 to 09)";
    const std::wstring name = line.path.substr(prefix.size() + 1);
    if (name.size() != 2 || name[0] != L'0' || name[1] < L'0' || name[1] > L'9')
        return "slot '" + Shown(name) + "' is outside 00 to 09";
    *slot = int(name[1] - L'0');
    return std::string();
}

// Why a value's line is not one `set` takes ("name"="text" or
// "name"=dword:XXXXXXXX), or nothing.
std::string ValueProblem(const RegLine& line) {
    if (line.unknownEscape) return "unknown escape \\" + std::string(1, char(line.escape & 0x7F));
    const bool bWrongType = line.data == RegData::kHex || line.problem == RegProblem::kUnknownData ||
                            line.problem == RegProblem::kBadHex;
    if (bWrongType) return "value of a type Oculo does not use (only \"text\" and dword:)";
    if (line.data == RegData::kDword && line.digits.size() != 8)
        return "truncated line: a dword has 8 hex digits";
    switch (line.problem) {
        case RegProblem::kUnclosedString:
            return "truncated line: the string has no closing quote";
        case RegProblem::kNoEquals:
            return "truncated line: no = after the value name";
        case RegProblem::kNoData:
            return "truncated line: no data after =";
        case RegProblem::kTrailingText:
            return "unexpected text after the value";
        case RegProblem::kBadDword:
            return "a dword has 8 hex digits";
        default:
            return std::string();
    }
}

}  // namespace

std::string FormatRegFile(const std::vector<SlotRecord>& records) {
    std::wstring text;
    oculo::text::AppendRegHeader(&text);
    text += L"\r\n\r\n";
    for (size_t slot = 0; slot < records.size(); ++slot) {
        if (!records[slot].bExists) {
            text += L"[-" + SectionName(DWORD(slot)) + L"]\r\n\r\n";
            continue;
        }
        text += L"[" + SectionName(DWORD(slot)) + L"]\r\n";
        for (const StoredValue& value : records[slot].values) {
            const std::wstring line = ValueLine(value);
            if (!line.empty()) text += line + L"\r\n";
        }
        text += L"\r\n";
    }
    return "\xFF\xFE" + oculo::text::WideToUtf16Le(text);
}

bool ParseRegFile(const std::string& bytes, std::vector<SlotChange>* changes, std::string* error) {
    changes->clear();
    std::wstring text;
    if (!DecodeFile(bytes, &text)) return Fail(1, "the file is neither UTF-16 nor UTF-8 text", error);
    const std::vector<oculo::text::RegTextLine<wchar_t>> lines = oculo::text::SplitRegLines(text);
    const RegLine header = lines.empty() ? RegLine() : oculo::text::ReadRegLine(lines[0].text);
    if (header.kind != RegLineKind::kHeader || header.regedit4) {
        return Fail(1, "wrong header: the first line must be \"Windows Registry Editor Version 5.00\"",
                    error);
    }
    std::vector<SlotChange> parsed;
    SlotChange* pCurrent = nullptr;
    bool bSlotsKey = false;  // in the slots' own section
    for (size_t i = 1; i < lines.size(); ++i) {
        const size_t number = lines[i].number;
        const RegLine line = oculo::text::ReadRegLine(lines[i].text);
        if (line.kind == RegLineKind::kBlank || line.kind == RegLineKind::kComment) continue;
        if (lines[i].continued)
            return Fail(number, "truncated line: continued values are not Oculo settings", error);
        if (line.kind == RegLineKind::kKey) {
            int slot = -1;
            const std::string why = SectionProblem(line, &slot);
            if (!why.empty()) return Fail(number, why, error);
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
            pCurrent->bRemove = line.remove;
            pCurrent->bReplace = !line.remove;
            if (line.remove) pCurrent->settings.clear();
            if (line.remove) pCurrent = nullptr;
            continue;
        }
        if (line.kind != RegLineKind::kValue) return Fail(number, "not a registry line", error);
        if (pCurrent == nullptr) {
            return Fail(number,
                        bSlotsKey || line.isDefault ? "unknown value name (values belong to a slot's section)"
                                                    : "value outside a slot's section",
                        error);
        }
        std::string why = ValueProblem(line);
        SlotSetting setting;
        if (why.empty() && ParseStoredSetting(line.name, line.data == RegData::kString, line.text,
                                              line.number, &setting, &why)) {
            pCurrent->settings.push_back(setting);
            continue;
        }
        return Fail(number, why, error);
    }
    *changes = parsed;
    return true;
}
