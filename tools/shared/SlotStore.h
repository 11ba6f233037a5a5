// The slots' keys in every registry view a host reads them from, changed
// all together or not at all. On 64-bit Windows a 32-bit host reads the
// 32-bit view and a 64-bit host the 64-bit one, so a slot is written to both;
// elsewhere there is one view.
//
// Stateless: any thread may call any function; every call opens and closes
// the keys it uses.
#pragma once

#include <string>
#include <vector>

#include "tools/shared/SlotEditor.h"

struct RegistryView {
    REGSAM flag;       // KEY_WOW64_64KEY, KEY_WOW64_32KEY, or 0 for the only view
    const char* name;  // "64-bit", "32-bit", or "" for the only view
};

// The views of this system, the 64-bit one first (System*.cpp).
std::vector<RegistryView> SettingsViews();
// Keeps only the view "32" or "64" names; false with *error when the system
// has no such view.
bool SelectView(const char* text, std::vector<RegistryView>* views, std::string* error);

// One value of a slot's key as stored.
struct StoredValue {
    std::wstring name;
    DWORD type;
    std::vector<BYTE> data;
    bool operator==(const StoredValue& other) const;
};

// What a slot's key holds: whether it exists and its known values.
struct SlotRecord {
    bool bExists = false;
    std::vector<StoredValue> values;  // in the order `set` names them
    bool operator==(const SlotRecord& other) const {
        return bExists == other.bExists && values == other.values;
    }
};

// ERROR_SUCCESS (a missing key is a record that does not exist) or the
// registry's error.
LONG ReadSlotRecord(DWORD slot, const RegistryView& view, SlotRecord* record);
// The value as a line shows it: text as is, a DWORD as a signed number.
std::string StoredValueText(const StoredValue& value);

// A change to one slot: remove its key, or store values (after removing the
// key first when bReplace, so the slot holds exactly these values).
struct SlotChange {
    DWORD slot = 0;
    bool bRemove = false;
    bool bReplace = false;
    std::vector<SlotSetting> settings;
};

// Applies every change in every view, or none: write access to each view is
// checked first, and a failure part way restores what was there. On failure
// *error is one line a user can act on.
LONG ApplySlotChanges(const std::vector<SlotChange>& changes, const std::vector<RegistryView>& views,
                      std::string* error);
