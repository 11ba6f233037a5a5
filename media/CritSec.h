// CCritSec: the framework's lock, one recursive platform critical section.
// CAutoLock: holds a CCritSec for the lifetime of a scope.
//
// Any thread may call any method. The lock is recursive: the holder may take
// it again and releases it as often as it took it (the filter's pause holds
// the filter lock while the stream pin's activation takes it again). Clang's
// lock checks know no re-entry: code they check takes a lock once and states
// REQUIRES where a caller already holds it.
#pragma once

#include "platform/ThreadAnnotations.h"
#include "platform/platform.h"

class CAPABILITY("mutex") CCritSec {
public:
    CCritSec();
    ~CCritSec();
    CCritSec(const CCritSec&) = delete;
    CCritSec& operator=(const CCritSec&) = delete;

    void Lock() ACQUIRE();
    void Unlock() RELEASE();

private:
    CRITICAL_SECTION m_CritSec;
};

class SCOPED_CAPABILITY CAutoLock {
public:
    explicit CAutoLock(CCritSec* plock) ACQUIRE(plock) : m_pLock(plock) { plock->Lock(); }
    ~CAutoLock() RELEASE() { m_pLock->Unlock(); }
    CAutoLock(const CAutoLock&) = delete;
    CAutoLock& operator=(const CAutoLock&) = delete;

private:
    CCritSec* m_pLock;  // not owned: the lock outlives the scope
};
