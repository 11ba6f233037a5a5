// The snapshot file: a valid PNG (checked chunk by chunk and inflated with
// zlib) holding the store upright and in RGB order.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <string>
#include <vector>

#include "tools/shared/PngWriter.h"

namespace {

uint32_t BigEndian(const BYTE* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
}

struct Chunk {
    std::string type;
    std::vector<BYTE> data;
};

// Splits the file into chunks, checking the signature and every CRC.
std::vector<Chunk> Chunks(const std::vector<BYTE>& file) {
    static const BYTE kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<Chunk> chunks;
    EXPECT_GE(file.size(), 8u);
    if (file.size() < 8 || std::memcmp(file.data(), kSignature, 8) != 0) return chunks;
    size_t at = 8;
    while (at + 12 <= file.size()) {
        const size_t length = BigEndian(&file[at]);
        if (at + 12 + length > file.size()) break;
        Chunk chunk{std::string(reinterpret_cast<const char*>(&file[at + 4]), 4),
                    std::vector<BYTE>(file.begin() + long(at + 8), file.begin() + long(at + 8 + length))};
        EXPECT_EQ(BigEndian(&file[at + 8 + length]), uint32_t(crc32(0L, &file[at + 4], uInt(4 + length))))
            << chunk.type;
        chunks.push_back(chunk);
        at += 12 + length;
    }
    EXPECT_EQ(at, file.size());
    return chunks;
}

// A 3 x 2 store (rows padded from 9 to 12 bytes), bottom row first, BGR.
// Each pixel's blue byte says where it is: 10 * store row + column.
std::vector<BYTE> SmallStore() {
    std::vector<BYTE> store(24, 0xEE);  // the padding must not show
    for (int row = 0; row < 2; ++row) {
        for (int column = 0; column < 3; ++column) {
            BYTE* p = &store[size_t(row * 12 + column * 3)];
            p[0] = BYTE(10 * row + column);  // blue
            p[1] = 100;                      // green
            p[2] = 200;                      // red
        }
    }
    return store;
}

TEST(PngWriter, StoreIsWrittenUprightAsRgb) {
    const std::vector<BYTE> store = SmallStore();
    const std::vector<Chunk> chunks = Chunks(EncodeStorePng(store.data(), store.size(), 3, 2));
    ASSERT_EQ(chunks.size(), 3u);
    EXPECT_EQ(chunks[0].type, "IHDR");
    EXPECT_EQ(chunks[1].type, "IDAT");
    EXPECT_EQ(chunks[2].type, "IEND");
    ASSERT_EQ(chunks[0].data.size(), 13u);
    EXPECT_EQ(BigEndian(&chunks[0].data[0]), 3u);
    EXPECT_EQ(BigEndian(&chunks[0].data[4]), 2u);
    EXPECT_EQ(chunks[0].data[8], 8);  // bits per sample
    EXPECT_EQ(chunks[0].data[9], 2);  // RGB

    std::vector<BYTE> lines(2 * (1 + 9));
    uLongf size = uLongf(lines.size());
    ASSERT_EQ(uncompress(lines.data(), &size, chunks[1].data.data(), uLong(chunks[1].data.size())), Z_OK);
    ASSERT_EQ(size, lines.size());
    for (int y = 0; y < 2; ++y) {
        const BYTE* line = &lines[size_t(y * 10)];
        EXPECT_EQ(line[0], 0);  // no filter
        for (int x = 0; x < 3; ++x) {
            EXPECT_EQ(line[1 + 3 * x], 200) << "red first";
            EXPECT_EQ(line[2 + 3 * x], 100);
            EXPECT_EQ(line[3 + 3 * x], 10 * (1 - y) + x) << "file row " << y << " is store row " << 1 - y;
        }
    }
}

TEST(PngWriter, RefusesAStoreThatDoesNotHoldThePicture) {
    const std::vector<BYTE> store = SmallStore();
    EXPECT_TRUE(EncodeStorePng(store.data(), store.size() - 1, 3, 2).empty());
    EXPECT_TRUE(EncodeStorePng(store.data(), store.size(), 0, 2).empty());
    EXPECT_TRUE(EncodeStorePng(store.data(), store.size(), 3, -1).empty());
    EXPECT_TRUE(EncodeStorePng(nullptr, 0, 3, 2).empty());
    std::string error;
    EXPECT_FALSE(WriteStorePng("/nonexistent-folder/x.png", store.data(), store.size(), 3, 2, &error));
    EXPECT_NE(error.find("cannot create"), std::string::npos);
}

}  // namespace
