#include "onvif/OnvifXml.h"

namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Depth of the deepest element, walked without recursion.
int Depth(const pugi::xml_node& root) {
    int depth = 0, deepest = 0;
    pugi::xml_node node = root.first_child();
    while (node) {
        if (node.first_child()) {
            node = node.first_child();
            if (++depth > deepest) deepest = depth;
            continue;
        }
        while (node && !node.next_sibling()) {
            node = node.parent();
            --depth;
            if (node == root) return deepest;
        }
        if (node) node = node.next_sibling();
    }
    return deepest;
}

}  // namespace

bool ParseAnswer(std::string_view text, pugi::xml_document* document) {
    document->reset();
    if (text.size() > kMaxAnswerBytes) return false;
    // A document type could declare entities; no camera answer needs one.
    if (text.find("<!DOCTYPE") != std::string_view::npos || text.find("<!ENTITY") != std::string_view::npos) {
        return false;
    }
    const unsigned options = pugi::parse_default & ~pugi::parse_doctype;
    const pugi::xml_parse_result result =
        document->load_buffer(text.data(), text.size(), options, pugi::encoding_utf8);
    if (!result || Depth(*document) > kMaxAnswerDepth) {
        document->reset();
        return false;
    }
    return true;
}

std::string_view LocalName(const pugi::xml_node& node) {
    const std::string_view name = node.name();
    const size_t colon = name.find(':');
    return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

pugi::xml_node Child(const pugi::xml_node& node, std::string_view localName) {
    for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) {
        if (child.type() == pugi::node_element && LocalName(child) == localName) return child;
    }
    return pugi::xml_node();
}

pugi::xml_node Descendant(const pugi::xml_node& node, std::string_view localName) {
    return node.find_node([localName](const pugi::xml_node& n) {
        return n.type() == pugi::node_element && LocalName(n) == localName;
    });
}

pugi::xml_node SoapBody(const pugi::xml_document& document) {
    const pugi::xml_node envelope = document.document_element();
    return LocalName(envelope) == "Envelope" ? Child(envelope, "Body") : pugi::xml_node();
}

std::string Text(const pugi::xml_node& node) {
    std::string_view text = node.child_value();
    while (!text.empty() && IsSpace(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsSpace(text.back())) text.remove_suffix(1);
    return std::string(text);
}
