// WS-Discovery's two messages as a camera search uses them: the Probe it
// sends, and the ProbeMatches a camera answers with, read whatever SOAP
// version and prefixes the camera writes.
//
// Pure functions on text; any thread.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// The multicast group and port every camera listens on.
constexpr const char* kDiscoveryGroup = "239.255.255.250";
constexpr unsigned short kDiscoveryPort = 3702;

// The types a search asks for: video transmitters, and ONVIF devices (some
// cameras answer only the second).
constexpr const char* kVideoTransmitterType = "dn:NetworkVideoTransmitter";
constexpr const char* kDeviceType = "tds:Device";

// A Probe for `type` (one of the two above), its namespace declared on the
// envelope, with `messageId` ("urn:uuid:...").
std::string ProbeMessage(const std::string& messageId, const char* type);

// One camera's ProbeMatch.
struct ProbeMatch {
    std::string endpoint;             // its endpoint reference: the same camera whatever address it answers from
    std::vector<std::string> xaddrs;  // its device service addresses, as listed
    std::string name;                 // from its scopes (onvif://www.onvif.org/name/...), decoded
    std::string model;                // from its scopes (.../hardware/...), decoded
};

// The matches of a ProbeMatches answer and the MessageID it relates to.
// False for anything that is no such answer.
bool ParseProbeMatches(std::string_view answer, std::string* relatesTo, std::vector<ProbeMatch>* matches);

// The device service address to ask a camera at: the listed address whose
// host is `from` (the address its answer came from); else the first http
// address with its host replaced by `from`, since a camera behind NAT or with
// several interfaces lists addresses that cannot be reached from here.
std::string DeviceServiceFor(const std::vector<std::string>& xaddrs, const std::string& from);
