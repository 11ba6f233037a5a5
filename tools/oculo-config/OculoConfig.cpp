// oculo-config: shows and edits the slots' settings in the registry.
//   oculo-config list                 all ten slots
//   oculo-config show N               one slot's values
//   oculo-config set N key=value ...  store values (all checked first)
//   oculo-config clear N              remove the slot's key
//   oculo-config check N              exit status 0 when the slot is usable
//   oculo-config register [--module PATH]...   what regsvr32 does, for every
//   oculo-config unregister [--module PATH]... installed module (both
//                                              bitnesses'), or the ones named:
//                                              the devices become exactly the
//                                              usable slots, or every slot's
//                                              entries go; a module of the
//                                              other bitness goes through its
//                                              regsvr32. On Windows installed
//                                              modules are registered only
//                                              from where no one but
//                                              administrators can change them;
//                                              named ones as named. The 64-bit
//                                              one also makes (or removes) the
//                                              Windows camera apps' virtual
//                                              cameras of the slots switched
//                                              on (mf=1); one line says so
//   oculo-config devices              the video-input devices a host lists
//   oculo-config export FILE          all slots as a regedit file
//   oculo-config import FILE          slots from such a file (all checked first)
//   oculo-config discover [--seconds N]          the cameras that answer a search
//                                                on the local network (ONVIF)
//   oculo-config streams ADDRESS [--user U --password P] [--slot N --stream K]
//                                     a camera's streams, numbered from 1; with
//                                     --slot, stream K fills slot N (address,
//                                     login, size, frame rate)
// On 64-bit Windows set, clear and import change both registry views (the
// 32-bit and the 64-bit hosts' settings); --view 32|64 changes one only.
// Every change is all or nothing. Addresses show with their password masked,
// except in show (the administrator's view of a slot) and export.
// Exit status: 0 done, 1 the registry refused (or the module's entry point
// failed, or a virtual camera could not be made or removed), 2 bad command
// line, 3 (check) the slot is not usable, 4 the module cannot be loaded, 5
// (register) the module lies where others than administrators can change it,
// 6 (discover, streams) no camera found, or the camera could not be asked.
// OCULO_SEARCH_LOOPBACK=1 searches on loopback adapters too
// (onvif/CameraSearch.h).
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "module/InstanceSettings.h"
#include "module/SlotClasses.h"
#include "onvif/CameraQuery.h"
#include "onvif/CameraSearch.h"
#include "onvif/OnvifJob.h"
#include "onvif/ServiceAddress.h"
#include "onvif/SoapPost.h"
#include "tools/shared/ConsoleText.h"
#include "tools/shared/DeviceList.h"
#include "tools/shared/ModuleCalls.h"
#include "tools/shared/RegFile.h"
#include "tools/shared/SlotEditor.h"
#include "tools/shared/SlotRegistration.h"
#include "tools/shared/SlotStore.h"
#include "tools/shared/StreamSlot.h"
#include "text/Unicode.h"

