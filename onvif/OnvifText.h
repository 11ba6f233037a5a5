// Text helpers of the camera search: escaping for the requests we write,
// decoding and cleaning what cameras send. Pure functions; any thread.
#pragma once

#include <string>
#include <string_view>

// Text for an XML element or attribute value.
std::string XmlEscaped(std::string_view text);
// The five predefined entities decoded once (a camera that escaped its
// answer's text twice).
std::string XmlEntitiesDecoded(std::string_view text);
// Text from a camera as a line may show it: valid UTF-8, control characters
// (which could drive a terminal) left out.
std::string PrintableText(std::string_view text);
