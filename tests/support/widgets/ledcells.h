#pragma once
// Reads the cells of an LED label out of a picture of it: each cell is matched pixel for pixel
// against the glyphs of the recoloured sheet. The text it gives has printable ASCII as itself, a
// blank cell as "·", another glyph as "<code>" and a cell that matches no glyph as "?".

#include <QImage>
#include <QPoint>
#include <string>

#include "widgets/mmledlabel.h"
#include "widgets/pictures.h"

namespace zq::testing {

// The sheet as a label with these colours shows it.
inline QImage LedSheetFor(TMMLEDFontSize size, TColor lit, TColor unlit, TColor background) {
  return RecolorSheet(LoadPicture(LedSheetName(size)), lit, unlit, background);
}

inline bool LedCellShows(const QImage& picture, QPoint cell, const QImage& sheet, int code) {
  const int cw = sheet.width() / 63, ch = (sheet.height() - 2) / 2;
  const QPoint glyph = code < 95 ? QPoint((code - 32) * cw, 0) : QPoint((code - 95) * cw, ch + 2);
  if (cell.x() < 0 || cell.y() < 0 || cell.x() + cw > picture.width() ||
      cell.y() + ch > picture.height())
    return false;
  for (int y = 0; y < ch; ++y)
    for (int x = 0; x < cw; ++x)
      if ((picture.pixel(cell.x() + x, cell.y() + y) & 0xFFFFFF) !=
          (sheet.pixel(glyph.x() + x, glyph.y() + y) & 0xFFFFFF))
        return false;
  return true;
}

// `cells` cells from `first` (the top-left of cell 0), `pitch` apart.
inline std::string ReadLedCells(const QImage& picture, QPoint first, int cells, int pitch,
                                const QImage& sheet) {
  std::string text;
  for (int i = 0; i < cells; ++i) {
    const QPoint at(first.x() + i * pitch, first.y());
    int found = 0;
    for (int code = 32; code <= 157 && found == 0; ++code)
      if (LedCellShows(picture, at, sheet, code)) found = code;
    if (found == 0)
      text += "?";
    else if (found == 32)
      text += "·";
    else if (found < 127)
      text += static_cast<char>(found);
    else
      text += "<" + std::to_string(found) + ">";
  }
  return text;
}

// What the label's cells show in a grab of it.
inline std::string ReadLedCells(TMMLEDLABEL& label) {
  const QImage picture = label.grab().toImage().convertToFormat(QImage::Format_RGB32);
  const int e = label.BevelExtent();
  const QImage sheet =
      LedSheetFor(label.FontSize(), label.LEDColor(),
                  label.DrawInactive() ? label.InactiveColor() : label.Color(), label.Color());
  return ReadLedCells(picture, {e, e}, label.NumChars(), label.CellWidth() + label.LEDSpace() - 1,
                      sheet);
}

}  // namespace zq::testing
