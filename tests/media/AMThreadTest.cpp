#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "media/AMThread.h"

namespace {

const DWORD kExit = 0xFFFFu;

// Answers every request with its code + 1000 until asked to exit.
class EchoWorker : public CAMThread {
public:
    ~EchoWorker() override { Stop(); }
    void Stop() {
        if (ThreadExists()) {
            CallWorker(kExit);
            Close();
        }
    }
    std::atomic<int> m_nRequests{0};

    DWORD ThreadProc() override {
        for (;;) {
            DWORD request = GetRequest();
            ++m_nRequests;
            if (request == kExit) {
                Reply(0);
                return 7;
            }
            // Give a second client the chance to slip in if serialisation were broken.
            std::this_thread::yield();
            Reply(request + 1000);
        }
    }
};

}  // namespace

TEST(AMThread, WithoutWorkerCallFailsAndCloseReturns) {
    EchoWorker thread;
    EXPECT_FALSE(thread.ThreadExists());
    EXPECT_EQ(thread.CallWorker(5), static_cast<DWORD>(E_FAIL));
    EXPECT_EQ(thread.m_nRequests.load(), 0);
    thread.Close();
    EXPECT_FALSE(thread.ThreadExists());
}

TEST(AMThread, AnswersEachRequestAndRefusesASecondWorker) {
    EchoWorker thread;
    ASSERT_TRUE(thread.Create());
    EXPECT_TRUE(thread.ThreadExists());
    EXPECT_FALSE(thread.Create());
    EXPECT_EQ(thread.CallWorker(1), 1001u);
    EXPECT_EQ(thread.CallWorker(2), 1002u);
    EXPECT_EQ(thread.CallWorker(kExit), 0u);
    // The worker has ended but the handle stays until Close.
    EXPECT_TRUE(thread.ThreadExists());
    thread.Close();
    EXPECT_FALSE(thread.ThreadExists());
    EXPECT_EQ(thread.m_nRequests.load(), 3);
    // Events and locks are reused by a new worker.
    ASSERT_TRUE(thread.Create());
    EXPECT_EQ(thread.CallWorker(3), 1003u);
}

TEST(AMThread, ConcurrentClientsAreServedInTurnWithTheirOwnReplies) {
    EchoWorker thread;
    ASSERT_TRUE(thread.Create());
    std::atomic<int> wrong{0};
    auto client = [&](DWORD base) {
        for (DWORD i = 0; i < 300; ++i) {
            if (thread.CallWorker(base + i) != base + i + 1000) {
                ++wrong;
            }
        }
    };
    std::thread a(client, 0u);
    std::thread b(client, 10000u);
    a.join();
    b.join();
    EXPECT_EQ(wrong.load(), 0);
    EXPECT_EQ(thread.m_nRequests.load(), 600);
}

namespace {

// Polls for requests between units of work, as a streaming worker does.
class PollingWorker : public CAMThread {
public:
    ~PollingWorker() override { Close(); }
    std::vector<DWORD> m_seen;  // read by the test only after the worker ended

    DWORD ThreadProc() override {
        for (;;) {
            DWORD request = 0;
            if (!CheckRequest(&request)) {
                std::this_thread::yield();
                continue;
            }
            m_seen.push_back(request);
            EXPECT_TRUE(CheckRequest(nullptr));  // polling does not consume it
            if (m_seen.size() % 3 != 0) {
                continue;  // look again before answering
            }
            Reply(request * 2);
            if (request == kExit) {
                return 0;
            }
        }
    }
};

}  // namespace

TEST(AMThread, PollingSeesTheSameRequestUntilItReplies) {
    PollingWorker thread;
    ASSERT_TRUE(thread.Create());
    EXPECT_EQ(thread.CallWorker(21), 42u);
    EXPECT_EQ(thread.CallWorker(kExit), kExit * 2);
    thread.Close();
    EXPECT_EQ(thread.m_seen, (std::vector<DWORD>{21, 21, 21, kExit, kExit, kExit}));
}

namespace {

// Ends after taking one request, without answering it (a worker whose
// start-up failed).
class QuittingWorker : public CAMThread {
public:
    ~QuittingWorker() override { Close(); }
    bool m_bAnswerFirst = false;
    bool RequestPending() { return m_EventSend.Check(); }

    DWORD ThreadProc() override {
        GetRequest();
        if (m_bAnswerFirst) {
            Reply(99);
        }
        return 1;
    }
};

}  // namespace

TEST(AMThread, AWorkerThatEndsWithoutReplyingDoesNotHangTheCaller) {
    QuittingWorker thread;
    ASSERT_TRUE(thread.Create());
    EXPECT_EQ(thread.CallWorker(1), static_cast<DWORD>(E_FAIL));
    // Once ended it cannot answer again.
    EXPECT_EQ(thread.CallWorker(2), static_cast<DWORD>(E_FAIL));
    thread.Close();
    // The unanswered requests left nothing pending for a new worker.
    EXPECT_FALSE(thread.RequestPending());
    // A reply given just before ending still reaches the caller.
    thread.m_bAnswerFirst = true;
    ASSERT_TRUE(thread.Create());
    EXPECT_EQ(thread.CallWorker(3), 99u);
    thread.Close();
}

namespace {

class ApartmentProbe : public CAMThread {
public:
    ~ApartmentProbe() override { Close(); }
    HRESULT m_hrSingleThreaded = S_OK;

    DWORD ThreadProc() override {
        // The worker already belongs to the multithreaded apartment, so asking
        // for a single-threaded one is refused.
        m_hrSingleThreaded = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        if (SUCCEEDED(m_hrSingleThreaded)) {
            CoUninitialize();
        }
        return 0;
    }
};

}  // namespace

TEST(AMThread, WorkerJoinsTheMultithreadedApartment) {
    ApartmentProbe thread;
    ASSERT_TRUE(thread.Create());
    thread.Close();
    EXPECT_EQ(thread.m_hrSingleThreaded, RPC_E_CHANGED_MODE);

    HRESULT hr = E_UNEXPECTED;
    std::thread plain([&] {
        hr = CAMThread::CoInitializeHelper();
        if (SUCCEEDED(hr)) {
            CoUninitialize();
        }
    });
    plain.join();
    EXPECT_EQ(hr, S_OK);
}
