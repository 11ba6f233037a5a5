// The platform's memory allocator, created as a host creates it. On Linux the
// runtime loads the framework's CMemAllocator from its allocator module; on
// Windows (under Wine) it is the system's, so the two agree on what the
// framework relies on.
#include <gtest/gtest.h>

#include "platform/platform.h"
#include "tests/HangGuard.h"

namespace {

TEST(PlatformAllocator, CreatedByClassIdAndUsable) {
    CHangGuard guard(60000);  // GetBuffer waits without a time-out
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
    IMemAllocator* pAlloc = nullptr;
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER, IID_IMemAllocator,
                                     reinterpret_cast<void**>(&pAlloc)));
    ALLOCATOR_PROPERTIES request = {2, 1001, 16, 8};
    ALLOCATOR_PROPERTIES actual;
    ASSERT_EQ(S_OK, pAlloc->SetProperties(&request, &actual));
    EXPECT_EQ(2, actual.cBuffers);
    // At least what was asked; whether the size shows the rounding to the
    // alignment differs between platforms, and nothing relies on it.
    EXPECT_GE(actual.cbBuffer, 1001);
    ASSERT_EQ(S_OK, pAlloc->Commit());
    IMediaSample* pSample = nullptr;
    ASSERT_EQ(S_OK, pAlloc->GetBuffer(&pSample, nullptr, nullptr, 0));
    REFERENCE_TIME start = 10, end = 20;
    EXPECT_EQ(S_OK, pSample->SetTime(&start, &end));
    EXPECT_EQ(actual.cbBuffer, pSample->GetSize());
    IMediaSample* pOther = nullptr;
    ASSERT_EQ(S_OK, pAlloc->GetBuffer(&pOther, nullptr, nullptr, 0));
    IMediaSample* pNone = nullptr;
    EXPECT_EQ(VFW_E_TIMEOUT, pAlloc->GetBuffer(&pNone, nullptr, nullptr, AM_GBF_NOWAIT));
    EXPECT_EQ(0u, pOther->Release());
    EXPECT_EQ(S_OK, pAlloc->Decommit());
    EXPECT_EQ(0u, pSample->Release());
    EXPECT_EQ(0u, pAlloc->Release());
    CoFreeUnusedLibraries();
    CoUninitialize();
}

TEST(PlatformAllocator, RefusesAggregationThroughOtherInterfaces) {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
    IClassFactory* pFactory = nullptr;
    // A stand-in outer: the request must fail before anything calls it.
    IUnknown* pOuter = reinterpret_cast<IUnknown*>(&pFactory);
    void* pv = nullptr;
    EXPECT_TRUE(FAILED(CoCreateInstance(CLSID_MemoryAllocator, pOuter, CLSCTX_INPROC_SERVER, IID_IMemAllocator, &pv)));
    EXPECT_EQ(nullptr, pv);
    CoUninitialize();
}

}  // namespace
