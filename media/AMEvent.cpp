#include "media/AMEvent.h"

CAMEvent::CAMEvent(BOOL fManualReset) : m_hEvent(CreateEventW(nullptr, fManualReset, FALSE, nullptr)) {}

void CAMEvent::Set() {
    if (m_hEvent) {
        SetEvent(m_hEvent.Get());
    }
}

void CAMEvent::Reset() {
    if (m_hEvent) {
        ResetEvent(m_hEvent.Get());
    }
}

bool CAMEvent::Wait() { return Wait(INFINITE); }

bool CAMEvent::Wait(DWORD dwTimeout) {
    // A null handle must not be handed to the platform's wait: answer "not signalled".
    return m_hEvent && WaitForSingleObject(m_hEvent.Get(), dwTimeout) == WAIT_OBJECT_0;
}

bool CAMEvent::Check() { return Wait(0); }
