// The slots as a regedit file: "Windows Registry Editor Version 5.00", one
// [HKEY_LOCAL_MACHINE\SOFTWARE\TALVO\Oculo\NN] section per slot with its
// values, and [-...] for a slot that has no settings, so that importing the
// file gives every slot exactly as exported. Written as regedit writes it
// (UTF-16LE with a byte-order mark, CRLF), so the same file serves regedit,
// Windows and Linux; read from UTF-16LE or UTF-8.
//
// Pure functions of their arguments; any thread.
#pragma once

#include <string>
#include <vector>

#include "tools/shared/SlotStore.h"

// The file's bytes for the records of slots 0 to records.size()-1; values of
// a type a slot does not hold (neither text nor a DWORD) are left out.
std::string FormatRegFile(const std::vector<SlotRecord>& records);

// Parses and checks a whole file with the rules of `set`: each section
// becomes one change that replaces (or removes) the slot. False with *error
// ("line N: ...") at the first thing refused; then *changes is empty.
bool ParseRegFile(const std::string& bytes, std::vector<SlotChange>* changes, std::string* error);
