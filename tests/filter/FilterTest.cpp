// The slot's filter and its pin as objects: names, interfaces, the media
// type and capability they offer, and what they refuse.
#include <cmath>
#include <cstring>
#include <limits>
#include <new>
#include <vector>

#include "camera/ExtendedTickCount.h"

#include "filter/OculoPage.h"
#include "tests/filter/FilterFixture.h"

namespace {

// Fails the next nothrow allocation of exactly this many bytes (the pin's).
size_t g_cbFailNext = 0;

class CGrantingAllocator final : public IMemAllocator {
public:
    ALLOCATOR_PROPERTIES m_request = {};  // the last request
    LONG m_cbLess = 0;                    // granted this much less than asked
    STDMETHODIMP QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    STDMETHODIMP_(ULONG) AddRef() override { return 1; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP SetProperties(ALLOCATOR_PROPERTIES* pRequest, ALLOCATOR_PROPERTIES* pActual) override {
        m_request = *pRequest;
        *pActual = *pRequest;
        pActual->cbBuffer -= m_cbLess;
        return S_OK;
    }
    STDMETHODIMP GetProperties(ALLOCATOR_PROPERTIES*) override { return E_NOTIMPL; }
    STDMETHODIMP Commit() override { return E_NOTIMPL; }
    STDMETHODIMP Decommit() override { return E_NOTIMPL; }
    STDMETHODIMP GetBuffer(IMediaSample**, REFERENCE_TIME*, REFERENCE_TIME*, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP ReleaseBuffer(IMediaSample*) override { return E_NOTIMPL; }
};

const VIDEOINFOHEADER* Vih(const AM_MEDIA_TYPE* pmt) {
    return reinterpret_cast<const VIDEOINFOHEADER*>(pmt->pbFormat);
}

// Types of other kinds, which the platform's headers need not name.
const GUID kMediaTypeAudio = {0x73647561, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};
const GUID kSubtypeYUY2 = {0x32595559, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};
const GUID kFormatVideoInfo2 = {0xf72a76a0, 0xeb0a, 0x11d0, {0xac, 0xe4, 0x00, 0x00, 0xc0, 0xcc, 0x16, 0xba}};

VIDEOINFOHEADER* Vih(CMediaType& mt) { return reinterpret_cast<VIDEOINFOHEADER*>(mt.pbFormat); }

// The pin's current type, as a client reads it.
CMediaType FormatOf(COculoStream* pPin) {
    AM_MEDIA_TYPE* pmt = nullptr;
    CMediaType type;
    if (pPin->GetFormat(&pmt) == S_OK) {
        type.Set(*pmt);
        DeleteMediaType(pmt);
    }
    return type;
}

}  // namespace

void* operator new(size_t cb, const std::nothrow_t&) noexcept {
    if (g_cbFailNext != 0 && cb == g_cbFailNext) {
        g_cbFailNext = 0;
        return nullptr;
    }
    try {
        return ::operator new(cb);
    } catch (...) {
        return nullptr;
    }
}

TEST_F(FilterTest, NamesAndPinInterfacesFromEveryFilterPointer) {
    ASSERT_NO_FATAL_FAILURE(CreateFilter(SlotConfig{}));
    PIN_INFO pinInfo = {};
    ASSERT_EQ(m_pPin->QueryPinInfo(&pinInfo), S_OK);
    pinInfo.pFilter->Release();
    EXPECT_STREQ(pinInfo.achName, kSlotName);

    IAMovieSetup* pSetup = nullptr;
    ASSERT_EQ(m_filter->QueryInterface(IID_IAMovieSetup, reinterpret_cast<void**>(&pSetup)), S_OK);
    void* pFromFilter = nullptr;
    void* pFromSetup = nullptr;
    void* pFromPin = nullptr;
    ASSERT_EQ(m_filter->QueryInterface(IID_IAMStreamConfig, &pFromFilter), S_OK);
    ASSERT_EQ(static_cast<IPin*>(m_pPin)->QueryInterface(IID_IAMStreamConfig, &pFromPin), S_OK);
    EXPECT_EQ(pFromFilter, pFromPin);
    ASSERT_EQ(pSetup->QueryInterface(IID_IKsPropertySet, &pFromSetup), S_OK);
    EXPECT_EQ(pFromSetup, static_cast<IKsPropertySet*>(m_pPin));
    static_cast<IUnknown*>(pFromFilter)->Release();
    static_cast<IUnknown*>(pFromPin)->Release();
    static_cast<IUnknown*>(pFromSetup)->Release();

    // Also from the filter's IUnknown, and never into a null pointer.
    CComRef<IUnknown> filterIdentity;
    ASSERT_EQ(m_filter->QueryInterface(IID_IUnknown, filterIdentity.PutVoid()), S_OK);
    CComRef<IUnknown> fromIdentity;
    ASSERT_EQ(filterIdentity->QueryInterface(IID_IAMStreamConfig, fromIdentity.PutVoid()), S_OK);
    EXPECT_EQ(static_cast<void*>(fromIdentity.Get()), static_cast<IAMStreamConfig*>(m_pPin));
    EXPECT_EQ(pSetup->QueryInterface(IID_IKsPropertySet, nullptr), E_POINTER);
    EXPECT_EQ(static_cast<IAMStreamConfig*>(m_pPin)->QueryInterface(IID_IPin, nullptr), E_POINTER);
    pSetup->Release();
}

// The status interface from the filter's and the pin's every identity,
// before any run: a stopped camera with no figures, within the caller's size.
TEST_F(FilterTest, StatusOfAFilterNeverRunFromEveryIdentity) {
    ASSERT_NO_FATAL_FAILURE(CreateFilter(SlotConfig{}));
    IUnknown* const identities[] = {m_filter.Get(), m_pOculo->GetNonDelegatingUnknown(), static_cast<IPin*>(m_pPin),
                                    m_pPin->GetNonDelegatingUnknown()};
    for (IUnknown* pUnk : identities) {
        CComRef<IOculoStatus> status;
        ASSERT_EQ(pUnk->QueryInterface(IID_IOculoStatus, status.PutVoid()), S_OK);
        // A caller of a later version offers more than this version fills.
        struct {
            OCULO_STATUS status;
            BYTE beyond[16];
        } larger;
        std::memset(&larger, 0xA5, sizeof(larger));
        larger.status.cbSize = sizeof(larger);
        ASSERT_EQ(status->GetStatus(&larger.status), S_OK);
        EXPECT_EQ(larger.status.cbSize, sizeof(OCULO_STATUS));
        EXPECT_EQ(larger.status.dwVersion, DWORD(OCULO_STATUS_VERSION));
        EXPECT_EQ(larger.status.lState, OCULO_STATE_STOPPED);
        EXPECT_EQ(larger.status.lReason, OCULO_REASON_NONE);
        EXPECT_EQ(larger.status.ullPictures, 0u);
        EXPECT_EQ(larger.status.szReason[0], L'\0');
        EXPECT_EQ(larger.status.ullMsSinceLastPicture, OCULO_NO_PICTURE_YET);
        for (BYTE b : larger.beyond) ASSERT_EQ(b, 0xA5);

        OCULO_STATUS small = {};
        small.cbSize = sizeof(OCULO_STATUS) - 1;
        EXPECT_EQ(status->GetStatus(&small), E_INVALIDARG);
        EXPECT_EQ(status->GetStatus(nullptr), E_POINTER);
    }
}

// Applications' "camera settings" buttons ask the filter for its pages.
TEST_F(FilterTest, PropertyPagesNameTheSlotsPage) {
    ASSERT_NO_FATAL_FAILURE(CreateFilter(SlotConfig{}));
    CComRef<ISpecifyPropertyPages> specify;
    ASSERT_EQ(m_pOculo->GetNonDelegatingUnknown()->QueryInterface(IID_ISpecifyPropertyPages, specify.PutVoid()), S_OK);
    CAUUID pages = {};
    ASSERT_EQ(specify->GetPages(&pages), S_OK);
    ASSERT_EQ(pages.cElems, 1u);
    EXPECT_TRUE(IsEqualCLSID(pages.pElems[0], CLSID_OculoPage));
    CoTaskMemFree(pages.pElems);
    EXPECT_EQ(specify->GetPages(nullptr), E_POINTER);
}

// COM's rules over the pin's interfaces, on which a .NET wrapper relies (it
// holds the IUnknown and casts from there): every interface reaches every
// other, itself included, and back; all give one IUnknown; no other interface
// is answered; every reference handed out is counted.
TEST_F(FilterTest, PinInterfacesFollowComRules) {
    ASSERT_NO_FATAL_FAILURE(CreateFilter(SlotConfig{}));
    const IID* const iids[] = {&IID_IUnknown, &IID_IPin, &IID_IQualityControl, &IID_IAMStreamConfig,
                               &IID_IKsPropertySet, &IID_IOculoStatus};
    IUnknown* const pIdentity = m_pPin->GetNonDelegatingUnknown();
    m_filter->AddRef();
    const ULONG cBefore = m_filter->Release();
    for (const IID* from : iids) {
        CComRef<IUnknown> source;
        ASSERT_EQ(pIdentity->QueryInterface(*from, source.PutVoid()), S_OK);
        for (const IID* to : iids) {
            CComRef<IUnknown> target;
            ASSERT_EQ(source->QueryInterface(*to, target.PutVoid()), S_OK);
            CComRef<IUnknown> back;
            ASSERT_EQ(target->QueryInterface(*from, back.PutVoid()), S_OK);
            EXPECT_EQ(back.Get(), source.Get());
            CComRef<IUnknown> unknown;
            ASSERT_EQ(target->QueryInterface(IID_IUnknown, unknown.PutVoid()), S_OK);
            EXPECT_EQ(unknown.Get(), pIdentity);
        }
        void* pNone = reinterpret_cast<void*>(1);
        EXPECT_EQ(source->QueryInterface(IID_IBaseFilter, &pNone), E_NOINTERFACE);
        EXPECT_EQ(pNone, nullptr);
    }
    m_filter->AddRef();
    EXPECT_EQ(m_filter->Release(), cBefore);
}

TEST_F(FilterTest, PinThatCannotBeMadeIsReportedAndItsInterfacesAreAbsent) {
    ASSERT_NO_FATAL_FAILURE(CreateFilter(SlotConfig{}));
    HRESULT hr = S_OK;
    g_cbFailNext = sizeof(COculoStream);
    COculo* pOculo = new COculo(nullptr, &hr, kSlot);
    g_cbFailNext = 0;
    EXPECT_EQ(hr, E_OUTOFMEMORY);
    EXPECT_EQ(pOculo->GetPinCount(), 0);
    void* pv = reinterpret_cast<void*>(1);
    EXPECT_EQ(pOculo->QueryInterface(IID_IAMStreamConfig, &pv), E_NOINTERFACE);
    EXPECT_EQ(pv, nullptr);
    EXPECT_EQ(pOculo->QueryInterface(IID_IKsPropertySet, &pv), E_NOINTERFACE);
    OCULO_STATUS status = SizedStatus();
    EXPECT_EQ(pOculo->GetStatus(&status), S_OK);
    EXPECT_EQ(status.lState, OCULO_STATE_STOPPED);
    delete pOculo;
}

// A 642-pixel row pads to 1928 bytes; the capability offers only the slot's size.
TEST_F(FilterTest, FormatAndCapabilityDescribeTheSlotsImage) {
    SlotConfig config;
    config.w = 642;
    config.h = 480;
    ASSERT_NO_FATAL_FAILURE(CreateFilter(config));
    AM_MEDIA_TYPE* pmt = nullptr;
    ASSERT_EQ(m_pPin->GetFormat(&pmt), S_OK);
    EXPECT_EQ(pmt->subtype, MEDIASUBTYPE_RGB24);
    EXPECT_TRUE(pmt->bFixedSizeSamples);
    EXPECT_EQ(pmt->lSampleSize, 925440u);
    EXPECT_EQ(Vih(pmt)->bmiHeader.biSizeImage, 925440u);
    EXPECT_EQ(Vih(pmt)->AvgTimePerFrame, 400000);
    DeleteMediaType(pmt);

    int count = 0;
    int size = 0;
    ASSERT_EQ(m_pPin->GetNumberOfCapabilities(&count, &size), S_OK);
    EXPECT_EQ(count, 1);
    ASSERT_EQ(size, static_cast<int>(sizeof(VIDEO_STREAM_CONFIG_CAPS)));
    for (int index : {0, 5}) {
        VIDEO_STREAM_CONFIG_CAPS caps = {};
        ASSERT_EQ(m_pPin->GetStreamCaps(index, &pmt, reinterpret_cast<BYTE*>(&caps)), S_OK);
        EXPECT_FALSE(pmt->bFixedSizeSamples);
        EXPECT_EQ(Vih(pmt)->bmiHeader.biWidth, 642);
        for (SIZE s : {caps.InputSize, caps.MinOutputSize, caps.MaxOutputSize, caps.MinCroppingSize,
                       caps.MaxCroppingSize}) {
            EXPECT_EQ(s.cx, 642);
            EXPECT_EQ(s.cy, 480);
        }
        EXPECT_EQ(caps.MinFrameInterval, 200000);
        EXPECT_EQ(caps.MaxFrameInterval, 50000000);
        EXPECT_EQ(caps.MinBitsPerSecond, 642 * 480 * 24 / 5);
        EXPECT_EQ(caps.MaxBitsPerSecond, 642 * 480 * 24 * 50);
        // Accepted back, as applications do.
        EXPECT_EQ(m_pPin->SetFormat(pmt), S_OK);
        DeleteMediaType(pmt);
    }
    EXPECT_EQ(m_pPin->GetFormat(nullptr), E_POINTER);
    EXPECT_EQ(m_pPin->GetNumberOfCapabilities(nullptr, &size), E_POINTER);
    EXPECT_EQ(m_pPin->GetStreamCaps(0, &pmt, nullptr), E_POINTER);
    EXPECT_EQ(m_pPin->SetFormat(nullptr), E_POINTER);
}

TEST_F(FilterTest, PinCategoryIsReadOnlyCapture) {
    ASSERT_NO_FATAL_FAILURE(CreateFilter(SlotConfig{}));
    GUID category = GUID_NULL;
    DWORD cb = 0;
    EXPECT_EQ(m_pPin->Get(AMPROPSETID_Pin, 0, nullptr, 0, &category, 16, &cb), S_OK);
    EXPECT_EQ(category, PIN_CATEGORY_CAPTURE);
    EXPECT_EQ(cb, 16u);
    cb = 0;
    EXPECT_EQ(m_pPin->Get(AMPROPSETID_Pin, 0, nullptr, 0, nullptr, 0, &cb), S_OK);
    EXPECT_EQ(cb, 16u);
    cb = 0;
    EXPECT_EQ(m_pPin->Get(AMPROPSETID_Pin, 0, nullptr, 0, &category, 8, &cb), E_UNEXPECTED);
    EXPECT_EQ(cb, 16u);
    EXPECT_EQ(m_pPin->Get(AMPROPSETID_Pin, 0, nullptr, 0, nullptr, 0, nullptr), E_POINTER);
    DWORD support = 0;
    EXPECT_EQ(m_pPin->QuerySupported(AMPROPSETID_Pin, 0, &support), S_OK);
    EXPECT_EQ(support, static_cast<DWORD>(KSPROPERTY_SUPPORT_GET));
}

TEST_F(FilterTest, TypeRefusalsAndBufferSizing) {
    ASSERT_NO_FATAL_FAILURE(CreateFilter(SlotConfig{}));
    CMediaType current;
    ASSERT_EQ(m_pPin->GetMediaType(0, &current), S_OK);
    CMediaType other;
    EXPECT_EQ(m_pPin->GetMediaType(1, &other), S_OK);
    EXPECT_TRUE(other == current);
    EXPECT_EQ(m_pPin->GetMediaType(2, &other), VFW_S_NO_MORE_ITEMS);
    EXPECT_EQ(m_pPin->GetMediaType(-1, &other), E_INVALIDARG);

    CMediaType variable(current);
    variable.SetVariableSize();
    EXPECT_EQ(m_pPin->CheckMediaType(&variable), S_OK);
    CMediaType otherRate(current);
    Vih(otherRate)->AvgTimePerFrame = 1000000;
    EXPECT_EQ(m_pPin->CheckMediaType(&otherRate), E_INVALIDARG);  // deliverable, but not the current type

    // Three buffers, each holding the image: a tee downstream keeps one while
    // it takes another.
    const LONG cbImage = 64 * 3 * 48;
    CGrantingAllocator allocator;
    ALLOCATOR_PROPERTIES request = {0, 0, 1, 0};
    EXPECT_EQ(m_pPin->DecideBufferSize(&allocator, &request), S_OK);
    EXPECT_EQ(allocator.m_request.cBuffers, 3);
    EXPECT_EQ(allocator.m_request.cbBuffer, cbImage);
    allocator.m_cbLess = 1;
    EXPECT_EQ(m_pPin->DecideBufferSize(&allocator, &request), E_FAIL);
    allocator.m_cbLess = 0;

    // A type that leaves the image size open still gets the whole image; one
    // that names a smaller image is refused, however it became current.
    CMediaType openSize(current);
    Vih(openSize)->bmiHeader.biSizeImage = 0;
    ASSERT_EQ(m_pPin->SetFormat(&openSize), S_OK);
    EXPECT_EQ(m_pPin->DecideBufferSize(&allocator, &request), S_OK);
    EXPECT_EQ(allocator.m_request.cbBuffer, cbImage);
    CMediaType smallImage(current);
    Vih(smallImage)->bmiHeader.biSizeImage = 16;
    ASSERT_EQ(m_pPin->SetMediaType(&smallImage), S_OK);
    EXPECT_EQ(m_pPin->DecideBufferSize(&allocator, &request), E_INVALIDARG);
}

// Clients may change the frame interval within the capability's range and
// leave the image size open; anything else would have the pin label its
// RGB24 image as something it is not. SetFormat refuses it as CheckMediaType
// does, with the same code but for another size or none to read
// (VFW_E_INVALIDMEDIATYPE), and the current type stays as it was.
TEST_F(FilterTest, SetFormatTakesOnlyWhatThePinDelivers) {
    ASSERT_NO_FATAL_FAILURE(CreateFilter(SlotConfig{}));
    const CMediaType current = FormatOf(m_pPin);
    ASSERT_NE(current.pbFormat, nullptr);
    const struct {
        const char* what;
        void (*change)(CMediaType& mt);
        HRESULT hr;
        bool bSize = false;  // SetFormat: VFW_E_INVALIDMEDIATYPE
    } refusals[] = {
        {"width", [](CMediaType& mt) { Vih(mt)->bmiHeader.biWidth = 32; }, E_FAIL, true},
        {"height", [](CMediaType& mt) { Vih(mt)->bmiHeader.biHeight = -48; }, E_FAIL, true},
        {"no format", [](CMediaType& mt) { mt.FreeFormatBuffer(); }, E_INVALIDARG, true},
        {"major type", [](CMediaType& mt) { mt.SetType(&kMediaTypeAudio); }, E_INVALIDARG},
        {"format type", [](CMediaType& mt) { mt.SetFormatType(&kFormatVideoInfo2); }, E_INVALIDARG},
        {"RGB32",
         [](CMediaType& mt) {
             mt.SetSubtype(&MEDIASUBTYPE_RGB32);
             Vih(mt)->bmiHeader.biBitCount = 32;
             Vih(mt)->bmiHeader.biSizeImage = 64 * 4 * 48;
         },
         E_INVALIDARG},
        {"YUY2",
         [](CMediaType& mt) {
             mt.SetSubtype(&kSubtypeYUY2);
             Vih(mt)->bmiHeader.biBitCount = 16;
             Vih(mt)->bmiHeader.biCompression = kSubtypeYUY2.Data1;
         },
         E_INVALIDARG},
        {"bit count", [](CMediaType& mt) { Vih(mt)->bmiHeader.biBitCount = 32; }, E_INVALIDARG},
        {"compression", [](CMediaType& mt) { Vih(mt)->bmiHeader.biCompression = BI_BITFIELDS; },
         E_INVALIDARG},
        {"image size", [](CMediaType& mt) { Vih(mt)->bmiHeader.biSizeImage = 16; }, E_INVALIDARG},
        {"negative interval", [](CMediaType& mt) { Vih(mt)->AvgTimePerFrame = -1; }, E_INVALIDARG},
        {"fast", [](CMediaType& mt) { Vih(mt)->AvgTimePerFrame = kMinFrameInterval - 1; }, E_INVALIDARG},
        {"slow", [](CMediaType& mt) { Vih(mt)->AvgTimePerFrame = kMaxFrameInterval + 1; }, E_INVALIDARG},
    };
    for (const auto& refusal : refusals) {
        CMediaType type(current);
        refusal.change(type);
        EXPECT_EQ(m_pPin->SetFormat(&type), refusal.bSize ? VFW_E_INVALIDMEDIATYPE : refusal.hr) << refusal.what;
        EXPECT_EQ(m_pPin->CheckMediaType(&type), refusal.hr) << refusal.what;
        EXPECT_TRUE(FormatOf(m_pPin) == current) << refusal.what;
    }
    // 0: no rate asked for, the slot's own.
    for (REFERENCE_TIME interval : {REFERENCE_TIME(0), kMinFrameInterval, kMaxFrameInterval}) {
        CMediaType type(current);
        Vih(type)->AvgTimePerFrame = interval;
        EXPECT_EQ(m_pPin->SetFormat(&type), S_OK) << interval;
    }
}

// Sizes without a 32-bit image: no store, and the pin says why it refuses.
TEST_F(FilterTest, SlotSizeWithoutAnImageRefusesToConnect) {
    SlotConfig config;
    config.w = 40000;
    config.h = 40000;
    ASSERT_NO_FATAL_FAILURE(CreateFilter(config));
    ASSERT_NO_FATAL_FAILURE(MakeGraph());
    EXPECT_EQ(m_graph->ConnectDirect(static_cast<IPin*>(m_pPin), m_sink->InputPin(), nullptr),
              VFW_E_INVALIDMEDIATYPE);
    CGrantingAllocator allocator;
    ALLOCATOR_PROPERTIES request = {0, 0, 1, 0};
    EXPECT_EQ(m_pPin->DecideBufferSize(&allocator, &request), VFW_E_INVALIDMEDIATYPE);
}

TEST(FrameDuration, EveryRateGivesADurationInTheAdvertisedRange) {
    EXPECT_EQ(COculoStream::FrameDuration(25.0f), 400000);
    EXPECT_EQ(COculoStream::FrameDuration(29.97f), 333667);
    EXPECT_EQ(COculoStream::FrameDuration(7.5f), 1333333);
    EXPECT_EQ(COculoStream::FrameDuration(0.2f), 49999999);
    // Outside the range: clamped; no rate at all: 25 frames per second.
    EXPECT_EQ(COculoStream::FrameDuration(60.0f), 200000);
    EXPECT_EQ(COculoStream::FrameDuration(1e30f), 200000);
    EXPECT_EQ(COculoStream::FrameDuration(1e-30f), 50000000);
    for (float fps : {0.0f, -5.0f, std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                      -std::numeric_limits<float>::infinity()}) {
        EXPECT_EQ(COculoStream::FrameDuration(fps), 400000) << fps;
    }
}

namespace {

// The pin's clock as the test sets it.
DWORD g_dwTicks = 0;
DWORD WINAPI TestTicks() { return g_dwTicks; }

// A sample of the platform's allocator; Fill runs the pin's FillBuffer on it
// (the filter stopped: no wait) and returns the image.
struct CardSample {
    CComRef<IMemAllocator> alloc;
    IMediaSample* pSample = nullptr;
    bool Make(LONG cb) {
        ALLOCATOR_PROPERTIES request = {1, cb, 1, 0}, actual = {};
        return SUCCEEDED(CoCreateInstance(CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER, IID_IMemAllocator,
                                          reinterpret_cast<void**>(alloc.Put()))) &&
               SUCCEEDED(alloc->SetProperties(&request, &actual)) && SUCCEEDED(alloc->Commit()) &&
               SUCCEEDED(alloc->GetBuffer(&pSample, nullptr, nullptr, 0));
    }
    std::vector<BYTE> Fill(COculoStream* pPin) {
        BYTE* pData = nullptr;
        EXPECT_EQ(pPin->FillBuffer(pSample), S_OK);
        EXPECT_EQ(pSample->GetPointer(&pData), S_OK);
        return std::vector<BYTE>(pData, pData + pSample->GetSize());
    }
    ~CardSample() {
        if (pSample) pSample->Release();
        if (alloc) alloc->Decommit();
    }
};

}  // namespace

// With the card on, samples show it until the first picture and once no
// picture has come for more than 5 s, the picture dimmed behind it; the next
// picture ends it at once. Off: black first, then the picture repeated.
TEST_F(FilterTest, StatusCardBeforeTheFirstPictureAndAfterFiveSecondsWithout) {
    const LONG w = 160, h = 120;  // rows of 480 bytes: no padding
    const std::vector<BYTE> black(size_t(w * h * 3), 0);
    std::vector<BYTE> picture(black.size());
    for (size_t i = 0; i < picture.size(); ++i) picture[i] = BYTE(0x28 + i % 3 * 0x3C);  // B 28, G 64, R A0
    const BYTE dimmed[3] = {0x0F, 0x25, 0x3C};                                            // 3/8
    auto isCard = [&](const std::vector<BYTE>& frame) {  // a top row of one colour, not the picture's, not black
        const BYTE* top = &frame[size_t(h - 1) * w * 3];
        bool plain = std::memcmp(top, &black[0], 3) != 0 && std::memcmp(top, &picture[0], 3) != 0;
        for (LONG i = 3; i < w * 3; ++i) plain = plain && top[i] == top[i % 3];
        return plain;
    };
    struct TestClock {  // the real clock again for the tests that follow, whatever happens here
        TestClock() { SetExtendedTickSource(TestTicks); }
        ~TestClock() { SetExtendedTickSource(nullptr); }
    } clock;
    for (LONG status : {1, 0}) {
        SCOPED_TRACE(testing::Message() << "status " << status);
        g_dwTicks = 1000;
        SlotConfig config;
        config.w = w, config.h = h, config.status = status;
        ASSERT_NO_FATAL_FAILURE(CreateFilter(config));
        CardSample sample;
        ASSERT_TRUE(sample.Make(LONG(black.size())));
        std::vector<BYTE> frame = sample.Fill(m_pPin);
        EXPECT_TRUE(status ? isCard(frame) : frame == black);
        m_pPin->OnFrame(picture.data(), w, h);
        EXPECT_EQ(sample.Fill(m_pPin), picture);
        g_dwTicks += 5000;
        EXPECT_EQ(sample.Fill(m_pPin), picture);
        g_dwTicks += 1;
        frame = sample.Fill(m_pPin);
        EXPECT_TRUE(status ? isCard(frame) && std::memcmp(&frame[0], dimmed, 3) == 0 : frame == picture);
        m_pPin->OnFrame(picture.data(), w, h);
        EXPECT_EQ(sample.Fill(m_pPin), picture);
    }
}
