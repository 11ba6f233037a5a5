#include <gtest/gtest.h>

#include <atomic>
#include <cstring>

#include "media/MediaType.h"

namespace {

// Counts references so that tests see every AddRef and Release.
class CountedObject : public IUnknown {
public:
    std::atomic<ULONG> m_cRef{1};
    STDMETHODIMP QueryInterface(REFIID, void** ppv) override {
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++m_cRef; }
    STDMETHODIMP_(ULONG) Release() override { return --m_cRef; }
};

// A video type with a format block of `length` bytes filled with `fill`.
void MakeType(CMediaType& mt, ULONG length, BYTE fill) {
    mt.SetType(&MEDIATYPE_Video);
    mt.SetSubtype(&MEDIASUBTYPE_RGB24);
    mt.SetFormatType(&FORMAT_VideoInfo);
    BYTE* pb = mt.AllocFormatBuffer(length);
    ASSERT_NE(pb, nullptr);
    std::memset(pb, fill, length);
}

BITMAPINFOHEADER Header(LONG width, LONG height, WORD bits, DWORD compression) {
    BITMAPINFOHEADER bih = {};
    bih.biSize = sizeof(BITMAPINFOHEADER);
    bih.biWidth = width;
    bih.biHeight = height;
    bih.biPlanes = 1;
    bih.biBitCount = bits;
    bih.biCompression = compression;
    return bih;
}

}  // namespace

TEST(MediaType, DefaultIsEmptyFixedSizeOfOneByte) {
    CMediaType mt;
    EXPECT_EQ(sizeof(CMediaType), sizeof(AM_MEDIA_TYPE));
    EXPECT_TRUE(IsEqualGUID(mt.majortype, GUID_NULL));
    EXPECT_TRUE(mt.bFixedSizeSamples);
    EXPECT_EQ(mt.lSampleSize, 1u);
    EXPECT_EQ(mt.cbFormat, 0u);
    EXPECT_EQ(mt.pbFormat, nullptr);
    EXPECT_EQ(mt.pUnk, nullptr);
    EXPECT_TRUE(mt.IsPartiallySpecified());

    mt.SetSampleSize(0);  // variable size keeps the stored size
    EXPECT_FALSE(mt.bFixedSizeSamples);
    EXPECT_EQ(mt.lSampleSize, 1u);
    EXPECT_EQ(mt.GetSampleSize(), 0u);
    mt.SetSampleSize(921600);
    EXPECT_EQ(mt.GetSampleSize(), 921600u);
}

TEST(MediaType, CopiesAreDeepAndOwnTheirReference) {
    CountedObject object;
    {
        CMediaType original;
        MakeType(original, 88, 0x5A);
        original.pUnk = &object;
        object.AddRef();  // the record's own reference

        CMediaType copy(original);
        EXPECT_EQ(object.m_cRef.load(), 3u);
        ASSERT_NE(copy.pbFormat, original.pbFormat);
        EXPECT_TRUE(copy == original);
        copy.pbFormat[0] = 0;  // changing the copy leaves the original alone
        EXPECT_EQ(original.pbFormat[0], 0x5A);
        EXPECT_TRUE(copy != original);

        CMediaType assigned;
        MakeType(assigned, 10, 1);  // replaced content is freed (ASan would see a leak)
        assigned = original;
        EXPECT_TRUE(assigned == original);
        EXPECT_EQ(object.m_cRef.load(), 4u);

        EXPECT_EQ(assigned.Set(assigned), S_OK);  // self-assignment changes nothing
        EXPECT_EQ(assigned.cbFormat, 88u);
        EXPECT_EQ(assigned.pbFormat[87], 0x5A);
        EXPECT_EQ(object.m_cRef.load(), 4u);

        AM_MEDIA_TYPE* pmt = CreateMediaType(&original);
        ASSERT_NE(pmt, nullptr);
        EXPECT_NE(pmt->pbFormat, original.pbFormat);
        EXPECT_EQ(object.m_cRef.load(), 5u);
        DeleteMediaType(pmt);
        EXPECT_EQ(object.m_cRef.load(), 4u);
        DeleteMediaType(nullptr);
    }
    EXPECT_EQ(object.m_cRef.load(), 1u);  // every record released its own reference once
}

