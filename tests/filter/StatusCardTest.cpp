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

using Glyph = std::vector<uint8_t>;

Glyph GlyphOf(wchar_t ch) {
    const uint8_t* g = CardGlyph(ch);
    return Glyph(g, g + kCardCellHeight);
}

// A 24-bit colour as the card's constants write it, 0xRRGGBB.
DWORD At(const std::vector<BYTE>& image, LONG w, LONG h, LONG x, LONG y) {
    const BYTE* p = &image[size_t(h - 1 - y) * size_t(CFrameStore::StoreStride(w)) + size_t(x) * 3];
    return DWORD(p[2]) << 16 | DWORD(p[1]) << 8 | p[0];
}

constexpr DWORD kWhite = 0xF4F4F4, kQuiet = 0xB4B4B4, kShadow = 0, kRed = 0xE04848, kStripText = 0x141414;

StatusCardText LoginRefused(const wchar_t* name) {
    StatusCardFacts facts = {};
    facts.status.lState = OCULO_STATE_LOGIN_REFUSED;
    std::wcscpy(facts.status.szReason, L"Login refused (HTTP 401): check the user name and password");
    facts.bPictureThisRun = true;
    facts.msSincePicture = 125000;
    facts.now.wHour = 14, facts.now.wMinute = 3, facts.now.wSecond = 27;
    return DescribeStatus(facts, name, L"192.168.1.20:554/stream1");
}

// A picture of one colour, its row padding 0xAB.
std::vector<BYTE> Picture(LONG w, LONG h, DWORD rgb) {
    const LONG stride = CFrameStore::StoreStride(w);
    std::vector<BYTE> image(size_t(CFrameStore::StoreBytes(w, h)), 0xAB);
    for (LONG y = 0; y < h; ++y) {
        for (LONG x = 0; x < w; ++x) {
            BYTE* p = &image[size_t(y) * size_t(stride) + size_t(x) * 3];
            p[0] = BYTE(rgb), p[1] = BYTE(rgb >> 8), p[2] = BYTE(rgb >> 16);
        }
    }
    return image;
}

// One line of text found in the image: its rows, its columns, its colour.
struct Band {
    LONG top = -1, bottom = -1, left = 0, right = 0;
    DWORD colour = 0;
};

// The text lines between rows `from` and `to` (columns `left` to `right`):
// runs of rows holding pixels of one of `inks`.
std::vector<Band> Bands(const std::vector<BYTE>& image, LONG w, LONG h, LONG from, LONG to,
                        const std::set<DWORD>& inks, LONG left = 0, LONG right = -1) {
    if (right < 0) right = w;
    std::vector<Band> bands;
    Band band;
    for (LONG y = from; y <= to; ++y) {
        bool ink = false;
        for (LONG x = left; y < to && x < right; ++x) {
            const DWORD c = At(image, w, h, x, y);
            if (!inks.count(c)) continue;
            if (!ink && band.top < 0) band = {y, y, x, x, c};
            ink = true;
            band.bottom = y;
            band.left = std::min(band.left, x);
            band.right = std::max(band.right, x);
        }
        if (!ink && band.top >= 0) {
            bands.push_back(band);
            band = Band();
        }
    }
    return bands;
}

}  // namespace

// Every ASCII and Latin-1 character has a glyph of its own (the two spaces
// excepted), within five columns; anything else is the box, never nothing.
TEST(CardFont, EveryLatin1CharacterHasItsOwnGlyphOthersTheBox) {
    const Glyph box = GlyphOf(0x100);
    EXPECT_NE(box, Glyph(kCardCellHeight, 0));
    std::set<Glyph> seen;
    for (wchar_t ch = 0x20; ch <= 0xFF; ++ch) {
        if (ch == 0x7F) ch = 0xA0;
        SCOPED_TRACE(testing::Message() << "U+" << std::hex << unsigned(ch));
        const Glyph g = GlyphOf(ch);
        EXPECT_TRUE(CardFontHas(ch));
        EXPECT_NE(g, box);
        for (uint8_t row : g) EXPECT_EQ(row & ~0x1F, 0);
        EXPECT_TRUE(seen.insert(g).second || ch == 0xA0) << "the same glyph as another character";
    }
    for (wchar_t ch : {0x00, 0x0A, 0x1F, 0x7F, 0x80, 0x9F, 0x100, 0x20AC, 0x4E2D, 0xD800, 0xFFFD}) {
        EXPECT_FALSE(CardFontHas(ch)) << unsigned(ch);
        EXPECT_EQ(GlyphOf(ch), box) << unsigned(ch);
    }
}

// Nothing of a password reaches the picture, in the user info or a query.
TEST(StatusCard, ShowsTheAddressWithoutUserInfoOrQuery) {
    EXPECT_EQ(CardAddress(L"rtsp://admin:se@cret@192.168.1.20:554/stream1"), L"192.168.1.20:554/stream1");
    EXPECT_EQ(CardAddress(L"http://cam:8080/videostream.cgi?user=admin&pwd=secret"),
              L"cam:8080/videostream.cgi?...");
    EXPECT_EQ(CardAddress(L"http://u:p@[::1]#p=x"), L"[::1]?...");
}

