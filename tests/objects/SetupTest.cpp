// Server registration helpers against the registry: the stand-in's file on
// Linux (a fresh one per test), the real registry under Wine.
#include <string>

#include "framework/Setup.h"
#include "platform/RegKey.h"
#include "tests/platform/RegistryFixture.h"

namespace {

// {0B7A11E5-5E7B-4F0A-8C1E-3D2B4A6C8E10}
const CLSID CLSID_Registered = {0x0b7a11e5, 0x5e7b, 0x4f0a, {0x8c, 0x1e, 0x3d, 0x2b, 0x4a, 0x6c, 0x8e, 0x10}};

std::wstring ClassKey() {
    WCHAR text[40];
    StringFromGUID2(CLSID_Registered, text, 40);
    return std::wstring(L"CLSID\\") + text;
}

// The default value (name null) or a named text value of HKCR\path; empty
// when missing.
std::wstring ReadText(const std::wstring& path, LPCWSTR name) {
    CRegKey key;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, key.Put()) != ERROR_SUCCESS) {
        return L"";
    }
    WCHAR data[300] = {0};
    DWORD cb = sizeof(data) - sizeof(WCHAR);
    DWORD type = 0;
    LONG e = RegQueryValueExW(key.Get(), name, nullptr, &type, reinterpret_cast<BYTE*>(data), &cb);
    return e == ERROR_SUCCESS && type == REG_SZ ? std::wstring(data) : L"";
}

// Under Wine the test class's key is removed around each test.
class SetupTest : public RegistryFileTest {
protected:
    void SetUp() override {
        RegistryFileTest::SetUp();
        AMovieSetupUnregisterServer(CLSID_Registered);
    }
    void TearDown() override {
        AMovieSetupUnregisterServer(CLSID_Registered);
        RegistryFileTest::TearDown();
    }
};

TEST_F(SetupTest, RegisterWritesServerKeysAndOverwrites) {
    ASSERT_EQ(S_OK, AMovieSetupRegisterServer(CLSID_Registered, L"First", L"/a/one.ax", L"Apartment", L"InprocServer32"));
    ASSERT_EQ(S_OK, AMovieSetupRegisterServer(CLSID_Registered, L"Second", L"/b/two.ax", L"Both", L"InprocServer32"));
    const std::wstring key = ClassKey();
    EXPECT_EQ(L"Second", ReadText(key, nullptr));
    EXPECT_EQ(L"/b/two.ax", ReadText(key + L"\\InprocServer32", nullptr));
    EXPECT_EQ(L"Both", ReadText(key + L"\\InprocServer32", L"ThreadingModel"));
}

TEST_F(SetupTest, UnregisterRemovesTheWholeClassKey) {
    EXPECT_EQ(S_OK, AMovieSetupUnregisterServer(CLSID_Registered));  // never registered
    ASSERT_EQ(S_OK, AMovieSetupRegisterServer(CLSID_Registered, L"Desc", L"/m.ax", L"Both", L"InprocServer32"));
    const std::wstring key = ClassKey();
    CRegKey deep;
    ASSERT_EQ(ERROR_SUCCESS,
              RegCreateKeyW(HKEY_CLASSES_ROOT, (key + L"\\InprocServer32\\x\\y").c_str(), deep.Put()));
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyW(HKEY_CLASSES_ROOT, (key + L"\\Other").c_str(), deep.Put()));
    deep.Close();

    EXPECT_EQ(S_OK, AMovieSetupUnregisterServer(CLSID_Registered));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, key));
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, L"CLSID"));  // only the class's own key goes
}