TEST(MediaType, FreeReleasesOnlyWhatTheRecordOwns) {
    CountedObject object;
    AM_MEDIA_TYPE mt = {};
    BYTE stale[4];
    mt.pbFormat = stale;  // cbFormat 0: not owned, must not be freed
    mt.pUnk = &object;
    FreeMediaType(mt);
    EXPECT_EQ(mt.pbFormat, stale);
    EXPECT_EQ(mt.pUnk, nullptr);
    EXPECT_EQ(object.m_cRef.load(), 0u);
    FreeMediaType(mt);  // a second free releases nothing more
    EXPECT_EQ(object.m_cRef.load(), 0u);
}

TEST(MediaType, AFailedCopyTakesNoReferenceAndHoldsNothing) {
    // A peer's record that claims a format block it does not have.
    CountedObject object;
    AM_MEDIA_TYPE bad = {};
    bad.majortype = MEDIATYPE_Video;
    bad.cbFormat = 88;
    bad.pbFormat = nullptr;
    bad.pUnk = &object;

    AM_MEDIA_TYPE target;
    EXPECT_TRUE(FAILED(CopyMediaType(&target, &bad)));
    EXPECT_TRUE(IsEqualGUID(target.majortype, MEDIATYPE_Video));
    EXPECT_EQ(target.cbFormat, 0u);
    EXPECT_EQ(target.pbFormat, nullptr);
    EXPECT_EQ(target.pUnk, nullptr);
    FreeMediaType(target);
    EXPECT_EQ(object.m_cRef.load(), 1u);

    EXPECT_EQ(CreateMediaType(&bad), nullptr);
    CMediaType mt;
    EXPECT_EQ(mt.Set(bad), E_OUTOFMEMORY);
    EXPECT_EQ(mt.cbFormat, 0u);
    EXPECT_EQ(object.m_cRef.load(), 1u);

    // Comparing with such a record reads nothing.
    CMediaType good;
    MakeType(good, 88, 0);
    CMediaType claims;
    claims = good;
    CoTaskMemFree(claims.pbFormat);
    claims.pbFormat = nullptr;
    EXPECT_FALSE(good == claims);
    EXPECT_FALSE(good.MatchesPartial(&claims));
    claims.cbFormat = 0;  // so that it frees nothing
}

TEST(MediaType, EqualityIgnoresSampleFieldsButNotTheFormat) {
    CMediaType a;
    CMediaType b;
    MakeType(a, 16, 7);
    MakeType(b, 16, 7);
    b.SetSampleSize(1234);
    b.SetTemporalCompression(TRUE);
    EXPECT_TRUE(a == b);
    b.pbFormat[15] = 8;
    EXPECT_FALSE(a == b);
    b.pbFormat[15] = 7;
    b.SetSubtype(&MEDIASUBTYPE_RGB32);
    EXPECT_FALSE(a == b);
    b.SetSubtype(&MEDIASUBTYPE_RGB24);
    b.AllocFormatBuffer(15);
    EXPECT_FALSE(a == b);
}

TEST(MediaType, PartialTypesMatchAsPatterns) {
    CMediaType full;
    MakeType(full, 8, 3);
    CMediaType any;  // all three GUIDs null
    any.SetSampleSize(99);
    EXPECT_TRUE(any.IsPartiallySpecified());
    EXPECT_TRUE(full.MatchesPartial(&any));
    EXPECT_FALSE(full.IsPartiallySpecified());

    CMediaType video;
    video.SetType(&MEDIATYPE_Video);
    EXPECT_TRUE(full.MatchesPartial(&video));
    video.SetSubtype(&MEDIASUBTYPE_RGB32);
    EXPECT_FALSE(full.MatchesPartial(&video));

    // A format type in the pattern binds the whole block.
    CMediaType withFormat;
    withFormat.SetFormatType(&FORMAT_VideoInfo);
    EXPECT_FALSE(full.MatchesPartial(&withFormat));  // no block vs 8 bytes
    std::memset(withFormat.AllocFormatBuffer(8), 3, 8);
    EXPECT_TRUE(full.MatchesPartial(&withFormat));
    withFormat.pbFormat[0] = 4;
    EXPECT_FALSE(full.MatchesPartial(&withFormat));
}

