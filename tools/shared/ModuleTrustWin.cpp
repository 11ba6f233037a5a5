// Whether a module may be registered, on Windows (see ModuleTrust.h): from
// the installed location recorded under HKEY_LOCAL_MACHINE, or from a local
// folder that, with its files and the folders above it, nobody but
// administrators can change.
#include "tools/shared/ModuleTrust.h"
#include "tools/shared/ModuleTrustWin.h"

#include <sddl.h>  // after the platform's windows.h

#include <memory>
#include <vector>

#include "platform/RegKey.h"
#include "tools/shared/ConsoleText.h"

namespace {

// Where the installer and install.cmd record the installed location (the
// 64-bit view of a 64-bit system), beside the slots' keys.
const WCHAR kInstallKey[] = L"SOFTWARE\\TALVO\\Oculo";
const WCHAR kInstallValue[] = L"InstallDir";

// Rights that change what a module loads: in its folder and its files, any
// write, addition, deletion, take-over or change of permissions; in a folder
// above, whatever renames or deletes what it holds (a user who may rename an
// entry puts a folder of their own in its place).
const DWORD kContentsRights = FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_DELETE_CHILD | DELETE | WRITE_DAC |
                              WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL;
const DWORD kAboveRights = FILE_DELETE_CHILD | DELETE | WRITE_DAC | WRITE_OWNER | GENERIC_ALL;

// SYSTEM, Administrators, TrustedInstaller: administrators whoever logs on.
const WCHAR* const kAdministrativeSids[] = {L"S-1-5-18", L"S-1-5-32-544",
                                            L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464"};
// OWNER RIGHTS: its entry replaces what the owner may always do.
const WCHAR kOwnerRightsSid[] = L"S-1-3-4";

struct LocalFreer {
    void operator()(void* memory) const { LocalFree(memory); }
};
struct HandleCloser {
    void operator()(HANDLE handle) const { CloseHandle(handle); }
};
struct SearchCloser {
    void operator()(HANDLE search) const { FindClose(search); }
};

std::wstring SidText(PSID sid) {
    LPWSTR text = nullptr;
    if (!ConvertSidToStringSidW(sid, &text)) return std::wstring();
    const std::unique_ptr<WCHAR, LocalFreer> hold(text);
    return text;
}

bool IsAdministrative(const std::wstring& sid) {
    for (const WCHAR* known : kAdministrativeSids) {
        if (sid == known) return true;
    }
    return false;
}

// "DOMAIN\name" as the system names the account, else the SID as text.
std::string AccountName(PSID sid) {
    WCHAR name[256];
    WCHAR domain[256];
    DWORD cchName = 256;
    DWORD cchDomain = 256;
    SID_NAME_USE use;
    if (!LookupAccountSidW(nullptr, sid, name, &cchName, domain, &cchDomain, &use)) {
        return ToNarrow(SidText(sid).c_str());
    }
    return ToNarrow(((domain[0] ? std::wstring(domain) + L"\\" : std::wstring()) + name).c_str());
}

bool IsDenial(BYTE type) {
    return type == ACCESS_DENIED_ACE_TYPE || type == ACCESS_DENIED_CALLBACK_ACE_TYPE ||
           type == ACCESS_DENIED_OBJECT_ACE_TYPE || type == ACCESS_DENIED_CALLBACK_OBJECT_ACE_TYPE;
}

bool SamePath(const std::wstring& a, const std::wstring& b) {
    return CompareStringOrdinal(a.c_str(), int(a.size()), b.c_str(), int(b.size()), TRUE) == CSTR_EQUAL;
}

// The path of a file or folder with every link on the way resolved, as
// "C:\...", "UNC\server\share\..." for a network share; empty when it
// cannot be opened.
std::wstring RealPath(const std::wstring& path) {
    // No access asked for: the handle only names the file; backup semantics
    // open folders too.
    const HANDLE file = CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) return std::wstring();
    const std::unique_ptr<void, HandleCloser> hold(file);
    WCHAR real[MAX_PATH + 4];
    const DWORD cch = GetFinalPathNameByHandleW(file, real, MAX_PATH + 4, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (cch == 0 || cch >= MAX_PATH + 4) return std::wstring();
    const std::wstring text = real;
    return text.compare(0, 4, L"\\\\?\\") == 0 ? text.substr(4) : text;
}

bool IsOnLocalDrive(const std::wstring& path) { return path.size() > 3 && path[1] == L':' && path[2] == L'\\'; }

// "C:\a\b\file" gives "C:\a\b"; "C:\file" gives "C:\".
std::wstring FolderOf(const std::wstring& path) {
    const size_t slash = path.find_last_of(L'\\');
    return path.substr(0, slash <= 2 ? 3 : slash);
}

// Whether the folder is x64 or x86 in the installed location that the
// installer or install.cmd recorded, which only administrators can write.
bool IsInstalledFolder(const std::wstring& folder) {
    CRegKey key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kInstallKey, 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY, key.Put()) !=
        ERROR_SUCCESS) {
        return false;
    }
    WCHAR recorded[MAX_PATH] = {};
    DWORD type = 0;
    DWORD bytes = sizeof(recorded) - sizeof(WCHAR);
    if (RegQueryValueExW(key.Get(), kInstallValue, nullptr, &type, reinterpret_cast<BYTE*>(recorded), &bytes) !=
            ERROR_SUCCESS ||
        type != REG_SZ) {
        return false;
    }
    const std::wstring installed = RealPath(recorded);
    const std::wstring name = folder.substr(folder.find_last_of(L'\\') + 1);
    return !installed.empty() && SamePath(FolderOf(folder), installed) &&
           (SamePath(name, L"x64") || SamePath(name, L"x86"));
}

