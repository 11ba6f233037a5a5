// The media sample: times, flags, lengths, attached types and the property
// record, on samples lent by the framework's memory allocator.
#include <cstring>

#include "media/MediaType.h"
#include "tests/allocator/AllocatorFixture.h"

namespace {

class SampleTest : public AllocatorTest {
protected:
    void SetUp() override {
        AllocatorTest::SetUp();
        Commit(1, 1000);
        m_pSample = Get();
        ASSERT_NE(nullptr, m_pSample);
        ASSERT_EQ(S_OK, m_pSample->QueryInterface(IID_IMediaSample2, reinterpret_cast<void**>(&m_pSample2)));
    }
    void TearDown() override {
        if (m_pSample2 != nullptr) {
            m_pSample2->Release();
        }
        if (m_pSample != nullptr) {
            m_pSample->Release();
        }
        AllocatorTest::TearDown();
    }
    // Returns the sample and borrows it (the only one) again.
    void Recycle() {
        m_pSample2->Release();
        m_pSample2 = nullptr;
        EXPECT_EQ(0u, m_pSample->Release());
        m_pSample = Get();
        ASSERT_EQ(S_OK, m_pSample->QueryInterface(IID_IMediaSample2, reinterpret_cast<void**>(&m_pSample2)));
    }
    AM_SAMPLE2_PROPERTIES Props() {
        AM_SAMPLE2_PROPERTIES props;
        EXPECT_EQ(S_OK, m_pSample2->GetProperties(sizeof(props), reinterpret_cast<BYTE*>(&props)));
        return props;
    }

