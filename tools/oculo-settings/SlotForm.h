// A slot as Oculo Settings holds it, the texts of its edit dialog and its row
// in the list. The dialog's fields are checked with the rules and messages of
// `oculo-config set` (tools/shared/SlotEditor.h); the address is composed
// from the address field and the login fields. Plain functions on values, so
// that what the window does is tested without windows; any thread.
#pragma once

#include <string>
#include <vector>

#include "module/SlotClasses.h"
#include "tools/shared/SlotEditor.h"

// What a slot holds: the module's record of it, every value its settings
// table describes (module/SettingsTable.h), with their defaults for what is
// missing; and whether it has settings at all.
struct SlotValues : InstanceSettings {
    SlotValues() : InstanceSettings(DefaultSettings()) {}
    SlotValues(const InstanceSettings& settings, bool bStoredSlot)
        : InstanceSettings(settings), bStored(bStoredSlot) {}
    bool bStored = false;  // the slot has settings; false: an empty slot
    bool operator==(const SlotValues& other) const {
        return bStored == other.bStored && SameSettings(*this, other);
    }
    bool operator!=(const SlotValues& other) const { return !(*this == other); }
};

// The slot as the module reads it, in this program's registry view.
SlotValues LoadSlotValues(DWORD slot);

// The edit dialog's texts. The address field holds the address without its
// login, which has fields of its own.
struct SlotForm {
    std::wstring name;
    std::wstring address;
    std::wstring user;
    std::wstring password;
    std::wstring size;  // "1280x720"
    std::wstring fps;
    std::wstring cropLeft;
    std::wstring cropTop;
    std::wstring cropRight;
    std::wstring cropBottom;
    std::wstring shift;
    bool bEnabled = true;
    bool bStatusCard = true;
    bool bCameraApps = false;  // also a virtual camera of the Windows camera apps
};

// Why a field's text is refused, beside each field; empty: accepted.
struct SlotFormErrors {
    std::string name;
    std::string address;
    std::string login;
    std::string size;
    std::string fps;
    std::string crop;
    std::string shift;
    bool Any() const;
};

// The sizes the size field offers, most common first.
const std::vector<std::wstring>& CommonPictureSizes();

// The dialog's texts for a slot; an empty slot gets a new camera's: enabled,
// the module's size and frame rate, no name and no address.
SlotForm FormFromValues(const SlotValues& values);
// Moves a login typed or pasted into the address field into the login
// fields; false when the address carries none.
bool MoveLoginToFields(SlotForm* form);
// Fills the form from a stream a person chose in Find cameras: its address
// without any login (the login stays in its own fields), and its size and
// frame rate as a slot holds them (tools/shared/StreamSlot.h); what the
// camera did not tell stays as the form has it.
void FillFormFromStream(const std::wstring& address, int width, int height, double fps, SlotForm* form);
// Checks every field. On true, *values is what the slot then holds and
// *settings what Save writes for it: every value of the slot, those the
// dialog has no field for as `before` held them. On false, *errors says why
// beside each refused field and the rest is unchanged. `before` is the slot
// as it was: an address whose parts and login are unchanged keeps its exact
// spelling.
bool CheckForm(const SlotForm& form, const SlotValues& before, SlotValues* values, std::vector<SlotSetting>* settings,
               SlotFormErrors* errors);

// A row of the list: the slot, its name, its address with the password
// masked, size, frame rate, and whether it is usable or why not.
struct SlotRow {
    std::wstring slot;
    std::wstring name;
    std::wstring address;
    std::wstring size;
    std::wstring fps;
    std::wstring state;
};
// bUnsaved: changed in the window, not yet saved; bViewsDiffer: 32-bit and
// 64-bit applications read different settings for it.
SlotRow RowForSlot(DWORD slot, const SlotValues& values, bool bUnsaved, bool bViewsDiffer);

// Whether a registration would list other devices for `after` than for
// `before`: a slot became usable or unusable, or a usable one was renamed or
// switched on or off for the Windows camera apps.
bool DevicesDiffer(const std::vector<SlotValues>& before, const std::vector<SlotValues>& after);
