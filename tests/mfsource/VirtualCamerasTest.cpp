// Registration of the slots' virtual cameras against a fake of the system's
// API, with a registry of the test's own for its record.
#include <gtest/gtest.h>

#include "tests/mfsource/FakeVirtualCameras.h"
#include "tests/platform/RegistryFixture.h"

namespace {

class VirtualCameras : public RegistryFileTest {
protected:
    VirtualCameraOutcome Update(const std::vector<VirtualCameraSlot>& slots) {
        return UpdateVirtualCameras(m_api, slots, 0);
    }
    CFakeVirtualCameras m_api;
};

TEST_F(VirtualCameras, MakesOneSystemWideCameraPerUsableSlotSwitchedOn) {
    const VirtualCameraOutcome outcome = Update({{0, true, L"Front door", true},
                                                 {1, true, L"Back door", false},
                                                 {2, false, L"Garage", true},
                                                 {3, true, L"Yard", true}});
    EXPECT_EQ(outcome.hr, S_OK);
    EXPECT_EQ(outcome.line, L"Windows camera apps: 2 virtual cameras (2 made, 0 removed)");
    ASSERT_EQ(m_api.m_calls.size(), 2u);
    const VirtualCameraArgs& args = m_api.m_calls[0].args;
    EXPECT_EQ(args.type, MFVirtualCameraType_SoftwareCameraSource);
    EXPECT_EQ(args.lifetime, MFVirtualCameraLifetime_System);
    EXPECT_EQ(args.access, MFVirtualCameraAccess_AllUsers);
    EXPECT_EQ(args.friendlyName, L"Front door");
    EXPECT_EQ(args.sourceId, L"{62D83D5E-A6DB-44A0-98FE-637A9A51938F}");  // slot 0's media source
    ASSERT_EQ(args.categories.size(), 1u);
    EXPECT_TRUE(IsEqualGUID(args.categories[0], KSCATEGORY_VIDEO_CAMERA));
    EXPECT_EQ(m_api.Calls(), (CameraCalls{"A0 Front door", "A3 Yard"}));
    // Recorded: the same slots again change nothing.
    EXPECT_EQ(Update({{0, true, L"Front door", true}, {3, true, L"Yard", true}}).hr, S_OK);
    EXPECT_EQ(m_api.Calls(), CameraCalls{});
}

TEST_F(VirtualCameras, RemovesWhatNoSlotAsksForAndRemakesARenamedOne) {
    Update({{0, true, L"Front door", true}, {3, true, L"Yard", true}, {5, true, L"Hall", true},
            {7, true, L"Shed", true}});
    m_api.Calls();
    // 0 renamed, 3 switched off, 5 unusable, 7 cleared (not listed).
    const VirtualCameraOutcome outcome =
        Update({{0, true, L"Porch", true}, {3, true, L"Yard", false}, {5, false, L"Hall", true}});
    EXPECT_EQ(outcome.line, L"Windows camera apps: 1 virtual camera (1 made, 4 removed)");
    EXPECT_EQ(m_api.Calls(), (CameraCalls{"R0 Front door", "A0 Porch", "R3 Yard", "R5 Hall", "R7 Shed"}));
    EXPECT_EQ(RemoveVirtualCameras(m_api, 0).hr, S_OK);
    EXPECT_EQ(m_api.Calls(), CameraCalls{"R0 Porch"});
    Update({});
    EXPECT_EQ(m_api.Calls(), CameraCalls{});
    // A name of the longest a slot holds is read back from the record: its camera can be removed.
    Update({{9, true, std::wstring(2047, L'n'), true}});
    EXPECT_EQ(Update({}).line, L"Windows camera apps: 0 virtual cameras (0 made, 1 removed)");
}

// The record stays true to what exists: a camera that could not be made is
// not recorded, one that could not be removed keeps its slot (no second one
// beside it), and one already gone counts as removed.
TEST_F(VirtualCameras, RecordsOnlyWhatTheSystemDid) {
    m_api.m_hrAdd = E_ACCESSDENIED;
    VirtualCameraOutcome outcome = Update({{2, true, L"Gate", true}});
    EXPECT_EQ(outcome.hr, E_ACCESSDENIED);
    EXPECT_EQ(outcome.line, L"Windows camera apps: the virtual camera of slot 2 (\"Gate\") could not be made: 0x80070005");
    m_api.m_hrAdd = S_OK;
    Update({{2, true, L"Gate", true}});
    EXPECT_EQ(m_api.Calls(), (CameraCalls{"A2 Gate", "A2 Gate"}));

    m_api.m_hrRemove = E_FAIL;
    EXPECT_EQ(Update({{2, true, L"Drive", true}}).hr, E_FAIL);
    EXPECT_EQ(m_api.Calls(), CameraCalls{"R2 Gate"});
    m_api.m_hrRemove = HRESULT_FROM_WIN32(ERROR_NOT_FOUND);
    EXPECT_EQ(Update({{2, true, L"Drive", true}}).hr, S_OK);
    EXPECT_EQ(m_api.Calls(), (CameraCalls{"R2 Gate", "A2 Drive"}));
}

// Without the API (before Windows 11; Wine's case is tested under Wine) the
// slots stay DirectShow devices: one line, no failure, the record kept for a
// system that has it.
TEST_F(VirtualCameras, WithoutTheSystemsApiTheSlotsAreDirectShowOnly) {
    Update({{4, true, L"Office", true}});
    m_api.Calls();
    m_api.m_bAvailable = false;
    for (const VirtualCameraOutcome& outcome : {Update({}), RemoveVirtualCameras(m_api, 0)}) {
        EXPECT_EQ(outcome.hr, S_FALSE);
        EXPECT_NE(outcome.line.find(L"DirectShow devices only"), std::wstring::npos);
    }
    EXPECT_EQ(m_api.Calls(), CameraCalls{});
    m_api.m_bAvailable = true;
    Update({});
    EXPECT_EQ(m_api.Calls(), CameraCalls{"R4 Office"});
}

}  // namespace
