// The settings store of the filter slots: one registry key per slot,
// HKEY_LOCAL_MACHINE\SOFTWARE\TALVO\Oculo\NN (NN = 00 to 09), read afresh on
// every call (no cache), and the record InstanceSettings a slot's key is read
// into. The module only reads; the write helpers fix the form in which a
// configuration tool stores values. The values themselves, their names,
// kinds, defaults and limits, are the rows of module/SettingsTable.h.
//
// Stateless and lock-free: any thread may call any function; every call opens
// and closes the key by itself.
#pragma once

#include <string_view>

#include "platform/platform.h"

// Capacities in WCHARs. Windows reads "url" and "name" into 4096 bytes and
// "fps" into 64 bytes; where WCHAR is wider the byte counts grow with it, the
// character capacities stay.
const DWORD kSettingsTextChars = 2048;
const DWORD kFpsTextChars = 32;
// An address shorter than this names no camera. The camera reader's address
// buffer holds 1023 characters and the terminator; a longer address would be
// cut and open the wrong camera.
const DWORD kMinUrlChars = 6;
const DWORD kMaxUrlChars = 1023;
// The slot table keeps 255 characters of a name and the terminator: a tool
// stores no longer one.
const DWORD kMaxNameChars = 255;

// The slots' keys: HKEY_LOCAL_MACHINE\SOFTWARE\TALVO\Oculo\NN for slot NN.
const WCHAR kSlotsKeyPath[] = L"SOFTWARE\\TALVO\\Oculo";
const DWORD kSlotKeyPathChars = 256;
void FormatSlotKeyPath(DWORD slot, WCHAR (&path)[kSlotKeyPathChars]);

struct InstanceSettings {
    DWORD slot;
    LONG enable;
    const CLSID* clsid;  // into g_SlotClsids (module/SlotClasses.h); null for a slot out of range
    WCHAR url[kSettingsTextChars];
    WCHAR name[kSettingsTextChars];
    float fps;
    LONG w;
    LONG h;
    LONG crop_l;
    LONG crop_t;
    LONG crop_r;
    LONG crop_b;
    LONG tShift;
    // Non-zero (the default): samples show the status card before a run's
    // first picture and while the camera gives none (filter/StatusCard.h);
    // 0: black before the first picture, then the last picture repeated.
    LONG status;
    // Non-zero: a usable slot is also a virtual camera of Windows' camera
    // service, for the Camera app and the Store apps (Windows 11; made by the
    // tools' registration, mfsource/VirtualCameras.h). 0 (the default):
    // DirectShow applications only.
    LONG mf;
};

// The record of slot 0..9, every missing or unreadable value at its default.
// Never fails.
InstanceSettings LoadInstanceSettings(DWORD slot);
// The first reason, in this order, why the record is not usable: enable
// unset, a url of fewer than kMinUrlChars or more than kMaxUrlChars
// characters, no name, a size or frame rate not positive. Empty when it is
// usable. Constant text: nothing is allocated.
std::string_view UnusableReason(const InstanceSettings& settings);
bool IsInstanceUsable(const InstanceSettings& settings);
bool IsSlotUsable(DWORD slot);

// Reads a value as text into buffer (cbBuffer bytes) under HKEY_LOCAL_MACHINE;
// returns the bytes read, or -1 (buffer then empty) when the key or value is
// missing or the data does not fit. The result is always terminated within
// the buffer, whatever was stored.
LONG RegReadString(LPCWSTR keyPath, LPCWSTR valueName, WCHAR* buffer, DWORD cbBuffer);
// The value's (at most) 4 bytes, or defaultValue when missing or longer.
LONG RegReadDword(LPCWSTR keyPath, LPCWSTR valueName, LONG defaultValue);
// A decimal number stored as text, or defaultValue when missing or too long;
// text without a leading number gives 0.
float RegReadFloat(LPCWSTR keyPath, LPCWSTR valueName, float defaultValue);

// Results of the write helpers.
const LONG kRegWriteOk = 0;
const LONG kRegWriteCannotOpen = 1;
const LONG kRegWriteBadDisposition = 2;
const LONG kRegWriteCannotSet = 3;
const LONG kRegWriteCannotClose = 4;
LONG RegWriteString(LPCWSTR keyPath, LPCWSTR valueName, LPCWSTR text);
LONG RegWriteDword(LPCWSTR keyPath, LPCWSTR valueName, DWORD value);
// Stores the value as "%g" text (FormatRegFloat).
LONG RegWriteFloat(LPCWSTR keyPath, LPCWSTR valueName, float value);
const DWORD kFloatTextChars = 64;
void FormatRegFloat(float value, WCHAR (&text)[kFloatTextChars]);
