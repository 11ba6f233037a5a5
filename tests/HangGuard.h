// CHangGuard: ends the test program with a message naming the test when the
// test overstays its limit. A deadlock or a lost wake-up (a thread that can no
// longer be joined) would otherwise hold the whole suite until CTest's
// time-out; this fails it instead. Hold one for the span to guard, a test or
// a fixture's life.
//
// Threading: the guard's own thread waits for the destructor's signal; build
// and destroy the guard on one thread.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

class CHangGuard {
public:
    explicit CHangGuard(unsigned long dwLimitMs)
        : m_thread([this, dwLimitMs] {
              std::unique_lock<std::mutex> hold(m_lock);
              if (!m_done.wait_for(hold, std::chrono::milliseconds(dwLimitMs),
                                   [this] { return m_bFinished; })) {
                  const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
                  std::fprintf(stderr, "%s hangs (over %lu ms): a deadlock or a lost wake-up\n",
                               test ? test->name() : "test", dwLimitMs);
                  std::fflush(stderr);
                  std::_Exit(1);
              }
          }) {}
    ~CHangGuard() {
        {
            std::lock_guard<std::mutex> hold(m_lock);
            m_bFinished = true;
        }
        m_done.notify_all();
        m_thread.join();
    }
    CHangGuard(const CHangGuard&) = delete;
    CHangGuard& operator=(const CHangGuard&) = delete;

private:
    std::mutex m_lock;
    std::condition_variable m_done;
    bool m_bFinished = false;
    std::thread m_thread;  // last: it uses the members above
};
