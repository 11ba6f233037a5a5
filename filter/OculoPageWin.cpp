// The slot's property page on Windows: a dialog in the system's property
// frame showing the slot's settings and, refreshed each second, its
// camera's status, with a button that starts Oculo Settings.
//
// Threads: the frame's thread, a single-threaded apartment: every method and
// every message of the dialog run there, so the page takes no lock. The
// status is read through IOculoStatus, which never waits; the settings shown
// are the filter's own copy (IOculoSettings), read once when it is given.
//
// Lifetime: the page holds the filter (through its IOculoStatus) from
// SetObjects until SetObjects(0, nullptr) or its own end, and its window and
// timer from Activate until Deactivate, or until the frame destroys the
// window first: nothing of the page outlives the frame's hold on it.
#include <new>
#include <string>

#include "filter/OculoPage.h"
#include "filter/OculoPageIds.h"
#include "filter/PageText.h"
#include "filter/SettingsInterface.h"
#include "module/SlotClasses.h"
#include "platform/ComRef.h"

// After the platform, which brings in windows.h.
#include <commctrl.h>
#include <shellapi.h>

namespace {

const UINT_PTR kRefreshTimer = 1;
const UINT kRefreshMs = 1000;
const WCHAR kPageTitle[] = L"Camera";
const WCHAR kSettingsProgram[] = L"oculo-settings.exe";
const WCHAR kMessageTitle[] = L"Oculo";

// The copy of the dialog made only to measure it handles no message.
INT_PTR CALLBACK MeasureProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

// The dialog's size in pixels: its template is in dialog units of its font,
// so the size follows the font and the screen's DPI.
HRESULT MeasureDialog(SIZE* pSize) {
    HWND hwnd = CreateDialogParamW(g_hInst, MAKEINTRESOURCEW(IDD_OCULO_PAGE), GetDesktopWindow(), MeasureProc, 0);
    if (!hwnd) {
        const DWORD error = GetLastError();
        return error ? HRESULT_FROM_WIN32(error) : E_FAIL;
    }
    RECT rect = {};
    GetWindowRect(hwnd, &rect);
    DestroyWindow(hwnd);
    pSize->cx = rect.right - rect.left;
    pSize->cy = rect.bottom - rect.top;
    return S_OK;
}

LPOLESTR TaskMemText(const WCHAR* text) {
    const size_t bytes = (wcslen(text) + 1) * sizeof(WCHAR);
    LPOLESTR copy = static_cast<LPOLESTR>(CoTaskMemAlloc(bytes));
    if (copy) memcpy(copy, text, bytes);
    return copy;
}

// The program beside this module, or empty when the module's path is unknown.
std::wstring ProgramBesideModule(const WCHAR* program) {
    WCHAR path[MAX_PATH];
    const DWORD n = GetModuleFileNameW(g_hInst, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return std::wstring();
    std::wstring folder(path, n);
    const size_t slash = folder.find_last_of(L"\\/");
    if (slash == std::wstring::npos) return std::wstring();
    return folder.substr(0, slash + 1) + program;
}

class COculoPage final : public CUnknown, public IPropertyPage {
public:
    explicit COculoPage(LPUNKNOWN pUnk) : CUnknown(L"Oculo page", pUnk) {}
    ~COculoPage() override { Deactivate(); }

    DECLARE_IUNKNOWN

    STDMETHODIMP NonDelegatingQueryInterface(REFIID riid, void** ppv) override {
        if (riid == IID_IPropertyPage) {
            return GetInterface(static_cast<IPropertyPage*>(this), ppv);
        }
        return CUnknown::NonDelegatingQueryInterface(riid, ppv);
    }

    // The page never tells the frame of changes: it keeps no site.
    STDMETHODIMP SetPageSite(IPropertyPageSite* /*pPageSite*/) override { return S_OK; }

    STDMETHODIMP Activate(HWND hWndParent, LPCRECT pRect, BOOL /*bModal*/) override {
        if (!pRect) return E_POINTER;
        if (m_hwnd) return E_UNEXPECTED;
        // WM_INITDIALOG records the page with the window: m_hwnd is set there.
        if (!CreateDialogParamW(g_hInst, MAKEINTRESOURCEW(IDD_OCULO_PAGE), hWndParent, DialogProc,
                                reinterpret_cast<LPARAM>(this))) {
            const DWORD error = GetLastError();
            return error ? HRESULT_FROM_WIN32(error) : E_FAIL;
        }
        Move(pRect);
        ShowSlot();
        ShowStatus();
        SendDlgItemMessageW(m_hwnd, IDC_OCULO_CHANGE, BCM_SETSHIELD, 0, TRUE);
        SetTimer(m_hwnd, kRefreshTimer, kRefreshMs, nullptr);
        return S_OK;
    }

    STDMETHODIMP Deactivate() override {
        if (m_hwnd) DestroyWindow(m_hwnd);  // WM_DESTROY stops the timer and forgets the window
        return S_OK;
    }

    STDMETHODIMP GetPageInfo(PROPPAGEINFO* pPageInfo) override {
        if (!pPageInfo) return E_POINTER;
        SIZE size = {};
        const HRESULT hr = MeasureDialog(&size);
        if (FAILED(hr)) return hr;
        LPOLESTR title = TaskMemText(kPageTitle);
        if (!title) return E_OUTOFMEMORY;
        pPageInfo->cb = sizeof(PROPPAGEINFO);
        pPageInfo->pszTitle = title;
        pPageInfo->size = size;
        pPageInfo->pszDocString = nullptr;
        pPageInfo->pszHelpFile = nullptr;
        pPageInfo->dwHelpContext = 0;
        return S_OK;
    }

    // The first object that is one of our slots' filters; none (cObjects 0)
    // lets go of the filter held.
    STDMETHODIMP SetObjects(ULONG cObjects, IUnknown** ppUnk) override {
        m_status.Reset();
        if (cObjects == 0) return S_OK;
        if (!ppUnk) return E_POINTER;
        for (ULONG i = 0; i < cObjects && !m_status; ++i) {
            if (ppUnk[i]) TakeSlotFilter(ppUnk[i]);
        }
        if (!m_status) return E_NOINTERFACE;
        if (m_hwnd) {
            ShowSlot();
            ShowStatus();
        }
        return S_OK;
    }

    STDMETHODIMP Show(UINT nCmdShow) override {
        if (!m_hwnd) return E_UNEXPECTED;
        ShowWindow(m_hwnd, static_cast<int>(nCmdShow));
        return S_OK;
    }

    STDMETHODIMP Move(LPCRECT pRect) override {
        if (!pRect) return E_POINTER;
        if (!m_hwnd) return E_UNEXPECTED;
        SetWindowPos(m_hwnd, nullptr, pRect->left, pRect->top, pRect->right - pRect->left,
                     pRect->bottom - pRect->top, SWP_NOZORDER | SWP_NOACTIVATE);
        return S_OK;
    }

    // Nothing is edited in the page itself: settings change in Oculo Settings.
    STDMETHODIMP IsPageDirty() override { return S_FALSE; }
    STDMETHODIMP Apply() override { return S_OK; }
    STDMETHODIMP Help(LPCOLESTR) override { return E_NOTIMPL; }

    // Tab and the button's access key work inside the frame.
    STDMETHODIMP TranslateAccelerator(MSG* pMsg) override {
        if (!pMsg) return E_POINTER;
        return m_hwnd && IsDialogMessageW(m_hwnd, pMsg) ? S_OK : S_FALSE;
    }

private:
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_INITDIALOG) {
            COculoPage* pPage = reinterpret_cast<COculoPage*>(lParam);
            SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
            pPage->m_hwnd = hwnd;
            return FALSE;  // the frame decides where the focus goes
        }
        COculoPage* pPage = reinterpret_cast<COculoPage*>(GetWindowLongPtrW(hwnd, DWLP_USER));
        if (!pPage) return FALSE;
        switch (message) {
        case WM_TIMER:
            if (wParam == kRefreshTimer) pPage->ShowStatus();
            return TRUE;
        case WM_COMMAND:
            if (LOWORD(wParam) == IDC_OCULO_CHANGE && HIWORD(wParam) == BN_CLICKED) {
                pPage->StartSettingsProgram();
                return TRUE;
            }
            return FALSE;
        case WM_DESTROY:
            // Also when the frame destroys its pages' windows without a
            // Deactivate: no timer outlives the window.
            KillTimer(hwnd, kRefreshTimer);
            SetWindowLongPtrW(hwnd, DWLP_USER, 0);
            pPage->m_hwnd = nullptr;
            return FALSE;
        default:
            return FALSE;
        }
    }

