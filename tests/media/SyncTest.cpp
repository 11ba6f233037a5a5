#include <gtest/gtest.h>

#include <thread>

#include "media/AMEvent.h"
#include "media/CritSec.h"
#include "media/IntToWstr.h"

// Takes the lock again and counts. The lock checks see one function at a
// time and know no re-entry, so the second taking happens here.
void CountHoldingAgain(CCritSec* lock, int* counter) {
    CAutoLock again(lock);
    ++*counter;
}

TEST(CritSec, IsRecursiveAndExcludesOtherThreads) {
    CCritSec lock;
    int counter = 0;
    {
        CAutoLock outer(&lock);
        CountHoldingAgain(&lock, &counter);  // the holder may take it again
    }
    // Two threads that increment under the lock lose no update.
    auto work = [&] {
        for (int i = 0; i < 20000; ++i) {
            CAutoLock hold(&lock);
            CountHoldingAgain(&lock, &counter);
        }
    };
    std::thread a(work);
    std::thread b(work);
    a.join();
    b.join();
    EXPECT_EQ(counter, 40001);
}

TEST(AMEvent, ManualResetStaysSignalledAutoResetIsConsumed) {
    CAMEvent manual(TRUE);
    ASSERT_TRUE(manual.IsValid());
    EXPECT_FALSE(manual.Check());
    manual.Set();
    EXPECT_TRUE(manual.Check());
    EXPECT_TRUE(manual.Wait());
    manual.Reset();
    EXPECT_FALSE(manual.Check());

    CAMEvent automatic;
    ASSERT_TRUE(automatic.IsValid());
    automatic.Set();
    EXPECT_TRUE(automatic.Check());
    EXPECT_FALSE(automatic.Check());
    EXPECT_FALSE(automatic.Wait(20));
}

TEST(IntToWstr, FormatsSignedDecimal) {
    WCHAR buffer[16];
    IntToWstr(1, buffer);
    EXPECT_STREQ(buffer, L"1");
    IntToWstr(0, buffer);
    EXPECT_STREQ(buffer, L"0");
    IntToWstr(-42, buffer);
    EXPECT_STREQ(buffer, L"-42");
    IntToWstr(2147483647, buffer);
    EXPECT_STREQ(buffer, L"2147483647");
    IntToWstr(-2147483647 - 1, buffer);
    EXPECT_STREQ(buffer, L"-2147483648");
}
