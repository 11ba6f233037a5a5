// Oculo Settings' Save and Test on Linux, against a registry of each test's
// own: Save stores exactly the dialog's values and registers the module so
// that the devices are the usable slots, and the virtual cameras (a fake of
// the system's API) those switched on; a refused write keeps the changes;
// Test shows the camera's picture upright, cropped, and stops promptly.
#include <gtest/gtest.h>

#include <cstdlib>

#include "camera/ExtendedTickCount.h"
#include "tests/fixtures/FixtureProcess.h"
#include "tests/mfsource/FakeVirtualCameras.h"
#include "tests/platform/RegistryFixture.h"
#include "tools/oculo-settings/CameraPreview.h"
#include "tools/oculo-settings/SlotTable.h"
#include "tools/shared/DeviceList.h"

namespace {

const DWORD kSlot = 3;

class SettingsSave : public RegistryFileTest {
protected:
    // The slot's values as the dialog would give them.
    void Edit(const std::wstring& name, const std::wstring& address) {
        SlotForm form = FormFromValues(SlotValues());
        form.name = name;
        form.address = address;
        form.user = L"viewer";
        form.password = L"p@ss";
        form.bStatusCard = false;
        SlotFormErrors errors;
        ASSERT_TRUE(CheckForm(form, m_table.Values(kSlot), &m_values, &m_settings, &errors)) << errors.address;
        m_table.Edit(kSlot, m_values, m_settings);
    }
    SaveOutcome Save() { return m_table.Save(SettingsViews(), {OCULO_TEST_MODULE}, m_cameras); }
    std::vector<std::wstring> DeviceNames() {
        std::vector<CaptureDevice> devices;
        EXPECT_EQ(ListRegisteredVideoInputs(0, &devices), S_OK);
        std::vector<std::wstring> names;
        for (const CaptureDevice& device : devices) {
            if (DeviceSlot(device) == int(kSlot)) names.push_back(device.friendlyName);
        }
        return names;
    }

    CFakeVirtualCameras m_cameras;
    CSlotTable m_table;
    SlotValues m_values;
    std::vector<SlotSetting> m_settings;
};

}  // namespace

TEST_F(SettingsSave, StoresTheValuesAndListsExactlyTheUsableSlots) {
    m_table.Load();
    Edit(L"Cam\u00e9ra \u6771\u4eac", L"rtsp://127.0.0.1:9/live");
    EXPECT_TRUE(m_table.IsChanged(kSlot));
    SaveOutcome outcome = Save();
    ASSERT_TRUE(outcome.bSaved && outcome.bRegistered) << std::string(outcome.message.begin(), outcome.message.end());
    EXPECT_FALSE(m_table.AnyChanged());
    EXPECT_TRUE(LoadSlotValues(kSlot) == m_values);  // the name in any language, the encoded login, the card off
    EXPECT_EQ(DeviceNames(), std::vector<std::wstring>{L"Cam\u00e9ra \u6771\u4eac"});

    Edit(L"Yard", L"rtsp://127.0.0.1:9/live");
    ASSERT_TRUE(Save().bRegistered);
    EXPECT_EQ(DeviceNames(), std::vector<std::wstring>{L"Yard"});

    // Only the frame rate: the devices stay as they are, nothing is registered.
    SlotForm form = FormFromValues(m_table.Values(kSlot));
    form.fps = L"5";
    SlotFormErrors errors;
    ASSERT_TRUE(CheckForm(form, m_table.Values(kSlot), &m_values, &m_settings, &errors));
    m_table.Edit(kSlot, m_values, m_settings);
    outcome = Save();
    EXPECT_TRUE(outcome.bSaved && !outcome.bRegistered);
    EXPECT_FLOAT_EQ(LoadSlotValues(kSlot).fps, 5.0f);
    EXPECT_EQ(m_cameras.Calls(), CameraCalls{});

    // The camera apps' switch alone: the slot's virtual camera is made, and said so.
    form.bCameraApps = true;
    ASSERT_TRUE(CheckForm(form, m_table.Values(kSlot), &m_values, &m_settings, &errors));
    m_table.Edit(kSlot, m_values, m_settings);
    outcome = Save();
    EXPECT_TRUE(outcome.bRegistered);
    EXPECT_EQ(outcome.message, L"Saved; applications now list the usable cameras. Windows camera apps: 1 virtual "
                               L"camera (1 made, 0 removed)");
    EXPECT_EQ(m_cameras.Calls(), CameraCalls{"A3 Yard"});

    m_table.Clear(kSlot);
    ASSERT_TRUE(Save().bRegistered);
    EXPECT_FALSE(LoadSlotValues(kSlot).bStored);
    EXPECT_TRUE(DeviceNames().empty());
    EXPECT_EQ(m_cameras.Calls(), CameraCalls{"R3 Yard"});
    EXPECT_EQ(Save().message, L"Nothing to save.");
}