    void TakeSlotFilter(IUnknown* pObject) {
        CComRef<IPersist> persist;
        CLSID clsid = {};
        if (FAILED(pObject->QueryInterface(IID_IPersist, persist.PutVoid())) || FAILED(persist->GetClassID(&clsid))) {
            return;
        }
        CComRef<IOculoSettings> filter;
        if (SlotOfClass(clsid) < 0 || FAILED(pObject->QueryInterface(IID_IOculoSettings, filter.PutVoid()))) {
            return;
        }
        InstanceSettings settings;
        if (FAILED(filter->GetSettings(&settings)) ||
            FAILED(pObject->QueryInterface(IID_IOculoStatus, m_status.PutVoid()))) {
            return;
        }
        m_texts = DescribeSlot(settings);
    }

    void ShowSlot() {
        SetDlgItemTextW(m_hwnd, IDC_OCULO_NAME, m_texts.name.c_str());
        SetDlgItemTextW(m_hwnd, IDC_OCULO_ADDRESS, m_texts.address.c_str());
        SetDlgItemTextW(m_hwnd, IDC_OCULO_PICTURE, m_texts.picture.c_str());
        SetDlgItemTextW(m_hwnd, IDC_OCULO_CROP, m_texts.crop.c_str());
    }

    // Only a changed text is set, so the page does not flicker each second.
    void ShowStatus() {
        OCULO_STATUS status = {};
        status.cbSize = sizeof(status);
        std::wstring text = L"No camera";
        if (m_status && SUCCEEDED(m_status->GetStatus(&status))) text = DescribeStatus(status);
        if (text == m_statusText) return;
        m_statusText = text;
        SetDlgItemTextW(m_hwnd, IDC_OCULO_STATUS, text.c_str());
    }