TEST(MediaType, FormatBufferReusesAndReplacesItsBlock) {
    CMediaType mt;
    BYTE* first = mt.AllocFormatBuffer(88);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(mt.AllocFormatBuffer(88), first);
    BYTE* second = mt.AllocFormatBuffer(200);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(mt.cbFormat, 200u);
    second[199] = 1;  // ASan checks the new block's size
    EXPECT_EQ(mt.AllocFormatBuffer(0), nullptr);  // no block kept that nothing owns
    EXPECT_EQ(mt.cbFormat, 0u);
    EXPECT_EQ(mt.pbFormat, nullptr);
}

TEST(MediaType, BitmapSizes) {
    BITMAPINFOHEADER bih = Header(640, 480, 24, BI_RGB);
    EXPECT_EQ(GetBitmapSize(&bih), 921600u);
    bih.biHeight = -480;  // top-down
    EXPECT_EQ(GetBitmapSize(&bih), 921600u);
    bih = Header(3, 2, 24, BI_RGB);  // rows of 9 bytes padded to 12
    EXPECT_EQ(GetBitmapSize(&bih), 24u);
    bih = Header(5, 3, 1, BI_RGB);
    EXPECT_EQ(GetBitmapSize(&bih), 12u);
    bih = Header(7, 1, 32, BI_RGB);
    EXPECT_EQ(GetBitmapSize(&bih), 28u);
    bih = Header(1, -2147483647 - 1, 8, BI_RGB);  // no signed overflow (UBSan)
    EXPECT_EQ(GetBitmapSize(&bih), 0u);  // 4 * 2^31 wraps in 32 bits
}

TEST(MediaType, BitmapSubtypes) {
    struct {
        WORD bits;
        DWORD compression;
        const GUID* expected;
    } cases[] = {
        {1, BI_RGB, &MEDIASUBTYPE_RGB1},   {4, BI_RGB, &MEDIASUBTYPE_RGB4},
        {8, BI_RGB, &MEDIASUBTYPE_RGB8},   {16, BI_RGB, &MEDIASUBTYPE_RGB555},
        {24, BI_RGB, &MEDIASUBTYPE_RGB24}, {32, BI_RGB, &MEDIASUBTYPE_RGB32},
        {32, BI_BITFIELDS, &MEDIASUBTYPE_RGB32}, {12, BI_RGB, &GUID_NULL},
    };
    for (const auto& c : cases) {
        BITMAPINFOHEADER bih = Header(4, 4, c.bits, c.compression);
        EXPECT_TRUE(IsEqualGUID(GetBitmapSubtype(&bih), *c.expected)) << c.bits;
    }

    struct {
        BITMAPINFOHEADER header;
        DWORD masks[3];
    } bitfields = {Header(4, 4, 16, BI_BITFIELDS), {0xF800, 0x07E0, 0x001F}};
    EXPECT_TRUE(IsEqualGUID(GetBitmapSubtype(&bitfields.header), MEDIASUBTYPE_RGB565));
    bitfields.masks[0] = 0x7C00;
    bitfields.masks[1] = 0x03E0;
    EXPECT_TRUE(IsEqualGUID(GetBitmapSubtype(&bitfields.header), MEDIASUBTYPE_RGB555));
    bitfields.masks[2] = 0x003F;
    EXPECT_TRUE(IsEqualGUID(GetBitmapSubtype(&bitfields.header), GUID_NULL));

    const DWORD mjpg = 0x47504A4D;  // 'MJPG'
    BITMAPINFOHEADER bih = Header(4, 4, 24, mjpg);
    GUID fourcc = GetBitmapSubtype(&bih);
    EXPECT_EQ(fourcc.Data1, mjpg);
    EXPECT_EQ(fourcc.Data2, 0x0000);
    EXPECT_EQ(fourcc.Data3, 0x0010);
    const BYTE tail[8] = {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
    EXPECT_EQ(std::memcmp(fourcc.Data4, tail, 8), 0);
}
