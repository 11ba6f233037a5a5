// Editing a slot's settings key the way a configuration tool must store the
// values for the module to read them, each by its row of the settings table
// (module/SettingsTable.h): "fps" as text (through RegWriteFloat), "url" and
// "name" as text, every other number as a DWORD, within the row's limits.
// Values are checked before anything is written, so a bad command line
// leaves the key as it was.
//
// Stateless: any thread may call any function; each write opens and closes
// the key by itself (module/InstanceSettings.h).
#pragma once

#include <string>

#include "module/SettingsTable.h"
#include "platform/platform.h"

// One checked "key=value".
struct SlotSetting {
    const SettingRow* row = nullptr;  // the value it sets (module/SettingsTable.h)
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

// "SOFTWARE\TALVO\Oculo\NN" under HKEY_LOCAL_MACHINE (FormatSlotKeyPath).
std::wstring SlotKeyPath(DWORD slot);
// The setting that stores the record's value of `row`, as it is.
SlotSetting SettingOf(const SettingRow& row, const InstanceSettings& settings);
// Puts a setting's value into its field of the record (a text cut to the
// field, which a checked one always fits).
void ApplySetting(const SlotSetting& setting, InstanceSettings* settings);
// The record's value of `row` as a line shows it: a text as it is, a number
// signed, a frame rate as "%g".
std::string SettingText(const SettingRow& row, const InstanceSettings& settings);
const char* RegWriteResultText(LONG result);
// The names `set` accepts, separated by blanks.
const char* SettingNames();
