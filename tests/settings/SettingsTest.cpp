// The slot settings against a registry. On Linux each test gets a fresh
// registry file (OCULO_REGISTRY); on Windows the tests write the real
// HKLM\SOFTWARE\TALVO\Oculo keys and restore what was there afterwards.
#include <string>
#include <vector>

#include "module/InstanceSettings.h"
#include "module/SlotClasses.h"
#include "platform/RegKey.h"
#include "tests/platform/RegistryFixture.h"

namespace {

const WCHAR kSlot0[] = L"SOFTWARE\\TALVO\\Oculo\\00";
const WCHAR kSlot9[] = L"SOFTWARE\\TALVO\\Oculo\\09";
const WCHAR kScratch[] = L"SOFTWARE\\TALVO\\Oculo\\settings-test";
const WCHAR* const kKeys[] = {kSlot0, kSlot9, kScratch};
// Removed after the keys above when the tests created them (children first).
const WCHAR* const kParents[] = {L"SOFTWARE\\TALVO\\Oculo", L"SOFTWARE\\TALVO"};
const WCHAR* const kValues[] = {L"enable", L"url", L"name", L"fps", L"w", L"h", L"crop_l",
                                L"crop_t", L"crop_r", L"crop_b", L"tShift", L"status", L"text"};

LONG SetRaw(LPCWSTR path, LPCWSTR name, DWORD type, const void* data, DWORD cb) {
    CRegKey key;
    LONG status = RegCreateKeyExW(HKEY_LOCAL_MACHINE, path, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE,
                                  nullptr, key.Put(), nullptr);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    status = RegSetValueExW(key.Get(), name, 0, type, static_cast<const BYTE*>(data), cb);
    return status;
}

// A text of `count` units without a terminator.
std::vector<WCHAR> Unterminated(size_t count, WCHAR fill) { return std::vector<WCHAR>(count, fill); }

class Settings : public RegistryFileTest {
protected:
    struct Saved {
        const WCHAR* path;
        const WCHAR* name;
        bool present;
        DWORD type;
        std::vector<BYTE> data;
    };

    void SetUp() override {
        RegistryFileTest::SetUp();
        for (const WCHAR* path : kParents) {
            m_parentExisted.push_back(KeyExists(HKEY_LOCAL_MACHINE, path));
        }
        for (const WCHAR* path : kKeys) {
            CRegKey key;
            bool existed = RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, key.Put()) == ERROR_SUCCESS;
            m_keyExisted.push_back(existed);
            for (const WCHAR* name : kValues) {
                Saved saved = {path, name, false, 0, {}};
                DWORD cb = 0;
                if (existed &&
                    RegQueryValueExW(key.Get(), name, nullptr, &saved.type, nullptr, &cb) == ERROR_SUCCESS) {
                    saved.data.resize(cb);
                    saved.present = RegQueryValueExW(key.Get(), name, nullptr, &saved.type, saved.data.data(),
                                                     &cb) == ERROR_SUCCESS;
                    saved.data.resize(cb);
                }
                m_saved.push_back(saved);
            }
            key.Close();
            DeleteValues(path);
        }
    }

    void TearDown() override {
        for (size_t i = 0; i < 3; ++i) {
            DeleteValues(kKeys[i]);
        }
        for (const Saved& saved : m_saved) {
            if (saved.present) {
                SetRaw(saved.path, saved.name, saved.type, saved.data.data(), static_cast<DWORD>(saved.data.size()));
            }
        }
        for (size_t i = 0; i < 3; ++i) {
            if (!m_keyExisted[i]) {
                RegDeleteKeyW(HKEY_LOCAL_MACHINE, kKeys[i]);
            }
        }
        for (size_t i = 0; i < 2; ++i) {
            if (!m_parentExisted[i]) {
                RegDeleteKeyW(HKEY_LOCAL_MACHINE, kParents[i]);
            }
        }
        RegistryFileTest::TearDown();
    }

