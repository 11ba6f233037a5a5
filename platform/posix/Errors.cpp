// The calling thread's last error.
#include "platform/posix/winapi.h"

namespace {
thread_local DWORD t_lastError = ERROR_SUCCESS;
}

WINBASEAPI DWORD WINAPI GetLastError(void) { return t_lastError; }
WINBASEAPI void WINAPI SetLastError(DWORD error) { t_lastError = error; }
