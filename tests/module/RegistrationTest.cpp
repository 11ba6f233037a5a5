// Registering the module the way regsvr32 does, judged the way a host sees
// the result: the video-input devices listed, and the class keys COM loads
// the module through.
#include <fstream>
#include <set>
#include <sstream>
#include <thread>

#include "filter/OculoPage.h"
#include "module/SlotClasses.h"
#include "platform/RegKey.h"
#include "tests/module/ModuleTestSupport.h"

#ifdef _WIN32
#include <sddl.h>  // after the platform's windows.h
#endif

namespace {

using ModuleRegistration = ModuleRegistryTest;

bool EndsWith(const std::wstring& text, const std::wstring& tail) {
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

std::wstring ModuleFileName() {
    const std::string path = ModulePath();
    return std::wstring(path.begin() + long(path.find_last_of("/\\") + 1), path.end());
}

TEST_F(ModuleRegistration, NoSettingsRegisterNothing) {
    EXPECT_EQ(RegisterModule(), S_OK);
    EXPECT_TRUE(ListedSlots().empty());
    for (DWORD slot = 0; slot < g_cSlots; ++slot) EXPECT_FALSE(ClassKeyExists(slot)) << slot;
    EXPECT_EQ(ClassesRootText(PageClassKeyPath(), nullptr), L"");
}

TEST_F(ModuleRegistration, ListsExactlyTheUsableSlotsUnderTheirNames) {
    SlotConfig front;
    front.name = L"Front door";
    WriteSlot(2, front);
    SlotConfig disabled;
    disabled.name = L"Disabled";
    disabled.enable = 0;
    WriteSlot(5, disabled);
    SlotConfig noAddress;
    noAddress.url = L"rtsp:";
    WriteSlot(7, noAddress);
    SlotConfig longName;
    longName.name = std::wstring(300, L'n');
    WriteSlot(8, longName);

    EXPECT_EQ(RegisterModule(), S_OK);
    const std::map<int, std::wstring> listed = ListedSlots();
    ASSERT_EQ(listed.size(), 2u);
    EXPECT_EQ(listed.at(2), L"Front door");
    EXPECT_EQ(listed.at(8), std::wstring(255, L'n'));  // the slot table keeps 255 characters
    EXPECT_EQ(DeviceMerit(2), 0x200000u);

    const std::wstring server = ClassKeyPath(2) + L"\\InprocServer32";
    EXPECT_EQ(ClassesRootText(ClassKeyPath(2), nullptr), L"Front door");
    EXPECT_EQ(ClassesRootText(server, L"ThreadingModel"), L"Both");
    EXPECT_TRUE(EndsWith(ClassesRootText(server, nullptr), ModuleFileName())) << ModulePath();
    for (DWORD slot : {0u, 1u, 3u, 4u, 5u, 6u, 7u, 9u}) EXPECT_FALSE(ClassKeyExists(slot)) << slot;
    // The slots' property page, served by the same module, in its caller's apartment.
    const std::wstring page = PageClassKeyPath() + L"\\InprocServer32";
    EXPECT_EQ(ClassesRootText(page, L"ThreadingModel"), L"Apartment");
    EXPECT_TRUE(EndsWith(ClassesRootText(page, nullptr), ModuleFileName()));
}

// Unregistering removes every slot's entries, whatever the settings say now:
// the slots that were never registered are "not there", not a failure.
TEST_F(ModuleRegistration, UnregisteringRemovesEverythingOfOurs) {
    WriteSlot(2, SlotConfig());
    WriteSlot(4, SlotConfig());
    ASSERT_EQ(RegisterModule(), S_OK);
    ASSERT_EQ(ListedSlots().size(), 2u);
    SlotConfig disabled;
    disabled.enable = 0;
    WriteSlot(4, disabled);

    ASSERT_NE(ClassesRootText(PageClassKeyPath(), nullptr), L"");
    EXPECT_EQ(UnregisterModule(), S_OK);
    EXPECT_TRUE(ListedSlots().empty());
    for (DWORD slot = 0; slot < g_cSlots; ++slot) EXPECT_FALSE(ClassKeyExists(slot)) << slot;
    EXPECT_EQ(ClassesRootText(PageClassKeyPath(), nullptr), L"");
    EXPECT_EQ(UnregisterModule(), S_OK);  // again, with nothing there
}

// A caller whose thread is in the multithreaded mode: registering works on
// the caller's initialisation; unregistering refuses with the mode's code and
// touches nothing; the thread's mode is left as it was.
TEST_F(ModuleRegistration, ThreadInTheOtherModeKeepsItsMode) {
    WriteSlot(2, SlotConfig());
    HRESULT registered = E_FAIL, unregistered = E_FAIL, stillMultithreaded = E_FAIL;
    size_t listedBetween = 0;
    std::thread caller([&] {
        ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
        registered = RegisterModule();
        unregistered = UnregisterModule();
        listedBetween = ListedSlots().size();
        stillMultithreaded = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        CoUninitialize();
        CoUninitialize();
    });
    caller.join();
    EXPECT_EQ(registered, S_OK);
    EXPECT_EQ(unregistered, RPC_E_CHANGED_MODE);
    EXPECT_EQ(listedBetween, 1u);
    EXPECT_EQ(stillMultithreaded, S_FALSE);
    EXPECT_EQ(UnregisterModule(), S_OK);
    EXPECT_TRUE(ListedSlots().empty());
}

#ifdef _WIN32
// A slot whose class key another program locked is not registered, and the
// registration says so, though a later slot registers; every other usable
// slot still is. Only Windows lets a test lock one key.
TEST_F(ModuleRegistration, ASlotThatFailsIsReportedAndTheOthersAreStillRegistered) {
    WriteSlot(2, SlotConfig());
    WriteSlot(4, SlotConfig());
    PSECURITY_DESCRIPTOR locked = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:P(D;;KW;;;WD)(A;;KA;;;WD)", SDDL_REVISION_1,
                                                                     &locked, nullptr));
    CRegKey key;
    ASSERT_EQ(RegCreateKeyW(HKEY_CLASSES_ROOT, ClassKeyPath(2).c_str(), key.Put()), ERROR_SUCCESS);
    const LONG set = RegSetKeySecurity(key.Get(), DACL_SECURITY_INFORMATION, locked);
    LocalFree(locked);
    ASSERT_EQ(set, ERROR_SUCCESS);

