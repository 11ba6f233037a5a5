// The judgement behind WhyNotRegistrable on Windows (ModuleTrust.h): who,
// besides administrators, may change a file or folder, read from its
// security descriptor (its owner and its list of permissions). Stateless;
// any thread.
#pragma once

#include <string>

#include "platform/platform.h"

// What a file or folder is to the module being registered.
enum class ModulePathRole {
    kContents,  // the module's folder or a file in it: nobody else may write,
                // add, delete, take over or re-permission it
    kAbove,     // a folder above the module's: nobody else may delete or
                // rename what it holds, take it over or re-permission it
};

// Empty when nobody but SYSTEM, Administrators and TrustedInstaller may
// change an object with this descriptor in its role; otherwise who may, by
// the account's name. Entries only inherited by objects below are judged
// there; denials are ignored, which can only refuse more; an owner who is no
// administrator may re-permission it, unless an OWNER RIGHTS entry limits
// what the owner may do.
std::string WhoElseMayChange(PSECURITY_DESCRIPTOR descriptor, ModulePathRole role);
// The same for a file or folder on disk; permissions that cannot be read
// count as anyone's.
std::string WhoElseMayChangePath(const std::wstring& path, ModulePathRole role);
