#include "bench/common/BenchSlot.h"

#include <stdlib.h>

#include <filesystem>
#include <new>
#include <system_error>

#include "camera/FFmpeg.h"
#include "framework/ClassFactory.h"
#include "module/SlotClasses.h"

// The filter reads its name and class from the module's table; a bench serves no classes.
CFactoryTemplate g_Templates[1] = {{L"Oculo 01", &g_SlotClsids[0], nullptr, nullptr, nullptr}};
int g_cTemplates = 0;

bool CBenchRegistry::Create() {
    char pattern[] = "/tmp/oculo-bench-XXXXXX";
    if (!mkdtemp(pattern)) return false;
    m_folder = pattern;
    setenv("OCULO_REGISTRY", (m_folder + "/registry.reg").c_str(), 1);
    return true;
}

CBenchRegistry::~CBenchRegistry() {
    if (m_folder.empty()) return;
    unsetenv("OCULO_REGISTRY");
    std::error_code ignored;  // the registry file and the stand-in's lock file beside it
    std::filesystem::remove_all(m_folder, ignored);
}

bool CBenchRun::Start() {
    if (!m_registry.Create()) return false;
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    av_log_set_level(AV_LOG_QUIET);
    avformat_network_init();
    m_bStarted = true;
    return true;
}

CBenchRun::~CBenchRun() {
    if (!m_bStarted) return;
    avformat_network_deinit();
    CoUninitialize();
}

COculo* CreateSlotFilter(const BenchSlot& slot) {
    const WCHAR key[] = L"SOFTWARE\\TALVO\\Oculo\\00";
    if (RegWriteDword(key, L"enable", 1) != kRegWriteOk ||
        RegWriteString(key, L"url", slot.url.c_str()) != kRegWriteOk ||
        RegWriteDword(key, L"w", static_cast<DWORD>(slot.w)) != kRegWriteOk ||
        RegWriteDword(key, L"h", static_cast<DWORD>(slot.h)) != kRegWriteOk ||
        RegWriteFloat(key, L"fps", slot.fps) != kRegWriteOk ||
        RegWriteDword(key, L"status", static_cast<DWORD>(slot.status)) != kRegWriteOk) {
        return nullptr;
    }
    HRESULT hr = E_FAIL;
    COculo* pFilter = new (std::nothrow) COculo(nullptr, &hr, 0);
    if (!pFilter) return nullptr;
    pFilter->NonDelegatingAddRef();
    if (FAILED(hr)) {
        pFilter->NonDelegatingRelease();
        return nullptr;
    }
    return pFilter;
}
