#include "mfsource/MFPlat.h"

namespace {

template <class Function>
bool Find(HMODULE module, const char* name, Function* function) {
    *function = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    return *function != nullptr;
}

// From the system's folder only: never a mfplat.dll beside the host program.
bool Load(MFPlatFunctions* f) {
    const HMODULE module = LoadLibraryExW(L"mfplat.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (!module) return false;
    const bool bFound = Find(module, "MFStartup", &f->Startup) && Find(module, "MFShutdown", &f->Shutdown) &&
           Find(module, "MFCreateAttributes", &f->CreateAttributes) &&
           Find(module, "MFCreateEventQueue", &f->CreateEventQueue) &&
           Find(module, "MFCreateMediaType", &f->CreateMediaType) &&
           Find(module, "MFCreateStreamDescriptor", &f->CreateStreamDescriptor) &&
           Find(module, "MFCreatePresentationDescriptor", &f->CreatePresentationDescriptor) &&
           Find(module, "MFCreateSample", &f->CreateSample) &&
           Find(module, "MFCreateMemoryBuffer", &f->CreateMemoryBuffer) &&
           Find(module, "MFGetSystemTime", &f->GetSystemTime);
    if (!bFound) FreeLibrary(module);
    return bFound;
}

}  // namespace

const MFPlatFunctions* MFPlat() {
    static MFPlatFunctions functions = {};
    static const bool bLoaded = Load(&functions);
    return bLoaded ? &functions : nullptr;
}
