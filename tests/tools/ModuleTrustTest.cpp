// Which modules `register` may register on Windows (under Wine): who besides
// administrators may change a file or folder, judged from real security
// descriptors (made from their text, and read from a folder on disk); and
// the system's registrar refusing a module whose path is too long to name.
#include <gtest/gtest.h>

#include <fstream>

#include "tools/shared/ModuleCalls.h"
#include "tools/shared/ModuleTrust.h"
#include "tools/shared/ModuleTrustWin.h"

#include <sddl.h>  // after the platform's windows.h

namespace {

const std::wstring kTrustedInstaller = L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";
// C:\Program Files\Oculo\x64 as the installer leaves it, inherited from Program Files.
const std::wstring kInstalled = L"O:BAG:SYD:AI(A;ID;FA;;;SY)(A;OICIIOID;GA;;;SY)(A;ID;FA;;;BA)(A;OICIIOID;GA;;;BA)"
                                L"(A;ID;0x1200a9;;;BU)(A;OICIIOID;GXGR;;;BU)(A;OICIIOID;GA;;;CO)(A;CIIOID;GA;;;" +
                                kTrustedInstaller + L")";
// C:\: Authenticated Users may add folders, not rename or delete what is there.
const std::wstring kDriveRoot = L"O:" + kTrustedInstaller + L"D:PAI(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)" +
                                L"(A;OICI;0x1200a9;;;BU)(A;OICIIO;SDGXGWGR;;;AU)(A;;0x4;;;AU)";

std::string WhoElse(const std::wstring& text, ModulePathRole role) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(text.c_str(), SDDL_REVISION_1, &descriptor, nullptr)) {
        return "(not a descriptor)";
    }
    const std::string who = WhoElseMayChange(descriptor, role);
    LocalFree(descriptor);
    return who;
}

bool SetPermissions(const std::string& path, const wchar_t* text) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(text, SDDL_REVISION_1, &descriptor, nullptr)) return false;
    const BOOL bSet = SetFileSecurityA(path.c_str(), DACL_SECURITY_INFORMATION, descriptor);
    LocalFree(descriptor);
    return bSet != FALSE;
}

}  // namespace

TEST(ModuleTrust, OnlyAdministratorsMayChangeWhatIsRegistered) {
    const ModulePathRole contents = ModulePathRole::kContents;
    const ModulePathRole above = ModulePathRole::kAbove;
    struct Case {
        std::wstring descriptor;
        ModulePathRole role;
        std::string who;  // a part of the name given, or "" for nobody
    };
    const Case cases[] = {
        {kInstalled, contents, ""},
        {kDriveRoot, above, ""},
        {kDriveRoot, contents, "Authenticated Users"},
        {L"O:BAD:(A;;FA;;;BA)(A;;0x1301bf;;;BU)", contents, "Users"},  // may modify
        {L"O:BAD:(A;;FA;;;BA)(A;;WD;;;WD)", above, "Everyone"},        // may re-permission
        {L"O:BAD:(A;;FA;;;BA)(A;;SD;;;IU)", above, "INTERACTIVE"},     // may delete
        {L"O:BAD:(A;;FA;;;BA)(A;;FA;;;CO)", contents, "CREATOR OWNER"},
        {L"O:BA", above, "Everyone"},  // no list of permissions at all
        // A user's own folder: the owner may re-permission it, unless an
        // OWNER RIGHTS entry says otherwise.
        {L"O:S-1-5-21-7-8-9-1001D:(A;;FA;;;BA)(A;;FA;;;SY)", contents, "S-1-5-21-7-8-9-1001"},
        {L"O:S-1-5-21-7-8-9-1001D:(A;;FA;;;BA)(A;;0x1200a9;;;OW)", contents, ""},
    };
    for (const Case& c : cases) {
        const std::string who = WhoElse(c.descriptor, c.role);
        EXPECT_TRUE(c.who.empty() ? who.empty() : who.find(c.who) != std::string::npos)
            << std::string(c.descriptor.begin(), c.descriptor.end()) << " gives \"" << who << "\"";
    }
}

// A folder on disk, whose permissions the test sets: Wine keeps this user
// its owner, free to re-permission it, so it is refused either way.
TEST(ModuleTrust, AFolderOnDiskIsJudgedByItsOwnPermissions) {
    char temp[MAX_PATH];
    ASSERT_GT(GetTempPathA(MAX_PATH, temp), 0u);
    const std::string folder = std::string(temp) + "oculo-trust-" + std::to_string(GetCurrentProcessId());
    const std::string module = folder + "\\Oculo.ax";
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    std::ofstream(module) << "MZ";
    for (const wchar_t* permissions : {L"D:P(A;;FA;;;WD)", L"D:P(A;;FA;;;SY)(A;;FA;;;BA)(A;;0x1200a9;;;WD)"}) {
        ASSERT_TRUE(SetPermissions(folder, permissions));
        std::string registered;
        const std::string why = WhyNotRegistrable(module, &registered);
        EXPECT_NE(why.find(" may change " + registered.substr(0, registered.rfind('\\'))), std::string::npos) << why;
    }
    DeleteFileA(module.c_str());
    RemoveDirectoryA(folder.c_str());
}

// GetFullPathName's answer for a path that does not fit is the size it
// needs, not a path: nothing may reach regsvr32's command line.
TEST(SystemRegistrar, APathTooLongToNameIsRefusedBeforeRegsvr32Runs) {
    std::string error;
    const std::string tooLong = "C:\\" + std::string(300, 'a') + "\\Oculo.ax";
    EXPECT_FALSE(RunSystemRegistrar(OwnBitness() == 64 ? 32 : 64, tooLong, true, &error));
    EXPECT_NE(error.find("too long"), std::string::npos) << error;
}
