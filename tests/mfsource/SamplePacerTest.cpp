// The pacer with the steady clock and real threads: everything it promises
// is judged from the times it gives and the clock, never from the machine
// being fast.
#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <vector>

#include "mfsource/SamplePacer.h"
#include "tests/FakeUnknown.h"

namespace {

constexpr LONGLONG kFrame = 200000;  // 20 ms
constexpr DWORD kAnswerWaitMs = 15000;

// A request's token. Tests declare theirs before the pacer, which lets go of
// them before they go.
class CToken : public CFakeUnknown<ComInterface<IUnknown, IID_IUnknown>> {
public:
    explicit CToken(int number = 0) : CFakeUnknown(FakeLife::Held), m_iNumber(number) {}
    const int m_iNumber;
};

struct Answer {
    int token;         // its number; -1 for none
    LONGLONG time;     // the tick's
    LONGLONG arrival;  // the clock when it came
};

class CRecordingSink : public CPacerSink {
public:
    void OnSampleDue(IUnknown* token, LONGLONG time) override {
        const Answer answer = {token ? static_cast<CToken*>(token)->m_iNumber : -1, time, CSamplePacer::SteadyClock()};
        std::lock_guard<std::mutex> hold(m_lock);
        m_answers.push_back(answer);
        m_arrived.notify_all();
    }
    std::vector<Answer> WaitFor(size_t count) {
        std::unique_lock<std::mutex> hold(m_lock);
        m_arrived.wait_for(hold, std::chrono::milliseconds(kAnswerWaitMs), [&] { return m_answers.size() >= count; });
        return m_answers;
    }

private:
    std::mutex m_lock;
    std::condition_variable m_arrived;
    std::vector<Answer> m_answers;
};

TEST(SamplePacer, AnswersTokensInOrderOneATickNeverEarly) {
    CToken tokens[6] = {CToken(0), CToken(1), CToken(2), CToken(3), CToken(4), CToken(5)};
    CRecordingSink sink;
    CSamplePacer pacer(&sink);
    EXPECT_FALSE(pacer.Request(&tokens[0])) << "not started";
    EXPECT_EQ(tokens[0].RefCount(), 1);
    EXPECT_EQ(pacer.Start(0), E_INVALIDARG);

    ASSERT_EQ(pacer.Start(kFrame), S_OK);
    for (CToken& token : tokens) ASSERT_TRUE(pacer.Request(&token));
    ASSERT_TRUE(pacer.Request(nullptr));
    const std::vector<Answer> answers = sink.WaitFor(7);
    ASSERT_EQ(answers.size(), 7u);
    for (size_t i = 0; i < answers.size(); ++i) {
        EXPECT_EQ(answers[i].token, i < 6 ? int(i) : -1);
        EXPECT_LE(answers[i].time, answers[i].arrival) << "early: " << i;
        if (i == 0) continue;
        // Whole frames apart (more than one only when a frame went by unasked).
        const LONGLONG step = answers[i].time - answers[i - 1].time;
        EXPECT_GE(step, kFrame) << i;
        EXPECT_EQ(step % kFrame, 0) << i;
    }
    pacer.Stop();
    for (CToken& token : tokens) EXPECT_EQ(token.RefCount(), 1) << "kept: " << token.m_iNumber;
}

// Nobody asked for five frames: the next request is answered with the latest
// tick gone, within a frame of it, not with the ones nobody asked for.
TEST(SamplePacer, AnswersALateRequestWithTheLatestTick) {
    CToken first(1), late(2);
    CRecordingSink sink;
    CSamplePacer pacer(&sink);
    ASSERT_EQ(pacer.Start(kFrame), S_OK);
    ASSERT_TRUE(pacer.Request(&first));
    const LONGLONG tickZero = sink.WaitFor(1).at(0).time;
    while (CSamplePacer::SteadyClock() < tickZero + 5 * kFrame) Sleep(5);
    const LONGLONG asked = CSamplePacer::SteadyClock();
    ASSERT_TRUE(pacer.Request(&late));
    const std::vector<Answer> answers = sink.WaitFor(2);
    ASSERT_EQ(answers.size(), 2u);
    EXPECT_GT(answers[1].time, asked - kFrame);
    EXPECT_LE(answers[1].time, answers[1].arrival);
    EXPECT_EQ((answers[1].time - tickZero) % kFrame, 0);
}

// A frame a minute long: a stop does not wait for its tick, drops the
// request waiting for it, and the pacer starts again afterwards.
TEST(SamplePacer, StopWakesItAtOnceAndDropsWaitingRequests) {
    CToken answered(1), waiting(2), again(3);
    CRecordingSink sink;
    CSamplePacer pacer(&sink);
    ASSERT_EQ(pacer.Start(600000000), S_OK);
    ASSERT_TRUE(pacer.Request(&answered));
    ASSERT_TRUE(pacer.Request(&waiting));
    ASSERT_EQ(sink.WaitFor(1).size(), 1u);
    EXPECT_EQ(waiting.RefCount(), 2);
    const LONGLONG before = CSamplePacer::SteadyClock();
    pacer.Stop();
    EXPECT_LT(CSamplePacer::SteadyClock() - before, 300000000) << "waited for the tick";
    EXPECT_EQ(waiting.RefCount(), 1);
    EXPECT_FALSE(pacer.Request(&again));

    ASSERT_EQ(pacer.Start(kFrame), S_OK);
    ASSERT_TRUE(pacer.Request(&again));
    const std::vector<Answer> answers = sink.WaitFor(2);
    ASSERT_EQ(answers.size(), 2u);
    EXPECT_EQ(answers[1].token, 3);
}

}  // namespace
