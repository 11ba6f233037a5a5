#include "tools/oculo-grab/GrabInterrupt.h"

#include <signal.h>

#include <atomic>

namespace {

std::atomic<bool> g_bInterrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free, "set from a signal handler");

void OnInterrupt(int) { g_bInterrupted.store(true); }

}  // namespace

void CatchInterrupt() {
    struct sigaction action = {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    // Once: the handler gives way to the default, so a second Ctrl+C ends the tool.
    action.sa_flags = SA_RESETHAND | SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
}

bool Interrupted() { return g_bInterrupted.load(); }
