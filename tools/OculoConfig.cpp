// oculo-config: shows and edits the slots' settings in the registry.
//   oculo-config list                 all ten slots
//   oculo-config show N               one slot's values
//   oculo-config set N key=value ...  store values (all checked first)
//   oculo-config clear N              remove the slot's key
//   oculo-config check N              exit status 0 when the slot is usable
//   oculo-config register [--module PATH]    what regsvr32 does: the usable
//   oculo-config unregister [--module PATH]  slots become capture devices, or
//                                            every slot's entries go
//   oculo-config devices              the video-input devices a host lists
// Exit status: 0 done, 1 the registry refused (or the module's entry point
// failed), 2 bad command line, 3 (check) the slot is not usable, 4 the module
// cannot be loaded.
#include <cstdio>
#include <string>
#include <vector>

#include "module/InstanceSettings.h"
#include "module/SlotClasses.h"
#include "tools/ConsoleText.h"
#include "tools/DeviceList.h"
#include "tools/ModuleCalls.h"
#include "tools/SlotEditor.h"

namespace {

const int kExitOk = 0;
const int kExitRegistry = 1;
const int kExitUsage = 2;
const int kExitUnusable = 3;
const int kExitNoModule = 4;

int Usage() {
    std::fprintf(stderr,
                 "usage: oculo-config list\n"
                 "       oculo-config show N\n"
                 "       oculo-config set N key=value ...\n"
                 "       oculo-config clear N\n"
                 "       oculo-config check N\n"
                 "       oculo-config register [--module PATH]\n"
                 "       oculo-config unregister [--module PATH]\n"
                 "       oculo-config devices\n"
                 "N is a slot from 0 to 9; keys: %s\n"
                 "The module is %s unless --module or OCULO_MODULE names another.\n",
                 SettingNames(), DefaultModulePath().c_str());
    return kExitUsage;
}

bool SlotArgument(const char* text, DWORD* slot) {
    if (ParseSlotIndex(text, slot)) return true;
    std::fprintf(stderr, "oculo-config: slot '%s' is out of range: slots are 0 to %u\n", text ? text : "",
                 unsigned(g_cSlots - 1));
    return false;
}

std::string SizeText(const InstanceSettings& s) {
    return std::to_string(s.w) + "x" + std::to_string(s.h);
}

int List() {
    std::printf("%-4s %-7s %-11s %-6s %-20s %s\n", "slot", "usable", "size", "fps", "name", "url");
    for (DWORD slot = 0; slot < g_cSlots; ++slot) {
        const InstanceSettings s = LoadInstanceSettings(slot);
        std::printf("%-4u %-7s %-11s %-6g %-20s %s\n", unsigned(slot), IsInstanceUsable(s) ? "yes" : "no",
                    SizeText(s).c_str(), double(s.fps), ToNarrow(s.name).c_str(), ToNarrow(s.url).c_str());
    }
    return kExitOk;
}

void PrintUsability(const InstanceSettings& s) {
    if (IsInstanceUsable(s)) {
        std::printf("usable\n");
        return;
    }
    const std::string reason = UnusableReason(s);
    std::printf("not usable: %s\n", reason.empty() ? "settings out of range" : reason.c_str());
}

int Show(DWORD slot) {
    const InstanceSettings s = LoadInstanceSettings(slot);
    std::printf("slot %u (HKEY_LOCAL_MACHINE\\%s): ", unsigned(slot), ToNarrow(SlotKeyPath(slot).c_str()).c_str());
    PrintUsability(s);
    std::printf("  enable = %d\n", int(s.enable));
    std::printf("  url    = %s\n", ToNarrow(s.url).c_str());
    std::printf("  name   = %s\n", ToNarrow(s.name).c_str());
    std::printf("  fps    = %g\n", double(s.fps));
    std::printf("  w      = %d\n", int(s.w));
    std::printf("  h      = %d\n", int(s.h));
    std::printf("  crop_l = %d\n", int(s.crop_l));
    std::printf("  crop_t = %d\n", int(s.crop_t));
    std::printf("  crop_r = %d\n", int(s.crop_r));
    std::printf("  crop_b = %d\n", int(s.crop_b));
    std::printf("  tShift = %d\n", int(s.tShift));
    return kExitOk;
}

int Set(DWORD slot, int count, char** assignments) {
    if (count == 0) {
        std::fprintf(stderr, "oculo-config: set needs at least one key=value\n");
        return kExitUsage;
    }
    std::vector<SlotSetting> settings(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        std::string error;
        if (!ParseSetting(assignments[i], &settings[size_t(i)], &error)) {
            std::fprintf(stderr, "oculo-config: %s; nothing stored\n", error.c_str());
            return kExitUsage;
        }
    }
    for (int i = 0; i < count; ++i) {
        const LONG result = WriteSetting(slot, settings[size_t(i)]);
        if (result != kRegWriteOk) {
            std::fprintf(stderr, "oculo-config: slot %u, %s: %s\n", unsigned(slot),
                         ToNarrow(settings[size_t(i)].valueName).c_str(), RegWriteResultText(result));
            return kExitRegistry;
        }
    }
    std::printf("slot %u: %d value(s) stored; ", unsigned(slot), count);
    PrintUsability(LoadInstanceSettings(slot));
    return kExitOk;
}

int Clear(DWORD slot) {
    const LONG result = ClearSlot(slot);
    if (result == ERROR_FILE_NOT_FOUND) {
        std::printf("slot %u had no settings\n", unsigned(slot));
        return kExitOk;
    }
    if (result != ERROR_SUCCESS) {
        std::fprintf(stderr, "oculo-config: cannot remove slot %u's key (error %ld)\n", unsigned(slot), long(result));
        return kExitRegistry;
    }
    std::printf("slot %u: settings removed\n", unsigned(slot));
    return kExitOk;
}

int Check(DWORD slot) {
    const InstanceSettings s = LoadInstanceSettings(slot);
    std::printf("slot %u: ", unsigned(slot));
    PrintUsability(s);
    return IsInstanceUsable(s) ? kExitOk : kExitUnusable;
}

// COM for the calling thread, as regsvr32 and applications have it.
class CComScope {
public:
    CComScope() : m_hr(CoInitialize(nullptr)) {}
    ~CComScope() {
        if (SUCCEEDED(m_hr)) CoUninitialize();
    }
    HRESULT Result() const { return m_hr; }

private:
    HRESULT m_hr;
};

int Devices() {
    CComScope com;
    std::vector<CaptureDevice> devices;
    const HRESULT hr = ListVideoInputDevices(&devices);
    if (FAILED(hr)) {
        std::fprintf(stderr, "oculo-config: cannot list the video-input devices: %s\n", ResultText(hr).c_str());
        return kExitRegistry;
    }
    if (devices.empty()) std::printf("no video-input device is registered\n");
    for (const CaptureDevice& device : devices) {
        const int slot = DeviceSlot(device);
        std::printf("%-32s %-38s %s\n", ToNarrow(device.friendlyName.c_str()).c_str(),
                    ToNarrow(device.clsid.c_str()).c_str(),
                    slot >= 0 ? ("Oculo slot " + std::to_string(slot)).c_str() : "");
    }
    return kExitOk;
}

int Register(bool bRegister, int argc, char** argv) {
    std::string modulePath = DefaultModulePath();
    if (argc == 4 && std::string(argv[2]) == "--module") {
        modulePath = argv[3];
    } else if (argc != 2) {
        return Usage();
    }
    CComScope com;
    const char* entry = bRegister ? "DllRegisterServer" : "DllUnregisterServer";
    HRESULT hr = E_FAIL;
    std::string error;
    if (!CallModuleEntry(modulePath, entry, &hr, &error)) {
        std::fprintf(stderr, "oculo-config: %s\n", error.c_str());
        return kExitNoModule;
    }
    if (FAILED(hr)) {
        std::fprintf(stderr, "oculo-config: %s in %s failed: %s\n", entry, modulePath.c_str(), ResultText(hr).c_str());
        return kExitRegistry;
    }
    std::printf("%s: %s %s\n", entry, modulePath.c_str(), ResultText(hr).c_str());
    return bRegister ? Devices() : kExitOk;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return Usage();
    const std::string command = argv[1];
    if (command == "list" && argc == 2) return List();
    if (command == "devices" && argc == 2) return Devices();
    if (command == "register" || command == "unregister") return Register(command == "register", argc, argv);
    if (command != "show" && command != "set" && command != "clear" && command != "check") return Usage();
    if (argc < 3 || (command != "set" && argc != 3)) return Usage();
    DWORD slot = 0;
    if (!SlotArgument(argv[2], &slot)) return kExitUsage;
    if (command == "show") return Show(slot);
    if (command == "set") return Set(slot, argc - 3, argv + 3);
    if (command == "clear") return Clear(slot);
    return Check(slot);
}
