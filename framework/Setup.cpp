#include "framework/Setup.h"

#include <cwchar>

#include "platform/ComRef.h"
#include "platform/RegKey.h"

namespace {
// Every text written is bounded by this working size, terminator included.
const int kMaxText = 260;
// Windows refuses registry trees deeper than this; a deeper tree (a hand-edited
// registry file) is not followed further, so the recursion stays bounded.
const int kMaxDepth = 512;

// A text fits when it and its terminator fit in the working size.
bool Fits(LPCWSTR text) { return text != nullptr && lstrlenW(text) < kMaxText; }

DWORD TextBytes(LPCWSTR text) { return static_cast<DWORD>((lstrlenW(text) + 1) * sizeof(WCHAR)); }

// "CLSID\{xxxxxxxx-...}" for clsid.
void ClassKeyName(REFCLSID clsid, WCHAR (&name)[kMaxText]) {
    static const WCHAR kPrefix[] = L"CLSID\\";
    const int prefix = static_cast<int>(sizeof(kPrefix) / sizeof(WCHAR)) - 1;
    for (int i = 0; i <= prefix; i++) {
        name[i] = kPrefix[i];
    }
    StringFromGUID2(clsid, name + prefix, 39);
}

bool SameName(const WCHAR* a, const WCHAR* b) { return lstrlenW(a) == lstrlenW(b) && std::wmemcmp(a, b, lstrlenW(a)) == 0; }

// Deletes the subkeys of hkey; a subkey that cannot be deleted is stepped
// over, so each pass either removes a key or moves on and the loop ends.
void EliminateChildren(HKEY hkey, int depth);

HRESULT EliminateAt(HKEY hkey, LPCWSTR szSubKey, int depth) {
    if (szSubKey == nullptr || szSubKey[0] == 0) {
        return E_FAIL;
    }
    CRegKey key;
    if (RegOpenKeyExW(hkey, szSubKey, 0, MAXIMUM_ALLOWED, key.Put()) != ERROR_SUCCESS) {
        return S_OK;
    }
    if (depth < kMaxDepth) {
        EliminateChildren(key.Get(), depth + 1);
    }
    key.Close();
    RegDeleteKeyW(hkey, szSubKey);
    return S_OK;
}

void EliminateChildren(HKEY hkey, int depth) {
    DWORD index = 0;
    WCHAR name[kMaxText];
    for (;;) {
        DWORD cch = kMaxText;
        LONG e = RegEnumKeyExW(hkey, index, name, &cch, nullptr, nullptr, nullptr, nullptr);
        if (e == ERROR_MORE_DATA) {
            index++;  // a name longer than any key name should be: step over it
            continue;
        }
        if (e != ERROR_SUCCESS) {
            return;
        }
        EliminateAt(hkey, name, depth);
        WCHAR again[kMaxText];
        cch = kMaxText;
        if (RegEnumKeyExW(hkey, index, again, &cch, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
            return;
        }
        if (SameName(name, again)) {
            index++;  // it survived: give up on it and go on with the next
        }
    }
}

GUID Or(const GUID* guid, const GUID& fallback) { return guid != nullptr ? *guid : fallback; }

HRESULT RegisterWithMapper(IFilterMapper* mapper, const AMOVIESETUP_FILTER& setup) {
    const CLSID clsid = *setup.clsID;
    HRESULT hr = mapper->RegisterFilter(clsid, setup.strName, setup.dwMerit);
    for (UINT i = 0; SUCCEEDED(hr) && setup.lpPin != nullptr && i < setup.nPins; i++) {
        const AMOVIESETUP_PIN& pin = setup.lpPin[i];
        hr = mapper->RegisterPin(clsid, pin.strName, pin.bRendered, pin.bOutput, pin.bZero, pin.bMany,
                                 Or(pin.clsConnectsToFilter, GUID_NULL), pin.strConnectsToPin);
        for (UINT t = 0; SUCCEEDED(hr) && pin.lpMediaType != nullptr && t < pin.nMediaTypes; t++) {
            const AMOVIESETUP_MEDIATYPE& type = pin.lpMediaType[t];
            hr = mapper->RegisterPinType(clsid, pin.strName, Or(type.clsMajorType, GUID_NULL),
                                         Or(type.clsMinorType, GUID_NULL));
        }
    }
    return hr;
}
}  // namespace

HRESULT AMovieSetupRegisterServer(REFCLSID clsServer, LPCWSTR szDescription, LPCWSTR szFileName,
                                  LPCWSTR szThreadingModel, LPCWSTR szServerType) {
    // Texts that do not fit the working size are refused rather than cut.
    if (!Fits(szDescription) || !Fits(szFileName) || !Fits(szThreadingModel) || !Fits(szServerType)) {
        return E_INVALIDARG;
    }
    WCHAR className[kMaxText];
    ClassKeyName(clsServer, className);

    CRegKey classKey;
    LONG e = RegCreateKeyW(HKEY_CLASSES_ROOT, className, classKey.Put());
    if (e != ERROR_SUCCESS) {
        return HRESULT_FROM_WIN32(e);
    }
    e = RegSetValueW(classKey.Get(), nullptr, REG_SZ, szDescription, TextBytes(szDescription));
    if (e != ERROR_SUCCESS) {
        return HRESULT_FROM_WIN32(e);
    }
    CRegKey serverKey;
    e = RegCreateKeyW(classKey.Get(), szServerType, serverKey.Put());
    if (e != ERROR_SUCCESS) {
        return HRESULT_FROM_WIN32(e);
    }
    e = RegSetValueW(serverKey.Get(), nullptr, REG_SZ, szFileName, TextBytes(szFileName));
    if (e != ERROR_SUCCESS) {
        return HRESULT_FROM_WIN32(e);
    }
    e = RegSetValueExW(serverKey.Get(), L"ThreadingModel", 0, REG_SZ,
                       reinterpret_cast<const BYTE*>(szThreadingModel), TextBytes(szThreadingModel));
    return HRESULT_FROM_WIN32(e);
}

HRESULT AMovieSetupUnregisterServer(REFCLSID clsServer) {
    WCHAR className[kMaxText];
    ClassKeyName(clsServer, className);
    EliminateSubKey(HKEY_CLASSES_ROOT, className);
    return S_OK;
}

HRESULT EliminateSubKey(HKEY hkey, LPCWSTR szSubKey) { return EliminateAt(hkey, szSubKey, 0); }

HRESULT AMovieSetupRegisterFilter(const AMOVIESETUP_FILTER* pSetup, BOOL bRegister) {
    if (pSetup == nullptr) {
        return S_FALSE;
    }
    if (pSetup->clsID == nullptr) {
        return E_POINTER;
    }
    // Balance only an initialisation that took: uninitialising after a refused
    // one would undo the caller's own.
    const HRESULT hrInit = CoInitialize(nullptr);
    HRESULT hr;
    {
        CComRef<IFilterMapper> mapper;
        hr = CoCreateInstance(CLSID_FilterMapper, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper,
                              mapper.PutVoid());
        if (SUCCEEDED(hr)) {
            hr = mapper->UnregisterFilter(*pSetup->clsID);
            if (bRegister) {
                hr = RegisterWithMapper(mapper.Get(), *pSetup);
            }
        }
    }
    CoFreeUnusedLibraries();
    if (SUCCEEDED(hrInit)) {
        CoUninitialize();
    }
    if (bRegister) {
        return S_OK;
    }
    return hr == HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) ? S_OK : hr;
}
