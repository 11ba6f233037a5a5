// The registry functions over the registry file.
//
// An HKEY is an OpenKey (full path and granted access) or one of the two
// predefined roots. Open keys live in a table so that a closed or foreign
// handle is refused instead of followed.
//
// The exported calls are C functions: each is one try block, so running out
// of memory anywhere below it answers ERROR_NOT_ENOUGH_MEMORY instead of
// throwing through the caller (allocation is the only thing below that throws).
#include <new>
#include <unordered_set>

#include "platform/posix/RegistryStore.h"

namespace oculo::posix {
namespace {

constexpr size_t kMaxKeyName = 255;      // characters per path component
constexpr size_t kMaxValueName = 16383;  // characters

struct OpenKey {
    std::wstring path;
    REGSAM access;
};

std::mutex g_keyLock;  // guards Keys()
std::unordered_set<OpenKey*>& Keys() {
    static auto* keys = new std::unordered_set<OpenKey*>();
    return *keys;
}

// The key a handle names: its path and access; false for an unknown handle.
bool Describe(HKEY key, std::wstring* path, REGSAM* access) {
    *access = KEY_ALL_ACCESS;
    if (key == HKEY_LOCAL_MACHINE) *path = L"HKEY_LOCAL_MACHINE";
    else if (key == HKEY_CLASSES_ROOT) *path = L"HKEY_CLASSES_ROOT";
    else {
        std::lock_guard<std::mutex> hold(g_keyLock);
        OpenKey* open = reinterpret_cast<OpenKey*>(key);
        if (!Keys().count(open)) return false;
        *path = open->path;
        *access = open->access;
    }
    return true;
}

bool IsRoot(const std::wstring& path) { return path.find(L'\\') == std::wstring::npos; }

// A root always exists; any other key exists while the document holds it.
bool Exists(const RegistryDocument& document, const std::wstring& path) {
    return IsRoot(path) || document.KeyExists(path);
}

// The path of an open key whose access includes needed: ERROR_SUCCESS,
// ERROR_INVALID_HANDLE or ERROR_ACCESS_DENIED.
LONG PathWithAccess(HKEY key, REGSAM needed, std::wstring* path) {
    REGSAM access;
    if (!Describe(key, path, &access)) return ERROR_INVALID_HANDLE;
    return (access & needed) == 0 ? ERROR_ACCESS_DENIED : ERROR_SUCCESS;
}

// Appends a relative key path; empty components are skipped. False for a
// component that is too long or holds characters a .reg line cannot carry.
bool Append(std::wstring* path, LPCWSTR subKey) {
    if (!subKey) return true;
    std::wstring component;
    for (LPCWSTR at = subKey;; ++at) {
        if (*at == L'\\' || *at == L'\0') {
            if (component.size() > kMaxKeyName) return false;
            if (!component.empty()) *path += L"\\" + component;
            component.clear();
            if (*at == L'\0') return true;
        } else if (*at < 0x20) {
            return false;
        } else {
            component += *at;
        }
    }
}

bool ValidValueName(const std::wstring& name) {
    if (name.size() > kMaxValueName) return false;
    for (wchar_t c : name)
        if (c < 0x20) return false;
    return true;
}

LONG NewHandle(const std::wstring& path, REGSAM access, PHKEY result) {
    OpenKey* open = new (std::nothrow) OpenKey;
    if (!open) return ERROR_NOT_ENOUGH_MEMORY;
    try {
        open->path = path;
        // A request for the most the caller may have is granted in full: the
        // file's keys carry no security of their own.
        open->access = (access & MAXIMUM_ALLOWED) ? KEY_ALL_ACCESS : access;
        std::lock_guard<std::mutex> hold(g_keyLock);
        Keys().insert(open);
    } catch (...) {
        delete open;
        return ERROR_NOT_ENOUGH_MEMORY;
    }
    *result = reinterpret_cast<HKEY>(open);
    return ERROR_SUCCESS;
}

// Resolves key + subKey into a full path; ERROR_SUCCESS or the failure.
LONG Resolve(HKEY key, LPCWSTR subKey, std::wstring* path) {
    REGSAM access;
    if (!Describe(key, path, &access)) return ERROR_INVALID_HANDLE;
    return Append(path, subKey) ? ERROR_SUCCESS : ERROR_INVALID_PARAMETER;
}

// The stored size of string data is in WCHARs; odd trailing bytes are dropped.
std::vector<BYTE> StoredData(DWORD type, const BYTE* data, DWORD size) {
    if (type == REG_SZ || type == REG_EXPAND_SZ || type == 7 /* REG_MULTI_SZ */) size -= size % sizeof(WCHAR);
    return std::vector<BYTE>(data, data + size);
}

LONG SetValue(const std::wstring& path, const std::wstring& name, DWORD type, std::vector<BYTE> data) {
    RegValue value{name, type, std::move(data)};
    return RegistryStore::Instance().Write([&](RegistryDocument& document, bool* modified) -> LONG {
        if (!Exists(document, path)) return ERROR_KEY_DELETED;
        document.SetValue(path, value);
        *modified = true;
        return ERROR_SUCCESS;
    });
}

// Creates path (and its ancestors); *created tells whether it was new.
LONG CreateKey(const std::wstring& path, bool* created) {
    return RegistryStore::Instance().Write([&](RegistryDocument& document, bool* modified) -> LONG {
        *created = !IsRoot(path) && document.CreateKey(path);
        *modified = *created;
        return ERROR_SUCCESS;
    });
}

// Resolves key + subKey and creates that key (and its ancestors) when missing.
LONG ResolveAndCreate(HKEY key, LPCWSTR subKey, std::wstring* path, bool* created) {
    LONG status = Resolve(key, subKey, path);
    return status == ERROR_SUCCESS ? CreateKey(*path, created) : status;
}

}  // namespace
}  // namespace oculo::posix

