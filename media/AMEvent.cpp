#include "media/AMEvent.h"

CAMEvent::CAMEvent(BOOL fManualReset) : m_hEvent(CreateEventW(nullptr, fManualReset, FALSE, nullptr)) {}

CAMEvent::~CAMEvent() {
    if (m_hEvent != nullptr) {
        CloseHandle(m_hEvent);
    }
}

void CAMEvent::Set() {
    if (m_hEvent != nullptr) {
        SetEvent(m_hEvent);
    }
}

void CAMEvent::Reset() {
    if (m_hEvent != nullptr) {
        ResetEvent(m_hEvent);
    }
}

bool CAMEvent::Wait() { return Wait(INFINITE); }

bool CAMEvent::Wait(DWORD dwTimeout) {
    // A null handle must not be handed to the platform's wait: answer "not signalled".
    return m_hEvent != nullptr && WaitForSingleObject(m_hEvent, dwTimeout) == WAIT_OBJECT_0;
}

bool CAMEvent::Check() { return Wait(0); }
