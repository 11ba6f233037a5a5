#include "filter/StatusCard.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "filter/CardFont.h"
#include "filter/FrameStore.h"
#include "status/StatusText.h"
#include "text/CameraAddress.h"

namespace {

// Colours, 0xRRGGBB.
constexpr DWORD kAmber = 0xF0B020;   // on the way: connecting, waiting for a picture
constexpr DWORD kOrange = 0xF08020;  // an attempt failed; another follows
constexpr DWORD kRed = 0xE04848;     // the camera refuses us
constexpr DWORD kGrey = 0x909090;    // nothing under way
constexpr DWORD kBackground = 0x202830;
constexpr DWORD kText = 0xF4F4F4;
constexpr DWORD kQuiet = 0xB4B4B4;  // what changes little: the address, the last picture
constexpr DWORD kStripText = 0x141414;
constexpr DWORD kShadow = 0x000000;

constexpr size_t kReasonLines = 3;

// The font's scale for an image: one step for each whole 320x240, at least one.
int Scale(LONG width, LONG height) {
    const LONG scale = std::min(width / 320, height / 240);
    return scale < 1 ? 1 : int(scale);
}

std::wstring TwoDigits(unsigned value) {
    return {wchar_t(L'0' + value / 10 % 10), wchar_t(L'0' + value % 10)};
}

std::wstring Ago(uint64_t ms) {
    if (ms == OCULO_NO_PICTURE_YET) return L"No picture yet";
    const uint64_t s = ms / 1000;
    std::wstring ago;
    if (s < 60) {
        ago = std::to_wstring(s) + L" s";
    } else if (s < 3600) {
        ago = std::to_wstring(s / 60) + L" min " + std::to_wstring(s % 60) + L" s";
    } else if (s < 86400) {
        ago = std::to_wstring(s / 3600) + L" h " + std::to_wstring(s / 60 % 60) + L" min";
    } else {
        ago = std::to_wstring(s / 86400) + L" d " + std::to_wstring(s / 3600 % 24) + L" h";
    }
    return L"Last picture " + ago + L" ago";
}

// At most `cols` characters; a cut text ends in "...".
std::wstring Cut(const std::wstring& text, size_t cols) {
    if (text.size() <= cols) return text;
    if (cols < 4) return text.substr(0, cols);
    return text.substr(0, cols - 3) + L"...";
}

// At most `maxLines` lines of at most `cols` characters, each broken at its
// last space (within a word that fills a line); text left over ends the last
// line in "...".
std::vector<std::wstring> Wrap(const std::wstring& text, size_t cols, size_t maxLines) {
    std::vector<std::wstring> lines;
    if (cols == 0) return lines;
    size_t at = 0;
    auto skipSpaces = [&] {
        while (at < text.size() && text[at] == L' ') ++at;
    };
    for (skipSpaces(); at < text.size() && lines.size() < maxLines; skipSpaces()) {
        size_t end = at + cols;
        if (end < text.size()) {
            const size_t space = text.rfind(L' ', end);
            if (space != std::wstring::npos && space > at) end = space;
        } else {
            end = text.size();
        }
        lines.push_back(text.substr(at, end - at));
        at = end;
    }
    if (at < text.size() && !lines.empty()) lines.back() = Cut(lines.back() + L"...", cols);
    return lines;
}

// Drawing on the image in top-down coordinates, clipped to its pixels.
class CCanvas {
public:
    CCanvas(BYTE* image, LONG width, LONG height)
        : m_pImage(image),
          m_lWidth(width),
          m_lHeight(height),
          m_cbStride(size_t(CFrameStore::StoreStride(width))) {}

    void Fill(LONG x, LONG y, LONG w, LONG h, DWORD colour) {
        const LONG x0 = std::max(x, LONG(0)), x1 = std::min(int64_t(x) + w, int64_t(m_lWidth));
        const LONG y0 = std::max(y, LONG(0)), y1 = std::min(int64_t(y) + h, int64_t(m_lHeight));
        const BYTE pixel[3] = {BYTE(colour), BYTE(colour >> 8), BYTE(colour >> 16)};
        for (LONG row = y0; row < y1; ++row) {
            BYTE* p = Row(row) + size_t(x0) * 3;
            for (LONG col = x0; col < x1; ++col, p += 3) std::memcpy(p, pixel, 3);
        }
    }

