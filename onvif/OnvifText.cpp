#include "onvif/OnvifText.h"

#include "text/Unicode.h"

namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

std::string XmlEscaped(std::string_view text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            case '\'': out += "&apos;"; break;
            default: out += c;
        }
    }
    return out;
}

std::string XmlEntitiesDecoded(std::string_view text) {
    static const struct {
        std::string_view entity;
        char c;
    } kEntities[] = {{"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''}};
    std::string out;
    for (size_t at = 0; at < text.size();) {
        bool decoded = false;
        for (const auto& e : kEntities) {
            if (text.compare(at, e.entity.size(), e.entity) == 0) {
                out += e.c;
                at += e.entity.size();
                decoded = true;
                break;
            }
        }
        if (!decoded) out += text[at++];
    }
    return out;
}

std::string PercentDecoded(std::string_view text) {
    std::string out;
    for (size_t at = 0; at < text.size(); ++at) {
        if (text[at] == '%' && at + 2 < text.size() && HexValue(text[at + 1]) >= 0 && HexValue(text[at + 2]) >= 0) {
            out += char(HexValue(text[at + 1]) * 16 + HexValue(text[at + 2]));
            at += 2;
        } else {
            out += text[at];
        }
    }
    return out;
}

std::string PercentEncoded(std::string_view text) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (char c : text) {
        const unsigned char u = static_cast<unsigned char>(c);
        if ((u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') || u == '-' || u == '.' ||
            u == '_' || u == '~') {
            out += c;
        } else {
            out += '%';
            out += kHex[u >> 4];
            out += kHex[u & 15];
        }
    }
    return out;
}

std::string PrintableText(std::string_view text) {
    std::string out;
    for (size_t at = 0; at < text.size();) {
        char32_t code = oculo::text::ReadUtf8(text, &at);
        if (code == oculo::text::kMalformed) code = oculo::text::kReplacementCharacter;
        if (code < 0x20 || (code >= 0x7F && code < 0xA0)) continue;
        char bytes[4];
        out.append(bytes, size_t(oculo::text::EncodeUtf8(code, bytes)));
    }
    return out;
}
