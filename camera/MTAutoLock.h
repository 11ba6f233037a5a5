// Scoped holder of a CMTCriticalSection.
#pragma once

#include "camera/MTCriticalSection.h"

class CMTAutoLock {
public:
    CMTAutoLock(CMTCriticalSection& lock, bool lockNow) : m_lock(lock) {
        if (lockNow) m_bLocked = m_lock.Lock();
    }
    ~CMTAutoLock() { Unlock(); }
    CMTAutoLock(const CMTAutoLock&) = delete;
    CMTAutoLock& operator=(const CMTAutoLock&) = delete;

    // True when the lock is no longer held by this holder.
    bool Unlock() {
        if (m_bLocked && m_lock.Unlock()) m_bLocked = false;
        return !m_bLocked;
    }

private:
    CMTCriticalSection& m_lock;
    bool m_bLocked = false;
};
