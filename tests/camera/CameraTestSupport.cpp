#include "tests/camera/CameraTestSupport.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "camera/HostLookup.h"
#include "tests/SizedStatus.h"

namespace {

HANDLE g_hReleaseLookups = nullptr;

bool Answer(HostAddresses* found, std::initializer_list<const char*> numbers) {
    for (const char* number : numbers)
        std::snprintf(found->numeric[found->count++], kNumericHostChars, "%s", number);
    return true;
}

bool TestResolver(const char* host, HostAddresses* found) {
    if (std::strcmp(host, "camera.test") == 0 || std::strcmp(host, "localhost") == 0) {
        return Answer(found, {"127.0.0.1"});
    }
    if (std::strcmp(host, "dual.test") == 0) return Answer(found, {"127.0.0.1", "::1"});
    if (std::strcmp(host, "unknown.test") == 0) return false;
    WaitForSingleObject(g_hReleaseLookups, 60000);
    ++g_iHungLookupsEnded;
    return false;
}

}  // namespace

std::atomic<int> g_iHungLookupsEnded{0};

void ReleaseHungLookups() {
    SetEvent(g_hReleaseLookups);
}

std::wstring Wide(const std::string& s) {
    return std::wstring(s.begin(), s.end());
}

std::wstring Url(const char* scheme, int port, const char* path, const char* host) {
    return Wide(std::string(scheme) + "://" + host + ":" + std::to_string(port) + path);
}

uint64_t TimedStop(CRTSPCamera& camera, CRecorder* recorder) {
    const uint64_t since = ExtendedTickCount();
    camera.Stop();
    const uint64_t took = ExtendedTickCount() - since;
    if (recorder) recorder->m_bStopped = true;
    return took;
}

OCULO_STATUS StatusOf(CIPCameraBase& camera) {
    OCULO_STATUS status = SizedStatus();
    camera.GetStatus(&status);
    return status;
}

std::string ReasonText(const OCULO_STATUS& status) {
    std::string text;
    for (const WCHAR* c = status.szReason; *c; ++c) text += char(*c);
    return text;
}

void SetEnvironment(const char* name, const char* value) {
#ifdef _WIN32
    _putenv_s(name, value ? value : "");
#else
    if (value) {
        setenv(name, value, 1);
    } else {
        unsetenv(name);
    }
#endif
}

void CameraStreamTest::SetUp() {
    if (!g_hReleaseLookups) g_hReleaseLookups = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ResetEvent(g_hReleaseLookups);
    SetHostResolver(TestResolver);
}

void CameraStreamTest::TearDown() {
    SetEvent(g_hReleaseLookups);
    SetHostResolver(nullptr);
}
