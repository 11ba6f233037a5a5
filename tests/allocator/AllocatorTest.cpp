// The memory allocator: property agreement, layout, commit and decommit with
// buffers lent, blocking GetBuffer and its wake-ups, and lifetime.
#include <atomic>
#include <thread>
#include <vector>

#include "tests/allocator/AllocatorFixture.h"

namespace {

// Bounded wait for a condition that another thread brings about.
template <typename Condition>
bool Eventually(Condition condition) {
    for (int i = 0; i < 5000; i++) {
        if (condition()) {
            return true;
        }
        Sleep(1);
    }
    return condition();
}

BYTE* Pointer(IMediaSample* pSample) {
    BYTE* p = nullptr;
    pSample->GetPointer(&p);
    return p;
}

TEST_F(AllocatorTest, SetPropertiesRoundsAndValidates) {
    ALLOCATOR_PROPERTIES request = {3, 1000, 1, 0};
    ALLOCATOR_PROPERTIES actual;
    ASSERT_EQ(S_OK, m_pAlloc->SetProperties(&request, &actual));
    EXPECT_EQ(3, actual.cBuffers);
    EXPECT_EQ(1000, actual.cbBuffer);
    request = {3, 1001, 16, 8};
    ASSERT_EQ(S_OK, m_pAlloc->SetProperties(&request, &actual));
    EXPECT_EQ(1016, actual.cbBuffer);
    ALLOCATOR_PROPERTIES stored;
    ASSERT_EQ(S_OK, m_pAlloc->GetProperties(&stored));
    EXPECT_EQ(1016, stored.cbBuffer);
    EXPECT_EQ(8, stored.cbPrefix);

    request = {3, 1000, 3, 0};  // divides nothing, but passes the granularity test
    ASSERT_EQ(S_OK, m_pAlloc->SetProperties(&request, &actual));
    EXPECT_EQ(1002, actual.cbBuffer);
    request.cbAlign = 0;
    EXPECT_EQ(VFW_E_BADALIGN, m_pAlloc->SetProperties(&request, &actual));
    EXPECT_EQ(0, actual.cBuffers);  // zeroed on failure
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    request.cbAlign = static_cast<LONG>(info.dwAllocationGranularity);
    EXPECT_EQ(S_OK, m_pAlloc->SetProperties(&request, &actual));
    request.cbAlign = static_cast<LONG>(info.dwAllocationGranularity) * 2;
    EXPECT_EQ(VFW_E_BADALIGN, m_pAlloc->SetProperties(&request, &actual));
    EXPECT_EQ(E_POINTER, m_pAlloc->SetProperties(&request, nullptr));
    EXPECT_EQ(E_POINTER, m_pAlloc->GetProperties(nullptr));

    request = {3, 1000, 1, 0};
    ASSERT_EQ(S_OK, m_pAlloc->SetProperties(&request, &actual));
    LONG freeCount = 0;
    IMemAllocatorCallbackTemp* pCallback = nullptr;
    ASSERT_EQ(S_OK, m_pAlloc->QueryInterface(IID_IMemAllocatorCallbackTemp, reinterpret_cast<void**>(&pCallback)));
    EXPECT_EQ(S_OK, pCallback->GetFreeCount(&freeCount));
    EXPECT_EQ(3, freeCount);  // buffers not yet made count as free
    pCallback->Release();
}

TEST_F(AllocatorTest, SizesThatDoNotFitAreRefusedNotAllocatedShort) {
    ALLOCATOR_PROPERTIES request = {1, 0x7FFFFFF0, 64, 0};  // rounds past 2^31
    ALLOCATOR_PROPERTIES actual;
    EXPECT_EQ(E_OUTOFMEMORY, m_pAlloc->SetProperties(&request, &actual));
    request = {1, 0x7FFFFFFF, 1, 16};  // size + prefix wraps
    EXPECT_EQ(E_OUTOFMEMORY, m_pAlloc->SetProperties(&request, &actual));
    request = {0x10000, 0x10001, 1, 0};  // the block wraps 32 bits
    ASSERT_EQ(S_OK, m_pAlloc->SetProperties(&request, &actual));
    EXPECT_EQ(E_OUTOFMEMORY, m_pAlloc->Commit());
    IMediaSample* pSample = nullptr;
    EXPECT_EQ(VFW_E_NOT_COMMITTED, m_pAlloc->GetBuffer(&pSample, nullptr, nullptr, 0));

    request = {0, 1000, 1, 0};
    ASSERT_EQ(S_OK, m_pAlloc->SetProperties(&request, &actual));
    EXPECT_EQ(VFW_E_SIZENOTSET, m_pAlloc->Commit());
    request = {2, 1000, 1, -16};  // data would lie before the block
    ASSERT_EQ(S_OK, m_pAlloc->SetProperties(&request, &actual));
    EXPECT_EQ(VFW_E_SIZENOTSET, m_pAlloc->Commit());
    EXPECT_EQ(VFW_E_NOT_COMMITTED, m_pAlloc->GetBuffer(&pSample, nullptr, nullptr, 0));
}

TEST_F(AllocatorTest, LayoutHonoursAlignmentAndPrefix) {
    Commit(3, 1001, 16, 8);
    IMediaSample* samples[3];
    for (auto& p : samples) {
        p = Get();
        ASSERT_NE(nullptr, p);
        EXPECT_EQ(1016, p->GetSize());
        EXPECT_EQ(0u, reinterpret_cast<uintptr_t>(Pointer(p) - 8) % 16);
    }
    // Last in, first out: the highest buffer comes first, then downwards.
    EXPECT_EQ(1024, Pointer(samples[0]) - Pointer(samples[1]));
    EXPECT_EQ(1024, Pointer(samples[1]) - Pointer(samples[2]));
    // The whole of each buffer is usable (ASan checks the writes).
    for (auto& p : samples) {
        std::memset(Pointer(p) - 8, 0x5A, 1024);
        p->Release();
    }
}

TEST_F(AllocatorTest, StateRulesAndReuseAfterDecommit) {
    Commit(2, 100);
    ALLOCATOR_PROPERTIES request = {2, 100, 1, 0};
    ALLOCATOR_PROPERTIES actual;
    EXPECT_EQ(VFW_E_ALREADY_COMMITTED, m_pAlloc->SetProperties(&request, &actual));
    IMediaSample* pFirst = Get();
    BYTE* pBefore = Pointer(pFirst);
    ASSERT_EQ(S_OK, m_pAlloc->Decommit());
    EXPECT_EQ(VFW_E_BUFFERS_OUTSTANDING, m_pAlloc->SetProperties(&request, &actual));
    IMediaSample* pSample = nullptr;
    EXPECT_EQ(VFW_E_NOT_COMMITTED, m_pAlloc->GetBuffer(&pSample, nullptr, nullptr, 0));
    pFirst->Release();
    // Unchanged properties: the same block serves the next commit.
    ASSERT_EQ(S_OK, m_pAlloc->Commit());
    pSample = Get();
    EXPECT_EQ(pBefore, Pointer(pSample));
    pSample->Release();
}

TEST_F(AllocatorTest, CommitCancelsPendingDecommit) {
    Commit(1, 100);
    IMediaSample* pSample = Get();
    ASSERT_EQ(S_OK, m_pAlloc->Decommit());
    ASSERT_EQ(S_OK, m_pAlloc->Commit());
    EXPECT_EQ(0u, pSample->Release());
    pSample = Get();  // committed again, and the buffer came back
    ASSERT_NE(nullptr, pSample);
    pSample->Release();
}

TEST_F(AllocatorTest, NoWaitTimesOutWhenAllLent) {
    Commit(1, 100);
    IMediaSample* pSample = Get();
    IMediaSample* pOther = reinterpret_cast<IMediaSample*>(1);
    EXPECT_EQ(VFW_E_TIMEOUT, m_pAlloc->GetBuffer(&pOther, nullptr, nullptr, AM_GBF_NOWAIT));
    EXPECT_EQ(nullptr, pOther);
    pSample->Release();
    // The registration left by the no-wait call does not cost the next caller.
    pSample = Get();
    ASSERT_NE(nullptr, pSample);
    pSample->Release();
}

TEST_F(AllocatorTest, BlockedGetBufferWokenByRelease) {
    Commit(1, 100);
    IMediaSample* pHeld = Get();
    std::atomic<bool> calling{false}, done{false};
    HRESULT hr = E_FAIL;
    IMediaSample* pGot = nullptr;
    std::thread waiter([&] {
        calling = true;
        hr = m_pAlloc->GetBuffer(&pGot, nullptr, nullptr, 0);
        done = true;
    });
    // A GetBuffer that did not wait would return within microseconds; 20 ms
    // from the call also gives the waiter time to block before the release below.
    EXPECT_TRUE(Eventually([&] { return calling.load(); }));
    Sleep(20);
    EXPECT_FALSE(done);
    BYTE* pExpected = Pointer(pHeld);
    pHeld->Release();
    EXPECT_TRUE(Eventually([&] { return done.load(); }));
    waiter.join();
    ASSERT_EQ(S_OK, hr);
    EXPECT_EQ(pExpected, Pointer(pGot));
    pGot->Release();
}

TEST_F(AllocatorTest, BlockedGetBufferWokenByDecommit) {
    Commit(1, 100);
    IMediaSample* pHeld = Get();
    HRESULT results[2] = {E_FAIL, E_FAIL};
    std::atomic<int> calling{0}, finished{0};
    std::vector<std::thread> waiters;
    for (HRESULT& result : results) {
        waiters.emplace_back([&] {
            IMediaSample* pGot = nullptr;
            calling++;
            result = m_pAlloc->GetBuffer(&pGot, nullptr, nullptr, 0);
            finished++;
        });
    }
    EXPECT_TRUE(Eventually([&] { return calling.load() == 2; }));
    Sleep(20);  // as above: time to block, and long enough to see one that did not
    EXPECT_EQ(0, finished.load());
    ASSERT_EQ(S_OK, m_pAlloc->Decommit());
    EXPECT_TRUE(Eventually([&] { return finished.load() == 2; }));
    for (auto& t : waiters) {
        t.join();
    }
    EXPECT_EQ(VFW_E_NOT_COMMITTED, results[0]);
    EXPECT_EQ(VFW_E_NOT_COMMITTED, results[1]);
    pHeld->Release();
}

// Records release notifications.
class CNotify final : public IMemAllocatorNotifyCallbackTemp {
public:
    STDMETHODIMP QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    STDMETHODIMP_(ULONG) AddRef() override { return ++m_cRef; }
    STDMETHODIMP_(ULONG) Release() override { return --m_cRef; }
    STDMETHODIMP NotifyRelease() override {
        m_calls++;
        return S_OK;
    }
    std::atomic<ULONG> m_cRef{1};
    std::atomic<int> m_calls{0};
};

TEST_F(AllocatorTest, NotifyCallbackHearsEachReturn) {
    CNotify notify;
    IMemAllocatorCallbackTemp* pCallback = nullptr;
    ASSERT_EQ(S_OK, m_pAlloc->QueryInterface(IID_IMemAllocatorCallbackTemp, reinterpret_cast<void**>(&pCallback)));
    ASSERT_EQ(S_OK, pCallback->SetNotify(&notify));
    EXPECT_EQ(2u, notify.m_cRef.load());
    Commit(2, 100);
    IMediaSample* pSample = Get();
    LONG freeCount = 0;
    pCallback->GetFreeCount(&freeCount);
    EXPECT_EQ(1, freeCount);
    pSample->Release();
    EXPECT_EQ(1, notify.m_calls.load());
    ASSERT_EQ(S_OK, pCallback->SetNotify(nullptr));
    EXPECT_EQ(1u, notify.m_cRef.load());
    EXPECT_EQ(E_POINTER, pCallback->GetFreeCount(nullptr));
    pCallback->Release();
}

TEST(AllocatorLifetime, DecommitWithBufferOutCompletesOnItsReturn) {
    CHangGuard guard(kAllocatorTestLimitMs);
    const LONG before = CBaseObject::ObjectsActive();
    HRESULT hr = S_OK;
    CUnknown* pObject = CMemAllocator::CreateInstance(nullptr, &hr);
    IMemAllocator* pAlloc = nullptr;
    ASSERT_EQ(S_OK, pObject->NonDelegatingQueryInterface(IID_IMemAllocator, reinterpret_cast<void**>(&pAlloc)));
    ALLOCATOR_PROPERTIES request = {2, 4096, 1, 0};
    ALLOCATOR_PROPERTIES actual;
    ASSERT_EQ(S_OK, pAlloc->SetProperties(&request, &actual));
    ASSERT_EQ(S_OK, pAlloc->Commit());
    IMediaSample* pSample = nullptr;
    ASSERT_EQ(S_OK, pAlloc->GetBuffer(&pSample, nullptr, nullptr, 0));
    ASSERT_EQ(S_OK, pAlloc->Decommit());
    EXPECT_EQ(1u, pAlloc->Release());  // the pending decommit keeps it
    EXPECT_EQ(before + 1, CBaseObject::ObjectsActive());
    std::memset(Pointer(pSample), 1, 4096);  // the block is still there
    EXPECT_EQ(0u, pSample->Release());
    EXPECT_EQ(before, CBaseObject::ObjectsActive());  // and now it is gone
}

TEST_F(AllocatorTest, ManyThreadsShareAPool) {
    Commit(2, 256);
    std::vector<std::thread> threads;
    std::atomic<int> failures{0};
    for (int t = 0; t < 4; t++) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 2000; i++) {
                IMediaSample* pSample = nullptr;
                if (m_pAlloc->GetBuffer(&pSample, nullptr, nullptr, 0) != S_OK) {
                    failures++;
                    return;
                }
                Pointer(pSample)[0] = static_cast<BYTE>(t);
                pSample->Release();
            }
        });
    }
    for (auto& t : threads) {
        t.join();
    }
    EXPECT_EQ(0, failures.load());
    LONG freeCount = 0;
    IMemAllocatorCallbackTemp* pCallback = nullptr;
    ASSERT_EQ(S_OK, m_pAlloc->QueryInterface(IID_IMemAllocatorCallbackTemp, reinterpret_cast<void**>(&pCallback)));
    pCallback->GetFreeCount(&freeCount);
    EXPECT_EQ(2, freeCount);
    pCallback->Release();
}

}  // namespace
