#include "mfsource/VirtualCameras.h"

#include <cstdint>
#include <cwchar>

#include "module/SlotClasses.h"
#include "platform/RegKey.h"

namespace {

const WCHAR kRecordKey[] = L"SOFTWARE\\TALVO\\Oculo\\VirtualCameras";
const DWORD kNameChars = 2048;  // as a slot's name in its settings

std::wstring GuidText(REFGUID guid) {
    WCHAR text[39] = {};
    StringFromGUID2(guid, text, 39);
    return text;
}

std::wstring ValueName(DWORD slot) { return {WCHAR(L'0' + slot / 10 % 10), WCHAR(L'0' + slot % 10)}; }

std::wstring CodeText(HRESULT hr) {
    WCHAR text[16] = {};
    swprintf(text, 16, L"0x%08lX", static_cast<unsigned long>(static_cast<uint32_t>(hr)));
    return text;
}

// The record: the name each slot's camera was made with; empty for none.
std::vector<std::wstring> ReadRecord(REGSAM view) {
    std::vector<std::wstring> names(g_cSlots);
    CRegKey key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kRecordKey, 0, KEY_READ | view, key.Put()) != ERROR_SUCCESS) return names;
    for (DWORD slot = 0; slot < g_cSlots; ++slot) {
        WCHAR name[kNameChars + 1] = {};  // a name of the longest a slot reads, and its end
        DWORD type = 0;
        DWORD cbName = sizeof(name) - sizeof(WCHAR);  // stays terminated, whatever is stored
        if (RegQueryValueExW(key.Get(), ValueName(slot).c_str(), nullptr, &type, reinterpret_cast<BYTE*>(name),
                             &cbName) == ERROR_SUCCESS &&
            type == REG_SZ) {
            names[slot] = name;
        }
    }
    return names;
}

// Records slot's camera under `name`; an empty name removes the entry.
LONG WriteRecord(DWORD slot, const std::wstring& name, REGSAM view) {
    CRegKey key;
    LONG status = RegCreateKeyExW(HKEY_LOCAL_MACHINE, kRecordKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                  KEY_READ | KEY_WRITE | view, nullptr, key.Put(), nullptr);
    if (status != ERROR_SUCCESS) return status;
    const std::wstring value = ValueName(slot);
    if (name.empty()) {
        status = RegDeleteValueW(key.Get(), value.c_str());
        if (status == ERROR_FILE_NOT_FOUND) status = ERROR_SUCCESS;
    } else {
        status = RegSetValueExW(key.Get(), value.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(name.c_str()),
                                DWORD((name.size() + 1) * sizeof(WCHAR)));
    }
    const LONG closed = key.Close();
    return status != ERROR_SUCCESS ? status : closed;
}

// A camera no longer there counts as removed.
bool IsGone(HRESULT hr) {
    return hr == HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) || hr == HRESULT_FROM_WIN32(ERROR_NOT_FOUND);
}

// One run's cameras: what it did, the record as it leaves it, the first failure.
class CRun {
public:
    CRun(CVirtualCameraApi& api, REGSAM view) : m_api(api), m_view(view), m_record(ReadRecord(view)) {}

    const std::wstring& Made(DWORD slot) const { return m_record[slot]; }

    bool Remove(DWORD slot) {
        const std::wstring name = m_record[slot];
        const HRESULT hr = m_api.Remove(SlotCameraArgs(slot, name));
        if (FAILED(hr) && !IsGone(hr)) return Fail(slot, name, L"could not be removed", hr);
        const LONG status = WriteRecord(slot, std::wstring(), m_view);
        if (status != ERROR_SUCCESS) return Fail(slot, name, L"was removed, but its record stays", HRESULT_FROM_WIN32(status));
        m_record[slot].clear();
        ++m_iRemoved;
        return true;
    }

