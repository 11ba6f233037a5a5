#include "tools/oculo-grab/GrabGraph.h"

#include <cstdlib>
#include <cstring>
#include <vector>

#include "host/HostGraph.h"
#include "host/RenderSink.h"
#include "module/SlotClasses.h"
#include "platform/ComRef.h"
#include "tools/shared/ConsoleText.h"
#include "tools/shared/DeviceList.h"
#include "tools/shared/ModuleCalls.h"

namespace {

int HexDigit(WCHAR c) {
    if (c >= L'0' && c <= L'9') return c - L'0';
    if (c >= L'a' && c <= L'f') return c - L'a' + 10;
    if (c >= L'A' && c <= L'F') return c - L'A' + 10;
    return -1;
}

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", as a device entry names its class.
bool ParseClassId(const std::wstring& text, CLSID* clsid) {
    static const char kShape[] = "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}";
    if (text.size() != sizeof(kShape) - 1) return false;
    BYTE bytes[16] = {};
    size_t count = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (kShape[i] != 'x') {
            if (text[i] != WCHAR(kShape[i])) return false;
            continue;
        }
        const int high = HexDigit(text[i]), low = HexDigit(text[i + 1]);
        if (high < 0 || low < 0) return false;
        bytes[count++] = BYTE(high << 4 | low);
        ++i;
    }
    clsid->Data1 = DWORD(bytes[0]) << 24 | DWORD(bytes[1]) << 16 | DWORD(bytes[2]) << 8 | bytes[3];
    clsid->Data2 = WORD(bytes[4] << 8 | bytes[5]);
    clsid->Data3 = WORD(bytes[6] << 8 | bytes[7]);
    std::memcpy(clsid->Data4, bytes + 8, 8);
    return true;
}

// The class of the camera the options name: a slot's, or the named device's
// from the entries the host lists.
bool CameraClass(const GrabOptions& options, CLSID* clsid, std::string* error) {
    if (options.device.empty()) {
        *clsid = g_SlotClsids[options.slot];
        return true;
    }
    std::vector<CaptureDevice> devices;
    const HRESULT hr = ListVideoInputDevices(&devices);
    const CaptureDevice* device = FindDeviceByName(devices, ToWide(options.device.c_str()));
    if (FAILED(hr)) {
        *error = "cannot list the video-input devices: " + ResultText(hr);
    } else if (device == nullptr) {
        *error = "no video-input device is named \"" + options.device + "\" (see oculo-grab --list)";
    } else if (!ParseClassId(device->clsid, clsid)) {
        *error = "the device \"" + options.device + "\" names no class it creates";
    } else {
        return true;
    }
    return false;
}

}  // namespace

struct CGrabGraph::Parts {
    CGrabWatch* pWatch;
    CComRef<IBaseFilter> filter;
    CComRef<IOculoStatus> status;  // the filter's; empty for a camera that tells none
    CComRef<CHostGraph> graph;
    CComRef<CRenderSink> sink;
};

CGrabGraph::CGrabGraph(CGrabWatch* pWatch) : m_parts(new Parts{pWatch, {}, {}, {}, {}}) {}

CGrabGraph::~CGrabGraph() { Close(); }

int CGrabGraph::Open(const GrabOptions& options, std::string* error) {
    const std::string what =
        options.device.empty() ? "slot " + std::to_string(options.slot) + "'s" : "\"" + options.device + "\"'s";
    CLSID clsid;
    if (!CameraClass(options, &clsid, error)) return kGrabNoCamera;
    HRESULT hr =
        CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, m_parts->filter.PutVoid());
    if (FAILED(hr)) {
        *error = "cannot create " + what + " filter: " + ResultText(hr) +
                 (hr == REGDB_E_CLASSNOTREG ? "; register the module first: oculo-config register" : "");
        return kGrabNoCamera;
    }
    m_parts->filter.As(IID_IOculoStatus, &m_parts->status);
    if (FAILED(hr = CHostGraph::Create(m_parts->graph.Put())) ||
        FAILED(hr = CRenderSink::Create(m_parts->sink.Put()))) {
        *error = "cannot make the host graph: " + ResultText(hr);
        return kGrabNoCamera;
    }
    CComRef<IPin> out;
    out.Attach(FindOutputPin(m_parts->filter.Get()));
    hr = out ? S_OK : VFW_E_NOT_FOUND;  // a filter without an output pin
    if (FAILED(hr) || FAILED(hr = m_parts->graph->AddFilter(m_parts->filter.Get(), L"Camera")) ||
        FAILED(hr = m_parts->graph->AddFilter(m_parts->sink.Get(), L"Sink")) ||
        FAILED(hr = m_parts->graph->ConnectDirect(out.Get(), m_parts->sink->InputPin(), nullptr))) {
        *error = "cannot connect " + what + " filter to the sink: " + ResultText(hr);
        return kGrabNoCamera;
    }
    CGrabWatch* pWatch = m_parts->pWatch;
    m_parts->sink->Recorder()->SetFrameCallback([pWatch](const SinkFrame& frame) {
        pWatch->OnSample(frame.pData, frame.cbData,
                         frame.pInfo->hrTime == S_OK || frame.pInfo->hrTime == VFW_S_NO_STOP_TIME,
                         frame.pInfo->rtStart);
    });
    return kGrabOk;
}

HRESULT CGrabGraph::Run() { return m_parts->graph ? m_parts->graph->Run() : E_UNEXPECTED; }

HRESULT CGrabGraph::Stop() { return m_parts->graph ? m_parts->graph->Stop() : E_UNEXPECTED; }

bool CGrabGraph::ConnectedSize(LONG* width, LONG* height) const {
    AM_MEDIA_TYPE type = {};
    std::vector<BYTE> format;
    if (!m_parts->sink || !m_parts->sink->Pin()->GetConnectedType(&type, &format) ||
        type.formattype != FORMAT_VideoInfo || format.size() < sizeof(VIDEOINFOHEADER)) {
        return false;
    }
    VIDEOINFOHEADER header;
    std::memcpy(&header, format.data(), sizeof(header));
    *width = header.bmiHeader.biWidth;
    *height = header.bmiHeader.biHeight;
    return true;
}

bool CGrabGraph::ReadStatus(OCULO_STATUS* pStatus) const {
    *pStatus = OCULO_STATUS{};
    pStatus->cbSize = sizeof(*pStatus);
    return m_parts->status && SUCCEEDED(m_parts->status->GetStatus(pStatus));
}

void CGrabGraph::Close() {
    if (m_parts->graph) m_parts->graph->Teardown();  // stops, disconnects and releases the member filters
    m_parts->graph.Reset();
    m_parts->sink.Reset();
    m_parts->status.Reset();
    m_parts->filter.Reset();
}

const char* CGrabGraph::Path() { return "camera -> reader -> filter -> pin -> graph -> snapshot"; }

void CGrabGraph::Abandon(int status) { std::_Exit(status); }
