// Whether a module may be registered from where it lies. A registered module
// is loaded into every application that opens a camera, elevated ones
// included, so on Windows it is registered only from a folder that no one
// but administrators can change (ModuleTrustWin.cpp): the installed location
// that the installer or install.cmd recorded, or a folder whose permissions,
// its files' and those of the folders above it let nobody else write,
// replace or re-permission them. The stand-in's modules are loaded by their
// own user's programs only, so there any module may be registered
// (ModuleTrustPosix.cpp). Stateless; any thread.
#pragma once

#include <string>

// Empty when the module may be registered, with *registeredPath the path to
// register it by (on Windows its real path, links resolved, so that nothing
// on the way can be pointed elsewhere later); otherwise why not, in words.
std::string WhyNotRegistrable(const std::string& modulePath, std::string* registeredPath);
// The line that says a module named by the administrator is registered as
// named, its folder unchecked; empty where nothing is checked.
std::string UncheckedModuleNote(const std::string& modulePath);
