// What regsvr32 does, for oculo-config: load the module by path, call one of
// its entry points, unload it; and the result codes those calls give, in
// words. Stateless; any thread that has initialised COM.
#pragma once

#include <string>

#include "platform/platform.h"

// The module to use: $OCULO_MODULE when set, else the module's file beside
// this program's own executable (the build's and the install's bin/ folder).
std::string DefaultModulePath();
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
// Has the system's registrar of that bitness (regsvr32 /s, /u to
// unregister) register the module; false with *error when it cannot run or
// reports a failure. Bounded by a minute.
bool RunSystemRegistrar(int bitness, const std::string& modulePath, bool bRegister, std::string* error);
// Turns off the system's error dialogs for this process (Windows).
void QuietSystemErrors();
