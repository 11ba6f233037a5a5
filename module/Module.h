// The module's own part of the in-process server: the class table that the
// framework's class factory serves (g_Templates: the slots' rows, slot n at
// row n, then the row of the slots' property page), the names shown for the
// slots, and registration of the usable slots as video-input devices (with
// their page's class) behind DllRegisterServer/DllUnregisterServer.
//
// Threading: DllMain fills the name buffers under the loader lock, before any
// other call into the module and again at unload; everything else only reads
// them. Registration runs on the caller's thread and keeps no state.
#pragma once

#include "framework/ClassFactory.h"
#include "module/InstanceSettings.h"
#include "platform/platform.h"

// A slot's display name buffer, terminator included.
const DWORD kSlotNameChars = kMaxNameChars + 1;

// Copies slot's configured name (or its default, "Oculo 01" to "Oculo 10")
// into buffer, cut to capacity - 1 characters and always terminated.
void LoadTemplateName(WCHAR* buffer, DWORD slot, DWORD capacity);
// Refreshes the ten name buffers of g_Templates from the settings.
void LoadTemplateNames();

// Registers (bRegister) or unregisters every slot, as DllRegisterServer and
// DllUnregisterServer do: each usable slot's class keys and device entry in
// the video-input-device category, and the page's class keys when any slot
// is usable; unregistering removes every slot's, then the page's.
HRESULT RegisterFilters(BOOL bRegister);

// The filter registration data given to the filter mapper for every slot.
extern const REGFILTER2 g_rf2Oculo;

STDAPI DllRegisterServer(void);
STDAPI DllUnregisterServer(void);
