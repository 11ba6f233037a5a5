#include "onvif/DeviceAnswers.h"

#include <cmath>
#include <cstdlib>

#include "onvif/OnvifText.h"
#include "onvif/OnvifXml.h"
#include "onvif/SoapRequest.h"

namespace {

constexpr size_t kMaxNameBytes = 128;
constexpr int kMaxSide = 65535;

// The body's answer of that local name; empty for a fault or another answer.
pugi::xml_node Answer(const pugi::xml_document& document, std::string_view name) {
    return Child(SoapBody(document), name);
}

bool Whole(const pugi::xml_node& node, int minimum, int maximum, int* value) {
    const std::string text = Text(node);
    if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos) return false;
    *value = std::atoi(text.c_str());
    return *value >= minimum && *value <= maximum;
}

std::string Shown(const std::string& text) {
    std::string shown = PrintableText(text);
    if (shown.size() > kMaxNameBytes) shown = PrintableText(shown.substr(0, kMaxNameBytes));
    return shown;
}

std::string CodecName(const std::string& encoding) {
    if (encoding == "H264") return "H.264";
    if (encoding == "H265") return "H.265";
    if (encoding == "MPEG4" || encoding == "MP4V-ES") return "MPEG-4";
    return Shown(encoding);
}

double FrameRate(const pugi::xml_node& node) {
    const std::string text = Text(node);
    if (text.empty() || text.size() > 16 || text.find_first_not_of("0123456789.") != std::string::npos) return 0.0;
    const double fps = std::strtod(text.c_str(), nullptr);
    return std::isfinite(fps) && fps > 0.0 && fps <= 1000.0 ? fps : 0.0;
}

}  // namespace

bool ParseCameraClock(std::string_view answer, int64_t* utcSeconds) {
    pugi::xml_document document;
    if (!ParseAnswer(answer, &document)) return false;
    const pugi::xml_node utc =
        Child(Child(Answer(document, "GetSystemDateAndTimeResponse"), "SystemDateAndTime"), "UTCDateTime");
    const pugi::xml_node date = Child(utc, "Date"), time = Child(utc, "Time");
    int year, month, day, hour, minute, second;
    if (!Whole(Child(date, "Year"), 1970, 9999, &year) || !Whole(Child(date, "Month"), 1, 12, &month) ||
        !Whole(Child(date, "Day"), 1, 31, &day) || !Whole(Child(time, "Hour"), 0, 23, &hour) ||
        !Whole(Child(time, "Minute"), 0, 59, &minute) || !Whole(Child(time, "Second"), 0, 60, &second)) {
        return false;
    }
    *utcSeconds = UtcSeconds(year, month, day, hour, minute, second);
    return true;
}

bool ParseMediaServices(std::string_view answer, MediaServices* services) {
    *services = MediaServices();
    pugi::xml_document document;
    if (!ParseAnswer(answer, &document)) return false;
    if (const pugi::xml_node list = Answer(document, "GetServicesResponse")) {
        for (pugi::xml_node service = list.first_child(); service; service = service.next_sibling()) {
            if (LocalName(service) != "Service") continue;
            const std::string space = Text(Child(service, "Namespace"));
            const std::string address = Text(Child(service, "XAddr"));
            if (space == "http://www.onvif.org/ver10/media/wsdl") services->media = address;
            if (space == "http://www.onvif.org/ver20/media/wsdl") services->media2 = address;
        }
        return true;
    }
    const pugi::xml_node capabilities = Child(Answer(document, "GetCapabilitiesResponse"), "Capabilities");
    if (!capabilities) return false;
    services->media = Text(Child(Child(capabilities, "Media"), "XAddr"));
    return true;
}

bool ParseProfiles(std::string_view answer, std::vector<MediaProfile>* profiles) {
    profiles->clear();
    pugi::xml_document document;
    if (!ParseAnswer(answer, &document)) return false;
    const pugi::xml_node list = Answer(document, "GetProfilesResponse");
    if (!list) return false;
    for (pugi::xml_node node = list.first_child(); node && profiles->size() < kMaxProfiles;
         node = node.next_sibling()) {
        if (LocalName(node) != "Profiles") continue;
        // Media: VideoEncoderConfiguration; Media2: Configurations/VideoEncoder.
        pugi::xml_node encoder = Child(node, "VideoEncoderConfiguration");
        if (!encoder) encoder = Child(Child(node, "Configurations"), "VideoEncoder");
        MediaProfile profile;
        profile.token = node.attribute("token").value();
        if (!encoder || profile.token.empty()) continue;
        profile.name = Shown(Text(Child(node, "Name")));
        profile.codec = CodecName(Text(Child(encoder, "Encoding")));
        const pugi::xml_node resolution = Child(encoder, "Resolution");
        if (!Whole(Child(resolution, "Width"), 1, kMaxSide, &profile.width) ||
            !Whole(Child(resolution, "Height"), 1, kMaxSide, &profile.height)) {
            profile.width = profile.height = 0;
        }
        profile.fps = FrameRate(Child(Child(encoder, "RateControl"), "FrameRateLimit"));
        profiles->push_back(profile);
    }
    return true;
}

bool ParseStreamUri(std::string_view answer, std::string* uri) {
    pugi::xml_document document;
    if (!ParseAnswer(answer, &document)) return false;
    *uri = Text(Descendant(Answer(document, "GetStreamUriResponse"), "Uri"));
    return !uri->empty();
}
