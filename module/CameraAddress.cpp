#include "module/CameraAddress.h"

CameraAddressParts SplitCameraAddress(const std::wstring& address) {
    CameraAddressParts parts;
    const size_t separator = address.find(L"://");
    if (separator == std::wstring::npos) {
        parts.rest = address;
        return parts;
    }
    parts.scheme = address.substr(0, separator);
    const size_t authorityStart = separator + 3;
    // The user info runs to the last '@' before any query: a password typed
    // with a '/' in it then still counts as user info and is never shown.
    size_t queryStart = address.find_first_of(L"?#", authorityStart);
    if (queryStart == std::wstring::npos) queryStart = address.size();
    const size_t at = address.rfind(L'@', queryStart - 1);
    const bool userInfo = at != std::wstring::npos && at >= authorityStart;
    const size_t hostStart = userInfo ? at + 1 : authorityStart;
    size_t hostEnd = address.find_first_of(L"/?#", hostStart);
    if (hostEnd == std::wstring::npos) hostEnd = address.size();
    parts.hostPort = address.substr(hostStart, hostEnd - hostStart);
    parts.rest = address.substr(hostEnd);
    if (!userInfo) return parts;
    parts.hasUserInfo = true;
    const std::wstring info = address.substr(authorityStart, at - authorityStart);
    const size_t colon = info.find(L':');
    parts.user = info.substr(0, colon);
    if (colon != std::wstring::npos) {
        parts.hasPassword = true;
        parts.password = info.substr(colon + 1);
    }
    return parts;
}

std::wstring MaskUserInfo(const std::wstring& address) {
    const CameraAddressParts parts = SplitCameraAddress(address);
    if (!parts.hasPassword) return address;
    return parts.scheme + L"://" + parts.user + L":***@" + parts.hostPort + parts.rest;
}

std::wstring CameraHostAndPath(const std::wstring& address) {
    const CameraAddressParts parts = SplitCameraAddress(address);
    return parts.hostPort + parts.rest;
}
