// A committed-on-demand CMemAllocator held through IMemAllocator, for tests.
// GetBuffer waits without a time-out, so every test runs under a hang guard:
// a lost wake-up fails the suite at once instead of holding it.
#pragma once

#include <gtest/gtest.h>

#include "media/Allocator.h"
#include "tests/HangGuard.h"

// Far above what any of these tests takes, even under valgrind.
const unsigned long kAllocatorTestLimitMs = 120000;

class AllocatorTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_before = CBaseObject::ObjectsActive();
        HRESULT hr = S_OK;
        CUnknown* pObject = CMemAllocator::CreateInstance(nullptr, &hr);
        ASSERT_NE(nullptr, pObject);
        ASSERT_EQ(S_OK, hr);
        ASSERT_EQ(S_OK, pObject->NonDelegatingQueryInterface(IID_IMemAllocator, reinterpret_cast<void**>(&m_pAlloc)));
    }
    void TearDown() override {
        if (m_pAlloc != nullptr) {
            m_pAlloc->Decommit();
            EXPECT_EQ(0u, m_pAlloc->Release());
        }
        EXPECT_EQ(m_before, CBaseObject::ObjectsActive());
    }
    // Agrees on count buffers of size bytes and commits.
    void Commit(LONG count, LONG size, LONG align = 1, LONG prefix = 0) {
        ALLOCATOR_PROPERTIES request = {count, size, align, prefix};
        ALLOCATOR_PROPERTIES actual;
        ASSERT_EQ(S_OK, m_pAlloc->SetProperties(&request, &actual));
        ASSERT_EQ(S_OK, m_pAlloc->Commit());
    }
    IMediaSample* Get() {
        IMediaSample* pSample = nullptr;
        EXPECT_EQ(S_OK, m_pAlloc->GetBuffer(&pSample, nullptr, nullptr, 0));
        return pSample;
    }

    CHangGuard m_guard{kAllocatorTestLimitMs};
    IMemAllocator* m_pAlloc = nullptr;
    LONG m_before = 0;
};
