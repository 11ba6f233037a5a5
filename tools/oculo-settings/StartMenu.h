// The Start menu's "Oculo Settings" entry for every user (Programs\Oculo),
// for the .zip's install.cmd and uninstall.cmd: the setup program makes the
// same entry itself. Windows only; the caller has initialised COM.
#pragma once

#include <string>

// The entry starts this program. False with *error in words.
bool AddStartMenuEntry(std::wstring* error);
// Removes the entry, and the folder once it is empty; an entry that is not
// there counts as removed.
bool RemoveStartMenuEntry(std::wstring* error);
