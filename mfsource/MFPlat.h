// Media Foundation's platform functions that the module and the tools call,
// found in mfplat.dll at run time. Importing them would tie the module to
// mfplat.dll: Windows editions without Media Foundation (the N editions)
// would then fail to load it, DirectShow devices included.
//
// Threading: MFPlat() loads once, on whichever thread asks first; the table
// is read-only afterwards and mfplat.dll stays loaded for the process.
#pragma once

#include "platform/MFDeclarations.h"

struct MFPlatFunctions {
    decltype(&::MFStartup) Startup;
    decltype(&::MFShutdown) Shutdown;
    decltype(&::MFCreateAttributes) CreateAttributes;
    decltype(&::MFCreateEventQueue) CreateEventQueue;
    decltype(&::MFCreateMediaType) CreateMediaType;
    decltype(&::MFCreateStreamDescriptor) CreateStreamDescriptor;
    decltype(&::MFCreatePresentationDescriptor) CreatePresentationDescriptor;
    decltype(&::MFCreateSample) CreateSample;
    decltype(&::MFCreateMemoryBuffer) CreateMemoryBuffer;
    decltype(&::MFGetSystemTime) GetSystemTime;
};

// The functions; null when mfplat.dll or one of them is missing.
const MFPlatFunctions* MFPlat();
// What a caller answers when MFPlat() is null.
const HRESULT kNoMediaFoundation = HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND);