using namespace oculo::posix;

WINBASEAPI LONG WINAPI RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD, REGSAM desired, PHKEY result) try {
    if (!result) return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    std::wstring path;
    LONG status = Resolve(key, subKey, &path);
    if (status != ERROR_SUCCESS) return status;
    status = RegistryStore::Instance().Read([&path](const RegistryDocument& document) -> LONG {
        return Exists(document, path) ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
    });
    if (status != ERROR_SUCCESS) return status;
    if (IsRoot(path) && (key == HKEY_LOCAL_MACHINE || key == HKEY_CLASSES_ROOT)) {
        *result = key;
        return ERROR_SUCCESS;
    }
    return NewHandle(path, desired, result);
} catch (...) {
    return ERROR_NOT_ENOUGH_MEMORY;
}

WINBASEAPI LONG WINAPI RegCreateKeyExW(HKEY key, LPCWSTR subKey, DWORD, LPWSTR, DWORD, REGSAM desired,
                                       const SECURITY_ATTRIBUTES*, PHKEY result, LPDWORD disposition) try {
    if (!result || !subKey) return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    std::wstring path;
    bool created = false;
    LONG status = ResolveAndCreate(key, subKey, &path, &created);
    if (status != ERROR_SUCCESS) return status;
    if (disposition) *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    return NewHandle(path, desired, result);
} catch (...) {
    return ERROR_NOT_ENOUGH_MEMORY;
}

WINBASEAPI LONG WINAPI RegCreateKeyW(HKEY key, LPCWSTR subKey, PHKEY result) try {
    return RegCreateKeyExW(key, subKey ? subKey : L"", 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                           result, nullptr);
} catch (...) {
    return ERROR_NOT_ENOUGH_MEMORY;
}

WINBASEAPI LONG WINAPI RegCloseKey(HKEY key) try {
    if (key == HKEY_LOCAL_MACHINE || key == HKEY_CLASSES_ROOT) return ERROR_SUCCESS;
    OpenKey* open = reinterpret_cast<OpenKey*>(key);
    {
        std::lock_guard<std::mutex> hold(g_keyLock);
        if (Keys().erase(open) == 0) return ERROR_INVALID_HANDLE;
    }
    delete open;
    return ERROR_SUCCESS;
} catch (...) {
    return ERROR_NOT_ENOUGH_MEMORY;
}

WINBASEAPI LONG WINAPI RegQueryValueExW(HKEY key, LPCWSTR valueName, LPDWORD, LPDWORD type, LPBYTE data,
                                        LPDWORD cbData) try {
    if (data && !cbData) return ERROR_INVALID_PARAMETER;
    std::wstring path;
    LONG status = PathWithAccess(key, KEY_QUERY_VALUE, &path);
    if (status != ERROR_SUCCESS) return status;
    const std::wstring name = valueName ? valueName : L"";
    return RegistryStore::Instance().Read([&](const RegistryDocument& document) -> LONG {
        if (!Exists(document, path)) return ERROR_KEY_DELETED;
        const RegValue* value = document.FindValue(path, name);
        if (!value) return ERROR_FILE_NOT_FOUND;
        if (type) *type = value->type;
        const DWORD needed = static_cast<DWORD>(value->data.size());
        if (!cbData) return ERROR_SUCCESS;
        if (data && *cbData < needed) {
            *cbData = needed;
            return ERROR_MORE_DATA;
        }
        if (data && needed) std::memcpy(data, value->data.data(), needed);
        *cbData = needed;
        return ERROR_SUCCESS;
    });
} catch (...) {
    return ERROR_NOT_ENOUGH_MEMORY;
}

