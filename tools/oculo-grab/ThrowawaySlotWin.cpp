#include "tools/oculo-grab/ThrowawaySlot.h"

CThrowawaySlot::~CThrowawaySlot() = default;

bool CThrowawaySlot::Create(std::string* error) {
    *error = "--url needs a registry of its own, which Windows has not: configure a slot (oculo-config set N "
             "url=...), register it (oculo-config register) and use --slot N";
    return false;
}

bool CThrowawaySlot::Configure(const std::string&, const std::string&, std::string* error) {
    return Create(error);
}
