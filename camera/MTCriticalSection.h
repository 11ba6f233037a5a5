// The camera engine's own lock: one platform critical section (re-entrant).
#pragma once

#include "platform/platform.h"

class CMTCriticalSection {
public:
    CMTCriticalSection();
    virtual ~CMTCriticalSection();
    CMTCriticalSection(const CMTCriticalSection&) = delete;
    CMTCriticalSection& operator=(const CMTCriticalSection&) = delete;

    bool Lock();
    bool Unlock();

private:
    CRITICAL_SECTION m_section;
};
