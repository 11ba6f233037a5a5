// The camera engine's own lock: one platform critical section (re-entrant).
#pragma once

#include "platform/ThreadAnnotations.h"
#include "platform/platform.h"

class CAPABILITY("mutex") CMTCriticalSection {
public:
    CMTCriticalSection();
    virtual ~CMTCriticalSection();
    CMTCriticalSection(const CMTCriticalSection&) = delete;
    CMTCriticalSection& operator=(const CMTCriticalSection&) = delete;

    // Both always succeed and answer true.
    bool Lock() ACQUIRE();
    bool Unlock() RELEASE();

private:
    CRITICAL_SECTION m_section;
};
