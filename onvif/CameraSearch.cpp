#include "onvif/CameraSearch.h"

#include <algorithm>
#include <cstdlib>
#include <memory>

#include "onvif/Adapters.h"
#include "onvif/Discovery.h"
#include "onvif/SoapRequest.h"
#include "onvif/UdpSocket.h"

namespace {

constexpr int kRepeatAfterMs = 500;
constexpr int kPollMs = 100;
// More than any network holds: answers past it (a flood of made-up cameras)
// are dropped, so the search keeps to its time.
constexpr size_t kMaxCameras = 256;

struct Probe {
    std::string messageId;
    std::string message;
};

// "a.b.c.d" as a number that orders like the address.
uint64_t AddressOrder(const std::string& address) {
    uint64_t order = 0;
    unsigned part = 0;
    for (char c : address) {
        if (c == '.') {
            order = order * 256 + part;
            part = 0;
        } else if (c >= '0' && c <= '9') {
            part = part * 10 + unsigned(c - '0');
        }
    }
    return order * 256 + part;
}

void SendProbes(const std::vector<std::unique_ptr<CUdpSocket>>& sockets, const std::vector<Probe>& probes) {
    for (const auto& socket : sockets) {
        for (const Probe& probe : probes) socket->SendTo(probe.message, kDiscoveryGroup, kDiscoveryPort);
    }
}

// Adds the cameras of one answer, unless it answers another search or
// names a camera already found.
void TakeAnswer(const std::string& answer, const std::string& from, const std::vector<Probe>& probes,
                std::vector<FoundCamera>* cameras) {
    std::string relatesTo;
    std::vector<ProbeMatch> matches;
    if (!ParseProbeMatches(answer, &relatesTo, &matches)) return;
    const bool bOurs =
        std::any_of(probes.begin(), probes.end(), [&](const Probe& p) { return p.messageId == relatesTo; });
    if (!bOurs) return;
    for (const ProbeMatch& match : matches) {
        FoundCamera camera;
        camera.endpoint = match.endpoint.empty() ? from : match.endpoint;
        const bool bKnown = std::any_of(cameras->begin(), cameras->end(),
                                        [&](const FoundCamera& c) { return c.endpoint == camera.endpoint; });
        camera.deviceService = DeviceServiceFor(match.xaddrs, from);
        if (bKnown || camera.deviceService.empty() || cameras->size() >= kMaxCameras) continue;
        camera.name = match.name;
        camera.model = match.model;
        camera.address = from;
        cameras->push_back(camera);
    }
}

}  // namespace

SearchOptions ToolSearchOptions() {
    SearchOptions options;
    const char* loopback = std::getenv("OCULO_SEARCH_LOOPBACK");
    options.bIncludeLoopback = loopback != nullptr && std::string(loopback) == "1";
    return options;
}

OnvifProblem SearchCameras(const SearchOptions& options, const COnvifCancel& cancel, std::vector<FoundCamera>* cameras) {
    cameras->clear();
    std::vector<std::unique_ptr<CUdpSocket>> sockets;
    for (const Adapter& adapter : ListAdapters(options.bIncludeLoopback)) {
        auto socket = std::make_unique<CUdpSocket>();
        if (socket->Open(adapter.address)) sockets.push_back(std::move(socket));
    }
    if (sockets.empty()) return OnvifProblem::kNoAdapter;
    std::vector<CUdpSocket*> waited;
    for (const auto& socket : sockets) waited.push_back(socket.get());

    std::vector<Probe> probes;
    for (const char* type : {kVideoTransmitterType, kDeviceType}) {
        Probe probe;
        probe.messageId = NewMessageId();
        probe.message = ProbeMessage(probe.messageId, type);
        probes.push_back(probe);
    }
    const CDeadline end(std::max(options.seconds, 1) * 1000);
    const CDeadline repeat(kRepeatAfterMs);
    bool bRepeated = false;
    SendProbes(sockets, probes);
    while (!end.Passed() && !cancel.IsCancelled()) {
        if (!bRepeated && repeat.Passed()) {
            SendProbes(sockets, probes);
            bRepeated = true;
        }
        const int wait = std::min(kPollMs, bRepeated ? end.LeftMs() : repeat.LeftMs());
        if (!CUdpSocket::WaitAny(waited, std::max(wait, 1))) continue;
        std::string answer, from;
        for (CUdpSocket* socket : waited) {
            // A flood of datagrams ends with the search's time too.
            while (!end.Passed() && !cancel.IsCancelled() && socket->Receive(&answer, &from)) {
                TakeAnswer(answer, from, probes, cameras);
            }
        }
    }
    if (cancel.IsCancelled()) return OnvifProblem::kCancelled;
    std::sort(cameras->begin(), cameras->end(), [](const FoundCamera& a, const FoundCamera& b) {
        return AddressOrder(a.address) != AddressOrder(b.address) ? AddressOrder(a.address) < AddressOrder(b.address)
                                                                  : a.deviceService < b.deviceService;
    });
    return cameras->empty() ? OnvifProblem::kNothingFound : OnvifProblem::kNone;
}
