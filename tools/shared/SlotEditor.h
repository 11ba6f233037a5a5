// Editing a slot's settings key the way a configuration tool must store the
// values for the module to read them: "fps" as text (through RegWriteFloat),
// "url" and "name" as text, every other number as a DWORD. Values are checked
// before anything is written, so a bad command line leaves the key as it was.
//
// Stateless: any thread may call any function; each write opens and closes
// the key by itself (module/InstanceSettings.h).
#pragma once

#include <string>

#include "module/InstanceSettings.h"
#include "platform/platform.h"

// Limits the tool enforces so that what it stores is what the module uses:
// the slot table keeps 255 characters of a name, the reader 1023 of an address.
const DWORD kMaxNameChars = 255;
const DWORD kMinUrlChars = 6;
const LONG kMaxSlotSide = 16384;
const double kMinFps = 0.01;
const double kMaxFps = 1000.0;

enum class SettingKind { kText, kDword, kFps };

// One checked "key=value".
struct SlotSetting {
    LPCWSTR valueName = nullptr;  // the registry's spelling of the key
    SettingKind kind = SettingKind::kDword;
    std::wstring text;  // kText
    DWORD number = 0;   // kDword; a negative value as its two's complement
    float fps = 0.0f;   // kFps
};

// "0" to "9".
bool ParseSlotIndex(const char* text, DWORD* slot);
// Parses and checks "key=value" (key names in any case); an address must
// start with rtsp://, rtsps://, http:// or https://. On false, *error says
// what is wrong in words a user can act on.
bool ParseSetting(const char* assignment, SlotSetting* setting, std::string* error);
// The same checks for a value as a window holds it: `key` is a name `set`
// takes, the value wide text, so that a name in any language keeps every
// character whatever this system's code page.
bool ParseSettingText(const char* key, const std::wstring& value, SlotSetting* setting, std::string* error);
// The same checks for a value read from a stored form (a .reg file): its
// name, whether it is text (else a DWORD), and its data; an address only for
// its length, as the module reads it, so that stored settings come back.
bool ParseStoredSetting(const std::wstring& name, bool bText, const std::wstring& text, DWORD number,
                        SlotSetting* setting, std::string* error);
// Stores one setting; the RegWrite* result (kRegWriteOk on success).
LONG WriteSetting(DWORD slot, const SlotSetting& setting);
// Removes the slot's key: ERROR_SUCCESS, ERROR_FILE_NOT_FOUND when it had
// none, or the registry's error.
LONG ClearSlot(DWORD slot);

// "SOFTWARE\TALVO\Oculo\NN" under HKEY_LOCAL_MACHINE.
std::wstring SlotKeyPath(DWORD slot);
// The first reason (in the order the module judges) why the record is not
// usable; empty when it is.
std::string UnusableReason(const InstanceSettings& settings);
const char* RegWriteResultText(LONG result);
// The names `set` accepts, separated by blanks.
const char* SettingNames();
