// What regsvr32 does, for oculo-config and Oculo Settings: load the module by
// path, call one of its entry points, unload it; the modules a registration
// acts on; and the result codes those calls give, in words. Stateless; any
// thread that has initialised COM.
#pragma once

#include <string>
#include <vector>

#include "platform/platform.h"

// The module to use: the one ConfiguredModulePath names, else the module's
// file beside this program's own executable (the build's and the install's
// bin/ folder).
std::string DefaultModulePath();
// $OCULO_MODULE on the stand-in; nothing on Windows, where a user's own
// environment reaches the programs that user runs as administrator
// (System*.cpp).
std::string ConfiguredModulePath();
// Loads the module, calls entry ("DllRegisterServer" or
// "DllUnregisterServer"), unloads it. False, with *error in words, when the
// module cannot be loaded or has no such entry point; otherwise true with the
// entry point's answer in *result.
bool CallModuleEntry(const std::string& modulePath, const char* entry, HRESULT* result, std::string* error);
// "S_OK", "access denied (...)", or the code in hex for codes it does not know.
std::string ResultText(HRESULT result);
// The bitness a module file is built for (32 or 64, from its PE or ELF
// header); 0 with *error when the file is missing or not a module.
int ModuleBitness(const std::string& modulePath, std::string* error);
// This program's bitness.
inline int OwnBitness() { return int(sizeof(void*) * 8); }
// Whether this system can load modules of that bitness (System*.cpp).
bool SystemRunsBitness(int bitness);

// The module of the other bitness in an installed layout, where each
// bitness has a folder of its own side by side: "...\x64\Oculo.ax" gives
// "...\x86\Oculo.ax" and the other way round; empty for a module in a
// folder named neither.
std::string OtherBitnessModulePath(const std::string& modulePath);
// The modules a registration acts on when none is named: the configured one
// (ConfiguredModulePath) alone when there is one; else the module beside
// this program and, in an installed layout (the setup's folders or the
// .zip's), the other bitness's module when it is there and this system can
// load it.
std::vector<std::string> InstalledModules();

enum class RegistrationResult {
    kDone,
    kNoModule,  // a module is missing or cannot be loaded
    kFailed,    // a module's entry point (or its regsvr32) reported a failure
    kRefused,   // an installed module lies where others than administrators can change it
};
// Where the modules of a registration come from.
enum class ModuleChoice {
    kInstalled,  // found by the tools (InstalledModules): registered only
                 // where WhyNotRegistrable allows, by the path it gives
    kNamed,      // named by the administrator: registered as named
};
// Registers (or unregisters) each module in turn: one of this program's
// bitness in-process, as regsvr32 does; one of the other bitness through
// that bitness's regsvr32. Registering unregisters first, because a module
// registers the usable slots only and leaves a slot that is no longer usable
// listed: after it the devices are exactly the usable slots, under their
// current names. Registering installed modules judges them all first and
// registers none when one is refused; named ones get a line saying they
// were not judged. One line per module done goes to *lines; at the first
// failure it stops, with *error in words.
RegistrationResult RegisterModules(const std::vector<std::string>& modules, bool bRegister, ModuleChoice choice,
                                   std::vector<std::string>* lines, std::string* error);
// Has the system's registrar of that bitness (regsvr32 /s, /u to
// unregister) register the module; false with *error when it cannot run or
// reports a failure. Bounded by a minute.
bool RunSystemRegistrar(int bitness, const std::string& modulePath, bool bRegister, std::string* error);
// Turns off the system's error dialogs for this process (Windows).
void QuietSystemErrors();
