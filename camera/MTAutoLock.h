// Scoped holder of a CMTCriticalSection. For the lock checks a holder holds
// the lock from construction until Unlock or its end: a holder made with
// lockNow false (taking nothing) is beyond them, and none of the engine's
// code makes one.
#pragma once

#include "camera/MTCriticalSection.h"

class SCOPED_CAPABILITY CMTAutoLock {
public:
    CMTAutoLock(CMTCriticalSection& lock, bool lockNow) ACQUIRE(lock) : m_lock(lock) {
        if (lockNow) m_bLocked = lock.Lock();
    }
    ~CMTAutoLock() RELEASE() { Unlock(); }
    CMTAutoLock(const CMTAutoLock&) = delete;
    CMTAutoLock& operator=(const CMTAutoLock&) = delete;

    // True when the lock is no longer held by this holder.
    bool Unlock() RELEASE() {
        if (m_bLocked && m_lock.Unlock()) m_bLocked = false;
        return !m_bLocked;
    }

private:
    CMTCriticalSection& m_lock;
    bool m_bLocked = false;
};
