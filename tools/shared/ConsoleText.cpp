#include "tools/shared/ConsoleText.h"

#include <vector>

#include "text/CameraAddress.h"

// The ANSI code page is what a Windows console hands to main(); the POSIX
// stand-in reads it as UTF-8, which is what a Linux terminal gives.
std::wstring ToWide(const char* text) {
    if (text == nullptr || text[0] == 0) return std::wstring();
    const int units = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (units <= 0) return std::wstring();
    std::vector<WCHAR> buffer(size_t(units), 0);
    if (MultiByteToWideChar(CP_ACP, 0, text, -1, buffer.data(), units) != units) return std::wstring();
    return std::wstring(buffer.data());
}

std::string ToNarrow(LPCWSTR text) {
    if (text == nullptr || text[0] == 0) return std::string();
    const int bytes = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) return std::string();
    std::vector<char> buffer(size_t(bytes), 0);
    if (WideCharToMultiByte(CP_ACP, 0, text, -1, buffer.data(), bytes, nullptr, nullptr) != bytes) {
        return std::string();
    }
    return std::string(buffer.data());
}

std::string ShownAddress(LPCWSTR address) {
    return ToNarrow(oculo::text::MaskCameraAddress(address != nullptr ? address : L"").c_str());
}

std::string ShownAddress(const char* text) { return ShownAddress(ToWide(text).c_str()); }
