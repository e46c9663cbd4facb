#pragma once
// The LED label's glyph sheets, drawn in code and found by name through LoadPicture
// (widgets/pictures.h): "FONT_11X13" (693 x 28), "FONT_16X20" (1008 x 42) and "FONT_11X13_BOLD"
// (694 x 28, its last column spare).
//
// A sheet holds two rows of 63 glyph cells: the codes 32 to 94 in the row at y = 0 (cell index
// code - 32), the codes 95 to 157 in the row at y = cell height + 2 (cell index code - 95). It
// uses three colours only: white lit dots, silver (C0C0C0) unlit dots, black everything else, so
// that RecolorSheet can give it a widget's colours.
//
// The glyphs are a 5 x 7 dot matrix. 11 x 13: dot (column c, row r) is the pixel (1 + 2c, 2r) of
// the cell. 16 x 20: a 2 x 2 block at (1 + 3c, 3r), lit all white, unlit silver at its top-left
// and bottom-right pixels. Bold 11 x 13: each dot two pixels wide at (1 + 2c, 2r), lit dots joined
// to their lit neighbours below, over a silver checkerboard.

#include <QImage>
#include <array>
#include <cstdint>

namespace zq {

constexpr int kLedFirstCode = 32;
constexpr int kLedLastCode = 157;
constexpr int kLedCellsPerRow = 63;

// The seven dot rows of a code (32 to 157), top first, bit 4 the leftmost column. The large sheet
// draws codes 37 and 138 differently.
using TLedDots = std::array<std::uint8_t, 7>;
const TLedDots& LedDots(int code, bool large = false);

QImage DrawLedSheet11x13();
QImage DrawLedSheet16x20();
QImage DrawLedSheet11x13Bold();

}  // namespace zq