    // The program's manifest asks for administrator rights, so the system
    // asks the user to allow it; a refusal there is the user's answer.
    void StartSettingsProgram() {
        const std::wstring program = ProgramBesideModule(kSettingsProgram);
        if (program.empty() || GetFileAttributesW(program.c_str()) == INVALID_FILE_ATTRIBUTES) {
            const std::wstring text = L"Oculo Settings was not found beside the camera module:\n" +
                                      (program.empty() ? std::wstring(kSettingsProgram) : program) +
                                      L"\n\nInstall Oculo again to change the cameras' settings.";
            MessageBoxW(m_hwnd, text.c_str(), kMessageTitle, MB_OK | MB_ICONWARNING);
            return;
        }
        SHELLEXECUTEINFOW info = {};
        info.cbSize = sizeof(info);
        info.fMask = SEE_MASK_FLAG_NO_UI;
        info.hwnd = m_hwnd;
        info.lpFile = program.c_str();
        info.nShow = SW_SHOWNORMAL;
        if (ShellExecuteExW(&info) || GetLastError() == ERROR_CANCELLED) return;
        const std::wstring text =
            L"Oculo Settings could not be started (error " + std::to_wstring(GetLastError()) + L"):\n" + program;
        MessageBoxW(m_hwnd, text.c_str(), kMessageTitle, MB_OK | MB_ICONWARNING);
    }

    CComRef<IOculoStatus> m_status;  // the filter's; null while the page has none
    SlotPageTexts m_texts;           // the filter's settings, read when it was given
    std::wstring m_statusText;       // what the status control shows
    HWND m_hwnd = nullptr;           // the dialog, from WM_INITDIALOG to WM_DESTROY
};

}  // namespace

CUnknown* CreateOculoPage(LPUNKNOWN pUnk, HRESULT* /*phr*/) { return new (std::nothrow) COculoPage(pUnk); }
