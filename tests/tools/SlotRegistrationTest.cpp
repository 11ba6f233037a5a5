// The slots' registration as oculo-config register and unregister do it, on
// Linux with the built module, a registry of the test's own and a fake of the
// system's virtual-camera API: the cameras follow the usable slots switched
// on once the module is registered (a rename removes, then makes); unregister
// removes them all, and unregisters the module even when a camera cannot be
// removed; without the API the slots are DirectShow devices only, in one
// line, with no failure.
#include <gtest/gtest.h>

#include "tests/mfsource/FakeVirtualCameras.h"
#include "tests/platform/RegistryFixture.h"
#include "tests/tools/SlotChanges.h"
#include "tools/shared/DeviceList.h"
#include "tools/shared/SlotRegistration.h"
#include "tools/shared/SlotStore.h"

namespace {

class SlotRegistration : public RegistryFileTest {
protected:
    void Set(DWORD slot, std::initializer_list<const char*> assignments) {
        std::string error;
        ASSERT_EQ(ApplySlotChanges({SlotChangeOf(slot, assignments)}, SettingsViews(), &error), ERROR_SUCCESS)
            << error;
    }
    RegistrationResult Register(bool bRegister) {
        m_lines.clear();
        return RegisterSlots({OCULO_TEST_MODULE}, bRegister, ModuleChoice::kNamed, m_cameras, &m_lines,
                             &m_error);
    }
    size_t Devices() {
        std::vector<CaptureDevice> devices;
        EXPECT_EQ(ListRegisteredVideoInputs(0, &devices), S_OK);
        return devices.size();
    }

    CFakeVirtualCameras m_cameras;
    std::vector<std::string> m_lines;
    std::string m_error;
};

}  // namespace

TEST_F(SlotRegistration, TheVirtualCamerasFollowTheSlotsSwitchedOnForTheCameraApps) {
    Set(3, {"enable=1", "url=rtsp://127.0.0.1:9/a", "name=Yard", "mf=1"});
    Set(4, {"enable=1", "url=rtsp://127.0.0.1:9/b", "name=Porch"});
    ASSERT_EQ(Register(true), RegistrationResult::kDone) << m_error;
    EXPECT_EQ(Devices(), 2u);
    ASSERT_EQ(m_cameras.m_calls.size(), 1u);
    // The slot's own media source; the other arguments are VirtualCamerasTest's.
    EXPECT_EQ(m_cameras.m_calls[0].args.sourceId, L"{6662886B-F572-446A-A1D9-FD371F86D327}");
    EXPECT_EQ(m_cameras.Calls(), CameraCalls{"A3 Yard"});
    EXPECT_EQ(m_lines.back(), "Windows camera apps: 1 virtual camera (1 made, 0 removed)");

    Set(3, {"name=Gate"});
    Set(4, {"mf=1"});
    ASSERT_EQ(Register(true), RegistrationResult::kDone) << m_error;
    EXPECT_EQ(m_cameras.Calls(), (CameraCalls{"R3 Yard", "A3 Gate", "A4 Porch"}));

    // A camera that cannot be removed fails the run, after the module is gone.
    m_cameras.m_hrRemove = E_ACCESSDENIED;
    EXPECT_EQ(Register(false), RegistrationResult::kFailed);
    EXPECT_NE(m_error.find("could not be removed: 0x80070005"), std::string::npos) << m_error;
    EXPECT_EQ(Devices(), 0u);
    m_cameras.m_hrRemove = S_OK;
    m_cameras.Calls();
    ASSERT_EQ(Register(false), RegistrationResult::kDone) << m_error;
    EXPECT_EQ(m_cameras.Calls(), (CameraCalls{"R3 Gate", "R4 Porch"}));
}

TEST_F(SlotRegistration, WithoutTheSystemsApiTheSlotsAreDirectShowDevicesOnly) {
    Set(3, {"enable=1", "url=rtsp://127.0.0.1:9/a", "name=Yard", "mf=1"});
    m_cameras.m_bAvailable = false;
    for (bool bRegister : {true, false}) {
        ASSERT_EQ(Register(bRegister), RegistrationResult::kDone) << m_error;
        EXPECT_EQ(Devices(), bRegister ? 1u : 0u);
        // The module's line and the camera apps': after the module's when
        // registering, before it when unregistering.
        ASSERT_EQ(m_lines.size(), 2u);
        EXPECT_NE(m_lines[bRegister ? 1 : 0].find("DirectShow devices only"), std::string::npos);
    }
    EXPECT_EQ(m_cameras.Calls(), CameraCalls{});
}
