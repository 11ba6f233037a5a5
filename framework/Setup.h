// Registration of a class as an in-process server of this module, and the
// filter registration data a class may carry in its factory template.
//
// Threading: any thread; the registry serialises the writes.
#pragma once

#include "platform/platform.h"

// Filter registration data as the filter mapper takes it.
typedef REGPINTYPES AMOVIESETUP_MEDIATYPE;
typedef REGFILTERPINS AMOVIESETUP_PIN;
struct AMOVIESETUP_FILTER {
    const CLSID* clsID;
    const WCHAR* strName;
    DWORD dwMerit;
    UINT nPins;
    const AMOVIESETUP_PIN* lpPin;
};

// Writes HKCR\CLSID\{clsid} (default value: description) and its serverType
// subkey (default value: fileName, "ThreadingModel": threadingModel).
// Stops at the first failing registry call and reports it as 0x8007xxxx.
HRESULT AMovieSetupRegisterServer(REFCLSID clsServer, LPCWSTR szDescription, LPCWSTR szFileName,
                                  LPCWSTR szThreadingModel = L"Both", LPCWSTR szServerType = L"InprocServer32");
// Removes HKCR\CLSID\{clsid} with everything below it; S_OK whatever was there.
HRESULT AMovieSetupUnregisterServer(REFCLSID clsServer);
// Deletes hkey\szSubKey and everything below it. E_FAIL for an empty name (the
// key itself is never deleted); S_OK when there is nothing to delete.
HRESULT EliminateSubKey(HKEY hkey, LPCWSTR szSubKey);

// The work behind IAMovieSetup::Register (bRegister TRUE) and Unregister
// (FALSE) of a filter whose setup data is pSetup: S_FALSE without data,
// otherwise registers (or only unregisters) the filter with the platform's
// filter mapper. Register answers S_OK whatever the mapper did; Unregister the
// mapper's result, with "was not registered" as S_OK.
HRESULT AMovieSetupRegisterFilter(const AMOVIESETUP_FILTER* pSetup, BOOL bRegister);
