#include "tools/oculo-grab/GrabGraph.h"

#include "platform/ComRef.h"
#include "tools/shared/CaptureGraph.h"
#include "tools/shared/ConsoleText.h"
#include "tools/shared/ModuleCalls.h"

namespace {

// Passes each sample to the watch; called on the source's streaming thread.
// Lives in the graph's parts, which the graph's Close outlives.
class CGrabberCallback final : public CGrabberCallbackBase {
public:
    explicit CGrabberCallback(CGrabWatch* pWatch) : m_pWatch(pWatch) {}
    STDMETHODIMP SampleCB(double, IMediaSample* pSample) override {
        BYTE* pData = nullptr;
        REFERENCE_TIME rtStart = 0, rtStop = 0;
        const bool bTimed = SUCCEEDED(pSample->GetTime(&rtStart, &rtStop));
        if (SUCCEEDED(pSample->GetPointer(&pData)) && pData != nullptr) {
            m_pWatch->OnSample(pData, pSample->GetActualDataLength(), bTimed, rtStart);
        }
        return S_OK;
    }

private:
    CGrabWatch* m_pWatch;
};

}  // namespace

struct CGrabGraph::Parts {
    explicit Parts(CGrabWatch* pWatch) : callback(pWatch) {}
    CGrabberCallback callback;
    CCaptureGraph graph;  // after the callback: closed before it goes
    CComRef<IOculoStatus> status;  // the source's; empty for a device that tells none
};

CGrabGraph::CGrabGraph(CGrabWatch* pWatch) : m_parts(new Parts(pWatch)) {}

CGrabGraph::~CGrabGraph() { Close(); }

int CGrabGraph::Open(const GrabOptions& options, std::string* error) {
    const bool bSlot = options.device.empty();
    const std::string what =
        bSlot ? "slot " + std::to_string(options.slot) : "device \"" + options.device + "\"";
    CComRef<IBaseFilter> source;
    HRESULT hr = bSlot ? BindSlotDevice(options.slot, source.Put())
                       : BindNamedDevice(ToWide(options.device.c_str()), source.Put());
    if (hr == VFW_E_NOT_FOUND) {
        *error = "no video-input device for " + what + " (see oculo-grab --list)" +
                 (bSlot ? "; is the module registered? (oculo-config register)" : "");
        return kGrabNoCamera;
    }
    if (FAILED(hr)) {
        *error = "cannot create the filter of " + what + ": " + ResultText(hr);
        return kGrabNoCamera;
    }
    source.As(IID_IOculoStatus, &m_parts->status);
    if (FAILED(hr = m_parts->graph.Open(source.Get(), &m_parts->callback))) {
        *error = "cannot connect " + what + " to an RGB24 sink: " + ResultText(hr);
        return kGrabNoCamera;
    }
    return kGrabOk;
}

HRESULT CGrabGraph::Run() { return m_parts->graph.Run(); }

HRESULT CGrabGraph::Stop() { return m_parts->graph.Stop(); }

bool CGrabGraph::ConnectedSize(LONG* width, LONG* height) const {
    return m_parts->graph.ConnectedSize(width, height);
}

bool CGrabGraph::ReadStatus(OCULO_STATUS* pStatus) const {
    *pStatus = OCULO_STATUS{};
    pStatus->cbSize = sizeof(*pStatus);
    return m_parts->status && SUCCEEDED(m_parts->status->GetStatus(pStatus));
}

void CGrabGraph::Close() {
    m_parts->graph.Close();
    m_parts->status.Reset();
}

const char* CGrabGraph::Path() {
    return "camera -> reader -> filter -> capture pin -> the system's DirectShow (Sample Grabber) -> snapshot";
}

void CGrabGraph::Abandon(int status) {
    // TerminateProcess, not exit: unloading the stuck module could hang too.
    TerminateProcess(GetCurrentProcess(), UINT(status));
    for (;;) Sleep(INFINITE);
}
