#include "tools/shared/PngWriter.h"

#include "tools/shared/PngPack.h"

#include <cstdio>
#include <new>

namespace {

const BYTE kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
const BYTE kColourTypeRgb = 2;
const BYTE kNoFilter = 0;
// One IDAT chunk carries the whole picture; its length field is 31 bits.
const size_t kMaxChunkBytes = 0x7FFFFFFF;

void PutBigEndian(std::vector<BYTE>& out, uint32_t value) {
    out.push_back(BYTE(value >> 24));
    out.push_back(BYTE(value >> 16));
    out.push_back(BYTE(value >> 8));
    out.push_back(BYTE(value));
}

void PutChunk(std::vector<BYTE>& out, const char type[4], const BYTE* data, size_t bytes) {
    PutBigEndian(out, uint32_t(bytes));
    const size_t typeAt = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data, data + bytes);
    PutBigEndian(out, PngCrc(&out[typeAt], 4 + bytes));
}

// PNG's scanlines: a filter byte, then RGB; the store's last row is the top.
std::vector<BYTE> Scanlines(const BYTE* store, size_t stride, size_t width, size_t height) {
    std::vector<BYTE> lines((1 + 3 * width) * height);
    BYTE* out = lines.data();
    for (size_t y = 0; y < height; ++y) {
        const BYTE* row = store + (height - 1 - y) * stride;
        *out++ = kNoFilter;
        for (size_t x = 0; x < width; ++x, row += 3) {
            *out++ = row[2];
            *out++ = row[1];
            *out++ = row[0];
        }
    }
    return lines;
}

std::vector<BYTE> Encode(const BYTE* store, size_t stride, LONG width, LONG height) {
    const std::vector<BYTE> lines = Scanlines(store, stride, size_t(width), size_t(height));
    std::vector<BYTE> packed;
    if (!PackZlib(lines, &packed) || packed.size() > kMaxChunkBytes) return std::vector<BYTE>();
    std::vector<BYTE> header;
    PutBigEndian(header, uint32_t(width));
    PutBigEndian(header, uint32_t(height));
    header.insert(header.end(), {8, kColourTypeRgb, 0, 0, 0});  // depth, colour, compression, filter, interlace

    std::vector<BYTE> file(kSignature, kSignature + sizeof(kSignature));
    PutChunk(file, "IHDR", header.data(), header.size());
    PutChunk(file, "IDAT", packed.data(), packed.size());
    PutChunk(file, "IEND", nullptr, 0);
    return file;
}

}  // namespace

std::vector<BYTE> EncodeStorePng(const BYTE* store, size_t storeBytes, LONG width, LONG height) {
    if (store == nullptr || width <= 0 || height <= 0) return std::vector<BYTE>();
    const size_t stride = (size_t(width) * 3 + 3) & ~size_t(3);
    if (stride / 3 < size_t(width) || storeBytes / stride < size_t(height)) return std::vector<BYTE>();
    // The scanlines and the compressed copy are transient: a store too large
    // for memory gives no file rather than an escaping exception.
    try {
        return Encode(store, stride, width, height);
    } catch (const std::bad_alloc&) {
        return std::vector<BYTE>();
    }
}

bool WriteStorePng(const char* path, const BYTE* store, size_t storeBytes, LONG width, LONG height,
                   std::string* error) {
    const std::vector<BYTE> file = EncodeStorePng(store, storeBytes, width, height);
    if (file.empty()) {
        *error = "cannot encode a " + std::to_string(width) + "x" + std::to_string(height) + " picture";
        return false;
    }
    FILE* out = std::fopen(path, "wb");
    if (out == nullptr) {
        *error = std::string("cannot create ") + path;
        return false;
    }
    const bool written = std::fwrite(file.data(), 1, file.size(), out) == file.size();
    const bool closed = std::fclose(out) == 0;
    if (!written || !closed) {
        *error = std::string("cannot write ") + path;
        std::remove(path);
        return false;
    }
    return true;
}
