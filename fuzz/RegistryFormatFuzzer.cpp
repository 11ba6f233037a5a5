// The registry file's text parser: any bytes (a hand-edited or damaged file)
// parse without harm, and what the parser's document writes reads back to the
// same document: a second round through the file changes nothing.
#include <cstdint>
#include <cstdio>
#include <string>

#include "fuzz/FuzzInput.h"
#include "platform/posix/RegistryDocument.h"

using oculo::posix::RegistryDocument;
using oculo::posix::RegValue;

namespace {

// Walks the keys below path (bounded), reading every value the way
// RegQueryValueEx and RegEnumKeyEx reach them.
void Walk(const RegistryDocument& document, const std::wstring& path, int depth, int* budget) {
    if (depth > 8 || --*budget < 0) return;
    document.FindValue(path, L"");
    document.FindValue(path, L"url");
    for (const std::wstring& name : document.SubkeyNames(path)) {
        if (!document.KeyExists(path + L"\\" + name)) FuzzFail("a listed subkey does not exist");
        Walk(document, path + L"\\" + name, depth + 1, budget);
    }
}

std::string Escaped(const std::string& text) {
    std::string out;
    char hex[8];
    for (unsigned char c : text) {
        if (c == '\n' || (c >= 0x20 && c < 0x7F)) {
            out += char(c);
        } else {
            std::snprintf(hex, sizeof(hex), "\\x%02x", c);
            out += hex;
        }
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    RegistryDocument document = RegistryDocument::Parse(text);
    const std::string once = document.Serialize();
    const std::string twice = RegistryDocument::Parse(once).Serialize();
    if (once != twice) {
        size_t at = 0;
        while (at < once.size() && at < twice.size() && once[at] == twice[at]) ++at;
        const size_t from = at > 80 ? at - 80 : 0;
        FuzzFail("the written file reads back differently from byte %zu:\n--- first\n%s\n--- second\n%s", at,
                 Escaped(once.substr(from, 160)).c_str(), Escaped(twice.substr(from, 160)).c_str());
    }
    int budget = 64;
    for (const wchar_t* root : {L"HKEY_LOCAL_MACHINE", L"HKEY_CLASSES_ROOT"}) Walk(document, root, 0, &budget);

    // A change to what was read keeps every other line where it was.
    const std::wstring key = L"HKEY_LOCAL_MACHINE\\SOFTWARE\\TALVO\\Oculo\\00";
    document.CreateKey(key);
    RegValue value;
    value.name = L"w";
    value.type = REG_DWORD;
    value.data = {0x80, 0x02, 0, 0};
    document.SetValue(key, value);
    const RegValue* stored = document.FindValue(key, L"W");
    if (!stored || stored->data != value.data) FuzzFail("a value set is not found again");
    const std::string changed = document.Serialize();
    if (RegistryDocument::Parse(changed).Serialize() != changed) FuzzFail("a changed file reads back differently");
    document.DeleteValue(key, L"w");
    return 0;
}
