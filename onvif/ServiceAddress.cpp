#include "onvif/ServiceAddress.h"

#include <algorithm>

#include "onvif/OnvifText.h"
#include "text/CameraAddress.h"

namespace {

constexpr int kRtspPort = 554;

bool IsHostCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '-' ||
           c == '_' || c == ':' || c == '%';
}

bool ParsePort(std::string_view text, int* port) {
    if (text.empty() || text.size() > 5) return false;
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
    }
    *port = value;
    return value > 0 && value < 65536;
}

// "host", "host:port", "[v6]" or "[v6]:port" into the parts.
bool SplitHostPort(std::string_view text, AddressParts* parts) {
    std::string_view host = text, port;
    if (!text.empty() && text.front() == '[') {
        const size_t close = text.find(']');
        if (close == std::string_view::npos) return false;
        host = text.substr(1, close - 1);
        const std::string_view after = text.substr(close + 1);
        if (!after.empty() && after.front() != ':') return false;
        if (!after.empty()) port = after.substr(1);
        if (!after.empty() && !ParsePort(port, &parts->port)) return false;
    } else {
        const size_t colon = text.find(':');
        if (colon != std::string_view::npos) {
            host = text.substr(0, colon);
            if (!ParsePort(text.substr(colon + 1), &parts->port)) return false;
        }
    }
    if (host.empty()) return false;
    for (char c : host) {
        if (!IsHostCharacter(c)) return false;
    }
    parts->host = std::string(host);
    return true;
}

}  // namespace

AddressParts SplitAddress(std::string_view address) {
    AddressParts parts;
    const oculo::text::CameraAddressParts split = oculo::text::SplitCameraAddress(address);
    // A camera writes its login percent-encoded: a '/', '?' or '#' before the
    // last '@' means that '@' belongs to the path or query, and such an
    // address is not one a camera search can take apart safely.
    const std::string login = split.user + ":" + split.password;
    if (split.separator != "://" || (split.hasLogin && login.find_first_of("/\\?#") != std::string::npos)) {
        return parts;
    }
    parts.scheme = oculo::text::CameraAddressScheme(address);
    parts.hasUserInfo = split.hasLogin;
    if (split.hasLogin) parts.userInfo = split.hasPassword ? login : split.user;
    parts.rest = split.rest;
    parts.valid = SplitHostPort(split.hostPort, &parts);
    return parts;
}

std::string JoinAddress(const AddressParts& parts) {
    const bool v6 = parts.host.find(':') != std::string::npos;
    std::string address = parts.scheme + "://";
    if (parts.hasUserInfo) address += parts.userInfo + "@";
    address += v6 ? "[" + parts.host + "]" : parts.host;
    if (parts.port >= 0) address += ":" + std::to_string(parts.port);
    return address + parts.rest;
}

std::string WithHost(const std::string& address, const std::string& host) {
    AddressParts parts = SplitAddress(address);
    if (!parts.valid) return std::string();
    parts.host = host;
    return JoinAddress(parts);
}

std::string ReachableStreamAddress(std::string_view returned, const std::string& answeredFrom) {
    AddressParts parts = SplitAddress(XmlEntitiesDecoded(returned));
    if (!parts.valid) return std::string();
    parts.hasUserInfo = false;
    parts.userInfo.clear();
    if (!answeredFrom.empty()) parts.host = answeredFrom;
    if (parts.port < 0 && parts.scheme == "rtsp") parts.port = kRtspPort;
    return PrintableText(JoinAddress(parts));
}

bool DeviceServiceAddress(std::string_view typed, std::string* address) {
    while (!typed.empty() && typed.front() == ' ') typed.remove_prefix(1);
    while (!typed.empty() && typed.back() == ' ') typed.remove_suffix(1);
    if (typed.find("://") != std::string_view::npos) {
        AddressParts parts = SplitAddress(typed);
        if (!parts.valid || (parts.scheme != "http" && parts.scheme != "https")) return false;
        if (parts.rest.empty() || parts.rest == "/") parts.rest = "/onvif/device_service";
        *address = JoinAddress(parts);
        return true;
    }
    // A bare IPv6 address has colons of its own: it takes brackets.
    const size_t colons = size_t(std::count(typed.begin(), typed.end(), ':'));
    const std::string host = colons > 1 && typed.front() != '[' ? "[" + std::string(typed) + "]" : std::string(typed);
    const AddressParts parts = SplitAddress("http://" + host + "/onvif/device_service");
    if (!parts.valid || host.find_first_of("/?#@") != std::string::npos) return false;
    *address = JoinAddress(parts);
    return true;
}