    // 3/8 of each channel: dark enough for the text, the scene still plain.
    void Dim() {
        const size_t bytes = size_t(m_lWidth) * 3;
        for (LONG row = 0; row < m_lHeight; ++row) {
            BYTE* p = Row(row);
            size_t i = 0;
            for (; i + 8 <= bytes; i += 8) {
                uint64_t v;
                std::memcpy(&v, p + i, 8);
                v = ((v >> 2) & 0x3F3F3F3F3F3F3F3Full) + ((v >> 3) & 0x1F1F1F1F1F1F1F1Full);
                std::memcpy(p + i, &v, 8);
            }
            for (; i < bytes; ++i) p[i] = BYTE((p[i] >> 2) + (p[i] >> 3));
        }
    }

    // Draws text from (x, y), its cells `scale` times the font's; a shadow
    // down and to the right keeps it legible over any picture.
    void Text(LONG x, LONG y, int scale, const std::wstring& text, DWORD colour, bool bShadow) {
        const LONG cell = LONG(kCardCellWidth) * scale;
        for (size_t i = 0; i < text.size() && x < m_lWidth; ++i, x += cell) {
            const uint8_t* glyph = CardGlyph(text[i]);
            if (bShadow) Glyph(glyph, x + scale, y + scale, scale, kShadow);
            Glyph(glyph, x, y, scale, colour);
        }
    }

private:
    BYTE* Row(LONG y) { return m_pImage + size_t(m_lHeight - 1 - y) * m_cbStride; }

    void Glyph(const uint8_t* glyph, LONG x, LONG y, int scale, DWORD colour) {
        for (int row = 0; row < kCardCellHeight; ++row) {
            for (int col = 0; col < kCardCellWidth - 1; ++col) {
                if (glyph[row] & (0x10 >> col)) Fill(x + col * scale, y + row * scale, scale, scale, colour);
            }
        }
    }

    BYTE* const m_pImage;
    const LONG m_lWidth;
    const LONG m_lHeight;
    const size_t m_cbStride;
};

struct Line {
    std::wstring text;
    DWORD colour;
    int priority;  // lower: kept first when not every line fits
};

struct StateWords {
    const wchar_t* state;
    const wchar_t* shortState;  // the smallest card (80 pixels) holds kShortStateChars
    DWORD colour;
};

DWORD StateColour(LONG state) {
    switch (state) {
        case OCULO_STATE_CONNECTING:
        case OCULO_STATE_SILENT:
            return kAmber;
        case OCULO_STATE_WAITING:
            return kOrange;
        case OCULO_STATE_LOGIN_REFUSED:
            return kRed;
        default:
            return kGrey;
    }
}

StateWords WordsFor(LONG state, bool bPictureThisRun) {
    // The card shows while streaming only when no picture reaches the store.
    if (state == OCULO_STATE_STREAMING) {
        if (!bPictureThisRun) return {L"Waiting for the first picture", L"Waiting", kAmber};
        state = OCULO_STATE_SILENT;
    }
    return {CameraStateWords(state), CameraStateShortWords(state), StateColour(state)};
}

bool SameCard(const StatusCardText& a, const StatusCardText& b) {
    return a.state == b.state && a.reason == b.reason && a.time == b.time && a.colour == b.colour;
}

}  // namespace

StatusCardText DescribeStatus(const StatusCardFacts& facts, const std::wstring& name,
                              const std::wstring& address) {
    const OCULO_STATUS& status = facts.status;
    const StateWords words = WordsFor(status.lState, facts.bPictureThisRun);
    StatusCardText text;
    text.state = words.state;
    text.shortState = words.shortState;
    text.colour = words.colour;
    text.name = name;
    text.address = address;
    text.reason = CameraReasonText(status);
    text.lastPicture = Ago(facts.msSincePicture);
    text.time = TwoDigits(facts.now.wHour) + L":" + TwoDigits(facts.now.wMinute) + L":" +
                TwoDigits(facts.now.wSecond);
    return text;
}

