// Addresses a camera search meets: a device service's, a media service's,
// a stream's. Split into parts, rebuilt with another host, and the one rule
// by which a stream address a camera returns becomes one we can reach.
//
// Pure functions on text; any thread.
#pragma once

#include <string>
#include <string_view>

struct AddressParts {
    bool valid = false;     // "scheme://authority..." with a usable host and port
    std::string scheme;     // lower case
    bool hasUserInfo = false;
    std::string userInfo;   // as written
    std::string host;       // without the brackets of an IPv6 address
    int port = -1;          // -1: none written
    std::string rest;       // path, query and fragment as written
};

AddressParts SplitAddress(std::string_view address);
// The parts written back as an address (an IPv6 host in brackets).
std::string JoinAddress(const AddressParts& parts);
// The address with `host` in place of its own; its port, path and query kept.
std::string WithHost(const std::string& address, const std::string& host);

// A stream address as a camera returned it, made one we can reach: entities
// left over from the XML decoded, any login inside dropped (the login is
// kept apart), the host replaced by `answeredFrom` (the host its service
// answered at) when they differ, the address's own port kept (554 for RTSP
// when none is written), its path and query as they are. Empty when the
// camera's text is no address.
std::string ReachableStreamAddress(std::string_view returned, const std::string& answeredFrom);

// The device service address for what a person typed: a device service
// address as the search prints it, or a host name or IP address (with a port
// if need be), meaning http://HOST/onvif/device_service. False when the text
// is neither.
bool DeviceServiceAddress(std::string_view typed, std::string* address);