TEST_F(SettingsSave, ARefusedWriteChangesNothingAndKeepsTheChanges) {
    m_table.Load();
    Edit(L"Door", L"http://127.0.0.1:9/");
    // A registry that cannot be written: its folder is a plain file.
    const std::string blocked = m_folder + "/plain-file";
    WriteFile("");
    ASSERT_EQ(std::system(("touch '" + blocked + "'").c_str()), 0);
    setenv("OCULO_REGISTRY", (blocked + "/registry.reg").c_str(), 1);
    const SaveOutcome refused = Save();
    EXPECT_FALSE(refused.bSaved);
    EXPECT_EQ(refused.message.find(L"Not saved: "), 0u);
    EXPECT_TRUE(m_table.IsChanged(kSlot));

    setenv("OCULO_REGISTRY", m_file.c_str(), 1);
    EXPECT_EQ(FileText(), "");
    EXPECT_TRUE(Save().bSaved);
    EXPECT_STREQ(LoadSlotValues(kSlot).name, L"Door");
}

TEST(CameraPreview, ShowsTheCameraUprightWithItsCropAndStopsPromptly) {
    CFixtureProcess camera;
    ASSERT_TRUE(camera.Start(MjpegServerCommand({"--width", "320", "--height", "240"})));
    SlotValues values;
    wcscpy(values.url, (L"http://127.0.0.1:" + std::to_wstring(camera.Port()) + L"/").c_str());
    values.w = 160;
    values.h = 120;
    // The store's pixel (x from the left, y from the top) as B, G, R.
    auto pixel = [](const std::vector<BYTE>& picture, LONG w, LONG h, LONG x, LONG y) {
        const BYTE* p = picture.data() + size_t(h - 1 - y) * size_t(CFrameStore::StoreStride(w)) + size_t(x) * 3;
        return (p[2] > 200 ? 4 : p[2] < 50 ? 0 : 9) + (p[1] > 200 ? 2 : p[1] < 50 ? 0 : 9) + (p[0] > 200 ? 1 : 0);
    };
    auto waitFor = [&](CCameraPreview& preview, int topLeft, int bottomRight) {
        std::vector<BYTE> picture;
        LONG w = 0, h = 0;
        for (const uint64_t since = ExtendedTickCount(); ExtendedTickCount() - since < 15000; Sleep(20)) {
            if (preview.CopyPicture(&picture, &w, &h) && pixel(picture, w, h, w / 4, h / 4) == topLeft &&
                pixel(picture, w, h, 3 * w / 4, 3 * h / 4) == bottomRight) {
                return w == values.w && h == values.h;
            }
        }
        return false;
    };

    CCameraPreview preview;
    ASSERT_TRUE(preview.Start(values));
    EXPECT_TRUE(waitFor(preview, 4 /* red */, 7 /* white */));
    // The bottom right quadrant alone: columns 160 to 320, rows 0 to 120 from the bottom.
    values.crop_l = 160;
    values.crop_r = 320;
    values.crop_t = 0;
    values.crop_b = 120;
    ASSERT_TRUE(preview.Start(values));
    EXPECT_TRUE(waitFor(preview, 7, 7));

    OCULO_STATUS status;
    preview.GetStatus(&status);
    EXPECT_EQ(status.lState, OCULO_STATE_STREAMING);
    EXPECT_EQ(status.lWidth, 320);
    const uint64_t since = ExtendedTickCount();
    preview.Stop();
    EXPECT_LT(ExtendedTickCount() - since, 1500u);
    preview.GetStatus(&status);
    EXPECT_EQ(status.lState, OCULO_STATE_STOPPED);

    // A camera that sends nothing shows nothing, not an earlier run's picture.
    wcscpy(values.url, (L"http://127.0.0.1:" + std::to_wstring(FreeLoopbackPort()) + L"/").c_str());
    ASSERT_TRUE(preview.Start(values));
    std::vector<BYTE> picture;
    LONG w = 0, h = 0;
    EXPECT_FALSE(preview.CopyPicture(&picture, &w, &h));
    // A Stop right after the start, which is still on its way, wins at once:
    // never after the first-picture wait of this camera that refuses.
    for (int attempt = 0; attempt < 5; ++attempt) {
        const uint64_t stopAt = ExtendedTickCount();
        preview.Stop();
        EXPECT_LT(ExtendedTickCount() - stopAt, uint64_t(kFirstFrameWaitMs)) << "attempt " << attempt;
        ASSERT_TRUE(preview.Start(values));
    }
}
