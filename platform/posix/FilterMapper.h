// The platform's filter mappers (CLSID_FilterMapper2, CLSID_FilterMapper):
// they record filters in the registry where Windows does. Internal to the
// platform library; the runtime hands out their class objects.
#pragma once

#include <string>

#include "dshow.h"

namespace oculo::posix {

// Class objects of the two mappers (static, never destroyed).
IClassFactory* FilterMapper2Factory();
IClassFactory* FilterMapperFactory();

// The GUID in registry form, "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}":
// 38 characters and a terminator into text.
void FormatGuid(REFGUID guid, WCHAR* text);
std::wstring GuidText(REFGUID guid);

}  // namespace oculo::posix
