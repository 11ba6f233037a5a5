// A PNG snapshot of a frame store: the store is 24-bit BGR, bottom row first,
// rows padded to 4 bytes; the file is 8-bit RGB, top row first, as viewers
// expect. Stateless; any thread.
#pragma once

#include <string>
#include <vector>

#include "platform/platform.h"

// The PNG file's bytes for a store of width x height; empty when the size is
// not positive, `storeBytes` is too small for it, or memory runs out.
std::vector<BYTE> EncodeStorePng(const BYTE* store, size_t storeBytes, LONG width, LONG height);
// Encodes and writes the file; false (with *error) when either step fails.
bool WriteStorePng(const char* path, const BYTE* store, size_t storeBytes, LONG width, LONG height,
                   std::string* error);
