// The one header through which system code reaches the platform: the Windows
// SDK on Windows, the POSIX stand-in elsewhere. Names, signatures and result
// codes are the same on both.
#pragma once

// The standard headers the POSIX stand-in brings in, on every target, so that
// code compiling on one compiles on the other.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <cwchar>

#ifdef _WIN32
#ifndef STRSAFE_NO_DEPRECATE
#define STRSAFE_NO_DEPRECATE
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <winsock2.h>  // before windows.h; with ws2tcpip.h, the name lookup
#include <ws2tcpip.h>
#include <windows.h>
#include <objbase.h>
#include <dshow.h>
#include <ks.h>
#include <ksproxy.h>
#include <qedit.h>

// Names the POSIX stand-in declares that mingw-w64's headers spell
// differently or leave out.
typedef enum tagAM_SAMPLE_PROPERTY_FLAGS AM_SAMPLE_PROPERTY_FLAGS;
typedef DWORD MERIT_VALUES;  // an unnamed enum in the SDK headers
// Defined by libstrmiids but not declared by mingw's qedit.h.
extern "C" const CLSID CLSID_SampleGrabber;
extern "C" const CLSID CLSID_NullRenderer;
#else
#include "posix/dshow.h"
#endif
