// The status card as pixels: its font, what it shows over a picture, and
// that any image size is drawn inside the image.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "filter/CardFont.h"
#include "filter/FrameStore.h"
#include "filter/StatusCard.h"

namespace {

constexpr DWORD kWhite = 0xF4F4F4, kQuiet = 0xB4B4B4, kShadow = 0, kRed = 0xE04848, kStripText = 0x141414;

// A store-shaped image of one colour (0xRRGGBB), its row padding 0xAB, with
// 64 guard bytes (0xCD) before and after.
struct Image {
    LONG w, h;
    size_t stride;
    std::vector<BYTE> bytes;
    Image(LONG width, LONG height, DWORD rgb)
        : w(width),
          h(height),
          stride(size_t(CFrameStore::StoreStride(width))),
          bytes(128 + stride * height, 0xAB) {
        std::fill_n(bytes.begin(), 64, 0xCD);
        std::fill_n(bytes.end() - 64, 64, 0xCD);
        for (LONG y = 0; y < h; ++y) {
            for (LONG x = 0; x < w; ++x) std::memcpy(Pixel(x, y), &rgb, 3);  // little-endian: B, G, R
        }
    }
    BYTE* Data() { return &bytes[64]; }
    BYTE* Pixel(LONG x, LONG y) {
        return Data() + size_t(h - 1 - y) * stride + size_t(x) * 3;
    }  // y from the top
    DWORD At(LONG x, LONG y) {
        return DWORD(Pixel(x, y)[2]) << 16 | DWORD(Pixel(x, y)[1]) << 8 | Pixel(x, y)[0];
    }
};

// A line of text: the extent of the pixels of one of `inks` in a run of rows.
struct Band {
    LONG top, left, right;
    DWORD colour;
};

// The lines of text between rows `from` and `to`, in columns `left` to `right`.
std::vector<Band> Bands(Image& image, LONG from, LONG to, const std::set<DWORD>& inks, LONG left = 0,
                        LONG right = -1) {
    std::vector<Band> bands;
    bool inBand = false;
    for (LONG y = from; y < to; ++y) {
        bool ink = false;
        for (LONG x = left; x < (right < 0 ? image.w : right); ++x) {
            const DWORD c = image.At(x, y);
            if (!inks.count(c)) continue;
            if (!inBand) bands.push_back({y, x, x, c});
            Band& band = bands.back();
            band.left = std::min(band.left, x), band.right = std::max(band.right, x);
            ink = inBand = true;
        }
        inBand = ink;
    }
    return bands;
}

StatusCardText LoginRefused(const std::wstring& name) {
    StatusCardFacts facts = {};
    facts.status.lState = OCULO_STATE_LOGIN_REFUSED;
    std::wcscpy(facts.status.szReason, L"Login refused (HTTP 401): check the user name and password");
    facts.msSincePicture = 125000;
    facts.now.wHour = 14, facts.now.wMinute = 3, facts.now.wSecond = 27;
    return DescribeStatus(facts, name, L"192.168.1.20:554");
}

std::vector<uint8_t> GlyphOf(wchar_t ch) {
    return {CardGlyph(ch), CardGlyph(ch) + kCardCellHeight};
}

}  // namespace

// Every ASCII and Latin-1 character has a glyph of its own (the two spaces
// excepted), within five columns; anything else is the box, never nothing.
TEST(CardFont, EveryLatin1CharacterHasItsOwnGlyphOthersTheBox) {
    const std::vector<uint8_t> box = GlyphOf(0x100);
    EXPECT_NE(box, std::vector<uint8_t>(kCardCellHeight, 0));
    std::set<std::vector<uint8_t>> seen;
    for (wchar_t ch = 0x20; ch <= 0xFF; ch = ch == 0x7E ? 0xA0 : ch + 1) {
        const std::vector<uint8_t> glyph = GlyphOf(ch);
        EXPECT_TRUE(CardFontHas(ch) && glyph != box) << unsigned(ch);
        EXPECT_TRUE(seen.insert(glyph).second || ch == 0xA0) << unsigned(ch) << ": another's glyph";
        for (uint8_t row : glyph) EXPECT_EQ(row & ~0x1F, 0) << unsigned(ch);
    }
    for (wchar_t ch : {0x00, 0x0A, 0x1F, 0x7F, 0x80, 0x9F, 0x100, 0x20AC, 0x4E2D, 0xD800, 0xFFFD}) {
        EXPECT_TRUE(!CardFontHas(ch) && GlyphOf(ch) == box) << unsigned(ch);
    }
}

