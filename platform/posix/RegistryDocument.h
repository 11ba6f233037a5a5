// The registry as a .reg text document: sections named by full key paths
// ("HKEY_LOCAL_MACHINE\SOFTWARE\..."), each with its values in file order.
// Lines that cannot be parsed are kept verbatim and written back in place.
//
// Value data is held in the terms callers use: string types (REG_SZ,
// REG_EXPAND_SZ, REG_MULTI_SZ) as WCHAR arrays, everything else as the bytes
// given. Key and value names compare case-insensitively, as on Windows.
// Not thread-safe: the registry store guards its one document.
#pragma once

#include <string>
#include <vector>

#include "winapi.h"

namespace oculo::posix {

struct RegValue {
    std::wstring name;  // empty for the default value ("@")
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
};

struct RegLine {
    bool parsed = false;
    RegValue value;   // when parsed
    std::string raw;  // otherwise, the text as read (continuations included)
};

struct RegSection {
    std::wstring path;
    std::vector<RegLine> lines;
};

class RegistryDocument {
public:
    // Never fails: what cannot be read is kept as raw text.
    static RegistryDocument Parse(const std::string& text);
    std::string Serialize() const;

    bool KeyExists(const std::wstring& path) const;
    // The path with the casing already stored for its existing components.
    std::wstring StoredPath(const std::wstring& path) const;
    // Creates the key and any missing ancestors below its root; true when it was new.
    bool CreateKey(const std::wstring& path);
    // Removes the key's own sections (the caller checks for subkeys first).
    void DeleteKey(const std::wstring& path);
    // The immediate subkeys' names, sorted case-insensitively.
    std::vector<std::wstring> SubkeyNames(const std::wstring& path) const;

    const RegValue* FindValue(const std::wstring& path, const std::wstring& name) const;
    void SetValue(const std::wstring& path, const RegValue& value);  // the key must exist
    bool DeleteValue(const std::wstring& path, const std::wstring& name);

private:
    RegSection* FindSection(const std::wstring& path);

    std::vector<std::string> m_preamble;  // raw lines before the first section
    std::vector<RegSection> m_sections;
};

// Case folding used for key and value names.
std::wstring FoldCase(const std::wstring& text);

}  // namespace oculo::posix