    EXPECT_EQ(RegisterModule(), E_ACCESSDENIED);
    const std::map<int, std::wstring> listed = ListedSlots();
    EXPECT_EQ(listed.size(), 1u);
    EXPECT_EQ(listed.count(4), 1u);
}
#endif

// The uninstaller removes the classes itself when a module cannot: exactly
// the module's own, the slots', their page's and their media sources'.
TEST(InstallerScript, RemovesExactlyTheModulesClassesWhenTheModuleCannot) {
    std::ifstream file(OCULO_INSTALLER_SCRIPT);
    ASSERT_TRUE(file.good()) << OCULO_INSTALLER_SCRIPT;
    std::stringstream text;
    text << file.rdbuf();
    const std::string script = text.str();
    const size_t begin = script.find("!macro DeleteSlotKeys");
    const size_t end = script.find("!macroend", begin);
    ASSERT_NE(end, std::string::npos);
    std::set<std::string> removed;
    for (size_t at = script.find('{', begin); at < end; at = script.find('{', at + 1)) {
        removed.insert(script.substr(at, 38));
    }
    std::set<std::string> classes;
    for (DWORD slot = 0; slot <= g_cSlots; ++slot) {
        WCHAR guid[39];
        StringFromGUID2(slot < g_cSlots ? g_SlotClsids[slot] : CLSID_OculoPage, guid, 39);
        classes.insert(std::string(guid, guid + 38));
        if (slot == g_cSlots) continue;
        StringFromGUID2(g_MediaSourceClsids[slot], guid, 39);
        classes.insert(std::string(guid, guid + 38));
    }
    EXPECT_EQ(removed, classes);
}

}  // namespace