namespace {

const int kExitOk = 0;
const int kExitRegistry = 1;
const int kExitUsage = 2;
const int kExitUnusable = 3;
const int kExitNoModule = 4;
const int kExitNotInstalled = 5;
const int kExitNoCamera = 6;

std::string ModuleList() {
    std::string list;
    for (const std::string& module : InstalledModules()) list += (list.empty() ? "" : " and ") + module;
    return list;
}

int Usage() {
    std::fprintf(stderr,
                 "usage: oculo-config list\n"
                 "       oculo-config show N\n"
                 "       oculo-config set N key=value ...\n"
                 "       oculo-config clear N\n"
                 "       oculo-config check N\n"
                 "       oculo-config register [--module PATH]...\n"
                 "       oculo-config unregister [--module PATH]...\n"
                 "       oculo-config devices\n"
                 "       oculo-config export FILE\n"
                 "       oculo-config import FILE\n"
                 "       oculo-config discover [--seconds N]\n"
                 "       oculo-config streams ADDRESS [--user U --password P] [--slot N --stream K]\n"
                 "N is a slot from 0 to 9; keys: %s\n"
                 "set, clear, import, export: --view 32|64 uses one registry view of a 64-bit system only\n"
                 "register and unregister act on %s unless --module names one\n"
                 "streams: ADDRESS is a device service address as discover prints it, or the camera's host name or\n"
                 "IP address\n",
                 SettingNames(), ModuleList().c_str());
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

std::vector<RegistryView> g_views;  // the views this run reads and changes

// The slot as each view holds it; false (with a message) when one is unreadable.
bool ReadViews(DWORD slot, std::vector<SlotRecord>* records) {
    records->assign(g_views.size(), SlotRecord());
    for (size_t v = 0; v < g_views.size(); ++v) {
        const LONG result = ReadSlotRecord(slot, g_views[v], &(*records)[v]);
        if (result != ERROR_SUCCESS) {
            std::fprintf(stderr, "oculo-config: cannot read slot %u (error %ld)\n", unsigned(slot), long(result));
            return false;
        }
    }
    return true;
}

bool ViewsAgree(const std::vector<SlotRecord>& records) {
    for (const SlotRecord& record : records) {
        if (!(record == records[0])) return false;
    }
    return true;
}

int List() {
    std::printf("%-4s %-7s %-11s %-6s %-20s %s\n", "slot", "usable", "size", "fps", "name", "url");
    std::vector<DWORD> differing;
    for (DWORD slot = 0; slot < g_cSlots; ++slot) {
        const InstanceSettings s = LoadInstanceSettings(slot);
        std::printf("%-4u %-7s %-11s %-6g %-20s %s\n", unsigned(slot), IsInstanceUsable(s) ? "yes" : "no",
                    SizeText(s).c_str(), double(s.fps), ToNarrow(s.name).c_str(), ShownAddress(s.url).c_str());
        std::vector<SlotRecord> records;
        if (ReadViews(slot, &records) && !ViewsAgree(records)) differing.push_back(slot);
    }
    for (DWORD slot : differing) {
        std::printf("slot %u: the 64-bit and 32-bit registry views differ, so 32-bit and 64-bit applications see "
                    "different settings (oculo-config show %u)\n",
                    unsigned(slot), unsigned(slot));
    }
    return kExitOk;
}

void PrintUsability(const InstanceSettings& s) {
    const std::string reason(UnusableReason(s));
    if (reason.empty()) {
        std::printf("usable\n");
        return;
    }
    std::printf("not usable: %s\n", reason.c_str());
}

int Show(DWORD slot) {
    const InstanceSettings s = LoadInstanceSettings(slot);
    std::printf("slot %u (HKEY_LOCAL_MACHINE\\%s): ", unsigned(slot), ToNarrow(SlotKeyPath(slot).c_str()).c_str());
    PrintUsability(s);
    for (const SettingRow& row : kSettingRows) {
        std::printf("  %-6s = %s\n", ToNarrow(row.name).c_str(), SettingText(row, s).c_str());
    }
    std::vector<SlotRecord> records;
    if (ReadViews(slot, &records) && !ViewsAgree(records)) {
        std::printf("the registry views differ (32-bit and 64-bit applications see different settings):\n");
        for (size_t v = 0; v < g_views.size(); ++v) {
            std::printf("  %s view:%s\n", g_views[v].name, records[v].bExists ? "" : " no settings");
            for (const StoredValue& value : records[v].values) {
                std::printf("    %-6s = %s\n", ToNarrow(value.name.c_str()).c_str(), StoredValueText(value).c_str());
            }
        }
        std::printf("oculo-config set or clear without --view makes them the same\n");
    }
    return kExitOk;
}

int Apply(const std::vector<SlotChange>& changes) {
    std::string error;
    if (ApplySlotChanges(changes, g_views, &error) != ERROR_SUCCESS) {
        std::fprintf(stderr, "oculo-config: %s\n", error.c_str());
        return kExitRegistry;
    }
    return kExitOk;
}

int Set(DWORD slot, int count, char** assignments) {
    if (count == 0) {
        std::fprintf(stderr, "oculo-config: set needs at least one key=value\n");
        return kExitUsage;
    }
    SlotChange change;
    change.slot = slot;
    change.settings.resize(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        std::string error;
        if (!ParseSetting(assignments[i], &change.settings[size_t(i)], &error)) {
            std::fprintf(stderr, "oculo-config: %s; nothing stored\n", error.c_str());
            return kExitUsage;
        }
    }
    const int status = Apply({change});
    if (status != kExitOk) return status;
    std::printf("slot %u: %d value(s) stored; ", unsigned(slot), count);
    PrintUsability(LoadInstanceSettings(slot));
    return kExitOk;
}

int Clear(DWORD slot) {
    std::vector<SlotRecord> records;
    if (!ReadViews(slot, &records)) return kExitRegistry;
    bool bAny = false;
    for (const SlotRecord& record : records) bAny = bAny || record.bExists;
    if (!bAny) {
        std::printf("slot %u had no settings\n", unsigned(slot));
        return kExitOk;
    }
    SlotChange change;
    change.slot = slot;
    change.bRemove = true;
    const int status = Apply({change});
    if (status == kExitOk) std::printf("slot %u: settings removed\n", unsigned(slot));
    return status;
}

int Export(const char* path) {
    // One view is written: the first (the 64-bit hosts' on a 64-bit system).
    std::vector<SlotRecord> records(g_cSlots);
    std::vector<DWORD> differing;
    for (DWORD slot = 0; slot < g_cSlots; ++slot) {
        std::vector<SlotRecord> views;
        if (!ReadViews(slot, &views)) return kExitRegistry;
        records[slot] = views[0];
        if (!ViewsAgree(views)) differing.push_back(slot);
    }
    const std::string bytes = FormatRegFile(records);
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    if (!file || !file.write(bytes.data(), std::streamsize(bytes.size())) || !file.flush()) {
        std::fprintf(stderr, "oculo-config: cannot write %s\n", path);
        return kExitRegistry;
    }
    for (DWORD slot : differing) {
        std::fprintf(stderr, "oculo-config: slot %u differs between the registry views; the %s view was exported\n",
                     unsigned(slot), g_views[0].name);
    }
    std::printf("%u slots exported to %s\n", unsigned(g_cSlots), path);
    return kExitOk;
}

int Import(const char* path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream bytes;
    if (!file || !(bytes << file.rdbuf())) {
        std::fprintf(stderr, "oculo-config: cannot read %s\n", path);
        return kExitUsage;
    }
    std::vector<SlotChange> changes;
    std::string error;
    if (!ParseRegFile(bytes.str(), &changes, &error)) {
        std::fprintf(stderr, "oculo-config: %s, %s; nothing imported\n", path, error.c_str());
        return kExitUsage;
    }
    const int status = Apply(changes);
    if (status == kExitOk) std::printf("%u slot(s) imported from %s\n", unsigned(changes.size()), path);
    return status;
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

void PrintDevices(const std::vector<CaptureDevice>& devices) {
    if (devices.empty()) std::printf("no video-input device is registered\n");
    for (const CaptureDevice& device : devices) {
        const int slot = DeviceSlot(device);
        std::printf("%-32s %-38s %s\n", ToNarrow(device.friendlyName.c_str()).c_str(),
                    ToNarrow(device.clsid.c_str()).c_str(),
                    slot >= 0 ? ("Oculo slot " + std::to_string(slot)).c_str() : "");
    }
}

int Devices() {
    CComScope com;
    std::vector<CaptureDevice> devices;
    HRESULT hr = ListVideoInputDevices(&devices);
    if (FAILED(hr)) {
        std::fprintf(stderr, "oculo-config: cannot list the video-input devices: %s\n", ResultText(hr).c_str());
        return kExitRegistry;
    }
    const std::vector<RegistryView> views = SettingsViews();
    if (views.size() == 1) {
        PrintDevices(devices);
        return kExitOk;
    }
    // Hosts of this program's bitness: the system's enumerator; the other
    // bitness: the registered filters its enumerator reads.
    for (const RegistryView& view : views) {
        const bool bOwn = std::string(view.name) == std::to_string(OwnBitness()) + "-bit";
        std::vector<CaptureDevice> registered;
        if (!bOwn && FAILED(hr = ListRegisteredVideoInputs(view.flag, &registered))) {
            std::fprintf(stderr, "oculo-config: cannot read the %s registered devices: %s\n", view.name,
                         ResultText(hr).c_str());
            return kExitRegistry;
        }
        std::printf("%s applications see%s:\n", view.name, bOwn ? "" : " (registered filters)");
        PrintDevices(bOwn ? devices : registered);
    }
    return kExitOk;
}

// Registers (or unregisters) the named modules, or every installed one: both
// bitnesses' in the setup's folders or the .zip's, wherever this program
// runs from (registering them only where ModuleTrust.h allows); and the
// slots' virtual cameras (SlotRegistration.h).
int Register(bool bRegister, int argc, char** argv) {
    std::vector<std::string> modules;
    for (int i = 2; i < argc; i += 2) {
        if (std::string(argv[i]) != "--module" || i + 1 >= argc) return Usage();
        modules.push_back(argv[i + 1]);
    }
    const ModuleChoice choice = modules.empty() ? ModuleChoice::kInstalled : ModuleChoice::kNamed;
    if (modules.empty()) modules = InstalledModules();
    CComScope com;
    std::vector<std::string> lines;
    std::string error;
    const RegistrationResult result =
        RegisterSlots(modules, bRegister, choice, *SystemVirtualCameraApi(), &lines, &error);
    for (const std::string& line : lines) std::printf("%s\n", line.c_str());
    if (result != RegistrationResult::kDone) {
        std::fprintf(stderr, "oculo-config: %s\n", error.c_str());
        if (result == RegistrationResult::kRefused) return kExitNotInstalled;
        return result == RegistrationResult::kNoModule ? kExitNoModule : kExitRegistry;
    }
    return bRegister ? Devices() : kExitOk;
}

// A camera's text (UTF-8) as the console shows it.
std::string Console(const std::string& utf8) { return ToNarrow(oculo::text::Utf8ToWide(utf8).c_str()); }
// A command-line argument (the console's code page) as the camera search takes it.
std::string Utf8Argument(const char* text) { return oculo::text::WideToUtf8(ToWide(text)); }

// Runs the work on a job's thread, as a window would, and waits for it: the
// work bounds itself, the wait only guards against a hang.
void RunJob(const std::function<void(const COnvifCancel&)>& work, int limitMs) {
    QuietNetworkMessages();
    COnvifJob job;
    if (!job.Start(work, nullptr)) {
        work(COnvifCancel());
        return;
    }
    if (!job.Wait(limitMs)) job.Cancel();
}

bool IntegerArgument(const char* text, int minimum, int maximum, int* value) {
    char* end = nullptr;
    const long number = std::strtol(text, &end, 10);
    if (end == text || *end != 0 || number < minimum || number > maximum) return false;
    *value = int(number);
    return true;
}

int Discover(int argc, char** argv) {
    SearchOptions options = ToolSearchOptions();
    for (int i = 2; i < argc; i += 2) {
        if (std::string(argv[i]) != "--seconds" || i + 1 >= argc) return Usage();
        if (!IntegerArgument(argv[i + 1], 1, 60, &options.seconds)) {
            std::fprintf(stderr, "oculo-config: --seconds must be a whole number from 1 to 60\n");
            return kExitUsage;
        }
    }
    std::vector<FoundCamera> cameras;
    OnvifProblem problem = OnvifProblem::kNoAnswer;
    RunJob([&](const COnvifCancel& cancel) { problem = SearchCameras(options, cancel, &cameras); },
           (options.seconds + 5) * 1000);
    if (problem != OnvifProblem::kNone) {
        std::fprintf(stderr, "oculo-config: %s\n", ProblemText(problem, std::string()).c_str());
        return kExitNoCamera;
    }
    std::printf("%-24s %-20s %-15s %s\n", "name", "model", "address", "device service");
    for (const FoundCamera& camera : cameras) {
        std::printf("%-24s %-20s %-15s %s\n", camera.name.empty() ? "-" : Console(camera.name).c_str(),
                    camera.model.empty() ? "-" : Console(camera.model).c_str(), camera.address.c_str(),
                    ShownAddress(camera.deviceService.c_str()).c_str());
    }
    return kExitOk;
}

std::string StreamLine(size_t number, const CameraStream& stream) {
    const std::string size = stream.width > 0 ? std::to_string(stream.width) + "x" + std::to_string(stream.height)
                                              : std::string("-");
    char fps[32] = "-";
    if (stream.fps > 0.0) std::snprintf(fps, sizeof(fps), "%g fps", stream.fps);
    char line[2048];
    std::snprintf(line, sizeof(line), "%2u  %-16s %-7s %-10s %-8s %s", unsigned(number), Console(stream.name).c_str(),
                  Console(stream.codec).c_str(), size.c_str(), fps, ShownAddress(stream.address.c_str()).c_str());
    return line;
}

// Stream K of the list into slot N, as Oculo Settings fills its dialog.
int FillSlot(DWORD slot, int number, const std::vector<CameraStream>& streams,
             const oculo::text::CameraLogin& login) {
    if (number < 1 || size_t(number) > streams.size()) {
        std::fprintf(stderr, "oculo-config: the camera has no stream %d (streams 1 to %u); nothing stored\n", number,
                     unsigned(streams.size()));
        return kExitUsage;
    }
    const CameraStream& stream = streams[size_t(number - 1)];
    SlotChange change;
    change.slot = slot;
    std::string error;
    if (!StreamSlotSettings(oculo::text::Utf8ToWide(stream.address), login, stream.width, stream.height, stream.fps,
                            &change.settings, &error)) {
        std::fprintf(stderr, "oculo-config: %s; nothing stored\n", error.c_str());
        return kExitUsage;
    }
    const int status = Apply({change});
    if (status != kExitOk) return status;
    const InstanceSettings s = LoadInstanceSettings(slot);
    std::printf("slot %u: stream %d stored (%s, %s, %g fps); ", unsigned(slot), number, ShownAddress(s.url).c_str(),
                SizeText(s).c_str(), double(s.fps));
    PrintUsability(s);
    return kExitOk;
}

int Streams(int argc, char** argv) {
    if (argc < 3) return Usage();
    oculo::text::CameraLogin login;
    int slotArgument = -1, number = 0;
    for (int i = 3; i < argc; i += 2) {
        const std::string option = argv[i];
        if (i + 1 >= argc) return Usage();
        DWORD slot = 0;
        if (option == "--user") {
            login.user = ToWide(argv[i + 1]);
        } else if (option == "--password") {
            login.password = ToWide(argv[i + 1]);
        } else if (option == "--slot") {
            if (!SlotArgument(argv[i + 1], &slot)) return kExitUsage;
            slotArgument = int(slot);
        } else if (option == "--stream") {
            if (!IntegerArgument(argv[i + 1], 1, 1000, &number)) return Usage();
        } else {
            return Usage();
        }
    }
    if ((slotArgument >= 0) != (number > 0)) {
        std::fprintf(stderr, "oculo-config: --slot and --stream go together\n");
        return kExitUsage;
    }
    std::string service;
    if (!DeviceServiceAddress(Utf8Argument(argv[2]), &service)) {
        std::fprintf(stderr, "oculo-config: %s\n",
                     ProblemText(OnvifProblem::kBadAddress, ShownAddress(argv[2])).c_str());
        return kExitUsage;
    }
    const CameraLoginUtf8 utf8{oculo::text::WideToUtf8(login.user), oculo::text::WideToUtf8(login.password)};
    std::vector<CameraStream> streams;
    OnvifProblem problem = OnvifProblem::kNoAnswer;
    RunJob([&](const COnvifCancel& cancel) { problem = AskCameraStreams(service, utf8, cancel, &streams); },
           kQueryLimitMs + 5000);
    if (problem != OnvifProblem::kNone) {
        std::fprintf(stderr, "oculo-config: %s\n", ProblemText(problem, SplitAddress(service).host).c_str());
        return kExitNoCamera;
    }
    for (size_t i = 0; i < streams.size(); ++i) std::printf("%s\n", StreamLine(i + 1, streams[i]).c_str());
    return slotArgument >= 0 ? FillSlot(DWORD(slotArgument), number, streams, login) : kExitOk;
}

}  // namespace

int main(int argc, char** argv) {
    QuietSystemErrors();
    g_views = SettingsViews();
    // --view N may stand anywhere; the rest is the command.
    std::vector<char*> args;
    for (int i = 0; i < argc; ++i) {
        if (std::string(argv[i]) != "--view") {
            args.push_back(argv[i]);
            continue;
        }
        std::string error;
        if (i + 1 >= argc || !SelectView(argv[i + 1], &g_views, &error)) {
            std::fprintf(stderr, "oculo-config: %s\n", i + 1 >= argc ? "--view needs 32 or 64" : error.c_str());
            return kExitUsage;
        }
        ++i;
    }
    argc = int(args.size());
    argv = args.data();
    if (argc < 2) return Usage();
    const std::string command = argv[1];
    if (command == "list" && argc == 2) return List();
    if (command == "devices" && argc == 2) return Devices();
    if (command == "register" || command == "unregister") return Register(command == "register", argc, argv);
    if (command == "export" && argc == 3) return Export(argv[2]);
    if (command == "import" && argc == 3) return Import(argv[2]);
    if (command == "discover") return Discover(argc, argv);
    if (command == "streams") return Streams(argc, argv);
    if (command != "show" && command != "set" && command != "clear" && command != "check") return Usage();
    if (argc < 3 || (command != "set" && argc != 3)) return Usage();
    DWORD slot = 0;
    if (!SlotArgument(argv[2], &slot)) return kExitUsage;
    if (command == "show") return Show(slot);
    if (command == "set") return Set(slot, argc - 3, argv + 3);
    if (command == "clear") return Clear(slot);
    return Check(slot);
}
