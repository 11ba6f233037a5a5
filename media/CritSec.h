// CCritSec: the framework's lock, one recursive platform critical section.
// CAutoLock: holds a CCritSec for the lifetime of a scope.
//
// Any thread may call any method. The lock is recursive: the holder may take
// it again and releases it as often as it took it (the filter's pause holds
// the filter lock while the stream pin's activation takes it again).
#pragma once

#include "platform/platform.h"

class CCritSec {
public:
    CCritSec();
    ~CCritSec();
    CCritSec(const CCritSec&) = delete;
    CCritSec& operator=(const CCritSec&) = delete;

    void Lock();
    void Unlock();

private:
    CRITICAL_SECTION m_CritSec;
};

class CAutoLock {
public:
    explicit CAutoLock(CCritSec* plock) : m_pLock(plock) { m_pLock->Lock(); }
    ~CAutoLock() { m_pLock->Unlock(); }
    CAutoLock(const CAutoLock&) = delete;
    CAutoLock& operator=(const CAutoLock&) = delete;

private:
    CCritSec* m_pLock;  // not owned: the lock outlives the scope
};