    IMediaSample* m_pSample = nullptr;
    IMediaSample2* m_pSample2 = nullptr;
};

CMediaType VideoType() {
    CMediaType mt;
    mt.SetType(&MEDIATYPE_Video);
    mt.SetSubtype(&MEDIASUBTYPE_RGB24);
    mt.SetFormatType(&FORMAT_VideoInfo);
    VIDEOINFOHEADER* pvi = reinterpret_cast<VIDEOINFOHEADER*>(mt.AllocFormatBuffer(sizeof(VIDEOINFOHEADER)));
    std::memset(pvi, 0, sizeof(*pvi));
    pvi->bmiHeader.biWidth = 320;
    return mt;
}

TEST_F(SampleTest, TimesStartOnlyAndCleared) {
    REFERENCE_TIME start = 0, end = 0;
    EXPECT_EQ(VFW_E_SAMPLE_TIME_NOT_SET, m_pSample->GetTime(&start, &end));
    REFERENCE_TIME t0 = 500, t1 = 900;
    ASSERT_EQ(S_OK, m_pSample->SetTime(&t0, nullptr));
    EXPECT_EQ(VFW_S_NO_STOP_TIME, m_pSample->GetTime(&start, &end));
    EXPECT_EQ(500, start);
    EXPECT_EQ(501, end);
    ASSERT_EQ(S_OK, m_pSample->SetTime(&t0, &t1));
    EXPECT_EQ(S_OK, m_pSample->GetTime(&start, &end));
    EXPECT_EQ(900, end);
    ASSERT_EQ(S_OK, m_pSample->SetTime(nullptr, &t1));
    EXPECT_EQ(VFW_E_SAMPLE_TIME_NOT_SET, m_pSample->GetTime(&start, &end));
    EXPECT_EQ(E_POINTER, m_pSample->GetTime(nullptr, &end));
}

TEST_F(SampleTest, MediaTimeKeepsA32BitDelta) {
    LONGLONG start = 0, end = 0;
    EXPECT_EQ(VFW_E_MEDIA_TIME_NOT_SET, m_pSample->GetMediaTime(&start, &end));
    LONGLONG s = 0x100000000LL + 10, e = 0x100000000LL + 4;  // ends before it starts
    ASSERT_EQ(S_OK, m_pSample->SetMediaTime(&s, &e));
    ASSERT_EQ(S_OK, m_pSample->GetMediaTime(&start, &end));
    EXPECT_EQ(s, start);
    EXPECT_EQ(e, end);  // the negative delta is sign-extended
    EXPECT_EQ(E_POINTER, m_pSample->SetMediaTime(&s, nullptr));
    EXPECT_EQ(0u, Props().dwSampleFlags);  // the media-time bit is never reported
    ASSERT_EQ(S_OK, m_pSample->SetMediaTime(nullptr, nullptr));
    EXPECT_EQ(VFW_E_MEDIA_TIME_NOT_SET, m_pSample->GetMediaTime(&start, &end));
}

TEST_F(SampleTest, FlagsAndLengths) {
    EXPECT_EQ(S_FALSE, m_pSample->IsSyncPoint());
    EXPECT_EQ(S_OK, m_pSample->SetSyncPoint(TRUE));
    EXPECT_EQ(S_OK, m_pSample->SetPreroll(TRUE));
    EXPECT_EQ(S_OK, m_pSample->SetDiscontinuity(TRUE));
    EXPECT_EQ(S_OK, m_pSample->IsSyncPoint());
    EXPECT_EQ(S_OK, m_pSample->IsPreroll());
    EXPECT_EQ(S_OK, m_pSample->IsDiscontinuity());
    EXPECT_EQ(S_OK, m_pSample->SetPreroll(FALSE));
    EXPECT_EQ(S_FALSE, m_pSample->IsPreroll());
    EXPECT_EQ(static_cast<DWORD>(AM_SAMPLE_SPLICEPOINT | AM_SAMPLE_DATADISCONTINUITY), Props().dwSampleFlags);

    EXPECT_EQ(1000, m_pSample->GetSize());
    EXPECT_EQ(1000, m_pSample->GetActualDataLength());
    EXPECT_EQ(S_OK, m_pSample->SetActualDataLength(1000));
    EXPECT_EQ(VFW_E_BUFFER_OVERFLOW, m_pSample->SetActualDataLength(1001));
    EXPECT_EQ(1000, m_pSample->GetActualDataLength());
    EXPECT_EQ(S_OK, m_pSample->SetActualDataLength(-1));
    EXPECT_EQ(-1, m_pSample->GetActualDataLength());
    EXPECT_EQ(E_POINTER, m_pSample->GetPointer(nullptr));
}

TEST_F(SampleTest, ReturnResetsFlagsTypeAndStreamButKeepsValues) {
    CMediaType mt = VideoType();
    REFERENCE_TIME t0 = 7, t1 = 8;
    ASSERT_EQ(S_OK, m_pSample->SetMediaType(&mt));
    ASSERT_EQ(S_OK, m_pSample->SetTime(&t0, &t1));
    ASSERT_EQ(S_OK, m_pSample->SetSyncPoint(TRUE));
    ASSERT_EQ(S_OK, m_pSample->SetActualDataLength(10));
    AM_MEDIA_TYPE* pCopy = nullptr;
    ASSERT_EQ(S_OK, m_pSample->GetMediaType(&pCopy));
    EXPECT_TRUE(mt == *static_cast<CMediaType*>(pCopy));
    EXPECT_NE(mt.pbFormat, pCopy->pbFormat);
    DeleteMediaType(pCopy);

    Recycle();
    EXPECT_EQ(S_FALSE, m_pSample->GetMediaType(&pCopy));
    EXPECT_EQ(nullptr, pCopy);
    REFERENCE_TIME start, end;
    EXPECT_EQ(VFW_E_SAMPLE_TIME_NOT_SET, m_pSample->GetTime(&start, &end));
    AM_SAMPLE2_PROPERTIES props = Props();
    EXPECT_EQ(0u, props.dwSampleFlags);
    EXPECT_EQ(7, props.tStart);
    EXPECT_EQ(8, props.tStop);
    EXPECT_EQ(10, m_pSample->GetActualDataLength());
}

TEST_F(SampleTest, GetPropertiesCopiesOnlyWhatIsAsked) {
    BYTE record[sizeof(AM_SAMPLE2_PROPERTIES) + 8];
    std::memset(record, 0xAB, sizeof(record));
    ASSERT_EQ(S_OK, m_pSample2->GetProperties(20, record));
    DWORD cbData;
    std::memcpy(&cbData, record, sizeof(cbData));
    EXPECT_EQ(20u, cbData);
    for (size_t i = 20; i < sizeof(record); i++) {
        ASSERT_EQ(0xAB, record[i]) << i;
    }
    EXPECT_EQ(S_OK, m_pSample2->GetProperties(0, nullptr));
    EXPECT_EQ(E_POINTER, m_pSample2->GetProperties(4, nullptr));

    AM_SAMPLE2_PROPERTIES props;
    ASSERT_EQ(S_OK, m_pSample2->GetProperties(sizeof(props) + 8, reinterpret_cast<BYTE*>(&props)));
    EXPECT_EQ(sizeof(props), props.cbData);
    BYTE* pBuffer = nullptr;
    m_pSample->GetPointer(&pBuffer);
    EXPECT_EQ(pBuffer, props.pbBuffer);
    EXPECT_EQ(1000, props.cbBuffer);
}

TEST_F(SampleTest, SetPropertiesRefusesBadRecordsUnchanged) {
    AM_SAMPLE2_PROPERTIES props = Props();
    auto set = [&](DWORD size) { return m_pSample2->SetProperties(size, reinterpret_cast<const BYTE*>(&props)); };
    const DWORD full = sizeof(props);

    props.dwSampleFlags = 0x20;  // the private media-time bit
    EXPECT_EQ(E_INVALIDARG, set(full));
    props.dwSampleFlags = 0x200;  // above the settable bits
    EXPECT_EQ(E_INVALIDARG, set(full));
    props.dwSampleFlags = AM_SAMPLE_TIMEVALID;  // no valid time, times not in the record
    props.cbData = offsetof(AM_SAMPLE2_PROPERTIES, tStop);
    EXPECT_EQ(E_INVALIDARG, set(full));
    props.dwSampleFlags = 0;
    props.cbData = full + 4;
    EXPECT_EQ(E_INVALIDARG, set(full));
    props.cbData = full;
    props.pbBuffer = reinterpret_cast<BYTE*>(&props);
    EXPECT_EQ(E_INVALIDARG, set(full));
    props.pbBuffer = nullptr;
    props.cbBuffer = 999;
    EXPECT_EQ(E_INVALIDARG, set(full));
    props.cbBuffer = 1000;
    props.lActual = 1001;
    EXPECT_EQ(E_INVALIDARG, set(full));
    // A length past the buffer is refused even without the size field.
    props.cbData = offsetof(AM_SAMPLE2_PROPERTIES, tStart);
    EXPECT_EQ(E_INVALIDARG, set(full));
    props.cbData = full;
    props.dwSampleFlags = AM_SAMPLE_TYPECHANGED;
    props.pMediaType = nullptr;
    props.lActual = 5;
    EXPECT_EQ(E_POINTER, set(full));
    EXPECT_EQ(E_POINTER, m_pSample2->SetProperties(full, nullptr));
    EXPECT_EQ(S_OK, m_pSample2->SetProperties(3, nullptr));

    EXPECT_EQ(0u, Props().dwSampleFlags);
    EXPECT_EQ(1000, m_pSample->GetActualDataLength());
}

TEST_F(SampleTest, SetPropertiesAppliesFieldsAndType) {
    LONGLONG ms = 1, me = 2;
    ASSERT_EQ(S_OK, m_pSample->SetMediaTime(&ms, &me));
    CMediaType mt = VideoType();
    AM_SAMPLE2_PROPERTIES props = Props();
    props.dwSampleFlags = AM_SAMPLE_TYPECHANGED | AM_SAMPLE_TIMEVALID | AM_SAMPLE_STOPVALID | AM_SAMPLE_SPLICEPOINT;
    props.dwTypeSpecificFlags = 0x55;
    props.tStart = 100;
    props.tStop = 200;
    props.lActual = 64;
    props.dwStreamId = AM_STREAM_CONTROL;
    props.pMediaType = &mt;
    ASSERT_EQ(S_OK, m_pSample2->SetProperties(sizeof(props), reinterpret_cast<const BYTE*>(&props)));

    REFERENCE_TIME start, end;
    EXPECT_EQ(S_OK, m_pSample->GetTime(&start, &end));
    EXPECT_EQ(100, start);
    EXPECT_EQ(200, end);
    EXPECT_EQ(S_OK, m_pSample->IsSyncPoint());
    EXPECT_EQ(64, m_pSample->GetActualDataLength());
    EXPECT_EQ(S_OK, m_pSample->GetMediaTime(&ms, &me));  // survives the new flags
    AM_SAMPLE2_PROPERTIES after = Props();
    EXPECT_EQ(0x55u, after.dwTypeSpecificFlags);
    EXPECT_EQ(static_cast<DWORD>(AM_STREAM_CONTROL), after.dwStreamId);
    ASSERT_NE(nullptr, after.pMediaType);
    EXPECT_NE(&mt, after.pMediaType);  // a copy is attached
    AM_MEDIA_TYPE* pCopy = nullptr;
    ASSERT_EQ(S_OK, m_pSample->GetMediaType(&pCopy));
    EXPECT_TRUE(mt == *static_cast<CMediaType*>(pCopy));
    DeleteMediaType(pCopy);

    // Flags without the type bit keep the attached type, and its bit.
    props.dwSampleFlags = 0;
    ASSERT_EQ(S_OK, m_pSample2->SetProperties(sizeof(props), reinterpret_cast<const BYTE*>(&props)));
    EXPECT_EQ(static_cast<DWORD>(AM_SAMPLE_TYPECHANGED), Props().dwSampleFlags);
}

}  // namespace
