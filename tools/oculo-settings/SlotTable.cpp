#include "tools/oculo-settings/SlotTable.h"

#include "tools/shared/ConsoleText.h"
#include "tools/shared/ModuleCalls.h"

void CSlotTable::Load() {
    const std::vector<RegistryView> views = SettingsViews();
    for (DWORD slot = 0; slot < g_cSlots; ++slot) {
        m_stored[slot] = LoadSlotValues(slot);
        m_current[slot] = m_stored[slot];
        m_changes[slot] = Change();
        SlotRecord first;
        bool bDiffer = false;
        for (size_t v = 0; v < views.size(); ++v) {
            SlotRecord record;
            if (ReadSlotRecord(slot, views[v], &record) != ERROR_SUCCESS) continue;
            if (v == 0) first = record;
            bDiffer = bDiffer || !(record == first);
        }
        m_viewsDiffer[slot] = bDiffer;
    }
}

bool CSlotTable::AnyChanged() const {
    for (const Change& change : m_changes) {
        if (change.bChanged) return true;
    }
    return false;
}

SlotRow CSlotTable::Row(DWORD slot) const {
    return RowForSlot(slot, m_current[slot], m_changes[slot].bChanged, m_viewsDiffer[slot]);
}

void CSlotTable::Edit(DWORD slot, const SlotValues& values, const std::vector<SlotSetting>& settings) {
    m_current[slot] = values;
    Change& change = m_changes[slot];
    change.bChanged = values != m_stored[slot] || m_viewsDiffer[slot];
    change.write = SlotChange();
    change.write.slot = slot;
    change.write.bReplace = true;  // the slot then holds exactly these values
    change.write.settings = settings;
}

void CSlotTable::Clear(DWORD slot) {
    m_current[slot] = SlotValues();
    Change& change = m_changes[slot];
    change.bChanged = m_stored[slot].bStored || m_viewsDiffer[slot];
    change.write = SlotChange();
    change.write.slot = slot;
    change.write.bRemove = true;
}

SaveOutcome CSlotTable::Save(const std::vector<RegistryView>& views, const std::vector<std::string>& modules,
                             CVirtualCameraApi& cameras) {
    SaveOutcome outcome;
    std::vector<SlotChange> writes;
    for (const Change& change : m_changes) {
        if (change.bChanged) writes.push_back(change.write);
    }
    const bool bDevicesDiffer = DevicesDiffer(m_stored, m_current);
    // Whether the camera apps' line is worth showing: a slot asks, or asked, for them.
    bool bCameraApps = false;
    for (DWORD slot = 0; slot < g_cSlots; ++slot) bCameraApps = bCameraApps || m_stored[slot].mf || m_current[slot].mf;
    if (writes.empty() && !m_bRegistrationOwed) {
        outcome.bSaved = true;
        outcome.message = L"Nothing to save.";
        return outcome;
    }
    std::string error;
    if (!writes.empty() && ApplySlotChanges(writes, views, &error) != ERROR_SUCCESS) {
        outcome.message = L"Not saved: " + ToWide(error.c_str());
        return outcome;
    }
    outcome.bSaved = true;
    for (DWORD slot = 0; slot < g_cSlots; ++slot) {
        if (!m_changes[slot].bChanged) continue;
        m_stored[slot] = m_current[slot];
        m_viewsDiffer[slot] = false;
        m_changes[slot] = Change();
    }
    if (!bDevicesDiffer && !m_bRegistrationOwed) {
        outcome.message = L"Saved.";
        return outcome;
    }
    std::vector<std::string> lines;
    const RegistrationResult result = RegisterSlots(modules, true, ModuleChoice::kInstalled, cameras, &lines, &error);
    if (result != RegistrationResult::kDone) {
        m_bRegistrationOwed = true;
        outcome.bNotRegistered = true;
        outcome.message = L"Saved, but applications do not list the cameras yet: " + ToWide(error.c_str()) +
                          (result == RegistrationResult::kRefused ? L"." : L". Save again to retry.");
        return outcome;
    }
    m_bRegistrationOwed = false;
    outcome.bRegistered = true;
    outcome.message = L"Saved; applications now list the usable cameras.";
    if (bCameraApps) outcome.message += L" " + ToWide(lines.back().c_str());
    return outcome;
}
