#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>

#include "camera/ExtendedTickCount.h"
#include "camera/MTAutoLock.h"
#include "camera/StreamContext.h"

namespace {

DWORD g_ticks = 0;
DWORD WINAPI FakeTicks() {
    return g_ticks;
}

class ClockTest : public ::testing::Test {
protected:
    void SetUp() override { SetExtendedTickSource(FakeTicks); }
    void TearDown() override { SetExtendedTickSource(nullptr); }
};

TEST_F(ClockTest, WidensAcrossTheWrapAndStaysMonotonic) {
    g_ticks = 0xFFFFFFF0u;
    EXPECT_EQ(ExtendedTickCount(), 0xFFFFFFF0ull);
    g_ticks = 16;
    EXPECT_EQ(ExtendedTickCount(), (1ull << 32) + 16);
    g_ticks = 17;
    EXPECT_EQ(ExtendedTickCount(), (1ull << 32) + 17);
    g_ticks = 17;  // same reading is not a wrap
    EXPECT_EQ(ExtendedTickCount(), (1ull << 32) + 17);
    g_ticks = 0xFFFFFFFFu;
    EXPECT_EQ(ExtendedTickCount(), (1ull << 32) + 0xFFFFFFFFull);
    g_ticks = 3;  // second wrap
    EXPECT_EQ(ExtendedTickCount(), (2ull << 32) + 3);
}

TEST(ClockRealTest, FollowsThePlatformClock) {
    // The platform's tick moves in steps of up to ~16 ms (Windows, Wine), so
    // only a clear share of the pause is required.
    const uint64_t before = ExtendedTickCount();
    Sleep(200);
    const uint64_t after = ExtendedTickCount();
    EXPECT_GE(after - before, 150u);
    EXPECT_LT(after - before, 5000u);
}

// Re-entry and leaving once too often, on purpose: the lock checks refuse
// both, the holder must bear them.
void HoldAndLeaveTooOften(CMTCriticalSection& lock) NO_THREAD_SAFETY_ANALYSIS {
    CMTAutoLock hold(lock, true);
    EXPECT_TRUE(hold.Unlock());
    EXPECT_TRUE(hold.Unlock());  // nothing left to leave, now or in the destructor
    CMTAutoLock notTaken(lock, false);
    EXPECT_TRUE(notTaken.Unlock());
    CMTAutoLock kept(lock, true);  // left by its destructor
}

// The lock is re-entrant: a holder leaving it once too often would free a
// hold that belongs to its caller.
TEST(MTAutoLockTest, LeavesOnlyWhatItTook) {
    CMTCriticalSection lock;
    lock.Lock();  // the caller's own hold, beneath the holders'
    HoldAndLeaveTooOften(lock);
    std::promise<void> trying, entered;
    std::future<void> tried = trying.get_future(), got = entered.get_future();
    std::thread other([&] {
        trying.set_value();
        CMTAutoLock hold(lock, true);
        entered.set_value();
    });
    // A lock freed too early lets the other thread in at once: 100 ms from
    // its attempt is ample, and a slow machine can only hide that, never
    // fake it. (A failed wait leaves the thread stuck, which ends the program.)
    auto within = [](std::future<void>& f, int ms) {
        return f.wait_for(std::chrono::milliseconds(ms)) == std::future_status::ready;
    };
    EXPECT_TRUE(within(tried, 10000));
    EXPECT_FALSE(within(got, 100)) << "a holder left its caller's hold";
    lock.Unlock();  // the last hold: now the other thread gets in
    ASSERT_TRUE(within(got, 10000)) << "a holder kept the lock";
    other.join();
}

TEST(StreamContextTest, ImageBufferIsABitmapFileOfPaddedRows) {
    StreamContext context;
    context.convertedFrame = av_frame_alloc();
    ASSERT_NE(context.convertedFrame, nullptr);
    ASSERT_TRUE(context.AllocateImage(5, 2));
    EXPECT_EQ(context.pictureBytes, 32);  // rows of 15 bytes padded to 16
    const BYTE* b = context.imageBuffer;
    EXPECT_EQ(b[0], 'B');
    EXPECT_EQ(b[1], 'M');
    EXPECT_EQ(b[2] | b[3] << 8 | b[4] << 16 | b[5] << 24, 86);
    EXPECT_EQ(b[10], 54);
    EXPECT_EQ(b[14], 40);
    EXPECT_EQ(b[18], 5);
    EXPECT_EQ(b[22], 2);
    EXPECT_EQ(b[26], 1);
    EXPECT_EQ(b[28], 24);
    EXPECT_EQ(context.pixels, b + 54);
    EXPECT_EQ(context.convertedFrame->data[0], b + 54);
    EXPECT_EQ(context.convertedFrame->linesize[0], 16);
    EXPECT_FALSE(StreamContext().AllocateImage(0, 2));
}

}  // namespace
