// CUniqueHandle: one open platform object of a kind (a kernel handle, a
// registry key), closed when the holder leaves scope unless Close() already
// did (whose result a caller may report). Explicit verbs as CComRef's: Attach
// takes over an open object, Detach gives it away, Put closes the old one and
// hands out the slot for an out-parameter. Null is "none".
//
// A kind is a traits class: its Type, its static Close, and the result Close
// gives when nothing was held (kNothingClosed). Each kind is one line beside
// its traits (platform/Handle.h, platform/RegKey.h). Header-only, on the
// platform's functions alone (the stand-in's on Linux), so every layer closes
// them the same way.
#pragma once

#include "platform/platform.h"

template <class Traits>
class CUniqueHandle {
public:
    using Type = typename Traits::Type;
    using Result = decltype(Traits::Close(Type()));

    CUniqueHandle() = default;
    // Takes over an object the caller opened.
    explicit CUniqueHandle(Type value) : m_value(value) {}
    CUniqueHandle(const CUniqueHandle&) = delete;
    CUniqueHandle& operator=(const CUniqueHandle&) = delete;
    CUniqueHandle(CUniqueHandle&& other) noexcept : m_value(other.Detach()) {}
    CUniqueHandle& operator=(CUniqueHandle&& other) noexcept {
        if (this != &other) Attach(other.Detach());
        return *this;
    }
    ~CUniqueHandle() { Close(); }

    void Attach(Type value) {
        Close();
        m_value = value;
    }
    Type Detach() {
        Type value = m_value;
        m_value = nullptr;
        return value;
    }
    Result Close() {
        Type value = Detach();
        return value != nullptr ? Traits::Close(value) : Traits::kNothingClosed;
    }
    // Closes the held object and returns the slot for an out-parameter.
    Type* Put() {
        Close();
        return &m_value;
    }
    Type Get() const { return m_value; }
    explicit operator bool() const { return m_value != nullptr; }

private:
    Type m_value = nullptr;
};
