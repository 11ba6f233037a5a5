// The graph oculo-grab watches a camera through, as each system's capture
// applications have it. On Linux the camera's filter is created through the
// COM runtime from the registered module and connected to the host graph's
// rendering sink (GrabGraphPosix.cpp); on Windows the system device
// enumerator binds the device and ICaptureGraphBuilder2 connects it, on the
// system's own DirectShow, to a Sample Grabber taking RGB24 (GrabGraphWin.cpp).
// Either way every sample goes to the watch, and the camera's status is
// read through the filter's IOculoStatus, when it has one.
//
// Threading: the tool's main thread drives it, with COM initialised
// (multithreaded); Stop may run on another such thread while the main thread
// waits for it. Samples reach the watch on the filter's streaming thread.
#pragma once

#include <memory>
#include <string>

#include "platform/platform.h"
#include "tools/oculo-grab/GrabOptions.h"
#include "tools/oculo-grab/GrabWatch.h"

class CGrabGraph {
public:
    // pWatch outlives the graph.
    explicit CGrabGraph(CGrabWatch* pWatch);
    ~CGrabGraph();
    CGrabGraph(const CGrabGraph&) = delete;
    CGrabGraph& operator=(const CGrabGraph&) = delete;

    // Binds the camera the options name (options.device, else options.slot)
    // and connects it; kGrabOk, or kGrabNoCamera with *error.
    int Open(const GrabOptions& options, std::string* error);
    HRESULT Run();
    HRESULT Stop();
    // The connection's picture size (a positive height: bottom-up rows).
    bool ConnectedSize(LONG* width, LONG* height) const;
    // Fills the whole structure with the camera's status; false when the
    // camera tells none (a device that is not one of Oculo's slots). Never
    // waits on the camera.
    bool ReadStatus(OCULO_STATUS* pStatus) const;
    // Stops, disconnects and releases everything.
    void Close();

    // The way the samples travel, as the tool's second line shows it.
    static const char* Path();
    // Ends the process at once with the status, without unloading modules:
    // for a filter stuck in its stop, which must not keep the tool.
    [[noreturn]] static void Abandon(int status);

private:
    struct Parts;  // each system's graph objects
    std::unique_ptr<Parts> m_parts;
};
