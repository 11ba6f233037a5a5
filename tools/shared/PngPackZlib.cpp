#include <zlib.h>

#include "tools/shared/PngPack.h"

bool PackZlib(const std::vector<BYTE>& data, std::vector<BYTE>* packed) {
    uLongf packedBytes = compressBound(uLong(data.size()));
    packed->assign(packedBytes, 0);
    if (compress2(packed->data(), &packedBytes, data.data(), uLong(data.size()), Z_DEFAULT_COMPRESSION) != Z_OK) {
        return false;
    }
    packed->resize(packedBytes);
    return true;
}

uint32_t PngCrc(const BYTE* data, size_t bytes) { return uint32_t(crc32(0L, data, uInt(bytes))); }
