// Formatting, conversion and parsing with Windows' rules. Runs on every
// target.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "platform/platform.h"

TEST(PlatformText, WsprintfFormatsWhatTheSystemUses) {
    WCHAR out[1100];
    EXPECT_EQ(wsprintfW(out, L"Oculo %0.2u", 1u), 8);
    EXPECT_STREQ(out, L"Oculo 01");
    wsprintfW(out, L"Oculo %0.2u", 10u);
    EXPECT_STREQ(out, L"Oculo 10");
    wsprintfW(out, L"SOFTWARE\\TALVO\\Oculo\\%0.2u", 0u);
    EXPECT_STREQ(out, L"SOFTWARE\\TALVO\\Oculo\\00");
    wsprintfW(out, L"%d|%d|%i", 0, -2147483647 - 1, 42);
    EXPECT_STREQ(out, L"0|-2147483648|42");
    wsprintfW(out, L"%x|%X|%#x|%08X|%-4d|%4d|%05d", 255u, 0xBEEFu, 16u, 0xABCu, 7, 7, -42);
    EXPECT_STREQ(out, L"ff|BEEF|0x10|00000ABC|7   |   7|-0042");
    wsprintfW(out, L"[%s][%ls][%hs][%.2s][%5s][%c][%%]", L"wide", L"text", "narrow", L"cut", L"r", L'z');
    EXPECT_STREQ(out, L"[wide][text][narrow][cu][    r][z][%]");
}

TEST(PlatformText, WsprintfStopsAt1024Characters) {
    WCHAR out[2048];
    std::wstring longText(1500, L'a');
    EXPECT_EQ(wsprintfW(out, L"%s", longText.c_str()), 1024);  // the cut count, as user32 answers
    EXPECT_EQ(lstrlenW(out), 1023);
    EXPECT_EQ(wsprintfW(out, L"%01500d", 5), 1024);  // an absurd width is cut the same way
}

TEST(PlatformText, LstrcpynAlwaysTerminates) {
    WCHAR out[8];
    for (WCHAR& c : out) c = L'#';
    EXPECT_EQ(lstrcpynW(out, L"abcdefghij", 4), out);
    EXPECT_STREQ(out, L"abc");
    EXPECT_EQ(out[4], L'#');
    lstrcpynW(out, L"ab", 8);
    EXPECT_STREQ(out, L"ab");
    lstrcpynW(out, L"xyz", 1);
    EXPECT_STREQ(out, L"");
    EXPECT_EQ(lstrlenW(nullptr), 0);
    EXPECT_EQ(lstrlenW(L"four"), 4);
}

TEST(PlatformText, WtoiReadsTheLeadingNumber) {
    EXPECT_EQ(_wtoi(L"1"), 1);
    EXPECT_EQ(_wtoi(L"  -17xyz"), -17);
    EXPECT_EQ(_wtoi(L"+8"), 8);
    EXPECT_EQ(_wtoi(L"abc"), 0);
    EXPECT_EQ(_wtoi(L""), 0);
    EXPECT_EQ(_wtoi(L"2147483647"), 2147483647);
}

TEST(PlatformText, WtofReadsTheLeadingNumber) {
    EXPECT_DOUBLE_EQ(_wtof(L"25"), 25.0);
    EXPECT_DOUBLE_EQ(_wtof(L" \t-12.5fps"), -12.5);
    EXPECT_DOUBLE_EQ(_wtof(L"1.5e2"), 150.0);
    EXPECT_DOUBLE_EQ(_wtof(L"2E-1x"), 0.2);
    EXPECT_DOUBLE_EQ(_wtof(L"3e"), 3.0);  // an exponent without digits is not part of the number
    EXPECT_DOUBLE_EQ(_wtof(L".5"), 0.5);
    EXPECT_DOUBLE_EQ(_wtof(L"7."), 7.0);
    EXPECT_DOUBLE_EQ(_wtof(L"fast"), 0.0);
    EXPECT_DOUBLE_EQ(_wtof(L"-"), 0.0);
    EXPECT_DOUBLE_EQ(_wtof(L"."), 0.0);
    EXPECT_TRUE(std::isinf(_wtof(L"1e999")));
}

TEST(PlatformText, CodePageConversionCountsAsWindowsDoes) {
    const char* utf8 = "Caf\xC3\xA9";  // 5 bytes, 4 characters
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, utf8, -1, nullptr, 0), 5);  // with the terminator
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, utf8, 5, nullptr, 0), 4);
    WCHAR wide[8];
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, utf8, -1, wide, 8), 5);
    EXPECT_STREQ(wide, L"Caf\u00e9");
    SetLastError(0);
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, utf8, -1, wide, 4), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, utf8, 0, wide, 8), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));

    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, L"Caf\u00e9", -1, nullptr, 0, nullptr, nullptr), 6);
    char narrow[8];
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, L"Caf\u00e9", -1, narrow, 8, nullptr, nullptr), 6);
    EXPECT_STREQ(narrow, utf8);
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, L"Caf\u00e9", -1, narrow, 5, nullptr, nullptr), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
}

TEST(PlatformText, MalformedUtf8BecomesReplacementCharacters) {
    WCHAR wide[8];
    const char bad[] = {'a', '\xC3', 'b', '\xFF', 0};
    ASSERT_EQ(MultiByteToWideChar(CP_UTF8, 0, bad, -1, wide, 8), 5);
    EXPECT_EQ(wide[0], L'a');
    EXPECT_EQ(wide[1], static_cast<WCHAR>(0xFFFD));
    EXPECT_EQ(wide[2], L'b');
    EXPECT_EQ(wide[3], static_cast<WCHAR>(0xFFFD));
}
