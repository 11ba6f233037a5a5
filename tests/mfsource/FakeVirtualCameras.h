// A fake of the system's virtual-camera API: it records each call, answers
// with the results a test sets, and says whether the system has the API.
#pragma once

#include <string>
#include <vector>

#include "mfsource/VirtualCameras.h"

struct FakeCameraCall {
    char verb;  // 'A'dd or 'R'emove
    VirtualCameraArgs args;
};

// The calls, one text each: "A0 Front door" (Add, slot 0), "R3 Yard" (Remove).
using CameraCalls = std::vector<std::string>;

class CFakeVirtualCameras : public CVirtualCameraApi {
public:
    bool IsAvailable() override { return m_bAvailable; }
    HRESULT Add(const VirtualCameraArgs& args) override { return Record('A', args, m_hrAdd); }
    HRESULT Remove(const VirtualCameraArgs& args) override { return Record('R', args, m_hrRemove); }

    // The calls since the last look.
    CameraCalls Calls() {
        CameraCalls calls;
        for (const FakeCameraCall& call : m_calls) {
            calls.push_back(call.verb + std::to_string(SlotOf(call.args.sourceId)) + " " +
                            std::string(call.args.friendlyName.begin(), call.args.friendlyName.end()));
        }
        m_calls.clear();
        return calls;
    }

    bool m_bAvailable = true;
    HRESULT m_hrAdd = S_OK;
    HRESULT m_hrRemove = S_OK;
    std::vector<FakeCameraCall> m_calls;

private:
    HRESULT Record(char verb, const VirtualCameraArgs& args, HRESULT hr) {
        m_calls.push_back({verb, args});
        return hr;
    }
    static int SlotOf(const std::wstring& sourceId) {
        for (DWORD slot = 0; slot < 10; ++slot) {
            if (SlotCameraArgs(slot, L"").sourceId == sourceId) return int(slot);
        }
        return -1;
    }
};