    static void DeleteValues(LPCWSTR path) {
        CRegKey key;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_WRITE, key.Put()) != ERROR_SUCCESS) {
            return;
        }
        for (const WCHAR* name : kValues) {
            RegDeleteValueW(key.Get(), name);
        }
    }

    // A usable configuration of slot 9.
    static void ConfigureSlot9() {
        ASSERT_EQ(RegWriteDword(kSlot9, L"enable", 1), kRegWriteOk);
        ASSERT_EQ(RegWriteString(kSlot9, L"url", L"rtsp://127.0.0.1:8554/cam"), kRegWriteOk);
        ASSERT_EQ(RegWriteString(kSlot9, L"name", L"Front door"), kRegWriteOk);
        ASSERT_EQ(RegWriteFloat(kSlot9, L"fps", 12.5f), kRegWriteOk);
        ASSERT_EQ(RegWriteDword(kSlot9, L"w", 1280), kRegWriteOk);
        ASSERT_EQ(RegWriteDword(kSlot9, L"h", 720), kRegWriteOk);
        ASSERT_EQ(RegWriteDword(kSlot9, L"crop_l", 11), kRegWriteOk);
        ASSERT_EQ(RegWriteDword(kSlot9, L"crop_t", 22), kRegWriteOk);
        ASSERT_EQ(RegWriteDword(kSlot9, L"crop_r", 33), kRegWriteOk);
        ASSERT_EQ(RegWriteDword(kSlot9, L"crop_b", 44), kRegWriteOk);
        ASSERT_EQ(RegWriteDword(kSlot9, L"tShift", static_cast<DWORD>(-250)), kRegWriteOk);
        ASSERT_EQ(RegWriteDword(kSlot9, L"status", 0), kRegWriteOk);
    }

    std::vector<bool> m_keyExisted;
    std::vector<bool> m_parentExisted;
    std::vector<Saved> m_saved;
};

}  // namespace

TEST_F(Settings, MissingKeysGiveDefaultsAndAnUnusableSlot) {
    InstanceSettings slot0 = LoadInstanceSettings(0);
    EXPECT_EQ(slot0.slot, 0u);
    EXPECT_EQ(slot0.clsid, &g_SlotClsids[0]);
    EXPECT_EQ(slot0.clsid->Data1, 0xC3A21440u);
    EXPECT_EQ(slot0.enable, 0);
    EXPECT_STREQ(slot0.url, L"");
    EXPECT_STREQ(slot0.name, L"Oculo 01");
    EXPECT_EQ(slot0.fps, 25.0f);
    EXPECT_EQ(slot0.w, 640);
    EXPECT_EQ(slot0.h, 480);
    EXPECT_EQ(slot0.crop_l | slot0.crop_t | slot0.crop_r | slot0.crop_b | slot0.tShift, 0);
    EXPECT_EQ(slot0.status, 1);  // settings from before the status card: it shows
    EXPECT_FALSE(IsInstanceUsable(slot0));
    EXPECT_FALSE(IsSlotUsable(0));

    InstanceSettings slot9 = LoadInstanceSettings(9);
    EXPECT_STREQ(slot9.name, L"Oculo 10");
    EXPECT_EQ(slot9.clsid->Data1, 0xA79F18FBu);
}

TEST_F(Settings, ASlotKeyIsReadIntoItsFields) {
    ConfigureSlot9();
    InstanceSettings s = LoadInstanceSettings(9);
    EXPECT_EQ(s.enable, 1);
    EXPECT_STREQ(s.url, L"rtsp://127.0.0.1:8554/cam");
    EXPECT_STREQ(s.name, L"Front door");
    EXPECT_EQ(s.fps, 12.5f);
    EXPECT_EQ(s.w, 1280);
    EXPECT_EQ(s.h, 720);
    EXPECT_EQ(s.crop_l, 11);
    EXPECT_EQ(s.crop_t, 22);
    EXPECT_EQ(s.crop_r, 33);
    EXPECT_EQ(s.crop_b, 44);
    EXPECT_EQ(s.tShift, -250);
    EXPECT_EQ(s.status, 0);
    EXPECT_TRUE(IsSlotUsable(9));
    // Slot 9 is key 09, not 10; slot 0 is untouched.
    EXPECT_FALSE(IsSlotUsable(0));
    EXPECT_STREQ(LoadInstanceSettings(0).name, L"Oculo 01");
}

