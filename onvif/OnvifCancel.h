// What bounds a camera search's work: a flag another thread raises to stop
// it, and time limits. Every wait of the search checks both at least every
// 100 ms.
#pragma once

#include <atomic>
#include <chrono>

// Raised by any thread (a window's Cancel), read by the worker.
class COnvifCancel {
public:
    void Cancel() { m_bCancelled.store(true); }
    bool IsCancelled() const { return m_bCancelled.load(); }

private:
    std::atomic<bool> m_bCancelled{false};
};

// A moment on the steady clock by which something must be done.
class CDeadline {
public:
    explicit CDeadline(int ms) : m_at(std::chrono::steady_clock::now() + std::chrono::milliseconds(ms)) {}
    bool Passed() const { return std::chrono::steady_clock::now() >= m_at; }
    int LeftMs() const {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(m_at - std::chrono::steady_clock::now());
        return left.count() > 0 ? int(left.count()) : 0;
    }
    // The earlier of the two.
    CDeadline Within(const CDeadline& other) const { return other.m_at < m_at ? other : *this; }

private:
    std::chrono::steady_clock::time_point m_at;
};
