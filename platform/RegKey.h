// CRegKey: an open registry key, closed when the holder leaves scope unless
// Close() already did (whose result a caller may report). Explicit verbs as
// CComRef's: Put closes the old key and hands out the slot for an
// out-parameter, Attach takes over an open key, Detach gives it away.
// Header-only, on the platform's registry functions alone (the stand-in's on
// Linux), so every layer closes keys the same way.
#pragma once

#include "platform/platform.h"

class CRegKey {
public:
    CRegKey() = default;
    CRegKey(const CRegKey&) = delete;
    CRegKey& operator=(const CRegKey&) = delete;
    CRegKey(CRegKey&& other) noexcept : m_hKey(other.Detach()) {}
    CRegKey& operator=(CRegKey&& other) noexcept {
        if (this != &other) Attach(other.Detach());
        return *this;
    }
    ~CRegKey() { Close(); }

    // Takes over a key the caller opened.
    void Attach(HKEY hKey) {
        Close();
        m_hKey = hKey;
    }
    HKEY Detach() {
        HKEY hKey = m_hKey;
        m_hKey = nullptr;
        return hKey;
    }
    // Closes the held key; RegCloseKey's result, ERROR_SUCCESS when none was held.
    LONG Close() {
        HKEY hKey = Detach();
        return hKey != nullptr ? RegCloseKey(hKey) : ERROR_SUCCESS;
    }
    // Closes the held key and returns the slot for an out-parameter.
    HKEY* Put() {
        Close();
        return &m_hKey;
    }
    HKEY Get() const { return m_hKey; }
    explicit operator bool() const { return m_hKey != nullptr; }

private:
    HKEY m_hKey = nullptr;
};
