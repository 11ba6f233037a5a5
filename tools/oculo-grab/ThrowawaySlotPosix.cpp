#include "tools/oculo-grab/ThrowawaySlot.h"

#include <cstdlib>
#include <filesystem>

#include "module/InstanceSettings.h"
#include "tools/shared/ConsoleText.h"
#include "tools/shared/ModuleCalls.h"
#include "tools/shared/SlotEditor.h"

CThrowawaySlot::~CThrowawaySlot() {
    std::error_code ignored;
    if (!m_folder.empty()) std::filesystem::remove_all(m_folder, ignored);
}

bool CThrowawaySlot::Create(std::string* error) {
    char pattern[] = "/tmp/oculo-grab-XXXXXX";
    if (mkdtemp(pattern) == nullptr) {
        *error = "cannot make a temporary folder for the registry";
        return false;
    }
    m_folder = pattern;
    setenv("OCULO_REGISTRY", (m_folder + "/registry.reg").c_str(), 1);
    return true;
}

bool CThrowawaySlot::Configure(const std::string& url, const std::string& modulePath, std::string* error) {
    const std::wstring key = SlotKeyPath(kThrowawaySlot);
    const std::wstring wide = ToWide(url.c_str());
    const bool stored = RegWriteDword(key.c_str(), L"enable", 1) == kRegWriteOk &&
                        RegWriteString(key.c_str(), L"url", wide.c_str()) == kRegWriteOk &&
                        RegWriteString(key.c_str(), L"name", L"oculo-grab") == kRegWriteOk &&
                        RegWriteDword(key.c_str(), L"w", kThrowawayWidth) == kRegWriteOk &&
                        RegWriteDword(key.c_str(), L"h", kThrowawayHeight) == kRegWriteOk &&
                        RegWriteFloat(key.c_str(), L"fps", kThrowawayFps) == kRegWriteOk;
    if (!stored) {
        *error = "cannot write the temporary registry";
        return false;
    }
    HRESULT hr = E_FAIL;
    if (!CallModuleEntry(modulePath, "DllRegisterServer", &hr, error)) return false;
    if (FAILED(hr)) {
        *error = "registering the module failed: " + ResultText(hr);
        return false;
    }
    return true;
}
