#include <gtest/gtest.h>

#include "platform/platform.h"

// The records crossing interfaces keep their published layout on every target.
TEST(PlatformHeaders, RecordLayouts) {
    EXPECT_EQ(sizeof(GUID), 16u);
    EXPECT_EQ(sizeof(BITMAPINFOHEADER), 40u);
    EXPECT_EQ(sizeof(VIDEOINFOHEADER), 88u);
    EXPECT_EQ(sizeof(ALLOCATOR_PROPERTIES), 16u);
    EXPECT_EQ(sizeof(LONG), 4u);
    EXPECT_EQ(sizeof(DWORD), 4u);
    GUID copy = MEDIATYPE_Video;
    EXPECT_TRUE(IsEqualGUID(copy, MEDIATYPE_Video));  // contents, not addresses
    copy.Data4[7] ^= 1;
    EXPECT_FALSE(IsEqualGUID(copy, MEDIATYPE_Video));  // down to the last byte
    EXPECT_EQ(MEDIASUBTYPE_RGB24.Data1, 0xe436eb7du);
}
