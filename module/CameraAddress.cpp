#include "module/CameraAddress.h"

#include "platform/platform.h"

namespace {

std::string Utf8(const std::wstring& text) {
    if (text.empty()) return std::string();
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), int(text.size()), nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) return std::string();
    std::string narrow(size_t(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), int(text.size()), &narrow[0], bytes, nullptr, nullptr);
    return narrow;
}

std::wstring FromUtf8(const std::string& bytes) {
    if (bytes.empty()) return std::wstring();
    const int units = MultiByteToWideChar(CP_UTF8, 0, bytes.data(), int(bytes.size()), nullptr, 0);
    if (units <= 0) return std::wstring();
    std::wstring wide(size_t(units), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, bytes.data(), int(bytes.size()), &wide[0], units);
    return wide;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// As the camera reader's FFmpeg decodes user info: "%XX" is a byte, a '%'
// without two hex digits after it stays itself.
std::wstring PercentDecode(const std::wstring& part) {
    const std::string bytes = Utf8(part);
    std::string decoded;
    for (size_t i = 0; i < bytes.size(); ++i) {
        const int high = bytes[i] == '%' && i + 2 < bytes.size() ? HexValue(bytes[i + 1]) : -1;
        const int low = high >= 0 ? HexValue(bytes[i + 2]) : -1;
        if (low < 0) {
            decoded += bytes[i];
            continue;
        }
        decoded += char(high * 16 + low);
        i += 2;
    }
    return FromUtf8(decoded);
}

std::wstring PercentEncode(const std::wstring& text) {
    static const char kHex[] = "0123456789ABCDEF";
    std::wstring encoded;
    for (const char c : Utf8(text)) {
        const unsigned char byte = static_cast<unsigned char>(c);
        const bool unreserved = (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') ||
                                (byte >= '0' && byte <= '9') || byte == '-' || byte == '.' || byte == '_' ||
                                byte == '~';
        if (unreserved) {
            encoded += WCHAR(byte);
            continue;
        }
        encoded += L'%';
        encoded += WCHAR(kHex[byte >> 4]);
        encoded += WCHAR(kHex[byte & 15]);
    }
    return encoded;
}

}  // namespace

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

namespace {

// Query parameters through which cameras take a password ("?user=admin&pwd=...").
bool IsPasswordParameter(const std::wstring& name) {
    static const wchar_t* const kNames[] = {L"password", L"passwd", L"pass", L"pwd", L"psw", L"pw"};
    std::wstring lower;
    for (wchar_t c : name) lower += (c >= L'A' && c <= L'Z') ? wchar_t(c - L'A' + L'a') : c;
    for (const wchar_t* known : kNames) {
        if (lower == known) return true;
    }
    return false;
}

// The query's password values as "***"; the fragment is left as it is.
std::wstring MaskQuery(const std::wstring& rest) {
    const size_t query = rest.find(L'?');
    if (query == std::wstring::npos) return rest;
    const size_t fragment = rest.find(L'#', query);
    const size_t end = fragment == std::wstring::npos ? rest.size() : fragment;
    std::wstring masked = rest.substr(0, query + 1);
    for (size_t start = query + 1; start <= end;) {
        size_t next = rest.find(L'&', start);
        if (next == std::wstring::npos || next > end) next = end;
        const std::wstring pair = rest.substr(start, next - start);
        const size_t equals = pair.find(L'=');
        const bool secret = equals != std::wstring::npos && IsPasswordParameter(pair.substr(0, equals));
        masked += secret ? pair.substr(0, equals + 1) + L"***" : pair;
        if (next < end) masked += L'&';
        start = next + 1;
    }
    return masked + rest.substr(end);
}

}  // namespace

std::wstring MaskUserInfo(const std::wstring& address) {
    const CameraAddressParts parts = SplitCameraAddress(address);
    const std::wstring rest = MaskQuery(parts.rest);
    if (!parts.hasPassword && rest == parts.rest) return address;
    const std::wstring userInfo = !parts.hasUserInfo ? L""
                                  : parts.hasPassword ? parts.user + L":***@"
                                                      : parts.user + L"@";
    return parts.scheme + L"://" + userInfo + parts.hostPort + rest;
}

std::wstring CameraHostAndPath(const std::wstring& address) {
    const CameraAddressParts parts = SplitCameraAddress(address);
    return parts.hostPort + parts.rest;
}

std::wstring CameraAddressWithoutLogin(const std::wstring& address) {
    const CameraAddressParts parts = SplitCameraAddress(address);
    if (!parts.hasUserInfo) return address;
    return parts.scheme + L"://" + parts.hostPort + parts.rest;
}

CameraLogin CameraAddressLogin(const std::wstring& address) {
    const CameraAddressParts parts = SplitCameraAddress(address);
    return CameraLogin{PercentDecode(parts.user), PercentDecode(parts.password)};
}

std::wstring WithCameraLogin(const std::wstring& address, const CameraLogin& login) {
    const CameraAddressParts parts = SplitCameraAddress(address);
    if (parts.scheme.empty() && address.find(L"://") == std::wstring::npos) return address;
    std::wstring userInfo;
    if (!login.user.empty() || !login.password.empty()) {
        userInfo = PercentEncode(login.user);
        if (!login.password.empty()) userInfo += L":" + PercentEncode(login.password);
        userInfo += L"@";
    }
    return parts.scheme + L"://" + userInfo + parts.hostPort + parts.rest;
}
