// The slots' virtual cameras in Windows' camera service, for the Camera app
// and the Store apps that list only its cameras. Each usable slot whose
// switch is on gets a system-wide camera under its name, whose media source is
// the slot's class in the 64-bit module (module/SlotClasses.h). Registration
// records what it made in HKEY_LOCAL_MACHINE, under the key
// SOFTWARE\TALVO\Oculo\VirtualCameras (value "NN": the name slot NN's camera
// was made with), so a later run removes exactly those: a camera is removed
// by asking for it again with the arguments it was made with.
//
// The system's API goes through CVirtualCameraApi, so a fake stands in for it
// in tests. Where the system has none (before Windows 11, Wine, Linux), the
// slots stay DirectShow devices only: one line says so, and it is no failure.
//
// Stateless: any thread may call; the caller serialises runs (a run reads the
// record, acts, then writes it) and has initialised COM.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/MFDeclarations.h"

// What MFCreateVirtualCamera is called with.
struct VirtualCameraArgs {
    MFVirtualCameraType type;
    MFVirtualCameraLifetime lifetime;
    MFVirtualCameraAccess access;
    std::wstring friendlyName;
    std::wstring sourceId;  // the media source's class id, "{...}"
    std::vector<GUID> categories;
};

// The arguments of slot's camera under `name`: a software camera source for
// the whole system and all its users, in the video camera category.
VirtualCameraArgs SlotCameraArgs(DWORD slot, const std::wstring& name);

// The system's virtual-camera API as registration uses it.
class CVirtualCameraApi {
public:
    virtual ~CVirtualCameraApi() = default;
    // Whether the system has it (mfsensorgroup.dll's MFCreateVirtualCamera).
    virtual bool IsAvailable() = 0;
    // Makes the camera and starts it; a system-wide one stays after the call.
    virtual HRESULT Add(const VirtualCameraArgs& args) = 0;
    // Removes the camera made with these arguments.
    virtual HRESULT Remove(const VirtualCameraArgs& args) = 0;
};

// The system's own (SystemVirtualCameras*.cpp); never null.
std::unique_ptr<CVirtualCameraApi> SystemVirtualCameraApi();

// A slot as registration sees it.
struct VirtualCameraSlot {
    DWORD slot;
    bool bUsable;       // IsInstanceUsable
    std::wstring name;  // the slot's name
    bool bOn;           // its switch for the Windows camera apps
};

struct VirtualCameraOutcome {
    // S_OK; S_FALSE when the system has no virtual cameras (DirectShow
    // only); else the first failure (the other slots were still done).
    HRESULT hr = S_OK;
    std::wstring line;  // what happened, in one line for the user
};

// Makes the cameras `slots` ask for (usable and switched on; a slot not
// listed asks for none) and removes the ones made earlier that they no
// longer ask for: cleared, renamed (removed, then made under the new name),
// switched off or unusable. `view`: the registry view of the record
// (KEY_WOW64_64KEY on Windows, 0 where there is one view).
VirtualCameraOutcome UpdateVirtualCameras(CVirtualCameraApi& api, const std::vector<VirtualCameraSlot>& slots,
                                          REGSAM view);
// Removes every camera the record names (unregistering, uninstalling).
VirtualCameraOutcome RemoveVirtualCameras(CVirtualCameraApi& api, REGSAM view);
