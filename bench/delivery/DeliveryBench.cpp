// The delivery loop of a source stream, per sample: GetDeliveryBuffer, a
// FillBuffer that writes one byte, Deliver to the host's rendering sink in
// as-fast-as-possible mode, release. Compared in the same run with an
// allocator GetBuffer/Release round trip alone. Prints samples per second and
// the ratio (target: at most 2).
//
// Linux only (the host graph). Both loops run on the benchmark's thread, with
// the same allocator settings (2 buffers of one small frame). The ratio uses
// CPU time per item: the machine is shared, and wall time counts other work.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <new>
#include <string>

#include "bench/common/QuietSink.h"
#include "bench/common/RatioReporter.h"
#include "framework/ClassFactory.h"
#include "framework/Source.h"
#include "framework/SourceStream.h"
#include "host/RenderSink.h"
#include "media/Allocator.h"
#include "media/MediaType.h"
#include "platform/ComRef.h"

// {3B0E4E6A-2D7C-4F57-8E0F-6B7A1C2D3E4F}
static const GUID CLSID_BenchSource = {0x3b0e4e6a, 0x2d7c, 0x4f57, {0x8e, 0x0f, 0x6b, 0x7a, 0x1c, 0x2d, 0x3e, 0x4f}};

// The framework's class factory reads this table; this program serves nothing.
CFactoryTemplate g_Templates[1] = {{L"none", &CLSID_BenchSource, nullptr, nullptr, nullptr}};
int g_cTemplates = 0;

namespace {

const LONG kBuffers = 2;
const LONG kBufferBytes = 64 * 3 * 48;

// The platform allocator, or the framework's own when the platform has none.
HRESULT CreateAllocator(IMemAllocator** ppAlloc) {
    HRESULT hr = CoCreateInstance(CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER, IID_IMemAllocator,
                                  reinterpret_cast<void**>(ppAlloc));
    if (SUCCEEDED(hr)) {
        return hr;
    }
    CUnknown* pObject = CMemAllocator::CreateInstance(nullptr, &hr);
    if (!pObject) {
        return FAILED(hr) ? hr : E_OUTOFMEMORY;
    }
    return pObject->NonDelegatingQueryInterface(IID_IMemAllocator, reinterpret_cast<void**>(ppAlloc));
}

class CBenchSource;

class CBenchStream final : public CSourceStream {
public:
    CBenchStream(HRESULT* phr, CSource* pFilter) : CSourceStream(L"Bench stream", phr, pFilter, L"Output") {}

