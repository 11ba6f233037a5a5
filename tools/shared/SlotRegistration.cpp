#include "tools/shared/SlotRegistration.h"

#include "module/SlotClasses.h"
#include "tools/shared/ConsoleText.h"
#include "tools/shared/SlotStore.h"

namespace {

// The cameras' step: its line, or false with *error when it failed.
bool RegisterCameras(CVirtualCameraApi& cameras, bool bRegister, std::string* line, std::string* error) {
    if (OwnBitness() == 32 && SystemRunsBitness(64)) {
        *line = "Windows camera apps: the 64-bit tools (in x64) make and remove the virtual cameras; "
                "left as they are";
        return true;
    }
    // The record lives in the 64-bit view, the one the camera service reads.
    const REGSAM view = SettingsViews()[0].flag;
    const VirtualCameraOutcome outcome =
        bRegister ? UpdateVirtualCameras(cameras, VirtualCameraSlots(), view) : RemoveVirtualCameras(cameras, view);
    if (FAILED(outcome.hr)) {
        *error = ToNarrow(outcome.line.c_str());
        return false;
    }
    *line = ToNarrow(outcome.line.c_str());
    return true;
}

}  // namespace

std::vector<VirtualCameraSlot> VirtualCameraSlots() {
    std::vector<VirtualCameraSlot> slots;
    for (DWORD slot = 0; slot < g_cSlots; ++slot) {
        const InstanceSettings settings = LoadInstanceSettings(slot);
        slots.push_back({slot, IsInstanceUsable(settings), settings.name, settings.mf != 0});
    }
    return slots;
}

RegistrationResult RegisterSlots(const std::vector<std::string>& modules, bool bRegister, ModuleChoice choice,
                                 CVirtualCameraApi& cameras, std::vector<std::string>* lines, std::string* error) {
    std::string line;
    if (bRegister) {
        const RegistrationResult result = RegisterModules(modules, true, choice, lines, error);
        if (result != RegistrationResult::kDone) return result;
        if (!RegisterCameras(cameras, true, &line, error)) return RegistrationResult::kFailed;
        lines->push_back(line);
        return RegistrationResult::kDone;
    }
    // The cameras go first, and the modules whatever became of them: an
    // uninstall leaves as little behind as it can.
    std::string camerasError;
    const bool bCamerasRemoved = RegisterCameras(cameras, false, &line, &camerasError);
    if (bCamerasRemoved) lines->push_back(line);
    const RegistrationResult result = RegisterModules(modules, false, choice, lines, error);
    if (bCamerasRemoved) return result;
    *error = result == RegistrationResult::kDone ? camerasError : camerasError + "; " + *error;
    return result == RegistrationResult::kDone ? RegistrationResult::kFailed : result;
}
