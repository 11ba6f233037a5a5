// The two checksummed encodings a PNG file needs: its picture as a zlib
// stream, and each chunk's CRC-32. With zlib where the system has it
// (PngPackZlib.cpp); else as stored (uncompressed) deflate blocks, which
// every PNG reader takes (PngPackStored.cpp). Stateless; any thread.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/platform.h"

// False when memory runs out or the data is too large for the encoder.
bool PackZlib(const std::vector<BYTE>& data, std::vector<BYTE>* packed);
uint32_t PngCrc(const BYTE* data, size_t bytes);
