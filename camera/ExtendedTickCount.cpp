#include "camera/ExtendedTickCount.h"

#include <new>

#include "camera/MTAutoLock.h"

namespace {

DWORD WINAPI PlatformTicks() {
    return GetTickCount();
}

struct ClockState {
    CMTCriticalSection lock;
    ExtendedTickSource source GUARDED_BY(lock) = PlatformTicks;
    bool bHasReading GUARDED_BY(lock) = false;
    uint64_t previous GUARDED_BY(lock) = 0;
    uint64_t wrapOffset GUARDED_BY(lock) = 0;
};

// Created on first use (a function-local static is initialised exactly once,
// also when two threads arrive together) and never destroyed, on purpose: at
// process exit static objects are destroyed while threads of ours may still
// read the clock (a name lookup a reader left behind, a reader its host never
// stopped). Built in place in the module's own storage, so nothing stays
// allocated when the module unloads, which happens only once no thread of
// ours runs.
ClockState& Clock() {
    alignas(ClockState) static unsigned char storage[sizeof(ClockState)];
    static ClockState* const state = new (storage) ClockState;
    return *state;
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
