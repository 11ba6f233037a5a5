// The slots' registration as oculo-config and Oculo Settings do it: the
// modules (ModuleCalls.h), so that every usable slot is a video-input device,
// and the virtual cameras of the Windows camera apps (mfsource/VirtualCameras.h)
// for the usable slots switched on for them ("mf"). The cameras' media sources
// are the 64-bit module's classes: registering makes the cameras after the
// modules, unregistering removes them before.
//
// The 64-bit tools make and remove the virtual cameras (Windows 11 is 64-bit
// only); a 32-bit tool on a 64-bit system leaves them as they are and says
// so. Where the system has no virtual cameras, one line says the slots are
// DirectShow devices only, and that is no failure.
//
// Stateless; any thread that has initialised COM.
#pragma once

#include <string>
#include <vector>

#include "mfsource/VirtualCameras.h"
#include "tools/shared/ModuleCalls.h"

// Every slot as the virtual cameras' registration sees it, read as the
// module of this program's bitness reads it.
std::vector<VirtualCameraSlot> VirtualCameraSlots();

// Registers (or unregisters) `modules` as RegisterModules does, and the
// virtual cameras through `cameras`: registering makes the ones the slots
// ask for and removes the others, once the modules are registered;
// unregistering removes them all, then unregisters the modules even when a
// camera could not be removed (that failure is then the answer). One line
// per step done goes to *lines; on failure *error says what failed.
RegistrationResult RegisterSlots(const std::vector<std::string>& modules, bool bRegister, ModuleChoice choice,
                                 CVirtualCameraApi& cameras, std::vector<std::string>* lines, std::string* error);
