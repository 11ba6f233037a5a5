// A slot's change as `oculo-config set` takes it ("name=Yard", "mf=1"), for
// the tests that write slots through the tools' store.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

#include "tools/shared/SlotEditor.h"
#include "tools/shared/SlotStore.h"

inline SlotChange SlotChangeOf(DWORD slot, std::initializer_list<const char*> assignments) {
    SlotChange change;
    change.slot = slot;
    for (const char* assignment : assignments) {
        SlotSetting setting;
        std::string error;
        EXPECT_TRUE(ParseSetting(assignment, &setting, &error)) << error;
        change.settings.push_back(setting);
    }
    return change;
}
