// CHandle: an open kernel handle (an event, a semaphore, a thread, a process,
// a file), closed by CloseHandle when the holder leaves scope; the verbs are
// CUniqueHandle's (platform/UniqueHandle.h). A function that fails with
// INVALID_HANDLE_VALUE (CreateFile) is checked before its handle is held.
#pragma once

#include "platform/UniqueHandle.h"

struct KernelHandleTraits {
    using Type = HANDLE;
    static BOOL Close(HANDLE handle) { return CloseHandle(handle); }
    static constexpr BOOL kNothingClosed = TRUE;
};
using CHandle = CUniqueHandle<KernelHandleTraits>;
