// What differs between systems, for the tools: here the stand-in registry,
// which has one view that every host reads, and no error dialogs to silence.
#include <cstdlib>

#include "tools/shared/DeviceList.h"
#include "tools/shared/ModuleCalls.h"
#include "tools/shared/SlotStore.h"

std::vector<RegistryView> SettingsViews() { return {RegistryView{0, ""}}; }

void QuietSystemErrors() {}

// Tests and a user's own builds name their module here.
std::string ConfiguredModulePath() {
    const char* configured = std::getenv("OCULO_MODULE");
    return configured != nullptr ? configured : "";
}

// Modules are loaded into this program or its like: of its own bitness only.
bool SystemRunsBitness(int bitness) { return bitness == OwnBitness(); }

// The stand-in's enumerator reads the registry entries.
HRESULT ListVideoInputDevices(std::vector<CaptureDevice>* devices) { return ListRegisteredVideoInputs(0, devices); }

bool RunSystemRegistrar(int bitness, const std::string& modulePath, bool, std::string* error) {
    *error = modulePath + " is a " + std::to_string(bitness) + "-bit module; this program is " +
             std::to_string(OwnBitness()) + "-bit and cannot register it";
    return false;
}