// "<who> may change <path>", or empty.
std::string ChangedBy(const std::wstring& path, ModulePathRole role) {
    const std::string who = WhoElseMayChangePath(path, role);
    return who.empty() ? who : who + " may change " + ToNarrow(path.c_str());
}

// Why others than administrators may change what the module in `folder`
// loads: the folder, a file in it (the module loads its FFmpeg libraries
// from there), or a folder above it; empty when nobody may.
std::string WhyFolderIsOpen(const std::wstring& folder) {
    std::string why = ChangedBy(folder, ModulePathRole::kContents);
    if (!why.empty()) return why;
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        return "the files in " + ToNarrow(folder.c_str()) + " cannot be listed (error " +
               std::to_string(GetLastError()) + ")";
    }
    const std::unique_ptr<void, SearchCloser> hold(search);
    do {
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
            why = ChangedBy(folder + L"\\" + found.cFileName, ModulePathRole::kContents);
        }
    } while (why.empty() && FindNextFileW(search, &found));
    for (std::wstring above = folder; why.empty() && above.size() > 3;) {
        above = FolderOf(above);
        why = ChangedBy(above, ModulePathRole::kAbove);
    }
    return why;
}

}  // namespace

std::string WhoElseMayChange(PSECURITY_DESCRIPTOR descriptor, ModulePathRole role) {
    const DWORD rights = role == ModulePathRole::kContents ? kContentsRights : kAboveRights;
    PSID owner = nullptr;
    PACL list = nullptr;
    BOOL bPresent = FALSE;
    BOOL bDefaulted = FALSE;
    if (!IsValidSecurityDescriptor(descriptor) || !GetSecurityDescriptorOwner(descriptor, &owner, &bDefaulted) ||
        owner == nullptr || !GetSecurityDescriptorDacl(descriptor, &bPresent, &list, &bDefaulted)) {
        return "anyone (no owner or permissions are recorded)";
    }
    if (!bPresent || list == nullptr) return "Everyone (no permissions are set)";
    bool bOwnerRights = false;
    for (DWORD i = 0; i < list->AceCount; ++i) {
        void* entry = nullptr;
        if (!GetAce(list, i, &entry)) return "anyone (a permission cannot be read)";
        const ACE_HEADER& header = *static_cast<const ACE_HEADER*>(entry);
        if ((header.AceFlags & INHERIT_ONLY_ACE) != 0 || IsDenial(header.AceType)) continue;
        if (header.AceType != ACCESS_ALLOWED_ACE_TYPE && header.AceType != ACCESS_ALLOWED_CALLBACK_ACE_TYPE) {
            return "anyone (a permission of a kind this check does not know)";
        }
        ACCESS_ALLOWED_ACE& allowed = *static_cast<ACCESS_ALLOWED_ACE*>(entry);
        const PSID sid = &allowed.SidStart;
        const std::wstring sidText = SidText(sid);
        bOwnerRights = bOwnerRights || sidText == kOwnerRightsSid;
        if ((allowed.Mask & rights) != 0 && !IsAdministrative(sidText)) return AccountName(sid);
    }
    if (!bOwnerRights && !IsAdministrative(SidText(owner))) return AccountName(owner) + ", its owner,";
    return std::string();
}

std::string WhoElseMayChangePath(const std::wstring& path, ModulePathRole role) {
    const SECURITY_INFORMATION wanted = OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
    DWORD bytes = 0;
    GetFileSecurityW(path.c_str(), wanted, nullptr, 0, &bytes);
    std::vector<BYTE> descriptor(bytes);
    if (bytes == 0 || !GetFileSecurityW(path.c_str(), wanted, descriptor.data(), bytes, &bytes)) {
        return "anyone (its permissions cannot be read: error " + std::to_string(GetLastError()) + ")";
    }
    return WhoElseMayChange(descriptor.data(), role);
}

std::string WhyNotRegistrable(const std::string& modulePath, std::string* registeredPath) {
    const std::wstring real = RealPath(ToWide(modulePath.c_str()));
    const DWORD error = GetLastError();
    *registeredPath = ToNarrow(real.c_str());
    if (real.empty() || registeredPath->empty()) {
        return modulePath + " cannot be found by its full path (error " + std::to_string(error) + ")";
    }
    if (!IsOnLocalDrive(real)) {
        return modulePath + " is not on a local drive: its folder's permissions are the server's to change";
    }
    const std::wstring folder = FolderOf(real);
    if (IsInstalledFolder(folder)) return std::string();
    const std::string why = WhyFolderIsOpen(folder);
    return why.empty() ? why : why + ", and every application would load the module from there";
}

std::string UncheckedModuleNote(const std::string& modulePath) {
    return modulePath + ": registered as named; its folder was not checked for who else can change it";
}
