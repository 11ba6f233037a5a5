// Key and value operations on the registry document.
#include <algorithm>
#include <cwctype>

#include "platform/posix/RegistryDocument.h"

namespace oculo::posix {
namespace {

// True when path equals prefix or lies below it (both folded).
bool IsAtOrBelow(const std::wstring& path, const std::wstring& prefix) {
    if (path.size() < prefix.size() || path.compare(0, prefix.size(), prefix) != 0) return false;
    return path.size() == prefix.size() || path[prefix.size()] == L'\\';
}

bool IsBelow(const std::wstring& path, const std::wstring& prefix) {
    return path.size() > prefix.size() && IsAtOrBelow(path, prefix);
}

// The path's ancestors below the root, then the path itself.
std::vector<std::wstring> Levels(const std::wstring& path) {
    std::vector<std::wstring> levels;
    size_t at = path.find(L'\\');
    while (at != std::wstring::npos) {
        at = path.find(L'\\', at + 1);
        levels.push_back(path.substr(0, at));
    }
    return levels;
}

}  // namespace

std::wstring FoldCase(const std::wstring& text) {
    std::wstring folded(text);
    for (wchar_t& c : folded) c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
    return folded;
}

RegSection* RegistryDocument::FindSection(const std::wstring& path) {
    const std::wstring folded = FoldCase(path);
    for (RegSection& section : m_sections)
        if (FoldCase(section.path) == folded) return &section;
    return nullptr;
}

bool RegistryDocument::KeyExists(const std::wstring& path) const {
    const std::wstring folded = FoldCase(path);
    for (const RegSection& section : m_sections)
        if (IsAtOrBelow(FoldCase(section.path), folded)) return true;
    return false;
}

std::wstring RegistryDocument::StoredPath(const std::wstring& path) const {
    std::wstring stored = path;
    for (const std::wstring& level : Levels(path)) {
        const std::wstring folded = FoldCase(level);
        for (const RegSection& section : m_sections) {
            if (IsAtOrBelow(FoldCase(section.path), folded)) {
                stored.replace(0, level.size(), section.path, 0, level.size());
                break;
            }
        }
    }
    return stored;
}

bool RegistryDocument::CreateKey(const std::wstring& path) {
    if (KeyExists(path)) return false;
    const std::wstring stored = StoredPath(path);
    // Ancestors get sections of their own, as regedit writes them.
    for (const std::wstring& level : Levels(stored))
        if (!KeyExists(level)) m_sections.push_back(RegSection{level, {}});
    return true;
}

void RegistryDocument::DeleteKey(const std::wstring& path) {
    const std::wstring folded = FoldCase(path);
    m_sections.erase(std::remove_if(m_sections.begin(), m_sections.end(),
                                    [&folded](const RegSection& section) { return FoldCase(section.path) == folded; }),
                     m_sections.end());
}

std::vector<std::wstring> RegistryDocument::SubkeyNames(const std::wstring& path) const {
    const std::wstring folded = FoldCase(path);
    std::vector<std::wstring> names;
    std::vector<std::wstring> foldedNames;
    for (const RegSection& section : m_sections) {
        if (!IsBelow(FoldCase(section.path), folded)) continue;
        size_t start = folded.size() + 1;
        std::wstring name = section.path.substr(start, section.path.find(L'\\', start) - start);
        if (std::find(foldedNames.begin(), foldedNames.end(), FoldCase(name)) != foldedNames.end()) continue;
        foldedNames.push_back(FoldCase(name));
        names.push_back(name);
    }
    std::sort(names.begin(), names.end(),
              [](const std::wstring& a, const std::wstring& b) { return FoldCase(a) < FoldCase(b); });
    return names;
}

const RegValue* RegistryDocument::FindValue(const std::wstring& path, const std::wstring& name) const {
    const std::wstring folded = FoldCase(path);
    const std::wstring foldedName = FoldCase(name);
    const RegValue* found = nullptr;
    // A key written in several sections: the last mention of a value wins, as on import.
    for (const RegSection& section : m_sections) {
        if (FoldCase(section.path) != folded) continue;
        for (const RegLine& line : section.lines)
            if (line.parsed && FoldCase(line.value.name) == foldedName) found = &line.value;
    }
    return found;
}

void RegistryDocument::SetValue(const std::wstring& path, const RegValue& value) {
    // A value keeps its place in the file; only its data changes.
    RegValue* existing = const_cast<RegValue*>(FindValue(path, value.name));
    if (existing) {
        const std::wstring name = existing->name;
        *existing = value;
        existing->name = name;
        return;
    }
    RegSection* section = FindSection(path);
    if (!section) {
        m_sections.push_back(RegSection{StoredPath(path), {}});
        section = &m_sections.back();
    }
    RegLine line;
    line.parsed = true;
    line.value = value;
    section->lines.push_back(std::move(line));
}

bool RegistryDocument::DeleteValue(const std::wstring& path, const std::wstring& name) {
    const std::wstring folded = FoldCase(path);
    const std::wstring foldedName = FoldCase(name);
    bool removed = false;
    for (RegSection& section : m_sections) {
        if (FoldCase(section.path) != folded) continue;
        auto end = std::remove_if(section.lines.begin(), section.lines.end(), [&](const RegLine& line) {
            return line.parsed && FoldCase(line.value.name) == foldedName;
        });
        removed = removed || end != section.lines.end();
        section.lines.erase(end, section.lines.end());
    }
    return removed;
}

}  // namespace oculo::posix
