// The camera search's readers of what cameras send, one table per reader:
// the shapes real cameras write (SOAP 1.1 or 1.2, any prefixes, Media or
// Media2) and what must be refused (faults, document types, depth, size,
// values out of range); the one rule that makes a returned stream address
// reachable; the login digest against the published example.
#include <gtest/gtest.h>

#include <string>

#include "onvif/DeviceAnswers.h"
#include "onvif/Discovery.h"
#include "onvif/ServiceAddress.h"
#include "onvif/SoapRequest.h"

namespace {

std::string Soap12(const std::string& body, const std::string& header = "") {
    return "<e:Envelope xmlns:e=\"http://www.w3.org/2003/05/soap-envelope\"><e:Header>" + header +
           "</e:Header><e:Body>" + body + "</e:Body></e:Envelope>";
}
// SOAP 1.1 with default namespaces instead of prefixes.
std::string Soap11(const std::string& body, const std::string& header = "") {
    return "<?xml version=\"1.0\"?><Envelope xmlns=\"http://schemas.xmlsoap.org/soap/envelope/\"><Header>" +
           header + "</Header><Body>" + body + "</Body></Envelope>";
}

const char kMatch[] =
    "<d:ProbeMatches xmlns:d=\"x\"><d:ProbeMatch><a:EndpointReference xmlns:a=\"y\"><a:Address>urn:uuid:1</a:Address>"
    "</a:EndpointReference><d:XAddrs> http://169.254.3.4/onvif/device_service  http://127.0.0.9:8080/onvif/ds "
    "</d:XAddrs><d:Scopes>onvif://www.onvif.org/type/video onvif://www.onvif.org/name/Front%20Door%1B "
    "onvif://www.onvif.org/hardware/IPC-1%2F2</d:Scopes></d:ProbeMatch></d:ProbeMatches>";

TEST(OnvifAnswers, ProbeMatchesInEveryShapeAndNothingUnsafe) {
    const std::string relates = "<w:RelatesTo xmlns:w=\"z\"> urn:uuid:ours </w:RelatesTo>";
    std::string nested;
    for (int i = 0; i < 60; ++i) nested = "<n>" + nested + "</n>";
    const struct {
        const char* what;
        std::string answer;
        bool bRead;
    } cases[] = {
        {"SOAP 1.2, prefixes", Soap12(kMatch, relates), true},
        {"SOAP 1.1, default namespaces", Soap11(kMatch, relates), true},
        {"a document type", "<!DOCTYPE e [<!ENTITY x \"y\">]>" + Soap12(kMatch, relates), false},
        {"too deep", Soap12(nested + kMatch, relates), false},
        {"too large", Soap12(kMatch + std::string(1100000, ' '), relates), false},
        {"not XML", "<e:Envelope", false},
        {"another answer", Soap12("<d:Hello/>", relates), false},
    };
    for (const auto& c : cases) {
        std::string relatesTo;
        std::vector<ProbeMatch> matches;
        ASSERT_EQ(ParseProbeMatches(c.answer, &relatesTo, &matches), c.bRead) << c.what;
        if (!c.bRead) continue;
        EXPECT_EQ(relatesTo, "urn:uuid:ours") << c.what;
        ASSERT_EQ(matches.size(), 1u) << c.what;
        EXPECT_EQ(matches[0].endpoint, "urn:uuid:1");
        EXPECT_EQ(matches[0].name, "Front Door") << "decoded, the control character left out";
        EXPECT_EQ(matches[0].model, "IPC-1/2");
        // The address the answer came from picks its device service, or
        // takes the place of the first one's host.
        EXPECT_EQ(DeviceServiceFor(matches[0].xaddrs, "127.0.0.9"), "http://127.0.0.9:8080/onvif/ds");
        EXPECT_EQ(DeviceServiceFor(matches[0].xaddrs, "127.0.0.7"), "http://127.0.0.7/onvif/device_service");
    }
    // oculo-config prints a device service as it stands: none with control characters.
    EXPECT_EQ(DeviceServiceFor({"http://127.0.0.9/\x1b]0;x\x07", "http://127.0.0.9/ds"}, "127.0.0.9"),
              "http://127.0.0.9/ds");
}

TEST(OnvifAnswers, QuestionsAnsweredByMediaAndMedia2Cameras) {
    int64_t clock = 0;
    const std::string date =
        "<t:GetSystemDateAndTimeResponse xmlns:t=\"d\"><t:SystemDateAndTime><t:UTCDateTime><t:Time><t:Hour>7</t:Hour>"
        "<t:Minute>50</t:Minute><t:Second>45</t:Second></t:Time><t:Date><t:Year>2010</t:Year><t:Month>%M</t:Month>"
        "<t:Day>16</t:Day></t:Date></t:UTCDateTime></t:SystemDateAndTime></t:GetSystemDateAndTimeResponse>";
    std::string good = date, bad = date;
    good.replace(good.find("%M"), 2, "9");
    bad.replace(bad.find("%M"), 2, "13");
    ASSERT_TRUE(ParseCameraClock(Soap11(good), &clock));
    EXPECT_EQ(UtcText(clock), "2010-09-16T07:50:45Z");
    EXPECT_FALSE(ParseCameraClock(Soap12(bad), &clock));
    EXPECT_FALSE(ParseCameraClock(Soap12("<e:Fault/>"), &clock));

    MediaServices services;
    ASSERT_TRUE(ParseMediaServices(
        Soap12("<GetServicesResponse><Service><Namespace>http://www.onvif.org/ver20/media/wsdl</Namespace><XAddr>"
               "http://c/m2</XAddr></Service><Service><Namespace>http://www.onvif.org/ver10/media/wsdl</Namespace>"
               "<XAddr>http://c/m1</XAddr></Service></GetServicesResponse>"),
        &services));
    EXPECT_EQ(services.media2, "http://c/m2");
    EXPECT_EQ(services.media, "http://c/m1");
    ASSERT_TRUE(ParseMediaServices(Soap11("<GetCapabilitiesResponse><Capabilities><Media><XAddr>http://c/m"
                                          "</XAddr></Media></Capabilities></GetCapabilitiesResponse>"),
                                   &services));
    EXPECT_EQ(services.media, "http://c/m");
    EXPECT_EQ(services.media2, "");

    // Media: VideoEncoderConfiguration; Media2: Configurations/VideoEncoder;
    // an audio-only profile and a size that is no number.
    std::vector<MediaProfile> profiles;
    ASSERT_TRUE(ParseProfiles(
        Soap12("<r:GetProfilesResponse xmlns:r=\"m\" xmlns:t=\"s\"><r:Profiles token=\"a\"><t:Name>Main</t:Name>"
               "<t:VideoEncoderConfiguration><t:Encoding>H264</t:Encoding><t:Resolution><t:Width>1920</t:Width>"
               "<t:Height>1080</t:Height></t:Resolution><t:RateControl><t:FrameRateLimit>25</t:FrameRateLimit>"
               "</t:RateControl></t:VideoEncoderConfiguration></r:Profiles><r:Profiles token=\"audio\">"
               "<t:Name>Sound</t:Name></r:Profiles><r:Profiles token=\"b\"><r:Name>Sub</r:Name><r:Configurations>"
               "<r:VideoEncoder><t:Encoding>H265</t:Encoding><t:Resolution><t:Width>wide</t:Width><t:Height>360"
               "</t:Height></t:Resolution><t:RateControl><t:FrameRateLimit>12.5</t:FrameRateLimit></t:RateControl>"
               "</r:VideoEncoder></r:Configurations></r:Profiles></r:GetProfilesResponse>"),
        &profiles));
    ASSERT_EQ(profiles.size(), 2u);
    EXPECT_EQ(profiles[0].token + profiles[0].name + profiles[0].codec, "aMainH.264");
    EXPECT_EQ(profiles[0].width * 10000 + profiles[0].height, 19201080);
    EXPECT_EQ(profiles[0].fps, 25.0);
    EXPECT_EQ(profiles[1].token + profiles[1].name + profiles[1].codec, "bSubH.265");
    EXPECT_EQ(profiles[1].width + profiles[1].height, 0);
    EXPECT_EQ(profiles[1].fps, 12.5);

    std::string uri;
    ASSERT_TRUE(ParseStreamUri(Soap12("<m:GetStreamUriResponse xmlns:m=\"x\"><m:MediaUri><t:Uri xmlns:t=\"s\">"
                                      "rtsp://c/s?a=1&amp;b=2</t:Uri></m:MediaUri></m:GetStreamUriResponse>"),
                               &uri));
    EXPECT_EQ(uri, "rtsp://c/s?a=1&b=2");
    ASSERT_TRUE(ParseStreamUri(Soap11("<GetStreamUriResponse><Uri>rtsp://c/2</Uri></GetStreamUriResponse>"), &uri));
    EXPECT_EQ(uri, "rtsp://c/2");
}

TEST(OnvifAnswers, StreamAddressesMadeReachableByOneRule) {
    const struct {
        const char* returned;
        const char* from;
        const char* reachable;
    } cases[] = {
        {"rtsp://192.0.2.1/live/main?a=1&amp;b=2", "127.0.0.9", "rtsp://127.0.0.9:554/live/main?a=1&b=2"},
        {"rtsp://admin:p@ss@127.0.0.9:8554/s", "127.0.0.9", "rtsp://127.0.0.9:8554/s"},
        {"RTSP://[fe80::1]:10554/s", "127.0.0.9", "rtsp://127.0.0.9:10554/s"},
        {"rtsp://cam/s", "fd00::9", "rtsp://[fd00::9]:554/s"},
        {"http://192.0.2.1/mjpeg", "127.0.0.9", "http://127.0.0.9/mjpeg"},
        {"rtsp://cam:99999/s", "127.0.0.9", ""},
        {"/relative/only", "127.0.0.9", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(ReachableStreamAddress(c.returned, c.from), c.reachable) << c.returned;

    const struct {
        const char* typed;
        const char* service;  // empty: refused
    } typed[] = {
        {"camera.local", "http://camera.local/onvif/device_service"},
        {" 127.0.0.9:8080 ", "http://127.0.0.9:8080/onvif/device_service"},
        {"fe80::1", "http://[fe80::1]/onvif/device_service"},
        {"HTTP://camera/", "http://camera/onvif/device_service"},
        {"http://127.0.0.9:81/onvif/ds", "http://127.0.0.9:81/onvif/ds"},
        {"rtsp://camera/", ""},
        {"user@camera", ""},
        {"two words", ""},
    };
    for (const auto& t : typed) {
        std::string service;
        EXPECT_EQ(DeviceServiceAddress(t.typed, &service) ? service : "", t.service) << t.typed;
    }
}

TEST(OnvifAnswers, LoginDigestAsPublished) {
    std::string nonce = "\x2c\xaa\x88\xe8\x6f\xc0\x8a\x42\x82\x42\xb3\x74\xce\xa6\x45\x96";
    EXPECT_EQ(PasswordDigest(nonce, "2010-09-16T07:50:45Z", "userpassword"), "tuOSpGlFlIXsozq4HFNeeGeFLEI=");
    const std::string header = UsernameTokenHeader("a<b", "secret", 1284623445);
    EXPECT_NE(header.find("<wsse:Username>a&lt;b</wsse:Username>"), std::string::npos);
    EXPECT_NE(header.find("<wsu:Created>2010-09-16T07:50:45Z</wsu:Created>"), std::string::npos);
    EXPECT_EQ(header.find("secret"), std::string::npos);
}

}  // namespace
