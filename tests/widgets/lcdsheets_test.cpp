// The seven-segment digit sheets at every size, checked against the seven-segment table by
// finding the segments in the sheet itself: the 8 must show seven separate white shapes, and every
// other cell must light exactly the shapes its table entry names.

#include "widgets/lcdsheets.h"

#include <gtest/gtest.h>

#include <QImage>
#include <algorithm>
#include <set>
#include <vector>

#include "tests/support/qt_app.h"
#include "widgets/pictures.h"

namespace zq {
namespace {

constexpr QRgb kWhite = 0xFFFFFF, kSilver = 0xC0C0C0, kBlack = 0x000000;

QRgb At(const QImage& sheet, int cell, int cellWidth, QPoint p) {
  return sheet.pixel(cell * cellWidth + p.x(), p.y()) & 0xFFFFFF;
}

// The white pixels of a cell, split into 4-connected shapes.
std::vector<std::vector<QPoint>> WhiteShapes(const QImage& sheet, int cell, TLcdCell size) {
  std::vector<std::vector<QPoint>> shapes;
  std::vector<bool> seen(static_cast<std::size_t>(size.width * size.height));
  auto index = [&](QPoint p) { return static_cast<std::size_t>(p.y() * size.width + p.x()); };
  for (int y = 0; y < size.height; ++y)
    for (int x = 0; x < size.width; ++x) {
      const QPoint start(x, y);
      if (seen[index(start)] || At(sheet, cell, size.width, start) != kWhite) continue;
      std::vector<QPoint> shape{start}, todo{start};
      seen[index(start)] = true;
      while (!todo.empty()) {
        const QPoint p = todo.back();
        todo.pop_back();
        for (QPoint d : {QPoint(1, 0), QPoint(-1, 0), QPoint(0, 1), QPoint(0, -1)}) {
          const QPoint q = p + d;
          if (q.x() < 0 || q.y() < 0 || q.x() >= size.width || q.y() >= size.height) continue;
          if (seen[index(q)] || At(sheet, cell, size.width, q) != kWhite) continue;
          seen[index(q)] = true;
          shape.push_back(q);
          todo.push_back(q);
        }
      }
      shapes.push_back(shape);
    }
  return shapes;
}

// Names the seven shapes of the 8 by where their centres lie: a top, b upper right, c lower
// right, d bottom, e lower left, f upper left, g middle.
std::vector<std::vector<QPoint>> SegmentsOfEight(const QImage& sheet, TLcdCell size) {
  std::vector<std::vector<QPoint>> shapes = WhiteShapes(sheet, 9, size), segments(7);
  for (const auto& shape : shapes) {
    double cx = 0, cy = 0;
    for (QPoint p : shape) {
      cx += p.x();
      cy += p.y();
    }
    cx = cx / shape.size() / (size.width - 1);   // 0 left ... 1 right
    cy = cy / shape.size() / (size.height - 1);  // 0 top ... 1 bottom
    int s = -1;
    if (cx > 0.3 && cx < 0.7)
      s = cy < 0.25 ? 0 : cy > 0.75 ? 3 : 6;
    else if (cx >= 0.7)
      s = cy < 0.5 ? 1 : 2;
    else
      s = cy < 0.5 ? 5 : 4;
    if (segments[s].empty()) segments[s] = shape;
  }
  return segments;
}

TEST(LcdSheets, EverySizeHasItsCellsInThreeColoursAndDigitsLightTheirSegments) {
  testing::QtApp();
  const QSize cells[kLedSizeCount] = {{4, 7},   {5, 9},   {7, 13},  {9, 19},  {11, 20},
                                      {11, 21}, {13, 24}, {13, 25}, {15, 29}, {15, 23},
                                      {17, 33}, {19, 37}, {21, 41}};
  for (int i = 0; i < kLedSizeCount; ++i) {
    const auto size = static_cast<TMMLEDSize>(i);
    const QString name = LcdSheetName(size, false);
    const QImage digits = LoadPicture(name).convertToFormat(QImage::Format_RGB32);
    const QImage symbols =
        LoadPicture(LcdSheetName(size, true)).convertToFormat(QImage::Format_RGB32);
    const TLcdCell cell = LcdCell(size);
    ASSERT_EQ(QSize(cell.width, cell.height), cells[i]) << name.toStdString();
    ASSERT_EQ(digits.size(), QSize(11 * cell.width, cell.height)) << name.toStdString();
    ASSERT_EQ(symbols.size(), QSize(4 * cell.width, cell.height)) << name.toStdString();
    for (const QImage* sheet : {&digits, &symbols}) {
      std::set<QRgb> colours;
      for (int y = 0; y < sheet->height(); ++y)
        for (int x = 0; x < sheet->width(); ++x)
          colours.insert(sheet->pixel(x, y) & 0xFFFFFF);
      EXPECT_EQ(colours, (std::set<QRgb>{kWhite, kSilver, kBlack})) << name.toStdString();
    }

    const auto segments = SegmentsOfEight(digits, cell);
    ASSERT_EQ(WhiteShapes(digits, 9, cell).size(), 7u) << name.toStdString() << ": seven segments";
    for (int s = 0; s < 7; ++s)
      ASSERT_FALSE(segments[s].empty()) << name.toStdString() << " segment " << s;
    // Outside the segments every cell is black; a lit segment is white throughout, an unlit one
    // has no white and at least one silver dot.
    std::vector<bool> inSegment(static_cast<std::size_t>(cell.width * cell.height));
    for (const auto& segment : segments)
      for (QPoint p : segment)
        inSegment[static_cast<std::size_t>(p.y() * cell.width + p.x())] = true;
    auto checkCell = [&](const QImage& sheet, int c, std::uint8_t lit, const char* what) {
      for (int y = 0; y < cell.height; ++y)
        for (int x = 0; x < cell.width; ++x)
          if (!inSegment[static_cast<std::size_t>(y * cell.width + x)]) {
            ASSERT_EQ(At(sheet, c, cell.width, {x, y}), kBlack)
                << name.toStdString() << " " << what;
          }
      for (int s = 0; s < 7; ++s) {
        int white = 0, silver = 0;
        for (QPoint p : segments[s]) {
          const QRgb v = At(sheet, c, cell.width, p);
          white += v == kWhite;
          silver += v == kSilver;
        }
        const int n = static_cast<int>(segments[s].size());
        if ((lit & (1u << s)) != 0) {
          EXPECT_EQ(white, n) << name.toStdString() << " " << what << " segment " << s;
        } else {
          EXPECT_EQ(white, 0) << name.toStdString() << " " << what << " segment " << s;
          EXPECT_GT(silver, 0) << name.toStdString() << " " << what << " segment " << s;
        }
      }
    };
    const std::uint8_t table[10] = {0x3F, 0x06, 0x5B, 0x4F, 0x66, 0x6D, 0x7D, 0x07, 0x7F, 0x6F};
    checkCell(digits, 0, 0, "cell 0");
    for (int d = 0; d <= 9; ++d) {
      const std::string what = "digit " + std::to_string(d);
      checkCell(digits, d + 1, table[d], what.c_str());
    }
    checkCell(symbols, 0, 0, "symbol cell 0");
    checkCell(symbols, 3, 1u << 6, "minus");

    // The point and the colon: white dots alone in their cells, the point low, the colon's two
    // one above the other.
    const auto point = WhiteShapes(symbols, 1, cell), colon = WhiteShapes(symbols, 2, cell);
    ASSERT_EQ(point.size(), 1u) << name.toStdString();
    ASSERT_EQ(colon.size(), 2u) << name.toStdString();
    EXPECT_GT(point[0].front().y(), cell.height * 2 / 3) << name.toStdString();
    for (int c : {1, 2})
      for (int y = 0; y < cell.height; ++y)
        for (int x = 0; x < cell.width; ++x)
          EXPECT_NE(At(symbols, c, cell.width, {x, y}), kSilver) << name.toStdString();
  }
}

}  // namespace
}  // namespace zq
