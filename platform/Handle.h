// CHandle: an open kernel handle (an event, a semaphore, a thread, a process,
// a file), closed when the holder leaves scope unless Close() already did.
// Explicit verbs as CComRef's and CRegKey's: Attach takes over a handle,
// Detach gives it away, Put closes the old one and hands out the slot for an
// out-parameter. Null is "no handle"; a function that fails with
// INVALID_HANDLE_VALUE (CreateFile) is checked before its handle is held.
// Header-only, on the platform's CloseHandle alone (the stand-in's on Linux),
// so every layer closes handles the same way.
#pragma once

#include "platform/platform.h"

class CHandle {
public:
    CHandle() = default;
    // Takes over a handle the caller opened (null: none).
    explicit CHandle(HANDLE h) : m_h(h) {}
    CHandle(const CHandle&) = delete;
    CHandle& operator=(const CHandle&) = delete;
    CHandle(CHandle&& other) noexcept : m_h(other.Detach()) {}
    CHandle& operator=(CHandle&& other) noexcept {
        if (this != &other) Attach(other.Detach());
        return *this;
    }
    ~CHandle() { Close(); }

    void Attach(HANDLE h) {
        Close();
        m_h = h;
    }
    HANDLE Detach() {
        HANDLE h = m_h;
        m_h = nullptr;
        return h;
    }
    // Closes the held handle; CloseHandle's result, TRUE when none was held.
    BOOL Close() {
        HANDLE h = Detach();
        return h != nullptr ? CloseHandle(h) : TRUE;
    }
    // Closes the held handle and returns the slot for an out-parameter.
    HANDLE* Put() {
        Close();
        return &m_h;
    }
    HANDLE Get() const { return m_h; }
    explicit operator bool() const { return m_h != nullptr; }

private:
    HANDLE m_h = nullptr;
};