TEST_F(Settings, ValidityRule) {
    ConfigureSlot9();
    const InstanceSettings good = LoadInstanceSettings(9);
    ASSERT_TRUE(IsInstanceUsable(good));

    InstanceSettings s = good;
    s.enable = 0;
    EXPECT_FALSE(IsInstanceUsable(s));
    s = good;
    wcscpy(s.url, L"rtsp:");
    EXPECT_FALSE(IsInstanceUsable(s));
    wcscpy(s.url, L"rtsp:/");
    EXPECT_TRUE(IsInstanceUsable(s));
    s = good;
    s.name[0] = 0;
    EXPECT_FALSE(IsInstanceUsable(s));
    s = good;
    s.w = 0;
    EXPECT_FALSE(IsInstanceUsable(s));
    s = good;
    s.h = -1;
    EXPECT_FALSE(IsInstanceUsable(s));
    s = good;
    s.fps = 0.0f;
    EXPECT_FALSE(IsInstanceUsable(s));
    s.fps = -5.0f;
    EXPECT_FALSE(IsInstanceUsable(s));

    // An address the camera reader could not hold whole is refused.
    s = good;
    std::wstring url = L"http://" + std::wstring(kMaxUrlChars - 7, L'a');
    wcscpy(s.url, url.c_str());
    EXPECT_TRUE(IsInstanceUsable(s));
    url += L'a';
    wcscpy(s.url, url.c_str());
    EXPECT_FALSE(IsInstanceUsable(s));
    ASSERT_EQ(RegWriteString(kSlot9, L"url", url.c_str()), kRegWriteOk);
    EXPECT_FALSE(IsSlotUsable(9));
}

TEST_F(Settings, FrameRateIsReadAsText) {
    ConfigureSlot9();
    struct {
        const WCHAR* text;
        float expected;
    } cases[] = {{L"12.5", 12.5f}, {L"30", 30.0f},     {L" 7.5fps", 7.5f},
                 {L"2e1", 20.0f},  {L"fps25", 0.0f},   {L"", 0.0f}};
    for (const auto& c : cases) {
        ASSERT_EQ(RegWriteString(kSlot9, L"fps", c.text), kRegWriteOk);
        InstanceSettings s = LoadInstanceSettings(9);
        EXPECT_EQ(s.fps, c.expected) << static_cast<int>(wcslen(c.text));
        EXPECT_EQ(IsInstanceUsable(s), c.expected > 0.0f);
    }
    // A number stored as a number is not text: 25 reads as the character U+0019.
    ASSERT_EQ(RegWriteDword(kSlot9, L"fps", 25), kRegWriteOk);
    EXPECT_EQ(LoadInstanceSettings(9).fps, 0.0f);
    EXPECT_FALSE(IsSlotUsable(9));
    // Text over 31 characters does not fit and counts as missing.
    ASSERT_EQ(RegWriteString(kSlot9, L"fps", L"10.00000000000000000000000000000"), kRegWriteOk);  // 32 characters
    EXPECT_EQ(LoadInstanceSettings(9).fps, 25.0f);
    ASSERT_EQ(RegWriteString(kSlot9, L"fps", L"10.0000000000000000000000000000"), kRegWriteOk);  // 31 characters
    EXPECT_EQ(LoadInstanceSettings(9).fps, 10.0f);
}

TEST_F(Settings, NamesEmptyAndMissing) {
    ConfigureSlot9();
    // Only the terminator: an empty name, not the default, and unusable.
    WCHAR nul = 0;
    ASSERT_EQ(SetRaw(kSlot9, L"name", REG_SZ, &nul, sizeof(nul)), ERROR_SUCCESS);
    InstanceSettings s = LoadInstanceSettings(9);
    EXPECT_STREQ(s.name, L"");
    EXPECT_FALSE(IsInstanceUsable(s));
    // No data at all: the default name.
    ASSERT_EQ(SetRaw(kSlot9, L"name", REG_SZ, &nul, 0), ERROR_SUCCESS);
    EXPECT_STREQ(LoadInstanceSettings(9).name, L"Oculo 10");
}

TEST_F(Settings, NumbersOfTheWrongFormTakeTheirDefaultOrTheirBytes) {
    ConfigureSlot9();
    ASSERT_EQ(RegWriteString(kSlot9, L"w", L"1024x768"), kRegWriteOk);  // more than 4 bytes
    EXPECT_EQ(LoadInstanceSettings(9).w, 640);
    const BYTE two[2] = {0x20, 0x03};  // fewer than 4 bytes: the rest reads as 0
    ASSERT_EQ(SetRaw(kSlot9, L"h", REG_BINARY, two, sizeof(two)), ERROR_SUCCESS);
    EXPECT_EQ(LoadInstanceSettings(9).h, 800);
    EXPECT_EQ(RegReadDword(kSlot9, L"missing", -7), -7);
    EXPECT_EQ(RegReadDword(L"SOFTWARE\\TALVO\\Oculo\\no-such-key", L"w", 3), 3);
}

