// A slot's media source loaded as the camera service loads it: the slot's
// registered class through COM, its IMFActivate, ActivateObject. Its contract
// (interfaces, attributes, types, event order, MF_E_SHUTDOWN after
// Shutdown), and Wine's own source reader reading its samples from a
// loopback camera in both types. 64-bit Windows (Wine) only.
#include <algorithm>
#include <thread>
#include <vector>

#include "mfsource/VirtualCameras.h"
#include "module/SlotClasses.h"
#include "platform/ComRef.h"
#include "platform/MFDeclarations.h"
// After Media Foundation's own headers, which it needs.
#include <mfreadwrite.h>
#include "tests/HangGuard.h"
#include "tests/fixtures/FixtureProcess.h"
#include "tests/mfsource/PictureCheck.h"
#include "tests/module/ModuleTestSupport.h"

namespace {

const DWORD kSlot = 6;
const LONG kWidth = 160;
const LONG kHeight = 120;
const LONGLONG kFrame = 400000;  // 25 fps
const DWORD kEventWaitMs = 10000;

// The next event of `generator`, waiting at most kEventWaitMs; null when none came.
CComRef<IMFMediaEvent> NextEvent(IMFMediaEventGenerator* generator) {
    CComRef<IMFMediaEvent> event;
    for (DWORD waited = 0; waited < kEventWaitMs; waited += 10) {
        if (generator->GetEvent(MF_EVENT_FLAG_NO_WAIT, event.Put()) != MF_E_NO_EVENTS_AVAILABLE) break;
        Sleep(10);
    }
    return event;
}

MediaEventType TypeOf(IMFMediaEvent* event) {
    MediaEventType type = MEUnknown;
    if (event) event->GetType(&type);
    return type;
}

class MediaSourceTest : public ModuleRegistryTest {
protected:
    void SetUp() override {
        ModuleRegistryTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
        m_bCom = true;
        ASSERT_EQ(MFStartup(MF_VERSION), S_OK);
        m_bMF = true;
    }
    void TearDown() override {
        if (m_bMF) MFShutdown();
        if (m_bCom) CoUninitialize();
        ModuleRegistryTest::TearDown();
    }
    void ConfigureSlot(const std::wstring& url) {
        SlotConfig config;
        config.url = url;
        config.w = kWidth;
        config.h = kHeight;
        config.fps = 25.0f;
        WriteSlot(kSlot, config);
        ASSERT_EQ(RegisterModule(), S_OK);
    }
    // A new activation object of the slot's class, and its source.
    void Activate(CComRef<IMFActivate>* activate, CComRef<IMFMediaSource>* source) {
        ASSERT_EQ(CoCreateInstance(g_MediaSourceClsids[kSlot], nullptr, CLSCTX_INPROC_SERVER, IID_IMFActivate,
                                   activate->PutVoid()),
                  S_OK);
        ASSERT_EQ((*activate)->ActivateObject(IID_IMFMediaSource, source->PutVoid()), S_OK);
    }