TEST_F(SetupTest, UnregisterGivesUpOnAKeyItCannotDelete) {
    // A key below a name too long to enumerate cannot be emptied, so neither
    // it nor its parent can be deleted; the removal must still end. Only a
    // hand-edited registry file (the stand-in's) can hold such a name.
    if (m_file.empty()) {
        GTEST_SKIP() << "needs the registry file of the POSIX stand-in";
    }
    const std::wstring wide = ClassKey();
    const std::string key = "[HKEY_CLASSES_ROOT\\" + std::string(wide.begin(), wide.end());
    WriteFile("Windows Registry Editor Version 5.00\r\n\r\n" + key + "]\r\n\r\n" + key +
              "\\InprocServer32]\r\n\r\n" + key + "\\Stuck]\r\n\r\n" + key + "\\Stuck\\" +
              std::string(300, 'n') + "]\r\n\r\n");
    ASSERT_TRUE(KeyExists(HKEY_CLASSES_ROOT, ClassKey() + L"\\Stuck"));  // the stand-in loads over-long names
    EXPECT_EQ(S_OK, AMovieSetupUnregisterServer(CLSID_Registered));
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, ClassKey() + L"\\Stuck"));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, ClassKey() + L"\\InprocServer32"));  // its siblings still go
}

TEST_F(SetupTest, EliminateSubKeyNeverDeletesTheKeyItself) {
    ASSERT_EQ(S_OK, AMovieSetupRegisterServer(CLSID_Registered, L"Desc", L"/m.ax", L"Both", L"InprocServer32"));
    CRegKey key;
    ASSERT_EQ(ERROR_SUCCESS,
              RegOpenKeyExW(HKEY_CLASSES_ROOT, ClassKey().c_str(), 0, KEY_ALL_ACCESS, key.Put()));
    EXPECT_EQ(E_FAIL, EliminateSubKey(key.Get(), L""));
    EXPECT_EQ(E_FAIL, EliminateSubKey(key.Get(), nullptr));
    EXPECT_EQ(S_OK, EliminateSubKey(key.Get(), L"Missing"));
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, ClassKey() + L"\\InprocServer32"));
}

TEST_F(SetupTest, TextsThatDoNotFitAreRefusedUnwritten) {
    std::wstring longName(300, L'x');
    EXPECT_EQ(E_INVALIDARG,
              AMovieSetupRegisterServer(CLSID_Registered, longName.c_str(), L"/m.ax", L"Both", L"InprocServer32"));
    EXPECT_EQ(E_INVALIDARG, AMovieSetupRegisterServer(CLSID_Registered, L"Desc", nullptr, L"Both", L"InprocServer32"));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, ClassKey()));
}

TEST_F(SetupTest, FilterSetupDataGoesThroughTheMapper) {
    const REGPINTYPES type = {&MEDIATYPE_Video, &GUID_NULL};
    REGFILTERPINS pin = {};
    pin.strName = const_cast<LPWSTR>(L"Output");
    pin.bOutput = TRUE;
    pin.clsConnectsToFilter = &GUID_NULL;
    pin.nMediaTypes = 1;
    pin.lpMediaType = &type;
    const AMOVIESETUP_FILTER setup = {&CLSID_Registered, L"Setup test", MERIT_DO_NOT_USE, 1, &pin};
    EXPECT_EQ(S_OK, AMovieSetupRegisterFilter(&setup, TRUE));
    EXPECT_EQ(S_OK, AMovieSetupRegisterFilter(&setup, FALSE));
    // Not registered any more: still a success.
    EXPECT_EQ(S_OK, AMovieSetupRegisterFilter(&setup, FALSE));
    // The caller's own COM initialisation is left as it was.
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
    EXPECT_EQ(S_OK, AMovieSetupRegisterFilter(&setup, TRUE));
    EXPECT_EQ(S_OK, AMovieSetupRegisterFilter(&setup, FALSE));
    IUnknown* pMapper = nullptr;
    EXPECT_EQ(S_OK, CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper2,
                                     reinterpret_cast<void**>(&pMapper)));
    if (pMapper != nullptr) {
        pMapper->Release();
    }
    CoUninitialize();
}

TEST_F(SetupTest, FilterWithoutSetupDataRegistersNothing) {
    EXPECT_EQ(S_FALSE, AMovieSetupRegisterFilter(nullptr, TRUE));
    EXPECT_EQ(S_FALSE, AMovieSetupRegisterFilter(nullptr, FALSE));
}

}  // namespace
