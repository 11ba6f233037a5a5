// The codec's edges, once, on whichever WCHAR the target has.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "text/Unicode.h"

using namespace oculo::text;

namespace {

// One code point past U+FFFF: a surrogate pair where WCHAR is 16-bit.
const std::wstring kCamera = L"\U0001F4F7";
const std::wstring kHigh(1, wchar_t(0xD800));
const std::wstring kLow(1, wchar_t(0xDC00));
const std::string kUtf8Replacement = "\xEF\xBF\xBD";

}  // namespace

TEST(Unicode, Utf8OfEveryLengthRoundTrips) {
    const std::string utf8 = "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x93\xB7";
    std::wstring wide;
    EXPECT_TRUE(Utf8ToWide(utf8, &wide));
    EXPECT_EQ(wide, L"a\u00E9\u20AC" + kCamera);
    EXPECT_EQ(wide.size(), sizeof(wchar_t) == 2 ? 5u : 4u);
    EXPECT_EQ(WideToUtf8(wide), utf8);
}

TEST(Unicode, MalformedUtf8IsReplacedAndTold) {
    const struct {
        std::string bytes;
        size_t replaced;  // U+FFFD in the result: a malformed sequence costs one byte at a time
    } cases[] = {
        {"\x80", 1},              // a stray continuation byte
        {"\xE2\x82", 2},          // cut short by the end
        {"\xC0\x80", 2},          // an overlong NUL
        {"\xED\xA0\x80", 3},      // a surrogate half
        {"\xF4\x90\x80\x80", 4},  // past U+10FFFF
        {"\xF8\x88\x80\x80\x80", 5},
    };
    for (const auto& c : cases) {
        std::wstring wide;
        EXPECT_FALSE(Utf8ToWide(c.bytes + "a", &wide)) << c.bytes;
        EXPECT_EQ(wide, std::wstring(c.replaced, wchar_t(kReplacementCharacter)) + L"a");
    }
    size_t at = 0;
    EXPECT_EQ(ReadUtf8("\xC3"
                       "a",
                       &at),
              kMalformed);  // the next character is read afresh
    EXPECT_EQ(ReadUtf8("\xC3"
                       "a",
                       &at),
              U'a');
}

TEST(Unicode, UnpairedHalvesAreKeptInUtf16AndReplacedInUtf8) {
    // A pair, a high half before a plain character, a lone low half, a high half at the end.
    const std::string utf16(
        "\x3D\xD8\xF7\xDC"
        "\x00\xD8"
        "A\x00"
        "\x00\xDC"
        "\x00\xD8",
        12);
    const std::wstring expected = kCamera + kHigh + L"A" + kLow + kHigh;
    std::wstring wide;
    EXPECT_TRUE(Utf16LeToWide(utf16, &wide));
    EXPECT_EQ(wide, expected);
    EXPECT_EQ(WideToUtf16Le(wide), utf16);
    EXPECT_EQ(WideToUtf8(wide),
              "\xF0\x9F\x93\xB7" + kUtf8Replacement + "A" + kUtf8Replacement + kUtf8Replacement);

    wide.clear();
    EXPECT_FALSE(Utf16LeToWide(std::string("A\0B", 3), &wide));  // an odd last byte is left out
    EXPECT_EQ(wide, L"A");
    if (sizeof(wchar_t) == 4) {  // only a UTF-32 WCHAR can hold a value past U+10FFFF
        const std::wstring beyond(1, wchar_t(0x110000));
        EXPECT_EQ(WideToUtf16Le(beyond), "\xFD\xFF");
        EXPECT_EQ(WideToUtf8(beyond), kUtf8Replacement);
    }
}