    CHangGuard m_guard{120000};
    bool m_bCom = false;
    bool m_bMF = false;
};

TEST_F(MediaSourceTest, KeepsTheContractTheCameraServiceReliesOn) {
    ConfigureSlot(L"http://127.0.0.1:" + std::to_wstring(FreeLoopbackPort()) + L"/");
    EXPECT_EQ(ClassesRootText(L"CLSID\\" + SlotCameraArgs(kSlot, L"").sourceId + L"\\InprocServer32",
                              L"ThreadingModel"),
              L"Both");
    CComRef<IMFActivate> activate;
    CComRef<IMFMediaSource> source;
    ASSERT_NO_FATAL_FAILURE(Activate(&activate, &source));
    CComRef<IMFMediaSource> again;
    ASSERT_EQ(activate->ActivateObject(IID_IMFMediaSource, again.PutVoid()), S_OK);
    EXPECT_EQ(again.Get(), source.Get()) << "one source per activation";
    EXPECT_EQ(activate->SetUINT32(MF_DEVICESTREAM_STREAM_ID, 7), S_OK) << "the activation's own attributes";

    // Interfaces: one identity; no services, no property sets.
    CComRef<IMFMediaSourceEx> sourceEx;
    CComRef<IMFGetService> services;
    CComRef<IKsControl> control;
    ASSERT_EQ(source.As(IID_IMFMediaSourceEx, &sourceEx), S_OK);
    ASSERT_EQ(source.As(IID_IMFGetService, &services), S_OK);
    ASSERT_EQ(source.As(IID_IKsControl, &control), S_OK);
    CComRef<IUnknown> identity, identityFromControl;
    ASSERT_EQ(source.As(IID_IUnknown, &identity), S_OK);
    ASSERT_EQ(control.As(IID_IUnknown, &identityFromControl), S_OK);
    EXPECT_EQ(identity.Get(), identityFromControl.Get());
    CComRef<IUnknown> service;
    EXPECT_EQ(services->GetService(MF_RATE_CONTROL_SERVICE, IID_IUnknown, service.PutVoid()), MF_E_UNSUPPORTED_SERVICE);
    KSPROPERTY property = {};
    ULONG returned = 1;
    EXPECT_EQ(control->KsProperty(&property, sizeof(property), nullptr, 0, &returned),
              HRESULT_FROM_WIN32(ERROR_SET_NOT_FOUND));
    DWORD characteristics = 0;
    ASSERT_EQ(source->GetCharacteristics(&characteristics), S_OK);
    EXPECT_EQ(characteristics, DWORD(MFMEDIASOURCE_IS_LIVE));

    // Attributes: the source's store is one; the stream is a shared colour capture stream 0.
    CComRef<IMFAttributes> first, second, stream;
    ASSERT_EQ(sourceEx->GetSourceAttributes(first.Put()), S_OK);
    ASSERT_EQ(sourceEx->GetSourceAttributes(second.Put()), S_OK);
    EXPECT_EQ(first.Get(), second.Get());
    ASSERT_EQ(sourceEx->GetStreamAttributes(0, stream.Put()), S_OK);
    GUID category = GUID_NULL;
    EXPECT_EQ(stream->GetGUID(MF_DEVICESTREAM_STREAM_CATEGORY, &category), S_OK);
    EXPECT_TRUE(IsEqualGUID(category, PINNAME_VIDEO_CAPTURE));
    EXPECT_EQ(MFGetAttributeUINT32(stream.Get(), MF_DEVICESTREAM_STREAM_ID, 9), 0u);
    EXPECT_EQ(MFGetAttributeUINT32(stream.Get(), MF_DEVICESTREAM_FRAMESERVER_SHARED, 0), 1u);
    EXPECT_EQ(MFGetAttributeUINT32(stream.Get(), MF_DEVICESTREAM_ATTRIBUTE_FRAMESOURCE_TYPES, 0),
              UINT32(MFFrameSourceTypes_Color));
    EXPECT_EQ(sourceEx->GetStreamAttributes(1, stream.Put()), MF_E_INVALIDSTREAMNUMBER);

    // Types: NV12, then RGB32 top row first, at the slot's size and rate.
    CComRef<IMFPresentationDescriptor> pd;
    ASSERT_EQ(source->CreatePresentationDescriptor(pd.Put()), S_OK);
    BOOL selected = FALSE;
    CComRef<IMFStreamDescriptor> sd;
    CComRef<IMFMediaTypeHandler> handler;
    ASSERT_EQ(pd->GetStreamDescriptorByIndex(0, &selected, sd.Put()), S_OK);
    EXPECT_TRUE(selected);
    ASSERT_EQ(sd->GetMediaTypeHandler(handler.Put()), S_OK);
    DWORD types = 0;
    ASSERT_EQ(handler->GetMediaTypeCount(&types), S_OK);
    ASSERT_EQ(types, 2u);
    const GUID subtypes[] = {MFVideoFormat_NV12, MFVideoFormat_RGB32};
    for (DWORD i = 0; i < types; ++i) {
        CComRef<IMFMediaType> type;
        ASSERT_EQ(handler->GetMediaTypeByIndex(i, type.Put()), S_OK);
        GUID subtype = GUID_NULL;
        UINT32 w = 0, h = 0, num = 0, den = 0;
        type->GetGUID(MF_MT_SUBTYPE, &subtype);
        EXPECT_TRUE(IsEqualGUID(subtype, subtypes[i])) << i;
        MFGetAttributeSize(type.Get(), MF_MT_FRAME_SIZE, &w, &h);
        MFGetAttributeRatio(type.Get(), MF_MT_FRAME_RATE, &num, &den);
        EXPECT_EQ(w, UINT32(kWidth));
        EXPECT_EQ(h, UINT32(kHeight));
        EXPECT_EQ(num, 25u);
        EXPECT_EQ(den, 1u);
        EXPECT_EQ(INT32(MFGetAttributeUINT32(type.Get(), MF_MT_DEFAULT_STRIDE, 0)), i == 0 ? kWidth : kWidth * 4);
    }

    // Life cycle: the events in order; a token comes back in its sample.
    PROPVARIANT start;
    PropVariantInit(&start);
    EXPECT_EQ(source->Pause(), MF_E_INVALID_STATE_TRANSITION);
    ASSERT_EQ(source->Start(pd.Get(), nullptr, &start), S_OK);
    CComRef<IMFMediaEvent> event = NextEvent(source.Get());
    ASSERT_EQ(TypeOf(event.Get()), MENewStream);
    PROPVARIANT value;
    PropVariantInit(&value);
    ASSERT_EQ(event->GetValue(&value), S_OK);
    ASSERT_EQ(value.vt, VT_UNKNOWN);
    CComRef<IMFMediaStream2> mediaStream;
    ASSERT_EQ(value.punkVal->QueryInterface(IID_IMFMediaStream2, mediaStream.PutVoid()), S_OK);
    PropVariantClear(&value);
    EXPECT_EQ(TypeOf(NextEvent(source.Get()).Get()), MESourceStarted);
    EXPECT_EQ(TypeOf(NextEvent(mediaStream.Get()).Get()), MEStreamStarted);
    EXPECT_EQ(source->Pause(), MF_E_INVALID_STATE_TRANSITION);
    CComRef<IMFAttributes> token;
    ASSERT_EQ(MFCreateAttributes(token.Put(), 0), S_OK);
    ASSERT_EQ(mediaStream->RequestSample(token.Get()), S_OK);
    event = NextEvent(mediaStream.Get());
    ASSERT_EQ(TypeOf(event.Get()), MEMediaSample);
    PropVariantInit(&value);
    ASSERT_EQ(event->GetValue(&value), S_OK);
    CComRef<IMFSample> sample;
    ASSERT_EQ(value.punkVal->QueryInterface(IID_IMFSample, sample.PutVoid()), S_OK);
    PropVariantClear(&value);
    CComRef<IUnknown> carried;
    ASSERT_EQ(sample->GetUnknown(MFSampleExtension_Token, IID_IUnknown, carried.PutVoid()), S_OK);
    CComRef<IUnknown> tokenIdentity;
    ASSERT_EQ(token.As(IID_IUnknown, &tokenIdentity), S_OK);
    EXPECT_EQ(carried.Get(), tokenIdentity.Get());
    ASSERT_EQ(source->Stop(), S_OK);
    EXPECT_EQ(TypeOf(NextEvent(source.Get()).Get()), MESourceStopped);
    EXPECT_EQ(TypeOf(NextEvent(mediaStream.Get()).Get()), MEStreamStopped);
    EXPECT_EQ(mediaStream->RequestSample(nullptr), MF_E_MEDIA_SOURCE_WRONGSTATE);

    // After Shutdown every call answers MF_E_SHUTDOWN.
    ASSERT_EQ(source->Shutdown(), S_OK);
    CComRef<IMFMediaEvent> late;
    CComRef<IMFPresentationDescriptor> latePd;
    CComRef<IMFAttributes> lateAttributes;
    CComRef<IMFMediaSource> streamSource;
    MF_STREAM_STATE state = MF_STREAM_STATE_RUNNING;
    for (HRESULT hr : {source->Start(pd.Get(), nullptr, &start), source->Stop(), source->Pause(), source->Shutdown(),
                       source->GetCharacteristics(&characteristics), source->CreatePresentationDescriptor(latePd.Put()),
                       source->GetEvent(MF_EVENT_FLAG_NO_WAIT, late.Put()),
                       sourceEx->GetSourceAttributes(lateAttributes.Put()),
                       sourceEx->GetStreamAttributes(0, lateAttributes.Put()), sourceEx->SetD3DManager(nullptr),
                       services->GetService(MF_RATE_CONTROL_SERVICE, IID_IUnknown, service.PutVoid()),
                       control->KsProperty(&property, sizeof(property), nullptr, 0, &returned),
                       mediaStream->GetEvent(MF_EVENT_FLAG_NO_WAIT, late.Put()), mediaStream->RequestSample(nullptr),
                       mediaStream->GetMediaSource(streamSource.Put()), mediaStream->GetStreamState(&state),
                       mediaStream->SetStreamState(MF_STREAM_STATE_RUNNING)}) {
        EXPECT_EQ(hr, MF_E_SHUTDOWN);
    }
    EXPECT_EQ(activate->ShutdownObject(), S_OK);
    // Unregistering (from a thread of its own: it wants COM's single-threaded
    // apartment) takes the class with the slot's filter.
    HRESULT unregistered = E_FAIL;
    std::thread([&] { unregistered = UnregisterModule(); }).join();
    EXPECT_EQ(unregistered, S_OK);
    EXPECT_EQ(ClassesRootText(L"CLSID\\" + SlotCameraArgs(kSlot, L"").sourceId + L"\\InprocServer32",
                              L"ThreadingModel"),
              L"");
}

// What a sample holds, read through Wine's own source reader.
struct ReadSample {
    LONGLONG time = 0, duration = 0;
    LONGLONG arrival = 0;  // MFGetSystemTime when ReadSample returned it
    std::vector<BYTE> picture;
};

// Reads `count` samples of the source's type `index` (0: NV12, 1: RGB32)
// through a source reader, and as many more as it takes for one to show the
// camera's picture (bounded); the reader shuts the source down at the end.
std::vector<ReadSample> ReadThroughSourceReader(IMFMediaSource* source, DWORD index, size_t count,
                                                bool bUntilPicture) {
    std::vector<ReadSample> samples;
    CComRef<IMFSourceReader> reader;
    EXPECT_EQ(MFCreateSourceReaderFromMediaSource(source, nullptr, reader.Put()), S_OK);
    if (!reader) return samples;
    const DWORD stream = DWORD(MF_SOURCE_READER_FIRST_VIDEO_STREAM);
    CComRef<IMFMediaType> native;
    EXPECT_EQ(reader->GetNativeMediaType(stream, index, native.Put()), S_OK);
    EXPECT_EQ(reader->SetCurrentMediaType(stream, nullptr, native.Get()), S_OK);
    const PictureFormat format = index == 0 ? PictureFormat::kNv12 : PictureFormat::kRgb32;
    const size_t bytes = FormattedBytes(format, kWidth, kHeight);
    for (size_t i = 0; i < count + 400; ++i) {
        if (i >= count && (!bUntilPicture || IsColour(PixelOf(format, samples.back().picture.data(), kWidth, kHeight,
                                                               20, 15), {255, 0, 0}))) {
            break;
        }
        DWORD flags = 0;
        CComRef<IMFSample> sample;
        HRESULT hr = reader->ReadSample(stream, 0, nullptr, &flags, nullptr, sample.Put());
        if (FAILED(hr) || !sample) {
            ADD_FAILURE() << "sample " << i << ": " << std::hex << hr << " flags " << flags;
            break;
        }
        ReadSample read;
        read.arrival = MFGetSystemTime();
        sample->GetSampleTime(&read.time);
        sample->GetSampleDuration(&read.duration);
        CComRef<IMFMediaBuffer> buffer;
        BYTE* data = nullptr;
        DWORD length = 0;
        if (SUCCEEDED(sample->ConvertToContiguousBuffer(buffer.Put())) &&
            SUCCEEDED(buffer->Lock(&data, nullptr, &length))) {
            read.picture.assign(data, data + length);
            buffer->Unlock();
        }
        if (read.picture.size() != bytes) {
            ADD_FAILURE() << "sample " << i << " holds " << read.picture.size() << " bytes, not " << bytes;
            break;
        }
        samples.push_back(std::move(read));
    }
    return samples;
}

TEST_F(MediaSourceTest, WinesSourceReaderReadsTheCamerasPicturesInBothTypes) {
    CFixtureProcess camera;
    ASSERT_TRUE(camera.Start(MjpegServerCommand({"--width", "320", "--height", "240", "--fps", "25"})));
    ConfigureSlot(L"http://127.0.0.1:" + std::to_wstring(camera.Port()) + L"/");
    for (DWORD index : {0u, 1u}) {
        const PictureFormat format = index == 0 ? PictureFormat::kNv12 : PictureFormat::kRgb32;
        CComRef<IMFActivate> activate;
        CComRef<IMFMediaSource> source;
        ASSERT_NO_FATAL_FAILURE(Activate(&activate, &source));
        const std::vector<ReadSample> samples = ReadThroughSourceReader(source.Get(), index, 50, true);
        ASSERT_GE(samples.size(), 50u) << index;
        std::vector<LONGLONG> steps;
        for (size_t i = 0; i < samples.size(); ++i) {
            EXPECT_EQ(samples[i].duration, kFrame);
            EXPECT_LE(samples[i].time, samples[i].arrival) << "sample " << i << " came before its time";
            if (i == 0) continue;
            steps.push_back(samples[i].time - samples[i - 1].time);
            EXPECT_GE(steps.back(), kFrame) << i;
            EXPECT_EQ(steps.back() % kFrame, 0) << i;
        }
        // Paced in real time: they came no faster than their times say.
        EXPECT_GE(samples.back().arrival - samples.front().arrival, samples.back().time - samples.front().time - kFrame);
        std::nth_element(steps.begin(), steps.begin() + steps.size() / 2, steps.end());
        EXPECT_EQ(steps[steps.size() / 2], kFrame) << "most samples a frame apart";
        // The camera's quadrants, upright.
        const BYTE* picture = samples.back().picture.data();
        EXPECT_TRUE(IsColour(PixelOf(format, picture, kWidth, kHeight, 20, 15), {255, 0, 0})) << index;
        EXPECT_TRUE(IsColour(PixelOf(format, picture, kWidth, kHeight, 140, 15), {0, 255, 0})) << index;
        EXPECT_TRUE(IsColour(PixelOf(format, picture, kWidth, kHeight, 20, 105), {0, 0, 255})) << index;
        EXPECT_TRUE(IsColour(PixelOf(format, picture, kWidth, kHeight, 140, 105), {255, 255, 255})) << index;
    }
}

// Before a first picture the samples show the slot's status card: the
// state's strip across the top over the card's dark background.
TEST_F(MediaSourceTest, ShowsTheStatusCardBeforeTheFirstPicture) {
    ConfigureSlot(L"http://127.0.0.1:" + std::to_wstring(FreeLoopbackPort()) + L"/");
    CComRef<IMFActivate> activate;
    CComRef<IMFMediaSource> source;
    ASSERT_NO_FATAL_FAILURE(Activate(&activate, &source));
    const std::vector<ReadSample> samples = ReadThroughSourceReader(source.Get(), 1, 3, false);
    ASSERT_EQ(samples.size(), 3u);
    for (const ReadSample& sample : samples) {
        const Rgb strip = PixelOf(PictureFormat::kRgb32, sample.picture.data(), kWidth, kHeight, 0, 0);
        EXPECT_TRUE(strip.r > 200 && strip.g > 100 && strip.b < 80) << strip.r << "," << strip.g << "," << strip.b;
        const Rgb back = PixelOf(PictureFormat::kRgb32, sample.picture.data(), kWidth, kHeight, kWidth - 1, kHeight - 1);
        EXPECT_TRUE(IsColour(back, {0x20, 0x28, 0x30}, 0)) << back.r << "," << back.g << "," << back.b;
    }
}

// Wine has no mfsensorgroup.dll: registering virtual cameras leaves the
// slots DirectShow devices, says so in one line, and fails nothing.
TEST(VirtualCamerasOnWine, WithoutTheSystemsApiTheSlotsStayDirectShowOnly) {
    const std::unique_ptr<CVirtualCameraApi> system = SystemVirtualCameraApi();
    EXPECT_FALSE(system->IsAvailable());
    const VirtualCameraOutcome outcome = UpdateVirtualCameras(*system, {{kSlot, true, L"Hall", true}}, KEY_WOW64_64KEY);
    EXPECT_EQ(outcome.hr, S_FALSE);
    EXPECT_NE(outcome.line.find(L"DirectShow devices only"), std::wstring::npos);
}

}  // namespace
