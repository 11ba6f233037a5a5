#include "onvif/SoapRequest.h"

#include <algorithm>
#include <cstdio>
#include <memory>

#include "onvif/OnvifText.h"

extern "C" {
#include <libavutil/base64.h>
#include <libavutil/mem.h>
#include <libavutil/random_seed.h>
#include <libavutil/sha.h>
}

namespace {

std::string Base64(const std::string& bytes) {
    std::string text(AV_BASE64_SIZE(bytes.size()), '\0');
    av_base64_encode(&text[0], int(text.size()), reinterpret_cast<const uint8_t*>(bytes.data()), int(bytes.size()));
    text.resize(text.find('\0'));
    return text;
}

// Days since 1970-01-01 of a civil date (proleptic Gregorian).
int64_t DaysFromCivil(int64_t y, int m, int d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

}  // namespace

std::string SoapEnvelope(const std::string& body, const std::string& header) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
           "<s:Envelope xmlns:s=\"http://www.w3.org/2003/05/soap-envelope\""
           " xmlns:tds=\"http://www.onvif.org/ver10/device/wsdl\""
           " xmlns:trt=\"http://www.onvif.org/ver10/media/wsdl\""
           " xmlns:tr2=\"http://www.onvif.org/ver20/media/wsdl\""
           " xmlns:tt=\"http://www.onvif.org/ver10/schema\">" +
           (header.empty() ? std::string() : "<s:Header>" + header + "</s:Header>") + "<s:Body>" + body +
           "</s:Body></s:Envelope>";
}

std::string UtcText(int64_t seconds) {
    int64_t days = seconds / 86400, rest = seconds % 86400;
    if (rest < 0) rest += 86400, --days;
    // Civil date from days (the inverse of DaysFromCivil).
    const int64_t z = days + 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    const int day = int(doy - (153 * mp + 2) / 5 + 1);
    const int month = int(mp < 10 ? mp + 3 : mp - 9);
    const int64_t year = yoe + era * 400 + (month <= 2);
    char text[40];
    std::snprintf(text, sizeof(text), "%04lld-%02d-%02dT%02d:%02d:%02dZ", static_cast<long long>(year), month, day,
                  int(rest / 3600), int(rest / 60 % 60), int(rest % 60));
    return text;
}

int64_t UtcSeconds(int year, int month, int day, int hour, int minute, int second) {
    return DaysFromCivil(year, month, day) * 86400 + int64_t(hour) * 3600 + minute * 60 + second;
}

std::string PasswordDigest(const std::string& nonce, const std::string& created, const std::string& password) {
    std::unique_ptr<AVSHA, decltype(&av_free)> sha(av_sha_alloc(), &av_free);
    if (!sha || av_sha_init(sha.get(), 160) < 0) return std::string();
    const std::string input = nonce + created + password;
    av_sha_update(sha.get(), reinterpret_cast<const uint8_t*>(input.data()), input.size());
    std::string digest(20, '\0');
    av_sha_final(sha.get(), reinterpret_cast<uint8_t*>(&digest[0]));
    return Base64(digest);
}

std::string UsernameTokenHeader(const std::string& user, const std::string& password, int64_t createdUtc) {
    const std::string nonce = RandomBytes(16);
    const std::string created = UtcText(createdUtc);
    return "<wsse:Security s:mustUnderstand=\"1\""
           " xmlns:wsse=\"http://docs.oasis-open.org/wss/2004/01/oasis-200401-wss-wssecurity-secext-1.0.xsd\""
           " xmlns:wsu=\"http://docs.oasis-open.org/wss/2004/01/oasis-200401-wss-wssecurity-utility-1.0.xsd\">"
           "<wsse:UsernameToken><wsse:Username>" +
           XmlEscaped(user) +
           "</wsse:Username><wsse:Password Type=\"http://docs.oasis-open.org/wss/2004/01/"
           "oasis-200401-wss-username-token-profile-1.0#PasswordDigest\">" +
           PasswordDigest(nonce, created, password) +
           "</wsse:Password><wsse:Nonce EncodingType=\"http://docs.oasis-open.org/wss/2004/01/"
           "oasis-200401-wss-soap-message-security-1.0#Base64Binary\">" +
           Base64(nonce) + "</wsse:Nonce><wsu:Created>" + created +
           "</wsu:Created></wsse:UsernameToken></wsse:Security>";
}

std::string RandomBytes(size_t count) {
    std::string bytes;
    while (bytes.size() < count) {
        const uint32_t seed = av_get_random_seed();
        bytes.append(reinterpret_cast<const char*>(&seed), std::min(sizeof(seed), count - bytes.size()));
    }
    return bytes;
}

std::string NewMessageId() {
    std::string b = RandomBytes(16);
    b[6] = char((b[6] & 0x0F) | 0x40);  // version 4
    b[8] = char((b[8] & 0x3F) | 0x80);  // the RFC's variant
    char text[64];
    const auto u = [&b](int i) { return unsigned(static_cast<unsigned char>(b[size_t(i)])); };
    std::snprintf(text, sizeof(text), "urn:uuid:%02x%02x%02x%02x-%02x%02x-%02x%02x-%02x%02x-%02x%02x%02x%02x%02x%02x",
                  u(0), u(1), u(2), u(3), u(4), u(5), u(6), u(7), u(8), u(9), u(10), u(11), u(12), u(13), u(14), u(15));
    return text;
}
