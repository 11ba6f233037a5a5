// What the camera stream tests share: a frame store that records what
// arrives, bounded waits, the name lookup they put in, and their fixture.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <string>

#include "camera/ExtendedTickCount.h"
#include "camera/RTSPCamera.h"
#include "filter/FrameStore.h"
#include "tests/fixtures/FixtureProcess.h"

// Generous: the machine may be slow or busy (sanitizers, valgrind).
constexpr uint64_t kPictureWaitMs = 15000;
constexpr uint64_t kPromptStopMs = 1500;

// A frame store that also records what arrives.
class CRecorder : public CFrameStore {
public:
    bool OnFrame(const BYTE* pixels, LONG width, LONG height) override {
        if (m_bStopped) ++m_iAfterStop;
        ++m_iCalls;
        m_iWidth = width;
        m_iHeight = height;
        if (width != m_iFirstWidth && m_iFirstWidth != 0) m_bSizeChanged = true;
        if (m_iFirstWidth == 0) m_iFirstWidth = width;
        return CFrameStore::OnFrame(pixels, width, height);
    }
    std::atomic<int> m_iCalls{0};
    std::atomic<int> m_iAfterStop{0};
    std::atomic<bool> m_bStopped{false};
    std::atomic<LONG> m_iWidth{0}, m_iHeight{0}, m_iFirstWidth{0};
    std::atomic<bool> m_bSizeChanged{false};
};

std::wstring Wide(const std::string& s);
// "scheme://127.0.0.1:port/path"; `host` names another host.
std::wstring Url(const char* scheme, int port, const char* path, const char* host = "127.0.0.1");

// Waits, bounded, until `done` holds.
template <class Condition>
bool WaitUntil(Condition done, uint64_t limitMs = kPictureWaitMs) {
    const uint64_t since = ExtendedTickCount();
    while (!done()) {
        if (ExtendedTickCount() - since > limitMs) return false;
        Sleep(10);
    }
    return true;
}

uint64_t TimedStop(CRTSPCamera& camera, CRecorder* recorder = nullptr);

OCULO_STATUS StatusOf(CIPCameraBase& camera);
std::string ReasonText(const OCULO_STATUS& status);

// Sets (or with null, removes) an environment variable of this process.
void SetEnvironment(const char* name, const char* value);

// The name lookup the tests put in: "camera.test" and "localhost" are the
// loopback address, "dual.test" has 127.0.0.1 and then ::1, "unknown.test"
// is no name; any other name hangs, as for a resolver that never answers,
// until the test ends.
extern std::atomic<int> g_iHungLookupsEnded;
void ReleaseHungLookups();

class CameraStreamTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    CRecorder recorder;
    CFixtureProcess server;
};
