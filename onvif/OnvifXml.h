// Reading a camera's XML answers safely: a bounded size and depth, no
// document type (so no entity of the camera's own is ever expanded), and
// elements found by their local names, whatever prefixes and SOAP version
// the camera writes.
//
// Pure functions on text; any thread.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include <pugixml.hpp>

constexpr size_t kMaxAnswerBytes = 1024 * 1024;
constexpr int kMaxAnswerDepth = 48;

// Parses `text` into `document`; false for an answer that is too large,
// too deep, carries a document type or is no well-formed XML.
bool ParseAnswer(std::string_view text, pugi::xml_document* document);

// The element's name without its prefix ("Envelope" for "s:Envelope").
std::string_view LocalName(const pugi::xml_node& node);
// The first child element, or descendant, of that local name; empty if none.
pugi::xml_node Child(const pugi::xml_node& node, std::string_view localName);
pugi::xml_node Descendant(const pugi::xml_node& node, std::string_view localName);
// The SOAP body of an envelope (SOAP 1.1 or 1.2); empty when the document is none.
pugi::xml_node SoapBody(const pugi::xml_document& document);
// The element's text, without surrounding white space.
std::string Text(const pugi::xml_node& node);
