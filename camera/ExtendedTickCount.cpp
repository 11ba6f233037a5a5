#include "camera/ExtendedTickCount.h"

#include "camera/MTAutoLock.h"

namespace {

DWORD WINAPI PlatformTicks() {
    return GetTickCount();
}

// Created on first use (a function-local static is initialised exactly once,
// also when two threads arrive together) and destroyed when the module unloads.
struct ClockState {
    CMTCriticalSection lock;
    ExtendedTickSource source GUARDED_BY(lock) = PlatformTicks;
    bool bHasReading GUARDED_BY(lock) = false;
    uint64_t previous GUARDED_BY(lock) = 0;
    uint64_t wrapOffset GUARDED_BY(lock) = 0;
};

ClockState& Clock() {
    static ClockState state;
    return state;
}

}  // namespace

uint64_t ExtendedTickCount() {
    ClockState& clock = Clock();
    CMTAutoLock hold(clock.lock, true);
    const uint64_t reading = clock.source();
    if (!clock.bHasReading) {
        clock.previous = reading;
        clock.bHasReading = true;
    }
    if (reading < clock.previous) clock.wrapOffset += uint64_t(1) << 32;
    clock.previous = reading;
    return clock.wrapOffset + reading;
}

void SetExtendedTickSource(ExtendedTickSource source) {
    ClockState& clock = Clock();
    CMTAutoLock hold(clock.lock, true);
    clock.source = source ? source : PlatformTicks;
    clock.bHasReading = false;
    clock.previous = 0;
    clock.wrapOffset = 0;
}