    void Add(DWORD slot, const std::wstring& name) {
        const VirtualCameraArgs args = SlotCameraArgs(slot, name);
        const HRESULT hr = m_api.Add(args);
        if (FAILED(hr)) {
            Fail(slot, name, L"could not be made", hr);
            return;
        }
        const LONG status = WriteRecord(slot, name, m_view);
        if (status != ERROR_SUCCESS) {
            // Unrecorded, no later run would remove it: take it away again.
            m_api.Remove(args);
            Fail(slot, name, L"could not be recorded", HRESULT_FROM_WIN32(status));
            return;
        }
        m_record[slot] = name;
        ++m_iMade;
    }

    VirtualCameraOutcome Outcome() const {
        VirtualCameraOutcome outcome;
        outcome.hr = m_hr;
        if (FAILED(m_hr)) {
            outcome.line = m_failure;
            return outcome;
        }
        int cameras = 0;
        for (const std::wstring& name : m_record) cameras += name.empty() ? 0 : 1;
        outcome.line = L"Windows camera apps: " + std::to_wstring(cameras) + L" virtual camera" +
                       (cameras == 1 ? L"" : L"s") + L" (" + std::to_wstring(m_iMade) + L" made, " +
                       std::to_wstring(m_iRemoved) + L" removed)";
        return outcome;
    }

private:
    bool Fail(DWORD slot, const std::wstring& name, const wchar_t* what, HRESULT hr) {
        if (SUCCEEDED(m_hr)) {
            m_hr = hr;
            m_failure = L"Windows camera apps: the virtual camera of slot " + std::to_wstring(slot) + L" (\"" + name +
                        L"\") " + what + L": " + CodeText(hr);
        }
        return false;
    }

    CVirtualCameraApi& m_api;
    const REGSAM m_view;
    std::vector<std::wstring> m_record;
    int m_iMade = 0;
    int m_iRemoved = 0;
    HRESULT m_hr = S_OK;
    std::wstring m_failure;
};

VirtualCameraOutcome DirectShowOnly() {
    VirtualCameraOutcome outcome;
    outcome.hr = S_FALSE;
    outcome.line = L"Windows camera apps: this system has no virtual cameras (Windows 11 has them); the cameras are "
                   L"DirectShow devices only";
    return outcome;
}

}  // namespace

VirtualCameraArgs SlotCameraArgs(DWORD slot, const std::wstring& name) {
    VirtualCameraArgs args;
    args.type = MFVirtualCameraType_SoftwareCameraSource;
    args.lifetime = MFVirtualCameraLifetime_System;
    args.access = MFVirtualCameraAccess_AllUsers;
    args.friendlyName = name;
    args.sourceId = slot < g_cSlots ? GuidText(g_MediaSourceClsids[slot]) : std::wstring();
    args.categories = {KSCATEGORY_VIDEO_CAMERA};
    return args;
}

VirtualCameraOutcome UpdateVirtualCameras(CVirtualCameraApi& api, const std::vector<VirtualCameraSlot>& slots,
                                          REGSAM view) {
    if (!api.IsAvailable()) return DirectShowOnly();
    std::vector<std::wstring> wanted(g_cSlots);
    for (const VirtualCameraSlot& slot : slots) {
        if (slot.slot < g_cSlots && slot.bUsable && slot.bOn) wanted[slot.slot] = slot.name;
    }
    CRun run(api, view);
    for (DWORD slot = 0; slot < g_cSlots; ++slot) {
        if (run.Made(slot) == wanted[slot]) continue;
        // A camera that could not be removed keeps its slot: no second one beside it.
        if (!run.Made(slot).empty() && !run.Remove(slot)) continue;
        if (!wanted[slot].empty()) run.Add(slot, wanted[slot]);
    }
    return run.Outcome();
}

VirtualCameraOutcome RemoveVirtualCameras(CVirtualCameraApi& api, REGSAM view) {
    if (!api.IsAvailable()) return DirectShowOnly();
    CRun run(api, view);
    for (DWORD slot = 0; slot < g_cSlots; ++slot) {
        if (!run.Made(slot).empty()) run.Remove(slot);
    }
    return run.Outcome();
}
