// The camera search's readers of what cameras send, one per target
// (ONVIF_READER names it), over any bytes: no crash, no read past the input,
// and what they give back stays within its bounds (printable names,
// bounded counts and sizes, addresses without a login).
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/FuzzInput.h"
#include "onvif/DeviceAnswers.h"
#include "onvif/Discovery.h"
#include "onvif/ServiceAddress.h"

namespace {

enum class Reader { kProbeMatch, kClock, kServices, kProfiles, kStreamUri };
constexpr Reader kReader = Reader(ONVIF_READER);

void CheckPrintable(const std::string& text, const char* what) {
    for (unsigned char c : text) {
        if (c < 0x20 || c == 0x7F) FuzzFail("%s holds a control character", what);
    }
}

void CheckReachable(const std::string& returned) {
    const std::string address = ReachableStreamAddress(returned, "127.0.0.1");
    if (address.empty()) return;
    CheckPrintable(address, "a stream address");
    const AddressParts parts = SplitAddress(address);
    if (!parts.valid || parts.hasUserInfo || parts.host != "127.0.0.1") FuzzFail("a stream address kept a login or host");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view answer(reinterpret_cast<const char*>(data), size);
    switch (kReader) {
        case Reader::kProbeMatch: {
            std::string relatesTo;
            std::vector<ProbeMatch> matches;
            ParseProbeMatches(answer, &relatesTo, &matches);
            for (const ProbeMatch& match : matches) {
                CheckPrintable(match.name, "a name");
                CheckPrintable(match.model, "a model");
                const std::string service = DeviceServiceFor(match.xaddrs, "127.0.0.1");
                if (!service.empty() && SplitAddress(service).host != "127.0.0.1") {
                    FuzzFail("a device service on another host than the answer's");
                }
            }
            break;
        }
        case Reader::kClock: {
            int64_t seconds = 0;
            if (ParseCameraClock(answer, &seconds) && (seconds < 0 || seconds > 253402300800LL))
                FuzzFail("a clock out of range");
            break;
        }
        case Reader::kServices: {
            MediaServices services;
            ParseMediaServices(answer, &services);
            break;
        }
        case Reader::kProfiles: {
            std::vector<MediaProfile> profiles;
            ParseProfiles(answer, &profiles);
            if (profiles.size() > kMaxProfiles) FuzzFail("too many profiles");
            for (const MediaProfile& p : profiles) {
                CheckPrintable(p.name, "a profile name");
                CheckPrintable(p.codec, "a codec");
                if (p.width < 0 || p.width > 65535 || p.height < 0 || p.height > 65535 || !(p.fps >= 0.0) ||
                    p.fps > 1000.0)
                    FuzzFail("a profile's size or rate out of range");
            }
            break;
        }
        case Reader::kStreamUri: {
            std::string uri;
            if (ParseStreamUri(answer, &uri)) CheckReachable(uri);
            CheckReachable(std::string(answer.substr(0, 2048)));
            break;
        }
    }
    return 0;
}
