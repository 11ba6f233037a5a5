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
// Turns off the system's error dialogs for this process (Windows).
void QuietSystemErrors();
