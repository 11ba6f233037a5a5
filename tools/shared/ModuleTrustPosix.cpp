// Whether a module may be registered, on the stand-in: any module, by the
// path given (see ModuleTrust.h).
#include "tools/shared/ModuleTrust.h"

std::string WhyNotRegistrable(const std::string& modulePath, std::string* registeredPath) {
    *registeredPath = modulePath;
    return std::string();
}

std::string UncheckedModuleNote(const std::string&) { return std::string(); }
