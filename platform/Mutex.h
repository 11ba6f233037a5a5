// CMutex: a std::mutex whose contract Clang's lock checks can see (the
// standard library's own mutex carries no annotations). Not re-entrant.
// CMutexLock: holds a CMutex for its scope, through a std::unique_lock that a
// std::condition_variable can wait with (Native()). A wait lets the mutex go
// and takes it again before it returns; the checks see it held throughout,
// which is what the code before and after the wait relies on.
#pragma once

#include <mutex>

#include "platform/ThreadAnnotations.h"

class CAPABILITY("mutex") CMutex {
public:
    CMutex() = default;
    CMutex(const CMutex&) = delete;
    CMutex& operator=(const CMutex&) = delete;

    void Lock() ACQUIRE() { m_mutex.lock(); }
    void Unlock() RELEASE() { m_mutex.unlock(); }

private:
    friend class CMutexLock;
    std::mutex m_mutex;
};

class SCOPED_CAPABILITY CMutexLock {
public:
    explicit CMutexLock(CMutex& mutex) ACQUIRE(mutex) : m_hold(mutex.m_mutex) {}
    ~CMutexLock() RELEASE() {}
    CMutexLock(const CMutexLock&) = delete;
    CMutexLock& operator=(const CMutexLock&) = delete;

    // For condition variable waits only; the holder stays the owner.
    std::unique_lock<std::mutex>& Native() { return m_hold; }

private:
    std::unique_lock<std::mutex> m_hold;
};
