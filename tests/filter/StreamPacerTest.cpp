// The pacer alone, without a graph clock (as capture tools run the filter):
// Run and Stop end a wait, and stream time resumes where a pause left it.
// The filter's stream tests see the same through a graph, on Linux only.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "camera/ExtendedTickCount.h"
#include "filter/StreamPacer.h"
#include "tests/HangGuard.h"

namespace {

const REFERENCE_TIME kTenMinutes = 6000000000;

// The next sample, asked on a thread of its own as the worker asks it.
struct Sender {
    explicit Sender(CStreamPacer& pacer)
        : thread([this, &pacer] {
              pacer.NextSample(kTenMinutes, &start, &stop);
              sent = true;
          }) {}
    ~Sender() {
        if (thread.joinable()) thread.join();
    }
    REFERENCE_TIME start = 0, stop = 0;
    std::atomic<bool> sent{false};
    std::thread thread;
};

}  // namespace

TEST(StreamPacerTest, RunAndStopEndAWaitAndAPauseHoldsStreamTime) {
    CHangGuard guard(60000);  // a wait nothing ended would take ten minutes
    CStreamPacer pacer(nullptr);
    pacer.Activate();
    pacer.BeginSpell(-kTenMinutes);
    REFERENCE_TIME start = 0, stop = 0;
    pacer.NextSample(kTenMinutes, &start, &stop);  // paused, first of the spell: leaves to cue
    EXPECT_EQ(start, -kTenMinutes);
    EXPECT_EQ(stop, 0);
    {
        Sender held(pacer);  // paused and cued: held until Run, when it is due
        Sleep(50);
        EXPECT_FALSE(held.sent);
        pacer.Run();
    }
    Sleep(30);
    Sender waiting(pacer);  // due in ten minutes
    // Stream time resumes where the pause left it: the time paused does not
    // count, only the moments the two state changes took.
    const uint64_t beforePause = ExtendedTickCount();
    const REFERENCE_TIME rtBeforePause = pacer.StreamTimeNow();
    pacer.Pause();
    const uint64_t afterPause = ExtendedTickCount();
    EXPECT_GT(rtBeforePause, 0);
    Sleep(30);
    const uint64_t beforeRun = ExtendedTickCount();
    pacer.Run();
    const REFERENCE_TIME rtResumed = pacer.StreamTimeNow();
    const uint64_t afterRun = ExtendedTickCount();
    EXPECT_GE(rtResumed, rtBeforePause);
    EXPECT_LE(rtResumed - rtBeforePause, REFERENCE_TIME(afterPause - beforePause + afterRun - beforeRun) * 10000);
    pacer.Stop();  // the sender returns now, not in ten minutes
    waiting.thread.join();
    EXPECT_TRUE(waiting.sent);
    EXPECT_EQ(waiting.start, kTenMinutes);
}
