// The ten slots as Oculo Settings shows them: what is stored, the changes
// made in the window, and Save, which writes the changed slots in every
// registry view a host reads (all or nothing) and then registers the
// installed modules of both bitnesses, and the slots' virtual cameras for the
// Windows camera apps, when the devices change, so that the user never
// registers anything by hand.
//
// Threads: the window's thread calls everything.
#pragma once

#include <string>
#include <vector>

#include "tools/oculo-settings/SlotForm.h"
#include "tools/shared/SlotRegistration.h"
#include "tools/shared/SlotStore.h"

struct SaveOutcome {
    bool bSaved = false;       // the changes are stored (or there were none)
    bool bRegistered = false;  // the modules were registered afresh
    bool bNotRegistered = false;  // saved, but the modules could not be registered
    std::wstring message;      // one line for the user
};

class CSlotTable {
public:
    // Reads every slot, and whether its registry views differ.
    void Load();

    const SlotValues& Values(DWORD slot) const { return m_current[slot]; }
    bool IsChanged(DWORD slot) const { return m_changes[slot].bChanged; }
    bool AnyChanged() const;
    SlotRow Row(DWORD slot) const;

    // The slot now holds `values`; Save writes `settings` (from CheckForm).
    // Nothing changes when they are what is stored and the views agree.
    void Edit(DWORD slot, const SlotValues& values, const std::vector<SlotSetting>& settings);
    // The slot is to have no settings.
    void Clear(DWORD slot);

    // Writes the changed slots in `views`; then, when the usable slots,
    // their names or their switches for the camera apps changed (or the last
    // registration failed), registers `modules` as installed ones (only where
    // no one but administrators can change them) and the virtual cameras
    // through `cameras` (tools/shared/SlotRegistration.h). A refused write
    // changes nothing and keeps the changes for another try.
    SaveOutcome Save(const std::vector<RegistryView>& views, const std::vector<std::string>& modules,
                     CVirtualCameraApi& cameras);

private:
    struct Change {
        bool bChanged = false;
        SlotChange write;
    };
    std::vector<SlotValues> m_stored = std::vector<SlotValues>(g_cSlots);
    std::vector<SlotValues> m_current = std::vector<SlotValues>(g_cSlots);
    std::vector<bool> m_viewsDiffer = std::vector<bool>(g_cSlots);
    std::vector<Change> m_changes = std::vector<Change>(g_cSlots);
    bool m_bRegistrationOwed = false;
};
