// A camera given by its address alone (oculo-grab --url): shown through a
// slot of a registry of this run's own, with the module registered there,
// so the user's settings and registrations are never touched. The POSIX
// stand-in's registry is a file a process may choose (ThrowawaySlotPosix.cpp);
// Windows has one registry for the machine, so there the slot cannot be had
// and the tool asks for a configured slot instead (ThrowawaySlotWin.cpp).
//
// Threading: the tool's main thread; the registry choice is the process's.
#pragma once

#include <string>

#include "platform/platform.h"

const DWORD kThrowawaySlot = 0;
const DWORD kThrowawayWidth = 640;
const DWORD kThrowawayHeight = 480;
const float kThrowawayFps = 25.0f;

class CThrowawaySlot {
public:
    CThrowawaySlot() = default;
    ~CThrowawaySlot();
    CThrowawaySlot(const CThrowawaySlot&) = delete;
    CThrowawaySlot& operator=(const CThrowawaySlot&) = delete;

    // Points this process's registry at a new empty one; before any registry
    // use. False with *error when the system cannot.
    bool Create(std::string* error);
    // Stores the camera in kThrowawaySlot and registers the module there
    // (COM initialised); false with *error.
    bool Configure(const std::string& url, const std::string& modulePath, std::string* error);

private:
    std::string m_folder;
};