TEST_F(Settings, StringsAreAlwaysTerminatedInsideTheirBuffer) {
    WCHAR buffer[4];
    // Exactly fills the buffer without a terminator: cut at the last unit.
    std::vector<WCHAR> four = Unterminated(4, L'x');
    ASSERT_EQ(SetRaw(kScratch, L"text", REG_BINARY, four.data(), 4 * sizeof(WCHAR)), ERROR_SUCCESS);
    EXPECT_EQ(RegReadString(kScratch, L"text", buffer, sizeof(buffer)), static_cast<LONG>(4 * sizeof(WCHAR)));
    EXPECT_STREQ(buffer, L"xxx");
    // Shorter and unterminated: ends after the data, not in stale bytes.
    buffer[2] = L'q';
    ASSERT_EQ(SetRaw(kScratch, L"text", REG_BINARY, four.data(), 2 * sizeof(WCHAR)), ERROR_SUCCESS);
    EXPECT_EQ(RegReadString(kScratch, L"text", buffer, sizeof(buffer)), static_cast<LONG>(2 * sizeof(WCHAR)));
    EXPECT_STREQ(buffer, L"xx");
    // Too long: missing, and the buffer holds the empty string.
    std::vector<WCHAR> five = Unterminated(5, L'y');
    ASSERT_EQ(SetRaw(kScratch, L"text", REG_BINARY, five.data(), 5 * sizeof(WCHAR)), ERROR_SUCCESS);
    EXPECT_EQ(RegReadString(kScratch, L"text", buffer, sizeof(buffer)), -1);
    EXPECT_STREQ(buffer, L"");
    EXPECT_EQ(RegReadString(kScratch, L"missing", buffer, sizeof(buffer)), -1);
    EXPECT_EQ(RegReadString(L"SOFTWARE\\TALVO\\Oculo\\no-such-key", L"text", buffer, sizeof(buffer)), -1);
    // A terminated text reports its bytes with the terminator.
    ASSERT_EQ(RegWriteString(kScratch, L"text", L"abc"), kRegWriteOk);
    EXPECT_EQ(RegReadString(kScratch, L"text", buffer, sizeof(buffer)), static_cast<LONG>(4 * sizeof(WCHAR)));
    EXPECT_STREQ(buffer, L"abc");

    // A name and an address that fill the record's buffers whole still end inside them.
    ConfigureSlot9();
    std::vector<WCHAR> full = Unterminated(kSettingsTextChars, L'n');
    DWORD cbFull = static_cast<DWORD>(full.size() * sizeof(WCHAR));
    ASSERT_EQ(SetRaw(kSlot9, L"name", REG_BINARY, full.data(), cbFull), ERROR_SUCCESS);
    ASSERT_EQ(SetRaw(kSlot9, L"url", REG_BINARY, full.data(), cbFull), ERROR_SUCCESS);
    InstanceSettings s = LoadInstanceSettings(9);
    EXPECT_EQ(wcslen(s.name), kSettingsTextChars - 1);
    EXPECT_EQ(wcslen(s.url), kSettingsTextChars - 1);
    EXPECT_FALSE(IsInstanceUsable(s));  // such an address is refused
}

TEST_F(Settings, FloatsAreWrittenAsShortText) {
    ASSERT_EQ(RegWriteFloat(kScratch, L"fps", 12.5f), kRegWriteOk);
    WCHAR text[32];
    EXPECT_GT(RegReadString(kScratch, L"fps", text, sizeof(text)), 0);
    EXPECT_STREQ(text, L"12.5");
    EXPECT_EQ(RegReadFloat(kScratch, L"fps", 1.0f), 12.5f);
    EXPECT_EQ(RegReadFloat(kScratch, L"missing", 1.5f), 1.5f);
    ASSERT_EQ(RegWriteDword(kScratch, L"w", 0xFFFFFFFFu), kRegWriteOk);
    EXPECT_EQ(RegReadDword(kScratch, L"w", 0), -1);
}
