#pragma once
// The LED digits' seven-segment sheets, drawn in code by one generator and found by name through
// LoadPicture (widgets/pictures.h): for each size two sheets, "LCD_" + size (eleven cells: all
// unlit, then the digits 0 to 9) and "LCDS_" + size (four cells: all unlit, a decimal point, a
// colon, a minus sign). Cells lie side by side; a cell is the sheet's height high. The sheets use
// three colours only: white lit segments, silver (C0C0C0) unlit ones, black everything else, so
// that RecolorSheet can give them a digit's colours; nothing is antialiased.
//
// The figure: inside a one-pixel margin (none in cells narrower than 7), segments t pixels thick,
// t = max(1, (body width + 1) div 4), their ends pointed towards the joints so that neighbouring
// segments meet only diagonally. A lit segment is white throughout; an unlit one is a sparse
// silver dot pattern over black (every other pixel in a checkerboard while t <= 2, every other
// pixel of every other row beyond). The decimal point is a t x t dot in the bottom segment's
// rows, the colon two such dots centred between the segment rows; both stand alone in their
// cells, and the minus sign is the middle segment lit among the others unlit.

#include <QImage>
#include <QString>
#include <cstdint>

namespace zq {

enum TMMLEDSize {
  ls06x07,
  ls07x11,
  ls08x13,
  ls11x19,
  ls13x20,
  ls13x21,
  ls15x24,
  ls15x25,
  ls17x29,
  ls18x25,
  ls19x33,
  ls21x37,
  ls23x41
};
constexpr int kLedSizeCount = 13;

struct TLcdCell {
  int width;
  int height;
};
// The cell of a size (ls07x11: 5 x 9).
TLcdCell LcdCell(TMMLEDSize size);
// "LCD_15X25", or "LCDS_15X25" for the symbol sheet.
QString LcdSheetName(TMMLEDSize size, bool symbols);

// Segments: 0 a (top), 1 b (upper right), 2 c (lower right), 3 d (bottom), 4 e (lower left),
// 5 f (upper left), 6 g (middle). A digit's lit segments, bit s for segment s.
constexpr std::uint8_t kLcdDigitSegments[10] = {0x3F, 0x06, 0x5B, 0x4F, 0x66,
                                                0x6D, 0x7D, 0x07, 0x7F, 0x6F};
// Cells of the symbol sheet.
enum { kLcdUnlitCell = 0, kLcdPointCell = 1, kLcdColonCell = 2, kLcdMinusCell = 3 };

QImage DrawLcdSheet(TMMLEDSize size, bool symbols);

// The generator as a picture maker for the table of drawn pictures.
template <TMMLEDSize Size, bool Symbols>
QImage DrawLcdSheetOf() {
  return DrawLcdSheet(Size, Symbols);
}

}  // namespace zq
