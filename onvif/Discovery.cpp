#include "onvif/Discovery.h"

#include <algorithm>

#include "onvif/OnvifText.h"
#include "onvif/OnvifXml.h"
#include "onvif/ServiceAddress.h"
#include "text/CameraAddress.h"

namespace {

std::vector<std::string> Words(const std::string& text) {
    std::vector<std::string> words;
    size_t at = 0;
    while (at < text.size()) {
        const size_t start = text.find_first_not_of(" \t\r\n", at);
        if (start == std::string::npos) break;
        const size_t end = std::min(text.find_first_of(" \t\r\n", start), text.size());
        words.push_back(text.substr(start, end - start));
        at = end;
    }
    return words;
}

// The value of the first scope under `prefix`, decoded for a person to read.
std::string ScopeValue(const std::vector<std::string>& scopes, const std::string& prefix) {
    for (const std::string& scope : scopes) {
        if (scope.size() > prefix.size() && scope.compare(0, prefix.size(), prefix) == 0) {
            return PrintableText(oculo::text::PercentDecode(scope.substr(prefix.size())));
        }
    }
    return std::string();
}

}  // namespace

std::string ProbeMessage(const std::string& messageId, const char* type) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
           "<s:Envelope xmlns:s=\"http://www.w3.org/2003/05/soap-envelope\""
           " xmlns:a=\"http://schemas.xmlsoap.org/ws/2004/08/addressing\""
           " xmlns:d=\"http://schemas.xmlsoap.org/ws/2005/04/discovery\""
           " xmlns:dn=\"http://www.onvif.org/ver10/network/wsdl\""
           " xmlns:tds=\"http://www.onvif.org/ver10/device/wsdl\">"
           "<s:Header><a:MessageID>" +
           messageId +
           "</a:MessageID>"
           "<a:To s:mustUnderstand=\"true\">urn:schemas-xmlsoap-org:ws:2005:04:discovery</a:To>"
           "<a:Action s:mustUnderstand=\"true\">http://schemas.xmlsoap.org/ws/2005/04/discovery/Probe</a:Action>"
           "</s:Header><s:Body><d:Probe><d:Types>" +
           type + "</d:Types></d:Probe></s:Body></s:Envelope>";
}

bool ParseProbeMatches(std::string_view answer, std::string* relatesTo, std::vector<ProbeMatch>* matches) {
    matches->clear();
    pugi::xml_document document;
    if (!ParseAnswer(answer, &document)) return false;
    const pugi::xml_node body = SoapBody(document);
    const pugi::xml_node found = Child(body, "ProbeMatches");
    if (!found) return false;
    *relatesTo = Text(Child(Child(document.document_element(), "Header"), "RelatesTo"));
    for (pugi::xml_node node = found.first_child(); node; node = node.next_sibling()) {
        if (LocalName(node) != "ProbeMatch") continue;
        ProbeMatch match;
        match.endpoint = Text(Child(Child(node, "EndpointReference"), "Address"));
        match.xaddrs = Words(Text(Child(node, "XAddrs")));
        const std::vector<std::string> scopes = Words(Text(Child(node, "Scopes")));
        match.name = ScopeValue(scopes, "onvif://www.onvif.org/name/");
        match.model = ScopeValue(scopes, "onvif://www.onvif.org/hardware/");
        if (!match.xaddrs.empty()) matches->push_back(match);
    }
    return true;
}

std::string DeviceServiceFor(const std::vector<std::string>& xaddrs, const std::string& from) {
    const std::string* first = nullptr;
    for (const std::string& xaddr : xaddrs) {
        // Shown as it stands (oculo-config prints it): an address with control
        // characters reaches no camera anyway.
        if (std::any_of(xaddr.begin(), xaddr.end(), [](unsigned char c) { return c < 0x21 || c >= 0x7F; })) continue;
        const AddressParts parts = SplitAddress(xaddr);
        if (parts.scheme != "http" && parts.scheme != "https") continue;
        if (parts.host == from) return xaddr;
        if (!first) first = &xaddr;
    }
    return first ? WithHost(*first, from) : std::string();
}
