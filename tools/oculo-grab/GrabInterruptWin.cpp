#include "tools/oculo-grab/GrabInterrupt.h"

#include <atomic>

#include "platform/platform.h"

namespace {

std::atomic<bool> g_bInterrupted{false};

// Runs on a thread the system makes for the event. FALSE passes the event on
// to the default handler, which ends the process: for a second Ctrl+C, and
// for closing the console, logging off or shutting down.
BOOL WINAPI OnConsoleEvent(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
    return g_bInterrupted.exchange(true) ? FALSE : TRUE;
}

}  // namespace

void CatchInterrupt() { SetConsoleCtrlHandler(OnConsoleEvent, TRUE); }

bool Interrupted() { return g_bInterrupted.load(); }
