// Registration of the usable slots as video-input devices, and of the
// property page their filters name.
#include "filter/OculoPage.h"
#include "module/InstanceSettings.h"
#include "module/Module.h"
#include "module/SlotClasses.h"
#include "platform/ComRef.h"

namespace {

// A device entry or class key that is not there counts as removed.
bool IsNotThere(HRESULT hr) {
    return hr == HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) || hr == HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
}

// A Win32 error as a failure code, even when the call left no error number.
HRESULT LastErrorAsFailure() { return static_cast<HRESULT>(0x80070000u | (GetLastError() & 0xFFFFu)); }

// The row of slot's media source in the class table; null in a module that
// serves none (all but the 64-bit Windows one).
const CFactoryTemplate* MediaSourceRow(DWORD slot) {
    for (int i = 0; i < g_cTemplates; ++i) {
        if (g_Templates[i].IsClassID(g_MediaSourceClsids[slot])) return &g_Templates[i];
    }
    return nullptr;
}

// Registers (or removes) one slot's device entry with a filter mapper of its own.
HRESULT MapSlot(const CFactoryTemplate& slot, bool bUsable, BOOL bRegister) {
    CComRef<IFilterMapper2> mapper;
    HRESULT hr = CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper2,
                                  mapper.PutVoid());
    if (FAILED(hr)) {
        return hr;
    }
    if (bRegister) {
        if (bUsable) {
            // A mapper may hand back the entry's moniker: not needed.
            CComRef<IMoniker> moniker;
            hr = mapper->RegisterFilter(*slot.m_ClsID, slot.m_Name, moniker.Put(), &CLSID_VideoInputDeviceCategory,
                                        nullptr, &g_rf2Oculo);
        } else {
            hr = S_OK;
        }
    } else {
        hr = mapper->UnregisterFilter(&CLSID_VideoInputDeviceCategory, nullptr, *slot.m_ClsID);
        if (IsNotThere(hr)) {
            hr = S_OK;
        }
    }
    return hr;
}

}  // namespace

HRESULT RegisterFilters(BOOL bRegister) {
    char achFileName[MAX_PATH];
    const DWORD cchPath = GetModuleFileNameA(g_hInst, achFileName, MAX_PATH);
    if (cchPath == 0 || cchPath >= MAX_PATH) {
        // A path cut to fit would register a file that does not exist.
        return LastErrorAsFailure();
    }
    WCHAR achTemp[MAX_PATH];
    if (MultiByteToWideChar(CP_ACP, 0, achFileName, -1, achTemp, MAX_PATH) == 0) {
        return LastErrorAsFailure();
    }

    const HRESULT hrInit = CoInitialize(nullptr);
    const bool bCoInitialized = SUCCEEDED(hrInit);
    // Unregistering from a thread in the other mode refuses with that code;
    // registering works on the caller's own initialisation.
    HRESULT hr = bRegister ? S_OK : hrInit;
    bool bAnyUsable = false;
    // The slots' rows only: the page's row follows them.
    for (DWORD n = 0; n < g_cSlots; n++) {
        const CFactoryTemplate& slot = g_Templates[n];
        const CFactoryTemplate* source = MediaSourceRow(n);
        const bool bUsable = IsSlotUsable(n);
        bAnyUsable = bAnyUsable || bUsable;
        if (bRegister) {
            // Every usable slot is registered, whichever failed before it;
            // the first failure is the answer.
            HRESULT hrSlot = bUsable ? AMovieSetupRegisterServer(*slot.m_ClsID, slot.m_Name, achTemp, L"Both",
                                                                 L"InprocServer32")
                                     : S_OK;
            if (SUCCEEDED(hrSlot)) {
                hrSlot = MapSlot(slot, bUsable, bRegister);
            }
            // The slot's media source goes with its filter: the camera
            // service creates it from any thread.
            if (source && bUsable && SUCCEEDED(hrSlot)) {
                hrSlot = AMovieSetupRegisterServer(*source->m_ClsID, source->m_Name, achTemp, L"Both", L"InprocServer32");
            }
            if (SUCCEEDED(hr)) {
                hr = hrSlot;
            }
            continue;
        }
        // Unregistering carries a real failure over: the later slots are left alone.
        if (SUCCEEDED(hr)) {
            hr = MapSlot(slot, bUsable, bRegister);
        }
        if (SUCCEEDED(hr)) {
            hr = AMovieSetupUnregisterServer(*slot.m_ClsID);
        }
        if (source && SUCCEEDED(hr)) {
            hr = AMovieSetupUnregisterServer(*source->m_ClsID);
        }
    }
    // The page goes with the filters that name it: registered beside any
    // usable slot (a page that cannot be registered fails the registration:
    // the slots' "camera settings" would show nothing), removed after them.
    // A UI object, it lives in its caller's single-threaded apartment.
    if (bRegister && bAnyUsable) {
        const HRESULT hrPage =
            AMovieSetupRegisterServer(CLSID_OculoPage, kOculoPageName, achTemp, L"Apartment", L"InprocServer32");
        if (SUCCEEDED(hr)) {
            hr = hrPage;
        }
    } else if (!bRegister && SUCCEEDED(hr)) {
        hr = AMovieSetupUnregisterServer(CLSID_OculoPage);
    }
    CoFreeUnusedLibraries();
    if (bCoInitialized) {
        CoUninitialize();
    }
    return hr;
}

STDAPI DllRegisterServer(void) { return RegisterFilters(TRUE); }

STDAPI DllUnregisterServer(void) { return RegisterFilters(FALSE); }
