// A capture graph around one slot's filter, built as a host builds it, with
// a sink that takes every sample at once (real clients' Receive never
// blocks). On Windows: the system device enumerator finds the device,
// BindToObject creates it, ICaptureGraphBuilder2::RenderStream connects its
// capture pin to the Sample Grabber and the Null Renderer. On Linux:
// CoCreateInstance from the registered module, connected to the host
// graph's rendering sink.
//
// Threading: one test thread drives it (COM initialised by the test); the
// samples are recorded on the filter's worker thread under a lock.
#pragma once

#include <memory>
#include <vector>

#include "platform/platform.h"

struct DeliveredSample {
    REFERENCE_TIME rtStart;
    REFERENCE_TIME rtStop;
    bool bTimed;
    bool bSyncPoint;
    bool bDiscontinuity;
};

class CStreamGraph {
public:
    CStreamGraph();
    ~CStreamGraph();  // Close()
    CStreamGraph(const CStreamGraph&) = delete;
    CStreamGraph& operator=(const CStreamGraph&) = delete;

    // Finds slot's device, creates its filter, connects it. S_OK or the first failure.
    HRESULT Open(DWORD slot);
    HRESULT Run();
    HRESULT Stop();
    // Stops, disconnects and releases everything (the graph and the filter).
    void Close();

    bool WaitForSamples(size_t count, DWORD timeoutMs) const;
    std::vector<DeliveredSample> Samples() const;  // the first few thousand
    std::vector<BYTE> LastFrame() const;
    // The connection's format: width, height (positive: bottom-up).
    bool ConnectedSize(LONG* width, LONG* height) const;
    // The filter's stream configuration as a client finds it
    // (ICaptureGraphBuilder2::FindInterface on Windows, the pin on Linux).
    HRESULT FindStreamConfig(IAMStreamConfig** ppConfig) const;
    // The filter's capture pin (a reference for the caller), or null.
    IPin* CapturePin() const;

    struct State;

private:
    std::unique_ptr<State> m_pState;
};

// Unloads every module that says it can be unloaded, now: CoFreeUnusedLibraries
// on Linux; on Windows CoFreeUnusedLibrariesEx with no delay, since the runtime
// otherwise keeps a "Both" module ten minutes after its last object.
void FreeUnusedModulesNow();
// Whether the module file is loaded in this process now.
bool IsModuleLoaded();
// Calls the loaded module's DllCanUnloadNow; E_FAIL when it is not loaded.
HRESULT ModuleCanUnloadNow();
// Threads of this process now.
int ProcessThreadCount();
