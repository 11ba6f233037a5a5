// CRegKey: an open registry key, closed by RegCloseKey when the holder leaves
// scope unless Close() already did (whose result a caller may report:
// ERROR_SUCCESS when none was held); the verbs are CUniqueHandle's
// (platform/UniqueHandle.h).
#pragma once

#include "platform/UniqueHandle.h"

struct RegKeyTraits {
    using Type = HKEY;
    static LONG Close(HKEY key) { return RegCloseKey(key); }
    static constexpr LONG kNothingClosed = ERROR_SUCCESS;
};
using CRegKey = CUniqueHandle<RegKeyTraits>;
