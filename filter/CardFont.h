// The status card's bitmap font: fixed cells of 6 x 14 pixels, drawn at a
// whole-number scale. It covers printable ASCII (0x20-0x7E) and Latin-1
// (0xA0-0xFF); any other character gets a box, so nothing is left out
// without a trace.
//
// Cell rows: 0-2 hold the marks over capitals, 3-9 the capitals and digits,
// 5-9 the small letters (their marks in rows 2-3), 10-11 the descenders;
// 12-13 and the sixth column stay blank, spacing lines and characters.
//
// Constant data; any thread.
#pragma once

#include <cstdint>

constexpr int kCardCellWidth = 6;
constexpr int kCardCellHeight = 14;

// The character's glyph: kCardCellHeight rows, each the five columns of the
// glyph in bits 4 (leftmost) to 0.
const uint8_t* CardGlyph(wchar_t ch);

// Whether the font draws the character itself (else CardGlyph gives the box).
bool CardFontHas(wchar_t ch);
