// The cost of one allocator round trip, GetBuffer of a free buffer and its
// Release: the yardstick of the delivery loop's own benchmark. The round trip
// takes the allocator's lock twice and no system call (the semaphore is only
// touched when someone waits).
#include <benchmark/benchmark.h>

#include "media/Allocator.h"

namespace {

IMemAllocator* NewCommittedAllocator(LONG count, LONG size) {
    HRESULT hr = S_OK;
    CUnknown* pObject = CMemAllocator::CreateInstance(nullptr, &hr);
    IMemAllocator* pAlloc = nullptr;
    if (pObject == nullptr || FAILED(hr) ||
        FAILED(pObject->NonDelegatingQueryInterface(IID_IMemAllocator, reinterpret_cast<void**>(&pAlloc)))) {
        return nullptr;
    }
    ALLOCATOR_PROPERTIES request = {count, size, 1, 0};
    ALLOCATOR_PROPERTIES actual;
    if (FAILED(pAlloc->SetProperties(&request, &actual)) || FAILED(pAlloc->Commit())) {
        pAlloc->Release();
        return nullptr;
    }
    return pAlloc;
}

void BM_AllocatorRoundTrip(benchmark::State& state) {
    // One VGA RGB24 frame per buffer, as the pin asks for; the size does not
    // enter the round trip.
    IMemAllocator* pAlloc = NewCommittedAllocator(static_cast<LONG>(state.range(0)), 640 * 480 * 3);
    if (pAlloc == nullptr) {
        state.SkipWithError("allocator setup failed");
        return;
    }
    for (auto _ : state) {
        IMediaSample* pSample = nullptr;
        if (pAlloc->GetBuffer(&pSample, nullptr, nullptr, 0) != S_OK) {
            state.SkipWithError("GetBuffer failed");
            break;
        }
        benchmark::DoNotOptimize(pSample);
        pSample->Release();
    }
    state.SetItemsProcessed(state.iterations());
    pAlloc->Decommit();
    pAlloc->Release();
}
BENCHMARK(BM_AllocatorRoundTrip)->Arg(1)->Arg(4);

}  // namespace

BENCHMARK_MAIN();