// 640x480 over a picture of one colour: the red strip with the state at its
// left and the time at its right; under it the name, the address, the reason
// on two lines and the time since the last picture, each as long as its
// text; everywhere else the picture dimmed, no pixel of any other colour.
TEST(StatusCard, ShowsItsLinesOverThePictureDimmed) {
    Image image(640, 480, 0xC86428);
    const DWORD dimmed = 0x4B250F;  // 3/8 of each channel
    DrawStatusCard(image.Data(), image.w, image.h, true, LoginRefused(L"Front door"));

    LONG strip = 0;
    while (image.At(image.w - 1, strip) == kRed) ++strip;
    ASSERT_EQ(strip % kCardCellHeight, 0);
    const LONG cell = strip / kCardCellHeight * kCardCellWidth;  // a character's width
    const std::vector<Band> state = Bands(image, 0, strip, {kStripText}, 0, image.w / 2);
    const std::vector<Band> time = Bands(image, 0, strip, {kStripText}, image.w / 2);
    ASSERT_TRUE(state.size() == 1 && time.size() == 1);
    EXPECT_NEAR(state[0].right - state[0].left, 13 * cell, cell);  // "Login refused"
    EXPECT_NEAR(time[0].right - time[0].left, 8 * cell, cell);     // "14:03:27"
    EXPECT_GT(time[0].right, image.w - 2 * cell);

    const std::vector<Band> lines = Bands(image, strip, image.h, {kWhite, kQuiet});
    const std::pair<LONG, DWORD> expected[] = {
        {10, kWhite}, {16, kQuiet}, {49, kWhite}, {8, kWhite}, {26, kQuiet}};
    ASSERT_EQ(lines.size(), 5u);
    for (size_t i = 0; i < lines.size(); ++i) {
        EXPECT_EQ(lines[i].colour, expected[i].second) << i;
        EXPECT_NEAR(lines[i].left, state[0].left, cell / 2) << i;  // one left edge
        EXPECT_NEAR(lines[i].right - lines[i].left, expected[i].first * cell, cell) << i;
    }
    for (LONG y = 0; y < image.h; ++y) {
        for (LONG x = 0; x < image.w; ++x) {
            const std::set<DWORD> inks = y < strip ? std::set<DWORD>{kRed, kStripText}
                                                   : std::set<DWORD>{dimmed, kWhite, kQuiet, kShadow};
            ASSERT_TRUE(inks.count(image.At(x, y))) << x << "," << y << ": " << std::hex << image.At(x, y);
        }
    }
}

// From one pixel to 1920x1080, with texts far too long and characters the
// font lacks: nothing is written outside the pixels (row padding included).
// From 80x60 the strip holds the whole state (at 80x60 the time goes below
// it); before any picture the background is the card's own.
TEST(StatusCard, AnySizeStaysInsideTheImageAndTheSmallestSaysTheState) {
    StatusCardText text = LoginRefused(L"\x4E2D\xD83D\xDE00" + std::wstring(3000, L'N'));
    text.reason += std::wstring(400, L'x');
    const LONG sizes[][2] = {{1, 1},   {2, 1},   {5, 3},     {63, 47},   {64, 48},    {79, 59},
                             {80, 60}, {81, 61}, {160, 120}, {317, 237}, {1920, 1080}};
    for (const auto& size : sizes) {
        SCOPED_TRACE(testing::Message() << size[0] << "x" << size[1]);
        Image image(size[0], size[1], 0x123456);
        const std::vector<BYTE> before = image.bytes;
        DrawStatusCard(image.Data(), image.w, image.h, false, text);
        for (size_t i = 0; i < before.size(); ++i) {
            const bool pixel =
                i >= 64 && i < before.size() - 64 && (i - 64) % image.stride < size_t(image.w) * 3;
            ASSERT_TRUE(pixel || image.bytes[i] == before[i]) << "byte " << i;
        }
        EXPECT_NE(image.At(image.w - 1, image.h - 1), 0x123456u);
        if (image.w < 80 || image.h < 60) continue;
        const std::vector<Band> state = Bands(image, 0, kCardCellHeight, {kStripText});
        ASSERT_FALSE(state.empty());
        EXPECT_GE(state[0].right - state[0].left, 12 * kCardCellWidth);  // "Login refused", whole
        if (image.w > 80) continue;
        const std::vector<Band> time = Bands(image, kCardCellHeight, image.h, {kQuiet});
        ASSERT_FALSE(time.empty());
        EXPECT_NEAR(time[0].right - time[0].left, 8 * kCardCellWidth, kCardCellWidth);
    }
}
