#include "tools/oculo-settings/StartMenu.h"

#include "platform/platform.h"
// After the platform, which brings in the SDK's base headers.
#include <shlobj.h>

#include "platform/ComRef.h"

namespace {

const WCHAR kFolder[] = L"\\Oculo";
const WCHAR kEntry[] = L"\\Oculo Settings.lnk";

// All users' Programs folder; empty when the system does not say.
std::wstring CommonPrograms() {
    PWSTR path = nullptr;
    std::wstring folder;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_CommonPrograms, 0, nullptr, &path))) folder = path;
    CoTaskMemFree(path);
    return folder;
}

std::wstring Failed(const wchar_t* what, HRESULT hr) {
    WCHAR code[16];
    swprintf(code, 16, L"0x%08lX", static_cast<unsigned long>(hr));
    return std::wstring(what) + L" (" + code + L")";
}

}  // namespace

bool AddStartMenuEntry(std::wstring* error) {
    WCHAR self[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, self, MAX_PATH);
    const std::wstring programs = CommonPrograms();
    if (length == 0 || length >= MAX_PATH || programs.empty()) {
        *error = L"cannot find this program or the Start menu's folder";
        return false;
    }
    const std::wstring folder = programs + kFolder;
    if (!CreateDirectoryW(folder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
        *error = Failed((L"cannot make " + folder).c_str(), HRESULT_FROM_WIN32(GetLastError()));
        return false;
    }
    std::wstring directory(self, length);
    directory.resize(directory.find_last_of(L'\\'));
    CComRef<IShellLinkW> link;
    HRESULT hr = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.PutVoid());
    if (SUCCEEDED(hr)) hr = link->SetPath(self);
    if (SUCCEEDED(hr)) hr = link->SetWorkingDirectory(directory.c_str());
    if (SUCCEEDED(hr)) hr = link->SetDescription(L"Set up, try and fix Oculo's network cameras");
    CComRef<IPersistFile> file;
    if (SUCCEEDED(hr)) hr = link->QueryInterface(IID_IPersistFile, file.PutVoid());
    if (SUCCEEDED(hr)) hr = file->Save((folder + kEntry).c_str(), TRUE);
    if (FAILED(hr)) *error = Failed((L"cannot write " + folder + kEntry).c_str(), hr);
    return SUCCEEDED(hr);
}

bool RemoveStartMenuEntry(std::wstring* error) {
    const std::wstring programs = CommonPrograms();
    if (programs.empty()) {
        *error = L"cannot find the Start menu's folder";
        return false;
    }
    const std::wstring folder = programs + kFolder;
    if (!DeleteFileW((folder + kEntry).c_str()) && GetLastError() != ERROR_FILE_NOT_FOUND &&
        GetLastError() != ERROR_PATH_NOT_FOUND) {
        *error = Failed((L"cannot remove " + folder + kEntry).c_str(), HRESULT_FROM_WIN32(GetLastError()));
        return false;
    }
    RemoveDirectoryW(folder.c_str());  // only when empty: the user's own entries stay
    return true;
}