// 640x480 over a picture of one colour: the red strip with the state at its
// left and the time at its right; under it the name, the address, the reason
// on two lines and the time since the last picture, each as long as its
// text; everywhere else the picture dimmed, no pixel of any other colour.
TEST(StatusCard, ShowsItsLinesOverThePictureDimmed) {
    const LONG w = 640, h = 480;
    const DWORD picture = 0xC86428, dimmed = 0x4B250F;  // 3/8 of each channel
    std::vector<BYTE> image = Picture(w, h, picture);
    const StatusCardText text = LoginRefused(L"Front door");
    DrawStatusCard(image.data(), w, h, true, text);

    LONG strip = 0;
    while (strip < h && At(image, w, h, w - 1, strip) == kRed) ++strip;
    ASSERT_EQ(strip % kCardCellHeight, 0);
    const LONG cell = strip / kCardCellHeight * kCardCellWidth;  // a character's width
    const std::vector<Band> state = Bands(image, w, h, 0, strip, {kStripText}, 0, w / 2);
    const std::vector<Band> time = Bands(image, w, h, 0, strip, {kStripText}, w / 2);
    ASSERT_EQ(state.size(), 1u);
    ASSERT_EQ(time.size(), 1u);
    EXPECT_LE(state[0].left, cell);
    EXPECT_NEAR(state[0].right - state[0].left, 13 * cell, cell);  // "Login refused"
    EXPECT_NEAR(time[0].right - time[0].left, 8 * cell, cell);     // "14:03:27"
    EXPECT_GT(time[0].right, w - 2 * cell);
    for (LONG x = 0; x < w; ++x) EXPECT_EQ(At(image, w, h, x, 0), kRed) << x;

    const std::vector<Band> lines = Bands(image, w, h, strip, h, {kWhite, kQuiet});
    const struct {
        size_t chars;
        DWORD colour;
    } expected[] = {{10, kWhite}, {24, kQuiet}, {49, kWhite}, {8, kWhite}, {26, kQuiet}};
    ASSERT_EQ(lines.size(), 5u);
    for (size_t i = 0; i < lines.size(); ++i) {
        EXPECT_EQ(lines[i].colour, expected[i].colour) << i;
        EXPECT_NEAR(lines[i].left, state[0].left, cell / 2) << i;  // one left edge
        EXPECT_NEAR(lines[i].right - lines[i].left, LONG(expected[i].chars) * cell, cell) << i;
    }
    for (LONG y = strip; y < h; ++y) {
        for (LONG x = 0; x < w; ++x) {
            const DWORD c = At(image, w, h, x, y);
            ASSERT_TRUE(c == dimmed || c == kWhite || c == kQuiet || c == kShadow)
                << x << "," << y << ": " << c;
        }
    }
    EXPECT_EQ(At(image, w, h, w - 1, h - 1), dimmed);
}

// From one pixel to 1920x1080, with texts far too long and characters the
// font lacks: nothing is written outside the pixels (row padding included).
// From 80x60 the strip holds the whole state (at 80x60 the time goes below
// it); before any picture the background is the card's own.
TEST(StatusCard, AnySizeStaysInsideTheImageAndTheSmallestSaysTheState) {
    const std::wstring longName(3000, L'N');
    StatusCardText text = LoginRefused((L"\x4E2D\xD83D\xDE00" + longName).c_str());
    text.reason += std::wstring(400, L'x');
    const LONG sizes[][2] = {{1, 1},   {2, 1},   {5, 3},     {63, 47},   {64, 48},    {79, 59},
                             {80, 60}, {81, 61}, {160, 120}, {317, 237}, {1920, 1080}};
    for (const auto& size : sizes) {
        const LONG w = size[0], h = size[1];
        SCOPED_TRACE(testing::Message() << w << "x" << h);
        const std::vector<BYTE> image = Picture(w, h, 0x123456);
        std::vector<BYTE> guarded(64, 0xCD);  // 64 bytes before and after the image: they must stay
        guarded.insert(guarded.end(), image.begin(), image.end());
        guarded.resize(guarded.size() + 64, 0xCD);
        DrawStatusCard(&guarded[64], w, h, false, text);
        const size_t stride = size_t(CFrameStore::StoreStride(w));
        for (size_t i = 0; i < guarded.size(); ++i) {
            const size_t at = i - 64;  // in the image from 0 to image.size()
            const bool pixel = i >= 64 && at < image.size() && at % stride < size_t(w) * 3;
            ASSERT_TRUE(pixel || guarded[i] == (i >= 64 && at < image.size() ? image[at] : 0xCD))
                << "byte " << i;
        }
        const std::vector<BYTE> card(guarded.begin() + 64, guarded.end() - 64);
        EXPECT_NE(At(card, w, h, w - 1, h - 1), 0x123456u);
        if (w < 80 || h < 60) continue;
        const std::vector<Band> state = Bands(card, w, h, 0, kCardCellHeight, {kStripText});
        ASSERT_FALSE(state.empty());
        EXPECT_GE(state[0].right - state[0].left, 12 * kCardCellWidth);  // "Login refused", whole
        if (w > 80) continue;
        const std::vector<Band> time = Bands(card, w, h, kCardCellHeight, h, {kQuiet});
        ASSERT_FALSE(time.empty());
        EXPECT_NEAR(time[0].right - time[0].left, 8 * kCardCellWidth, kCardCellWidth);
    }
}
