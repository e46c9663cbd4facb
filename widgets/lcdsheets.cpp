#include "widgets/lcdsheets.h"

#include <QColor>
#include <algorithm>
#include <cstdlib>

namespace zq {

namespace {

constexpr QRgb kLit = 0xFFFFFFFF, kUnlit = 0xFFC0C0C0;

constexpr TLcdCell kCells[kLedSizeCount] = {
    {4, 7},   {5, 9},   {7, 13},  {9, 19},  {11, 20}, {11, 21}, {13, 24},
    {13, 25}, {15, 29}, {15, 23}, {17, 33}, {19, 37}, {21, 41},
};
constexpr const char* kSizeNames[kLedSizeCount] = {
    "06X07", "07X11", "08X13", "11X19", "13X20", "13X21", "15X24",
    "15X25", "17X29", "18X25", "19X33", "21X37", "23X41",
};

// The figure of one size. Coordinates inside the body are doubled (pixel u has its centre at
// 2u + 1) so that the segments' centre lines fall on whole numbers for every thickness.
class Figure {
 public:
  explicit Figure(TLcdCell cell)
      : margin_(cell.width >= 7 ? 1 : 0),
        w_(cell.width - 2 * margin_),
        h_(cell.height - 2 * margin_),
        t_(std::max(1, (w_ + 1) / 4)),
        left_(t_),
        right_(2 * w_ - t_),
        top_(t_),
        middle_(2 * ((h_ - t_) / 2) + t_),
        bottom_(2 * h_ - t_) {}

  int Thickness() const { return t_; }

  // The segment under the cell's pixel, or -1.
  int SegmentAt(int x, int y) const {
    const int u = x - margin_, v = y - margin_;
    if (u < 0 || v < 0 || u >= w_ || v >= h_) return -1;
    const int X = 2 * u + 1, Y = 2 * v + 1;
    if (Across(Y, top_, X, left_, right_)) return 0;
    if (Along(X, right_, Y, top_, middle_)) return 1;
    if (Along(X, right_, Y, middle_, bottom_)) return 2;
    if (Across(Y, bottom_, X, left_, right_)) return 3;
    if (Along(X, left_, Y, middle_, bottom_)) return 4;
    if (Along(X, left_, Y, top_, middle_)) return 5;
    if (Across(Y, middle_, X, left_, right_)) return 6;
    return -1;
  }

  // Where an unlit segment shows a silver dot.
  bool UnlitDot(int x, int y) const {
    if (t_ <= 2) return (x + y) % 2 == 0;
    return x % 2 == 0 && y % 2 == 0;
  }

  bool PointAt(int x, int y) const { return Dot(x, y, bottom_); }
  bool ColonAt(int x, int y) const {
    return Dot(x, y, (top_ + middle_) / 2) || Dot(x, y, (middle_ + bottom_) / 2);
  }

 private:
  // A horizontal segment on the centre line `line`, between the joints at `from` and `to`: within
  // the thickness, and nearer its own middle than the diagonals through the joints.
  bool Across(int Y, int line, int X, int from, int to) const {
    const int off = std::abs(Y - line);
    return off <= t_ - 1 && X - from > off && to - X > off;
  }
  bool Along(int X, int line, int Y, int from, int to) const {
    return Across(X, line, Y, from, to);
  }

  // A t x t dot centred across the body, centred on the doubled row `line`.
  bool Dot(int x, int y, int line) const {
    const int u = x - margin_, v = y - margin_;
    const int left = (w_ - t_) / 2, top = std::max(0, (line - t_) / 2);
    return u >= left && u < left + t_ && v >= top && v < top + t_ && v < h_;
  }

  int margin_, w_, h_, t_;
  int left_, right_, top_, middle_, bottom_;
};

}  // namespace

TLcdCell LcdCell(TMMLEDSize size) {
  return kCells[size];
}

QString LcdSheetName(TMMLEDSize size, bool symbols) {
  return QString::fromLatin1(symbols ? "LCDS_" : "LCD_") + QString::fromLatin1(kSizeNames[size]);
}

QImage DrawLcdSheet(TMMLEDSize size, bool symbols) {
  const TLcdCell cell = LcdCell(size);
  const Figure figure(cell);
  const int cells = symbols ? 4 : 11;
  QImage sheet(cell.width * cells, cell.height, QImage::Format_RGB32);
  sheet.fill(Qt::black);
  for (int i = 0; i < cells; ++i) {
    // The segments lit in this cell, and whether the cell shows a figure at all.
    std::uint8_t lit = 0;
    bool segments = true;
    if (!symbols && i > 0) lit = kLcdDigitSegments[i - 1];
    if (symbols && i == kLcdMinusCell) lit = 1u << 6;
    if (symbols && (i == kLcdPointCell || i == kLcdColonCell)) segments = false;
    for (int y = 0; y < cell.height; ++y)
      for (int x = 0; x < cell.width; ++x) {
        QRgb colour = 0;
        if (segments) {
          const int s = figure.SegmentAt(x, y);
          if (s >= 0 && (lit & (1u << s)) != 0)
            colour = kLit;
          else if (s >= 0 && figure.UnlitDot(x, y))
            colour = kUnlit;
        } else if (i == kLcdPointCell ? figure.PointAt(x, y) : figure.ColonAt(x, y)) {
          colour = kLit;
        }
        if (colour != 0) sheet.setPixel(i * cell.width + x, y, colour);
      }
  }
  return sheet;
}

}  // namespace zq
