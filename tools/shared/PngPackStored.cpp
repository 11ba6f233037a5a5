#include "tools/shared/PngPack.h"

#include <new>

namespace {

const size_t kMaxBlock = 65535;  // a stored block's length field is 16 bits

uint32_t Adler32(const std::vector<BYTE>& data) {
    uint32_t a = 1, b = 0;
    for (BYTE byte : data) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    return (b << 16) | a;
}

}  // namespace

bool PackZlib(const std::vector<BYTE>& data, std::vector<BYTE>* packed) try {
    packed->clear();
    packed->reserve(data.size() + data.size() / kMaxBlock * 5 + 16);
    packed->insert(packed->end(), {0x78, 0x01});  // deflate, 32K window; header check bits
    size_t at = 0;
    do {
        const size_t length = data.size() - at < kMaxBlock ? data.size() - at : kMaxBlock;
        const bool bLast = at + length == data.size();
        packed->insert(packed->end(), {BYTE(bLast ? 1 : 0), BYTE(length), BYTE(length >> 8), BYTE(~length),
                                       BYTE(~length >> 8)});
        packed->insert(packed->end(), data.begin() + std::ptrdiff_t(at), data.begin() + std::ptrdiff_t(at + length));
        at += length;
    } while (at < data.size());
    const uint32_t check = Adler32(data);
    packed->insert(packed->end(), {BYTE(check >> 24), BYTE(check >> 16), BYTE(check >> 8), BYTE(check)});
    return true;
} catch (const std::bad_alloc&) {
    return false;
}

uint32_t PngCrc(const BYTE* data, size_t bytes) {
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 0; i < bytes; ++i) {
        crc ^= data[i];
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return crc ^ 0xFFFFFFFFu;
}