    HRESULT FillBuffer(IMediaSample* pSample) override {
        BYTE* p = nullptr;
        pSample->GetPointer(&p);
        p[0] = static_cast<BYTE>(m_n++);
        return S_OK;
    }
    HRESULT DecideBufferSize(IMemAllocator* pAlloc, ALLOCATOR_PROPERTIES* pProps) override {
        pProps->cBuffers = kBuffers;
        pProps->cbBuffer = kBufferBytes;
        ALLOCATOR_PROPERTIES actual{};
        return pAlloc->SetProperties(pProps, &actual);
    }
    HRESULT GetMediaType(CMediaType* pmt) override {
        pmt->SetType(&MEDIATYPE_Video);
        pmt->SetSubtype(&MEDIASUBTYPE_RGB24);
        pmt->SetFormatType(&FORMAT_VideoInfo);
        pmt->SetSampleSize(kBufferBytes);
        VIDEOINFOHEADER* pvi = reinterpret_cast<VIDEOINFOHEADER*>(pmt->AllocFormatBuffer(sizeof(VIDEOINFOHEADER)));
        if (!pvi) {
            return E_OUTOFMEMORY;
        }
        memset(pvi, 0, sizeof(*pvi));
        pvi->bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        pvi->bmiHeader.biWidth = 64;
        pvi->bmiHeader.biHeight = 48;
        pvi->bmiHeader.biPlanes = 1;
        pvi->bmiHeader.biBitCount = 24;
        pvi->bmiHeader.biSizeImage = kBufferBytes;
        return S_OK;
    }
    HRESULT InitAllocator(IMemAllocator** ppAlloc) override { return CreateAllocator(ppAlloc); }
    // The allocator's own commit, without starting the worker: the benchmark
    // thread runs the loop's body itself.
    HRESULT CommitOnly() { return CBaseOutputPin::Active(); }
    HRESULT DecommitOnly() { return CBaseOutputPin::Inactive(); }

private:
    BYTE m_n = 0;
};

class CBenchSource final : public CSource {
public:
    CBenchSource() : CSource(L"Bench source", nullptr, CLSID_BenchSource) {}
    CBenchStream* m_pStream = nullptr;
};

// A bench source with its pin and one reference for the caller, or null (the
// benchmark is then skipped).
CBenchStream* MakeBenchSource(benchmark::State& state, CBenchSource** ppSource) {
    CBenchSource* pSource = new (std::nothrow) CBenchSource();
    HRESULT hr = S_OK;
    CBenchStream* pStream = pSource ? new (std::nothrow) CBenchStream(&hr, pSource) : nullptr;
    if (!pStream || FAILED(hr)) {
        state.SkipWithError("no source");
        delete pStream;
        delete pSource;
        return nullptr;
    }
    static_cast<IBaseFilter*>(pSource)->AddRef();
    *ppSource = pSource;
    return pStream;
}

void BM_AllocatorRoundTrip(benchmark::State& state) {
    CComRef<IMemAllocator> alloc;
    if (FAILED(CreateAllocator(alloc.Put()))) {
        state.SkipWithError("no allocator");
        return;
    }
    ALLOCATOR_PROPERTIES request = {kBuffers, kBufferBytes, 1, 0};
    ALLOCATOR_PROPERTIES actual{};
    if (FAILED(alloc->SetProperties(&request, &actual)) || FAILED(alloc->Commit())) {
        state.SkipWithError("allocator refused");
        return;
    }
    for (auto _ : state) {
        IMediaSample* pSample = nullptr;
        alloc->GetBuffer(&pSample, nullptr, nullptr, 0);
        benchmark::DoNotOptimize(pSample);
        pSample->Release();
    }
    alloc->Decommit();
    state.SetItemsProcessed(state.iterations());
}

void BM_DeliveryLoop(benchmark::State& state) {
    CComRef<CRenderSink> sink;
    if (FAILED(CreateQuietSink(sink.Put()))) {
        state.SkipWithError("no sink");
        return;
    }
    sink->Pin()->SetOfferAllocator(false);

    CBenchSource* pSource = nullptr;
    CBenchStream* pStream = MakeBenchSource(state, &pSource);
    if (!pStream) {
        return;
    }
    HRESULT hr = S_OK;
    if (FAILED(pStream->Connect(sink->InputPin(), nullptr)) || FAILED(pStream->CommitOnly()) ||
        FAILED(sink->Run(0))) {
        state.SkipWithError("could not connect");
    } else {
        for (auto _ : state) {
            IMediaSample* pSample = nullptr;
            if (FAILED(pStream->GetDeliveryBuffer(&pSample, nullptr, nullptr, 0))) {
                state.SkipWithError("no buffer");
                break;
            }
            pStream->FillBuffer(pSample);
            hr = pStream->Deliver(pSample);
            pSample->Release();
            if (hr != S_OK) {
                state.SkipWithError("delivery refused");
                break;
            }
        }
        state.SetItemsProcessed(state.iterations());
    }
    sink->Stop();
    pStream->DecommitOnly();
    pStream->Disconnect();
    sink->InputPin()->Disconnect();
    static_cast<IBaseFilter*>(pSource)->Release();
}

// The sink's Receive alone, with one sample delivered over and over: the part
// of the delivery loop that is the host's, not the framework's.
void BM_SinkReceive(benchmark::State& state) {
    CComRef<CRenderSink> sink;
    CComRef<IMemAllocator> alloc;
    if (FAILED(CreateQuietSink(sink.Put())) || FAILED(CreateAllocator(alloc.Put()))) {
        state.SkipWithError("no sink");
        return;
    }
    CBenchSource* pSource = nullptr;
    CBenchStream* pStream = MakeBenchSource(state, &pSource);
    if (!pStream) {
        return;
    }
    IMemInputPin* pInput = nullptr;
    IMediaSample* pSample = nullptr;
    if (FAILED(pStream->Connect(sink->InputPin(), nullptr)) || FAILED(pStream->CommitOnly()) ||
        FAILED(sink->Run(0)) ||
        FAILED(sink->InputPin()->QueryInterface(IID_IMemInputPin, reinterpret_cast<void**>(&pInput))) ||
        FAILED(pStream->GetDeliveryBuffer(&pSample, nullptr, nullptr, 0))) {
        state.SkipWithError("could not connect");
    } else {
        for (auto _ : state) {
            benchmark::DoNotOptimize(pInput->Receive(pSample));
        }
        state.SetItemsProcessed(state.iterations());
    }
    if (pSample) {
        pSample->Release();
    }
    if (pInput) {
        pInput->Release();
    }
    sink->Stop();
    pStream->DecommitOnly();
    pStream->Disconnect();
    sink->InputPin()->Disconnect();
    static_cast<IBaseFilter*>(pSource)->Release();
}

BENCHMARK(BM_AllocatorRoundTrip);
BENCHMARK(BM_SinkReceive);
BENCHMARK(BM_DeliveryLoop);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    CRatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const auto alloc = reporter.m_ns.find("BM_AllocatorRoundTrip");
    const auto deliver = reporter.m_ns.find("BM_DeliveryLoop");
    if (alloc == reporter.m_ns.end() || deliver == reporter.m_ns.end()) {
        std::printf("ratio: not measured\n");
        return 1;
    }
    std::printf("allocator round trip: %.1f ns, %.0f per second\n", alloc->second, 1e9 / alloc->second);
    std::printf("delivery loop:        %.1f ns, %.0f samples per second\n", deliver->second, 1e9 / deliver->second);
    std::printf("ratio delivery / round trip: %.2f (target <= 2)\n", deliver->second / alloc->second);
    const auto receive = reporter.m_ns.find("BM_SinkReceive");
    if (receive != reporter.m_ns.end()) {
        // What the framework adds: the loop less the host sink's own Receive.
        std::printf("sink Receive alone:   %.1f ns; delivery less Receive / round trip: %.2f\n", receive->second,
                    (deliver->second - receive->second) / alloc->second);
    }
    benchmark::Shutdown();
    return 0;
}
