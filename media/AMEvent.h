// CAMEvent: one unnamed platform event, created not signalled, with manual or
// automatic reset as the owner chooses.
//
// Any thread may call any method. A creation failure is not reported: the
// handle stays null, Wait and Check then answer false at once and Set/Reset do
// nothing; owners that depend on the event test IsValid().
#pragma once

#include "platform/Handle.h"
#include "platform/platform.h"

class CAMEvent {
public:
    explicit CAMEvent(BOOL fManualReset = FALSE);
    CAMEvent(const CAMEvent&) = delete;
    CAMEvent& operator=(const CAMEvent&) = delete;

    void Set();
    void Reset();
    // Waits without a time limit; true when signalled.
    bool Wait();
    // Waits up to dwTimeout milliseconds; true when signalled.
    bool Wait(DWORD dwTimeout);
    // Zero-time wait; true when signalled (an automatic-reset event is consumed).
    bool Check();

    bool IsValid() const { return static_cast<bool>(m_hEvent); }
    operator HANDLE() const { return m_hEvent.Get(); }

private:
    const CHandle m_hEvent;  // set once by the constructor
};
