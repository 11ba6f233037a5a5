// The module's entry routine. On Windows the C runtime's DLL start-up calls
// it; on Linux the platform runtime calls it after loading the module and
// before unloading it, with the same arguments.
#include "module/Module.h"

// Every call refreshes the slots' names before the framework's part runs; in
// practice at load and unload, since the framework switches thread calls off.
extern "C" BOOL WINAPI DllMain(HINSTANCE hInstance, DWORD dwReason, LPVOID lpReserved) {
    LoadTemplateNames();
    return DllEntryPoint(hInstance, dwReason, lpReserved);
}
