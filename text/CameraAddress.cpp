#include "text/CameraAddress.h"

#include <algorithm>

#include "text/Unicode.h"

namespace oculo::text {

namespace {

constexpr char kMask[] = "***";

bool IsLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

bool IsSchemeCharacter(char c) {
    return IsLetter(c) || IsDigit(c) || c == '+' || c == '-' || c == '.';
}

// Between key=value pairs in a path or query.
bool IsPairSeparator(char c) {
    return c == '&' || c == ';' || c == '/' || c == '?' || c == '_';
}

// Where words of free text end.
bool IsWordBreak(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\'' || c == '"' || c == '<' || c == '>';
}

int HexValue(char c) {
    if (IsDigit(c)) return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string PercentDecode(std::string_view part) {
    std::string decoded;
    for (size_t i = 0; i < part.size(); ++i) {
        const int high = part[i] == '%' && i + 2 < part.size() ? HexValue(part[i + 1]) : -1;
        const int low = high >= 0 ? HexValue(part[i + 2]) : -1;
        if (low < 0) {
            decoded += part[i];
            continue;
        }
        decoded += char(high * 16 + low);
        i += 2;
    }
    return decoded;
}

std::string PercentEncode(std::string_view text) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string encoded;
    for (const char c : text) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (IsLetter(c) || IsDigit(c) || c == '-' || c == '.' || c == '_' || c == '~') {
            encoded += c;
            continue;
        }
        encoded += '%';
        encoded += kHex[byte >> 4];
        encoded += kHex[byte & 15];
    }
    return encoded;
}

// The length of the scheme and its separator at the start of `address`
// ("rtsp://", "rtsp:\\"), or 0 when it starts with none.
size_t SchemeLength(std::string_view address, size_t* separatorAt) {
    if (address.empty() || !IsLetter(address[0])) return 0;
    size_t colon = 1;
    while (colon < address.size() && IsSchemeCharacter(address[colon])) ++colon;
    if (colon >= address.size() || address[colon] != ':') return 0;
    size_t end = colon + 1;
    while (end < address.size() && (address[end] == '/' || address[end] == '\\')) ++end;
    if (end == colon + 1) return 0;
    *separatorAt = colon;
    return end;
}

std::string Join(const CameraAddressParts& parts) {
    std::string address = parts.scheme + parts.separator;
    if (parts.hasLogin) {
        address += parts.user;
        if (parts.hasPassword) address += ":" + parts.password;
        address += '@';
    }
    return address + parts.hostPort + parts.rest;
}

// Whether a key of at least one character and its '=' start at `at`.
bool PairStartsAt(const std::string& text, size_t at) {
    size_t end = at;
    while (end < text.size() && !IsPairSeparator(text[end]) && text[end] != '=') ++end;
    return end > at && end < text.size() && text[end] == '=';
}

// Each secret pair's value as "***". A key runs back to the '=' or the
// separator before it, '_' aside, so that "admin_password" and "pass_word"
// are judged whole.
std::string MaskSecretPairs(std::string text) {
    for (size_t equals = text.find('='); equals != std::string::npos; equals = text.find('=', equals + 1)) {
        size_t key = equals;
        while (key > 0 && text[key - 1] != '=' && (!IsPairSeparator(text[key - 1]) || text[key - 1] == '_'))
            --key;
        if (!IsSecretKey(std::string_view(text).substr(key, equals - key))) continue;
        size_t end = equals + 1;
        while (end < text.size() && !(IsPairSeparator(text[end]) && PairStartsAt(text, end + 1))) ++end;
        if (end == equals + 1) continue;
        text.replace(equals + 1, end - equals - 1, kMask);
        equals += sizeof(kMask) - 1;
    }
    return text;
}

}  // namespace