// Layout: a strip across the top in the state's colour with the state and,
// at its right, the time; below it the name, the address, the reason and the
// last picture, each on a line of its own. Where not every line fits, the
// time and the reason go first, then the name, the last picture, the address.
void DrawStatusCard(BYTE* image, LONG width, LONG height, bool bPicture, const StatusCardText& text) {
    if (!image || CFrameStore::StoreBytes(width, height) == 0) return;
    CCanvas canvas(image, width, height);
    if (bPicture) {
        canvas.Dim();
    } else {
        canvas.Fill(0, 0, width, height, kBackground);
    }

    const int scale = Scale(width, height);
    const LONG cellW = LONG(kCardCellWidth) * scale;
    const LONG cellH = LONG(kCardCellHeight) * scale;
    const LONG margin = width >= 32 * cellW ? cellW : scale;
    const size_t cols = width > 2 * margin ? size_t((width - 2 * margin) / cellW) : 0;

    canvas.Fill(0, 0, width, cellH, text.colour);
    const std::wstring state = Cut(text.state.size() <= cols ? text.state : text.shortState, cols);
    canvas.Text(margin, 0, scale, state, kStripText, false);
    const bool bTimeInStrip = state.size() + 2 + text.time.size() <= cols;
    if (bTimeInStrip) {
        canvas.Text(margin + LONG(cols - text.time.size()) * cellW, 0, scale, text.time, kStripText, false);
    }

    std::vector<Line> lines;
    if (!bTimeInStrip) lines.push_back({text.time, kQuiet, 0});
    lines.push_back({Cut(text.name, cols), kText, 2});
    lines.push_back({Cut(text.address, cols), kQuiet, 4});
    const std::vector<std::wstring> reason = Wrap(text.reason, cols, kReasonLines);
    for (size_t i = 0; i < reason.size(); ++i) lines.push_back({reason[i], kText, i == 0 ? 1 : 5});
    lines.push_back({Cut(text.lastPicture, cols), kQuiet, 3});

    // A half-line gap under the strip where the image is tall enough.
    const LONG top = cellH + (height >= 10 * cellH ? cellH / 2 : 0);
    const size_t room = height > top ? size_t((height - top) / cellH) : 0;
    std::vector<size_t> order(lines.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t a, size_t b) { return lines[a].priority < lines[b].priority; });
    order.resize(std::min(room, order.size()));
    std::sort(order.begin(), order.end());
    LONG y = top;
    for (size_t i : order) {
        canvas.Text(margin, y, scale, lines[i].text, lines[i].colour, true);
        y += cellH;
    }
}

CStatusCard::CStatusCard(LPCWSTR name, LPCWSTR url)
    : m_name(name), m_address(oculo::text::CameraHostAndPort(url)) {}

CStatusCard::~CStatusCard() = default;

const BYTE* CStatusCard::Compose(CFrameStore& store, const StatusCardFacts& facts) {
    const LONG width = store.StoreWidth();
    const LONG height = store.StoreHeight();
    const LONG bytes = CFrameStore::StoreBytes(width, height);
    if (bytes == 0) return nullptr;
    const StatusCardText text = DescribeStatus(facts, m_name, m_address);
    if (m_bDrawn && facts.cPictures == m_cDrawnPictures && SameCard(text, m_drawn)) return m_pImage.get();
    if (!m_pImage) {
        m_pImage.reset(new (std::nothrow) BYTE[size_t(bytes)]);
        if (!m_pImage) return nullptr;
    }
    // The copy is the only part under the frame lock; the card is drawn after it.
    const bool bPicture = facts.cPictures > 0 && store.CopyStore(m_pImage.get(), bytes) == bytes;
    DrawStatusCard(m_pImage.get(), width, height, bPicture, text);
    m_bDrawn = true;
    m_drawn = text;
    m_cDrawnPictures = facts.cPictures;
    ++m_cDraws;
    return m_pImage.get();
}
