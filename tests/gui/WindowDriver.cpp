#include "tests/gui/WindowDriver.h"

#include <commctrl.h>

#include <cstdio>

#include "tools/shared/PngWriter.h"

namespace {

const UINT kAnswerMs = 5000;  // how long a busy program may take to answer one message

struct Search {
    DWORD pid;
    HWND owner;
    const std::wstring* title;
    HWND found;
};

BOOL CALLBACK VisitWindow(HWND window, LPARAM parameter) {
    Search* search = reinterpret_cast<Search*>(parameter);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    WCHAR className[16] = {};
    GetClassNameW(window, className, 16);
    if (pid != search->pid || !IsWindowVisible(window) || std::wstring(className) != L"#32770" ||
        GetWindow(window, GW_OWNER) != search->owner) {
        return TRUE;
    }
    WCHAR title[256] = {};
    GetWindowTextW(window, title, 256);
    if (std::wstring(title).find(*search->title) == std::wstring::npos) return TRUE;
    search->found = window;
    return FALSE;
}

// A block of memory in the list's process, freed with it.
class CRemoteBlock {
public:
    CRemoteBlock(HWND window, SIZE_T bytes) {
        DWORD pid = 0;
        GetWindowThreadProcessId(window, &pid);
        m_process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
        if (m_process) m_address = VirtualAllocEx(m_process, nullptr, bytes, MEM_COMMIT, PAGE_READWRITE);
    }
    ~CRemoteBlock() {
        if (m_address) VirtualFreeEx(m_process, m_address, 0, MEM_RELEASE);
        if (m_process) CloseHandle(m_process);
    }
    CRemoteBlock(const CRemoteBlock&) = delete;
    CRemoteBlock& operator=(const CRemoteBlock&) = delete;

    BYTE* Address() const { return static_cast<BYTE*>(m_address); }
    bool Write(SIZE_T offset, const void* data, SIZE_T bytes) {
        return m_address && WriteProcessMemory(m_process, Address() + offset, data, bytes, nullptr);
    }
    bool Read(SIZE_T offset, void* data, SIZE_T bytes) {
        return m_address && ReadProcessMemory(m_process, Address() + offset, data, bytes, nullptr);
    }

private:
    HANDLE m_process = nullptr;
    void* m_address = nullptr;
};

LRESULT Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, kAnswerMs, &result)) return 0;
    return LRESULT(result);
}

}  // namespace

bool WaitUntil(const std::function<bool()>& done, DWORD limitMs) {
    const DWORD since = GetTickCount();
    while (!done()) {
        if (GetTickCount() - since > limitMs) return false;
        Sleep(50);
    }
    return true;
}

HWND FindDialog(DWORD pid, HWND owner, const std::wstring& title) {
    Search search{pid, owner, &title, nullptr};
    EnumWindows(VisitWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::wstring ControlText(HWND dialog, int id) {
    const HWND control = GetDlgItem(dialog, id);
    const LRESULT length = Send(control, WM_GETTEXTLENGTH, 0, 0);
    std::wstring text(size_t(length) + 1, L'\0');
    text.resize(size_t(Send(control, WM_GETTEXT, WPARAM(text.size()), reinterpret_cast<LPARAM>(&text[0]))));
    return text;
}

void SetControlText(HWND dialog, int id, const std::wstring& text) {
    Send(GetDlgItem(dialog, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void SetCheck(HWND dialog, int id, bool bChecked) {
    Send(GetDlgItem(dialog, id), BM_SETCHECK, bChecked ? BST_CHECKED : BST_UNCHECKED, 0);
}

void PressButton(HWND dialog, int id) { PostMessageW(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }

std::wstring ListCell(HWND list, int row, int column) {
    const int kChars = 512;
    CRemoteBlock block(list, sizeof(LVITEMW) + kChars * sizeof(WCHAR));
    LVITEMW item = {};
    item.iSubItem = column;
    item.cchTextMax = kChars;
    item.pszText = reinterpret_cast<LPWSTR>(block.Address() + sizeof(LVITEMW));
    if (!block.Write(0, &item, sizeof(item))) return L"(cannot reach the list)";
    const LRESULT chars = Send(list, LVM_GETITEMTEXTW, WPARAM(row), reinterpret_cast<LPARAM>(block.Address()));
    std::wstring text(kChars, L'\0');
    if (chars <= 0 || !block.Read(sizeof(LVITEMW), &text[0], kChars * sizeof(WCHAR))) return std::wstring();
    text.resize(size_t(chars < kChars ? chars : kChars - 1));
    return text;
}

bool SelectListRow(HWND list, int row) {
    CRemoteBlock block(list, sizeof(LVITEMW));
    LVITEMW item = {};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = LVIS_SELECTED | LVIS_FOCUSED;
    return block.Write(0, &item, sizeof(item)) &&
           Send(list, LVM_SETITEMSTATE, WPARAM(row), reinterpret_cast<LPARAM>(block.Address())) != 0;
}

DWORD ScreenPicture::At(LONG x, LONG y) const {
    if (x < 0 || y < 0 || x >= width || y >= height) return 0;
    const size_t stride = (size_t(width) * 3 + 3) & ~size_t(3);
    const BYTE* p = pixels.data() + size_t(height - 1 - y) * stride + size_t(x) * 3;
    return DWORD(p[2]) << 16 | DWORD(p[1]) << 8 | p[0];
}

bool CaptureWindow(HWND window, ScreenPicture* picture) {
    RECT rect;
    if (!GetClientRect(window, &rect) || rect.right <= rect.left || rect.bottom <= rect.top) return false;
    MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&rect), 2);
    picture->width = rect.right - rect.left;
    picture->height = rect.bottom - rect.top;
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = picture->width;
    info.bmiHeader.biHeight = picture->height;  // bottom row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    const HDC screen = GetDC(nullptr);
    const HDC memory = CreateCompatibleDC(screen);
    void* bits = nullptr;
    const HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    bool bCaptured = false;
    if (memory && bitmap) {
        const HGDIOBJ previous = SelectObject(memory, bitmap);
        bCaptured = BitBlt(memory, 0, 0, picture->width, picture->height, screen, rect.left, rect.top, SRCCOPY);
        GdiFlush();
        const size_t stride = (size_t(picture->width) * 3 + 3) & ~size_t(3);
        const BYTE* first = static_cast<const BYTE*>(bits);
        picture->pixels.assign(first, first + stride * size_t(picture->height));
        SelectObject(memory, previous);
    }
    if (bitmap) DeleteObject(bitmap);
    if (memory) DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return bCaptured;
}

bool SavePng(const ScreenPicture& picture, const std::string& path) {
    std::string error;
    if (WriteStorePng(path.c_str(), picture.pixels.data(), picture.pixels.size(), picture.width, picture.height,
                      &error)) {
        std::printf("Screenshot: %s\n", path.c_str());
        return true;
    }
    std::fprintf(stderr, "screenshot %s: %s\n", path.c_str(), error.c_str());
    return false;
}