CameraAddressParts SplitCameraAddress(std::string_view address) {
    CameraAddressParts parts;
    size_t separatorAt = 0;
    const size_t start = SchemeLength(address, &separatorAt);
    if (start > 0) {
        parts.scheme = std::string(address.substr(0, separatorAt));
        parts.separator = std::string(address.substr(separatorAt, start - separatorAt));
    }
    size_t hostStart = start;
    const size_t at = address.rfind('@');
    if (at != std::string_view::npos && at >= start) {
        parts.hasLogin = true;
        const std::string_view login = address.substr(start, at - start);
        const size_t colon = login.find(':');
        parts.user = std::string(login.substr(0, colon));
        if (colon != std::string_view::npos) {
            parts.hasPassword = true;
            parts.password = std::string(login.substr(colon + 1));
        }
        hostStart = at + 1;
    }
    const size_t hostEnd = std::min(address.find_first_of("/\\?#", hostStart), address.size());
    parts.hostPort = std::string(address.substr(hostStart, hostEnd - hostStart));
    parts.rest = std::string(address.substr(hostEnd));
    return parts;
}

std::string CameraAddressScheme(std::string_view address) {
    const CameraAddressParts parts = SplitCameraAddress(address);
    if (parts.separator.compare(0, 3, "://") != 0) return std::string();
    std::string scheme = parts.scheme;
    for (char& c : scheme) c = Lower(c);
    return scheme;
}

bool IsSecretKey(std::string_view key) {
    static const char* const kWords[] = {"pass", "pwd",  "pw",     "psw",  "token",
                                         "key",  "auth", "secret", "cred", "sig"};
    std::string lower = PercentDecode(key);
    for (char& c : lower) c = Lower(c);
    for (const char* word : kWords) {
        if (lower.find(word) != std::string::npos) return true;
    }
    return false;
}

std::string MaskCameraAddress(std::string_view address) {
    CameraAddressParts parts = SplitCameraAddress(address);
    if (parts.hasPassword) parts.password = kMask;
    return MaskSecretPairs(Join(parts));
}

std::wstring MaskCameraAddress(std::wstring_view address) {
    return Utf8ToWide(MaskCameraAddress(WideToUtf8(address)));
}

std::string MaskCameraText(std::string_view text, std::string_view secret) {
    std::string line(text);
    if (!secret.empty()) {
        for (size_t at = line.find(secret); at != std::string::npos;
             at = line.find(secret, at + sizeof(kMask) - 1)) {
            line.replace(at, secret.size(), kMask);
        }
    }
    std::string masked;
    for (size_t start = 0; start < line.size();) {
        size_t end = start;
        while (end < line.size() && !IsWordBreak(line[end])) ++end;
        masked += MaskCameraAddress(std::string_view(line).substr(start, end - start));
        if (end < line.size()) masked += line[end++];
        start = end;
    }
    return masked;
}

std::string CameraHostAndPort(std::string_view address) {
    return SplitCameraAddress(address).hostPort;
}

std::wstring CameraHostAndPort(std::wstring_view address) {
    return Utf8ToWide(CameraHostAndPort(WideToUtf8(address)));
}

bool HasCameraLogin(std::wstring_view address) {
    return SplitCameraAddress(WideToUtf8(address)).hasLogin;
}

std::wstring CameraAddressWithoutLogin(std::wstring_view address) {
    CameraAddressParts parts = SplitCameraAddress(WideToUtf8(address));
    if (!parts.hasLogin) return std::wstring(address);
    parts.hasLogin = false;
    return Utf8ToWide(Join(parts));
}

CameraLogin CameraAddressLogin(std::wstring_view address) {
    const CameraAddressParts parts = SplitCameraAddress(WideToUtf8(address));
    return CameraLogin{Utf8ToWide(PercentDecode(parts.user)), Utf8ToWide(PercentDecode(parts.password))};
}

std::wstring WithCameraLogin(std::wstring_view address, const CameraLogin& login) {
    CameraAddressParts parts = SplitCameraAddress(WideToUtf8(address));
    if (parts.scheme.empty()) return std::wstring(address);
    parts.user = PercentEncode(WideToUtf8(login.user));
    parts.password = PercentEncode(WideToUtf8(login.password));
    parts.hasPassword = !login.password.empty();
    parts.hasLogin = !login.user.empty() || parts.hasPassword;
    return Utf8ToWide(Join(parts));
}

}  // namespace oculo::text
