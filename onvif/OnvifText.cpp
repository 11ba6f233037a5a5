#include "onvif/OnvifText.h"

#include "text/Unicode.h"

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
