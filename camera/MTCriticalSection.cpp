#include "camera/MTCriticalSection.h"

// Spin count 0 and no flags: the plain initialisation is the same lock.
CMTCriticalSection::CMTCriticalSection() {
    InitializeCriticalSection(&m_section);
}

CMTCriticalSection::~CMTCriticalSection() {
    DeleteCriticalSection(&m_section);
}

bool CMTCriticalSection::Lock() {
    EnterCriticalSection(&m_section);
    return true;
}

bool CMTCriticalSection::Unlock() {
    LeaveCriticalSection(&m_section);
    return true;
}