WINBASEAPI LONG WINAPI RegSetValueExW(HKEY key, LPCWSTR valueName, DWORD, DWORD type, const BYTE* data,
                                      DWORD cbData) try {
    if (!data && cbData) return ERROR_INVALID_PARAMETER;
    std::wstring path;
    LONG status = PathWithAccess(key, KEY_SET_VALUE, &path);
    if (status != ERROR_SUCCESS) return status;
    const std::wstring name = valueName ? valueName : L"";
    if (!ValidValueName(name)) return ERROR_INVALID_PARAMETER;
    return SetValue(path, name, type, StoredData(type, data, cbData));
} catch (...) {
    return ERROR_NOT_ENOUGH_MEMORY;
}

// Sets the default value of subKey (created when missing) to a string; the size given is ignored.
WINBASEAPI LONG WINAPI RegSetValueW(HKEY key, LPCWSTR subKey, DWORD type, LPCWSTR data, DWORD) try {
    if (type != REG_SZ || !data) return ERROR_INVALID_PARAMETER;
    std::wstring path;
    bool created = false;
    LONG status = ResolveAndCreate(key, subKey, &path, &created);
    if (status != ERROR_SUCCESS) return status;
    const BYTE* bytes = reinterpret_cast<const BYTE*>(data);
    return SetValue(path, L"", REG_SZ, std::vector<BYTE>(bytes, bytes + (std::wcslen(data) + 1) * sizeof(WCHAR)));
} catch (...) {
    return ERROR_NOT_ENOUGH_MEMORY;
}

WINBASEAPI LONG WINAPI RegEnumKeyExW(HKEY key, DWORD index, LPWSTR name, LPDWORD cchName, LPDWORD, LPWSTR keyClass,
                                     LPDWORD cchClass, PFILETIME lastWriteTime) try {
    if (!name || !cchName) return ERROR_INVALID_PARAMETER;
    std::wstring path;
    LONG status = PathWithAccess(key, KEY_ENUMERATE_SUB_KEYS, &path);
    if (status != ERROR_SUCCESS) return status;
    return RegistryStore::Instance().Read([&](const RegistryDocument& document) -> LONG {
        if (!Exists(document, path)) return ERROR_KEY_DELETED;
        std::vector<std::wstring> names = document.SubkeyNames(path);
        if (index >= names.size()) return ERROR_NO_MORE_ITEMS;
        const std::wstring& found = names[index];
        if (found.size() + 1 > *cchName) return ERROR_MORE_DATA;
        std::memcpy(name, found.c_str(), (found.size() + 1) * sizeof(WCHAR));
        *cchName = static_cast<DWORD>(found.size());
        if (keyClass && cchClass && *cchClass > 0) keyClass[0] = L'\0';
        if (cchClass) *cchClass = 0;
        if (lastWriteTime) *lastWriteTime = FILETIME{0, 0};
        return ERROR_SUCCESS;
    });
} catch (...) {
    return ERROR_NOT_ENOUGH_MEMORY;
}

// As on Windows, a key that still has subkeys is not deleted.
WINBASEAPI LONG WINAPI RegDeleteKeyW(HKEY key, LPCWSTR subKey) try {
    if (!subKey) return ERROR_INVALID_PARAMETER;
    std::wstring path;
    LONG status = Resolve(key, subKey, &path);
    if (status != ERROR_SUCCESS) return status;
    if (IsRoot(path)) return ERROR_ACCESS_DENIED;
    return RegistryStore::Instance().Write([&path](RegistryDocument& document, bool* modified) -> LONG {
        if (!document.KeyExists(path)) return ERROR_FILE_NOT_FOUND;
        if (!document.SubkeyNames(path).empty()) return ERROR_ACCESS_DENIED;
        document.DeleteKey(path);
        *modified = true;
        return ERROR_SUCCESS;
    });
} catch (...) {
    return ERROR_NOT_ENOUGH_MEMORY;
}

WINBASEAPI LONG WINAPI RegDeleteValueW(HKEY key, LPCWSTR valueName) try {
    std::wstring path;
    LONG status = PathWithAccess(key, KEY_SET_VALUE, &path);
    if (status != ERROR_SUCCESS) return status;
    const std::wstring name = valueName ? valueName : L"";
    return RegistryStore::Instance().Write([&](RegistryDocument& document, bool* modified) -> LONG {
        if (!Exists(document, path)) return ERROR_KEY_DELETED;
        *modified = document.DeleteValue(path, name);
        return *modified ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
    });
} catch (...) {
    return ERROR_NOT_ENOUGH_MEMORY;
}
