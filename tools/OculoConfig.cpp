// oculo-config: shows and edits the slots' settings in the registry.
//   oculo-config list                 all ten slots
//   oculo-config show N               one slot's values
//   oculo-config set N key=value ...  store values (all checked first)
//   oculo-config clear N              remove the slot's key
//   oculo-config check N              exit status 0 when the slot is usable
// Exit status: 0 done, 1 the registry refused, 2 bad command line, 3 (check)
// the slot is not usable.
#include <cstdio>
#include <string>
#include <vector>

#include "module/InstanceSettings.h"
#include "module/SlotClasses.h"
#include "tools/ConsoleText.h"
#include "tools/SlotEditor.h"

namespace {

const int kExitOk = 0;
const int kExitRegistry = 1;
const int kExitUsage = 2;
const int kExitUnusable = 3;

int Usage() {
    std::fprintf(stderr,
                 "usage: oculo-config list\n"
                 "       oculo-config show N\n"
                 "       oculo-config set N key=value ...\n"
                 "       oculo-config clear N\n"
                 "       oculo-config check N\n"
                 "N is a slot from 0 to 9; keys: %s\n",
                 SettingNames());
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

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return Usage();
    const std::string command = argv[1];
    if (command == "list" && argc == 2) return List();
    if (command != "show" && command != "set" && command != "clear" && command != "check") return Usage();
    if (argc < 3 || (command != "set" && argc != 3)) return Usage();
    DWORD slot = 0;
    if (!SlotArgument(argv[2], &slot)) return kExitUsage;
    if (command == "show") return Show(slot);
    if (command == "set") return Set(slot, argc - 3, argv + 3);
    if (command == "clear") return Clear(slot);
    return Check(slot);
}
